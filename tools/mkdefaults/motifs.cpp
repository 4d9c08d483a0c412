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
    Shape& poly(Role r, std::initializer_list<Pt> unitPoints)
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

void build(Parts& P, Motif m)
{
    using R = Role;
    switch (m) {
    case Motif::Envelope:
        P.rect(R::Light, 0.05, 0.2, 0.95, 0.82);
        P.poly(R::Main, {{0.05, 0.2}, {0.95, 0.2}, {0.5, 0.56}});
        P.line(R::Ink, 0.07, 0.8, 0.4, 0.5, 0.06);
        P.line(R::Ink, 0.93, 0.8, 0.6, 0.5, 0.06);
        break;
    case Motif::Phone:
        P.poly(R::Main, {{0.1, 0.35}, {0.2, 0.15}, {0.8, 0.15}, {0.9, 0.35}, {0.72, 0.42}, {0.66, 0.3},
                         {0.34, 0.3}, {0.28, 0.42}});
        P.round(R::Main, 0.2, 0.42, 0.8, 0.88, 0.08);
        P.round(R::Light, 0.36, 0.5, 0.64, 0.78, 0.05);
        break;
    case Motif::Person:
        P.circle(R::Light, 0.5, 0.3, 0.2);
        P.poly(R::Main, {{0.12, 0.95}, {0.18, 0.66}, {0.32, 0.55}, {0.68, 0.55}, {0.82, 0.66}, {0.88, 0.95}});
        break;
    case Motif::Calendar:
        P.round(R::Light, 0.1, 0.15, 0.9, 0.92, 0.06);
        P.rect(R::Main, 0.1, 0.15, 0.9, 0.38);
        P.line(R::Ink, 0.3, 0.08, 0.3, 0.24, 0.08);
        P.line(R::Ink, 0.7, 0.08, 0.7, 0.24, 0.08);
        P.rect(R::Accent, 0.25, 0.5, 0.45, 0.66);
        P.rect(R::Ink, 0.55, 0.5, 0.75, 0.66);
        P.rect(R::Ink, 0.25, 0.72, 0.45, 0.84);
        break;
    case Motif::Clock:
    case Motif::AlarmClock:
        if (m == Motif::AlarmClock) {
            P.circle(R::Accent, 0.22, 0.18, 0.14);
            P.circle(R::Accent, 0.78, 0.18, 0.14);
            P.line(R::Main, 0.25, 0.95, 0.32, 0.82, 0.1);
            P.line(R::Main, 0.75, 0.95, 0.68, 0.82, 0.1);
        }
        P.circle(R::Main, 0.5, 0.54, 0.42);
        P.circle(R::Light, 0.5, 0.54, 0.32);
        P.line(R::Ink, 0.5, 0.54, 0.5, 0.32, 0.07);
        P.line(R::Ink, 0.5, 0.54, 0.68, 0.62, 0.07);
        break;
    case Motif::Note:
        P.poly(R::Light, {{0.15, 0.1}, {0.85, 0.1}, {0.85, 0.7}, {0.62, 0.92}, {0.15, 0.92}});
        P.poly(R::Main, {{0.85, 0.7}, {0.62, 0.7}, {0.62, 0.92}});
        P.line(R::Ink, 0.27, 0.3, 0.73, 0.3, 0.05);
        P.line(R::Ink, 0.27, 0.48, 0.73, 0.48, 0.05);
        P.line(R::Ink, 0.27, 0.66, 0.5, 0.66, 0.05);
        break;
    case Motif::Star:
        P.poly(R::Main, {{0.5, 0.04}, {0.62, 0.36}, {0.96, 0.37}, {0.69, 0.58}, {0.79, 0.93}, {0.5, 0.72},
                         {0.21, 0.93}, {0.31, 0.58}, {0.04, 0.37}, {0.38, 0.36}});
        break;
    case Motif::Heart:
        P.circle(R::Main, 0.3, 0.33, 0.22);
        P.circle(R::Main, 0.7, 0.33, 0.22);
        P.poly(R::Main, {{0.1, 0.42}, {0.9, 0.42}, {0.5, 0.92}});
        P.circle(R::Light, 0.28, 0.3, 0.07);
        break;
    case Motif::MusicNote:
        P.disc(R::Main, 0.3, 0.78, 0.17, 0.13);
        P.disc(R::Main, 0.76, 0.68, 0.17, 0.13);
        P.line(R::Main, 0.43, 0.78, 0.43, 0.16, 0.1);
        P.line(R::Main, 0.89, 0.68, 0.89, 0.08, 0.1);
        P.poly(R::Main, {{0.38, 0.1}, {0.94, 0.0}, {0.94, 0.2}, {0.38, 0.3}});
        break;
    case Motif::Camera:
        P.round(R::Main, 0.05, 0.28, 0.95, 0.88, 0.1);
        P.rect(R::Main, 0.32, 0.16, 0.62, 0.3);
        P.circle(R::Ink, 0.5, 0.58, 0.24);
        P.circle(R::Accent, 0.5, 0.58, 0.16);
        P.circle(R::Light, 0.45, 0.53, 0.05);
        P.rect(R::Light, 0.74, 0.36, 0.86, 0.44);
        break;
    case Motif::Gear: {
        Shape& g = P.circle(R::Main, 0.5, 0.5, 0.34);
        const Box& b = P.box();
        // Eight teeth at the compass points and between them.
        const std::array<Pt, 8> dirs = {Pt{1, 0}, Pt{0.707, 0.707}, Pt{0, 1}, Pt{-0.707, 0.707},
                                        Pt{-1, 0}, Pt{-0.707, -0.707}, Pt{0, -1}, Pt{0.707, -0.707}};
        for (const Pt& d : dirs)
            g.stroke(b.X(0.5), b.Y(0.5), b.X(0.5 + d.x * 0.42), b.Y(0.5 + d.y * 0.42), P.sw(0.16));
        P.circle(R::Light, 0.5, 0.5, 0.13);
        break;
    }
    case Motif::Wrench:
        P.line(R::Main, 0.22, 0.82, 0.62, 0.38, 0.18);
        P.circle(R::Main, 0.68, 0.3, 0.22);
        P.poly(R::Ink, {{0.7, 0.08}, {0.95, 0.08}, {0.95, 0.3}, {0.72, 0.32}});
        break;
    case Motif::Folder:
        P.round(R::Accent, 0.06, 0.12, 0.45, 0.4, 0.04);
        P.round(R::Accent, 0.06, 0.22, 0.94, 0.88, 0.04);
        P.poly(R::Main, {{0.06, 0.4}, {0.94, 0.4}, {0.94, 0.88}, {0.06, 0.88}});
        break;
    case Motif::Document:
        P.poly(R::Light, {{0.18, 0.05}, {0.64, 0.05}, {0.84, 0.25}, {0.84, 0.95}, {0.18, 0.95}});
        P.poly(R::Main, {{0.64, 0.05}, {0.64, 0.25}, {0.84, 0.25}});
        P.line(R::Ink, 0.3, 0.42, 0.72, 0.42, 0.05);
        P.line(R::Ink, 0.3, 0.58, 0.72, 0.58, 0.05);
        P.line(R::Ink, 0.3, 0.74, 0.6, 0.74, 0.05);
        break;
    case Motif::Globe:
        P.circle(R::Main, 0.5, 0.5, 0.44);
        P.poly(R::Accent, {{0.25, 0.22}, {0.48, 0.18}, {0.5, 0.4}, {0.36, 0.56}, {0.26, 0.46}});
        P.poly(R::Accent, {{0.56, 0.5}, {0.78, 0.46}, {0.8, 0.7}, {0.62, 0.84}});
        break;
    case Motif::Lock:
    case Motif::Unlock:
        if (m == Motif::Lock)
            P.add(R::Accent).ring(P.box().X(0.5), P.box().Y(0.38), P.box().S(0.28), P.box().S(0.16));
        else
            P.add(R::Accent).ring(P.box().X(0.72), P.box().Y(0.32), P.box().S(0.24), P.box().S(0.13));
        P.round(R::Main, 0.14, 0.42, 0.86, 0.94, 0.06);
        P.circle(R::Ink, 0.5, 0.62, 0.08);
        P.line(R::Ink, 0.5, 0.62, 0.5, 0.8, 0.07);
        break;
    case Motif::Key:
        P.add(R::Main).ring(P.box().X(0.28), P.box().Y(0.5), P.box().S(0.24), P.box().S(0.1));
        P.line(R::Main, 0.45, 0.5, 0.95, 0.5, 0.13);
        P.line(R::Main, 0.78, 0.5, 0.78, 0.72, 0.1);
        P.line(R::Main, 0.92, 0.5, 0.92, 0.68, 0.1);
        break;
    case Motif::Bell:
        P.poly(R::Main, {{0.5, 0.1}, {0.72, 0.22}, {0.78, 0.62}, {0.92, 0.78}, {0.08, 0.78}, {0.22, 0.62},
                         {0.28, 0.22}});
        P.circle(R::Accent, 0.5, 0.86, 0.1);
        P.circle(R::Light, 0.4, 0.36, 0.06);
        break;
    case Motif::Battery:
        P.round(R::Light, 0.06, 0.25, 0.86, 0.75, 0.05);
        P.rect(R::Ink, 0.86, 0.38, 0.96, 0.62);
        P.rect(R::Main, 0.14, 0.33, 0.34, 0.67);
        P.rect(R::Main, 0.38, 0.33, 0.58, 0.67);
        P.rect(R::Main, 0.62, 0.33, 0.78, 0.67);
        break;
    case Motif::SignalBars:
        for (int i = 0; i < 4; ++i) {
            const double u0 = 0.08 + i * 0.23;
            P.rect(i < 3 ? R::Main : R::Light, u0, 0.7 - i * 0.2, u0 + 0.16, 0.92);
        }
        break;
    case Motif::Check:
        P.poly(R::Main, {{0.08, 0.52}, {0.24, 0.38}, {0.42, 0.56}, {0.78, 0.12}, {0.94, 0.26}, {0.42, 0.86}});
        break;
    case Motif::Cross:
        P.line(R::Main, 0.18, 0.18, 0.82, 0.82, 0.2);
        P.line(R::Main, 0.82, 0.18, 0.18, 0.82, 0.2);
        break;
    case Motif::Question:
        // A ring open at its lower left, then the stem.
        P.add(R::Main)
            .ring(P.box().X(0.5), P.box().Y(0.32), P.box().S(0.27), P.box().S(0.13))
            .rect(0, P.box().Y(0.34), P.box().X(0.5), 1000, false);
        P.line(R::Main, 0.58, 0.52, 0.5, 0.6, 0.14);
        P.line(R::Main, 0.5, 0.6, 0.5, 0.68, 0.14);
        P.circle(R::Main, 0.5, 0.86, 0.08);
        break;
    case Motif::Exclamation:
        P.poly(R::Main, {{0.38, 0.06}, {0.62, 0.06}, {0.56, 0.66}, {0.44, 0.66}});
        P.circle(R::Main, 0.5, 0.84, 0.1);
        break;
    case Motif::Info:
        P.circle(R::Main, 0.5, 0.16, 0.1);
        P.rect(R::Main, 0.4, 0.34, 0.6, 0.86);
        P.rect(R::Main, 0.3, 0.34, 0.6, 0.44);
        P.rect(R::Main, 0.3, 0.8, 0.7, 0.9);
        break;
    case Motif::ArrowRight:
        P.poly(R::Main, {{0.08, 0.36}, {0.5, 0.36}, {0.5, 0.12}, {0.94, 0.5}, {0.5, 0.88}, {0.5, 0.64}, {0.08, 0.64}});
        break;
    case Motif::ArrowLeft:
        P.poly(R::Main, {{0.92, 0.36}, {0.5, 0.36}, {0.5, 0.12}, {0.06, 0.5}, {0.5, 0.88}, {0.5, 0.64}, {0.92, 0.64}});
        break;
    case Motif::ArrowUp:
        P.poly(R::Main, {{0.36, 0.92}, {0.36, 0.5}, {0.12, 0.5}, {0.5, 0.06}, {0.88, 0.5}, {0.64, 0.5}, {0.64, 0.92}});
        break;
    case Motif::ArrowDown:
        P.poly(R::Main, {{0.36, 0.08}, {0.36, 0.5}, {0.12, 0.5}, {0.5, 0.94}, {0.88, 0.5}, {0.64, 0.5}, {0.64, 0.08}});
        break;
    case Motif::Plus:
        P.rect(R::Main, 0.38, 0.1, 0.62, 0.9);
        P.rect(R::Main, 0.1, 0.38, 0.9, 0.62);
        break;
    case Motif::Minus:
        P.rect(R::Main, 0.1, 0.38, 0.9, 0.62);
        break;
    case Motif::Magnifier:
        P.add(R::Main).ring(P.box().X(0.4), P.box().Y(0.4), P.box().S(0.32), P.box().S(0.2));
        P.circle(R::Light, 0.4, 0.4, 0.2);
        P.line(R::Accent, 0.64, 0.64, 0.9, 0.9, 0.16);
        break;
    case Motif::Trash:
        P.rect(R::Main, 0.2, 0.3, 0.8, 0.94);
        P.rect(R::Accent, 0.1, 0.16, 0.9, 0.28);
        P.rect(R::Accent, 0.38, 0.06, 0.62, 0.16);
        P.line(R::Ink, 0.4, 0.42, 0.4, 0.84, 0.05);
        P.line(R::Ink, 0.6, 0.42, 0.6, 0.84, 0.05);
        break;
    case Motif::Pencil:
        P.poly(R::Main, {{0.7, 0.08}, {0.92, 0.3}, {0.36, 0.86}, {0.14, 0.64}});
        P.poly(R::Light, {{0.14, 0.64}, {0.36, 0.86}, {0.06, 0.94}});
        P.poly(R::Accent, {{0.7, 0.08}, {0.92, 0.3}, {0.82, 0.4}, {0.6, 0.18}});
        break;
    case Motif::MemoryCard:
        P.poly(R::Main, {{0.2, 0.06}, {0.64, 0.06}, {0.82, 0.24}, {0.82, 0.94}, {0.2, 0.94}});
        for (int i = 0; i < 4; ++i)
            P.rect(R::Accent, 0.26 + i * 0.13, 0.12, 0.34 + i * 0.13, 0.3);
        P.rect(R::Light, 0.28, 0.52, 0.74, 0.84);
        break;
    case Motif::Speaker:
    case Motif::Mute:
        P.rect(R::Main, 0.06, 0.36, 0.26, 0.64);
        P.poly(R::Main, {{0.2, 0.36}, {0.5, 0.1}, {0.5, 0.9}, {0.2, 0.64}});
        if (m == Motif::Speaker) {
            P.add(R::Accent).ring(P.box().X(0.5), P.box().Y(0.5), P.box().S(0.3), P.box().S(0.22))
                .rect(0, 0, P.box().X(0.6), 1000, false);
            P.add(R::Accent).ring(P.box().X(0.5), P.box().Y(0.5), P.box().S(0.46), P.box().S(0.38))
                .rect(0, 0, P.box().X(0.64), 1000, false);
        } else {
            P.line(R::Accent, 0.62, 0.34, 0.92, 0.66, 0.1);
            P.line(R::Accent, 0.92, 0.34, 0.62, 0.66, 0.1);
        }
        break;
    case Motif::Picture:
        P.rect(R::Light, 0.06, 0.14, 0.94, 0.86);
        P.poly(R::Main, {{0.1, 0.82}, {0.38, 0.44}, {0.56, 0.66}, {0.68, 0.54}, {0.9, 0.82}});
        P.circle(R::Accent, 0.72, 0.32, 0.1);
        break;
    case Motif::Gamepad:
        P.round(R::Main, 0.04, 0.28, 0.96, 0.78, 0.22);
        P.rect(R::Ink, 0.16, 0.48, 0.38, 0.56);
        P.rect(R::Ink, 0.23, 0.41, 0.31, 0.63);
        P.circle(R::Accent, 0.68, 0.45, 0.07);
        P.circle(R::Accent, 0.8, 0.58, 0.07);
        break;
    case Motif::House:
        P.poly(R::Accent, {{0.5, 0.06}, {0.96, 0.48}, {0.04, 0.48}});
        P.rect(R::Main, 0.16, 0.48, 0.84, 0.94);
        P.rect(R::Ink, 0.42, 0.64, 0.58, 0.94);
        break;
    case Motif::Sun: {
        Shape& rays = P.add(R::Accent);
        const Box& b = P.box();
        const std::array<Pt, 8> dirs = {Pt{1, 0}, Pt{0.707, 0.707}, Pt{0, 1}, Pt{-0.707, 0.707},
                                        Pt{-1, 0}, Pt{-0.707, -0.707}, Pt{0, -1}, Pt{0.707, -0.707}};
        for (const Pt& d : dirs)
            rays.stroke(b.X(0.5 + d.x * 0.3), b.Y(0.5 + d.y * 0.3), b.X(0.5 + d.x * 0.46), b.Y(0.5 + d.y * 0.46),
                        P.sw(0.08));
        P.circle(R::Main, 0.5, 0.5, 0.24);
        break;
    }
    case Motif::Moon:
        P.circle(R::Main, 0.46, 0.5, 0.4)
            .ellipse(P.box().X(0.7), P.box().Y(0.36), P.box().S(0.32), P.box().S(0.32), false);
        break;
    case Motif::Chart:
        P.rect(R::Main, 0.12, 0.5, 0.3, 0.9);
        P.rect(R::Accent, 0.41, 0.2, 0.59, 0.9);
        P.rect(R::Main, 0.7, 0.38, 0.88, 0.9);
        break;
    case Motif::SimCard:
        P.poly(R::Main, {{0.14, 0.1}, {0.66, 0.1}, {0.86, 0.3}, {0.86, 0.9}, {0.14, 0.9}});
        P.round(R::Accent, 0.28, 0.42, 0.72, 0.78, 0.06);
        P.line(R::Ink, 0.5, 0.44, 0.5, 0.76, 0.04);
        break;
    case Motif::Bluetooth:
        P.line(R::Main, 0.46, 0.06, 0.46, 0.94, 0.1);
        P.line(R::Main, 0.46, 0.06, 0.74, 0.3, 0.1);
        P.line(R::Main, 0.74, 0.3, 0.24, 0.72, 0.1);
        P.line(R::Main, 0.46, 0.94, 0.74, 0.7, 0.1);
        P.line(R::Main, 0.74, 0.7, 0.24, 0.28, 0.1);
        break;
    case Motif::Infrared:
        P.circle(R::Main, 0.2, 0.5, 0.14);
        for (int i = 0; i < 3; ++i) {
            const double r = 0.3 + i * 0.2;
            P.add(R::Accent)
                .ring(P.box().X(0.2), P.box().Y(0.5), P.box().S(r), P.box().S(r - 0.08))
                .rect(0, 0, P.box().X(0.3), 1000, false);
        }
        break;
    case Motif::Bulb:
        P.circle(R::Accent, 0.5, 0.38, 0.32);
        P.rect(R::Main, 0.36, 0.64, 0.64, 0.9);
        P.line(R::Ink, 0.36, 0.74, 0.64, 0.74, 0.05);
        P.circle(R::Light, 0.4, 0.3, 0.08);
        break;
    case Motif::Calculator:
        P.round(R::Main, 0.16, 0.04, 0.84, 0.96, 0.06);
        P.rect(R::Light, 0.26, 0.12, 0.74, 0.32);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                P.rect(r == 2 && c == 2 ? R::Accent : R::Light, 0.26 + c * 0.17, 0.42 + r * 0.17, 0.37 + c * 0.17,
                       0.53 + r * 0.17);
        break;
    case Motif::Dice:
        P.round(R::Light, 0.1, 0.1, 0.9, 0.9, 0.14);
        P.circle(R::Ink, 0.3, 0.3, 0.07);
        P.circle(R::Ink, 0.5, 0.5, 0.07);
        P.circle(R::Ink, 0.7, 0.7, 0.07);
        break;
    case Motif::Card:
        P.round(R::Light, 0.2, 0.06, 0.8, 0.94, 0.08);
        P.circle(R::Accent, 0.41, 0.44, 0.1);
        P.circle(R::Accent, 0.59, 0.44, 0.1);
        P.poly(R::Accent, {{0.3, 0.5}, {0.7, 0.5}, {0.5, 0.74}});
        break;
    case Motif::Flag:
        P.line(R::Ink, 0.16, 0.06, 0.16, 0.96, 0.08);
        P.poly(R::Main, {{0.2, 0.08}, {0.9, 0.2}, {0.56, 0.36}, {0.9, 0.52}, {0.2, 0.56}});
        break;
    case Motif::Headset:
        P.add(R::Main).ring(P.box().X(0.5), P.box().Y(0.52), P.box().S(0.4), P.box().S(0.3))
            .rect(0, P.box().Y(0.56), 1000, 1000, false);
        P.round(R::Accent, 0.06, 0.46, 0.26, 0.8, 0.06);
        P.round(R::Accent, 0.74, 0.46, 0.94, 0.8, 0.06);
        break;
    case Motif::Cable:
        P.line(R::Main, 0.1, 0.9, 0.5, 0.5, 0.1);
        P.round(R::Accent, 0.44, 0.2, 0.8, 0.56, 0.06);
        P.line(R::Ink, 0.6, 0.22, 0.72, 0.08, 0.08);
        P.line(R::Ink, 0.76, 0.36, 0.9, 0.24, 0.08);
        break;
    case Motif::Cloud:
        P.circle(R::Light, 0.34, 0.56, 0.2);
        P.circle(R::Light, 0.56, 0.44, 0.26);
        P.circle(R::Light, 0.76, 0.6, 0.17);
        P.rect(R::Light, 0.2, 0.6, 0.8, 0.77);
        break;
    case Motif::Hourglass:
        P.rect(R::Main, 0.16, 0.04, 0.84, 0.14);
        P.rect(R::Main, 0.16, 0.86, 0.84, 0.96);
        P.poly(R::Light, {{0.24, 0.14}, {0.76, 0.14}, {0.54, 0.5}, {0.76, 0.86}, {0.24, 0.86}, {0.46, 0.5}});
        P.poly(R::Accent, {{0.34, 0.86}, {0.66, 0.86}, {0.5, 0.66}});
        break;
    case Motif::Dots:
        P.circle(R::Main, 0.18, 0.5, 0.12);
        P.circle(R::Main, 0.5, 0.5, 0.12);
        P.circle(R::Main, 0.82, 0.5, 0.12);
        break;
    case Motif::Box:
        P.poly(R::Light, {{0.5, 0.08}, {0.92, 0.26}, {0.5, 0.44}, {0.08, 0.26}});
        P.poly(R::Main, {{0.08, 0.26}, {0.5, 0.44}, {0.5, 0.94}, {0.08, 0.76}});
        P.poly(R::Accent, {{0.92, 0.26}, {0.5, 0.44}, {0.5, 0.94}, {0.92, 0.76}});
        break;
    case Motif::Network:
        P.line(R::Ink, 0.5, 0.3, 0.2, 0.76, 0.06);
        P.line(R::Ink, 0.5, 0.3, 0.8, 0.76, 0.06);
        P.line(R::Ink, 0.2, 0.76, 0.8, 0.76, 0.06);
        P.circle(R::Main, 0.5, 0.26, 0.16);
        P.circle(R::Accent, 0.2, 0.76, 0.14);
        P.circle(R::Accent, 0.8, 0.76, 0.14);
        break;
    }
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
