#pragma once
// Page 1, "Иконки": the menu folder icons and the three standard folder
// icons, and the load and save buttons of menu_folders.mbm.

#include "app/control_table.h"
#include "app/form_services.h"

#include <QWidget>

namespace kastra {

class IconsPage final : public QWidget {
    Q_OBJECT
public:
    IconsPage(FormServices& form, const ImageList& images, QWidget* parent);
    const Controls& controls() const { return m_controls; }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();

signals:
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load();
    void save();

    FormServices& m_form;
    Controls m_controls;
};

} // namespace kastra
