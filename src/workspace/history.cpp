#include "workspace/history.h"

#include "workspace/history_step.h"

#include "base/bytes.h"
#include "base/fileio.h"
#include "base/safe_file.h"
#include "platform/fileops.h"
#include "workspace/slots.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace kastra {

namespace fs = std::filesystem;

namespace {

const QString kSlotFolders[] = {QStringLiteral("Avkon"), QStringLiteral("Signal"), QStringLiteral("Menu")};
const QString kPackageFolder = QStringLiteral("SIS");

// A file as it is on disk: its bytes, absent, or unknown (not a plain file,
// unreadable or too large: then it is left as the history last knew it).
struct OnDisk {
    enum Kind { Absent, Present, Unknown } kind = Unknown;
    QByteArray bytes;
};

OnDisk readOnDisk(const Workspace& ws, const QString& relative, qint64 maxBytes)
{
    std::error_code ec;
    const fs::path p = fsPath(ws.path(relative));
    const fs::file_status st = fs::symlink_status(p, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        return {};
    if (!fs::exists(st))
        return {OnDisk::Absent, {}};
    if (!fs::is_regular_file(st))
        return {};
    auto bytes = ws.read(relative, static_cast<std::uintmax_t>(maxBytes));
    if (!bytes)
        return {};
    return {OnDisk::Present, toByteArray(*bytes)};
}

std::optional<QByteArray> stateOf(const OnDisk& d)
{
    return d.kind == OnDisk::Present ? std::optional<QByteArray>(d.bytes) : std::nullopt;
}

QString utf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// So that a step file's contents do not depend on hash order.
void sortByName(std::vector<StepChange>& changes)
{
    std::sort(changes.begin(), changes.end(),
              [](const StepChange& a, const StepChange& b) { return a.relative < b.relative; });
}

// A step file as the workspace names it.
QString stepSlot(const QString& name)
{
    return QLatin1String(History::FolderName) + u'\\' + name;
}

} // namespace

qint64 History::maxBytesOf(const QString& relative)
{
    return relative.startsWith(kPackageFolder + u'/') ? MaxPackageFileBytes : MaxSlotBytes;
}

History::History(const Workspace& ws, qint64 limitBytes)
    : m_ws(ws), m_root(ws.root()), m_folder(m_root + QLatin1String(FolderName) + u'/'), m_limit(limitBytes)
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
        return userPackageFiles().contains(parts.last());
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

QStringList History::relativesOf(const QStringList& paths) const
{
    QStringList relative;
    for (const QString& path : paths) {
        if (const QString r = relativeOf(path); !r.isEmpty())
            relative.push_back(r);
    }
    return relative;
}

QStringList History::everyTracked() const
{
    // Those the baseline knows and are gone since count too.
    return m_baseline.keys() + trackedOnDisk();
}

void History::start()
{
    clearSteps();
    // A link planted under the folder's name goes as a name; left-overs of a
    // run that did not reach its close go with the folder.
    ClearFolder(m_folder);
    m_baseline.clear();
    m_baselineBytes = 0;
    collect(trackedOnDisk());
    m_error.clear();
}

void History::absorb(const QStringList& paths)
{
    collect(relativesOf(paths));
}

bool History::record(const QStringList& paths, const HistoryFlags& before, const HistoryFlags& after)
{
    return recordRelative(relativesOf(paths), before, after);
}

bool History::recordOutside(const HistoryFlags& flags)
{
    return recordRelative(everyTracked(), flags, flags);
}

// Compares the files with the baseline and takes them into it: what
// changed, sorted by name.
std::vector<StepChange> History::collect(const QStringList& relative)
{
    std::vector<StepChange> changes;
    QSet<QString> seen;
    for (const QString& r : relative) {
        if (seen.contains(r))
            continue;
        seen.insert(r);
        const OnDisk d = readOnDisk(m_ws, r, maxBytesOf(r));
        if (d.kind == OnDisk::Unknown)
            continue;
        const auto known = m_baseline.constFind(r);
        std::optional<QByteArray> was;
        if (known != m_baseline.constEnd())
            was = *known;
        std::optional<QByteArray> now = stateOf(d);
        // A file the baseline cannot take any more is left as unknown.
        if (was == now || !keep(r, now))
            continue;
        changes.push_back({r, std::move(was), std::move(now)});
    }
    sortByName(changes);
    return changes;
}

bool History::keep(const QString& relative, const std::optional<QByteArray>& bytes, bool evenOverBound)
{
    const auto cost = [](const QByteArray& b) { return static_cast<qint64>(b.size()) + BaselineEntryBytes; };
    const auto known = m_baseline.constFind(relative);
    const qint64 was = known == m_baseline.constEnd() ? 0 : cost(*known);
    const qint64 now = bytes ? cost(*bytes) : 0;
    if (!evenOverBound && now > was && m_baselineBytes - was + now > MaxBaselineBytes)
        return false;
    m_baselineBytes += now - was;
    if (bytes)
        m_baseline.insert(relative, *bytes);
    else
        m_baseline.remove(relative);
    return true;
}

bool History::recordRelative(const QStringList& relative, const HistoryFlags& before, const HistoryFlags& after)
{
    m_error.clear();
    StepContents step{before, after, collect(relative)};
    if (step.changes.empty() && before == after)
        return false;
    dropRedo();
    StepFile file{QStringLiteral("step-%1.khs").arg(++m_serial, 8, 10, QLatin1Char('0')), 0};
    if (!writeStep(file, step))
        return false;
    m_steps.push_back(file);
    m_cursor = m_steps.size();
    m_open = true;
    return true;
}

void History::amend(const QStringList& paths)
{
    if (!m_open || m_steps.empty() || m_cursor != m_steps.size()) {
        absorb(paths);
        return;
    }
    std::vector<StepChange> more = collect(relativesOf(paths));
    if (more.empty())
        return;
    std::optional<StepContents> step = readStep(m_steps.back());
    if (!step) {
        // Nothing to add the files to: the damaged step is found again, and
        // dropped, when it is undone.
        return;
    }
    for (StepChange& c : more) {
        auto same = std::find_if(step->changes.begin(), step->changes.end(),
                                 [&](const StepChange& s) { return s.relative == c.relative; });
        if (same == step->changes.end())
            step->changes.push_back(std::move(c));
        else
            same->after = std::move(c.after);
    }
    std::erase_if(step->changes, [](const StepChange& c) { return c.before == c.after; });
    sortByName(step->changes);
    // Taken out while it is rewritten, so that dropping the oldest steps to
    // make room never drops it.
    StepFile last = m_steps.back();
    m_steps.pop_back();
    m_storedBytes -= last.bytes;
    if (!writeStep(last, *step)) {
        // The history was emptied; m_error says why.
        removeStepFile(last);
        return;
    }
    m_steps.push_back(last);
    m_cursor = m_steps.size();
}

bool History::writeStep(StepFile& file, const StepContents& step)
{
    const Bytes out = encodeStep(step);
    const qint64 size = static_cast<qint64>(out.size());
    if (size > m_limit) {
        // Only with a limit below the default: the baseline's bound keeps
        // every step under that.
        m_error = QStringLiteral("Шаг больше, чем вмещает история отмен (%1 байт, а можно %2); история отмен очищена.")
                      .arg(size)
                      .arg(m_limit);
        clearSteps();
        return false;
    }
    // The oldest steps go before the new one is written, so that the step
    // files never take more than the limit.
    while (m_storedBytes + size > m_limit && !m_steps.empty())
        dropOldest();
    const Result<void> folder = m_ws.makeFolder(QLatin1String(FolderName));
    Result<void> written = folder ? m_ws.write(stepSlot(file.name), out, Durability::WhileRunning) : folder;
    if (!written) {
        m_error = QStringLiteral("Шаг не удалось сохранить для отмены (%1); история отмен очищена.")
                      .arg(utf8(written.error()));
        clearSteps();
        return false;
    }
    file.bytes = size;
    m_storedBytes += file.bytes;
    return true;
}

std::optional<StepContents> History::readStep(const StepFile& file) const
{
    const auto bytes = m_ws.read(stepSlot(file.name), static_cast<std::uintmax_t>(file.bytes));
    if (!bytes || static_cast<qint64>(bytes->size()) != file.bytes)
        return std::nullopt;
    return decodeStep(*bytes, [this](const QString& relative) { return tracked(relative); });
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
    const StepFile file = m_steps[index];
    const std::optional<StepContents> step = readStep(file);
    if (!step) {
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
        m_open = false;
        return fail(QStringLiteral("Шаг истории отмен повреждён (%1); он и все шаги %2 удалены.")
                        .arg(m_folder + file.name, undo ? QStringLiteral("до него") : QStringLiteral("после него"))
                        .toStdString());
    }

    // An outside save not reported yet: recorded first with the flags of
    // the present, so this undo takes it back rather than overwriting it.
    if (recordOutside(undo ? step->after : step->before)) {
        if (!undo)
            return fail("Нечего повторять: файлы темы изменились после отмены.");
        return apply(true);
    }
    if (!m_error.isEmpty())
        return fail(m_error.toStdString());

    std::vector<NewFile> targets;
    HistoryApplied applied;
    for (const StepChange& c : step->changes) {
        const std::optional<QByteArray>& state = undo ? c.before : c.after;
        std::optional<Bytes> bytes;
        if (state)
            bytes = Bytes(state->begin(), state->end());
        targets.push_back({fsPath(c.relative), std::move(bytes)});
    }
    // Workspace files are working copies rebuilt at every start: no
    // write-out is forced (see Durability).
    if (auto done = m_ws.replaceTogether(targets, Durability::WhileRunning); !done)
        return fail(QStringLiteral("Не удалось %1: %2. Файлы темы не изменены.")
                        .arg(undo ? QStringLiteral("отменить") : QStringLiteral("повторить"), utf8(done.error()))
                        .toStdString());
    // Each state put back was in the baseline once; should the files changed
    // since leave no room for it, the baseline passes its bound by that step
    // at most rather than lose track of a file the undo wrote.
    for (const StepChange& c : step->changes) {
        const std::optional<QByteArray>& now = undo ? c.before : c.after;
        keep(c.relative, now, true);
    }
    m_cursor = undo ? index : index + 1;
    m_open = false;
    applied.flags = undo ? step->before : step->after;
    applied.left = undo ? step->after : step->before;
    return applied;
}

HistoryFlags HistoryApplied::restore(const HistoryFlags& now) const
{
    const auto pick = [](auto stepValue, auto leftValue, auto nowValue) {
        return stepValue != leftValue ? stepValue : nowValue;
    };
    HistoryFlags f;
    f.scheme = pick(flags.scheme, left.scheme, now.scheme);
    f.stripEdited = pick(flags.stripEdited, left.stripEdited, now.stripEdited);
    f.stripBottom = pick(flags.stripBottom, left.stripBottom, now.stripBottom);
    f.fontLoaded = pick(flags.fontLoaded, left.fontLoaded, now.fontLoaded);
    f.schemeChosen = pick(flags.schemeChosen, left.schemeChosen, now.schemeChosen);
    return f;
}

void History::removeStepFile(const StepFile& step)
{
    (void)m_ws.remove(stepSlot(step.name));
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
    m_open = false;
    m_storedBytes = 0;
}

} // namespace kastra
