#include "mkdefaults/motifs.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kastra::art {

namespace {

enum class Role { Main, Accent, Light, Ink };

struct Part {
    Shape shape;
    Role role;
};

// Builds the parts of one motif in a box of a picture of the given size.
class Parts {
public:
    Parts(int w, int h, const Box& b) : m_w(w), m_h(h), m_box(b) {}

    Shape& add(Role r)
    {
        m_parts.push_back({Shape(m_w, m_h), r});
        return m_parts.back().shape;
    }
    Shape& last() { return m_parts.back().shape; }
    // Stroke width relative to the box, never thinner than one pixel and a bit.
    double sw(double s) const { return std::max(1.2, m_box.S(s)); }
    const Box& box() const { return m_box; }
    std::vector<Part>& parts() { return m_parts; }

    // Common pieces.
    Shape& rect(Role r, double u0, double v0, double u1, double v1)
    {
        return add(r).rect(m_box.X(u0), m_box.Y(v0), m_box.X(u1), m_box.Y(v1));
    }
    Shape& round(Role r, double u0, double v0, double u1, double v1, double rad)
    {
        return add(r).roundRect(m_box.X(u0), m_box.Y(v0), m_box.X(u1), m_box.Y(v1), m_box.S(rad));
    }
    Shape& disc(Role r, double u, double v, double ru, double rv)
    {
        return add(r).ellipse(m_box.X(u), m_box.Y(v), ru * m_box.w, rv * m_box.h);
    }
    Shape& circle(Role r, double u, double v, double rad)
    {
        return add(r).ellipse(m_box.X(u), m_box.Y(v), m_box.S(rad), m_box.S(rad));
    }
    Shape& line(Role r, double u0, double v0, double u1, double v1, double width)
    {
        return add(r).stroke(m_box.X(u0), m_box.Y(v0), m_box.X(u1), m_box.Y(v1), sw(width));
    }
    Shape& poly(Role r, std::span<const Pt> unitPoints)
    {
        std::vector<Pt> pts;
        for (const Pt& q : unitPoints)
            pts.push_back({m_box.X(q.x), m_box.Y(q.y)});
        return add(r).polygon(pts);
    }

private:
    int m_w;
    int m_h;
    Box m_box;
    std::vector<Part> m_parts;
};

// A motif is a list of steps in units of its box (0 to 1 across and down;
// lengths in units of the box's shorter side). Each step adds a part or
// changes the last one.
enum class Op {
    Rect,           // u0 v0 u1 v1
    Round,          // u0 v0 u1 v1 and the corner radius
    Disc,           // centre u v, radii in units of the box's width and height
    Circle,         // centre u v, radius
    Line,           // u0 v0 u1 v1 and the width
    Poly,           // the points
    Ring,           // centre u v, outer and inner radius
    Rays,           // eight strokes around the centre, from radius n0 out to n1, n2 wide
    Teeth,          // eight strokes onto the last part, from the centre out to radius n0, n1 wide
    CutCircle,      // takes a circle (centre u v, radius) out of the last part
    CutLeftBelow,   // takes out of the last part what lies left of u and below v
    Drawn,          // a function adds the parts: rows of pieces computed in a loop
};

// For CutLeftBelow: no bound on that side.
constexpr double kOpen = -1;

struct Step {
    Op op = Op::Rect;
    Role role = Role::Main;
    std::array<double, 5> n{};
    std::vector<Pt> points{};
    void (*draw)(Parts&) = nullptr;
};

// The steps, as the table below writes them.
Step step(Op op, Role r, std::array<double, 5> n)
{
    Step s;
    s.op = op;
    s.role = r;
    s.n = n;
    return s;
}
Step rect(Role r, double u0, double v0, double u1, double v1) { return step(Op::Rect, r, {u0, v0, u1, v1, 0}); }
Step round(Role r, double u0, double v0, double u1, double v1, double radius)
{
    return step(Op::Round, r, {u0, v0, u1, v1, radius});
}
Step disc(Role r, double u, double v, double ru, double rv) { return step(Op::Disc, r, {u, v, ru, rv, 0}); }
Step circle(Role r, double u, double v, double radius) { return step(Op::Circle, r, {u, v, radius, 0, 0}); }
Step line(Role r, double u0, double v0, double u1, double v1, double width)
{
    return step(Op::Line, r, {u0, v0, u1, v1, width});
}
Step poly(Role r, std::vector<Pt> points)
{
    Step s = step(Op::Poly, r, {});
    s.points = std::move(points);
    return s;
}
Step ring(Role r, double u, double v, double outer, double inner) { return step(Op::Ring, r, {u, v, outer, inner, 0}); }
Step rays(Role r, double from, double to, double width) { return step(Op::Rays, r, {from, to, width, 0, 0}); }
Step teeth(double length, double width) { return step(Op::Teeth, Role::Main, {length, width, 0, 0, 0}); }
Step cutCircle(double u, double v, double radius) { return step(Op::CutCircle, Role::Main, {u, v, radius, 0, 0}); }
Step cutLeftBelow(double u, double v) { return step(Op::CutLeftBelow, Role::Main, {u, v, 0, 0, 0}); }
Step drawn(void (*draw)(Parts&))
{
    Step s = step(Op::Drawn, Role::Main, {});
    s.draw = draw;
    return s;
}

std::vector<Step> join(std::vector<Step> a, const std::vector<Step>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The rays of the sun and the teeth of the gear: the compass points and the
// directions between them.
constexpr std::array<Pt, 8> kCompass = {Pt{1, 0}, Pt{0.707, 0.707}, Pt{0, 1}, Pt{-0.707, 0.707},
                                        Pt{-1, 0}, Pt{-0.707, -0.707}, Pt{0, -1}, Pt{0.707, -0.707}};

void run(Parts& P, const Step& s)
{
    const Box& b = P.box();
    const std::array<double, 5>& n = s.n;
    switch (s.op) {
    case Op::Rect: P.rect(s.role, n[0], n[1], n[2], n[3]); break;
    case Op::Round: P.round(s.role, n[0], n[1], n[2], n[3], n[4]); break;
    case Op::Disc: P.disc(s.role, n[0], n[1], n[2], n[3]); break;
    case Op::Circle: P.circle(s.role, n[0], n[1], n[2]); break;
    case Op::Line: P.line(s.role, n[0], n[1], n[2], n[3], n[4]); break;
    case Op::Poly: P.poly(s.role, s.points); break;
    case Op::Ring: P.add(s.role).ring(b.X(n[0]), b.Y(n[1]), b.S(n[2]), b.S(n[3])); break;
    case Op::Rays: {
        Shape& spokes = P.add(s.role);
        for (const Pt& d : kCompass)
            spokes.stroke(b.X(0.5 + d.x * n[0]), b.Y(0.5 + d.y * n[0]), b.X(0.5 + d.x * n[1]), b.Y(0.5 + d.y * n[1]),
                          P.sw(n[2]));
        break;
    }
    case Op::Teeth:
        for (const Pt& d : kCompass)
            P.last().stroke(b.X(0.5), b.Y(0.5), b.X(0.5 + d.x * n[0]), b.Y(0.5 + d.y * n[0]), P.sw(n[1]));
        break;
    case Op::CutCircle: P.last().ellipse(b.X(n[0]), b.Y(n[1]), b.S(n[2]), b.S(n[2]), false); break;
    case Op::CutLeftBelow:
        P.last().rect(0, n[1] == kOpen ? 0 : b.Y(n[1]), n[0] == kOpen ? 1000 : b.X(n[0]), 1000, false);
        break;
    case Op::Drawn: s.draw(P); break;
    }
}

// The motifs whose pieces repeat.
void signalBars(Parts& P)
{
    for (int i = 0; i < 4; ++i) {
        const double u0 = 0.08 + i * 0.23;
        P.rect(i < 3 ? Role::Main : Role::Light, u0, 0.7 - i * 0.2, u0 + 0.16, 0.92);
    }
}

void memoryCardContacts(Parts& P)
{
    for (int i = 0; i < 4; ++i)
        P.rect(Role::Accent, 0.26 + i * 0.13, 0.12, 0.34 + i * 0.13, 0.3);
}

void infraredWaves(Parts& P)
{
    for (int i = 0; i < 3; ++i) {
        const double r = 0.3 + i * 0.2;
        P.add(Role::Accent)
            .ring(P.box().X(0.2), P.box().Y(0.5), P.box().S(r), P.box().S(r - 0.08))
            .rect(0, 0, P.box().X(0.3), 1000, false);
    }
}

void calculatorKeys(Parts& P)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            P.rect(r == 2 && c == 2 ? Role::Accent : Role::Light, 0.26 + c * 0.17, 0.42 + r * 0.17, 0.37 + c * 0.17,
                   0.53 + r * 0.17);
}

using R = Role;
using M = Motif;

// Parts that two motifs share.
const std::vector<Step> kClockFace = {circle(R::Main, 0.5, 0.54, 0.42),
                                      circle(R::Light, 0.5, 0.54, 0.32),
                                      line(R::Ink, 0.5, 0.54, 0.5, 0.32, 0.07),
                                      line(R::Ink, 0.5, 0.54, 0.68, 0.62, 0.07)};
// Under the shackle, which differs.
const std::vector<Step> kLockBody = {round(R::Main, 0.14, 0.42, 0.86, 0.94, 0.06),
                                     circle(R::Ink, 0.5, 0.62, 0.08),
                                     line(R::Ink, 0.5, 0.62, 0.5, 0.8, 0.07)};
const std::vector<Step> kSpeakerBody = {rect(R::Main, 0.06, 0.36, 0.26, 0.64),
                                        poly(R::Main, {{0.2, 0.36}, {0.5, 0.1}, {0.5, 0.9}, {0.2, 0.64}})};

struct MotifSteps {
    Motif motif;
    std::vector<Step> steps;
};

// Every motif, drawn in the order of its steps (later parts cover earlier ones).
const std::vector<MotifSteps> kMotifs = {
    {M::Envelope, {rect(R::Light, 0.05, 0.2, 0.95, 0.82),
                   poly(R::Main, {{0.05, 0.2}, {0.95, 0.2}, {0.5, 0.56}}),
                   line(R::Ink, 0.07, 0.8, 0.4, 0.5, 0.06),
                   line(R::Ink, 0.93, 0.8, 0.6, 0.5, 0.06)}},
    {M::Phone, {poly(R::Main, {{0.1, 0.35}, {0.2, 0.15}, {0.8, 0.15}, {0.9, 0.35}, {0.72, 0.42}, {0.66, 0.3},
                               {0.34, 0.3}, {0.28, 0.42}}),
                round(R::Main, 0.2, 0.42, 0.8, 0.88, 0.08),
                round(R::Light, 0.36, 0.5, 0.64, 0.78, 0.05)}},
    {M::Person, {circle(R::Light, 0.5, 0.3, 0.2),
                 poly(R::Main, {{0.12, 0.95}, {0.18, 0.66}, {0.32, 0.55}, {0.68, 0.55}, {0.82, 0.66}, {0.88, 0.95}})}},
    {M::Calendar, {round(R::Light, 0.1, 0.15, 0.9, 0.92, 0.06),
                   rect(R::Main, 0.1, 0.15, 0.9, 0.38),
                   line(R::Ink, 0.3, 0.08, 0.3, 0.24, 0.08),
                   line(R::Ink, 0.7, 0.08, 0.7, 0.24, 0.08),
                   rect(R::Accent, 0.25, 0.5, 0.45, 0.66),
                   rect(R::Ink, 0.55, 0.5, 0.75, 0.66),
                   rect(R::Ink, 0.25, 0.72, 0.45, 0.84)}},
    {M::Clock, kClockFace},
    {M::AlarmClock, join({circle(R::Accent, 0.22, 0.18, 0.14),
                          circle(R::Accent, 0.78, 0.18, 0.14),
                          line(R::Main, 0.25, 0.95, 0.32, 0.82, 0.1),
                          line(R::Main, 0.75, 0.95, 0.68, 0.82, 0.1)}, kClockFace)},
    {M::Note, {poly(R::Light, {{0.15, 0.1}, {0.85, 0.1}, {0.85, 0.7}, {0.62, 0.92}, {0.15, 0.92}}),
               poly(R::Main, {{0.85, 0.7}, {0.62, 0.7}, {0.62, 0.92}}),
               line(R::Ink, 0.27, 0.3, 0.73, 0.3, 0.05),
               line(R::Ink, 0.27, 0.48, 0.73, 0.48, 0.05),
               line(R::Ink, 0.27, 0.66, 0.5, 0.66, 0.05)}},
    {M::Star, {poly(R::Main, {{0.5, 0.04}, {0.62, 0.36}, {0.96, 0.37}, {0.69, 0.58}, {0.79, 0.93}, {0.5, 0.72},
                              {0.21, 0.93}, {0.31, 0.58}, {0.04, 0.37}, {0.38, 0.36}})}},
    {M::Heart, {circle(R::Main, 0.3, 0.33, 0.22),
                circle(R::Main, 0.7, 0.33, 0.22),
                poly(R::Main, {{0.1, 0.42}, {0.9, 0.42}, {0.5, 0.92}}),
                circle(R::Light, 0.28, 0.3, 0.07)}},
    {M::MusicNote, {disc(R::Main, 0.3, 0.78, 0.17, 0.13),
                    disc(R::Main, 0.76, 0.68, 0.17, 0.13),
                    line(R::Main, 0.43, 0.78, 0.43, 0.16, 0.1),
                    line(R::Main, 0.89, 0.68, 0.89, 0.08, 0.1),
                    poly(R::Main, {{0.38, 0.1}, {0.94, 0.0}, {0.94, 0.2}, {0.38, 0.3}})}},
    {M::Camera, {round(R::Main, 0.05, 0.28, 0.95, 0.88, 0.1),
                 rect(R::Main, 0.32, 0.16, 0.62, 0.3),
                 circle(R::Ink, 0.5, 0.58, 0.24),
                 circle(R::Accent, 0.5, 0.58, 0.16),
                 circle(R::Light, 0.45, 0.53, 0.05),
                 rect(R::Light, 0.74, 0.36, 0.86, 0.44)}},
    {M::Gear, {circle(R::Main, 0.5, 0.5, 0.34),
               teeth(0.42, 0.16),
               circle(R::Light, 0.5, 0.5, 0.13)}},
    {M::Wrench, {line(R::Main, 0.22, 0.82, 0.62, 0.38, 0.18),
                 circle(R::Main, 0.68, 0.3, 0.22),
                 poly(R::Ink, {{0.7, 0.08}, {0.95, 0.08}, {0.95, 0.3}, {0.72, 0.32}})}},
    {M::Folder, {round(R::Accent, 0.06, 0.12, 0.45, 0.4, 0.04),
                 round(R::Accent, 0.06, 0.22, 0.94, 0.88, 0.04),
                 poly(R::Main, {{0.06, 0.4}, {0.94, 0.4}, {0.94, 0.88}, {0.06, 0.88}})}},
    {M::Document, {poly(R::Light, {{0.18, 0.05}, {0.64, 0.05}, {0.84, 0.25}, {0.84, 0.95}, {0.18, 0.95}}),
                   poly(R::Main, {{0.64, 0.05}, {0.64, 0.25}, {0.84, 0.25}}),
                   line(R::Ink, 0.3, 0.42, 0.72, 0.42, 0.05),
                   line(R::Ink, 0.3, 0.58, 0.72, 0.58, 0.05),
                   line(R::Ink, 0.3, 0.74, 0.6, 0.74, 0.05)}},
    {M::Globe, {circle(R::Main, 0.5, 0.5, 0.44),
                poly(R::Accent, {{0.25, 0.22}, {0.48, 0.18}, {0.5, 0.4}, {0.36, 0.56}, {0.26, 0.46}}),
                poly(R::Accent, {{0.56, 0.5}, {0.78, 0.46}, {0.8, 0.7}, {0.62, 0.84}})}},
    {M::Lock, join({ring(R::Accent, 0.5, 0.38, 0.28, 0.16)}, kLockBody)},
    {M::Unlock, join({ring(R::Accent, 0.72, 0.32, 0.24, 0.13)}, kLockBody)},
    {M::Key, {ring(R::Main, 0.28, 0.5, 0.24, 0.1),
              line(R::Main, 0.45, 0.5, 0.95, 0.5, 0.13),
              line(R::Main, 0.78, 0.5, 0.78, 0.72, 0.1),
              line(R::Main, 0.92, 0.5, 0.92, 0.68, 0.1)}},
    {M::Bell, {poly(R::Main, {{0.5, 0.1}, {0.72, 0.22}, {0.78, 0.62}, {0.92, 0.78}, {0.08, 0.78}, {0.22, 0.62},
                              {0.28, 0.22}}),
               circle(R::Accent, 0.5, 0.86, 0.1),
               circle(R::Light, 0.4, 0.36, 0.06)}},
    {M::Battery, {round(R::Light, 0.06, 0.25, 0.86, 0.75, 0.05),
                  rect(R::Ink, 0.86, 0.38, 0.96, 0.62),
                  rect(R::Main, 0.14, 0.33, 0.34, 0.67),
                  rect(R::Main, 0.38, 0.33, 0.58, 0.67),
                  rect(R::Main, 0.62, 0.33, 0.78, 0.67)}},
    {M::SignalBars, {drawn(signalBars)}},
    {M::Check, {poly(R::Main, {{0.08, 0.52}, {0.24, 0.38}, {0.42, 0.56}, {0.78, 0.12}, {0.94, 0.26}, {0.42, 0.86}})}},
    {M::Cross, {line(R::Main, 0.18, 0.18, 0.82, 0.82, 0.2),
                line(R::Main, 0.82, 0.18, 0.18, 0.82, 0.2)}},
    // A ring open at its lower left, then the stem.
    {M::Question, {ring(R::Main, 0.5, 0.32, 0.27, 0.13),
                   cutLeftBelow(0.5, 0.34),
                   line(R::Main, 0.58, 0.52, 0.5, 0.6, 0.14),
                   line(R::Main, 0.5, 0.6, 0.5, 0.68, 0.14),
                   circle(R::Main, 0.5, 0.86, 0.08)}},
    {M::Exclamation, {poly(R::Main, {{0.38, 0.06}, {0.62, 0.06}, {0.56, 0.66}, {0.44, 0.66}}),
                      circle(R::Main, 0.5, 0.84, 0.1)}},
    {M::Info, {circle(R::Main, 0.5, 0.16, 0.1),
               rect(R::Main, 0.4, 0.34, 0.6, 0.86),
               rect(R::Main, 0.3, 0.34, 0.6, 0.44),
               rect(R::Main, 0.3, 0.8, 0.7, 0.9)}},
    {M::ArrowRight, {poly(R::Main, {{0.08, 0.36}, {0.5, 0.36}, {0.5, 0.12}, {0.94, 0.5}, {0.5, 0.88}, {0.5, 0.64},
                                    {0.08, 0.64}})}},
    {M::ArrowLeft, {poly(R::Main, {{0.92, 0.36}, {0.5, 0.36}, {0.5, 0.12}, {0.06, 0.5}, {0.5, 0.88}, {0.5, 0.64},
                                   {0.92, 0.64}})}},
    {M::ArrowUp, {poly(R::Main, {{0.36, 0.92}, {0.36, 0.5}, {0.12, 0.5}, {0.5, 0.06}, {0.88, 0.5}, {0.64, 0.5},
                                 {0.64, 0.92}})}},
    {M::ArrowDown, {poly(R::Main, {{0.36, 0.08}, {0.36, 0.5}, {0.12, 0.5}, {0.5, 0.94}, {0.88, 0.5}, {0.64, 0.5},
                                   {0.64, 0.08}})}},
    {M::Plus, {rect(R::Main, 0.38, 0.1, 0.62, 0.9),
               rect(R::Main, 0.1, 0.38, 0.9, 0.62)}},
    {M::Minus, {rect(R::Main, 0.1, 0.38, 0.9, 0.62)}},
    {M::Magnifier, {ring(R::Main, 0.4, 0.4, 0.32, 0.2),
                    circle(R::Light, 0.4, 0.4, 0.2),
                    line(R::Accent, 0.64, 0.64, 0.9, 0.9, 0.16)}},
    {M::Trash, {rect(R::Main, 0.2, 0.3, 0.8, 0.94),
                rect(R::Accent, 0.1, 0.16, 0.9, 0.28),
                rect(R::Accent, 0.38, 0.06, 0.62, 0.16),
                line(R::Ink, 0.4, 0.42, 0.4, 0.84, 0.05),
                line(R::Ink, 0.6, 0.42, 0.6, 0.84, 0.05)}},
    {M::Pencil, {poly(R::Main, {{0.7, 0.08}, {0.92, 0.3}, {0.36, 0.86}, {0.14, 0.64}}),
                 poly(R::Light, {{0.14, 0.64}, {0.36, 0.86}, {0.06, 0.94}}),
                 poly(R::Accent, {{0.7, 0.08}, {0.92, 0.3}, {0.82, 0.4}, {0.6, 0.18}})}},
    {M::MemoryCard, {poly(R::Main, {{0.2, 0.06}, {0.64, 0.06}, {0.82, 0.24}, {0.82, 0.94}, {0.2, 0.94}}),
                     drawn(memoryCardContacts),
                     rect(R::Light, 0.28, 0.52, 0.74, 0.84)}},
    {M::Speaker, join(kSpeakerBody, {ring(R::Accent, 0.5, 0.5, 0.3, 0.22),
                                     cutLeftBelow(0.6, kOpen),
                                     ring(R::Accent, 0.5, 0.5, 0.46, 0.38),
                                     cutLeftBelow(0.64, kOpen)})},
    {M::Mute, join(kSpeakerBody, {line(R::Accent, 0.62, 0.34, 0.92, 0.66, 0.1),
                                  line(R::Accent, 0.92, 0.34, 0.62, 0.66, 0.1)})},
    {M::Picture, {rect(R::Light, 0.06, 0.14, 0.94, 0.86),
                  poly(R::Main, {{0.1, 0.82}, {0.38, 0.44}, {0.56, 0.66}, {0.68, 0.54}, {0.9, 0.82}}),
                  circle(R::Accent, 0.72, 0.32, 0.1)}},
    {M::Gamepad, {round(R::Main, 0.04, 0.28, 0.96, 0.78, 0.22),
                  rect(R::Ink, 0.16, 0.48, 0.38, 0.56),
                  rect(R::Ink, 0.23, 0.41, 0.31, 0.63),
                  circle(R::Accent, 0.68, 0.45, 0.07),
                  circle(R::Accent, 0.8, 0.58, 0.07)}},
    {M::House, {poly(R::Accent, {{0.5, 0.06}, {0.96, 0.48}, {0.04, 0.48}}),
                rect(R::Main, 0.16, 0.48, 0.84, 0.94),
                rect(R::Ink, 0.42, 0.64, 0.58, 0.94)}},
    {M::Sun, {rays(R::Accent, 0.3, 0.46, 0.08),
              circle(R::Main, 0.5, 0.5, 0.24)}},
    {M::Moon, {circle(R::Main, 0.46, 0.5, 0.4),
               cutCircle(0.7, 0.36, 0.32)}},
    {M::Chart, {rect(R::Main, 0.12, 0.5, 0.3, 0.9),
                rect(R::Accent, 0.41, 0.2, 0.59, 0.9),
                rect(R::Main, 0.7, 0.38, 0.88, 0.9)}},
    {M::SimCard, {poly(R::Main, {{0.14, 0.1}, {0.66, 0.1}, {0.86, 0.3}, {0.86, 0.9}, {0.14, 0.9}}),
                  round(R::Accent, 0.28, 0.42, 0.72, 0.78, 0.06),
                  line(R::Ink, 0.5, 0.44, 0.5, 0.76, 0.04)}},
    {M::Bluetooth, {line(R::Main, 0.46, 0.06, 0.46, 0.94, 0.1),
                    line(R::Main, 0.46, 0.06, 0.74, 0.3, 0.1),
                    line(R::Main, 0.74, 0.3, 0.24, 0.72, 0.1),
                    line(R::Main, 0.46, 0.94, 0.74, 0.7, 0.1),
                    line(R::Main, 0.74, 0.7, 0.24, 0.28, 0.1)}},
    {M::Infrared, {circle(R::Main, 0.2, 0.5, 0.14),
                   drawn(infraredWaves)}},
    {M::Bulb, {circle(R::Accent, 0.5, 0.38, 0.32),
               rect(R::Main, 0.36, 0.64, 0.64, 0.9),
               line(R::Ink, 0.36, 0.74, 0.64, 0.74, 0.05),
               circle(R::Light, 0.4, 0.3, 0.08)}},
    {M::Calculator, {round(R::Main, 0.16, 0.04, 0.84, 0.96, 0.06),
                     rect(R::Light, 0.26, 0.12, 0.74, 0.32),
                     drawn(calculatorKeys)}},
    {M::Dice, {round(R::Light, 0.1, 0.1, 0.9, 0.9, 0.14),
               circle(R::Ink, 0.3, 0.3, 0.07),
               circle(R::Ink, 0.5, 0.5, 0.07),
               circle(R::Ink, 0.7, 0.7, 0.07)}},
    {M::Card, {round(R::Light, 0.2, 0.06, 0.8, 0.94, 0.08),
               circle(R::Accent, 0.41, 0.44, 0.1),
               circle(R::Accent, 0.59, 0.44, 0.1),
               poly(R::Accent, {{0.3, 0.5}, {0.7, 0.5}, {0.5, 0.74}})}},
    {M::Flag, {line(R::Ink, 0.16, 0.06, 0.16, 0.96, 0.08),
               poly(R::Main, {{0.2, 0.08}, {0.9, 0.2}, {0.56, 0.36}, {0.9, 0.52}, {0.2, 0.56}})}},
    {M::Headset, {ring(R::Main, 0.5, 0.52, 0.4, 0.3),
                  cutLeftBelow(kOpen, 0.56),
                  round(R::Accent, 0.06, 0.46, 0.26, 0.8, 0.06),
                  round(R::Accent, 0.74, 0.46, 0.94, 0.8, 0.06)}},
    {M::Cable, {line(R::Main, 0.1, 0.9, 0.5, 0.5, 0.1),
                round(R::Accent, 0.44, 0.2, 0.8, 0.56, 0.06),
                line(R::Ink, 0.6, 0.22, 0.72, 0.08, 0.08),
                line(R::Ink, 0.76, 0.36, 0.9, 0.24, 0.08)}},
    {M::Cloud, {circle(R::Light, 0.34, 0.56, 0.2),
                circle(R::Light, 0.56, 0.44, 0.26),
                circle(R::Light, 0.76, 0.6, 0.17),
                rect(R::Light, 0.2, 0.6, 0.8, 0.77)}},
    {M::Hourglass, {rect(R::Main, 0.16, 0.04, 0.84, 0.14),
                    rect(R::Main, 0.16, 0.86, 0.84, 0.96),
                    poly(R::Light, {{0.24, 0.14}, {0.76, 0.14}, {0.54, 0.5}, {0.76, 0.86}, {0.24, 0.86}, {0.46, 0.5}}),
                    poly(R::Accent, {{0.34, 0.86}, {0.66, 0.86}, {0.5, 0.66}})}},
    {M::Dots, {circle(R::Main, 0.18, 0.5, 0.12),
               circle(R::Main, 0.5, 0.5, 0.12),
               circle(R::Main, 0.82, 0.5, 0.12)}},
    {M::Box, {poly(R::Light, {{0.5, 0.08}, {0.92, 0.26}, {0.5, 0.44}, {0.08, 0.26}}),
              poly(R::Main, {{0.08, 0.26}, {0.5, 0.44}, {0.5, 0.94}, {0.08, 0.76}}),
              poly(R::Accent, {{0.92, 0.26}, {0.5, 0.44}, {0.5, 0.94}, {0.92, 0.76}})}},
    {M::Network, {line(R::Ink, 0.5, 0.3, 0.2, 0.76, 0.06),
                  line(R::Ink, 0.5, 0.3, 0.8, 0.76, 0.06),
                  line(R::Ink, 0.2, 0.76, 0.8, 0.76, 0.06),
                  circle(R::Main, 0.5, 0.26, 0.16),
                  circle(R::Accent, 0.2, 0.76, 0.14),
                  circle(R::Accent, 0.8, 0.76, 0.14)}},
};

void build(Parts& P, Motif m)
{
    const auto it = std::find_if(kMotifs.begin(), kMotifs.end(), [m](const MotifSteps& e) { return e.motif == m; });
    if (it == kMotifs.end())
        return;
    for (const Step& s : it->steps)
        run(P, s);
}

Colour roleColour(Role r, const Tones& t)
{
    switch (r) {
    case Role::Main: return t.main;
    case Role::Accent: return t.accent;
    case Role::Light: return t.light;
    case Role::Ink: return t.ink;
    }
    return t.main;
}

} // namespace

Tones naturalTones(Motif m)
{
    const Colour ink = rgb(0x22, 0x22, 0x33);
    const Colour paper = rgb(0xEE, 0xEE, 0xDD);
    switch (m) {
    case Motif::Envelope: return {ink, rgb(0xDD, 0xCC, 0x99), rgb(0xCC, 0x33, 0x33), paper};
    case Motif::Phone: return {ink, rgb(0x33, 0x99, 0x33), rgb(0x66, 0xCC, 0x66), rgb(0xCC, 0xEE, 0xCC)};
    case Motif::Person: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x99, 0x66, 0x33), rgb(0xEE, 0xCC, 0x99)};
    case Motif::Calendar: return {ink, rgb(0xCC, 0x33, 0x33), rgb(0xCC, 0x33, 0x33), paper};
    case Motif::Clock:
    case Motif::AlarmClock: return {ink, rgb(0x33, 0x66, 0x99), rgb(0xCC, 0x99, 0x33), paper};
    case Motif::Note: return {ink, rgb(0xCC, 0xAA, 0x33), rgb(0x99, 0x66, 0x33), rgb(0xEE, 0xEE, 0x99)};
    case Motif::Star: return {ink, rgb(0xFF, 0xCC, 0x33), rgb(0xCC, 0x99, 0x00), paper};
    case Motif::Heart: return {ink, rgb(0xDD, 0x33, 0x44), rgb(0x99, 0x00, 0x33), rgb(0xEE, 0xAA, 0xAA)};
    case Motif::MusicNote: return {ink, rgb(0x66, 0x33, 0x99), rgb(0x99, 0x66, 0xCC), paper};
    case Motif::Camera: return {ink, rgb(0x55, 0x66, 0x77), rgb(0x33, 0x66, 0xCC), rgb(0xDD, 0xEE, 0xEE)};
    case Motif::Gear: return {ink, rgb(0x77, 0x88, 0x99), rgb(0x55, 0x55, 0x66), rgb(0xDD, 0xDD, 0xCC)};
    case Motif::Wrench: return {ink, rgb(0x99, 0xAA, 0xBB), rgb(0x66, 0x77, 0x88), paper};
    case Motif::Folder: return {ink, rgb(0xFF, 0xCC, 0x33), rgb(0xCC, 0x99, 0x00), paper};
    case Motif::Document: return {ink, rgb(0x99, 0xAA, 0xBB), rgb(0x33, 0x66, 0xCC), paper};
    case Motif::Globe: return {ink, rgb(0x33, 0x77, 0xCC), rgb(0x33, 0x99, 0x33), paper};
    case Motif::Lock:
    case Motif::Unlock: return {ink, rgb(0xCC, 0x99, 0x00), rgb(0x88, 0x99, 0xAA), paper};
    case Motif::Key: return {ink, rgb(0xDD, 0xAA, 0x22), rgb(0x99, 0x66, 0x00), paper};
    case Motif::Bell: return {ink, rgb(0xEE, 0xBB, 0x22), rgb(0xAA, 0x77, 0x00), paper};
    case Motif::Battery: return {ink, rgb(0x33, 0xAA, 0x33), rgb(0x22, 0x66, 0x22), rgb(0xDD, 0xDD, 0xCC)};
    case Motif::SignalBars: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x66, 0x99, 0xDD), rgb(0xBB, 0xCC, 0xDD)};
    case Motif::Check: return {ink, rgb(0x33, 0xAA, 0x33), rgb(0x22, 0x66, 0x22), paper};
    case Motif::Cross: return {ink, rgb(0xDD, 0x33, 0x22), rgb(0x99, 0x00, 0x00), paper};
    case Motif::Question: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x22, 0x44, 0x99), paper};
    case Motif::Exclamation: return {ink, rgb(0xEE, 0xAA, 0x00), rgb(0x99, 0x66, 0x00), paper};
    case Motif::Info: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x22, 0x44, 0x99), paper};
    case Motif::Trash: return {ink, rgb(0x88, 0x99, 0xAA), rgb(0x66, 0x77, 0x88), paper};
    case Motif::Pencil: return {ink, rgb(0xEE, 0xBB, 0x33), rgb(0xDD, 0x66, 0x66), rgb(0xEE, 0xCC, 0x99)};
    case Motif::MemoryCard: return {ink, rgb(0x33, 0x55, 0x88), rgb(0xDD, 0xBB, 0x33), rgb(0xCC, 0xDD, 0xEE)};
    case Motif::Speaker:
    case Motif::Mute: return {ink, rgb(0x55, 0x66, 0x77), rgb(0x33, 0x99, 0x33), paper};
    case Motif::Picture: return {ink, rgb(0x33, 0x99, 0x55), rgb(0xFF, 0xCC, 0x33), rgb(0xAA, 0xDD, 0xEE)};
    case Motif::Gamepad: return {ink, rgb(0x55, 0x55, 0x77), rgb(0xDD, 0x33, 0x33), paper};
    case Motif::House: return {ink, rgb(0xDD, 0xCC, 0x99), rgb(0xCC, 0x44, 0x33), paper};
    case Motif::Sun: return {ink, rgb(0xFF, 0xCC, 0x00), rgb(0xFF, 0x99, 0x00), paper};
    case Motif::Moon: return {ink, rgb(0xEE, 0xDD, 0x66), rgb(0xCC, 0xAA, 0x33), paper};
    case Motif::Chart: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0xDD, 0x66, 0x33), paper};
    case Motif::SimCard: return {ink, rgb(0x33, 0x66, 0x99), rgb(0xDD, 0xBB, 0x33), paper};
    case Motif::Bluetooth: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x33, 0x66, 0xCC), paper};
    case Motif::Infrared: return {ink, rgb(0xCC, 0x33, 0x33), rgb(0xDD, 0x66, 0x66), paper};
    case Motif::Bulb: return {ink, rgb(0x88, 0x99, 0xAA), rgb(0xFF, 0xDD, 0x44), paper};
    case Motif::Calculator: return {ink, rgb(0x44, 0x55, 0x66), rgb(0xEE, 0x99, 0x33), rgb(0xCC, 0xDD, 0xDD)};
    case Motif::Dice: return {ink, rgb(0xCC, 0x33, 0x33), rgb(0xCC, 0x33, 0x33), paper};
    case Motif::Card: return {ink, rgb(0xCC, 0x33, 0x33), rgb(0xCC, 0x22, 0x22), paper};
    case Motif::Flag: return {ink, rgb(0x33, 0x99, 0x33), rgb(0x22, 0x66, 0x22), paper};
    case Motif::Headset: return {ink, rgb(0x44, 0x55, 0x66), rgb(0x33, 0x66, 0xCC), paper};
    case Motif::Cable: return {ink, rgb(0x44, 0x44, 0x55), rgb(0x88, 0x99, 0xAA), paper};
    case Motif::Cloud: return {ink, rgb(0x99, 0xAA, 0xBB), rgb(0x66, 0x77, 0x88), rgb(0xDD, 0xEE, 0xEE)};
    case Motif::Hourglass: return {ink, rgb(0x99, 0x66, 0x33), rgb(0xDD, 0xAA, 0x33), rgb(0xCC, 0xEE, 0xEE)};
    case Motif::Dots: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0x33, 0x66, 0xCC), paper};
    case Motif::Box: return {ink, rgb(0xBB, 0x88, 0x44), rgb(0x99, 0x66, 0x33), rgb(0xDD, 0xBB, 0x77)};
    case Motif::Network: return {ink, rgb(0x33, 0x99, 0x66), rgb(0x33, 0x66, 0xCC), paper};
    default: return {ink, rgb(0x33, 0x66, 0xCC), rgb(0xDD, 0x66, 0x33), paper};
    }
}

void drawMotif(Picture& p, Motif m, const Box& box, const Tones& tones)
{
    Parts parts(p.width(), p.height(), box);
    build(parts, m);
    Shape all(p.width(), p.height());
    for (const Part& part : parts.parts()) {
        all.unite(part.shape);
        Paint paint = Paint::solid(roleColour(part.role, tones));
        if (part.role == Role::Main)
            paint = Paint::vertical(lighter(tones.main, 25), darker(tones.main, 15), box.y, box.y + box.h);
        p.paint(part.shape, paint);
    }
    p.paint(all.border(false), Paint::solid(tones.ink));
}

Shape motifSilhouette(int width, int height, Motif m, const Box& box)
{
    Parts parts(width, height, box);
    build(parts, m);
    Shape all(width, height);
    for (const Part& part : parts.parts())
        if (part.role != Role::Ink)
            all.unite(part.shape);
    for (const Part& part : parts.parts())
        if (part.role == Role::Ink)
            all.subtract(part.shape);
    return all;
}

} // namespace kastra::art
