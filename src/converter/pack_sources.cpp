#include "converter/pack_sources.h"

#include "platform/fileops.h"
#include "workspace/slots.h"

namespace kastra {

namespace {

// The Avkon masks every pack derives from the slot before them.
bool derivedAvkonMask(int index)
{
    return index == 137 || index == 139 || index == 203 || index == 446;
}

const char16_t* const kMenuFolderNames[] = {u"Камера", u"Органайз", u"Музыка", u"Игры", u"Прочее", u"Настр."};

// "Avkon\445.bmp" -> 445 when the name is a slot of that folder; -1 else.
int slotIndex(const QString& slot, SlotFolder folder)
{
    for (int i = 0; i < slotCount(folder); ++i)
        if (slot.compare(slotName(folder, i), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

struct Explained {
    QString what;   // "фона рабочего стола", in the genitive after "Нет картинки"
    QString todo;
    QString note;
};

QString loadButton(const char16_t* file, const char16_t* button)
{
    return QStringLiteral("Загрузите %1 кнопкой «%2» в группе «Загрузить» на странице «Картинки».")
        .arg(QString::fromUtf16(file), QString::fromUtf16(button));
}

Explained explain(const QString& slot)
{
    if (slot.compare(BackgroundSlot, Qt::CaseInsensitive) == 0)
        return {QStringLiteral("фона рабочего стола"),
                QStringLiteral("Нажмите «Загрузить картинку» и выберите картинку, или загрузите backgroundimage.mbm "
                               "кнопкой «BackGr» в группе «Загрузить»."),
                QStringLiteral("import a picture or load backgroundimage.mbm first")};
    if (slot.compare(SplashTopSlot, Qt::CaseInsensitive) == 0)
        return {QStringLiteral("верхушки загрузки"), loadButton(u"EidPic.mbm", u"EidPic"),
                QStringLiteral("load EidPic.mbm first")};
    if (const int i = slotIndex(slot, SlotFolder::Avkon); i >= 0) {
        const QString what = i == 445                            ? QStringLiteral("индикатора статуса")
                             : i == 136 || i == 138 || i == 202 ? QStringLiteral("значка стандартной папки")
                                                                 : QStringLiteral("№ %1 из Avkon.mbm").arg(i);
        return {what, loadButton(u"Avkon.mbm", u"Avkon"), QStringLiteral("load Avkon.mbm first")};
    }
    if (const int i = slotIndex(slot, SlotFolder::Signal); i >= 0) {
        const QString what = i == 0   ? QStringLiteral("'No Signal'")
                             : i <= 5 ? QStringLiteral("сигнала № %1").arg(i)
                             : i == 6 ? QStringLiteral("маски для 'No Signal'")
                                      : QStringLiteral("маски сигнала № %1").arg(i - 6);
        return {what, loadButton(u"AvkonEx.mbm", u"AvkonEx"), QStringLiteral("load AvkonEx.mbm first")};
    }
    if (const int i = slotIndex(slot, SlotFolder::Menu); i >= 0) {
        const QString size = i % 4 < 2 ? QStringLiteral("маленькой") : QStringLiteral("большой");
        return {QStringLiteral("%1 иконки папки «%2»").arg(size, QString::fromUtf16(kMenuFolderNames[i / 4])),
                QStringLiteral("Загрузите menu_folders.mbm кнопкой «Загрузить» на странице «Иконки»."),
                QStringLiteral("load menu_folders.mbm first")};
    }
    return {slot, QStringLiteral("Загрузите тему кнопкой «Загр. тему» на странице «SIS»."),
            QStringLiteral("import a theme first")};
}

} // namespace

QStringList PackSources(ThemeFileOpCode code)
{
    QStringList out;
    switch (code) {
    case ThemeFileOpCode::PackEidPic: out << SplashTopSlot; break;
    case ThemeFileOpCode::PackBackground: out << BackgroundSlot; break;
    case ThemeFileOpCode::PackAvkon:
        for (int i = 0; i < AvkonSlotCount; ++i)
            if (!derivedAvkonMask(i))
                out << slotName(SlotFolder::Avkon, i);
        break;
    case ThemeFileOpCode::PackAvkonEx:
        // 007 ... 011 are derived; 006, the 'No Signal' mask, is the user's.
        for (int i = 0; i <= 6; ++i)
            out << slotName(SlotFolder::Signal, i);
        break;
    case ThemeFileOpCode::PackMenuFolders:
        for (int i = 0; i < MenuSlotCount; i += 2)
            out << slotName(SlotFolder::Menu, i);
        break;
    case ThemeFileOpCode::WriteConverter:
    case ThemeFileOpCode::WriteNoImageBanner: break;
    }
    return out;
}

std::optional<QString> MissingPackSource(const Workspace& ws, std::span<const ThemeFileOpCode> codes)
{
    for (const ThemeFileOpCode code : codes)
        for (const QString& slot : PackSources(code))
            if (!ws.hasFile(slot))
                return slot;
    return std::nullopt;
}

void WriteMissingBanners(const Workspace& ws)
{
    for (const QChar scheme : {u'1', u'2', u'3', u'4'})
        if (!ws.hasFile(topSlot(scheme)))
            ThemeFileOp(ws, ThemeFileOpCode::WriteNoImageBanner, scheme);
}

QString MissingSlotText(const QString& slot)
{
    const Explained e = explain(slot);
    return QStringLiteral("Нет картинки %1 (%2).\n%3").arg(e.what, slot, e.todo);
}

QString MissingSlotNote(const QString& slot)
{
    return QStringLiteral("the picture %1 is missing; %2").arg(slot, explain(slot).note);
}

} // namespace kastra
