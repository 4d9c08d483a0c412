// What the window itself changes rather than a page: the picture button,
// files dropped onto it, undo and redo, a picture back to its default; and
// the one place every handler's outcome ends, where the message is shown,
// the live refresh is told the writes were the program's own and the
// history keeps the step.

#include "app/main_form.h"

#include "app/icons_page.h"
#include "app/pictures_page.h"
#include "app/settings_page.h"
#include "app/sis_page.h"
#include "app/widgets.h"
#include "converter/default_slot.h"
#include "edit/picture_import.h"
#include "package/drops.h"
#include "preview/slot_watcher.h"
#include "workspace/history.h"

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>

namespace kastra {

namespace {

// A dropped file is only read, so a drag is taken as a copy (or a link),
// never as the move a file manager proposes with Shift held: the file
// manager would then delete the user's file.
bool acceptAsCopy(QDropEvent* event)
{
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event->possibleActions() & action) {
            event->setDropAction(action);
            event->accept();
            return true;
        }
    }
    event->ignore();
    return false;
}

// What of the state goes with a step of the undo history.
HistoryFlags flagsOf(const AppState& state)
{
    return {state.scheme, state.stripEdited, state.pictures.stripBottom, state.fontLoaded, state.schemeChosen};
}

} // namespace

void MainForm::report(const Outcome& out)
{
    // What the call wrote is the program's own, and no step.
    settleJournal();
    if (out.hasMessage())
        m_dialogs->message(out.title, out.text, out.icon);
}

Outcome MainForm::record(const std::function<Outcome()>& change)
{
    const HistoryFlags before = flagsOf(m_state);
    // An editor's save the watcher has not reported yet is a step of its
    // own, or this change's undo would take it back too; what the program
    // wrote since the last step is not.
    settleJournal();
    if (m_history)
        m_history->recordOutside(before);
    Outcome out = change();
    const QStringList written = m_ws.journal().take();
    if (m_history && !m_history->record(written, before, flagsOf(m_state)) && !m_history->error().isEmpty())
        m_dialogs->message(QString::fromUtf16(WindowCaption), m_history->error(), MessageIcon::Warning);
    if (out.hasMessage())
        m_dialogs->message(out.title, out.text, out.icon);
    return out;
}

void MainForm::outsideChange(const QStringList& changed)
{
    m_slotPictures.forget(changed);
    // An outside editor's save is one step of the history.
    m_history->recordOutside(flagsOf(m_state));
    requestPreview();
    requestStrips();
    requestMenu();
}

void MainForm::painted()
{
    const QStringList written = m_ws.journal().take();
    if (m_history)
        m_history->amend(written);
}

void MainForm::settleJournal()
{
    const QStringList written = m_ws.journal().take();
    if (m_history)
        m_history->absorb(written);
}

void MainForm::undo()
{
    stepHistory(true);
}

void MainForm::redo()
{
    stepHistory(false);
}

void MainForm::stepHistory(bool back)
{
    if (m_halted || !m_history)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus))
        return back ? edit->undo() : edit->redo();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(focus))
        return back ? memo->undo() : memo->redo();
    // An editor's save the watcher has not reported yet is a step of its
    // own, taken back first.
    settleJournal();
    m_history->recordOutside(flagsOf(m_state));
    if (!(back ? m_history->canUndo() : m_history->canRedo()))
        return;
    const Result<HistoryApplied> applied = back ? m_history->undo() : m_history->redo();
    if (!applied) {
        m_dialogs->message(QString::fromUtf16(WindowCaption), QString::fromStdString(applied.error()),
                           MessageIcon::Warning);
        return;
    }
    // The history knows the files it put back; they are no step.
    (void)m_ws.journal().take();
    const HistoryFlags f = applied->restore(flagsOf(m_state));
    m_state.scheme = f.scheme;
    m_state.schemeChosen = f.schemeChosen;
    m_state.stripEdited = f.stripEdited;
    m_state.pictures.stripBottom = f.stripBottom;
    m_state.fontLoaded = f.fontLoaded;
    showFlags();
    // A picture the step removes (the background of a first import) would
    // otherwise stay on the preview, which draws only what is there.
    clearPreview();
    requestPreview();
    requestStrips();
    requestMenu();
}

void MainForm::showFlags()
{
    m_pictures->showScheme();
    m_settings->showPictureOptions();
    m_sis->showFontState();
}

void MainForm::restoreDefault()
{
    if (m_halted)
        return;
    const QString slot = m_state.popupSlotPath;
    record([&] {
        BusyCursor busy;
        return RestoreDefaultSlot(m_ws, slot);
    });
    requestPreview();
    requestStrips();
    requestMenu();
}

void MainForm::importPicture(const QString& dropped)
{
    const auto chosen = DroppedOrChosen(*m_dialogs, dropped, QString::fromUtf16(PictureFilter));
    if (chosen) {
        ImportOptions options;
        options.top = m_state.pictures.stripTop;
        options.bottom = m_state.pictures.stripBottom;
        options.separate = m_state.pictures.separateEidPic;
        record([&] {
            BusyCursor busy;
            return ImportPicture(m_state, m_ws, *chosen, options);
        });
    }
    // Also after a cancelled dialog or a refused picture.
    requestStrips();
    requestPreview();
}

bool MainForm::takesDrop(const QMimeData* mime)
{
    if (m_halted || !mime->hasUrls())
        return false;
    const DropTarget target = ClassifyDrop(mime->urls());
    // A package needs SISTool.exe, as "Загр. тему" does.
    return target.kind != DropKind::Refused && (target.kind != DropKind::Theme || m_sis->updateImportButton());
}

void MainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!takesDrop(event->mimeData()) || !acceptAsCopy(event))
        event->ignore();
}

void MainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!takesDrop(event->mimeData()) || !acceptAsCopy(event))
        event->ignore();
}

void MainForm::dropEvent(QDropEvent* event)
{
    if (m_halted || !event->mimeData()->hasUrls() || !acceptAsCopy(event))
        return;
    // The file is loaded once the drop has returned: the program that
    // started the drag waits until then, and a converter run or a message
    // box would hold it up.
    QMetaObject::invokeMethod(this, [this, urls = event->mimeData()->urls()] { loadDropped(urls); },
                              Qt::QueuedConnection);
}

void MainForm::loadDropped(const QList<QUrl>& urls)
{
    if (m_halted)
        return;
    // Looked at again: the file may have changed since the drag began.
    const DropTarget target = ClassifyDrop(urls);
    switch (target.kind) {
    case DropKind::Picture:
        importPicture(target.path);
        break;
    case DropKind::Theme:
        m_sis->importTheme(target.path);
        break;
    case DropKind::Font:
        m_sis->loadFont(target.path);
        break;
    case DropKind::ThemeFile:
        if (target.themeFile == ThemeFile::MenuFolders)
            m_icons->load(target.path);
        else
            m_pictures->loadThemeFile(static_cast<int>(target.themeFile), target.path);
        break;
    case DropKind::Refused:
        report(WarningOutcome(target.refusal));
        break;
    }
}

} // namespace kastra
