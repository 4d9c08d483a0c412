#include "workspace/workspace.h"

#include <QFile>

#ifdef _WIN32
#include <QLockFile>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kastra {

namespace {

QString lockPath(const QString& base, const char* fileName)
{
    QString path = base;
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        path += u'/';
    return path + QLatin1String(fileName);
}

void tell(QString* why, const QString& text)
{
    if (why)
        *why = text;
}

const QString kHeld = QStringLiteral("Программа уже запущена.");

} // namespace

#ifdef _WIN32

// QLockFile records the owner's process id and takes over a lock whose
// owner is gone.
struct WorkspaceLock::Impl {
    explicit Impl(const QString& path) : file(path) {}
    QLockFile file;
};

std::unique_ptr<WorkspaceLock> WorkspaceLock::acquire(const QString& base, QString* why, const char* fileName)
{
    auto impl = std::make_unique<Impl>(lockPath(base, fileName));
    impl->file.setStaleLockTime(0);
    if (!impl->file.tryLock(0)) {
        tell(why, impl->file.error() == QLockFile::LockFailedError
                      ? kHeld
                      : QStringLiteral("Не удалось создать файл блокировки ") + lockPath(base, fileName));
        return {};
    }
    return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(std::move(impl)));
}

#else

// An advisory lock on an open file: the kernel drops it when its owner
// ends, however it ends, so a killed instance never leaves a stale lock and
// no process id has to be trusted. The descriptor is close-on-exec, so the
// editors and tools the program starts do not carry the lock on.
struct WorkspaceLock::Impl {
    explicit Impl(int descriptor) : fd(descriptor) {}
    ~Impl() { ::close(fd); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    int fd;
};

std::unique_ptr<WorkspaceLock> WorkspaceLock::acquire(const QString& base, QString* why, const char* fileName)
{
    const QString path = lockPath(base, fileName);
    const QByteArray name = QFile::encodeName(path);
    // Readable by all, so that another login sharing the program folder can
    // open it to take its turn; flock() needs no write access.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        tell(why, QStringLiteral("Не удалось открыть файл блокировки %1: %2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    auto impl = std::make_unique<Impl>(fd);
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        tell(why, errno == EWOULDBLOCK ? kHeld
                                       : QStringLiteral("Не удалось заблокировать файл %1: %2")
                                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    // The owner's process id, for a person looking at the file; the lock
    // itself does not depend on it.
    const QByteArray pid = QByteArray::number(static_cast<qlonglong>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), static_cast<std::size_t>(pid.size()), 0) < 0) {
        // Only informative: the lock holds without it.
    }
    return std::unique_ptr<WorkspaceLock>(new WorkspaceLock(std::move(impl)));
}

#endif

WorkspaceLock::WorkspaceLock(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

WorkspaceLock::~WorkspaceLock() = default;

} // namespace kastra
