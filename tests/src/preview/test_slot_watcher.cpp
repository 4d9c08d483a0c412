// The live refresh: outside changes to slot files are reported once per
// burst; the program's own writes, and files rewritten with the bytes they
// had, are not, so painters run on every report fall quiet.
#include "preview/desktop_painter.h"
#include "preview/menu_painter.h"
#include "preview_fixture.h"
#include "preview/slot_watcher.h"
#include "preview/surface.h"
#include "preview/thumbnails_painter.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kastra;
using namespace kastra::test;

namespace {

constexpr int Debounce = 40;
// Long enough for notifications and the debounce to have run their course.
constexpr int Settle = 600;

struct Watched : PreviewWorkspace {
    SlotWatcher watcher{ws.root(), Debounce};
    QSignalSpy spy{&watcher, &SlotWatcher::slotsChanged};
    Watched()
    {
        fill();
        watcher.start();
    }
    // Signals seen until things are quiet.
    int settle()
    {
        QTest::qWait(Settle);
        return static_cast<int>(spy.count());
    }
};

// An editor's save: a new file renamed over the old one.
void saveAtomically(const std::filesystem::path& target, const Bitmap& b)
{
    auto tmp = target;
    tmp += ".~save";
    ASSERT_TRUE(b.writeBmp(tmp));
    std::filesystem::rename(tmp, target);
}

TEST(SlotWatcher, OutsideChangesAreReportedOncePerBurst)
{
    struct Case {
        const char* what;
        std::function<void(Watched&)> act;
    };
    const Case cases[] = {
        {"atomic save of the banner",
         [](Watched& w) { saveAtomically(w.file(topSlot(u'1')), drawn(176, 68, [](int, int) { return 7u; })); }},
        {"in-place write in Menu",
         [](Watched& w) {
             Bytes b = readBytes(w.file(slotName(SlotFolder::Menu, 0)));
             b.back() ^= 0xFF;
             writeBytes(w.file(slotName(SlotFolder::Menu, 0)), b);
         }},
        {"several files at once",
         [](Watched& w) {
             for (int s = 1; s <= 5; ++s)
                 saveAtomically(w.file(slotName(SlotFolder::Signal, s)), drawn(32, 12, [s](int, int) { return Colour(s); }));
         }},
        {"a new slot file", [](Watched& w) { w.write(tempSlot(u'2'), drawn(176, 12, [](int, int) { return 0u; })); }},
        {"a removed slot file", [](Watched& w) { w.remove(QStringLiteral("Back.bmp")); }},
        {"a second save of the same file",
         [](Watched& w) {
             saveAtomically(w.file(slotName(SlotFolder::Avkon, 445)), drawn(44, 12, [](int, int) { return 1u; }));
             QTest::qWait(Settle);
             saveAtomically(w.file(slotName(SlotFolder::Avkon, 445)), drawn(44, 12, [](int, int) { return 2u; }));
         }},
    };
    for (const Case& c : cases) {
        Watched w;
        c.act(w);
        const int seen = w.settle();
        const int expected = std::string(c.what) == "a second save of the same file" ? 2 : 1;
        EXPECT_EQ(seen, expected) << c.what;
    }
}

TEST(SlotWatcher, QuietWhenNothingChanged)
{
    const std::function<void(Watched&)> acts[] = {
        // Same bytes written again, in place and by rename.
        [](Watched& w) { writeBytes(w.file(topSlot(u'1')), readBytes(w.file(topSlot(u'1')))); },
        [](Watched& w) { saveAtomically(w.file(QStringLiteral("Back.bmp")), w.read(QStringLiteral("Back.bmp"))); },
        // Files that are not slots.
        [](Watched& w) { writeBytes(w.dir.path() / "WorkDir" / "com.txt", {'x'}); },
        [](Watched& w) { writeBytes(w.dir.path() / "WorkDir" / "Avkon" / "notes.txt", {'x'}); },
        // The program's own writes, absorbed.
        [](Watched& w) {
            const Bitmap strip = drawn(176, 12, [](int x, int) { return Colour(x); });
            w.write(tempSlot(u'1'), strip);
            w.watcher.absorb({w.full(tempSlot(u'1'))});
        },
    };
    int i = 0;
    for (const auto& act : acts) {
        Watched w;
        act(w);
        EXPECT_EQ(w.settle(), 0) << "case " << i++;
    }
}

// The window's wiring in small: every report requests the three repaints,
// whose painters rewrite Temp<N>.bmp and the mask slots.
struct Window {
    Watched& w;
    bool absorbOwnWrites;
    Surface preview{176, 220, 0};
    Surface strip{176, 12, 0}, boot{176, 12, 0}, noSignal{32, 12, 0}, signal{192, 12, 0}, avkon445{44, 12, 0};
    Surface small{252, 29, 0}, large{264, 44, 0}, a136{42, 29, 0}, a138{44, 44, 0}, a202{30, 40, 0};
    int repaints = 0;

    void repaint()
    {
        ++repaints;
        PaintDesktop(w.state, w.ws, true, preview);
        PaintThumbnails(w.state, w.ws, {strip, boot, noSignal, signal, avkon445}, preview);
        PaintMenu(w.ws, {small, large, a136, a138, a202});
        const QStringList own = w.ws.journal().take();
        if (absorbOwnWrites)
            w.watcher.absorb(own);
    }
};

TEST(SlotWatcher, PaintersDoNotDriveARefreshLoop)
{
    for (bool absorb : {true, false}) {
        Watched w;
        Window window{w, absorb};
        QObject::connect(&w.watcher, &SlotWatcher::slotsChanged, [&] { window.repaint(); });
        window.repaint();          // the first paint at start
        EXPECT_EQ(w.settle(), absorb ? 0 : 1) << "absorb " << absorb;

        // The banner's default restored, the strip derived from it, the
        // masks rewritten: all the program's own work.
        w.remove(topSlot(u'1'));
        window.repaint();
        const int afterOwn = w.settle();
        EXPECT_LE(afterOwn, absorb ? 0 : 2) << "absorb " << absorb;

        // An outside save of an icon: one refresh (plus, when own writes
        // are not absorbed, one more for the mask it made), then quiet.
        const int before = static_cast<int>(w.spy.count());
        Bitmap icon = w.read(slotName(SlotFolder::Menu, 4));
        icon.setPixel(10, 10, rgb(1, 2, 3));
        saveAtomically(w.file(slotName(SlotFolder::Menu, 4)), icon);
        const int seen = w.settle() - before;
        EXPECT_GE(seen, 1);
        EXPECT_LE(seen, absorb ? 1 : 2);
        EXPECT_EQ(window.small.pixel(42 + 10, 10), rgb(1, 2, 3));
        const int quiet = static_cast<int>(w.spy.count());
        EXPECT_EQ(w.settle(), quiet) << "still refreshing, absorb " << absorb;
    }
}

TEST(SlotWatcher, StoppedWatcherIsSilent)
{
    Watched w;
    w.watcher.stop();
    EXPECT_FALSE(w.watcher.active());
    saveAtomically(w.file(topSlot(u'1')), drawn(176, 68, [](int, int) { return 3u; }));
    EXPECT_EQ(w.settle(), 0);
    EXPECT_FALSE(w.watcher.checkNow());
}

} // namespace
