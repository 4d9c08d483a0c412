// The payload store: every payload of the program's table is built in, the
// override folder wins, a payload written into the workspace replaces the
// file exactly, and the Avkon pack list is byte for byte the fixed list.
#include "avkon_depths.h"
#include "mbm/mbm.h"
#include "workspace/payloads.h"
#include "workspace/theme_catalogue.h"
#include "workspace/workspace.h"
#include "test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

QString q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

Bytes toBytes(const QByteArray& a)
{
    return Bytes(a.begin(), a.end());
}

Bytes builtIn(Payload payload)
{
    TempDir empty;
    const auto b = payloadBytes(payload, q(empty.path()));
    EXPECT_TRUE(b.has_value()) << payloadId(payload).name;
    return b ? toBytes(*b) : Bytes{};
}

// Writes the payload into dir as a workspace does, the program folder
// (for overrides) being programFolder.
Result<void> writePayload(Payload payload, const fs::path& dir, const char* file, const fs::path& programFolder)
{
    const Workspace ws(q(dir), q(programFolder));
    return ws.writePayload(payload, QString::fromLatin1(file));
}

} // namespace

TEST(Payloads, TableHoldsEveryPayloadOnce)
{
    const std::set<std::string> expected = {
        "EXTPROGS/BMC", "EXTPROGS/SIS", "PKG/AVKON",  "PKG/AVKONEX", "PKG/MENUF",   "PKG/SPLT",    "PKG/NIMG",
        "PKG/ABOUT",    "PKG/AVCOM",    "PKG/DEL_F",  "PKG/DEL_L",   "PKG/RES",     "PKG/RES_AV",  "PKG/FONT",
        "PKG/APPAIF",   "PKG/APPAPP",   "PKG/APPR1",  "PKG/APPR3",   "PKG/APPR16",  "PKG/APPCR1",  "PKG/APPCR3",
        "PKG/APPCR16",  "PKG/MENAIF",   "PKG/MENAPP", "PKG/MENR1",   "PKG/MENR3",   "PKG/MENR16",  "PKG/MENCR1",
        "PKG/MENCR3",   "PKG/MENCR16"};
    std::set<std::string> listed;
    for (const PayloadId& id : payloadIds())
        EXPECT_TRUE(listed.insert(std::string(id.type) + "/" + id.name).second) << id.name;
    EXPECT_EQ(listed, expected);
}

TEST(Payloads, EveryPayloadIsBuiltInNonEmptyAndEqualToTheBuildsCopy)
{
    for (const PayloadId& id : payloadIds()) {
        const Bytes b = builtIn(id.payload);
        EXPECT_EQ(payloadNamed(QLatin1String(id.type), QLatin1String(id.name)), id.payload) << id.name;
        EXPECT_FALSE(b.empty()) << id.type << "/" << id.name;
        const fs::path copy = fs::path(KASTRA_PAYLOAD_DIR) / id.type / id.name;
        EXPECT_EQ(b, readBytes(copy)) << copy;
    }
}

TEST(Payloads, UnknownPairsAreNoPayloadEvenWithAnOverrideFile)
{
    TempDir program;
    fs::create_directories(program.path() / "payloads" / "PKG");
    writeBytes(program.path() / "payloads" / "PKG" / "EXTRA", Bytes{1, 2, 3});
    EXPECT_FALSE(payloadNamed("PKG", "EXTRA").has_value());
    EXPECT_FALSE(payloadNamed("pkg", "AVKON").has_value());
    EXPECT_FALSE(payloadNamed("PKG", "avkon").has_value());
    EXPECT_FALSE(payloadNamed("", "").has_value());
}

TEST(Payloads, WritingOverALongerFileLeavesExactlyThePayload)
{
    TempDir dir;
    const fs::path target = dir.path() / "com.txt";
    writeBytes(target, Bytes(100000, 'x'));
    EXPECT_TRUE(writePayload(Payload::AvkonPackList, dir.path(), "com.txt", dir.path()));
    EXPECT_EQ(readBytes(target), builtIn(Payload::AvkonPackList));
    EXPECT_EQ(fs::file_size(target), 8917u);
}

TEST(Payloads, WritingTheConverterTwiceLeavesOneUnchangedExecutable)
{
    TempDir dir;
    const fs::path target = dir.path() / "bmconv.exe";
    ASSERT_TRUE(writePayload(Payload::Bmconv, dir.path(), "bmconv.exe", dir.path()));
    const Bytes first = readBytes(target);
    ASSERT_TRUE(writePayload(Payload::Bmconv, dir.path(), "bmconv.exe", dir.path()));
    EXPECT_EQ(readBytes(target), first);
    EXPECT_EQ(first, builtIn(Payload::Bmconv));
    const auto perms = fs::status(target).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Payloads, PackagePayloadsAreNotMadeExecutable)
{
    TempDir dir;
    const fs::path target = dir.path() / "Avkon.mbm";
    ASSERT_TRUE(writePayload(Payload::Avkon, dir.path(), "Avkon.mbm", dir.path()));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST(Payloads, WriteFailuresKeepTheOldFile)
{
    TempDir dir;
    EXPECT_FALSE(writePayload(Payload::NoImage, dir.path(), "missing\\Top1.bmp", dir.path()));
    EXPECT_FALSE(fs::exists(dir.path() / "missing"));
    // A folder where the file should go: nothing is written, the folder stays.
    fs::create_directory(dir.path() / "Top1.bmp");
    writeBytes(dir.path() / "Top1.bmp" / "inner", Bytes{7});
    EXPECT_FALSE(writePayload(Payload::NoImage, dir.path(), "Top1.bmp", dir.path()));
    EXPECT_EQ(readBytes(dir.path() / "Top1.bmp" / "inner"), Bytes{7});
}

TEST(Payloads, OverrideFolderWinsOverTheBuiltInBytes)
{
    TempDir program;
    const fs::path folder = program.path() / "payloads" / "PKG";
    fs::create_directories(folder);
    const Bytes original = {'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l'};
    writeBytes(folder / "AVKON", original);
    const auto b = payloadBytes(Payload::Avkon, q(program.path()));
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(toBytes(*b), original);
    // A workspace writes it too; other payloads keep their built-in bytes.
    ASSERT_TRUE(writePayload(Payload::Avkon, program.path(), "Avkon.mbm", program.path()));
    EXPECT_EQ(readBytes(program.path() / "Avkon.mbm"), original);
    EXPECT_EQ(toBytes(*payloadBytes(Payload::AvkonEx, q(program.path()))), builtIn(Payload::AvkonEx));
    // The tools can be replaced the same way.
    fs::create_directories(program.path() / "payloads" / "EXTPROGS");
    writeBytes(program.path() / "payloads" / "EXTPROGS" / "SIS", Bytes{'M', 'Z'});
    EXPECT_EQ(toBytes(*payloadBytes(Payload::Makesis, q(program.path()))), (Bytes{'M', 'Z'}));
    EXPECT_EQ(payloadOverridePath(Payload::Font, "/prog"), QString("/prog/payloads/PKG/FONT"));
}

TEST(Payloads, AnOverrideThatCannotBeReadLeavesTheBuiltInBytes)
{
    TempDir program;
    // A folder in place of the file.
    fs::create_directories(program.path() / "payloads" / "PKG" / "FONT");
    EXPECT_EQ(toBytes(*payloadBytes(Payload::Font, q(program.path()))), builtIn(Payload::Font));
}

TEST(Payloads, AvkonPackListIsExact)
{
    const Bytes b = builtIn(Payload::AvkonPackList);
    ASSERT_EQ(b.size(), 8917u);
    const std::string letters = test::avkonDepths();
    ASSERT_EQ(letters.size(), 508u);
    std::string expected = "SIS\\Avkon.mbm\r\n";
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const char* prefix = letters[i] == 'c' ? "/c8" : letters[i] == 'm' ? "/1" : "/c12";
        char slot[32];
        std::snprintf(slot, sizeof slot, "Avkon\\%03zu.bmp", i);
        expected += std::string(prefix) + slot + "\r\n";
    }
    EXPECT_EQ(std::string(b.begin(), b.end()), expected);
    EXPECT_EQ(std::count(b.begin(), b.end(), '\n'), 509);
    EXPECT_EQ(std::count(letters.begin(), letters.end(), 'c'), 240);
    EXPECT_EQ(std::count(letters.begin(), letters.end(), 'm'), 255);
    std::vector<std::size_t> twelve;
    for (std::size_t i = 0; i < letters.size(); ++i)
        if (letters[i] == 't')
            twelve.push_back(i);
    EXPECT_EQ(twelve, (std::vector<std::size_t>{136, 138, 186, 194, 202, 235, 236, 266, 268, 368, 369, 370, 445}));
    // The committed file is the same bytes.
    EXPECT_EQ(readBytes(fs::path(KASTRA_SOURCE_DIR) / "resources" / "avkon_pack_list.txt"), b);
}

TEST(Payloads, EmbeddedToolsAreThisBuildsConverterAndPackager)
{
    TempDir dir;
    struct Case {
        Payload payload;
        const char* file;
        const char* says;
    };
    for (const Case& c : {Case{Payload::Bmconv, "bmconv.exe", "bmconv"}, Case{Payload::Makesis, "makesis.exe", "makesis"}}) {
        ASSERT_TRUE(writePayload(c.payload, dir.path(), c.file, dir.path()));
        const fs::path out = dir.path() / "out.txt";
        // Appended piece by piece: a chain of operator+ on temporaries makes
        // GCC's Release build report overlapping copies that cannot happen.
        std::string cmd = "'";
        cmd += (dir.path() / c.file).string();
        cmd += "' >'";
        cmd += out.string();
        cmd += "' 2>&1";
        [[maybe_unused]] const int status = std::system(cmd.c_str());
        const Bytes text = readBytes(out);
        EXPECT_NE(std::string(text.begin(), text.end()).find(c.says), std::string::npos) << c.file;
    }
}

TEST(Payloads, NoProgramFolderMeansNoOverride)
{
    // A relative override folder would be looked up in the current folder.
    TempDir dir;
    const fs::path old = fs::current_path();
    fs::create_directories(dir.path() / "payloads" / "PKG");
    writeBytes(dir.path() / "payloads" / "PKG" / "SPLT", Bytes{1});
    fs::current_path(dir.path());
    const auto b = payloadBytes(Payload::SplashTop, QString());
    fs::current_path(old);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(toBytes(*b), builtIn(Payload::SplashTop));
}

// The catalogue that the load buttons and "check" share takes the default
// theme files as they are, and files whose bitmaps another tool stored at
// other depths; a size that does not fit a slot the program shows is named.
TEST(ThemeCatalogue, DefaultFilesAndOtherDepthsFitAWrongSizeIsNamed)
{
    for (const auto& [payload, file] : {std::pair{Payload::Avkon, "Avkon.mbm"}, {Payload::AvkonEx, "AvkonEx.mbm"},
                                        {Payload::MenuFolders, "menu_folders.mbm"}}) {
        const auto bytes = payloadBytes(payload, {});
        ASSERT_TRUE(bytes);
        const ByteSpan span(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                            static_cast<std::size_t>(bytes->size()));
        EXPECT_EQ(checkThemeFile(QLatin1String(file), span), QStringList()) << file;
        EXPECT_TRUE(themeFileMismatch(QLatin1String(file), span).isEmpty()) << file;
    }
    const auto avkon = payloadBytes(Payload::Avkon, {});
    auto bitmaps = mbm::readMbm(ByteSpan(reinterpret_cast<const std::uint8_t*>(avkon->constData()),
                                         static_cast<std::size_t>(avkon->size())));
    ASSERT_TRUE(bitmaps);
    const auto redo = [&](std::size_t i, mbm::Mode mode, int w, int h) {
        auto b = mbm::makeBitmap(mode, w, h, std::vector<mbm::Rgb>(static_cast<std::size_t>(w * h)), 0, 0);
        ASSERT_TRUE(b);
        (*bitmaps)[i] = *b;
    };
    redo(186, {4, true}, (*bitmaps)[186].header.width, (*bitmaps)[186].header.height);
    redo(137, {16, true}, 42, 29);
    redo(136, {32, true}, 42, 29);
    (*bitmaps)[136].header.colour = 2; // with alpha
    auto bytes = mbm::writeMbm(*bitmaps, mbm::Store::Compressed);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(checkThemeFile(QStringLiteral("Avkon.mbm"), *bytes), QStringList());
    redo(445, {24, true}, 40, 12);
    bytes = mbm::writeMbm(*bitmaps, mbm::Store::Compressed);
    EXPECT_EQ(checkThemeFile(QStringLiteral("Avkon.mbm"), *bytes),
              QStringList{QStringLiteral("Avkon.mbm #445 (Avkon\\445.bmp): 40 x 12, the slot is 44 x 12")});
}
