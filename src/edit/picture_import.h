#pragma once
// Picture import ("Загрузить картинку"): one user picture, BMP, JPEG or PNG
// of at least 176 x 200, becomes the desktop slots of the theme. A photo
// whose camera recorded an EXIF orientation is turned upright first. It is reduced to
// exactly 176 x 200 (fitPicture), cut into the 176 x 68 banner and the
// 132-row background, given white side strips as the options ask, and
// written as 24-bit BMP files. The window shows the file dialog with
// PictureFilter, calls ImportPicture with the chosen file, shows the message
// if there is one and requests a desktop and a thumbnails repaint (a
// cancelled dialog or a refused picture too).

#include "workspace/app_state.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace kastra {

// The file dialog's filter, in the Windows form the window's dialog helper
// turns into Qt's ("Pictures (*.bmp *.jpg *.jpeg *.png)").
inline constexpr char16_t PictureFilter[] = u"Pictures (*.bmp,*.jpg,*.jpeg,*.png)|*.bmp;*.jpg;*.jpeg;*.png";

// The largest BMP the import takes. A BMP is held twice while it is read
// (the file, then the picture), up to 8 bytes a pixel for 32 bits, so this
// keeps an import under about 450 MB; a phone's 50-megapixel photo saved as
// a BMP is well within it. JPEG and PNG pictures, held once, may have up to
// MaxJpegPixels.
inline constexpr std::int64_t MaxImportBmpPixels = std::int64_t{56} * 1000 * 1000;

struct ImportOptions {
    bool top = false;        // "Сверху": side strips in the banner too
    bool bottom = true;      // "Снизу": strip layout, background 175 columns
    bool separate = false;   // "Разные картинки для EidPic": only Top<N>.bmp
};

// The message for a picture smaller than 176 x 200.
QString TooSmallMessage();
// The message for a file that cannot be read as a picture.
QString UnreadableMessage(const QString& picturePath);
// The message for a PNG file (by its name or its signature) that cannot be
// decoded.
QString UnreadablePngMessage(const QString& picturePath);
// The message for a picture over the size limits it is read with (jpeg: a
// JPEG's or a PNG's, else a BMP's): says so and what the limits are, since
// the file is not damaged.
QString TooLargeMessage(std::int64_t width, std::int64_t height, bool jpeg);

// Imports the picture at picturePath. A name ending in ".bmp" (any letter
// case) is read as a BMP; any other file is decoded as a PNG when it starts
// with the PNG signature, else as a JPEG. A JPEG's or PNG's EXIF orientation
// is applied before the picture is reduced. Writes, with N the current
// scheme:
//  - the banner, rows 0-67 of the reduced picture, to Top1.bmp ... Top4.bmp
//    in that order, or only to Top<N>.bmp with options.separate. With
//    options.top the banner gets white columns 0 and 175 (options.bottom) or
//    174 and 175, its columns 1-175 then spread over the width;
//  - the background, rows 68-199, to Back.bmp: 176 columns, or with
//    options.bottom columns 1-175 spread over 176 of which the first 175 are
//    kept;
//  - Temp<N>.bmp, the top 12 rows of Top<N>.bmp as just written (through the
//    strip buffer), even when the strip is being edited.
// written lists them. A picture narrower than 176 or lower than 200 pixels,
// or a file that cannot be read or decoded, changes no file and gives the
// warning to show.
Outcome ImportPicture(const AppState& state, const Workspace& ws, const QString& picturePath,
                            const ImportOptions& options);

} // namespace kastra
