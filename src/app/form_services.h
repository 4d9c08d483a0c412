#pragma once
// What a page's handlers may use of the main window: the shared state (the
// picture options among it), the workspace, the dialogs and the repaint
// requests. Pages see nothing else of MainForm, and MainForm keeps no page
// logic.

#include "workspace/app_state.h"
#include "app/dialogs.h"
#include "workspace/outcome.h"
#include "workspace/workspace.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace kastra {

class FormServices {
public:
    virtual ~FormServices() = default;
    virtual AppState& state() = 0;
    virtual const Workspace& workspace() const = 0;
    virtual Dialogs& dialogs() = 0;
    // Repaint requests: each enables its 50 ms timer unless it is already
    // running, so requests within one interval give one repaint.
    virtual void requestPreview() = 0;
    virtual void requestStrips() = 0;
    virtual void requestMenu() = 0;
    // Every handler ends here with its library call's outcome: the message
    // box, if any, is shown, and the slot files it wrote are taken by the
    // live refresh as they are instead of being reported as an outside
    // change. report() is for calls that change nothing the user made
    // (saves, the build, refusals, messages).
    virtual void report(const Outcome& out) = 0;
    // The same for a change made on the user's behalf, which becomes one
    // step of the undo history: change runs the library call (and sets
    // the flags that go with it), so the flags before and after are known.
    // Returns what change returned.
    virtual Outcome record(const std::function<Outcome()>& change) = 0;
    // Erases the desktop preview to the window background.
    virtual void clearPreview() = 0;
};

} // namespace kastra
