#include "mkdefaults/avkon.h"

#include "mkdefaults/art.h"
#include "mkdefaults/motifs.h"
#include "mkdefaults/pixelfont.h"

#include <array>
#include <stdexcept>

namespace kastra::art {

namespace {

const Colour kInk = rgb(0x22, 0x22, 0x33);
const Colour kBlack = rgb(0, 0, 0);
const Colour kWhite = rgb(255, 255, 255);
const Colour kPaper = rgb(0xEE, 0xEE, 0xEE);

// Tile colours of the grid and context icons, taken in turn.
constexpr std::array<Colour, 6> kTileColours = {rgb(0x33, 0x66, 0xCC), rgb(0x33, 0x99, 0x66), rgb(0xCC, 0x66, 0x33),
                                                 rgb(0x66, 0x44, 0x99), rgb(0x99, 0x33, 0x55), rgb(0x33, 0x88, 0x99)};

Picture noteBadge(Motif m)
{
    Picture p(40, 40, Transparent);
    const Tones t = naturalTones(m);
    Shape badge = p.shape();
    badge.ellipse(20, 20, 17.5, 17.5);
    p.paint(badge, Paint::vertical(lighter(t.main, 30), darker(t.main, 25), 2, 38), kInk);
    Shape gloss = p.shape();
    gloss.ellipse(20, 12, 12, 7).intersect(badge);
    p.paint(gloss, Paint::vertical(lighter(t.main, 55), lighter(t.main, 25), 5, 19));
    const Shape sign = motifSilhouette(40, 40, m, {10, 10, 20, 20});
    p.paint(sign, Paint::solid(kPaper), darker(t.main, 50));
    return p;
}

Picture listIcon(Motif m, int w, int h)
{
    Picture p(w, h, Transparent);
    drawMotif(p, m, {1, 1, w - 2.0, h - 2.0}, naturalTones(m));
    return p;
}

Picture indicator(Motif m, int side)
{
    Picture p(side, side, Transparent);
    drawMotif(p, m, {0.5, 0.5, side - 1.0, side - 1.0}, naturalTones(m));
    return p;
}

Picture tileIcon(Motif m, int w, int h, double side, int colourIndex)
{
    Picture p(w, h, Transparent);
    const Colour tile = kTileColours[static_cast<std::size_t>(colourIndex) % kTileColours.size()];
    const double x0 = (w - side) / 2;
    const double y0 = (h - side) / 2;
    Shape s = p.shape();
    s.roundRect(x0, y0, x0 + side, y0 + side, side * 0.2);
    p.paint(s, Paint::vertical(lighter(tile, 35), darker(tile, 20), y0, y0 + side), darker(tile, 60));
    Shape gloss = p.shape();
    gloss.roundRect(x0 + 2, y0 + 2, x0 + side - 2, y0 + side * 0.45, side * 0.15);
    p.paint(gloss, Paint::vertical(lighter(tile, 60), lighter(tile, 35), y0, y0 + side * 0.45));
    const double inset = side * 0.16;
    drawMotif(p, m, {x0 + inset, y0 + inset, side - 2 * inset, side - 2 * inset}, naturalTones(m));
    return p;
}

// Black pictogram on white: a 1-bit picture of its own.
Picture monoMotif(Motif m, int side)
{
    Picture p(side, side, kWhite);
    p.paint(motifSilhouette(side, side, m, {0.5, 0.5, side - 1.0, side - 1.0}), Paint::solid(kBlack));
    return p;
}

Picture monoText(std::u16string_view text)
{
    const int w = PixelFont::standard().textWidth(text) + 4;
    Picture p(w, 12, kWhite);
    p.frame(0, 0, w, 12, kBlack);
    p.text(2, 0, text, kBlack);
    return p;
}

Picture monoArrow(int w, int h, int dir)   // 0 up, 1 down, 2 left, 3 right
{
    Picture p(w, h, kWhite);
    Shape s = p.shape();
    const double W = w;
    const double H = h;
    if (dir == 0) {
        const Pt pts[] = {{0, H}, {W / 2, 0}, {W, H}};
        s.polygon(pts);
    } else if (dir == 1) {
        const Pt pts[] = {{0, 0}, {W, 0}, {W / 2, H}};
        s.polygon(pts);
    } else if (dir == 2) {
        const Pt pts[] = {{W, 0}, {W, H}, {0, H / 2}};
        s.polygon(pts);
    } else {
        const Pt pts[] = {{0, 0}, {W, H / 2}, {0, H}};
        s.polygon(pts);
    }
    p.paint(s, Paint::solid(kBlack));
    return p;
}

Picture gradientPanel(int w, int h, Colour top, Colour bottom, Colour line)
{
    Picture p(w, h, top);
    p.fillRect(0, 0, w, h, Paint::vertical(top, bottom, 0, h));
    p.hline(0, w - 1, 0, line);
    return p;
}

Picture highlightBar()
{
    Picture p = gradientPanel(176, 18, rgb(0x55, 0x88, 0xDD), rgb(0x22, 0x44, 0x99), rgb(0x99, 0xBB, 0xEE));
    p.hline(0, 175, 17, rgb(0x11, 0x22, 0x55));
    return p;
}

// Pieces of the pop-up frame: four corners, a horizontal and a vertical edge.
Picture frameCorner(int which)   // 0 top left, 1 top right, 2 bottom left, 3 bottom right
{
    const Colour outside = rgb(0x99, 0xAA, 0xBB);
    const Colour inside = rgb(0xEE, 0xEE, 0xDD);
    Picture p(7, 7, outside);
    Shape s = p.shape();
    s.roundRect(which % 2 == 0 ? 0 : -7, which < 2 ? 0 : -7, which % 2 == 0 ? 14 : 7, which < 2 ? 14 : 7, 5);
    p.paint(s, Paint::solid(inside));
    p.paint(s.edge(), Paint::solid(kInk));
    return p;
}

Picture frameEdge(bool horizontal)
{
    const Colour inside = rgb(0xEE, 0xEE, 0xDD);
    Picture p(horizontal ? 8 : 7, horizontal ? 7 : 8, inside);
    if (horizontal)
        p.hline(0, 7, 0, kInk);
    else
        p.vline(0, 0, 7, kInk);
    return p;
}

Picture checkBox(bool checked, bool radio)
{
    Picture p(13, 13, Transparent);
    Shape s = p.shape();
    if (radio)
        s.ellipse(6.5, 6.5, 5.6, 5.6);
    else
        s.roundRect(1, 1, 12, 12, 1.5);
    // Light paper, but never the white of the transparent corner.
    p.paint(s, Paint::vertical(rgb(0xEE, 0xEE, 0xEE), rgb(0xCC, 0xCC, 0xBB), 1, 12), kInk);
    if (checked) {
        if (radio) {
            Shape dot = p.shape();
            dot.ellipse(6.5, 6.5, 2.6, 2.6);
            p.paint(dot, Paint::solid(rgb(0x22, 0x55, 0xBB)));
        } else {
            drawMotif(p, Motif::Check, {2, 2, 10, 9}, naturalTones(Motif::Check));
        }
    }
    return p;
}

Picture progressFrame()
{
    Picture p(120, 9, rgb(0xEE, 0xEE, 0xDD));
    p.fillRect(1, 1, 118, 7, Paint::vertical(rgb(0x33, 0x44, 0x55), rgb(0x55, 0x66, 0x77), 1, 8));
    p.frame(0, 0, 120, 9, kInk);
    return p;
}

Picture sliderKnob()
{
    Picture p(9, 13, Transparent);
    Shape s = p.shape();
    const Pt pts[] = {{0.5, 0.5}, {8.5, 0.5}, {8.5, 8.5}, {4.5, 12.5}, {0.5, 8.5}};
    s.polygon(pts);
    p.paint(s, Paint::vertical(rgb(0x99, 0xBB, 0xEE), rgb(0x33, 0x55, 0xAA), 0, 13));
    p.paint(s.edge(), Paint::solid(kInk));
    return p;
}

Picture toggleSwitch(bool on)
{
    Picture p(24, 12, Transparent);
    Shape track = p.shape();
    track.roundRect(0.5, 1.5, 23.5, 10.5, 4.5);
    p.paint(track, Paint::solid(on ? rgb(0x44, 0xAA, 0x44) : rgb(0x88, 0x88, 0x99)));
    p.paint(track.edge(), Paint::solid(kInk));
    Shape knob = p.shape();
    knob.ellipse(on ? 17.5 : 6.5, 6, 4.6, 4.6);
    p.paint(knob, Paint::vertical(rgb(0xEE, 0xEE, 0xEE), rgb(0xBB, 0xBB, 0xCC), 1, 11));
    p.paint(knob.edge(), Paint::solid(kInk));
    return p;
}

Picture smallSign(bool plusBox)
{
    Picture p(9, 9, Transparent);
    if (plusBox) {
        p.fillRect(0, 0, 9, 9, Paint::solid(rgb(0xEE, 0xEE, 0xEE)));
        p.frame(0, 0, 9, 9, kInk);
        p.hline(2, 6, 4, kInk);
        p.vline(4, 2, 6, kInk);
    } else {
        drawMotif(p, Motif::Check, {0, 0, 9, 9}, naturalTones(Motif::Check));
    }
    return p;
}

Picture scrollPiece(bool thumb)
{
    const int h = thumb ? 20 : 60;
    Picture p(6, h, rgb(0xCC, 0xCC, 0xDD));
    if (thumb) {
        p.fillRect(0, 0, 6, h, Paint::horizontal(rgb(0x66, 0x99, 0xDD), rgb(0x22, 0x44, 0x99), 0, 6));
        p.frame(0, 0, 6, h, kInk);
    } else {
        p.fillRect(1, 0, 4, h, Paint::horizontal(rgb(0xBB, 0xBB, 0xCC), rgb(0xDD, 0xDD, 0xEE), 1, 5));
        p.vline(0, 0, h - 1, rgb(0x88, 0x88, 0x99));
        p.vline(5, 0, h - 1, rgb(0x88, 0x88, 0x99));
    }
    return p;
}

Picture doubleArrow()
{
    Picture p(7, 9, Transparent);
    Shape s = p.shape();
    const Pt up[] = {{0, 4}, {3.5, 0}, {7, 4}};
    const Pt down[] = {{0, 5}, {7, 5}, {3.5, 9}};
    s.polygon(up).polygon(down);
    p.paint(s, Paint::solid(rgb(0x22, 0x44, 0x99)));
    return p;
}

Picture navArrow(bool left)
{
    Picture p(6, 11, Transparent);
    Shape s = p.shape();
    const Pt l[] = {{5.5, 0.5}, {5.5, 10.5}, {0.5, 5.5}};
    const Pt r[] = {{0.5, 0.5}, {0.5, 10.5}, {5.5, 5.5}};
    s.polygon(left ? l : r);
    p.paint(s, Paint::vertical(rgb(0x66, 0x99, 0xEE), rgb(0x22, 0x44, 0x99), 0, 11));
    p.paint(s.edge(), Paint::solid(kInk));
    return p;
}

Picture tab(bool active)
{
    const Colour back = rgb(0x22, 0x33, 0x55);
    Picture p(48, 16, back);
    Shape s = p.shape();
    s.roundRect(1, 1, 47, 20, 4);
    p.paint(s, active ? Paint::vertical(rgb(0xEE, 0xEE, 0xDD), rgb(0xCC, 0xCC, 0xBB), 1, 16)
                      : Paint::vertical(rgb(0x88, 0x99, 0xAA), rgb(0x66, 0x77, 0x88), 1, 16));
    p.paint(s.border(false), Paint::solid(kInk));
    return p;
}

Picture background(int w, int h, Colour top, Colour bottom, Colour wave)
{
    Picture p(w, h, top);
    p.fillRect(0, 0, w, h, Paint::vertical(top, bottom, 0, h));
    // Two soft bands across the picture.
    for (int band = 0; band < 2; ++band) {
        Shape s = p.shape();
        const double y = h * (0.55 + 0.22 * band);
        s.ellipse(w * (0.3 + 0.5 * band), y + h * 0.9, w * 1.1, h * 0.9).ellipse(w * (0.3 + 0.5 * band), y + h * 0.96,
                                                                                  w * 1.1, h * 0.9, false);
        p.paint(s, Paint::solid(mix(bottom, wave, 1 + band, 3)));
    }
    // No dithering: rows of one colour keep these large pictures small in
    // the 12-bit run-length coding (a dithered one would triple the file).
    return p;
}

Picture patternTile()
{
    Picture p(88, 44, rgb(0xDD, 0xE4, 0xEE));
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 88; ++x)
            if ((x + y) % 11 == 0)
                p.set(x, y, rgb(0xCC, 0xD4, 0xE4));
    return p;
}

Picture logo()
{
    Picture p(72, 18, Transparent);
    const std::u16string_view text = u"KASTRA";
    const int w = PixelFont::standard().textWidth(text);
    const int x = (72 - w * 2) / 2;
    // Bold, outlined letters at double size would not fit; one size, drawn
    // twice for weight, with a light outline.
    Picture letters(72, 18, Transparent);
    letters.text(x + 18, 3, text, rgb(0x22, 0x44, 0x99));
    letters.text(x + 19, 3, text, rgb(0x22, 0x44, 0x99));
    const Shape ink = letters.opaque();
    p.paint(ink.border(true), Paint::solid(rgb(0xCC, 0xDD, 0xEE)));
    p.paint(ink, Paint::vertical(rgb(0x33, 0x66, 0xCC), rgb(0x11, 0x22, 0x66), 4, 12));
    p.fillRect(x + 18, 14, w + 1, 2, Paint::horizontal(rgb(0xFF, 0x99, 0x33), rgb(0xCC, 0x33, 0x33), x + 18, x + 19 + w));
    return p;
}

// A picture of black and white only, although it is stored in colour.
Picture keypadLock()
{
    Picture p(24, 24, kWhite);
    p.paint(motifSilhouette(24, 24, Motif::Lock, {3, 1, 18, 22}), Paint::solid(kBlack));
    return p;
}

Picture volumeLevel(int level)
{
    Picture p(56, 10, rgb(0x22, 0x33, 0x55));
    for (int i = 0; i < 7; ++i) {
        const int x = 2 + i * 8;
        const int h = 2 + i;
        const bool on = i < level;
        p.fillRect(x, 9 - h, 6, h,
                   on ? Paint::vertical(rgb(0xAA, 0xEE, 0x66), rgb(0x33, 0x99, 0x33), 9.0 - h, 9)
                      : Paint::solid(rgb(0x44, 0x55, 0x77)));
    }
    return p;
}

Picture clockFace()
{
    Picture p(44, 44, rgb(0x22, 0x33, 0x55));
    Shape dial = p.shape();
    dial.ellipse(22, 22, 20, 20);
    p.paint(dial, Paint::vertical(rgb(0xEE, 0xEE, 0xDD), rgb(0xBB, 0xCC, 0xDD), 2, 42), kInk);
    for (int i = 0; i < 12; ++i) {
        // Hour marks at the twelve positions, from a table rather than from
        // trigonometry so the pixels never depend on the maths library.
        static constexpr double kCos[12] = {1, 0.866, 0.5, 0, -0.5, -0.866, -1, -0.866, -0.5, 0, 0.5, 0.866};
        static constexpr double kSin[12] = {0, 0.5, 0.866, 1, 0.866, 0.5, 0, -0.5, -0.866, -1, -0.866, -0.5};
        Shape mark = p.shape();
        mark.stroke(22 + kCos[i] * 15, 22 + kSin[i] * 15, 22 + kCos[i] * 18, 22 + kSin[i] * 18, i % 3 == 0 ? 2.2 : 1.2);
        p.paint(mark, Paint::solid(kInk));
    }
    Shape hands = p.shape();
    hands.stroke(22, 22, 22, 9, 2.2).stroke(22, 22, 31, 26, 2.2);
    p.paint(hands, Paint::solid(kInk));
    return p;
}

Picture batteryLevel(int level)
{
    Picture p(12, 22, Transparent);
    p.fillRect(4, 0, 4, 2, Paint::solid(kInk));
    p.fillRect(1, 2, 10, 20, Paint::solid(kInk));
    p.fillRect(2, 3, 8, 18, Paint::solid(rgb(0x33, 0x44, 0x55)));
    for (int i = 0; i < level; ++i)
        p.fillRect(3, 17 - i * 4, 6, 3, Paint::vertical(rgb(0x88, 0xEE, 0x66), rgb(0x33, 0x99, 0x33), 17.0 - i * 4, 20.0 - i * 4));
    return p;
}

Picture radioDot()
{
    Picture p(7, 7, kWhite);
    Shape s = p.shape();
    s.ellipse(3.5, 3.5, 2.6, 2.6);
    p.paint(s, Paint::solid(kBlack));
    return p;
}

Picture bullet()
{
    Picture p(5, 5, kWhite);
    p.fillRect(1, 1, 3, 3, Paint::solid(kBlack));
    return p;
}

struct Builder {
    std::vector<AvkonPicture> out;
    int next = 0;

    void add(std::string what, Picture p, bool mask)
    {
        AvkonPicture a;
        a.index = next;
        a.what = std::move(what);
        a.picture = std::move(p);
        a.hasMask = mask;
        out.push_back(std::move(a));
        next += mask ? 2 : 1;
    }
    void icon(std::string what, Picture p) { add(std::move(what), std::move(p), true); }
    void plain(std::string what, Picture p) { add(std::move(what), std::move(p), false); }
    void mono(std::string what, Picture p)
    {
        add(std::move(what), std::move(p), false);
        out.back().mono = true;
    }
    void expect(int index)
    {
        if (next != index)
            throw std::logic_error("Avkon catalogue is at index " + std::to_string(next) + ", expected "
                                   + std::to_string(index));
    }
};

// The catalogue in sections of consecutive indices; each checks the index it
// ends at.
using M = Motif;

// Note graphics, list icons and the scroll arrows.
void noteAndListIcons(Builder& b)
{
    // Note graphics.
    for (const M m : {M::Info, M::Exclamation, M::Cross, M::Check, M::Question, M::Battery, M::Lock, M::Unlock,
                      M::Hourglass, M::Bell})
        b.icon("note graphic", noteBadge(m));
    // Medium and small list icons.
    for (const M m : {M::Person, M::Phone, M::Envelope, M::Calendar, M::Note, M::Clock, M::Document, M::Folder,
                      M::Picture, M::MusicNote, M::Globe, M::Gear, M::Star})
        b.icon("list icon 18", listIcon(m, 18, 18));
    for (const M m : {M::Person, M::Phone, M::Envelope, M::Document, M::Folder, M::Picture, M::MusicNote, M::Star,
                      M::Heart, M::Lock, M::Key, M::Bell, M::Flag, M::SimCard, M::MemoryCard, M::Calculator, M::Clock,
                      M::Trash})
        b.icon("list icon 13", listIcon(m, 13, 13));
    b.expect(82);
    b.mono("scroll arrow up", monoArrow(7, 4, 0));
    b.mono("scroll arrow down", monoArrow(7, 4, 1));
    b.mono("scroll arrow left", monoArrow(4, 7, 2));
    b.mono("scroll arrow right", monoArrow(4, 7, 3));
}

// Application grid icons and, after the standard folders, their large
// context-pane forms; then indicators.
void applicationIcons(Builder& b)
{
    const M apps[] = {M::Envelope, M::Person, M::Phone, M::Calendar, M::Note, M::AlarmClock, M::Camera,
                      M::Picture, M::MusicNote, M::Gamepad, M::Calculator, M::Globe, M::Gear, M::Wrench,
                      M::SimCard, M::Bluetooth, M::Infrared, M::Cable, M::MemoryCard, M::Chart, M::Star,
                      M::Headset, M::Speaker, M::Hourglass, M::Dice};
    int tile = 0;
    for (const M m : apps)
        b.icon("grid icon", tileIcon(m, 42, 29, 27, tile++));
    b.expect(136);
    b.icon("standard folder, small", standardFolderSmall());
    b.icon("standard folder, large", standardFolderLarge());
    tile = 0;
    for (const M m : apps)
        b.icon("context icon", tileIcon(m, 44, 44, 38, tile++));
    for (const M m : {M::Infrared, M::Cable, M::Cloud, M::Network, M::Battery, M::Speaker})
        b.icon("indicator 12", indicator(m, 12));
    b.expect(202);
    b.icon("standard folder, open", standardFolderTall());
    for (const M m : {M::Envelope, M::Lock, M::AlarmClock, M::Mute, M::Phone, M::Headset, M::Bluetooth})
        b.icon("indicator 16", indicator(m, 16));
    b.expect(218);
}

// Highlights, frames, panes and the controls of forms and lists.
void controls(Builder& b)
{
    b.plain("list highlight", highlightBar());
    b.icon("navigation arrow left", navArrow(true));
    b.icon("navigation arrow right", navArrow(false));
    for (int c = 0; c < 4; ++c)
        b.plain("pop-up frame corner", frameCorner(c));
    b.plain("pop-up frame edge", frameEdge(true));
    b.plain("pop-up frame edge", frameEdge(false));
    b.icon("wait", indicator(M::Hourglass, 16));
    b.mono("input mode", monoText(u"abc"));
    b.mono("input mode", monoText(u"123"));
    b.plain("control pane background",
            gradientPanel(176, 20, rgb(0x33, 0x44, 0x66), rgb(0x11, 0x1A, 0x33), rgb(0x66, 0x77, 0x99)));
    b.plain("status pane background",
            gradientPanel(176, 44, rgb(0x22, 0x33, 0x66), rgb(0x44, 0x66, 0x99), rgb(0x66, 0x88, 0xBB)));
    b.expect(235);
    b.plain("application background", patternTile());
    b.icon("logo", logo());
    b.mono("editing", monoMotif(M::Pencil, 9));
    b.icon("check box", checkBox(false, false));
    b.icon("check box, checked", checkBox(true, false));
    b.icon("radio button", checkBox(false, true));
    b.icon("radio button, selected", checkBox(true, true));
    b.expect(247);
    b.plain("progress bar frame", progressFrame());
    b.icon("slider knob", sliderKnob());
    b.icon("switch on", toggleSwitch(true));
    b.icon("switch off", toggleSwitch(false));
    b.icon("selected", smallSign(false));
    b.icon("expand", smallSign(true));
    b.plain("scroll bar track", scrollPiece(false));
    b.plain("scroll bar thumb", scrollPiece(true));
    b.icon("scroll arrows", doubleArrow());
    b.plain("tab, active", tab(true));
    b.plain("tab", tab(false));
    b.expect(264);
}

// Property icons and indicators, the large backgrounds, more note graphics,
// panes and option icons.
void propertiesAndBackgrounds(Builder& b)
{
    for (const M m : {M::Document, M::Picture, M::MusicNote, M::Camera, M::Globe, M::Envelope, M::Note, M::Calendar,
                      M::Person, M::Phone, M::Folder, M::MemoryCard, M::SimCard, M::Key, M::Lock, M::Gear, M::Speaker,
                      M::Mute, M::Bell, M::AlarmClock, M::Star, M::Heart, M::Flag, M::Trash, M::Pencil, M::Magnifier})
        b.icon("property icon", listIcon(m, 18, 18));
    for (const M m : {M::Envelope, M::Phone, M::Lock, M::Unlock, M::Bell, M::Mute, M::Speaker, M::Bluetooth,
                      M::Infrared, M::Cable, M::Headset, M::Battery, M::SignalBars, M::Network, M::Cloud, M::Sun,
                      M::Moon, M::AlarmClock, M::Clock, M::Star, M::Check, M::Cross, M::Plus, M::Minus, M::ArrowUp,
                      M::ArrowDown})
        b.icon("indicator 12", indicator(m, 12));
    b.expect(368);
    // Gradients whose channels fall by the same number of 12-bit steps, so
    // the bands keep one hue.
    b.plain("idle background", background(176, 144, rgb(0xDD, 0xEE, 0xFF), rgb(0x99, 0xAA, 0xBB), rgb(0x66, 0x88, 0xBB)));
    b.plain("menu background", background(176, 144, rgb(0xEE, 0xEE, 0xDD), rgb(0xBB, 0xBB, 0xAA), rgb(0x99, 0x99, 0x88)));
    b.plain("pop-up background", background(144, 96, rgb(0xEE, 0xEE, 0xDD), rgb(0xCC, 0xCC, 0xBB), rgb(0xAA, 0xAA, 0x99)));
    for (const M m : {M::Envelope, M::Phone, M::Person, M::Calendar, M::AlarmClock, M::Battery, M::Cable, M::Bluetooth,
                      M::Infrared, M::Trash, M::MemoryCard, M::SimCard, M::Globe, M::Key})
        b.icon("note graphic", noteBadge(m));
    b.expect(399);
    b.plain("navigation pane background",
            gradientPanel(176, 16, rgb(0x44, 0x66, 0x99), rgb(0x22, 0x33, 0x66), rgb(0x88, 0xAA, 0xCC)));
    b.plain("left soft key", gradientPanel(60, 18, rgb(0x55, 0x66, 0x88), rgb(0x22, 0x2A, 0x44), rgb(0x88, 0x99, 0xBB)));
    b.plain("right soft key", gradientPanel(60, 18, rgb(0x55, 0x66, 0x88), rgb(0x22, 0x2A, 0x44), rgb(0x88, 0x99, 0xBB)));
    b.plain("find pane", gradientPanel(120, 20, rgb(0xEE, 0xEE, 0xDD), rgb(0xCC, 0xCC, 0xBB), kInk));
    b.plain("query field", gradientPanel(150, 24, rgb(0xEE, 0xEE, 0xEE), rgb(0xDD, 0xDD, 0xCC), kInk));
    b.plain("list separator", gradientPanel(176, 2, rgb(0x88, 0x99, 0xAA), rgb(0xEE, 0xEE, 0xEE), rgb(0x88, 0x99, 0xAA)));
    b.plain("grid highlight", tileIcon(M::Dots, 44, 44, 42, 0));
    b.plain("keypad lock", keypadLock());
    for (const M m : {M::Magnifier, M::Pencil, M::Trash, M::Plus, M::Minus, M::ArrowRight, M::ArrowLeft})
        b.icon("option icon", listIcon(m, 20, 20));
    b.expect(421);
}

// Volume and battery levels, more indicators, the clock face, marks and a
// second set of grid icons.
void levelsAndMarks(Builder& b)
{
    for (int level = 0; level < 8; ++level)
        b.plain("volume level", volumeLevel(level));
    b.icon("indicator 16", indicator(M::Speaker, 16));
    b.icon("indicator 16", indicator(M::Mute, 16));
    b.mono("input mode", monoText(u"T9"));
    b.icon("indicator 16", indicator(M::Phone, 16));
    b.icon("indicator 16", indicator(M::Person, 16));
    b.mono("input mode", monoText(u"Абв"));
    b.icon("indicator 16", indicator(M::Clock, 16));
    b.icon("indicator 16", indicator(M::AlarmClock, 16));
    b.plain("clock face", clockFace());
    b.plain("title pane background",
            gradientPanel(176, 16, rgb(0x33, 0x55, 0x88), rgb(0x22, 0x33, 0x66), rgb(0x77, 0x99, 0xCC)));
    b.expect(445);
    b.icon("status picture", statusPicture());
    for (int level = 0; level < 5; ++level)
        b.icon("battery level", batteryLevel(level));
    b.mono("mark", monoMotif(M::Check, 9));
    b.mono("mark", monoMotif(M::Cross, 9));
    b.mono("radio dot", radioDot());
    b.mono("bullet", bullet());
    int tile = 0;
    for (const M m : {M::Box, M::House, M::Document, M::Flag, M::Chart, M::Cloud, M::Key, M::Trash, M::Pencil,
                      M::Network, M::Heart})
        b.icon("grid icon", tileIcon(m, 42, 29, 27, tile++));
    b.expect(483);
}

// Input modes, arrows and pictograms in 1 bit, and the icon of an unknown
// application.
void inputModesAndPictograms(Builder& b)
{
    for (const std::u16string_view t : {u"Abc", u"abc", u"ABC", u"123", u"Абв", u"абв", u"АБВ", u"Т9"})
        b.mono("input mode", monoText(t));
    for (int dir = 0; dir < 4; ++dir)
        b.mono("arrow", monoArrow(9, 9, dir));
    for (const M m : {M::Plus, M::Minus, M::Check, M::Cross, M::Star, M::Heart, M::Bell, M::Envelope, M::Lock, M::Key,
                      M::Phone})
        b.mono("pictogram", monoMotif(m, 11));
    b.expect(506);
    b.icon("unknown application", tileIcon(M::Question, 42, 29, 27, 5));
    b.expect(508);
}

} // namespace

std::vector<AvkonPicture> avkonPictures()
{
    Builder b;
    for (const auto section : {noteAndListIcons, applicationIcons, controls, propertiesAndBackgrounds, levelsAndMarks,
                               inputModesAndPictograms})
        section(b);
    return std::move(b.out);
}

} // namespace kastra::art
