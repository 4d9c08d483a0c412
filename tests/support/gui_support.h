#pragma once
// What the window tests share: scripted dialogs, a run in its own program
// folder and workspace, and small helpers to find controls and press them.

#include "app/dialogs.h"
#include "app/main_form.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kastra {

struct ShownMessage {
    QString title;
    QString text;
    MessageIcon icon;
};

// Answers the file dialog from a queue (an empty queue cancels) and keeps
// every message shown.
class FakeDialogs final : public Dialogs {
public:
    std::optional<QString> openFile(const QString& windowsFilter) override
    {
        filters.push_back(windowsFilter);
        if (answers.empty())
            return std::nullopt;
        QString a = answers.front();
        answers.pop_front();
        return std::optional<QString>(std::move(a));
    }
    std::optional<QString> saveFile(const QString& windowsFilter) override
    {
        return openFile(windowsFilter);
    }
    void message(const QString& title, const QString& text, MessageIcon icon) override
    {
        messages.push_back({title, text, icon});
        if (whileShown)
            whileShown();
    }
    std::deque<QString> answers;
    // Runs while a message is up, to look at the window behind it.
    std::function<void()> whileShown;
    std::vector<QString> filters;
    std::vector<ShownMessage> messages;
};

inline QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// A program folder and a workspace root of the test's own.
class AppRun {
public:
    AppRun()
    {
        programFolder = qpath(m_dir.path() / "program") + u'/';
        root = qpath(m_dir.path() / "base" / "Temp" / "WorkDir") + u'/';
        QDir().mkpath(programFolder);
    }
    // Builds the window, which prepares the workspace as at a real start
    // (with openFile as the file on its command line).
    MainForm& start(const QString& openFile = {})
    {
        StartupOptions o;
        o.openFile = openFile;
        o.programFolder = programFolder;
        o.workspaceRoot = root;
        o.dialogs = &dialogs;
        // A sanitizer build's SISTool starts slowly on a busy machine.
        o.sisToolTimeoutMs = 30000;
        form = std::make_unique<MainForm>(o);
        return *form;
    }
    template <class T> T* find(const char* name) const
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    std::filesystem::path dir() const { return m_dir.path(); }

    FakeDialogs dialogs;
    QString programFolder;
    QString root;
    std::unique_ptr<MainForm> form;

private:
    TempDir m_dir;
};

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Processes events until pred holds or ms pass.
template <class Pred> bool waitFor(Pred pred, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

// Lets the 50 ms repaint timers run.
inline void settle(MainForm& form)
{
    waitFor([&] { return !form.previewTimer().isActive() && !form.stripTimer().isActive(); }, 3000);
}

// Builds and shows the window and waits until its first repaints are done.
inline bool startShown(AppRun& run)
{
    run.start();
    run.form->show();
    if (!QTest::qWaitForWindowExposed(run.form.get()))
        return false;
    settle(*run.form);
    return true;
}

// Every file of the workspace with its bytes, by path below the root; the
// undo history's own files and the unpacked defaults are left out.
inline QMap<QString, QByteArray> workspaceFiles(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = it.next().mid(root.size());
        if (!relative.startsWith(QStringLiteral("History/")) && !relative.startsWith(QStringLiteral("DefaultSlot/")))
            files.insert(relative, fileBytes(root + relative));
    }
    return files;
}

// A stand-in editor: a script that writes each argument it gets on a line
// of its own, in brackets, to a file, so the test sees exactly what the
// program handed over.
inline QString makeRecordingEditor(const QString& folder, const QString& name, const QString& record)
{
    const QString path = folder + name;
    writeFile(path, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\" >> '%1'; done\n")
                        .arg(record)
                        .toUtf8());
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

// What the stand-in editor recorded; ms is how long to wait for a start
// that may not come.
inline QStringList recordedArguments(const QString& record, int ms = 3000)
{
    if (!waitFor([&] { return QFile::exists(record); }, ms))
        return {};
    QTest::qWait(50);
    QString text = QString::fromUtf8(fileBytes(record));
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    return lines;
}

} // namespace kastra
