#pragma once
// Page 0, "Картинки": the slot thumbnails, the colour schemes and the load
// and save buttons of four theme files.

#include "app/control_table.h"
#include "app/form_services.h"

#include <QWidget>

namespace kastra {

class PicturesPage final : public QWidget {
    Q_OBJECT
public:
    // The rows of the page's table, in its order.
    enum Control : int {
        DesktopStripBox, DesktopTopLabel, StripRefreshImage, BootStripBox, BootTopLabel, NoSignalBox, MaskImage,
        NoSignalLabel, SignalStripBox, Avkon445Box, SchemeGroup, BlueSkyRadio, BeachRadio, CityRadio, MagentaRadio,
        LoadGroup, LoadEidPicButton, LoadBackGrButton, LoadAvkonButton, LoadAvkonExButton, SaveGroup,
        SaveEidPicButton, SaveBackGrButton, SaveAvkonButton, SaveAvkonExButton,
    };

    PicturesPage(FormServices& form, const ImageList& images, QWidget* parent);
    const ControlWidgets& controls() const { return m_controls.widgets(); }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();
    // A load button's work (file is a ThemeFile); a file dropped onto the
    // window is loaded from where it lies (from), a button's from the
    // program folder.
    void loadThemeFile(int file, const QString& from = {});
    // The scheme radio buttons follow the state: the current scheme's is
    // checked once one was chosen, none before.
    void showScheme();

private:
    void saveThemeFile(int file);
    void selectScheme(QChar scheme);
    void applyStrip();
    void makeNoSignalMask();

    FormServices& m_form;
    Controls<Control> m_controls;
};

} // namespace kastra
