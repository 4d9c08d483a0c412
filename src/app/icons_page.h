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
    // The rows of the page's table, in its order.
    enum Control : int {
        MenuFoldersGroup, SmallFoldersBox, LargeFoldersBox, FolderNamesLabel, LoadMenuFoldersButton,
        SaveMenuFoldersButton, Avkon138Box, Avkon136Box, Avkon202Box, StandardFoldersLabel,
    };

    IconsPage(FormServices& form, const ImageList& images, QWidget* parent);
    const ControlWidgets& controls() const { return m_controls.widgets(); }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();

    // The load button's work; a file dropped onto the window is loaded from
    // where it lies (from), the button's from the program folder.
    void load(const QString& from = {});

signals:
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void save();

    FormServices& m_form;
    Controls<Control> m_controls;
};

} // namespace kastra
