// What a file dropped onto the window is for: the kind by name in any letter
// case, the theme file it names, and every drop the window must refuse.
#include "package/drops.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kastra {
namespace {

TEST(DropKinds, EachNameGoesToItsLoader)
{
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string()) + u'/';
    struct Case {
        const char* name;
        DropKind kind;
        ThemeFile file;   // for DropKind::ThemeFile
    };
    const Case cases[] = {
        {"sunset.bmp", DropKind::Picture, {}},
        {"PHOTO.JPG", DropKind::Picture, {}},
        {"a.b.Jpeg", DropKind::Picture, {}},
        {"theme.SIS", DropKind::Theme, {}},
        {"font.gdr", DropKind::Font, {}},
        {"EIDPIC.MBM", DropKind::ThemeFile, ThemeFile::EidPic},
        {"BackgroundImage.mbm", DropKind::ThemeFile, ThemeFile::Background},
        {"avkon.mbm", DropKind::ThemeFile, ThemeFile::Avkon},
        {"AvkonEx.mbm", DropKind::ThemeFile, ThemeFile::AvkonEx},
        {"Menu_Folders.MBM", DropKind::ThemeFile, ThemeFile::MenuFolders},
        {"veZozi.aif", DropKind::Refused, {}},
        {"other.mbm", DropKind::Refused, {}},
        {"screenshot.PNG", DropKind::Picture, {}},
        {"picture.gif", DropKind::Refused, {}},
        {"jpg", DropKind::Refused, {}},
        {"Avkon.mbm.bak", DropKind::Refused, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir.path() / c.name) << "x";
        const QString path = folder + QLatin1String(c.name);
        const DropTarget t = ClassifyDrop(path);
        EXPECT_EQ(t.kind, c.kind);
        EXPECT_EQ(t.path, path);
        EXPECT_EQ(t.refusal.isEmpty(), c.kind != DropKind::Refused);
        if (c.kind == DropKind::ThemeFile) {
            EXPECT_EQ(t.themeFile, c.file);
        }
        // The same file dragged as a URL.
        EXPECT_EQ(ClassifyDrop(QList<QUrl>{QUrl::fromLocalFile(path)}).kind, c.kind);
    }
    EXPECT_TRUE(ClassifyDrop(folder + QStringLiteral("veZozi.aif")).refusal.contains(QStringLiteral("«Загр. veZozi»")));
    EXPECT_TRUE(ClassifyDrop(folder + QStringLiteral("other.mbm")).refusal.startsWith(QStringLiteral("Файл ")));
}

TEST(DropKinds, WhatIsNoSingleLocalFileIsRefused)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "Photos.bmp");
    std::ofstream(dir.path() / "a.bmp") << "x";
    std::ofstream(dir.path() / "b.bmp") << "x";
    const QString folder = QString::fromStdString(dir.path().string()) + u'/';
    const QUrl a = QUrl::fromLocalFile(folder + QStringLiteral("a.bmp"));
    const QUrl b = QUrl::fromLocalFile(folder + QStringLiteral("b.bmp"));
    const std::pair<QList<QUrl>, const char*> cases[] = {
        {{}, "один файл"},
        {{a, b}, "только один файл"},
        {{QUrl(QStringLiteral("https://example.org/a.bmp"))}, "один файл"},
        {{QUrl::fromLocalFile(folder + QStringLiteral("Photos.bmp"))}, "папка"},
        {{QUrl::fromLocalFile(folder + QStringLiteral("gone.bmp"))}, "не найден"},
    };
    for (const auto& [urls, says] : cases) {
        SCOPED_TRACE(says);
        const DropTarget t = ClassifyDrop(urls);
        EXPECT_EQ(t.kind, DropKind::Refused);
        EXPECT_TRUE(t.refusal.contains(QString::fromUtf8(says))) << t.refusal.toStdString();
    }
}

} // namespace
} // namespace kastra
