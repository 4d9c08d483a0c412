#include "preview/handset_view.h"

#include "base/safe_file.h"
#include "platform/fileops.h"
#include "workspace/slot_depth.h"

#include <QDir>

#include <chrono>
#include <filesystem>
#include <vector>

namespace kastra {

namespace {

struct FileStamp {
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
};

std::optional<FileStamp> stampOf(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    const auto time = std::filesystem::last_write_time(path, ec);
    if (ec)
        return std::nullopt;
    return FileStamp{static_cast<std::int64_t>(size),
                     std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count()};
}

} // namespace

Bitmap AsPacked(const Bitmap& picture, mbm::Mode mode)
{
    if (picture.empty())
        return {};
    std::vector<mbm::Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height()));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Colour c = picture.getPixel(x, y);
            pixels.push_back({static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                              static_cast<std::uint8_t>(blueOf(c))});
        }
    const auto made = mbm::makeBitmap(mode, picture.width(), picture.height(), pixels, 0, 0);
    if (!made)
        return {};
    // Stored as bmconv stores it (compressed) and read back as the handset
    // reads it, so what the view shows went through both halves of the code.
    const Bytes stored = mbm::encodeBitmap(*made, mbm::Store::Compressed);
    const auto back = mbm::readBitmap(ByteSpan(stored.data(), stored.size()), 0);
    if (!back)
        return {};
    Bitmap out = Bitmap::create(picture.width(), picture.height(), 24);
    for (int y = 0; y < out.height(); ++y)
        back->rowToBgr(y, out.rowPtr(y));
    return out;
}

Bitmap AsHandset(const Bitmap& picture, std::optional<mbm::Mode> mode, ScreenColours screen)
{
    Bitmap out = mode ? AsPacked(picture, *mode) : Bitmap();
    // A picture no MBM bitmap can hold is refused when the theme is packed;
    // until then it shows on the screen's colours as it is.
    if (out.empty())
        out = picture;
    reduceToScreen(out, screen);
    return out;
}

void SlotPictures::setHandset(bool on)
{
    m_handset = on;
}

void SlotPictures::setScreenColours(ScreenColours screen)
{
    if (screen != m_screen)
        m_kept.clear();
    m_screen = screen;
}

Bitmap SlotPictures::read(const Workspace& ws, const QString& slot) const
{
    if (!m_handset)
        return ws.picture(slot);
    const QString path = ws.path(slot);
    const std::optional<FileStamp> stamp = stampOf(fsPath(path));
    if (!stamp) {
        m_kept.remove(path);
        return {};
    }
    const auto it = m_kept.constFind(path);
    if (it != m_kept.cend() && it->size == stamp->size && it->mtimeNs == stamp->mtimeNs)
        return it->picture;
    Kept kept{shown(ws.picture(slot), slot), stamp->size, stamp->mtimeNs};
    m_kept.insert(path, kept);
    return kept.picture;
}

Bitmap SlotPictures::shown(const Bitmap& picture, const QString& slot) const
{
    if (!m_handset || picture.empty())
        return picture;
    return AsHandset(picture, PackedMode(slot), m_screen);
}

void SlotPictures::toScreen(Canvas& surface) const
{
    if (!m_handset)
        return;
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            surface.setPixel(x, y, screenColour(surface.pixel(x, y), m_screen));
}

void SlotPictures::forget(const QStringList& paths)
{
    for (const QString& p : paths) {
        m_kept.remove(p);
        m_kept.remove(QDir::cleanPath(p));
    }
}

void SlotPictures::forgetAll()
{
    m_kept.clear();
}

bool WriteDerivedSlot(const Workspace& ws, const Bitmap& picture, const QString& slot)
{
    if (picture.empty())
        return false;
    const Bytes bytes = picture.encodeBmp();
    if (ws.holds(slot, bytes))
        return false;
    return ws.write(slot, bytes).ok();
}

const SlotPictures& PlainPictures()
{
    static const SlotPictures plain;
    return plain;
}

} // namespace kastra
