#include "mkdefaults/art.h"
#include "mkdefaults/motifs.h"
#include "mkdefaults/pixelfont.h"

#include <string_view>

namespace kastra::art {

namespace {

int textWidth(std::u16string_view s, int scale)
{
    return PixelFont::standard().textWidth(s) * scale;
}

// The dark band the status picture and the signal picture sit on: the top
// 12 rows of the banner and of the boot screen.
void drawTopBand(Picture& p)
{
    p.fillRect(0, 0, p.width(), 11, Paint::vertical(rgb(0x12, 0x1E, 0x3C), rgb(0x24, 0x3A, 0x66), 0, 11));
    p.hline(0, p.width() - 1, 11, rgb(0x66, 0x88, 0xBB));
}

} // namespace

Picture splashTop()
{
    Picture p(176, 12, 0);
    drawTopBand(p);
    const std::u16string_view title = u"HALVORN KASTRA";
    const int w = textWidth(title, 1);
    const int x = (176 - w) / 2;
    p.text(x, 1, title, rgb(0xC8, 0xD8, 0xF0));
    const Colour rule = rgb(0x55, 0x77, 0xAA);
    p.hline(8, x - 8, 5, rule);
    p.hline(x + w + 7, 167, 5, rule);
    return p;
}

Picture noImageBanner()
{
    Picture p(176, 68, 0);
    // Evening sky over two hills: a picture waiting to be replaced.
    p.fillRect(0, 12, 176, 56, Paint::vertical(rgb(0x2A, 0x4E, 0x8C), rgb(0x7A, 0xB0, 0xDC), 12, 68));
    Shape farHill = p.shape();
    farHill.ellipse(40, 96, 90, 42);
    p.paint(farHill, Paint::vertical(rgb(0x3C, 0x7A, 0x8C), rgb(0x2A, 0x5A, 0x6A), 54, 68));
    Shape nearHill = p.shape();
    nearHill.ellipse(150, 100, 80, 40);
    p.paint(nearHill, Paint::vertical(rgb(0x2E, 0x66, 0x5A), rgb(0x1E, 0x44, 0x3C), 60, 68));
    drawTopBand(p);

    // A picture frame with a landscape in it.
    Shape frame = p.shape();
    frame.roundRect(10, 18, 50, 58, 3);
    p.paint(frame, Paint::vertical(rgb(0xF4, 0xF0, 0xE4), rgb(0xCC, 0xC4, 0xB0), 18, 58), rgb(0x10, 0x20, 0x40));
    drawMotif(p, Motif::Picture, {14, 22, 32, 32},
              {rgb(0x22, 0x33, 0x44), rgb(0x44, 0x99, 0x55), rgb(0xFF, 0xCC, 0x33), rgb(0xAA, 0xDD, 0xF4)});

    const Colour text = rgb(0xF4, 0xF8, 0xFF);
    const Colour shadow = rgb(0x10, 0x22, 0x48);
    const std::u16string_view line1 = u"Загрузите";
    const std::u16string_view line2 = u"картинку";
    const std::u16string_view hint = u"JPEG или BMP";
    const int areaLeft = 56;
    const int areaWidth = 176 - areaLeft - 2;
    p.outlinedText(areaLeft + (areaWidth - textWidth(line1, 2)) / 2, 14, line1, text, shadow, 2);
    p.outlinedText(areaLeft + (areaWidth - textWidth(line2, 2)) / 2, 33, line2, text, shadow, 2);
    p.outlinedText(areaLeft + (areaWidth - textWidth(hint, 1)) / 2, 55, hint, rgb(0xDD, 0xEE, 0xFF), shadow, 1);
    return p;
}

Picture aboutPicture()
{
    Picture p(143, 101, 0);
    p.fillRect(0, 0, 143, 101, Paint::vertical(rgb(0x26, 0x3C, 0x70), rgb(0x0E, 0x16, 0x30), 0, 101));
    // Soft rays behind the handset.
    for (int i = 0; i < 5; ++i) {
        Shape ray = p.shape();
        const Pt pts[] = {{30, 50}, {-10.0 + i * 22, -4}, {2.0 + i * 22, -4}};
        ray.polygon(pts);
        p.paint(ray, Paint::solid(mix(rgb(0x26, 0x3C, 0x70), rgb(0x44, 0x66, 0xAA), 1, 2)));
    }

    // The handset: body, screen with a tiny desktop, keys.
    Shape body = p.shape();
    body.roundRect(12, 10, 48, 92, 6);
    p.paint(body, Paint::horizontal(rgb(0x88, 0x99, 0xAA), rgb(0x44, 0x50, 0x60), 12, 48), rgb(0x08, 0x0C, 0x18));
    p.fillRect(17, 18, 26, 30, Paint::vertical(rgb(0x2A, 0x4E, 0x8C), rgb(0x7A, 0xB0, 0xDC), 18, 48));
    p.fillRect(17, 18, 26, 4, Paint::solid(rgb(0x12, 0x1E, 0x3C)));
    p.frame(16, 17, 28, 32, rgb(0x10, 0x14, 0x20));
    p.fillRect(17, 44, 26, 4, Paint::solid(rgb(0xAC, 0xA2, 0xBF)));
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            Shape key = p.shape();
            key.roundRect(19 + c * 8, 56 + r * 8, 25 + c * 8, 61 + r * 8, 1.5);
            p.paint(key, Paint::solid(rgb(0xCC, 0xD4, 0xDD)), rgb(0x22, 0x2A, 0x38));
        }

    const Colour text = rgb(0xF0, 0xF4, 0xFF);
    const Colour shade = rgb(0x08, 0x10, 0x28);
    // The text column starts right of the handset; every line fits the
    // 143-pixel width.
    const int left = 56;
    p.outlinedText(left, 12, u"Kastra", text, shade, 2);
    p.text(left, 36, u"Тема", rgb(0xCC, 0xDD, 0xF4));
    p.text(left, 47, u"оформления", rgb(0xCC, 0xDD, 0xF4));
    p.text(left, 58, u"стандартная", rgb(0xCC, 0xDD, 0xF4));
    p.hline(left, 136, 72, rgb(0x55, 0x77, 0xAA));
    p.text(left, 76, u"Series 60", rgb(0x99, 0xAA, 0xCC));
    p.text(left, 87, u"176x220", rgb(0x99, 0xAA, 0xCC));
    return p;
}

} // namespace kastra::art
