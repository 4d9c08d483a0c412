#pragma once
// The handset view: every slot picture as the handset shows it. A picture is
// packed at the depth its theme file stores it with, read back through our
// own MBM code (so a 12-bit icon loses what bmconv drops and a 4-bit signal
// picture takes the fixed palette), then brought to the screen's colours by
// truncation, as the screen does; nothing is dithered. The window's painters
// and `kastra-theme preview --as-handset` both read their pictures through
// SlotPictures, so the two show the same pixels.

#include "mbm/mbm.h"
#include "picture/bitmap.h"
#include "workspace/workspace.h"
#include "picture/screen_colours.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace kastra {

// The picture stored at mode and read back, at 24 bits. Empty when the
// picture is empty or too large for an MBM bitmap.
Bitmap AsPacked(const Bitmap& picture, mbm::Mode mode);

// The picture as the handset shows it: packed at mode (nothing: kept as it
// is, for a slot no theme file holds), then reduced to the screen's colours.
Bitmap AsHandset(const Bitmap& picture, std::optional<mbm::Mode> mode, ScreenColours screen);

// Where the painters get their pictures. Off (the default) it reads each
// slot file as it is, exactly as before the handset view existed. On, it
// gives each slot as AsHandset() makes it, and keeps that per file: the
// reduction is made again only once the file was reported changed
// (forget()), or its size or modification time differ from what was read.
class SlotPictures {
public:
    SlotPictures() = default;

    bool handset() const { return m_handset; }
    void setHandset(bool on);
    ScreenColours screenColours() const { return m_screen; }
    // A change drops every kept reduction.
    void setScreenColours(ScreenColours screen);

    // The slot's picture (read through the workspace), for drawing. Missing
    // or unreadable files give an empty picture.
    Bitmap read(const Workspace& ws, const QString& slot) const;
    // A picture a painter made of the slot (a cut of it, a mask derived from
    // it) as the view shows it; not kept.
    Bitmap shown(const Bitmap& picture, const QString& slot) const;

    // In the handset view, every pixel of a surface the handset's screen
    // shows whole (the desktop: its bar, captions and lines too) brought to
    // the screen's colours; nothing otherwise.
    void toScreen(Canvas& surface) const;

    // These files changed: their kept reductions go.
    void forget(const QStringList& paths);
    void forgetAll();

private:
    struct Kept {
        Bitmap picture;
        std::int64_t size = -1;
        std::int64_t mtimeNs = 0;
    };
    bool m_handset = false;
    ScreenColours m_screen = ScreenColours::Colours4096;
    mutable QHash<QString, Kept> m_kept;
};

// Writes a picture a painter derives at every repaint (a mask, the desktop
// top strip) unless the file already holds exactly its bytes: an unchanged
// slot is neither rewritten nor flushed to disk again. Returns whether the
// file was written.
bool WriteDerivedSlot(const Workspace& ws, const Bitmap& picture, const QString& slot);

// The reader of the normal view, for painters called without one.
const SlotPictures& PlainPictures();

} // namespace kastra
