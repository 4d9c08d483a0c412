// The SISTool executable on hostile and damaged packages: it refuses names
// that would leave TEMP, keeps what it wrote before the damage, and says so in
// its exit code.

#include "sis/pkg_parser.h"
#include "sis/sis_writer.h"
#include "test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace kastra;
using namespace kastra::sis;
namespace fs = std::filesystem;

namespace {

kastra::test::ToolRun runSisTool(const fs::path& dir, const std::string& args)
{
    return kastra::test::runTool("SISTool.exe", dir, args);
}

// A package whose file records install to the given destinations, each file
// holding its own destination as text.
Bytes packageWith(const std::vector<std::u16string>& destinations)
{
    auto spec = parsePackageScript(Bytes{'#', '{', '"', 'n', '"', '}', ',', '(', '1', ')', ',', '1', ',', '0', ',', '0'});
    EXPECT_TRUE(spec.ok());
    for (const auto& d : destinations) {
        PackageRecord r;
        r.sources.push_back(u"src");
        r.destination = d;
        std::string text;
        for (const char16_t c : d)
            text += static_cast<char>(c & 0x7F);
        r.contents.push_back(Bytes(text.begin(), text.end()));
        spec->records.push_back(r);
    }
    auto sis = writeSis(*spec);
    EXPECT_TRUE(sis.ok());
    return *sis;
}

std::vector<fs::path> everythingBelow(const fs::path& dir)
{
    std::vector<fs::path> all;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        all.push_back(fs::relative(e.path(), dir));
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace

TEST(SisTool, RefusesNamesThatLeaveTemp)
{
    TempDir dir;
    fs::create_directories(dir.path() / "work");
    writeBytes(dir.path() / "work" / "p.sis", packageWith({
                                                   u"c:\\ok.txt",
                                                   u"c:\\x\\..",
                                                   u"c:\\x\\.",
                                                   u"c:evil.txt",
                                                   u"c:\\x\\",
                                                   u"..\\..\\..\\escape.txt",
                                                   u"../../escape2.txt",
                                                   u"/etc/escape3.txt",
                                                   u"c:\\x\\nul",
                                                   u"c:\\x\\also ok.txt",
                                               }));
    const kastra::test::ToolRun run = runSisTool(dir.path() / "work", "\"p.sis\"");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    // Escaping names are reduced to their file part; the rest are refused.
    const std::vector<fs::path> expected = {"work", "work/TEMP", "work/TEMP/also ok.txt", "work/TEMP/escape.txt",
                                            "work/TEMP/escape2.txt", "work/TEMP/escape3.txt", "work/TEMP/ok.txt",
                                            "work/p.sis"};
    EXPECT_EQ(everythingBelow(dir.path()), expected) << run.output;
    EXPECT_EQ(readBytes(dir.path() / "work" / "TEMP" / "ok.txt"), (Bytes{'c', ':', '\\', 'o', 'k', '.', 't', 'x', 't'}));
    for (const char* refused : {"\"..\"", "\".\"", "\"c:evil.txt\"", "\"\"", "\"nul\""})
        EXPECT_NE(run.output.find(std::string("refused ") + refused), std::string::npos) << refused << run.output;
}

TEST(SisTool, DamageKeepsWhatCameBefore)
{
    TempDir dir;
    const Bytes good = packageWith({u"c:\\first.txt", u"c:\\second.txt", u"c:\\third.txt"});
    // The data is laid out in record order, which is the reverse of
    // installation order: third, second, first. Cutting into the data of the
    // last block damages first.txt only.
    Bytes cut(good.begin(), good.end() - 3);
    writeBytes(dir.path() / "cut.sis", cut);
    const kastra::test::ToolRun run = runSisTool(dir.path(), "cut.sis");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("skipped \"first.txt\""), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(dir.path() / "TEMP" / "second.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "TEMP" / "third.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "TEMP" / "first.txt"));
}

TEST(SisTool, CommandLineAndUnreadablePackages)
{
    TempDir dir;
    writeBytes(dir.path() / "text.sis", Bytes(200, 'x'));
    writeBytes(dir.path() / "empty.sis", Bytes{});
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {{"", 1}, {"a b", 1}, {"missing.sis", 2}, {"text.sis", 2}, {"empty.sis", 2}, {".", 2}};
    for (const Case& c : cases) {
        const kastra::test::ToolRun run = runSisTool(dir.path(), c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
        EXPECT_FALSE(run.output.empty());
    }
    EXPECT_FALSE(fs::exists(dir.path() / "TEMP"));
    // TEMP in the way as a file.
    writeBytes(dir.path() / "TEMP", Bytes{1});
    writeBytes(dir.path() / "p.sis", packageWith({u"c:\\a.txt"}));
    EXPECT_EQ(runSisTool(dir.path(), "p.sis").exitCode, 2);
    EXPECT_EQ(readBytes(dir.path() / "TEMP"), Bytes{1});
}

TEST(SisTool, CrasherPackagesNeverEscapeOrCrash)
{
    // Every hostile sample: SISTool ends normally (no signal), and writes
    // nothing but TEMP and files directly inside it.
    const auto samples = crasherFiles("sis");
    EXPECT_GT(samples.size(), 5u);
    for (const fs::path& sample : samples) {
        TempDir dir;
        fs::copy_file(sample, dir.path() / "p.sis");
        const kastra::test::ToolRun run = runSisTool(dir.path(), "p.sis");
        EXPECT_GE(run.exitCode, 0) << sample;
        EXPECT_LE(run.exitCode, 3) << sample;
        for (const fs::path& p : everythingBelow(dir.path())) {
            const bool ok = p == "p.sis" || p == "TEMP" || p.parent_path() == "TEMP";
            EXPECT_TRUE(ok) << sample << ": " << p;
        }
    }
}
