// Decoding a 4000 x 3000 photo-like JPEG, alone and followed by fitPicture to
// the 176 x 200 desktop. The resampler should add little to the decode: the
// ratio printed at the end is (decode + fit) / decode.
#include "picture/jpeg.h"
#include "jpeg_encoder.h"
#include "picture/resample.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace kastra;

namespace {

// Smooth gradients with some deterministic texture, like a photograph; no
// random generator so every run encodes the same bytes.
const Bytes& photo()
{
    static const Bytes jpg = [] {
        return test::encodeTestPhoto();
    }();
    return jpg;
}

double g_decode = 0;
double g_decodeFit = 0;

void BM_Decode(benchmark::State& state)
{
    const Bytes& jpg = photo();
    for (auto _ : state) {
        auto b = decodeJpeg(jpg);
        benchmark::DoNotOptimize(b);
    }
}

void BM_DecodeAndFit(benchmark::State& state)
{
    const Bytes& jpg = photo();
    for (auto _ : state) {
        auto b = decodeJpeg(jpg);
        Bitmap target(176, 200);
        const bool ok = fitPicture(*b, target);
        benchmark::DoNotOptimize(ok);
    }
}

void BM_FitOnly(benchmark::State& state)
{
    // A 24-bit source is left as it is by fitPicture, so one copy serves
    // every iteration.
    Bitmap src = *decodeJpeg(photo());
    for (auto _ : state) {
        Bitmap target(176, 200);
        benchmark::DoNotOptimize(fitPicture(src, target));
    }
}

// Times both in alternation, in both orders, and takes the median of each,
// so a busy machine or a cold cache skews the ratio less than two separate
// runs would. Every picture is freed before the next timing starts.
void measureRatio()
{
    const Bytes& jpg = photo();
    using clock = std::chrono::steady_clock;
    auto decodeOnly = [&] {
        const auto t0 = clock::now();
        auto a = decodeJpeg(jpg);
        const auto t1 = clock::now();
        benchmark::DoNotOptimize(a);
        return std::chrono::duration<double, std::milli>(t1 - t0).count();
    };
    auto decodeAndFit = [&] {
        const auto t0 = clock::now();
        auto b = decodeJpeg(jpg);
        Bitmap target(176, 200);
        benchmark::DoNotOptimize(fitPicture(*b, target));
        const auto t1 = clock::now();
        return std::chrono::duration<double, std::milli>(t1 - t0).count();
    };
    std::vector<double> decode, both;
    for (int round = 0; round < 15; ++round) {
        if (round % 2) {
            decode.push_back(decodeOnly());
            both.push_back(decodeAndFit());
        } else {
            both.push_back(decodeAndFit());
            decode.push_back(decodeOnly());
        }
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    g_decode = median(decode);
    g_decodeFit = median(both);
}

} // namespace

BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndFit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitOnly)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    measureRatio();
    std::printf("\n4000x3000 JPEG: decode %.1f ms, decode + fitPicture %.1f ms, ratio %.3f (target <= 1.15)\n",
                g_decode, g_decodeFit, g_decodeFit / g_decode);
    return 0;
}
