#include "workspace/history_step.h"

#include "platform/fileops.h"

#include <QSet>

#include <algorithm>

namespace kastra {

// A step file, little-endian:
//   "KTHS", version (u8) = 1
//   flags before, flags after: scheme (u16, UTF-16 unit), bits (u8: 1 strip
//   edited, 2 strip bottom, 4 font loaded, 8 scheme chosen)
//   change count (u32)
//   per change: path length (u16), path (UTF-8, relative, '/'), then the
//   state before and the state after: present (u8 0 or 1), and when present
//   length (u32) and the bytes
//   FNV-1a 64 of everything before it (u64 as two u32, low first)
// The history writes and reads its own files only, but a step file is still
// read as untrusted: a disk error or another program may have damaged it, and
// the paths in it decide which files an undo writes.
namespace {

constexpr char kMagic[] = {'K', 'T', 'H', 'S'};
constexpr std::uint8_t kVersion = 1;
// Far more than a workspace holds (544 slots, the root's banners and the
// package folder), yet an outside program may drop any number of pictures
// into the root; each change takes at least 4 bytes of the file, which the
// reader checks against what remains anyway.
constexpr std::uint32_t kMaxChanges = 1u << 20;
constexpr std::uint16_t kMaxPathBytes = 512;

std::uint64_t fnv1a(ByteSpan bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::uint8_t flagBits(const HistoryFlags& f)
{
    return static_cast<std::uint8_t>((f.stripEdited ? 1 : 0) | (f.stripBottom ? 2 : 0) | (f.fontLoaded ? 4 : 0)
                                     | (f.schemeChosen ? 8 : 0));
}

void writeFlags(ByteWriter& w, const HistoryFlags& f)
{
    w.u16(f.scheme.unicode());
    w.u8(flagBits(f));
}

bool readFlags(ByteReader& r, HistoryFlags& f)
{
    std::uint16_t scheme = 0;
    std::uint8_t bits = 0;
    // The scheme names the banner files the window opens next.
    if (!r.u16(scheme) || !r.u8(bits) || bits > 15 || scheme < u'1' || scheme > u'4')
        return false;
    f.scheme = QChar(scheme);
    f.stripEdited = (bits & 1) != 0;
    f.stripBottom = (bits & 2) != 0;
    f.fontLoaded = (bits & 4) != 0;
    f.schemeChosen = (bits & 8) != 0;
    return true;
}

void writeState(ByteWriter& w, const std::optional<QByteArray>& state)
{
    w.u8(state ? 1 : 0);
    if (state) {
        w.u32(static_cast<std::uint32_t>(state->size()));
        w.bytes(byteSpan(*state));
    }
}

bool readState(ByteReader& r, std::optional<QByteArray>& state, qint64 maxBytes)
{
    std::uint8_t present = 0;
    if (!r.u8(present) || present > 1)
        return false;
    if (present == 0) {
        state.reset();
        return true;
    }
    std::uint32_t length = 0;
    ByteSpan bytes;
    if (!r.u32(length) || length > maxBytes || !r.bytes(length, bytes))
        return false;
    state = toByteArray(bytes);
    return true;
}

} // namespace

Bytes encodeStep(const StepContents& step)
{
    Bytes out;
    ByteWriter w(out);
    for (char c : kMagic)
        w.u8(static_cast<std::uint8_t>(c));
    w.u8(kVersion);
    writeFlags(w, step.before);
    writeFlags(w, step.after);
    w.u32(static_cast<std::uint32_t>(step.changes.size()));
    for (const StepChange& c : step.changes) {
        const QByteArray path = c.relative.toUtf8();
        w.u16(static_cast<std::uint16_t>(path.size()));
        w.bytes(byteSpan(path));
        writeState(w, c.before);
        writeState(w, c.after);
    }
    const std::uint64_t sum = fnv1a(out);
    w.u32(static_cast<std::uint32_t>(sum));
    w.u32(static_cast<std::uint32_t>(sum >> 32));
    return out;
}

std::optional<StepContents> decodeStep(ByteSpan file, const std::function<bool(const QString&)>& mayName)
{
    if (file.size() < 8)
        return std::nullopt;
    const ByteSpan body = file.first(file.size() - 8);
    const std::uint64_t sum = le32(file.data() + body.size())
        | (static_cast<std::uint64_t>(le32(file.data() + body.size() + 4)) << 32);
    ByteReader r(body);
    ByteSpan magic;
    std::uint8_t version = 0;
    std::uint32_t count = 0;
    StepContents step;
    if (sum != fnv1a(body) || !r.bytes(4, magic) || !std::equal(magic.begin(), magic.end(), kMagic) || !r.u8(version)
        || version != kVersion || !readFlags(r, step.before) || !readFlags(r, step.after) || !r.u32(count)
        || count > kMaxChanges)
        return std::nullopt;
    QSet<QString> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint16_t length = 0;
        ByteSpan path;
        StepChange c;
        if (!r.u16(length) || length > kMaxPathBytes || !r.bytes(length, path))
            return std::nullopt;
        c.relative = QString::fromUtf8(reinterpret_cast<const char*>(path.data()), length);
        // The history writes its names in UTF-8; bytes that are not would
        // name another file than they say.
        if (c.relative.toUtf8() != toByteArray(path))
            return std::nullopt;
        // No state larger than the history tracks for that name.
        const qint64 maxBytes = History::maxBytesOf(c.relative);
        if (!readState(r, c.before, maxBytes) || !readState(r, c.after, maxBytes))
            return std::nullopt;
        // Only a file the history tracks may be written: never a path that
        // leads out of the workspace; and each file once.
        if (!mayName(c.relative) || c.relative.contains(QStringLiteral("..")) || seen.contains(c.relative))
            return std::nullopt;
        seen.insert(c.relative);
        step.changes.push_back(std::move(c));
    }
    if (r.remaining() != 0)
        return std::nullopt;
    return step;
}

} // namespace kastra
