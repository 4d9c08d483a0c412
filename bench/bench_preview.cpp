// One desktop repaint (reading its slot files and painting) and a full
// picture import of a 12-megapixel JPEG beside decoding that JPEG alone. The
// import adds the reduction to 176 x 200 and the slot writes to the decode;
// the ratio printed at the end is import / decode.
//
// The handset view: a repaint of the whole window (desktop, thumbnails and
// icons page) in the normal view, in the handset view with its reductions
// kept, and the switch itself (a fresh reader: every picture packed, read
// back and reduced, then the whole window painted).
#include "workspace/app_state.h"
#include "preview/desktop_painter.h"
#include "platform/fileops.h"
#include "preview/fonts.h"
#include "preview/handset_view.h"
#include "preview/menu_painter.h"
#include "preview/snapshot.h"
#include "preview/thumbnails_painter.h"
#include "picture/jpeg.h"
#include "jpeg_encoder.h"
#include "edit/picture_import.h"
#include "workspace/slots.h"
#include "preview/surface.h"
#include "workspace/workspace.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <tuple>
#include <vector>

using namespace kastra;

namespace {

struct Fixture {
    QTemporaryDir dir;
    Workspace ws{dir.path() + QStringLiteral("/WorkDir/"), dir.path() + QStringLiteral("/Program/")};
    AppState state;
    QString jpegPath;

    Fixture()
    {
        for (const char* f : {"WorkDir/Avkon", "WorkDir/Signal", "WorkDir/Menu", "WorkDir/SIS", "Program"})
            QDir(dir.path()).mkpath(QString::fromLatin1(f));
        auto put = [&](const QString& slot, int w, int h, int depth, unsigned seed) {
            Bitmap b = Bitmap::create(w, h, depth);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    b.setPixel(x, y, rgb(x * seed, y * 7, (x ^ y) + seed));
            writeBmpQuietly(b, fsPath(slotPath(ws.root(), slot)));
        };
        put(topSlot(u'1'), 176, 68, 24, 3);
        put(QStringLiteral("Back.bmp"), 176, 132, 24, 5);
        put(slotName(SlotFolder::Avkon, 445), 44, 12, 24, 9);
        for (int s = 0; s <= 5; ++s)
            put(slotName(SlotFolder::Signal, s), 32, 12, 24, 11u + static_cast<unsigned>(s));
        for (int s = 6; s <= 11; ++s)
            put(slotName(SlotFolder::Signal, s), 32, 12, 1, 1);
        put(QStringLiteral("SplashTop.bmp"), 176, 12, 24, 13);
        for (int n = 0; n <= 22; n += 2) {
            const bool large = n % 4 == 2;
            put(slotName(SlotFolder::Menu, n), large ? 44 : 42, large ? 44 : 29, 24, 17u + static_cast<unsigned>(n));
        }
        for (const auto& [index, w, h] : {std::tuple{136, 42, 29}, {138, 44, 44}, {202, 30, 40}})
            put(slotName(SlotFolder::Avkon, index), w, h, 24, static_cast<unsigned>(index));

        const Bytes jpg = test::encodeTestPhoto();
        jpegPath = dir.path() + QStringLiteral("/photo.jpg");
        std::ofstream(fsPath(jpegPath), std::ios::binary)
            .write(reinterpret_cast<const char*>(jpg.data()), static_cast<std::streamsize>(jpg.size()));
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_DesktopRepaint(benchmark::State& st)
{
    Fixture& f = fixture();
    Surface preview(PreviewWidth, PreviewHeight, rgb(212, 208, 200));
    for (auto _ : st) {
        PaintDesktop(f.state, f.ws, true, preview);
        benchmark::DoNotOptimize(preview.image().constBits());
    }
}

// The window's surfaces, painted as its repaint timers paint them.
struct WindowSurfaces {
    Surface preview{PreviewWidth, PreviewHeight, rgb(212, 208, 200)};
    Surface desktopStrip{176, 12, 0}, bootStrip{176, 12, 0}, noSignal{32, 12, 0}, signalStrip{192, 12, 0},
        avkon445{44, 12, 0};
    MenuSurfaceSet menu;

    void paint(Fixture& f, const SlotPictures& pictures)
    {
        PaintDesktop(f.state, f.ws, true, preview, pictures);
        PaintThumbnails(f.state, f.ws, ThumbnailSurfaces{desktopStrip, bootStrip, noSignal, signalStrip, avkon445},
                        preview, pictures);
        PaintMenu(f.ws, menu.views(), pictures);
        benchmark::DoNotOptimize(preview.image().constBits());
    }
};

SlotPictures handsetPictures(const Fixture&)
{
    SlotPictures pictures;
    pictures.setHandset(true);
    return pictures;
}

void BM_WindowRepaintNormal(benchmark::State& st)
{
    Fixture& f = fixture();
    WindowSurfaces w;
    for (auto _ : st)
        w.paint(f, PlainPictures());
}

void BM_WindowRepaintHandset(benchmark::State& st)
{
    Fixture& f = fixture();
    WindowSurfaces w;
    const SlotPictures pictures = handsetPictures(f);
    w.paint(f, pictures);
    for (auto _ : st)
        w.paint(f, pictures);
}

void BM_HandsetSwitchedOn(benchmark::State& st)
{
    Fixture& f = fixture();
    WindowSurfaces w;
    for (auto _ : st) {
        const SlotPictures pictures = handsetPictures(f);
        w.paint(f, pictures);
    }
}

void BM_DecodeJpeg(benchmark::State& st)
{
    Fixture& f = fixture();
    for (auto _ : st) {
        auto b = decodeJpeg(fsPath(f.jpegPath));
        benchmark::DoNotOptimize(b);
    }
}

void BM_ImportJpeg(benchmark::State& st)
{
    Fixture& f = fixture();
    for (auto _ : st) {
        auto out = ImportPicture(f.state, f.ws, f.jpegPath, {false, true, false});
        benchmark::DoNotOptimize(out);
    }
}

double median(std::vector<double> v)
{
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Both timed in alternation, in both orders, and the medians compared, so a
// busy machine skews the ratio less than two separate runs would.
void printRatio()
{
    Fixture& f = fixture();
    using clock = std::chrono::steady_clock;
    auto time = [](auto&& fn) {
        const auto t0 = clock::now();
        fn();
        return std::chrono::duration<double, std::milli>(clock::now() - t0).count();
    };
    auto decode = [&] { auto b = decodeJpeg(fsPath(f.jpegPath)); benchmark::DoNotOptimize(b); };
    auto import = [&] { auto o = ImportPicture(f.state, f.ws, f.jpegPath, {false, true, false}); benchmark::DoNotOptimize(o); };
    std::vector<double> d, im;
    for (int round = 0; round < 11; ++round) {
        if (round % 2) {
            d.push_back(time(decode));
            im.push_back(time(import));
        } else {
            im.push_back(time(import));
            d.push_back(time(decode));
        }
    }
    Surface preview(PreviewWidth, PreviewHeight, 0);
    std::vector<double> paint;
    for (int i = 0; i < 200; ++i)
        paint.push_back(time([&] { PaintDesktop(f.state, f.ws, true, preview); }));
    WindowSurfaces w;
    std::vector<double> on, repaint, off;
    for (int i = 0; i < 30; ++i) {
        const SlotPictures pictures = handsetPictures(f);
        on.push_back(time([&] { w.paint(f, pictures); }));
        repaint.push_back(time([&] { w.paint(f, pictures); }));
        off.push_back(time([&] { w.paint(f, PlainPictures()); }));
    }
    const double md = median(d), mi = median(im);
    std::printf("\nDesktop repaint: %.3f ms (target <= 2 ms)\n", median(paint));
    std::printf("Whole window, handset view switched on: %.2f ms, repainted while on: %.2f ms, switched off: %.2f ms "
                "(target < 30 ms each)\n",
                median(on), median(repaint), median(off));
    std::printf("4000x3000 JPEG: decode %.1f ms, full import %.1f ms, ratio %.3f (target <= 1.3)\n", md, mi, mi / md);
}

} // namespace

BENCHMARK(BM_DesktopRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowRepaintNormal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowRepaintHandset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandsetSwitchedOn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportJpeg)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallFontSubstitutes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatio();
    return 0;
}
