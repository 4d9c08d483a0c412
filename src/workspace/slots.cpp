#include "workspace/slots.h"

#include <QDir>

namespace kastra {

int slotCount(SlotFolder folder)
{
    switch (folder) {
    case SlotFolder::Avkon: return AvkonSlotCount;
    case SlotFolder::Signal: return SignalSlotCount;
    case SlotFolder::Menu: return MenuSlotCount;
    }
    return 0;
}

QString folderName(SlotFolder folder)
{
    switch (folder) {
    case SlotFolder::Avkon: return QStringLiteral("Avkon");
    case SlotFolder::Signal: return QStringLiteral("Signal");
    case SlotFolder::Menu: return QStringLiteral("Menu");
    }
    return {};
}

QString slotName(SlotFolder folder, int index)
{
    // The prefix is chosen by the index and the index appended in plain
    // decimal, which gives three digits for every index the folders hold.
    QString prefix = folderName(folder) + u'\\';
    if (index < 10)
        prefix += QStringLiteral("00");
    else if (index < 100)
        prefix += u'0';
    return prefix + QString::number(index) + QStringLiteral(".bmp");
}

QStringList slotNames(SlotFolder folder)
{
    QStringList names;
    const int n = slotCount(folder);
    names.reserve(n);
    for (int i = 0; i < n; ++i)
        names << slotName(folder, i);
    return names;
}

QStringList bannerSlotNames()
{
    return {QStringLiteral("SplashTop.bmp"), QStringLiteral("Top1.bmp"), QStringLiteral("Top2.bmp"),
            QStringLiteral("Top3.bmp"), QStringLiteral("Top4.bmp")};
}

QStringList backgroundSlotNames()
{
    return {QStringLiteral("Back.bmp"), QStringLiteral("About.bmp")};
}

QString topSlot(QChar scheme)
{
    return QStringLiteral("Top") + scheme + QStringLiteral(".bmp");
}

QString tempSlot(QChar scheme)
{
    return QStringLiteral("Temp") + scheme + QStringLiteral(".bmp");
}

QString slotPath(const QString& root, const QString& slot)
{
    QString relative = slot;
    relative.replace(u'\\', u'/');
    return root + QDir::toNativeSeparators(relative);
}

QStringList userPackageFiles()
{
    return {QStringLiteral("kde.gdr"), QStringLiteral("veZozi.aif"), QStringLiteral("veZorCtrl.aif")};
}

QStringList slotPaths(const QString& root, const QStringList& names)
{
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& slot : names)
        paths << slotPath(root, slot);
    return paths;
}

} // namespace kastra
