#pragma once
// Names of the theme workspace: the folders, the numbered bitmap slots and
// the banner slots of a colour scheme.
//
// Slot names are text with backslashes ("Avkon\445.bmp"), exactly as they
// stand in the converter's command files and the package script. Only
// slotPath() turns one into a path to open, with native separators.

#include <QLatin1String>
#include <QString>
#include <QStringList>

namespace kastra {

// The slots the code names on their own, beside the catalogue below.
inline constexpr QLatin1String NoSignalSlot("Signal\\000.bmp");       // the 'No Signal' picture
inline constexpr QLatin1String NoSignalMaskSlot("Signal\\006.bmp");   // its mask, the user's own
inline constexpr QLatin1String StatusSlot("Avkon\\445.bmp");          // the status picture
inline constexpr QLatin1String BackgroundSlot("Back.bmp");
inline constexpr QLatin1String SplashTopSlot("SplashTop.bmp");
inline constexpr QLatin1String AboutSlot("About.bmp");

enum class SlotFolder { Avkon, Signal, Menu };

inline constexpr int AvkonSlotCount = 508;
inline constexpr int SignalSlotCount = 12;
inline constexpr int MenuSlotCount = 24;

// The number of slots of a folder (508, 12, 24).
int slotCount(SlotFolder folder);

// The folder's name as it stands in slot names: "Avkon", "Signal", "Menu".
QString folderName(SlotFolder folder);

// "Avkon\007.bmp", "Signal\011.bmp", "Avkon\445.bmp": the folder, a
// backslash, the index as three digits with leading zeros, ".bmp".
QString slotName(SlotFolder folder, int index);

// Every slot name of a folder, in index order.
QStringList slotNames(SlotFolder folder);

// The slots of EidPic.mbm in its order: "SplashTop.bmp", "Top1.bmp" ...
// "Top4.bmp"; and of backgroundimage.mbm: "Back.bmp", "About.bmp".
QStringList bannerSlotNames();
QStringList backgroundSlotNames();

// "Top3.bmp" and "Temp3.bmp" for the scheme number '3'.
QString topSlot(QChar scheme);
QString tempSlot(QChar scheme);

// The files of the package folder SIS\ the user may provide in place of the
// build's defaults: the font and the two application information files
// ("kde.gdr", "veZozi.aif", "veZorCtrl.aif"). They belong to the theme as the
// slots do; everything else in SIS\ is the build's own work.
QStringList userPackageFiles();

// The file to open for a slot: root (ending in a separator) + the slot name
// with native separators.
QString slotPath(const QString& root, const QString& slot);
// The same for each of the slots, in their order.
QStringList slotPaths(const QString& root, const QStringList& names);

} // namespace kastra
