#pragma once
// Child processes: run one hidden and wait for it, or start one detached. This
// is the one place the program starts a process. No shell is ever involved: a
// command line is split into program and arguments the way Windows splits it
// (double quotes group words), and a program given with its arguments is
// started with exactly those.

#include "base/safe_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kastra {

// What a child did.
struct ProcessOutcome {
    bool started = false;
    bool finished = false;        // false when it was ended after the time limit
    int exitCode = -1;            // -1 unless it finished by exiting
    QByteArray errorOutput;       // the first bytes it wrote to standard error, when they were asked for
    bool errorOutputCut = false;  // it wrote more than that; the rest was read and dropped
};

// Runs program with arguments in workingDir without a window and waits:
// without a limit when timeoutMs < 0, else at most timeoutMs milliseconds,
// after which the child is ended. A program named without a folder is looked
// for in the working directory first (as Windows does), then on PATH. Its
// standard input is empty and its output discarded; of its error output the
// first keepErrorBytes bytes are kept in the outcome and the rest is read and
// dropped, so a talkative child neither blocks nor fills memory. Window
// events are not processed while waiting.
ProcessOutcome RunHidden(const QString& program, const QStringList& arguments, const QString& workingDir,
                         int timeoutMs = -1, qsizetype keepErrorBytes = 0);

// The same for a command line, split into program and arguments.
ProcessOutcome RunHidden(const QString& commandLine, const QString& workingDir, int timeoutMs = -1);
// The same in a folder held open: the child moves into the folder the
// descriptor names just before the program starts, so a path that names
// another folder by then cannot redirect it. A program named without a
// folder is looked for in that folder first.
ProcessOutcome RunHiddenIn(const Folder& folder, const QString& commandLine, int timeoutMs = -1);

// Starts program with arguments and does not wait. Returns whether it started.
// The child gets our three standard streams and nothing else of ours: every
// file the program opens (the workspace lock among them) is close-on-exec.
bool StartDetached(const QString& program, const QStringList& arguments, const QString& workingDir = {});

// The same for a command line, split into program and arguments.
bool StartDetached(const QString& commandLine, const QString& workingDir = {});

// The words of a command line.
QStringList SplitCommandLine(const QString& commandLine);

} // namespace kastra
