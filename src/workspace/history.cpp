#include "workspace/history.h"

#include "base/bytes.h"
#include "base/fileio.h"
#include "base/safe_file.h"
#include "platform/fileops.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace kastra {

namespace fs = std::filesystem;

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
struct History::Change {
    QString relative;
    std::optional<QByteArray> before;
    std::optional<QByteArray> after;
};

namespace {

constexpr char kMagic[] = {'K', 'T', 'H', 'S'};
constexpr std::uint8_t kVersion = 1;
// Far more than a workspace holds (544 slots, the root's banners and the
// package folder), yet an outside program may drop any number of pictures
// into the root; each change takes at least 4 bytes of the file, which the
// reader checks against what remains anyway.
constexpr std::uint32_t kMaxChanges = 1u << 20;
constexpr std::uint16_t kMaxPathBytes = 512;

const QString kSlotFolders[] = {QStringLiteral("Avkon"), QStringLiteral("Signal"), QStringLiteral("Menu")};
const QString kPackageFolder = QStringLiteral("SIS");

std::uint64_t fnv1a(ByteSpan bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ULL;
    }
    return h;
}

ByteSpan spanOf(const QByteArray& a)
{
    return ByteSpan(reinterpret_cast<const std::uint8_t*>(a.constData()), static_cast<std::size_t>(a.size()));
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
        w.bytes(spanOf(*state));
    }
}

bool readState(ByteReader& r, std::optional<QByteArray>& state)
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
    if (!r.u32(length) || length > History::MaxTrackedFileBytes || !r.bytes(length, bytes))
        return false;
    state = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return true;
}

// A file as it is on disk: its bytes, absent, or unknown (not a plain file,
// unreadable or too large: then it is left as the history last knew it).
struct OnDisk {
    enum Kind { Absent, Present, Unknown } kind = Unknown;
    QByteArray bytes;
};

OnDisk readOnDisk(const QString& path)
{
    std::error_code ec;
    const fs::path p = fsPath(path);
    const fs::file_status st = fs::symlink_status(p, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        return {};
    if (!fs::exists(st))
        return {OnDisk::Absent, {}};
    if (!fs::is_regular_file(st))
        return {};
    auto bytes = readFile(p, History::MaxTrackedFileBytes);
    if (!bytes)
        return {};
    return {OnDisk::Present,
            QByteArray(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()))};
}

std::optional<QByteArray> stateOf(const OnDisk& d)
{
    return d.kind == OnDisk::Present ? std::optional<QByteArray>(d.bytes) : std::nullopt;
}

QString utf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// One file to bring to a state: bytes, or absent.
struct Target {
    fs::path path;
    std::optional<QByteArray> bytes;
};

// Brings every target to its state or leaves every one as it was: each new
// file is written beside its target first, each existing one kept aside
// under a second name (or a copy), and only then are the new files renamed
// into place and the deleted ones removed. A failure on the way puts back
// what was already done.
Result<void> applyTogether(const std::vector<Target>& targets)
{
    std::vector<bool> existed;
    for (const Target& t : targets) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(t.path, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            return fail(t.path.string() + ": cannot examine the file");
        if (fs::exists(st) && !fs::is_regular_file(st))
            return fail(t.path.string() + (fs::is_directory(st) ? ": a folder is in the way" : ": not a plain file"));
        existed.push_back(fs::exists(st));
    }

    std::vector<std::optional<TempFile>> fresh(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i].bytes)
            continue;
        auto temp = TempFile::beside(targets[i].path);
        if (!temp)
            return fail(temp.error());
        if (auto w = temp->write(spanOf(*targets[i].bytes)); !w)
            return w;
        if (auto c = temp->close(); !c)
            return c;
        fresh[i].emplace(std::move(*temp));
    }

    std::vector<std::optional<TempFile>> aside(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!existed[i])
            continue;
        if (auto named = TempFile::secondNameOf(targets[i].path)) {
            aside[i].emplace(std::move(*named));
            continue;
        }
        auto old = openRegularFile(targets[i].path);
        if (!old)
            return fail(old.error());
        auto keep = TempFile::beside(targets[i].path);
        if (!keep)
            return fail(keep.error());
        if (auto c = keep->copyFrom(old->fd()); !c)
            return c;
        if (auto c = keep->close(); !c)
            return c;
        aside[i].emplace(std::move(*keep));
    }

    for (std::size_t i = 0; i < targets.size(); ++i) {
        // Workspace files are working copies rebuilt at every start: no
        // write-out is forced (see Durability).
        Result<void> done = fresh[i] ? fresh[i]->replace(targets[i].path, Durability::WhileRunning)
                                     : removeName(targets[i].path);
        if (done)
            continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (aside[j])
                (void)aside[j]->replace(targets[j].path, Durability::WhileRunning);
            else
                (void)removeName(targets[j].path);
        }
        return done;
    }
    return {};
}

} // namespace

History::History(QString root, qint64 limitBytes)
    : m_root(std::move(root)), m_folder(m_root + QLatin1String(FolderName) + u'/'), m_limit(limitBytes)
{
}

bool History::tracked(const QString& relative) const
{
    const QStringList parts = relative.split(u'/');
    if (parts.size() > 2 || parts.last().isEmpty() || parts.last().startsWith(u'.') || parts.last().contains(u'\\'))
        return false;
    const bool bmp = parts.last().endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive);
    if (parts.size() == 1)
        return bmp;
    if (parts.first() == kPackageFolder)
        return true;
    return bmp && std::find(std::begin(kSlotFolders), std::end(kSlotFolders), parts.first()) != std::end(kSlotFolders);
}

QString History::relativeOf(const QString& fullPath) const
{
    if (!fullPath.startsWith(m_root))
        return {};
    // Windows paths come with backslashes; the history's names have '/'.
    const QString relative = QDir::fromNativeSeparators(fullPath.mid(m_root.size()));
    return tracked(relative) ? relative : QString();
}

QStringList History::trackedOnDisk() const
{
    QStringList out;
    const auto scan = [&](const QString& folder) {
        std::error_code ec;
        for (fs::directory_iterator it(fsPath(m_root + folder), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code sec;
            if (!fs::is_regular_file(it->symlink_status(sec)))
                continue;
            const QString name = QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()));
            const QString relative = folder.isEmpty() ? name : folder + u'/' + name;
            if (tracked(relative))
                out.push_back(relative);
        }
    };
    scan(QString());
    for (const QString& folder : kSlotFolders)
        scan(folder);
    scan(kPackageFolder);
    return out;
}

QString History::stepFilePath(int i) const
{
    if (i < 0 || i >= stepCount())
        return {};
    return m_folder + m_steps[static_cast<std::size_t>(i)].name;
}

void History::start()
{
    clearSteps();
    // A link planted under the folder's name goes as a name; left-overs of a
    // run that did not reach its close go with the folder.
    ClearFolder(m_folder);
    m_baseline.clear();
    for (const QString& relative : trackedOnDisk()) {
        const OnDisk d = readOnDisk(m_root + relative);
        if (d.kind == OnDisk::Present)
            m_baseline.insert(relative, d.bytes);
    }
    m_error.clear();
}

void History::absorb(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString relative = relativeOf(path);
        if (relative.isEmpty())
            continue;
        const OnDisk d = readOnDisk(path);
        if (d.kind == OnDisk::Present)
            m_baseline.insert(relative, d.bytes);
        else if (d.kind == OnDisk::Absent)
            m_baseline.remove(relative);
    }
}

void History::absorbAll()
{
    QStringList paths;
    for (const QString& relative : trackedOnDisk())
        paths.push_back(m_root + relative);
    // Those gone since are taken as gone.
    for (auto it = m_baseline.cbegin(); it != m_baseline.cend(); ++it)
        paths.push_back(m_root + it.key());
    absorb(paths);
}

bool History::record(const QStringList& paths, const HistoryFlags& before, const HistoryFlags& after)
{
    QStringList relative;
    for (const QString& path : paths) {
        const QString r = relativeOf(path);
        if (!r.isEmpty())
            relative.push_back(r);
    }
    return recordRelative(relative, before, after);
}

bool History::recordOutside(const HistoryFlags& flags)
{
    QStringList relative = m_baseline.keys();
    relative += trackedOnDisk();
    return recordRelative(relative, flags, flags);
}

bool History::recordRelative(const QStringList& relative, const HistoryFlags& before, const HistoryFlags& after)
{
    m_error.clear();
    std::vector<Change> changes;
    QSet<QString> seen;
    for (const QString& r : relative) {
        if (seen.contains(r))
            continue;
        seen.insert(r);
        const OnDisk d = readOnDisk(m_root + r);
        if (d.kind == OnDisk::Unknown)
            continue;
        const auto known = m_baseline.constFind(r);
        std::optional<QByteArray> was;
        if (known != m_baseline.constEnd())
            was = *known;
        std::optional<QByteArray> now = stateOf(d);
        if (was == now)
            continue;
        if (now)
            m_baseline.insert(r, *now);
        else
            m_baseline.remove(r);
        changes.push_back({r, std::move(was), std::move(now)});
    }
    if (changes.empty() && before == after)
        return false;
    // Sorted, so that a step file's contents do not depend on hash order.
    std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.relative < b.relative; });

    Bytes out;
    ByteWriter w(out);
    for (char c : kMagic)
        w.u8(static_cast<std::uint8_t>(c));
    w.u8(kVersion);
    writeFlags(w, before);
    writeFlags(w, after);
    w.u32(static_cast<std::uint32_t>(changes.size()));
    for (const Change& c : changes) {
        const QByteArray path = c.relative.toUtf8();
        w.u16(static_cast<std::uint16_t>(path.size()));
        w.bytes(spanOf(path));
        writeState(w, c.before);
        writeState(w, c.after);
    }
    const std::uint64_t sum = fnv1a(out);
    w.u32(static_cast<std::uint32_t>(sum));
    w.u32(static_cast<std::uint32_t>(sum >> 32));

    dropRedo();
    StepFile step{QStringLiteral("step-%1.khs").arg(++m_serial, 8, 10, QLatin1Char('0')),
                  static_cast<qint64>(out.size())};
    const FolderCheck folder = makeOwnFolder(fsPath(m_folder), false);
    Result<void> written = folder == FolderCheck::Ok
        ? writeFileAtomic(fsPath(m_folder + step.name), out, Durability::WhileRunning)
        : Result<void>(fail(m_folder.toStdString() + ": " + folderCheckText(folder)));
    if (!written) {
        m_error = QStringLiteral("Шаг не удалось сохранить для отмены (%1); история отмен очищена.")
                      .arg(utf8(written.error()));
        clearSteps();
        return false;
    }
    m_steps.push_back(step);
    m_cursor = m_steps.size();
    m_storedBytes += step.bytes;
    // A single step larger than the whole limit is still kept, alone: the
    // change the user made last stays undoable, and the limit is passed by
    // that one step only.
    while (m_storedBytes > m_limit && m_steps.size() > 1)
        dropOldest();
    return true;
}

Result<HistoryApplied> History::undo()
{
    return apply(true);
}

Result<HistoryApplied> History::redo()
{
    return apply(false);
}

Result<HistoryApplied> History::apply(bool undo)
{
    if (undo ? !canUndo() : !canRedo())
        return fail(undo ? "Нечего отменять." : "Нечего повторять.");
    const std::size_t index = undo ? m_cursor - 1 : m_cursor;

    // Read and check the step.
    const StepFile step = m_steps[index];
    const QString stepPath = m_folder + step.name;
    std::vector<Change> changes;
    HistoryFlags before;
    HistoryFlags after;
    bool sound = false;
    if (auto file = readFile(fsPath(stepPath), static_cast<std::uintmax_t>(step.bytes));
        file && static_cast<qint64>(file->size()) == step.bytes && file->size() >= 8) {
        const ByteSpan all(*file);
        const ByteSpan body = all.first(all.size() - 8);
        const std::uint64_t sum = le32(all.data() + body.size())
            | (static_cast<std::uint64_t>(le32(all.data() + body.size() + 4)) << 32);
        ByteReader r(body);
        ByteSpan magic;
        std::uint8_t version = 0;
        std::uint32_t count = 0;
        sound = sum == fnv1a(body) && r.bytes(4, magic) && std::equal(magic.begin(), magic.end(), kMagic)
            && r.u8(version) && version == kVersion && readFlags(r, before) && readFlags(r, after) && r.u32(count)
            && count <= kMaxChanges;
        QSet<QString> seen;
        for (std::uint32_t i = 0; sound && i < count; ++i) {
            std::uint16_t length = 0;
            ByteSpan path;
            Change c;
            sound = r.u16(length) && length <= kMaxPathBytes && r.bytes(length, path) && readState(r, c.before)
                && readState(r, c.after);
            if (!sound)
                break;
            c.relative = QString::fromUtf8(reinterpret_cast<const char*>(path.data()), length);
            // Only a file the history tracks may be written: never a path
            // that leads out of the workspace; and each file once.
            sound = tracked(c.relative) && !c.relative.contains(QStringLiteral("..")) && !seen.contains(c.relative);
            seen.insert(c.relative);
            changes.push_back(std::move(c));
        }
        sound = sound && r.remaining() == 0;
    }
    if (!sound) {
        // The steps beyond the damaged one cannot be reached without it.
        const std::size_t from = undo ? 0 : index;
        const std::size_t to = undo ? index + 1 : m_steps.size();
        for (std::size_t i = from; i < to; ++i) {
            m_storedBytes -= m_steps[i].bytes;
            removeStepFile(m_steps[i]);
        }
        m_steps.erase(m_steps.begin() + static_cast<std::ptrdiff_t>(from),
                      m_steps.begin() + static_cast<std::ptrdiff_t>(to));
        if (undo)
            m_cursor = 0;
        return fail(QStringLiteral("Шаг истории отмен повреждён (%1); он и все шаги %2 удалены.")
                        .arg(stepPath, undo ? QStringLiteral("до него") : QStringLiteral("после него"))
                        .toStdString());
    }

    // An outside save not reported yet: recorded first with the flags of
    // the present, so this undo takes it back rather than overwriting it.
    if (recordOutside(undo ? after : before)) {
        if (!undo)
            return fail("Нечего повторять: файлы темы изменились после отмены.");
        return apply(true);
    }
    if (!m_error.isEmpty())
        return fail(m_error.toStdString());

    std::vector<Target> targets;
    HistoryApplied applied;
    for (const Change& c : changes) {
        targets.push_back({fsPath(m_root + c.relative), undo ? c.before : c.after});
        applied.written.push_back(m_root + c.relative);
    }
    if (auto done = applyTogether(targets); !done)
        return fail(QStringLiteral("Не удалось %1: %2. Файлы темы не изменены.")
                        .arg(undo ? QStringLiteral("отменить") : QStringLiteral("повторить"), utf8(done.error()))
                        .toStdString());
    for (const Change& c : changes) {
        const std::optional<QByteArray>& now = undo ? c.before : c.after;
        if (now)
            m_baseline.insert(c.relative, *now);
        else
            m_baseline.remove(c.relative);
    }
    m_cursor = undo ? index : index + 1;
    applied.flags = undo ? before : after;
    return applied;
}

void History::removeStepFile(const StepFile& step)
{
    (void)removeName(fsPath(m_folder + step.name));
}

void History::dropRedo()
{
    while (m_steps.size() > m_cursor) {
        m_storedBytes -= m_steps.back().bytes;
        removeStepFile(m_steps.back());
        m_steps.pop_back();
    }
}

void History::dropOldest()
{
    m_storedBytes -= m_steps.front().bytes;
    removeStepFile(m_steps.front());
    m_steps.erase(m_steps.begin());
    if (m_cursor > 0)
        --m_cursor;
}

void History::clearSteps()
{
    for (const StepFile& step : m_steps)
        removeStepFile(step);
    m_steps.clear();
    m_cursor = 0;
    m_storedBytes = 0;
}

} // namespace kastra
