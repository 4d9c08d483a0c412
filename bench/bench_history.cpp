// What the undo history costs: recording the step of a picture import (the
// four banners Top1..Top4.bmp 176 x 68, the background Back.bmp 176 x 132 and
// the strip Temp1.bmp 176 x 12, all 24-bit), in time and in disk, one undo
// (with the scan for unreported outside changes it starts with), taking the
// baseline of a whole workspace, and putting one slot back to its default
// (the first time from a default file, which unpacks it whole, and after).
// The summary at the end gives the bytes of one import step and how many
// such steps the 64 MB bound keeps. BM_OutsideFlood is an outside program
// writing 130 pictures of 8 MB into the workspace root: what the history
// then holds on disk and the process's peak memory (run it alone, with
// --benchmark_filter=Flood, for the peak to be its own).
#include "base/safe_file.h"
#include "converter/default_slot.h"
#include "converter/setup.h"
#include "picture/bitmap.h"
#include "workspace/history.h"
#include "workspace/slots.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

fs::path benchBase()
{
    static const fs::path base = [] {
        // KASTRA_BENCH_DIR picks the file system to measure on.
        const char* dir = std::getenv("KASTRA_BENCH_DIR");
        fs::path p = (dir ? fs::path(dir) : fs::temp_directory_path())
                     / ("kastra-bench-history-" + std::to_string(std::random_device{}()));
        fs::create_directories(p / "program");
        return p;
    }();
    return base;
}

// One prepared workspace for the whole run.
const Workspace& workspace()
{
    static const Workspace ws = [] {
        Workspace w(QString::fromStdString((benchBase() / "Temp" / "WorkDir").string()) + u'/',
                    QString::fromStdString((benchBase() / "program").string()) + u'/');
        (void)PrepareWorkspace(w, false, false);
        return w;
    }();
    return ws;
}

QString full(const char* slot)
{
    return slotPath(workspace().root(), QString::fromLatin1(slot));
}

// The files a picture import writes, each picture different from the last
// import's (the seed), as a photograph is.
QStringList writeImport(unsigned seed)
{
    struct File {
        const char* slot;
        int width, height;
    };
    static const File files[] = {{"Top1.bmp", 176, 68}, {"Top2.bmp", 176, 68}, {"Top3.bmp", 176, 68},
                                 {"Top4.bmp", 176, 68}, {"Back.bmp", 176, 132}, {"Temp1.bmp", 176, 12}};
    std::mt19937 noise(seed);
    QStringList written;
    for (const File& f : files) {
        Bitmap b = Bitmap::create(f.width, f.height, 24);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                b.setPixel(x, y, noise() & 0xffffffu);
        writeBmpQuietly(b, fs::path(full(f.slot).toStdString()));
        written << full(f.slot);
    }
    return written;
}

const HistoryFlags kFlags{u'1', false, false, false};

void BM_StartBaseline(benchmark::State& state)
{
    History history(workspace());
    for (auto _ : state)
        history.start();
}

void BM_RecordImportStep(benchmark::State& state)
{
    History history(workspace());
    writeImport(0);
    history.start();
    unsigned seed = 1;
    qint64 stepBytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QStringList files = writeImport(seed++);
        const qint64 before = history.storedBytes();
        const int steps = history.stepCount();
        state.ResumeTiming();
        if (!history.record(files, kFlags, kFlags))
            state.SkipWithError("no step recorded");
        state.PauseTiming();
        if (history.stepCount() > steps)
            stepBytes = history.storedBytes() - before;
        state.ResumeTiming();
    }
    state.counters["step_bytes"] = static_cast<double>(stepBytes);
}

void BM_UndoImportStep(benchmark::State& state)
{
    History history(workspace());
    writeImport(0);
    history.start();
    history.record(writeImport(1), kFlags, kFlags);
    for (auto _ : state) {
        if (!history.undo().ok())
            state.SkipWithError("undo failed");
        state.PauseTiming();
        if (!history.redo().ok())
            state.SkipWithError("redo failed");
        state.ResumeTiming();
    }
}

void BM_ScanForOutsideChanges(benchmark::State& state)
{
    History history(workspace());
    history.start();
    for (auto _ : state)
        history.recordOutside(kFlags);
}

void BM_OutsideFlood(benchmark::State& state)
{
    constexpr int kFiles = 130;
    constexpr std::size_t kBytes = 8'000'000;
    History history(workspace());
    history.start();
    const fs::path root(workspace().root().toStdString());
    const Bytes picture(kBytes, 'B');
    qint64 stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kFiles; ++i)
            (void)writeFileAtomic(root / ("flood" + std::to_string(i) + ".bmp"), picture);
        state.ResumeTiming();
        history.recordOutside(kFlags);
        state.PauseTiming();
        stored = history.storedBytes();
        for (int i = 0; i < kFiles; ++i)
            fs::remove(root / ("flood" + std::to_string(i) + ".bmp"));
        history.start();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["stored_MB"] = static_cast<double>(stored) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
}

void BM_RestoreDefaultSlot(benchmark::State& state)
{
    static const char* const names[] = {"Avkon\\507.bmp", "Signal\\006.bmp", "Menu\\023.bmp", "SplashTop.bmp"};
    const QString path = full(names[state.range(0)]);
    state.SetLabel(names[state.range(0)]);
    for (auto _ : state)
        if (!RestoreDefaultSlot(workspace(), path).ok)
            state.SkipWithError("restore failed");
}

// The first restore from a default file of the run, which unpacks it whole.
void BM_RestoreDefaultSlotFirst(benchmark::State& state)
{
    const QString path = full("Avkon\\507.bmp");
    const fs::path kept = fs::path(workspace().root().toStdString()) / DefaultSlotFolder;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(kept, ec);
        state.ResumeTiming();
        if (!RestoreDefaultSlot(workspace(), path).ok)
            state.SkipWithError("restore failed");
    }
}

void summary()
{
    History history(workspace());
    writeImport(0);
    history.start();
    history.record(writeImport(1), kFlags, kFlags);
    const qint64 step = history.storedBytes();
    std::printf("\nOne picture import step (6 files replaced, before and after kept): %lld bytes on disk;\n"
                "the %lld-byte bound keeps %lld such steps.\n",
                static_cast<long long>(step), static_cast<long long>(History::DefaultLimitBytes),
                static_cast<long long>(History::DefaultLimitBytes / step));
}

} // namespace

BENCHMARK(BM_StartBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordImportStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoImportStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanForOutsideChanges)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutsideFlood)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreDefaultSlot)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreDefaultSlotFirst)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    QDir::setCurrent(QDir::tempPath());
    TearDownWorkspace(workspace());
    std::error_code ec;
    fs::remove_all(benchBase(), ec);
    return 0;
}
