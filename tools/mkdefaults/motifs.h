#pragma once
// Pictograms for the default icons, drawn from shapes so that one
// description serves every size from 12 to 44 pixels. A motif fills the box
// it is given; the caller chooses the box, the colours and what lies behind.

#include "mkdefaults/picture.h"

namespace kastra::art {

struct Box {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    double X(double u) const { return x + u * w; }
    double Y(double v) const { return y + v * h; }
    double S(double s) const { return s * (w < h ? w : h); }
    Box inset(double d) const { return {x + d, y + d, w - 2 * d, h - 2 * d}; }
};

enum class Motif {
    Envelope, Phone, Person, Calendar, Clock, Note, Star, Heart, MusicNote, Camera,
    Gear, Wrench, Folder, Document, Globe, Lock, Unlock, Key, Bell, Battery,
    SignalBars, Check, Cross, Question, Exclamation, Info, ArrowRight, ArrowLeft, ArrowUp, ArrowDown,
    Plus, Minus, Magnifier, Trash, Pencil, MemoryCard, Speaker, Mute, Picture, Gamepad,
    House, Sun, Moon, Chart, SimCard, AlarmClock, Bluetooth, Infrared, Bulb, Calculator,
    Dice, Card, Flag, Headset, Cable, Cloud, Hourglass, Dots, Box, Network,
};
inline constexpr int MotifCount = static_cast<int>(Motif::Network) + 1;

// Everything the motifs need to know about colour.
struct Tones {
    Colour ink;        // outlines and dark details
    Colour main;       // the body
    Colour accent;     // a second colour
    Colour light;      // highlights and paper; never pure white
};

// The standard tones of a motif (its natural colours).
Tones naturalTones(Motif m);

// Draws the motif into the box, outlined in tones.ink.
void drawMotif(Picture& p, Motif m, const Box& box, const Tones& tones);

// The shape of a motif filled with one colour and no outline: for 1-bit
// pictures and for white pictograms on badges.
Shape motifSilhouette(int width, int height, Motif m, const Box& box);

} // namespace kastra::art
