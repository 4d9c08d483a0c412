#pragma once
// Starting an external editor on a slot file. The program never waits for
// the editor; an editor that cannot be started at all (none chosen, or its
// program missing) is said, with where to choose another.

#include <QString>
#include <QStringList>

namespace kastra {

struct EditorLaunch {
    QString program;        // empty: nothing can be started
    QStringList arguments;  // the editor text's own arguments, then the slot
};

// How an editor text and a slot path become a process. As on Windows, the
// program is the longest space-delimited prefix of the text that names an
// executable file (so a browsed path with spaces works, unquoted); a quoted
// first word is taken as it stands. The rest is split into arguments with
// Windows quoting, and the slot path follows as one argument in native form
// (an empty path gives one empty argument, as the quoted "" did).
// A prefix naming no executable file falls back to the first word, which is
// then looked up on PATH when started.
EditorLaunch ParseEditorCommand(const QString& editorText, const QString& slotPath);

// Starts it detached, without a shell and without handing over any of the
// program's own open files. Returns whether it started.
bool StartEditor(const QString& editorText, const QString& slotPath);

// What the person is told when StartEditor failed for editorText.
QString EditorNotStartedText(const QString& editorText);

// Whether a browsed file may serve as an editor: an existing executable file.
bool IsEditorProgram(const QString& path);

} // namespace kastra
