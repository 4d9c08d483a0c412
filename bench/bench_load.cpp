// "Загрузить Avkon" and the theme import as the window runs them, beside
// their floors.
//
// Load: LoadThemeFile on the program folder's Avkon.mbm (508 bitmaps into
// Avkon\, the slots kept aside and dropped again), beside bmconv unpacking
// the same file alone (process start included) and beside merely reading the
// 508 slot files and overwriting them in place.
//
// Import: ImportTheme on a built package (SISTool, the five theme files taken
// over, the five unpacks into 551 slots), beside SISTool alone plus the five
// bmconv unpacks alone, and beside reading and overwriting the 551 slot files.
//
// The summary at the end times each operation and its floors in alternation
// and prints medians of several rounds: the machine is shared, so single
// figures are noisy. KASTRA_BENCH_DIR picks the file system to measure on.

#include "base/fileio.h"
#include "converter/converter.h"
#include "converter/setup.h"
#include "converter/theme_files.h"
#include "package/build.h"
#include "bitmap_fixture.h"
#include "package/import.h"
#include "platform/process.h"
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
    Workspace ws;
    QString package;
    QString sisTool;
    ScratchBitmaps scratch;

    Theme()
    {
        ws.root = dir.path() + QStringLiteral("/Temp/WorkDir/");
        ws.programFolder = dir.path() + QStringLiteral("/program/");
        QDir().mkpath(ws.root);
        QDir().mkpath(ws.programFolder);
        PrepareWorkspace(ws, false, false, scratch.desktop);
        test::writeImportedPictures(ws.root.toStdString(), 1);
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
        sisTool = ws.programFolder + QLatin1String(SisToolName);
        fs::copy_file(fs::path(KASTRA_BIN_DIR) / SisToolName, sisTool.toStdString());
        if (!ImportTheme(ws, sisTool, package, scratch.desktop, 60000).outcome.ok)
            die("the first import failed");
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

void loadAvkon()
{
    Theme& t = theme();
    if (!LoadThemeFile(t.ws, ThemeFile::Avkon, t.scratch).ok)
        Theme::die("loading Avkon.mbm failed");
}

void importTheme()
{
    Theme& t = theme();
    if (!ImportTheme(t.ws, t.sisTool, t.package, t.scratch.desktop, 60000).outcome.ok)
        Theme::die("the import failed");
}

// bmconv alone on the root's Avkon.mbm (the file the import leaves there):
// com.txt, the process and its 508 files.
void unpackAvkonAlone()
{
    Theme& t = theme();
    if (!Unpack(t.ws, QStringLiteral("Avkon.mbm"), slotNames(SlotFolder::Avkon), UnpackLayout::OnePerLine))
        Theme::die("bmconv failed");
}

// What the import runs besides its own work: SISTool on the package, then
// bmconv on each of the five files.
void toolsOfTheImport()
{
    Theme& t = theme();
    const ProcessOutcome run = RunHidden(QStringLiteral("SISTool.exe ") + t.package, t.ws.programFolder);
    if (!run.finished || run.exitCode != 0)
        Theme::die("SISTool failed");
    RemoveImportFolder(t.ws.programFolder);
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
        out.emplace_back(slotPath(t.ws.root, n).toStdString());
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

void BM_LoadAvkon(benchmark::State& state)
{
    for (auto _ : state)
        loadAvkon();
}
BENCHMARK(BM_LoadAvkon)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BmconvUnpackAvkonAlone(benchmark::State& state)
{
    for (auto _ : state)
        unpackAvkonAlone();
}
BENCHMARK(BM_BmconvUnpackAvkonAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every operation and its floors in alternation, eleven rounds, medians.
void summary()
{
    const auto avkon = slotFiles(false);
    const auto all = slotFiles(true);
    std::vector<double> load, unpack, floorAvkon, import, tools, floorAll;
    for (int round = 0; round < 11; ++round) {
        load.push_back(millis(loadAvkon));
        unpack.push_back(millis(unpackAvkonAlone));
        floorAvkon.push_back(millis([&] { readWriteFloor(avkon); }));
        import.push_back(millis(importTheme));
        tools.push_back(millis(toolsOfTheImport));
        floorAll.push_back(millis([&] { readWriteFloor(all); }));
    }
    const double l = median(load), u = median(unpack), fa = median(floorAvkon);
    const double i = median(import), t = median(tools), fl = median(floorAll);
    std::printf("\nMedians of 11 alternating rounds in %s:\n"
                "Загрузить Avkon   %7.1f ms   bmconv unpack alone %6.1f ms (x%.2f)   read + overwrite 508 slots %6.1f ms (x%.2f)\n"
                "theme import      %7.1f ms   SISTool + 5 unpacks %6.1f ms (x%.2f)   read + overwrite 551 slots %6.1f ms (x%.2f)\n"
                "target: each under 400 ms\n",
                benchBase().toLocal8Bit().constData(), l, u, l / u, fa, l / fa, i, t, i / t, fl, i / fl);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    theme();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
