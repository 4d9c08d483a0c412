// Packing and unpacking a 508-bitmap set shaped like Avkon.mbm (small 8-bit
// icons, each followed by its 1-bit mask, a few 12-bit pictures), through the
// bmconv program itself and its command files. The file-system floor is the
// time to merely read the 508 BMP files and write them back; the ratio
// printed at the end is (pack + unpack) / floor. The unpack goes over the
// previous unpack's files, as a load over the slots does, so it writes only
// the pictures that differ (none, when nothing changed).
#include "bmconv/bmconv_run.h"
#include "base/fileio.h"
#include "avkon_depths.h"
#include "mbm/mbm.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

using namespace kastra;
namespace fs = std::filesystem;

namespace {

using kastra::test::avkonDepths;

struct Workspace {
    fs::path root;
    std::vector<fs::path> slots;
    std::vector<Bytes> slotBytes;
};

std::string slotName(const char* folder, int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s\\%03d.bmp", folder, i);
    return buf;
}

Bytes bmp24(int w, int h, const std::vector<std::uint8_t>& bgr)
{
    const std::size_t row = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3};
    Bytes out;
    ByteWriter wr(out);
    wr.u8('B');
    wr.u8('M');
    wr.u32(static_cast<std::uint32_t>(54 + row * static_cast<std::size_t>(h)));
    wr.u32(0);
    wr.u32(54);
    wr.u32(40);
    wr.i32(w);
    wr.i32(h);
    wr.u16(1);
    wr.u16(24);
    wr.fill(24, 0);
    for (int y = h - 1; y >= 0; --y) {
        wr.bytes(ByteSpan(bgr).subspan(static_cast<std::size_t>(y * w * 3), static_cast<std::size_t>(w * 3)));
        wr.fill(row - static_cast<std::size_t>(w) * 3, 0xFF);
    }
    return out;
}

// An icon: a background, a disc of another colour with a shaded rim, a few
// noisy pixels; its mask is the disc in white on black.
void drawIcon(std::mt19937& rng, int w, int h, bool mask, std::vector<std::uint8_t>& bgr)
{
    std::uniform_int_distribution<int> byte(0, 255);
    const std::uint8_t bg[3] = {static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                                static_cast<std::uint8_t>(byte(rng))};
    const std::uint8_t fg[3] = {static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                                static_cast<std::uint8_t>(byte(rng))};
    bgr.assign(static_cast<std::size_t>(w * h * 3), 0);
    const int cx = w / 2, cy = h / 2, r2 = (std::min(w, h) / 2) * (std::min(w, h) / 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            std::uint8_t* p = &bgr[static_cast<std::size_t>((y * w + x) * 3)];
            if (mask) {
                p[0] = p[1] = p[2] = d2 <= r2 ? 255 : 0;
                continue;
            }
            const std::uint8_t* c = d2 <= r2 ? fg : bg;
            const int shade = d2 <= r2 && d2 * 4 > r2 * 3 ? 40 : 0;
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<std::uint8_t>(std::max(0, c[k] - shade));
            if (byte(rng) < 8)
                p[byte(rng) % 3] = static_cast<std::uint8_t>(byte(rng));
        }
}

const Workspace& workspace()
{
    static const Workspace ws = [] {
        Workspace w;
        // KASTRA_BENCH_DIR picks the file system to measure on.
        const char* dir = std::getenv("KASTRA_BENCH_DIR");
        w.root = (dir ? fs::path(dir) : fs::temp_directory_path())
                 / ("kastra-bench-mbm-" + std::to_string(std::random_device{}()));
        fs::create_directories(w.root / "Avkon");
        fs::create_directories(w.root / "SIS");
        fs::create_directories(w.root / "Copy");
        // Sizes of the default theme's icons: mostly small, some wide strips
        // and a few full-width pictures.
        static constexpr int sizes[][2] = {{13, 13}, {18, 18}, {16, 16}, {24, 24}, {30, 30}, {42, 29},
                                           {44, 44}, {52, 52}, {18, 18}, {88, 88}, {176, 6}, {176, 44}};
        std::mt19937 rng(508);
        std::vector<std::uint8_t> bgr;
        std::string pack = "SIS\\Avkon.mbm\r\n";
        std::string unpack = "/u SIS\\Avkon.mbm\r\n";
        for (int i = 0; i < 508; ++i) {
            const char depth = avkonDepths()[static_cast<std::size_t>(i)];
            const auto& s = sizes[(i / 2) % 12];
            drawIcon(rng, s[0], s[1], depth == 'm', bgr);
            w.slotBytes.push_back(bmp24(s[0], s[1], bgr));
            w.slots.push_back(nativePath(slotName("Avkon", i)));
            (void)writeFileAtomic(w.root / w.slots.back(), w.slotBytes.back());
            pack += (depth == 'c' ? "/c8" : depth == 'm' ? "/1" : "/c12") + slotName("Avkon", i) + "\r\n";
            unpack += slotName("Avkon", i) + "\r\n";
        }
        (void)writeFileAtomic(w.root / "pack.txt", ByteSpan(reinterpret_cast<const std::uint8_t*>(pack.data()), pack.size()));
        (void)writeFileAtomic(w.root / "unpack.txt",
                              ByteSpan(reinterpret_cast<const std::uint8_t*>(unpack.data()), unpack.size()));
        return w;
    }();
    return ws;
}

void runBmconv(const char* commandFile)
{
    std::ostringstream out, err;
    if (bmconv::run({commandFile}, workspace().root, out, err) != 0) {
        std::fprintf(stderr, "bmconv failed: %s", err.str().c_str());
        std::abort();
    }
}

// Reads each BMP and writes it to another folder: nothing is decoded. The
// plain floor overwrites the copies in place; the atomic one replaces them
// through a temporary file and a rename, as bmconv (and every writer of
// slots in this program) does so that a failed write never loses a picture.
void fileSystemFloor(bool atomic)
{
    const Workspace& ws = workspace();
    for (const fs::path& slot : ws.slots) {
        auto bytes = readFile(ws.root / slot, 1u << 24);
        if (!bytes)
            std::abort();
        const fs::path copy = ws.root / "Copy" / slot.filename();
        if (atomic) {
            if (!writeFileAtomic(copy, *bytes))
                std::abort();
            continue;
        }
        std::FILE* f = std::fopen(copy.string().c_str(), "wb");
        if (!f)
            std::abort();
        std::fwrite(bytes->data(), 1, bytes->size(), f);
        std::fclose(f);
    }
}

void BM_FileSystemFloor(benchmark::State& state)
{
    for (auto _ : state)
        fileSystemFloor(false);
}

void BM_FileSystemFloorAtomic(benchmark::State& state)
{
    for (auto _ : state)
        fileSystemFloor(true);
}

void BM_Pack(benchmark::State& state)
{
    for (auto _ : state)
        runBmconv("pack.txt");
}

void BM_Unpack(benchmark::State& state)
{
    runBmconv("pack.txt");
    for (auto _ : state)
        runBmconv("unpack.txt");
}

void BM_PackAndUnpack(benchmark::State& state)
{
    for (auto _ : state) {
        runBmconv("pack.txt");
        runBmconv("unpack.txt");
    }
}

// The median and the range of a few rounds.
struct Spread {
    double median, low, high;
};

Spread spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

// Times the floors and the round trip in alternation, several rounds, and
// prints medians and ranges, so a busy machine skews the ratio less than
// two separate runs would. The round trip packs the slots and unpacks the
// file over them again, as a save followed by a load of the same file does.
void measureRatio()
{
    using clock = std::chrono::steady_clock;
    auto ms = [](clock::time_point a, clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
    std::vector<double> floors, atomics, trips;
    for (int round = 0; round < 9; ++round) {
        auto t0 = clock::now();
        fileSystemFloor(false);
        auto t1 = clock::now();
        fileSystemFloor(true);
        auto t2 = clock::now();
        runBmconv("pack.txt");
        runBmconv("unpack.txt");
        auto t3 = clock::now();
        floors.push_back(ms(t0, t1));
        atomics.push_back(ms(t1, t2));
        trips.push_back(ms(t2, t3));
    }
    const auto mbmSize = fs::file_size(workspace().root / "SIS" / "Avkon.mbm");
    std::size_t bmpBytes = 0;
    for (const Bytes& b : workspace().slotBytes)
        bmpBytes += b.size();
    const Spread floor = spread(floors), atomic = spread(atomics), trip = spread(trips);
    std::printf("\n508 Avkon-shaped bitmaps (%zu bytes of BMP, %ju bytes of MBM) in %s, medians (ranges) of 9 rounds:\n"
                "read + overwrite the BMP files %.1f ms (%.1f - %.1f), read + atomically replace them %.1f ms (%.1f - %.1f),\n"
                "pack + unpack %.1f ms (%.1f - %.1f): ratio %.2f to the plain floor, %.2f to the atomic one (target <= 3)\n",
                bmpBytes, static_cast<std::uintmax_t>(mbmSize), workspace().root.parent_path().string().c_str(),
                floor.median, floor.low, floor.high, atomic.median, atomic.low, atomic.high, trip.median, trip.low,
                trip.high, trip.median / floor.median, trip.median / atomic.median);
}

} // namespace

BENCHMARK(BM_FileSystemFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileSystemFloorAtomic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackAndUnpack)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    measureRatio();
    std::error_code ec;
    fs::remove_all(workspace().root, ec);
    return 0;
}
