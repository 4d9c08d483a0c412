#include "workspace/workspace.h"

#include "platform/fileops.h"
#include "platform/folders.h"
#include "workspace/slots.h"

#include <QDir>

#include <utility>
#include <vector>

namespace kastra {

namespace {

// An empty folder stays empty: no program folder means no overrides, not
// the file system's root.
QString withSeparator(const QString& folder)
{
    return folder.isEmpty() ? folder : WithSeparator(folder);
}

std::string local8(const QString& name)
{
    return name.toLocal8Bit().toStdString();
}

// The folder part and the name of a slot: "Avkon\445.bmp" gives "Avkon"
// and "445.bmp", "Back.bmp" gives "" and "Back.bmp". Nothing that walks
// out of the workspace: no empty part, ".", ".." or more than one folder.
bool splitSlot(const QString& slot, QString& folder, QString& leaf)
{
    // By hand rather than with split(): a load asks this for every one of
    // 508 slots.
    qsizetype cut = -1;
    for (qsizetype i = 0; i < slot.size(); ++i) {
        if (slot[i] == u'\\' || slot[i] == u'/') {
            if (cut >= 0)
                return false;
            cut = i;
        }
    }
    folder = cut >= 0 ? slot.left(cut) : QString();
    leaf = cut >= 0 ? slot.mid(cut + 1) : slot;
    const auto walksOut = [](const QString& part) { return part.isEmpty() || part == u"." || part == u".."; };
    return !walksOut(leaf) && (cut < 0 || !walksOut(folder));
}

Error notASlot(const QString& slot)
{
    return fail(BaseError::NotAFile, slot.toStdString() + ": not a file name of the workspace");
}

} // namespace

// ---------------------------------------------------------------- journal

void WriteJournal::note(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!m_seen.contains(path)) {
            m_seen.insert(path);
            m_pending << path;
        }
    }
    if (m_listener && !paths.isEmpty())
        m_listener(paths);
}

QStringList WriteJournal::take()
{
    m_seen.clear();
    return std::exchange(m_pending, {});
}

// ---------------------------------------------------------------- workspace

Workspace::Workspace(QString root, QString programFolder)
    : m_root(withSeparator(std::move(root))), m_programFolder(withSeparator(std::move(programFolder))),
      m_open(std::make_unique<Open>()), m_journal(std::make_unique<WriteJournal>())
{
}

Workspace::~Workspace() = default;
Workspace::Workspace(Workspace&&) noexcept = default;
Workspace& Workspace::operator=(Workspace&&) noexcept = default;

Result<void> Workspace::open() const
{
    close();
    CreateFolder(m_root, true);
    return openRoot();
}

Result<void> Workspace::openRoot() const
{
    auto folder = Folder::openOwn(fsPath(m_root));
    if (!folder)
        return Error{folder.error(), folder.code()};
    m_open->root.emplace(std::move(*folder));
    return {};
}

void Workspace::close() const
{
    m_open->below.clear();
    m_open->root.reset();
}

QString Workspace::path(const QString& slot) const
{
    return slotPath(m_root, slot);
}

QStringList Workspace::paths(const QStringList& names) const
{
    return slotPaths(m_root, names);
}

QString Workspace::slotOf(const QString& path) const
{
    const QString p = QDir::fromNativeSeparators(path);
    const QString root = QDir::fromNativeSeparators(m_root);
    if (!p.startsWith(root) || p.size() == root.size())
        return {};
    QString slot = p.mid(root.size());
    slot.replace(u'/', u'\\');
    return slot;
}

Result<void> Workspace::place(const QString& slot, Place& out, bool fresh) const
{
    QString sub, name;
    if (!splitSlot(slot, sub, name))
        return notASlot(slot);
    if (!m_open->root) {
        if (auto opened = openRoot(); !opened)
            return opened;
    }
    out.leaf = local8(name);
    out.folder = &*m_open->root;
    if (sub.isEmpty())
        return {};
    if (!fresh) {
        if (const auto kept = m_open->below.find(sub); kept != m_open->below.end()) {
            out.folder = &kept->second;
            return {};
        }
    }
    auto opened = m_open->root->sub(local8(sub));
    if (!opened)
        return Error{opened.error(), opened.code()};
    out.folder = &m_open->below.insert_or_assign(sub, std::move(*opened)).first->second;
    return {};
}

void Workspace::note(const QString& slot) const
{
    m_journal->note({path(slot)});
}

Result<Bytes> Workspace::read(const QString& slot, std::uintmax_t maxBytes) const
{
    Place at;
    if (auto placed = place(slot, at); !placed)
        return Error{placed.error(), placed.code()};
    return at.folder->readFile(at.leaf, maxBytes);
}

Bitmap Workspace::picture(const QString& slot) const
{
    // No slot is larger than the screen; a paint program saves that at most
    // at 32 bits with a V5 header, 155 018 bytes.
    constexpr std::uintmax_t kMaxPictureBytes = 4 * 1024 * 1024;
    Bitmap picture;
    if (const auto bytes = read(slot, kMaxPictureBytes); !bytes || !picture.loadBmp(*bytes))
        return Bitmap();
    return picture;
}

bool Workspace::hasFile(const QString& slot) const
{
    Place at;
    return place(slot, at).ok() && at.folder->hasFile(at.leaf);
}

bool Workspace::holds(const QString& slot, ByteSpan bytes) const
{
    Place at;
    return place(slot, at).ok() && at.folder->holdsExactly(at.leaf, bytes);
}

Result<void> Workspace::write(const QString& slot, ByteSpan bytes, Durability durability) const
{
    Place at;
    if (auto placed = place(slot, at, true); !placed)
        return Error{placed.error(), placed.code()};
    auto written = at.folder->writeFile(at.leaf, bytes, durability);
    note(slot);
    return written;
}

Result<void> Workspace::writePicture(const QString& slot, const Bitmap& picture) const
{
    if (picture.empty())
        return fail(BaseError::NotAFile, path(slot).toStdString() + ": empty picture: nothing written");
    return write(slot, picture.encodeBmp());
}

Result<void> Workspace::writePayload(Payload payload, const QString& slot) const
{
    const std::optional<QByteArray> bytes = payloadBytes(payload, m_programFolder);
    if (!bytes)
        return fail(BaseError::Io, path(slot).toStdString() + ": the program does not carry this file");
    Place at;
    if (auto placed = place(slot, at, true); !placed)
        return Error{placed.error(), placed.code()};
    const bool program = payloadIsProgram(payload);
    // The converter is written before every load and pack: comparing its
    // bytes costs far less than replacing it (a rename over an existing
    // file has ext4 write the new one out first).
    if (at.folder->holdsExactly(at.leaf, byteSpan(*bytes), program))
        return {};
    auto written = at.folder->writeFile(at.leaf, byteSpan(*bytes), Durability::AcrossCrash, program);
    note(slot);
    return written;
}

Result<void> Workspace::remove(const QString& slot) const
{
    Place at;
    if (auto placed = place(slot, at, true); !placed)
        return Error{placed.error(), placed.code()};
    auto removed = at.folder->remove(at.leaf);
    note(slot);
    return removed;
}

Result<void> Workspace::placeBoth(const QString& from, const QString& to, Place& a, Place& b) const
{
    if (auto placed = place(from, a, true); !placed)
        return placed;
    return place(to, b, true);
}

Result<void> Workspace::rename(const QString& from, const QString& to) const
{
    Place a, b;
    if (auto placed = placeBoth(from, to, a, b); !placed)
        return placed;
    auto renamed = a.folder->rename(a.leaf, *b.folder, b.leaf);
    m_journal->note({path(from), path(to)});
    return renamed;
}

Result<void> Workspace::link(const QString& from, const QString& to) const
{
    Place a, b;
    if (auto placed = placeBoth(from, to, a, b); !placed)
        return placed;
    return a.folder->link(a.leaf, *b.folder, b.leaf);
}

Result<void> Workspace::replaceTogether(std::span<const NewFile> files, Durability durability) const
{
    // Each folder is opened anew by its name, and the replacement goes by
    // the descriptors the workspace keeps (a second file of the same folder
    // finds the one the first opened).
    std::vector<NewFileIn> inFolders;
    QStringList written;
    for (const NewFile& f : files) {
        const QString slot = QString::fromStdU16String(f.target.generic_u16string());
        Place at;
        if (auto placed = place(slot, at, true); !placed)
            return placed;
        inFolders.push_back({at.folder, at.leaf, f.bytes});
        written << path(slot);
    }
    if (inFolders.empty())
        return {};
    auto replaced = replaceFilesTogether(inFolders, durability);
    m_journal->note(written);
    return replaced;
}

Result<void> Workspace::makeFolder(const QString& name) const
{
    Place at;
    if (auto placed = place(name, at); !placed)
        return Error{placed.error(), placed.code()};
    if (at.folder != &*m_open->root)
        return notASlot(name);
    auto made = at.folder->sub(at.leaf, true);
    if (!made)
        return Error{made.error(), made.code()};
    // What stands under the name now is the folder kept for it: one removed
    // by path and made again is not written through its old descriptor.
    m_open->below.insert_or_assign(QString::fromLocal8Bit(at.leaf.c_str()), std::move(*made));
    return {};
}

ProcessOutcome Workspace::run(const QString& commandLine, const QStringList& mayWrite, const QString& folder) const
{
    Place at;
    if (!place(folder.isEmpty() ? QStringLiteral("com.txt") : folder + QStringLiteral("\\x"), at, true))
        return {};
    // The program goes by paths from where it starts: every folder it is to
    // write into must be a real folder of the workspace, or it would follow
    // a link put there to a folder of the user's. Not started then.
    QSet<QString> checked;
    for (const QString& slot : mayWrite) {
        QString sub, name;
        if (!splitSlot(slot, sub, name))
            return {};
        if (checked.contains(sub))
            continue;
        checked.insert(sub);
        Place target;
        if (!place(slot, target, true))
            return {};
    }
    const ProcessOutcome out = RunHiddenIn(*at.folder, commandLine);
    m_journal->note(paths(mayWrite));
    return out;
}

} // namespace kastra
