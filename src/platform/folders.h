#pragma once
// The program folder and the per-user base of the theme workspace.

#include "base/result.h"

#include <QString>

namespace kastra {

// folder with a trailing separator ('/' unless it already ends in one of
// '/' and '\\').
QString WithSeparator(QString folder);

// The folder of the program's own executable, with a trailing separator.
QString ProgramFolder();

// The per-user folder that takes the place of the Windows directory.
struct WorkspaceBaseChoice {
    QString base;                 // ends with a separator
    bool madeForThisRun = false;  // a fresh folder of its own, removed at close
};

// Chooses the base among the runtime folder ($XDG_RUNTIME_DIR) and the
// system temporary folder: the runtime folder when it is a real folder (not a
// link) owned by the user with mode 0700; else tempFolder/kastra-theme-<uid>
// (created 0700) when it is such a folder; else, when that name is someone
// else's, a link, or open to others, a fresh mkdtemp folder beside it. The
// mode of a folder the program did not create is never changed: a shared
// folder would let another local user plant files in the workspace. Fails
// only when no folder can be made; the error is a sentence for the user
// that says why. On Windows the Windows directory.
Result<WorkspaceBaseChoice> ChooseWorkspaceBase(const QString& runtimeFolder, const QString& tempFolder);

// ChooseWorkspaceBase with $XDG_RUNTIME_DIR (when absolute) and the system
// temporary folder.
Result<WorkspaceBaseChoice> WorkspaceBase();

// The workspace root below a base: base + "Temp/WorkDir/".
QString WorkspaceRootFor(const QString& base);

// Creates Temp and WorkDir below the base one level at a time (mode 0700)
// and checks that each is a real folder owned by the user. A link at either
// (or a file, or another user's folder) is refused before anything is
// written into it, with a sentence for the user that names the path and says
// why. Returns the root, ending with a separator.
Result<QString> PrepareWorkspaceRoot(const QString& base);

} // namespace kastra
