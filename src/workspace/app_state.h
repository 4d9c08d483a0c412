#pragma once
// The process-wide state every handler and painter shares. One instance
// lives from the start-up handler to the close of the window; everything
// here is used on the GUI thread only.

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

struct AppState {
    QString defaultEditorPath;     // command of the default editor
    QString popupSlotPath;         // full path the editor menu acts on
    QChar scheme = u'1';           // current colour scheme, '1' to '4'
    bool schemeChosen = false;     // its radio button is checked (none at start)
    bool stripEdited = false;      // Temp<N>.bmp is edited as its own file
    bool fontLoaded = false;       // a font was loaded: FontStatusLabel says so
    int sisToolTimeoutMs = 300;    // how long the package unpacker may run
    std::uint8_t animationStep = 0;
    PictureOptions pictures;
};

} // namespace kastra
