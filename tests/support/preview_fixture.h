#pragma once
// A theme workspace for the preview and picture-editing tests, drawn slot by
// slot (no converter runs), and an independent composer of what the painters
// should show: plain pixel loops over the slot files' pixels, written apart
// from the painters so a painter's mistake cannot hide in the expectation.

#include "workspace/app_state.h"
#include "picture/bitmap.h"
#include "platform/fileops.h"
#include "workspace/slots.h"
#include "test_support.h"
#include "workspace/workspace.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <functional>

namespace kastra::test {

inline QString qpath(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

// A picture of the given size and depth whose pixels come from f.
inline Bitmap drawn(int w, int h, const std::function<Colour(int, int)>& f, int depth = 24)
{
    Bitmap b = Bitmap::create(w, h, depth);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setPixel(x, y, f(x, y));
    return b;
}

// Key colours of the slot pictures: each picture's corner colour, which also
// turns up inside some of them.
inline constexpr Colour StatusKey = rgb(0, 255, 0);
inline constexpr Colour SignalKey = rgb(255, 0, 255);
inline constexpr Colour IconKey = rgb(0, 128, 128);

struct PreviewWorkspace {
    TempDir dir;
    Workspace ws{qpath(dir.path() / "WorkDir") + u'/', qpath(dir.path() / "Program") + u'/'};
    AppState state;

    PreviewWorkspace()
    {
        for (const char* f : {"WorkDir", "WorkDir/Avkon", "WorkDir/Signal", "WorkDir/Menu", "Program"})
            std::filesystem::create_directories(dir.path() / f);
    }

    // The files a call wrote, as the workspace's journal tells them.
    template <class Call>
    QStringList writtenBy(Call&& call) const
    {
        (void)ws.journal().take();
        call();
        return ws.journal().take();
    }

    std::filesystem::path file(const QString& slot) const { return fsPath(slotPath(ws.root(), slot)); }
    QString full(const QString& slot) const { return slotPath(ws.root(), slot); }
    void write(const QString& slot, const Bitmap& b) const { ASSERT_TRUE(b.writeBmp(file(slot))); }
    Bitmap read(const QString& slot) const { return readBmpOrEmpty(file(slot)); }
    bool exists(const QString& slot) const { return std::filesystem::exists(file(slot)); }
    void remove(const QString& slot) const { std::filesystem::remove(file(slot)); }

    // Every slot the previews read, each with its own pattern.
    void fill()
    {
        for (QChar n : {u'1', u'2', u'3', u'4'}) {
            const int k = n.unicode() - u'0';
            write(topSlot(n), drawn(176, 68, [k](int x, int y) { return rgb(x + 10 * k, 3 * y, (x ^ y) + k); }));
        }
        write(QStringLiteral("Back.bmp"), drawn(176, 132, [](int x, int y) { return rgb(255 - x, y, (x * y) & 255); }));
        write(QStringLiteral("SplashTop.bmp"), drawn(176, 12, [](int x, int y) { return rgb(y * 20, x, 77); }));
        // Status picture: key colour in the corner and in a stripe inside.
        write(slotName(SlotFolder::Avkon, 445), drawn(44, 12, [](int x, int y) {
                  return (x < 3 || y == 6) ? StatusKey : rgb(5 * x, 20 * y, 200);
              }));
        for (int s = 0; s <= 5; ++s)
            write(slotName(SlotFolder::Signal, s), drawn(32, 12, [s](int x, int y) {
                      return (x + y) % 5 == 0 ? SignalKey : rgb(40 * s, 7 * x, 20 * y);
                  }));
        // Masks as bmconv leaves them: 1-bit.
        for (int s = 6; s <= 8; ++s)
            write(slotName(SlotFolder::Signal, s), drawn(32, 12, [s](int x, int y) {
                      return (x * s + y) % 3 == 0 ? rgb(255, 255, 255) : rgb(0, 0, 0);
                  }, 1));
        for (int n = 0; n <= 22; n += 2) {
            const int w = n % 4 == 0 ? 42 : 44, h = n % 4 == 0 ? 29 : 44;
            write(slotName(SlotFolder::Menu, n), icon(w, h, n));
        }
        write(slotName(SlotFolder::Avkon, 136), icon(42, 29, 136));
        write(slotName(SlotFolder::Avkon, 138), icon(44, 44, 138));
        write(slotName(SlotFolder::Avkon, 202), icon(30, 40, 202));
    }

    // An icon: a ring of the key colour outside, a hole of it inside.
    static Bitmap icon(int w, int h, int seed)
    {
        return drawn(w, h, [w, h, seed](int x, int y) {
            const bool outside = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            const bool hole = x > w / 2 && x < w / 2 + 4 && y > h / 2 && y < h / 2 + 3;
            return outside || hole ? IconKey : rgb(seed, 6 * x, 5 * y);
        });
    }
};

// ---------------------------------------------------------------------------
// Expected pictures, composed pixel by pixel.

inline QRgb q(Colour c)
{
    return qRgb(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)), static_cast<int>(blueOf(c)));
}

inline QImage blank(int w, int h, Colour c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(q(c));
    return img;
}

inline void put(QImage& img, int x, int y, Colour c)
{
    if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
        img.setPixel(x, y, q(c));
}

inline void blit(QImage& img, const Bitmap& b, int x0, int y0)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            put(img, x0 + x, y0 + y, b.getPixel(x, y));
}

inline void blitKeyed(QImage& img, const Bitmap& b, int x0, int y0)
{
    const Colour key = b.getPixel(0, 0);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.getPixel(x, y) != key)
                put(img, x0 + x, y0 + y, b.getPixel(x, y));
}

// Through a black-and-white mask: white keeps the surface.
inline void blitMasked(QImage& img, const Bitmap& b, const Bitmap& mask, int x0, int y0)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const bool transparent = x >= mask.width() || y >= mask.height() || mask.getPixel(x, y) == rgb(255, 255, 255);
            if (!transparent)
                put(img, x0 + x, y0 + y, b.getPixel(x, y));
        }
}

// Compares every pixel; reports the first few that differ.
inline ::testing::AssertionResult samePixels(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << " vs "
                                             << expected.width() << "x" << expected.height();
    int bad = 0;
    auto failure = ::testing::AssertionFailure();
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y) & 0xFFFFFF, e = expected.pixel(x, y) & 0xFFFFFF;
            if (a != e && bad++ < 5)
                failure << "(" << x << "," << y << ") is " << std::hex << a << " expected " << e << std::dec << "; ";
        }
    if (bad)
        return failure << bad << " pixels differ";
    return ::testing::AssertionSuccess();
}

// A 24-bit BMP as the program writes the pictures it makes: 40-byte header,
// zero resolution, rows bottom-up padded to 4 bytes.
inline Bytes bmp24(int w, int h, const std::function<Colour(int, int)>& f)
{
    const std::uint32_t stride = static_cast<std::uint32_t>((w * 24 + 31) / 32 * 4);
    const std::uint32_t size = 54 + stride * static_cast<std::uint32_t>(h);
    Bytes out;
    auto u16 = [&](std::uint32_t v) { out.push_back(v & 0xFF); out.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    out.push_back('B');
    out.push_back('M');
    u32(size);
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<std::uint32_t>(w));
    u32(static_cast<std::uint32_t>(h));
    u16(1);
    u16(24);
    for (int i = 0; i < 6; ++i)
        u32(0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Colour c = f(x, y);
            out.push_back(static_cast<std::uint8_t>(blueOf(c)));
            out.push_back(static_cast<std::uint8_t>(greenOf(c)));
            out.push_back(static_cast<std::uint8_t>(redOf(c)));
        }
        for (std::uint32_t p = static_cast<std::uint32_t>(w) * 3; p < stride; ++p)
            out.push_back(0);
    }
    return out;
}

} // namespace kastra::test
