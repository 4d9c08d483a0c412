#include "base/fileio.h"

#include <cerrno>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kastra {

namespace fs = std::filesystem;

Result<Bytes> readFile(const fs::path& path, std::uintmax_t maxBytes)
{
    std::uintmax_t size = 0;
    auto file = openRegularFile(path, &size);
    if (!file)
        return Error{file.error(), file.code()};
    return readOpenFile(*file, size, maxBytes, path);
}

Result<Bytes> readOpenFile(const FileHandle& file, std::uintmax_t size, std::uintmax_t maxBytes,
                           const fs::path& path)
{
    if (size > maxBytes)
        return fail(BaseError::TooLarge, path.string() + ": file is too large (" + std::to_string(size) + " bytes, at most "
                    + std::to_string(maxBytes) + ")");
    Bytes data(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < data.size()) {
#ifdef _WIN32
        const long n = ::_read(file.fd(), data.data() + done, static_cast<unsigned>(data.size() - done));
#else
        const long n = ::read(file.fd(), data.data() + done, data.size() - done);
#endif
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)   // an error, or the file shrank while it was read
            return fail(BaseError::Io, path.string() + ": cannot read file");
        done += static_cast<std::size_t>(n);
    }
    return data;
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
