// "Загрузить Avkon" and the theme import as the window runs them, beside
// their floors.
//
// Load: LoadThemeFileFrom with an Avkon.mbm (508 bitmaps into Avkon\, the
// changing slots kept aside and dropped again) in three kinds: the file the
// slots already hold (nothing changes), one of two files that differ in 50
// bitmaps (a tenth of the slots change at every load, as when a theme
// differs from the last one in a few pictures), and one of two files that
// differ in every bitmap. Beside them bmconv unpacking the same file alone
// (process start included) and merely reading the 508 slot files and
// overwriting them in place.
//
// Import: ImportTheme on a built package (SISTool, the five theme files taken
// over, the five unpacks into 551 slots), beside SISTool alone plus the five
// bmconv unpacks alone, and beside reading and overwriting the 551 slot files.
//
// The summary at the end times each operation and its floors in alternation
// and prints medians and ranges of several rounds: the machine is shared, so
// single figures are noisy. KASTRA_BENCH_DIR picks the file system to
// measure on.

#include "base/fileio.h"
#include "converter/converter.h"
#include "converter/slot_backup.h"
#include "converter/setup.h"
#include "converter/theme_files.h"
#include "package/build.h"
#include "bitmap_fixture.h"
#include "package/import.h"
#include "platform/process.h"
#include "mbm/mbm.h"
#include "platform/fileops.h"
#include "workspace/slots.h"
#include "workspace/workspace.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using namespace kastra;
namespace fs = std::filesystem;

QString benchBase()
{
    const char* dir = std::getenv("KASTRA_BENCH_DIR");
    return dir ? QString::fromLocal8Bit(dir) : QDir::tempPath();
}

// A workspace set up with the defaults, given pictures as after
// "Загрузить картинку", its Avkon.mbm saved into the program folder and a
// package built from it; SISTool.exe lies in the program folder.
struct Theme {
    QTemporaryDir dir{benchBase() + QStringLiteral("/kastra-bench-load-XXXXXX")};
    Workspace ws{dir.path() + QStringLiteral("/Temp/WorkDir/"), dir.path() + QStringLiteral("/program/")};
    QString package;
    QString sisTool;

    Theme()
    {
        QDir().mkpath(ws.root());
        QDir().mkpath(ws.programFolder());
        (void)PrepareWorkspace(ws, false, false);
        test::writeImportedPictures(ws.root().toStdString(), 1);
        if (!SaveThemeFile(ws, ThemeFile::Avkon).ok)
            die("saving Avkon.mbm failed");
        BuildInputs inputs;
        inputs.themeName = QStringLiteral("Бенчмарк");
        inputs.fileName = QStringLiteral("Bench");
        inputs.fontNumber = 1234;
        const BuildResult built = BuildPackage(ws, inputs);
        if (!built.outcome.ok)
            die("the package build failed");
        package = dir.path() + QStringLiteral("/Bench.sis");
        fs::copy_file(built.deliveredPath.toStdString(), package.toStdString());
        sisTool = ws.programFolder() + QLatin1String(SisToolName);
        fs::copy_file(fs::path(KASTRA_BIN_DIR) / SisToolName, sisTool.toStdString());
        if (!ImportTheme(ws, sisTool, package, 60000).outcome.ok)
            die("the first import failed");

        // The three Avkon files, each in a folder of its own.
        const QString saved = ws.programFolder() + QStringLiteral("Avkon.mbm");
        const auto base = readFile(fsPath(saved), 1u << 26);
        if (!base)
            die("cannot read the saved Avkon.mbm");
        avkon = variant(*base, "Same", 0);
        avkonFew = variant(*base, "Few", 10);
        avkonAll = variant(*base, "All", 1);
        if (!LoadThemeFileFrom(ws, ThemeFile::Avkon, avkon).ok)
            die("the first load failed");
        current = avkon;
        if (!writeFileAtomic(fsPath(ws.root() + QStringLiteral("BenchSame.mbm")), *fileBytes(avkon))
            || !writeFileAtomic(fsPath(ws.root() + QStringLiteral("BenchAll.mbm")), *fileBytes(avkonAll)))
            die("cannot copy the Avkon files into the root");
        const QStringList names = slotNames(SlotFolder::Avkon);
        fewChanged = static_cast<int>(SlotsUnpackChanges(ws, *fileBytes(avkonFew), names).size());
        allChanged = static_cast<int>(SlotsUnpackChanges(ws, *fileBytes(avkonAll), names).size());
    }

    QString avkon;     // what the slots hold after the first load
    QString avkonFew;  // every tenth bitmap differs (50 of 508)
    QString avkonAll;  // every bitmap differs
    int fewChanged = 0;
    int allChanged = 0;
    QString current;   // the file the slots were last loaded from

    static std::optional<Bytes> fileBytes(const QString& path)
    {
        auto bytes = readFile(fsPath(path), 1u << 26);
        return bytes ? std::optional<Bytes>(std::move(*bytes)) : std::nullopt;
    }

    // base with the colours of every every-th bitmap inverted (none when
    // every is 0), written as folder/Avkon.mbm beside the program folder.
    QString variant(const Bytes& base, const char* folder, int every)
    {
        auto bitmaps = mbm::readMbm(base);
        if (!bitmaps)
            die("cannot read Avkon.mbm");
        for (std::size_t i = 0; every > 0 && i < bitmaps->size(); i += static_cast<std::size_t>(every)) {
            mbm::MbmBitmap& bm = (*bitmaps)[i];
            std::vector<mbm::Rgb> pixels;
            for (int y = 0; y < bm.header.height; ++y)
                for (int x = 0; x < bm.header.width; ++x) {
                    const mbm::Rgb c = bm.pixel(x, y);
                    pixels.push_back({static_cast<std::uint8_t>(255 - c.r), static_cast<std::uint8_t>(255 - c.g),
                                      static_cast<std::uint8_t>(255 - c.b)});
                }
            auto inverted = mbm::makeBitmap(bm.mode(), bm.header.width, bm.header.height, pixels, bm.header.twipsWidth,
                                            bm.header.twipsHeight);
            if (!inverted)
                die("cannot invert a bitmap");
            bm = std::move(*inverted);
        }
        const auto bytes = mbm::writeMbm(*bitmaps, mbm::Store::Compressed);
        const QString path = dir.path() + u'/' + QLatin1String(folder) + QStringLiteral("/Avkon.mbm");
        QDir().mkpath(dir.path() + u'/' + QLatin1String(folder));
        if (!bytes || !writeFileAtomic(fsPath(path), *bytes))
            die("cannot write an Avkon variant");
        return path;
    }

    [[noreturn]] static void die(const char* why)
    {
        std::fprintf(stderr, "bench_load: %s\n", why);
        std::abort();
    }
};

Theme& theme()
{
    static const std::unique_ptr<Theme> t = std::make_unique<Theme>();
    return *t;
}

// ---------------------------------------------------------------- operations

void load(const QString& file)
{
    Theme& t = theme();
    if (!LoadThemeFileFrom(t.ws, ThemeFile::Avkon, file).ok)
        Theme::die("loading Avkon.mbm failed");
    t.current = file;
}

void loadUnchanged()
{
    load(theme().avkon);
}

// Each call loads the other of the two files, so every load changes the
// slots that differ between them.
void loadAlternating(const QString& other)
{
    load(theme().current == other ? theme().avkon : other);
}

void loadFewChanged()
{
    loadAlternating(theme().avkonFew);
}

void loadAllChanged()
{
    loadAlternating(theme().avkonAll);
}

void importTheme()
{
    Theme& t = theme();
    if (!ImportTheme(t.ws, t.sisTool, t.package, 60000).outcome.ok)
        Theme::die("the import failed");
}

// bmconv alone on the root's Avkon.mbm (the file the import leaves there):
// com.txt, the process and its 508 files.
void unpackAvkonAlone()
{
    Theme& t = theme();
    if (!*Unpack(t.ws, QStringLiteral("Avkon.mbm"), slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine))
        Theme::die("bmconv failed");
}

// bmconv alone unpacking, in turn, the slots' own file and the one that
// differs in every bitmap: the floor of a load that changes every slot.
void unpackAllChangedAlone()
{
    Theme& t = theme();
    const bool toAll = t.current != t.avkonAll;
    const QString name = toAll ? QStringLiteral("BenchAll.mbm") : QStringLiteral("BenchSame.mbm");
    if (!*Unpack(t.ws, name, slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine))
        Theme::die("bmconv failed");
    t.current = toAll ? t.avkonAll : t.avkon;
}

// What the import runs besides its own work: SISTool on the package, then
// bmconv on each of the five files.
void toolsOfTheImport()
{
    Theme& t = theme();
    const ProcessOutcome run = RunHidden(QStringLiteral("SISTool.exe ") + t.package, t.ws.programFolder());
    if (!run.finished || run.exitCode != 0)
        Theme::die("SISTool failed");
    RemoveImportFolder(t.ws.programFolder());
    unpackAvkonAlone();
    Unpack(t.ws, QStringLiteral("AvkonEx.mbm"), slotNames(SlotFolder::Signal), UnpackLayout::OnePerLine);
    Unpack(t.ws, QStringLiteral("menu_folders.mbm"), slotNames(SlotFolder::Menu), UnpackLayout::OnePerLine);
    Unpack(t.ws, QStringLiteral("EidPic.mbm"), bannerSlotNames(), UnpackLayout::OneLine);
    Unpack(t.ws, QStringLiteral("backgroundimage.mbm"), backgroundSlotNames(), UnpackLayout::OneLine);
}

// The slot files the operation writes, as full paths.
std::vector<fs::path> slotFiles(bool allOfThem)
{
    const Theme& t = theme();
    QStringList names = slotNames(SlotFolder::Avkon);
    if (allOfThem)
        names << slotNames(SlotFolder::Signal) << slotNames(SlotFolder::Menu) << bannerSlotNames()
              << backgroundSlotNames();
    std::vector<fs::path> out;
    for (const QString& n : names)
        out.emplace_back(slotPath(t.ws.root(), n).toStdString());
    return out;
}

// Reads every slot file and overwrites a copy of it in place (a folder of
// copies beside the root): nothing decoded, nothing kept aside, no rename.
void readWriteFloor(const std::vector<fs::path>& files)
{
    const fs::path copies = fs::path(theme().dir.path().toStdString()) / "Floor";
    fs::create_directories(copies);
    int i = 0;
    for (const fs::path& f : files) {
        const auto bytes = readFile(f, 1u << 24);
        if (!bytes)
            Theme::die("cannot read a slot");
        std::FILE* out = std::fopen((copies / std::to_string(i++)).c_str(), "wb");
        if (!out)
            Theme::die("cannot write the floor's copy");
        std::fwrite(bytes->data(), 1, bytes->size(), out);
        std::fclose(out);
    }
}

// ---------------------------------------------------------------- benchmarks

void BM_LoadAvkonUnchanged(benchmark::State& state)
{
    loadUnchanged();
    for (auto _ : state)
        loadUnchanged();
}
BENCHMARK(BM_LoadAvkonUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadAvkonTenthChanged(benchmark::State& state)
{
    loadUnchanged();
    for (auto _ : state)
        loadFewChanged();
}
BENCHMARK(BM_LoadAvkonTenthChanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadAvkonAllChanged(benchmark::State& state)
{
    loadUnchanged();
    for (auto _ : state)
        loadAllChanged();
}
BENCHMARK(BM_LoadAvkonAllChanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmconvUnpackAvkonAlone(benchmark::State& state)
{
    for (auto _ : state)
        unpackAvkonAlone();
}
BENCHMARK(BM_BmconvUnpackAvkonAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmconvUnpackAllChangedAlone(benchmark::State& state)
{
    loadUnchanged();
    for (auto _ : state)
        unpackAllChangedAlone();
}
BENCHMARK(BM_BmconvUnpackAllChangedAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadWriteAvkonFloor(benchmark::State& state)
{
    const auto files = slotFiles(false);
    for (auto _ : state)
        readWriteFloor(files);
}
BENCHMARK(BM_ReadWriteAvkonFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportTheme(benchmark::State& state)
{
    for (auto _ : state)
        importTheme();
}
BENCHMARK(BM_ImportTheme)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SisToolAndFiveUnpacksAlone(benchmark::State& state)
{
    for (auto _ : state)
        toolsOfTheImport();
}
BENCHMARK(BM_SisToolAndFiveUnpacksAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadWriteAllSlotsFloor(benchmark::State& state)
{
    const auto files = slotFiles(true);
    for (auto _ : state)
        readWriteFloor(files);
}
BENCHMARK(BM_ReadWriteAllSlotsFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------- summary

template <typename F>
double millis(F&& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

struct Spread {
    double median, low, high;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

void line(const char* what, const Spread& s, const char* target)
{
    std::printf("%-34s %7.1f ms  (%6.1f - %6.1f)  %s\n", what, s.median, s.low, s.high, target);
}

// Every operation and its floors in alternation, nine rounds: medians and
// ranges.
void summary()
{
    const auto avkon = slotFiles(false);
    const auto all = slotFiles(true);
    std::vector<double> same, few, every, unpack, floorAvkon, import, tools, floorAll;
    loadUnchanged();
    for (int round = 0; round < 9; ++round) {
        same.push_back(millis(loadUnchanged));
        // Two loads each, there and back, so that the next round starts again
        // from the slots of the first file.
        few.push_back(millis(loadFewChanged));
        few.push_back(millis(loadFewChanged));
        every.push_back(millis(loadAllChanged));
        every.push_back(millis(loadAllChanged));
        unpack.push_back(millis(unpackAvkonAlone));
        floorAvkon.push_back(millis([&] { readWriteFloor(avkon); }));
        import.push_back(millis(importTheme));
        tools.push_back(millis(toolsOfTheImport));
        floorAll.push_back(millis([&] { readWriteFloor(all); }));
    }
    const Theme& t = theme();
    std::printf("\nMedians (and ranges) of 9 alternating rounds in %s:\n", benchBase().toLocal8Bit().constData());
    line("Загрузить Avkon, nothing changes", spread(same), "");
    char few_[64], all_[64];
    std::snprintf(few_, sizeof few_, "Загрузить Avkon, %d slots change", t.fewChanged);
    std::snprintf(all_, sizeof all_, "Загрузить Avkon, %d slots change", t.allChanged);
    line(few_, spread(few), "target 100 ms");
    line(all_, spread(every), "target 450 ms");
    line("bmconv unpack alone", spread(unpack), "");
    line("read + overwrite 508 slots", spread(floorAvkon), "");
    line("theme import", spread(import), "");
    line("SISTool + 5 unpacks", spread(tools), "");
    line("read + overwrite 551 slots", spread(floorAll), "");
}

} // namespace

int main(int argc, char** argv)
{
    // The summary takes minutes; a run of chosen benchmarks leaves it out.
    bool chosen = false;
    for (int i = 1; i < argc; ++i)
        chosen = chosen || std::string_view(argv[i]).starts_with("--benchmark_filter");
    benchmark::Initialize(&argc, argv);
    theme();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!chosen)
        summary();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
