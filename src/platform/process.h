#pragma once
// Child processes: run one hidden and wait for it, or start one detached. No
// shell is ever involved; a command line is split into program and arguments
// the way Windows splits it (double quotes group words).

#include <QString>
#include <QStringList>

namespace kastra {

struct ProcessOutcome {
    bool started = false;
    bool finished = false;   // false when it was ended after the time limit
    int exitCode = -1;
};

// Runs the command line in workingDir without a window and waits: without a
// limit when timeoutMs < 0, else at most timeoutMs milliseconds, after which
// the child is ended. A program named without a folder is looked for in the
// working directory first (as Windows does), then on PATH. Its output is
// discarded. Window events are not processed while waiting.
ProcessOutcome RunHidden(const QString& commandLine, const QString& workingDir, int timeoutMs = -1);

// Starts the command line and does not wait. Returns whether it started.
bool StartDetached(const QString& commandLine, const QString& workingDir = {});

// The words of a command line.
QStringList SplitCommandLine(const QString& commandLine);

} // namespace kastra
