// makesis on a theme-sized package (27 files, about 320 KB) beside zlib
// compressing the same bytes alone, and SISTool unpacking the result. Each is
// measured in process (the library call the tool makes) and as the real
// executable, process start included. The makesis figures carry the ratio to
// the zlib floor as the counter "x_zlib", from zlib runs made alternately with
// the makesis runs.

#include "base/fileio.h"
#include "sis/sis_build.h"
#include "sis/sis_extract.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <fcntl.h>
#include <cstdio>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using kastra::Bytes;

namespace {

struct File {
    const char* name;
    std::size_t size;
};

// The files of a theme package with their usual sizes.
const File kFiles[] = {
    {"restorez_Avkon.exe", 1608}, {"del_logo.exe", 924},       {"Avkon.mbm", 61234},
    {"del_fonts.exe", 1136},      {"restorez.exe", 1948},      {"kde.gdr", 52443},
    {"AvkonEx.mbm", 23456},       {"menu_folders.mbm", 34567}, {"EidPic.mbm", 12345},
    {"backgroundimage.mbm", 98765}, {"veZorCtrl.aif", 3279},   {"veZorCtrl.app", 6472},
    {"veZorCtrl.r01", 928},       {"veZorCtrl.r03", 955},      {"veZorCtrl.r16", 1001},
    {"cap.r01", 39},              {"cap.r03", 39},             {"cap.r16", 42},
    {"veZozi.aif", 1487},         {"veZozi.app", 5332},        {"veZozi.r01", 1485},
    {"veZozi.r03", 1550},         {"veZozi.r16", 1560},        {"zcap.r01", 19},
    {"zcap.r03", 19},             {"zcap.r16", 19},            {"Hello.txt", 120},
};

// Bitmap-like contents: rows of slowly changing values with noise, about as
// compressible as the run-length packed pictures of a theme.
Bytes contents(std::size_t size, unsigned seed)
{
    Bytes b(size);
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>((i / 7 + seed * 13) % 251 + ((rng() & 3) == 0 ? rng() % 16 : 0));
    return b;
}

struct Fixture {
    fs::path dir;
    std::vector<Bytes> data;

    Fixture()
    {
        std::random_device rd;
        dir = fs::temp_directory_path() / ("kastra-bench-sis-" + std::to_string(rd()));
        fs::create_directories(dir);
        std::string script = "&RU\r\n#{\"Theme\"},(01000000),2,2,1\r\n"
                             "(0x101F6F88), 0, 0, 0, {\"Series60ProduktID\"}\r\n";
        unsigned seed = 1;
        for (const File& f : kFiles) {
            data.push_back(contents(f.size, seed++));
            (void)kastra::writeFileAtomic(dir / f.name, data.back());
            const std::string name = f.name;
            script += name == "Hello.txt" ? "\"Hello.txt\"-\"\",FT,TA\r\n"
                                          : "\"" + name + "\"-\"c:\\system\\data\\" + name + "\"\r\n";
        }
        (void)kastra::writeFileAtomic(dir / "theme.pkg", Bytes(script.begin(), script.end()));
        // SISTool writes TEMP into the current directory.
        fs::current_path(dir);
    }
    ~Fixture()
    {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(dir, ec);
    }

    std::size_t compressAll() const
    {
        std::size_t total = 0;
        for (const Bytes& b : data) {
            uLongf len = compressBound(static_cast<uLong>(b.size()));
            Bytes out(len);
            compress2(out.data(), &len, b.data(), static_cast<uLong>(b.size()), Z_DEFAULT_COMPRESSION);
            total += len;
        }
        return total;
    }

    std::size_t totalBytes() const
    {
        std::size_t n = 0;
        for (const Bytes& b : data)
            n += b.size();
        return n;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

int spawn(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The tools' messages would drown the table.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &quiet, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs zlib alone on the same bytes outside the timed region, so that the
// ratio compares runs made under the same machine load.
double pairedFloor(benchmark::State& state)
{
    state.PauseTiming();
    const auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(fixture().compressAll());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.ResumeTiming();
    return seconds;
}

// The program removes TEMP after every import, so each run starts without it.
void clearTemp(benchmark::State& state)
{
    state.PauseTiming();
    std::error_code ec;
    fs::remove_all(fixture().dir / "TEMP", ec);
    state.ResumeTiming();
}

void setBytes(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fixture().totalBytes()));
}

void BM_ZlibFloor(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.compressAll());
    setBytes(state);
}
BENCHMARK(BM_ZlibFloor)->Unit(benchmark::kMillisecond);

void BM_MakesisInProcess(benchmark::State& state)
{
    Fixture& f = fixture();
    double seconds = 0;
    double floor = 0;
    for (auto _ : state) {
        floor += pairedFloor(state);
        const auto t0 = std::chrono::steady_clock::now();
        auto sis = kastra::sis::buildPackage(f.dir / "theme.pkg");
        if (!sis || !kastra::writeFileAtomic(f.dir / "theme.SIS", *sis)) {
            state.SkipWithError("build failed");
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    setBytes(state);
    state.counters["x_zlib"] = seconds / floor;
}
BENCHMARK(BM_MakesisInProcess)->Unit(benchmark::kMillisecond);

void BM_MakesisExecutable(benchmark::State& state)
{
    double seconds = 0;
    double floor = 0;
    for (auto _ : state) {
        floor += pairedFloor(state);
        const auto t0 = std::chrono::steady_clock::now();
        if (spawn({KASTRA_BIN_DIR "/makesis", "theme.pkg"}) != 0) {
            state.SkipWithError("makesis failed");
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    setBytes(state);
    state.counters["x_zlib"] = seconds / floor;
}
BENCHMARK(BM_MakesisExecutable)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SisToolInProcess(benchmark::State& state)
{
    Fixture& f = fixture();
    if (spawn({KASTRA_BIN_DIR "/makesis", "theme.pkg"}) != 0) {
        state.SkipWithError("makesis failed");
        return;
    }
    for (auto _ : state) {
        clearTemp(state);
        const int rc = kastra::sis::runSisTool(f.dir / "theme.SIS", f.dir, [](const std::string&) {});
        if (rc != 0) {
            state.SkipWithError("SISTool failed");
            break;
        }
    }
    setBytes(state);
}
BENCHMARK(BM_SisToolInProcess)->Unit(benchmark::kMillisecond);

void BM_SisToolExecutable(benchmark::State& state)
{
    if (spawn({KASTRA_BIN_DIR "/makesis", "theme.pkg"}) != 0) {
        state.SkipWithError("makesis failed");
        return;
    }
    for (auto _ : state) {
        clearTemp(state);
        if (spawn({KASTRA_BIN_DIR "/SISTool.exe", "theme.SIS"}) != 0) {
            state.SkipWithError("SISTool failed");
            break;
        }
    }
    setBytes(state);
}
BENCHMARK(BM_SisToolExecutable)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
