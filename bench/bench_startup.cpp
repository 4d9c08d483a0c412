// Start-up from an empty disk to a prepared workspace: the converter and the
// three default MBM files written, three bmconv runs unpacking them into the
// 544 numbered slots. The floor is the time to write the same 544 BMP files
// to the same paths directly; the ratio printed at the end is start-up /
// floor (target: at most 3).
#include "workspace/workspace.h"

#include "workspace/slots.h"
#include "converter/setup.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<char>;

struct Slot {
    fs::path relative;   // native path below the root
    Bytes bytes;
};

fs::path benchBase()
{
    static const fs::path base = [] {
        // KASTRA_BENCH_DIR picks the file system to measure on.
        const char* dir = std::getenv("KASTRA_BENCH_DIR");
        fs::path p = (dir ? fs::path(dir) : fs::temp_directory_path())
                     / ("kastra-bench-startup-" + std::to_string(std::random_device{}()));
        fs::create_directories(p);
        return p;
    }();
    return base;
}

// A root no run has used yet, as on a first start; its parents exist no more
// than they would on an empty disk.
Workspace freshWorkspace()
{
    static int run = 0;
    const fs::path base = benchBase() / ("run" + std::to_string(run++));
    return Workspace(QString::fromStdString((base / "Temp" / "WorkDir").string()) + u'/',
                     QString::fromStdString(benchBase().string()) + u'/');
}

void removeWorkspace(const Workspace& ws)
{
    QDir::setCurrent(QString::fromStdString(benchBase().string()));
    std::error_code ec;
    fs::remove_all(fs::path(ws.root().toStdString()).parent_path().parent_path().parent_path(), ec);
}

void prepare(const Workspace& ws)
{
    (void)PrepareWorkspace(ws, false, false);
}

// The 544 slot files of a prepared workspace, read once.
const std::vector<Slot>& slotFiles()
{
    static const std::vector<Slot> files = [] {
        const Workspace ws = freshWorkspace();
        prepare(ws);
        std::vector<Slot> out;
        for (SlotFolder folder : {SlotFolder::Avkon, SlotFolder::Signal, SlotFolder::Menu})
            for (const QString& name : slotNames(folder)) {
                const fs::path file(slotPath(ws.root(), name).toStdString());
                std::ifstream in(file, std::ios::binary);
                Slot s{fs::path(folderName(folder).toStdString()) / file.filename(),
                       Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
                if (s.bytes.empty()) {
                    std::fprintf(stderr, "set-up left no %s\n", file.c_str());
                    std::abort();
                }
                out.push_back(std::move(s));
            }
        removeWorkspace(ws);
        return out;
    }();
    return files;
}

void writeSlotsDirectly(const Workspace& ws)
{
    const fs::path root(ws.root().toStdString());
    for (const char* folder : {"Avkon", "Signal", "Menu"})
        fs::create_directories(root / folder);
    for (const Slot& s : slotFiles()) {
        std::FILE* f = std::fopen((root / s.relative).c_str(), "wb");
        if (!f)
            std::abort();
        std::fwrite(s.bytes.data(), 1, s.bytes.size(), f);
        std::fclose(f);
    }
}

void BM_StartUp(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const Workspace ws = freshWorkspace();
        state.ResumeTiming();
        prepare(ws);
        state.PauseTiming();
        removeWorkspace(ws);
        state.ResumeTiming();
    }
}

void BM_WriteSlotsFloor(benchmark::State& state)
{
    slotFiles();
    for (auto _ : state) {
        state.PauseTiming();
        const Workspace ws = freshWorkspace();
        state.ResumeTiming();
        writeSlotsDirectly(ws);
        state.PauseTiming();
        removeWorkspace(ws);
        state.ResumeTiming();
    }
}

// Times both in alternation, several rounds, and keeps the best of each, so a
// busy machine skews the ratio less than two separate runs would.
void measureRatio()
{
    using clock = std::chrono::steady_clock;
    auto ms = [](clock::time_point a, clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    std::size_t bytes = 0;
    for (const Slot& s : slotFiles())
        bytes += s.bytes.size();
    double bestFloor = 1e30, bestStart = 1e30;
    for (int round = 0; round < 9; ++round) {
        const Workspace a = freshWorkspace();
        const Workspace b = freshWorkspace();
        auto t0 = clock::now();
        writeSlotsDirectly(a);
        auto t1 = clock::now();
        prepare(b);
        auto t2 = clock::now();
        removeWorkspace(a);
        removeWorkspace(b);
        bestFloor = std::min(bestFloor, ms(t0, t1));
        bestStart = std::min(bestStart, ms(t1, t2));
    }
    std::printf("\nStart-up on an empty disk in %s: 544 slots (%zu bytes of BMP)\n"
                "write the slot files directly %.2f ms, prepare the workspace %.2f ms: ratio %.2f (target <= 3)\n",
                benchBase().parent_path().string().c_str(), bytes, bestFloor, bestStart, bestStart / bestFloor);
}

} // namespace

BENCHMARK(BM_WriteSlotsFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    measureRatio();
    QDir::setCurrent(QDir::tempPath());
    std::error_code ec;
    fs::remove_all(benchBase(), ec);
    return 0;
}
