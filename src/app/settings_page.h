#pragma once
// Page 3, "Настройки": the external editors and their labels on the first
// screen, the picture options on the second.

#include "app/control_table.h"
#include "app/form_services.h"
#include "app/settings.h"

#include <QWidget>

#include <array>

class QLineEdit;
class QRadioButton;

namespace kastra {

class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    // The rows of the page's table, in its order.
    enum Control : int {
        EditorsLabel, Editor1Edit, Editor2Edit, Editor3Edit, Browse1Button, Browse2Button, Browse3Button,
        Default1Radio, Default2Radio, Default3Radio, LabelsGroup, Label1Edit, Label2Edit, Label3Edit, MoreButton,
        SideStripsGroup, StripTopCheck, StripBottomCheck, SeparateEidPicCheck, BackButton, SaveSettingsButton,
        ScreenColoursCheck,
    };

    SettingsPage(FormServices& form, const ImageList& images, QWidget* parent);
    const ControlWidgets& controls() const { return m_controls.widgets(); }
    // The page's control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();

    // Puts settings read at start into the controls and sets the default
    // editor path from the selected editor.
    void showSettings(const Settings& s);
    Settings currentSettings() const;
    // The settings save of the button and of the close: writes the file,
    // then reads the labels back for the editor menu. Names the keys whose
    // value the file could not hold (they keep what the file had).
    void saveSettings();
    // Current text of editor n's edit (1-3).
    QString editorText(int n) const;
    // The check boxes show the picture options of the application state;
    // checking one changes the state.
    void showPictureOptions();

signals:
    // The labels as the file now holds them.
    void labelsChanged(const std::array<QString, 3>& labels);

private:
    void browse(int n);
    void makeDefault(int n);
    void showScreen(int screen);
    QString iniPath() const;
    QLineEdit* editorEdit(int n) const;
    QLineEdit* labelEdit(int n) const;
    QRadioButton* defaultRadio(int n) const;

    FormServices& m_form;
    Controls<Control> m_controls;
};

} // namespace kastra
