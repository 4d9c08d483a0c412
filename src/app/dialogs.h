#pragma once
// Everything modal the window shows goes through this interface: the one
// open-file dialog and the message boxes. Tests put in their own to script
// the answers and read the messages.

#include "workspace/outcome.h"

#include <QString>

#include <optional>

class QFileDialog;
class QWidget;

namespace kastra {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Asks for an existing file. windowsFilter is written as the Windows
    // program wrote it: "Pictures (*.bmp,*.jpg,*.jpeg)|*.bmp;*.jpg;*.jpeg".
    // Nothing when the user cancels.
    virtual std::optional<QString> openFile(const QString& windowsFilter) = 0;
    // Asks for a file to write, the same filter form; an existing file is
    // confirmed before it is named. Nothing when the user cancels.
    virtual std::optional<QString> saveFile(const QString& windowsFilter) = 0;
    virtual void message(const QString& title, const QString& text, MessageIcon icon) = 0;
    // The window took this file without the dialog (it was dropped): the
    // next dialog opens in its folder, as after one chosen there.
    virtual void taken(const QString& path) { (void)path; }
};

// The file a handler works on: the one dropped onto the window, or else the
// one the user chooses in the open-file dialog (nothing when cancelled).
std::optional<QString> DroppedOrChosen(Dialogs& dialogs, const QString& dropped, const QString& windowsFilter);

// "Pictures (*.bmp,*.jpg,*.jpeg)|*.bmp;*.jpg;*.jpeg" becomes Qt's
// "Pictures (*.bmp *.jpg *.jpeg)": the description's own pattern list is
// replaced by the patterns after the bar. Several description|patterns pairs
// become several filters separated by ";;".
QString ToQtFilter(const QString& windowsFilter);

// The real dialogs: one non-native QFileDialog, owned by the window and
// titled with its caption. It opens in the folder of the last file taken,
// however it was chosen (picked, typed in full, dropped), with an empty name
// field; the first time in the home folder (never in the current directory,
// which the converter runs move into the workspace). Names match the
// patterns without regard to letter case.
class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* owner);
    std::optional<QString> openFile(const QString& windowsFilter) override;
    std::optional<QString> saveFile(const QString& windowsFilter) override;
    void message(const QString& title, const QString& text, MessageIcon icon) override;
    void taken(const QString& path) override;
    QFileDialog* fileDialog() const { return m_dialog; }

private:
    QWidget* m_owner;
    QFileDialog* m_dialog;
    QString m_folder;
};

} // namespace kastra
