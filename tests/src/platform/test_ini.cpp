#include "platform/codepage.h"
#include "platform/ini.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>

using namespace kastra;

namespace {

QString pathIn(const TempDir& d, const char* name)
{
    return QString::fromStdString((d.path() / name).string());
}

void writeText(const QString& path, const std::string& bytes)
{
    writeBytes(path.toStdString(), Bytes(bytes.begin(), bytes.end()));
}

std::string readText(const QString& path)
{
    const Bytes b = readBytes(path.toStdString());
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(Ini, ReadsCaseInsensitivelyAndTheFirstMatchWins)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    writeText(p, "; comment\r\n[general]\r\n  EDITOR1 = kolourpaint  \r\neditor1=second\r\n"
                 "Quoted=\"a b\"\r\n[Other]\r\nTop=1\r\nNum=42abc\r\nNeg=-5\r\n[General]\r\nEditor2=late\r\n");
    EXPECT_EQ(ReadIniString(p, "General", "Editor1"), "kolourpaint");
    EXPECT_EQ(ReadIniString(p, "GENERAL", "quoted"), "a b");
    EXPECT_EQ(ReadIniString(p, "General", "Editor2", "def"), "def");   // only the first [General] is searched
    EXPECT_EQ(ReadIniString(p, "Missing", "Editor1", "def"), "def");
    EXPECT_EQ(ReadIniInt(p, "other", "TOP", 7), 1);
    EXPECT_EQ(ReadIniInt(p, "Other", "Num", 7), 42);
    EXPECT_EQ(ReadIniInt(p, "Other", "Neg", 7), 0);
    EXPECT_EQ(ReadIniInt(p, "Other", "Absent", 7), 7);
    EXPECT_EQ(ReadIniInt(p, "General", "Editor1", 7), 0);
}

TEST(Ini, WritingAKeyReplacesOnlyThatLine)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    writeText(p, "; keep me\r\n[General]\r\nEditor1=old\r\n\r\n; between\r\n[Other]\r\nTop=0\r\n");
    ASSERT_TRUE(WriteIniString(p, "general", "EDITOR1", "new"));
    EXPECT_EQ(readText(p), "; keep me\r\n[General]\r\nEDITOR1=new\r\n\r\n; between\r\n[Other]\r\nTop=0\r\n");
    // A new key goes to the end of its section, a new section to the end of the file.
    ASSERT_TRUE(WriteIniString(p, "Other", "Bottom", "1"));
    ASSERT_TRUE(WriteIniString(p, "General", "Editor2", "x"));
    ASSERT_TRUE(WriteIniString(p, "Extra", "Key", "v"));
    EXPECT_EQ(readText(p), "; keep me\r\n[General]\r\nEDITOR1=new\r\n\r\n; between\r\nEditor2=x\r\n[Other]\r\nTop=0\r\n"
                           "Bottom=1\r\n[Extra]\r\nKey=v\r\n");
}

TEST(Ini, MissingOrEmptyFileIsCreated)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    EXPECT_TRUE(IniFile(p).isEmpty());
    writeText(p, "");
    EXPECT_TRUE(IniFile(p).isEmpty());
    IniFile ini(p);
    ini.writeString("General", "Editor1", "mspaint.exe");
    ini.writeInt("General", "DefaultEditor", 1);
    ASSERT_TRUE(ini.save().ok());
    EXPECT_EQ(readText(p), "[General]\r\nEditor1=mspaint.exe\r\nDefaultEditor=1\r\n");
}

TEST(Ini, ValuesAreCutAt2047Characters)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    const QString longValue(3000, u'z');
    ASSERT_TRUE(WriteIniString(p, "General", "Editor1", longValue));
    EXPECT_EQ(ReadIniString(p, "General", "Editor1").size(), 2047);
    EXPECT_EQ(ReadIniString(p, "General", "Missing", longValue).size(), 2047);
}

TEST(Ini, CyrillicRoundTripsInWindows1251)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    const QString label = QString::fromUtf8("Редактор №2");
    ASSERT_TRUE(WriteIniString(p, "Other", "Label2", label));
    EXPECT_EQ(readText(p), "[Other]\r\nLabel2=\xD0\xE5\xE4\xE0\xEA\xF2\xEE\xF0 \xB9\x32\r\n");
    EXPECT_EQ(ReadIniString(p, "Other", "Label2"), label);
    // Section and key names in Cyrillic match without regard to case too.
    ASSERT_TRUE(WriteIniString(p, QString::fromUtf8("Раздел"), QString::fromUtf8("Ключ"), "1"));
    EXPECT_EQ(ReadIniString(p, QString::fromUtf8("РАЗДЕЛ"), QString::fromUtf8("ключ")), "1");
}

TEST(Ini, LoneCarriageReturnsAndUnixLinesRead)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    writeText(p, "[A]\nx=1\r[B]\ry=2");
    EXPECT_EQ(ReadIniInt(p, "A", "x", 0), 1);
    EXPECT_EQ(ReadIniInt(p, "B", "y", 0), 2);
}

TEST(Codepage, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(toCp1251(QString::fromUtf8("a中b")), QByteArray("a?b"));
    EXPECT_EQ(fromCp1251(QByteArray("\xB9", 1)), QString::fromUtf8("№"));
}

TEST(Ini, ReadsFromBytesAsFromTheFile)
{
    TempDir d;
    const QString p = pathIn(d, "Settings.ini");
    const std::string text = "[General]\nEditor1=a\xC0\x98\r[Other]\r\nTop=3";
    const IniFile ini(p, ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(ini.readString("General", "Editor1"), QString::fromUtf8("aА") + QChar(0x98));
    EXPECT_EQ(ini.readInt("Other", "Top", 0), 3);
    // Nothing was read from or written to disk; bytes() is what save() writes.
    EXPECT_FALSE(std::filesystem::exists(p.toStdString()));
    const Bytes expected{'[', 'G', 'e', 'n', 'e', 'r', 'a', 'l', ']', '\r', '\n', 'E', 'd', 'i', 't', 'o', 'r', '1', '=',
                         'a', 0xC0, 0x98, '\r', '\n', '[', 'O', 't', 'h', 'e', 'r', ']', '\r', '\n', 'T', 'o', 'p', '=',
                         '3', '\r', '\n'};
    EXPECT_EQ(ini.bytes(), expected);
    ASSERT_TRUE(ini.save().ok());
    EXPECT_EQ(readBytes(p.toStdString()), expected);
}

// A settings file we could not read must not be replaced by one holding only
// the keys we wrote.
TEST(Ini, AFileThatCannotBeReadIsNotReplaced)
{
    struct Case {
        const char* what;
        void (*make)(const std::filesystem::path&);
    };
    const Case cases[] = {
        {"too large",
         [](const std::filesystem::path& p) {
             writeBytes(p, Bytes{'[', 'A', ']', '\r', '\n'});
             std::filesystem::resize_file(p, IniFile::MaxFileBytes + 1);
         }},
        {"a folder", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const std::filesystem::path file = d.path() / "Settings.ini";
        c.make(file);
        const auto sizeBefore = std::filesystem::is_directory(file) ? 0 : std::filesystem::file_size(file);
        IniFile ini(QString::fromStdString(file.string()));
        EXPECT_TRUE(ini.isEmpty());
        EXPECT_EQ(ini.readString("A", "Key", "def"), "def");
        ini.writeString("A", "Key", "v");
        const auto saved = ini.save();
        ASSERT_FALSE(saved.ok());
        EXPECT_NE(saved.error().find("not replaced"), std::string::npos) << saved.error();
        if (!std::filesystem::is_directory(file)) {
            EXPECT_EQ(std::filesystem::file_size(file), sizeBefore);
        }
        EXPECT_FALSE(WriteIniString(QString::fromStdString(file.string()), "A", "Key", "v"));
    }
}
