// The program: one window on a prepared theme workspace. Its command line is
// --help, --version, Qt's own options and at most one file to load.
#include "app/command_line.h"
#include "platform/fileops.h"
#include "platform/folders.h"
#include "preview/fonts.h"
#include "app/main_form.h"
#include "app/widgets.h"
#include "workspace/workspace.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A workspace base made for this run alone goes with it, however the run
// ends (the tear-down has removed the root below it by then).
struct RunBase {
    kastra::WorkspaceBaseChoice choice;
    ~RunBase()
    {
        if (choice.madeForThisRun)
            kastra::ClearFolder(choice.base, {QStringLiteral("Temp")});
    }
};

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    // Nothing else is safe in a signal handler; the window hears of it
    // through the pipe.
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM, SIGINT and SIGHUP (a kill, Ctrl+C in the terminal that started
// the window, a logout, a closed terminal) become a normal close request, so
// the workspace is torn down and the settings saved. The request is served
// by the window's own thread, between handlers: a replacement of files in
// progress always ends first.
void closeOnSignals(kastra::MainForm& form)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &c, 1);
        form.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    // Before the application object: --help and --version need no display,
    // and a refused word must not leave a lock or a workspace behind.
    const kastra::ProgramCommandLine commandLine = kastra::ReadProgramCommandLine(argc, argv);
    switch (commandLine.request) {
    case kastra::ProgramRequest::Help:
    case kastra::ProgramRequest::Version:
        std::fputs(commandLine.text.c_str(), stdout);
        return 0;
    case kastra::ProgramRequest::Refused:
        std::fputs(commandLine.text.c_str(), stderr);
        return 2;
    case kastra::ProgramRequest::Run:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setStyle(new kastra::KastraStyle);
    QApplication::setApplicationName(QStringLiteral("kastra-theme"));
    // Lets the desktop match the window to its menu entry (Wayland app id),
    // so the dock shows the entry's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("kastra-theme-creator"));
    kastra::InstallFontSubstitutes();

    QTranslator qtRussian;
    if (qtRussian.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtRussian);

    const QString programFolder = kastra::ResolveProgramFolder(QCoreApplication::applicationDirPath());
    const auto refuse = [](const QString& why) {
        QMessageBox::warning(nullptr, QString::fromUtf16(kastra::WindowCaption), why);
        return 1;
    };
    // The workspace is never put anywhere but a checked per-user base, and
    // never below a link: a refused folder ends the program, with a sentence
    // that says why, before anything is written.
    const auto base = kastra::WorkspaceBase();
    if (!base)
        return refuse(QString::fromStdString(base.error()));
    const RunBase runBase{*base};

    // One window per workspace base and one per program folder: two windows
    // on one program folder would overwrite each other's settings and theme
    // files even with their workspaces apart.
    QString why;
    const auto lock = kastra::WorkspaceLock::acquire({base->base, programFolder}, &why);
    if (!lock)
        return refuse(why);
    // What a killed window or command left half replaced in the program
    // folder is put back before anything reads it.
    kastra::RecoverInterruptedWrites(programFolder);
    const auto root = kastra::PrepareWorkspaceRoot(base->base);
    if (!root)
        return refuse(QString::fromStdString(root.error()));

    kastra::StartupOptions options;
    options.programFolder = programFolder;
    options.workspaceRoot = *root;
    // Named relative to where the program was started, as a shell user or a
    // file manager means it.
    if (!commandLine.file.empty())
        options.openFile = QFileInfo(QString::fromLocal8Bit(commandLine.file)).absoluteFilePath();
    kastra::MainForm form(options);
    closeOnSignals(form);
    // A logout asks first and may still be cancelled: only the settings are
    // stored then. The workspace goes when the program really ends.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager&) { form.commitData(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] { form.shutdown(); });
    form.show();
    return app.exec();
}
