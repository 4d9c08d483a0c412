#include "preview/fonts.h"

#include <QFontMetrics>
#include <QHash>

namespace kastra {

void InstallFontSubstitutes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"));
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
}

QFont CellFont(const QString& family, int cellHeight, bool bold)
{
    if (cellHeight <= 0)
        cellHeight = DefaultCellHeight;
    // Searching is cheap but the window asks for the same few fonts about a
    // hundred times while it is built.
    static QHash<QString, int> cache;
    const QString key = family + u'/' + QString::number(cellHeight) + (bold ? u'b' : u'r');
    QFont font(family);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferDefault);
    if (const auto it = cache.constFind(key); it != cache.constEnd()) {
        font.setPixelSize(*it);
        return font;
    }
    int size = 1;
    for (int px = cellHeight; px >= 1; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).height() <= cellHeight) {
            size = px;
            break;
        }
    }
    font.setPixelSize(size);
    cache.insert(key, size);
    return font;
}

QFont PreviewFont()
{
    return CellFont(QStringLiteral("Times New Roman"), 0, true);
}

} // namespace kastra
