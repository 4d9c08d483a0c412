// Until the main window is built, the program shows a small window that says
// so, so that `make run` starts something honest.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Kastra Theme Creator\n\nThe main window is not built yet.\n"
                                "The tools bmconv, makesis and SISTool.exe are in this folder."));
    label.setAlignment(Qt::AlignCenter);
    label.setMinimumSize(360, 120);
    label.setWindowTitle(QStringLiteral("Kastra Theme Creator"));
    label.show();
    return app.exec();
}
