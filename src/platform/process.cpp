#include "platform/process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kastra {

namespace {

QString resolveProgram(const QString& program, const QString& workingDir)
{
    if (program.contains(u'/') || program.contains(u'\\') || workingDir.isEmpty())
        return program;
    const QFileInfo local(QDir(workingDir), program);
    if (local.isFile() && local.isExecutable())
        return local.absoluteFilePath();
    return program;
}

// Milliseconds left until the deadline, -1 for none, as QProcess's waits
// take them.
int msecsLeft(const QDeadlineTimer& deadline)
{
    if (deadline.isForever())
        return -1;
    return static_cast<int>(deadline.remainingTime());
}

// Moves what the child has written to standard error so far out of the
// process's buffer: into the outcome up to keep bytes, the rest dropped.
void drainErrorOutput(QProcess& p, qsizetype keep, ProcessOutcome& out)
{
    const QByteArray chunk = p.readAllStandardError();
    const qsizetype room = keep - out.errorOutput.size();
    if (chunk.size() > room)
        out.errorOutputCut = true;
    if (room > 0)
        out.errorOutput += chunk.left(room);
}

// Waits for the child to end, or for the deadline, reading its error output
// as it comes. Returns whether it ended.
bool waitReadingErrors(QProcess& p, QDeadlineTimer deadline, qsizetype keep, ProcessOutcome& out)
{
    p.setReadChannel(QProcess::StandardError);
    for (;;) {
        drainErrorOutput(p, keep, out);
        if (p.state() == QProcess::NotRunning)
            return true;
        if (deadline.hasExpired())
            return false;
        // Returns at new output, at the end of the child (false) or at the
        // deadline (false); a failed wait falls back to waiting for the end.
        if (!p.waitForReadyRead(msecsLeft(deadline)) && p.state() != QProcess::NotRunning
            && !deadline.hasExpired()) {
            const bool ended = p.waitForFinished(msecsLeft(deadline));
            drainErrorOutput(p, keep, out);
            return ended;
        }
    }
}

QStringList programAndArguments(const QString& commandLine, QString& program)
{
    QStringList words = SplitCommandLine(commandLine);
    if (!words.isEmpty())
        program = words.takeFirst();
    return words;
}

} // namespace

QStringList SplitCommandLine(const QString& commandLine)
{
    return QProcess::splitCommand(commandLine);
}

namespace {

// Starts p as set up and waits as RunHidden says.
ProcessOutcome runAndWait(QProcess& p, int timeoutMs, qsizetype keepErrorBytes)
{
    ProcessOutcome out;
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    if (keepErrorBytes <= 0)
        p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(-1))
        return out;
    out.started = true;
    const bool ended = keepErrorBytes > 0
                           ? waitReadingErrors(p, QDeadlineTimer(timeoutMs < 0 ? -1 : timeoutMs), keepErrorBytes, out)
                           : p.waitForFinished(timeoutMs < 0 ? -1 : timeoutMs);
    if (ended) {
        out.finished = true;
        out.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return out;
    }
    p.kill();
    p.waitForFinished(-1);
    return out;
}

} // namespace

ProcessOutcome RunHidden(const QString& program, const QStringList& arguments, const QString& workingDir,
                         int timeoutMs, qsizetype keepErrorBytes)
{
    if (program.isEmpty())
        return {};
    QProcess p;
    p.setProgram(resolveProgram(program, workingDir));
    p.setArguments(arguments);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    return runAndWait(p, timeoutMs, keepErrorBytes);
}

ProcessOutcome RunHiddenIn(const Folder& folder, const QString& commandLine, int timeoutMs)
{
    QString program;
    const QStringList arguments = programAndArguments(commandLine, program);
    if (program.isEmpty())
        return {};
    // "./name" is started as it stands, after the move into the folder.
    const bool local = !program.contains(u'/') && !program.contains(u'\\') && folder.hasFile(program.toStdString());
    QProcess p;
    p.setProgram(local ? QStringLiteral("./") + program : program);
    p.setArguments(arguments);
#ifndef _WIN32
    const int fd = folder.fd();
    // Runs in the child between fork and exec: nothing but the system call.
    p.setChildProcessModifier([fd] {
        if (::fchdir(fd) != 0)
            ::_exit(127);
    });
#else
    p.setWorkingDirectory(QString::fromStdU16String(folder.path().u16string()));
#endif
    return runAndWait(p, timeoutMs, 0);
}

ProcessOutcome RunHidden(const QString& commandLine, const QString& workingDir, int timeoutMs)
{
    QString program;
    const QStringList arguments = programAndArguments(commandLine, program);
    return RunHidden(program, arguments, workingDir, timeoutMs);
}

bool StartDetached(const QString& program, const QStringList& arguments, const QString& workingDir)
{
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDir);
}

bool StartDetached(const QString& commandLine, const QString& workingDir)
{
    QString program;
    const QStringList arguments = programAndArguments(commandLine, program);
    return StartDetached(program, arguments, workingDir);
}

} // namespace kastra
