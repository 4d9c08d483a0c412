#pragma once
// The process-wide state every handler and painter shares. One instance
// lives from the start-up handler to the close of the window; everything
// here is used on the GUI thread only.

#include "picture/bitmap.h"

#include <QChar>
#include <QString>

#include <cstdint>

namespace kastra {

// The window caption, also the title of the program's own message boxes.
inline constexpr char16_t WindowCaption[] = u"Halvorn Kastra Theme Creator v1.11";

// The picture options the settings page shows and the settings file keeps.
struct PictureOptions {
    bool stripTop = false;         // "Сверху": side strips at the top
    bool stripBottom = false;      // "Снизу": side strips at the bottom
    bool separateEidPic = false;   // "Разные картинки для EidPic"
    int screenColours = 4096;      // the handset screen's colours: 4096 or 65536
};

struct ScratchBitmaps {
    // Created in this order at start-up. An empty bitmap is 0 x 0 and takes
    // its size from the first picture loaded into it.
    Bitmap indicator{28, 5};       // indicator buffer of the status animation
    Bitmap maskHolder;             // masks of the painters
    Bitmap desktop;                // desktop scratch; Back.bmp after set-up
    Bitmap strip{176, 12};         // strip buffer
    Bitmap animation;              // animation scratch
    Bitmap status;                 // status picture
};

struct AppState {
    QString workspaceRoot;         // ends with a separator
    QString programFolder;         // ends with a separator
    QString defaultEditorPath;     // command of the default editor
    QString popupSlotPath;         // full path the editor menu acts on
    QChar scheme = u'1';           // current colour scheme, '1' to '4'
    bool schemeChosen = false;     // its radio button is checked (none at start)
    bool stripEdited = false;      // Temp<N>.bmp is edited as its own file
    bool fontLoaded = false;       // a font was loaded: FontStatusLabel says so
    int sisToolTimeoutMs = 300;    // how long the package unpacker may run
    std::uint8_t animationStep = 0;
    PictureOptions pictures;
    ScratchBitmaps scratch;
};

} // namespace kastra
