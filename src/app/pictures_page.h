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
    PicturesPage(FormServices& form, const ImageList& images, QWidget* parent);
    const Controls& controls() const { return m_controls; }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();

private:
    void loadThemeFile(int file);
    void saveThemeFile(int file);
    void selectScheme(QChar scheme);
    void applyStrip();
    void makeNoSignalMask();

    FormServices& m_form;
    Controls m_controls;
};

} // namespace kastra
