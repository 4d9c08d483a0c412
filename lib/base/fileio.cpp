#include "base/fileio.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>

#ifdef _WIN32
#include <process.h>
#define KASTRA_GETPID _getpid
#else
#include <fcntl.h>
#include <unistd.h>
#define KASTRA_GETPID getpid
#endif

namespace kastra {

namespace fs = std::filesystem;

Result<Bytes> readFile(const fs::path& path, std::uintmax_t maxBytes)
{
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return fail(path.string() + ": is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(path.string() + ": cannot open file");
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0)
        return fail(path.string() + ": cannot read file");
    if (static_cast<std::uintmax_t>(end) > maxBytes)
        return fail(path.string() + ": file is too large (" + std::to_string(end) + " bytes, at most "
                    + std::to_string(maxBytes) + ")");
    in.seekg(0, std::ios::beg);
    Bytes data(static_cast<std::size_t>(end));
    if (!data.empty() && !in.read(reinterpret_cast<char*>(data.data()), end))
        return fail(path.string() + ": cannot read file");
    return data;
}

namespace {

// Creates the temporary file exclusively, so that nothing planted under its
// name beforehand (a symbolic link, say) is followed or overwritten.
std::FILE* createExclusive(const fs::path& p)
{
#ifdef _WIN32
    return _wfopen(p.c_str(), L"wbx");
#else
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f)
        ::close(fd);
    return f;
#endif
}

// A random part for temporary names, so that they cannot be guessed ahead.
unsigned unpredictable()
{
    static std::mutex lock;
    static std::random_device device;
    const std::lock_guard<std::mutex> guard(lock);
    return device();
}

} // namespace

Result<void> writeFileAtomic(const fs::path& path, ByteSpan bytes)
{
    static std::atomic<unsigned> counter{0};
    std::FILE* f = nullptr;
    fs::path tmp;
    for (int attempt = 0; attempt < 100 && !f; ++attempt) {
        tmp = path;
        tmp += ".tmp" + std::to_string(KASTRA_GETPID()) + "-" + std::to_string(counter++) + "-"
            + std::to_string(unpredictable());
        f = createExclusive(tmp);
        if (!f && errno != EEXIST)
            break;
    }
    if (!f)
        return fail(path.string() + ": cannot write file (" + std::strerror(errno) + ")");

    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool flushed = std::fflush(f) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
        std::error_code ec;
        fs::remove(tmp, ec);
        return fail(path.string() + ": cannot write file");
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tmp, ignored);
        return fail(path.string() + ": cannot replace file (" + ec.message() + ")");
    }
    return {};
}

fs::path nativePath(std::string_view windowsStylePath)
{
    std::string s(windowsStylePath);
#ifndef _WIN32
    for (char& c : s)
        if (c == '\\')
            c = '/';
#endif
    return fs::path(s);
}

} // namespace kastra
