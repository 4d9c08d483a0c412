// The window tests run with a real QApplication on Qt's offscreen platform,
// with the program's own style and font substitutes.
#include "preview/fonts.h"
#include "app/widgets.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(new kastra::KastraStyle);
    kastra::InstallFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
