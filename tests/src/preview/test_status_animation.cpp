// The eight-second status animation, tick by tick, against a model of the
// indicator buffer kept in the test.
#include "preview/desktop_painter.h"
#include "preview_fixture.h"
#include "preview/status_animation.h"
#include "preview/surface.h"

#include <array>

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

constexpr Colour Grey = rgb(90, 90, 90);

// The indicator buffer as the test expects it: 28 x 5, white at first.
struct Indicator {
    std::array<std::array<Colour, 28>, 5> px;
    Indicator()
    {
        for (auto& row : px)
            row.fill(rgb(255, 255, 255));
    }
};

// One tick the long way; s is the step on entry.
void expectedTick(const PreviewWorkspace& w, int& s, Indicator& ind, QImage& img)
{
    const Bitmap status = w.read(slotName(SlotFolder::Avkon, 445));
    const Bitmap banner = w.read(topSlot(w.state.scheme));
    // Columns 39 - 4s .. 38 into 28 - 4s .. 28, one wider: nearest
    // neighbour repeats the first column; column 28 falls off the buffer.
    for (int i = 0; i <= 4 * s; ++i) {
        const int b = 28 - 4 * s + i;
        if (b < 0 || b >= 28)
            continue;
        for (int r = 0; r < 5; ++r)
            ind.px[static_cast<std::size_t>(r)][static_cast<std::size_t>(b)] =
                status.getPixel(39 - 4 * s + i * 4 * s / (4 * s + 1), 4 + r);
    }
    blit(img, banner, 0, 0);
    blitKeyed(img, status, 132, 0);
    if (s == 0 || s == 8) {
        s = 0;
        // The banner's 27 x 4 pixels under the buffer, spread over 28 x 5.
        for (int r = 0; r < 5; ++r)
            for (int b = 0; b < 28; ++b)
                ind.px[static_cast<std::size_t>(r)][static_cast<std::size_t>(b)] =
                    banner.getPixel(143 + b * 27 / 28, 4 + r * 4 / 5);
    }
    for (int r = 0; r < 5; ++r)
        for (int b = 0; b < 28; ++b)
            put(img, 143 + b, 4 + r, ind.px[static_cast<std::size_t>(r)][static_cast<std::size_t>(b)]);
    if (s == 7)
        blitMasked(img, w.read(slotName(SlotFolder::Signal, 0)), w.read(slotName(SlotFolder::Signal, 6)), 1, 0);
    else if (s != 0 && s != 6)
        blitKeyed(img, w.read(slotName(SlotFolder::Signal, s)), 1, 0);
    ++s;
}

TEST(StatusAnimation, EveryStepOfTwoCycles)
{
    PreviewWorkspace w;
    w.fill();
    w.state.scheme = u'4';
    // No other painter runs first: the animation reads what it draws.
    Surface preview(176, 220, Grey);
    QImage expected = preview.image().copy();

    StatusAnimation animation;
    int s = 0;
    Indicator ind;
    for (int tick = 0; tick < 18; ++tick) {
        const int entry = s;
        animation.tick(w.state, w.ws, preview);
        expectedTick(w, s, ind, expected);
        ASSERT_TRUE(samePixels(preview.image(), expected)) << "tick " << tick << ", step " << entry;
        EXPECT_EQ(w.state.animationStep, s);
    }
    EXPECT_EQ(w.state.animationStep, 2);
}

TEST(StatusAnimation, IndicatorUncoversTheStatusPictureFromTheRight)
{
    PreviewWorkspace w;
    w.fill();
    Surface preview(176, 220, Grey);
    const Bitmap status = w.read(slotName(SlotFolder::Avkon, 445));
    const Bitmap banner = w.read(topSlot(u'1'));
    StatusAnimation animation;
    for (int tick = 0; tick <= 5; ++tick)
        animation.tick(w.state, w.ws, preview);   // steps 0 .. 5 drawn
    // After step 5 the rightmost 20 columns show the status picture (its
    // columns 19 ... 37, the first doubled), the ones to their left still
    // the banner's own pixels.
    const int r = 1;
    for (int b = 0; b < 28; ++b) {
        const Colour shown = preview.pixel(143 + b, 4 + r);
        if (b >= 8)
            EXPECT_EQ(shown, status.getPixel(b == 8 ? 19 : b + 10, 4 + r)) << b;
        else
            EXPECT_EQ(shown, banner.getPixel(143 + b * 27 / 28, 4 + r * 4 / 5)) << b;
    }
}

TEST(StatusAnimation, IdleWithoutTheBanner)
{
    PreviewWorkspace w;
    w.fill();
    w.remove(topSlot(u'1'));
    w.state.animationStep = 3;
    Surface preview(176, 220, Grey);
    StatusAnimation().tick(w.state, w.ws, preview);
    EXPECT_EQ(w.state.animationStep, 3);
    EXPECT_TRUE(samePixels(preview.image(), blank(176, 220, Grey)));
}

} // namespace
