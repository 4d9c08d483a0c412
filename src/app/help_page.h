#pragma once
// Page 4, "Help": the help text, or the About banner under "Created by".

#include "app/control_table.h"

#include <QWidget>

namespace kastra {

class HelpPage final : public QWidget {
    Q_OBJECT
public:
    // The rows of the page's table, in its order.
    enum Control : int { HelpPanel, CreatedByLabel, AboutButton };

    HelpPage(const ImageList& images, QWidget* parent);
    const ControlWidgets& controls() const { return m_controls.widgets(); }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();
    void showHelp();
    void showAbout();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Controls<Control> m_controls;
};

} // namespace kastra
