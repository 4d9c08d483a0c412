#pragma once
// The one window: the desktop preview, the picture button, the five pages,
// the timers that carry repaint requests, and the editor pop-up menu. It
// wires events to the pages and the painters and holds no page logic; the
// paint boxes its own table and the pages' tables name are its preview
// views.

#include "workspace/app_state.h"
#include "app/control_table.h"
#include "app/dialogs.h"
#include "app/form_services.h"
#include "preview/handset_view.h"
#include "preview/hit_test.h"
#include "preview/status_animation.h"
#include "workspace/workspace.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class QAction;
class QMenu;
class QMimeData;
class QTabWidget;

namespace kastra {

class HelpPage;
class IconsPage;
class PaintBox;
class PicturesPage;
class SettingsPage;
class SisPage;
class History;
class SlotWatcher;

struct StartupOptions {
    QString programFolder;   // ends with a separator
    QString workspaceRoot;   // ends with a separator
    Dialogs* dialogs = nullptr;   // nullptr: the real dialogs
    // How long SISTool may take; tests under a sanitizer give it longer.
    int sisToolTimeoutMs = 300;
    // A file given on the command line, loaded as a drop once the window
    // runs; empty for none.
    QString openFile;
};

class MainForm final : public QWidget, public FormServices {
    Q_OBJECT
public:
    // The rows of the window's own table, in its order.
    enum Control : int { PreviewBox, LoadPictureButton, PageTabs };
    // The window's own control table, as buildControls() made the controls.
    static std::span<const ControlSpec> rows();

    explicit MainForm(const StartupOptions& options);
    ~MainForm() override;

    // FormServices
    AppState& state() override { return m_state; }
    const Workspace& workspace() const override { return m_ws; }
    Dialogs& dialogs() override { return *m_dialogs; }
    void requestPreview() override;
    void requestStrips() override;
    void requestMenu() override;
    void clearPreview() override;
    void report(const Outcome& out) override;
    Outcome record(const std::function<Outcome()>& change) override;

    // Ctrl+Z and Ctrl+Shift+Z / Ctrl+Y: one step of the history back or
    // forth, files, flags and the controls that show them.
    void undo();
    void redo();
    // The editor menu's "Вернуть исходную": the slot the menu acts on back to
    // its default, as one step.
    void restoreDefault();
    // The picture menu's handset view (also Ctrl+H): every surface shows the
    // pictures as the handset does, and the window's title says so.
    void setHandsetView(bool on);
    bool handsetView() const { return m_slotPictures.handset(); }
    QAction* handsetItem() const { return m_handsetItem; }
    // "Сгладить для экрана телефона": the slot the menu acts on error-diffused
    // to the screen's colours, as one step.
    void smoothSlot();
    // "Сохранить снимок": the desktop and the menu icons side by side, as
    // the window shows them now, scaled by factor, into a PNG file the user
    // names.
    void saveSnapshot(int factor);

    // Stops every timer for good, so no handler runs again: the first step
    // of the shut-down.
    void halt();
    // The close request's work: tear-down and settings save. Runs once,
    // whichever way the program is asked to end.
    void shutdown();
    // The session's request to store what would be lost at a logout, which
    // the user may still cancel: saves the settings and tears nothing down.
    void commitData();

    QTimer& signalTimer() { return m_signalTimer; }
    QTimer& previewTimer() { return m_previewTimer; }
    QTimer& stripTimer() { return m_stripTimer; }
    QTimer& menuPreviewTimer() { return m_menuTimer; }
    QMenu* editorMenu() const { return m_editorMenu; }
    QTabWidget* pageTabs() const;
    // The paint box that shows the view.
    PaintBox* view(PreviewView which) const { return m_views.at(static_cast<std::size_t>(which)); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A file dragged anywhere onto the window: the cursor shows whether it
    // would be taken, and a drop loads it as its button would.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The phases of construction, in their order.
    void setUpWindow();
    void setUpTimers(const StartupOptions& options);
    void setUpEditorMenu();
    void setUpHandsetItems();
    void buildPages();
    void wireViews(std::span<const ControlSpec> rows, const ControlWidgets& widgets);
    void wireEvents();
    void setUpShortcuts();
    void startUp();
    // Repaints the paint boxes of the table's rows that name a view.
    void updateViews(std::span<const ControlSpec> rows);
    void centreOnScreen();
    void centreOnceFramed();
    void slotPress(PreviewView view, Qt::MouseButton button, QPoint position);
    void runEditor(int n);
    // Starts the editor on the slot, or says why it could not.
    void openInEditor(const QString& editorText, const QString& slot);
    void pageChanged(int index);
    // Asks for the picture with the file dialog unless one was dropped.
    void importPicture(const QString& dropped = {});
    bool takesDrop(const QMimeData* mime);
    void loadDropped(const QList<QUrl>& urls);
    void paintPreview();
    void paintStrips();
    void paintMenu();
    void animate();
    // The files the painters wrote (the journal's since the last take):
    // neither an outside change nor a step of their own.
    void painted();
    // The live refresh saw a slot file change under the program: one step,
    // and every view repaints.
    void outsideChange(const QStringList& changed);
    // The pictures reader of the painters, on the screen colours of the
    // settings.
    const SlotPictures& pictures();
    void stepHistory(bool back);
    // Program writes no handler took yet join the history's baseline.
    void settleJournal();
    // Sets the controls that show the flags an undo may have changed.
    void showFlags();
    static void request(QTimer& timer);

    Workspace m_ws;
    AppState m_state;
    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs* m_dialogs = nullptr;
    QTimer m_signalTimer;
    QTimer m_stripTimer;
    QTimer m_menuTimer;
    QTimer m_previewTimer;
    QMenu* m_editorMenu = nullptr;
    ImageList m_images;
    Controls<Control> m_controls;
    // Indexed by PreviewView: the paint boxes the tables name.
    std::array<PaintBox*, static_cast<std::size_t>(PreviewView::Avkon202) + 1> m_views{};
    PicturesPage* m_pictures = nullptr;
    IconsPage* m_icons = nullptr;
    SisPage* m_sis = nullptr;
    SettingsPage* m_settings = nullptr;
    HelpPage* m_help = nullptr;
    SlotWatcher* m_watcher = nullptr;
    std::unique_ptr<History> m_history;
    QAction* m_restoreItem = nullptr;
    QAction* m_handsetItem = nullptr;
    QAction* m_smoothItem = nullptr;
    SlotPictures m_slotPictures;
    StatusAnimation m_animation;
    bool m_halted = false;
    bool m_shutDown = false;
    bool m_centredWithFrame = false;
};

} // namespace kastra
