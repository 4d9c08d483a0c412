#pragma once
// Page 4, "Help": the help text, or the About banner under "Created by".

#include "app/control_table.h"

#include <QWidget>

namespace kastra {

class HelpPage final : public QWidget {
    Q_OBJECT
public:
    HelpPage(const ImageList& images, QWidget* parent);
    const Controls& controls() const { return m_controls; }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();
    void showHelp();
    void showAbout();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Controls m_controls;
};

} // namespace kastra
