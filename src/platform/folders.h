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

// The per-user folder that takes the place of the Windows directory: on
// Windows the Windows directory itself; elsewhere $XDG_RUNTIME_DIR when set,
// else <system temp>/kastra-theme-<uid>. It is created with mode 0700 when
// missing and refused when another user owns it or others may write to it,
// since a shared folder would let another local user plant files in the
// workspace. The result ends with a separator.
Result<QString> WorkspaceBase();

// The same checks for a given folder (tests pass their own).
Result<QString> PrepareWorkspaceBase(const QString& folder);

// The workspace root below a base: base + "Temp/WorkDir/".
QString WorkspaceRootFor(const QString& base);

} // namespace kastra
