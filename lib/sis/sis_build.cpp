#include "sis/sis_build.h"

#include "base/fileio.h"
#include "sis/errors.h"
#include "sis/pkg_parser.h"
#include "sis/pkg_text.h"
#include "sis/sis_format.h"
#include "sis/sis_writer.h"

#include <cstdio>
#include <string>

namespace kastra::sis {

namespace fs = std::filesystem;

namespace {

std::u16string folded(const fs::path& p)
{
    return foldCase(utf8ToUtf16(reinterpret_cast<const char*>(p.u8string().c_str())));
}

std::string shown(const fs::path& p)
{
    return std::string("\"") + reinterpret_cast<const char*>(p.u8string().c_str()) + "\"";
}

// Walks rel below base one component at a time, taking a component under its
// exact name when it exists and otherwise the one entry whose name matches
// without regard to case. An empty path means "not here".
Result<fs::path> resolveBelow(const fs::path& base, const fs::path& rel)
{
    fs::path cur = base;
    std::error_code ec;
    for (const fs::path& comp : rel) {
        if (comp.empty() || comp == ".")
            continue;
        fs::path exact = cur / comp;
        if (comp == ".." || fs::exists(exact, ec)) {
            cur = std::move(exact);
            continue;
        }
        const std::u16string want = folded(comp);
        fs::path found;
        fs::directory_iterator it(cur, ec);
        if (ec)
            return fs::path();
        for (const fs::directory_entry& e : it) {
            if (folded(e.path().filename()) != want)
                continue;
            if (!found.empty())
                return fail(SisError::NotFound,
                            "both " + shown(found) + " and " + shown(e.path())
                                + " match without regard to letter case; rename one");
            found = e.path();
        }
        if (found.empty())
            return fs::path();
        cur = std::move(found);
    }
    if (!fs::is_regular_file(cur, ec))
        return fs::path();
    return cur;
}

std::string tooLarge(const fs::path& path, std::uintmax_t size)
{
    return "with " + shown(path) + " (" + std::to_string(size) + " bytes) the files of the package add up to more than "
        + std::to_string(kMaxTotalSourceBytes / (1024 * 1024)) + " MiB, more than a package may hold";
}

std::string lineOf(int line)
{
    return "line " + std::to_string(line) + ": ";
}

} // namespace

Result<fs::path> findSourceFile(std::u16string_view name, const std::vector<fs::path>& bases)
{
    const std::string utf8 = toUtf8(name);
    const fs::path p = nativePath(utf8);
    if (p.is_absolute()) {
        auto r = resolveBelow(p.root_path(), p.relative_path());
        if (!r)
            return r;
        if (r->empty())
            return fail(SisError::NotFound, "cannot find the file \"" + utf8 + "\"");
        return r;
    }
    std::string looked;
    for (const fs::path& base : bases) {
        auto r = resolveBelow(base, p);
        if (!r)
            return r;
        if (!r->empty())
            return r;
        looked += (looked.empty() ? "" : ", ") + shown(base);
    }
    return fail(SisError::NotFound, "cannot find the file \"" + utf8 + "\" (looked in " + looked + ")");
}

Result<Bytes> textFileToUtf16(ByteSpan bytes, TextEncoding marklessAs)
{
    auto text = decodeText(bytes, marklessAs);
    if (!text)
        return fail(text.code(), text.error());
    return utf16LeBytes(toUtf16(text->text));
}

Result<Bytes> buildPackage(const fs::path& script, const BuildOptions& options)
{
    std::vector<fs::path> filesRead;
    return buildPackage(script, options, filesRead);
}

Result<Bytes> buildPackage(const fs::path& script, const BuildOptions& options, std::vector<fs::path>& filesRead)
{
    filesRead.clear();
    auto scriptBytes = readFile(script, kMaxScriptBytes);
    if (!scriptBytes)
        return fail(scriptBytes.code(), scriptBytes.error());
    filesRead.push_back(script);
    auto parsed = parsePackageScript(*scriptBytes, options.marklessAs);
    if (!parsed)
        return fail(parsed.code(), parsed.error());
    PackageSpec spec = std::move(*parsed);

    std::error_code ec;
    std::vector<fs::path> bases;
    bases.push_back(fs::current_path(ec));
    fs::path scriptDir = script.parent_path();
    if (scriptDir.empty())
        scriptDir = ".";
    bases.push_back(fs::absolute(scriptDir, ec));
    for (const fs::path& d : options.searchDirectories)
        bases.push_back(d);

    // Every file is found and its size known before any is read, so that a
    // package over the limit is refused without reading a byte of it.
    struct Source {
        fs::path path;
        std::uintmax_t size = 0;
    };
    std::vector<std::vector<Source>> sources(spec.records.size());
    std::uintmax_t total = 0;
    for (std::size_t i = 0; i < spec.records.size(); ++i) {
        const PackageRecord& r = spec.records[i];
        if ((r.type != kRecordFile && r.type != kRecordMultiLanguage) || r.fileType == kFileNull)
            continue;
        for (const std::u16string& source : r.sources) {
            auto path = findSourceFile(source, bases);
            if (!path)
                return fail(path.code(), lineOf(r.line) + path.error());
            std::error_code sizeError;
            const std::uintmax_t size = fs::file_size(*path, sizeError);
            if (sizeError)
                return fail(SisError::NotFound, lineOf(r.line) + "cannot read the size of " + shown(*path) + ": "
                                                    + sizeError.message());
            if (size > kMaxSourceFileBytes || kMaxTotalSourceBytes - total < size)
                return fail(SisError::TooLarge, lineOf(r.line) + tooLarge(*path, size));
            total += size;
            sources[i].push_back({std::move(*path), size});
        }
    }

    total = 0;
    for (std::size_t i = 0; i < spec.records.size(); ++i) {
        PackageRecord& r = spec.records[i];
        for (const Source& source : sources[i]) {
            // A file that grew since its size was read is held to what is left.
            auto data = readFile(source.path, kMaxTotalSourceBytes - total);
            if (!data)
                return fail(data.code(), lineOf(r.line) + data.error());
            filesRead.push_back(source.path);
            if (r.fileType == kFileText) {
                auto text = textFileToUtf16(*data, options.marklessAs);
                if (!text)
                    return fail(text.code(), lineOf(r.line) + "cannot convert " + shown(source.path)
                                                 + " to Unicode: " + text.error());
                data = std::move(*text);
            } else if (r.fileType == kFileComponent) {
                const Bytes& c = *data;
                if (c.size() < kHeaderSizeEr5 || le32(c.data() + 8) != kUid3
                    || (le32(c.data() + 4) != kUid2Er6 && le32(c.data() + 4) != kUid2Er5))
                    return fail(SisError::WrongFormat, lineOf(r.line) + shown(source.path) + " is not a SIS package");
                if (le32(c.data()) != r.details) {
                    char want[16], have[16];
                    std::snprintf(want, sizeof want, "0x%08X", r.details);
                    std::snprintf(have, sizeof have, "0x%08X", le32(c.data()));
                    return fail(SisError::BadArgument,
                                lineOf(r.line) + "the UID of the embedded package " + shown(source.path) + " is "
                                    + have + ", not the " + want + " given");
                }
            }
            // A text file grows when it becomes UTF-16: the limit holds for
            // what the package stores.
            if (kMaxTotalSourceBytes - total < data->size())
                return fail(SisError::TooLarge, lineOf(r.line) + tooLarge(source.path, data->size()));
            total += data->size();
            r.contents.push_back(std::move(*data));
        }
    }
    return writeSis(spec);
}

} // namespace kastra::sis
