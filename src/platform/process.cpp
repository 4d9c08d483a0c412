#include "platform/process.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

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

} // namespace

QStringList SplitCommandLine(const QString& commandLine)
{
    return QProcess::splitCommand(commandLine);
}

ProcessOutcome RunHidden(const QString& commandLine, const QString& workingDir, int timeoutMs)
{
    ProcessOutcome out;
    QStringList words = SplitCommandLine(commandLine);
    if (words.isEmpty())
        return out;
    QProcess p;
    p.setProgram(resolveProgram(words.takeFirst(), workingDir));
    p.setArguments(words);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(-1))
        return out;
    out.started = true;
    if (p.waitForFinished(timeoutMs < 0 ? -1 : timeoutMs)) {
        out.finished = true;
        out.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return out;
    }
    p.kill();
    p.waitForFinished(-1);
    return out;
}

bool StartDetached(const QString& commandLine, const QString& workingDir)
{
    QStringList words = SplitCommandLine(commandLine);
    if (words.isEmpty())
        return false;
    const QString program = words.takeFirst();
    return QProcess::startDetached(program, words, workingDir);
}

} // namespace kastra
