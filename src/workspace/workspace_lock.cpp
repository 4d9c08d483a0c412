#include "workspace/workspace.h"

#include <QFile>

#ifdef _WIN32
#include <QLockFile>
#else
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <vector>

namespace kastra {

namespace {

void tell(QString* why, const QString& text)
{
    if (why)
        *why = text;
}

const QString kHeld = QStringLiteral("Программа уже запущена.");

} // namespace

#ifdef _WIN32

namespace {

QString lockPath(const QString& base, const char* fileName)
{
    QString path = base;
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        path += u'/';
    return path + QLatin1String(fileName);
}

} // namespace

// QLockFile records the owner's process id and takes over a lock whose
// owner is gone; Windows keeps a file that is open from being replaced or
// deleted.
struct WorkspaceLock::Impl {
    std::vector<std::unique_ptr<QLockFile>> files;
};

std::unique_ptr<WorkspaceLock> WorkspaceLock::acquire(const QStringList& folders, QString* why)
{
    auto impl = std::make_unique<Impl>();
    for (const QString& folder : folders) {
        const QString path = lockPath(folder, ".kastra-theme.lock");
        auto& file = impl->files.emplace_back(std::make_unique<QLockFile>(path));
        file->setStaleLockTime(0);
        if (!file->tryLock(0)) {
            tell(why, file->error() == QLockFile::LockFailedError
                          ? kHeld
                          : QStringLiteral("Не удалось создать файл блокировки ") + path);
            return {};
        }
    }
    return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(std::move(impl)));
}

#else

// An advisory lock on the folder itself, opened read-only: nothing is ever
// created, truncated or written, so no file of the user's linked in some
// place can be harmed, and there is no lock file that someone could delete
// to let a second window in. The kernel drops the lock when its owner ends,
// however it ends, so a killed instance never leaves a stale lock and no
// process id has to be trusted. The descriptor is close-on-exec, so the
// editors and tools the program starts do not carry the lock on.
struct WorkspaceLock::Impl {
    std::vector<int> fds;
    Impl() = default;
    ~Impl()
    {
        for (const int fd : fds)
            ::close(fd);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
};

std::unique_ptr<WorkspaceLock> WorkspaceLock::acquire(const QStringList& folders, QString* why)
{
    auto impl = std::make_unique<Impl>();
    std::vector<std::pair<dev_t, ino_t>> locked;
    for (const QString& folder : folders) {
        const QByteArray name = QFile::encodeName(folder);
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            tell(why, QStringLiteral("Не удалось открыть папку %1: %2")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            return {};
        }
        impl->fds.push_back(fd);
        // One folder named twice (the program folder inside the runtime
        // folder's place) is locked once: a second lock of this process
        // would be refused by the first.
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            const std::pair<dev_t, ino_t> id{st.st_dev, st.st_ino};
            if (std::find(locked.begin(), locked.end(), id) != locked.end())
                continue;
            locked.push_back(id);
        }
        int rc;
        do
            rc = ::flock(fd, LOCK_EX | LOCK_NB);
        while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            tell(why, errno == EWOULDBLOCK ? kHeld
                                           : QStringLiteral("Не удалось заблокировать папку %1: %2")
                                                 .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            return {};
        }
    }
    return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(std::move(impl)));
}

#endif

WorkspaceLock::WorkspaceLock(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

WorkspaceLock::~WorkspaceLock() = default;

} // namespace kastra
