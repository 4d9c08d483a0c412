// Settings.ini, the editor command lines and the help texts: the parts of
// the window's handlers that need no window.
#include "app/editors.h"
#include "app/help_texts.h"
#include "app/settings.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>

#include <gtest/gtest.h>

namespace kastra {
namespace {

QString qp(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST(Settings, FirstRunWritesTheDefaultsInWindows1251WithCrLf)
{
    TempDir dir;
    const QString ini = qp(dir.path() / "Settings.ini");
    const Settings s = LoadSettings(ini);
    const QByteArray expected = QByteArray("[General]\r\nEditor1=") + FirstRunEditor().toUtf8()
        + "\r\nEditor2=\r\nEditor3=\r\nDefaultEditor=1\r\nLabel1=Paint\r\n"
          "Label2=\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xB9" "2\r\n"
          "Label3=\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xB9" "3\r\n"
          "[Other]\r\nTop=0\r\nBottom=1\r\n";
    EXPECT_EQ(readAll(ini), expected);
    EXPECT_EQ(s.editors[0], FirstRunEditor());
    EXPECT_EQ(s.defaultEditor, 1);
    EXPECT_EQ(s.labels[0], QStringLiteral("Paint"));
    EXPECT_EQ(s.labels[1], QStringLiteral("Редактор №2"));
    EXPECT_EQ(s.labels[2], QStringLiteral("Редактор №3"));
    EXPECT_FALSE(s.top);
    EXPECT_TRUE(s.bottom);
    EXPECT_FALSE(s.separateEidPic);
}

TEST(Settings, AnEmptyFileCountsAsMissing)
{
    TempDir dir;
    const QString ini = qp(dir.path() / "Settings.ini");
    writeAll(ini, {});
    EXPECT_EQ(LoadSettings(ini).defaultEditor, 1);
    EXPECT_FALSE(readAll(ini).isEmpty());
}

TEST(Settings, MissingKeysReadAsTheirDefaults)
{
    TempDir dir;
    const QString ini = qp(dir.path() / "Settings.ini");
    writeAll(ini, "[General]\r\nEditor2=/usr/bin/gimp\r\n");
    const Settings s = LoadSettings(ini);
    EXPECT_EQ(s.defaultEditor, 0);
    EXPECT_EQ(s.editors[1], QStringLiteral("/usr/bin/gimp"));
    EXPECT_TRUE(s.editors[0].isEmpty());
    EXPECT_FALSE(s.top);
    EXPECT_TRUE(s.bottom);   // "Bottom" reads as 1 when absent
    EXPECT_EQ(s.screenColours, 4096);
    EXPECT_EQ(readAll(ini), QByteArray("[General]\r\nEditor2=/usr/bin/gimp\r\n"));
}

TEST(Settings, SaveReplacesLinesInPlaceAndLeavesDefaultEditorWhenNoneIsChosen)
{
    TempDir dir;
    const QString ini = qp(dir.path() / "Settings.ini");
    writeAll(ini, "; mine\r\n[General]\r\nDefaultEditor=4\r\nEditor1=a\r\n[Extra]\r\nKeep=yes\r\n");
    Settings s = LoadSettings(ini);
    EXPECT_EQ(s.defaultEditor, 4);
    s.defaultEditor = 0;
    s.editors[0] = QStringLiteral("b");
    s.separateEidPic = true;
    s.screenColours = 65536;
    ASSERT_TRUE(SaveSettings(ini, s).ok());
    const QByteArray bytes = readAll(ini);
    EXPECT_TRUE(bytes.startsWith("; mine\r\n[General]\r\nDefaultEditor=4\r\nEditor1=b\r\n"));
    EXPECT_TRUE(bytes.contains("[Extra]\r\nKeep=yes\r\n"));
    EXPECT_TRUE(bytes.contains("NCEiD=1\r\nScreenColours=65536\r\n"));
    EXPECT_EQ(LoadSettings(ini).editors[0], QStringLiteral("b"));
    EXPECT_EQ(LoadSettings(ini).screenColours, 65536);
}

// A value the file cannot carry is left out: its key keeps the line the
// file had, every other key is stored, and the result names the key.
TEST(Settings, TextTheFileCannotHoldKeepsItsOldValueAndTheRestIsStored)
{
    struct Case {
        const char* key;
        QString value;
    };
    const Case cases[] = {
        {"Editor1", QStringLiteral("/opt/peintré/paint")},   // no such letter in Windows-1251
        {"Label2", QStringLiteral("two\nlines")},
        {"Editor3", QStringLiteral("paint") + QChar(0) + QStringLiteral("x")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TempDir dir;
        const QString ini = qp(dir.path() / "Settings.ini");
        writeAll(ini, "[General]\r\nEditor1=old1\r\nLabel2=old2\r\nEditor3=old3\r\n");
        Settings s = LoadSettings(ini);
        s.labels[2] = QStringLiteral("Мой");
        s.bottom = false;
        (c.key[0] == 'E' ? s.editors[static_cast<std::size_t>(c.key[6] - '1')]
                         : s.labels[static_cast<std::size_t>(c.key[5] - '1')]) = c.value;
        const Result<QStringList> saved = SaveSettings(ini, s);
        ASSERT_TRUE(saved.ok()) << saved.error();
        EXPECT_EQ(*saved, QStringList{QString::fromLatin1(c.key)});
        // Only the refused key was changed: every line of General keeps its
        // value, and the keys that could be stored are.
        const QByteArray expected = "[General]\r\nEditor1=old1\r\nLabel2=old2\r\nEditor3=old3\r\n"
                                    "Editor2=\r\nLabel1=\r\nLabel3=\xCC\xEE\xE9\r\n[Other]\r\nTop=0\r\nBottom=0\r\nNCEiD=0\r\nScreenColours=4096\r\n";
        EXPECT_EQ(readAll(ini), expected);
    }
}

TEST(EditorCommand, TheProgramIsTheLongestExecutablePrefix)
{
    TempDir dir;
    const QString folder = qp(dir.path() / "My Paint Programs");
    QDir().mkpath(folder);
    const QString program = folder + QStringLiteral("/paint tool");
    writeAll(program, "#!/bin/sh\n");
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    struct Case {
        QString text;
        QString slot;
        QString program;
        QStringList arguments;
    };
    const Case cases[] = {
        {program, QStringLiteral("/w/Top1.bmp"), program, {QStringLiteral("/w/Top1.bmp")}},
        {program + QStringLiteral(" --new \"two words\""), QStringLiteral("/w/a b.bmp"), program,
         {QStringLiteral("--new"), QStringLiteral("two words"), QStringLiteral("/w/a b.bmp")}},
        {QStringLiteral("gimp -n"), QStringLiteral("/w/x.bmp"), QStringLiteral("gimp"),
         {QStringLiteral("-n"), QStringLiteral("/w/x.bmp")}},
        {QStringLiteral("\"") + program + QStringLiteral("\" -a"), QString(), program,
         {QStringLiteral("-a"), QString()}},
        {QStringLiteral("xdg-open"), QString(), QStringLiteral("xdg-open"), {QString()}},
    };
    for (const Case& c : cases) {
        const EditorLaunch l = ParseEditorCommand(c.text, c.slot);
        EXPECT_EQ(l.program, c.program) << c.text.toStdString();
        EXPECT_EQ(l.arguments, c.arguments) << c.text.toStdString();
    }
    EXPECT_TRUE(ParseEditorCommand(QString(), QStringLiteral("/w/x.bmp")).program.isEmpty());
    EXPECT_TRUE(IsEditorProgram(program));
    EXPECT_FALSE(IsEditorProgram(folder));
}

TEST(HelpTexts, HelpHasFourteenLinesWithTheirSpacesThenTheHandsetView)
{
    const QStringList lines = HelpText().split(u'\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_TRUE(lines[2].isEmpty());
    EXPECT_TRUE(lines[8].isEmpty());
    EXPECT_TRUE(lines[14].isEmpty());
    for (const QString& l : lines) {
        if (!l.isEmpty()) {
            EXPECT_TRUE(l.startsWith(u' ') && !l.startsWith(QStringLiteral("  "))) << l.toStdString();
        }
    }
    EXPECT_TRUE(lines[4].contains(QStringLiteral("кликнуть     по")));
    EXPECT_EQ(lines[13], QStringLiteral(" созданный программой GDR Tool"));
    EXPECT_FALSE(HelpText().endsWith(u'\n'));
}

TEST(HelpTexts, AboutIsNineEmptyLinesThenNineLinesOfArt)
{
    const QStringList lines = AboutBanner().split(u'\n');
    ASSERT_EQ(lines.size(), 18);
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(lines[i].isEmpty());
    for (int i = 9; i < 18; ++i) {
        EXPECT_FALSE(lines[i].trimmed().isEmpty());
        EXPECT_LE(lines[i].size(), 99);
        for (const QChar c : lines[i])
            EXPECT_TRUE(QStringLiteral("$\\/_| ").contains(c)) << lines[i].toStdString();
    }
}

} // namespace
} // namespace kastra
