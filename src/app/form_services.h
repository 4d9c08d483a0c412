#pragma once
// What a page's handlers may use of the main window: the shared state (the
// picture options among it), the workspace, the dialogs and the repaint
// requests. Pages see nothing else of MainForm, and MainForm keeps no page
// logic.

#include "workspace/app_state.h"
#include "app/dialogs.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

namespace kastra {

class FormServices {
public:
    virtual ~FormServices() = default;
    virtual AppState& state() = 0;
    virtual const Workspace& workspace() const = 0;
    virtual Dialogs& dialogs() = 0;
    // How long the package unpacker may run before it is ended.
    virtual int sisToolTimeoutMs() const = 0;
    // Repaint requests: each enables its 50 ms timer unless it is already
    // running, so requests within one interval give one repaint.
    virtual void requestPreview() = 0;
    virtual void requestStrips() = 0;
    virtual void requestMenu() = 0;
    // Files the program itself just wrote: the live refresh takes them as
    // they are instead of reporting them as an outside change.
    virtual void ownWrites(const QStringList& paths) = 0;
    // Erases the desktop preview to the window background.
    virtual void clearPreview() = 0;
};

} // namespace kastra
