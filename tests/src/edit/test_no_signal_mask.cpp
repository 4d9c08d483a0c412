// The 'No Signal' mask button.
#include "edit/no_signal_mask.h"
#include "preview_fixture.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

TEST(NoSignalMask, RebuiltFromTheNoSignalPicture)
{
    PreviewWorkspace w;
    w.fill();
    const QStringList written = w.writtenBy([&] { (void)MakeNoSignalMaskSlot(w.ws); });
    EXPECT_EQ(written, QStringList{w.full(slotName(SlotFolder::Signal, 6))});
    const Bitmap picture = w.read(slotName(SlotFolder::Signal, 0));
    const Bitmap mask = w.read(slotName(SlotFolder::Signal, 6));
    ASSERT_EQ(mask.depth(), 1);
    const Colour key = picture.getPixel(0, 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(mask.getPixel(x, y), picture.getPixel(x, y) == key ? rgb(255, 255, 255) : 0u);
    // 1-bit masks with the palette black, white: pixel data at offset 62.
    const Bytes bytes = readBytes(w.file(slotName(SlotFolder::Signal, 6)));
    ASSERT_GE(bytes.size(), 62u);
    EXPECT_EQ(bytes[10], 62);
    EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.begin() + 62), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
}

TEST(NoSignalMask, UnreadablePictureKeepsTheMask)
{
    PreviewWorkspace w;
    w.fill();
    const Bytes mask = readBytes(w.file(slotName(SlotFolder::Signal, 6)));
    writeBytes(w.file(slotName(SlotFolder::Signal, 0)), {'B', 'M'});
    EXPECT_TRUE(w.writtenBy([&] { (void)MakeNoSignalMaskSlot(w.ws); }).isEmpty());
    EXPECT_EQ(readBytes(w.file(slotName(SlotFolder::Signal, 6))), mask);
    w.remove(slotName(SlotFolder::Signal, 0));
    EXPECT_TRUE(w.writtenBy([&] { (void)MakeNoSignalMaskSlot(w.ws); }).isEmpty());
    EXPECT_EQ(readBytes(w.file(slotName(SlotFolder::Signal, 6))), mask);
}

} // namespace
