#include "sis/sis_extract.h"

#include "base/fileio.h"
#include "sis/errors.h"
#include "sis/pkg_text.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <iterator>
#include <map>

namespace kastra::sis {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxPackageBytes = 512u * 1024 * 1024;

std::u16string filePart(std::u16string_view path)
{
    const std::size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

// A name for a message: control characters shown as \xNN so that a hostile
// name cannot garble the terminal or cut the message short.
std::string inQuotes(std::u16string_view name)
{
    std::u16string shown;
    for (const char16_t c : name) {
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += u"\\x";
            shown += static_cast<char16_t>(kHex[c >> 4]);
            shown += static_cast<char16_t>(kHex[c & 0xF]);
        } else {
            shown += c;
        }
    }
    // Appended into one string rather than "\"" + ... + "\"": GCC's optimiser
    // reports overlapping copies in that chain of temporaries that cannot
    // happen (-Wrestrict in Release builds).
    const std::string text = toUtf8(shown);
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return out;
}

// Data ranges already taken by extracted records.
class DataRanges {
public:
    // False when [pointer, pointer + length) overlaps a range taken before
    // without being that very range.
    bool take(std::uint32_t pointer, std::uint32_t length)
    {
        if (length == 0)
            return true;
        const std::uint64_t end = static_cast<std::uint64_t>(pointer) + length;
        auto it = m_ranges.upper_bound(pointer);
        if (it != m_ranges.begin()) {
            const auto prev = std::prev(it);
            if (prev->first == pointer && prev->second == end)
                return true;
            if (prev->second > pointer)
                return false;
        }
        if (it != m_ranges.end() && it->first < end)
            return false;
        m_ranges.emplace(pointer, end);
        return true;
    }

private:
    std::map<std::uint32_t, std::uint64_t> m_ranges; // start -> end
};

fs::path pathOf(std::u16string_view name)
{
    const std::string utf8 = toUtf8(name);
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

struct Fingerprint {
    std::size_t size;
    uLong crc;
    uLong adler;
    bool operator==(const Fingerprint&) const = default;
};

Fingerprint fingerprintOf(ByteSpan data)
{
    Fingerprint f{data.size(), crc32(0L, Z_NULL, 0), adler32(0L, Z_NULL, 0)};
    // zlib takes uInt lengths; files are capped far below 4 GiB.
    f.crc = crc32(f.crc, data.data(), static_cast<uInt>(data.size()));
    f.adler = adler32(f.adler, data.data(), static_cast<uInt>(data.size()));
    return f;
}

// "name.ext" -> "name(n).ext". Built by appending into one reserved string:
// chains of operator+ on temporaries make GCC's optimiser report overlapping
// copies that cannot happen (-Wrestrict).
std::u16string numbered(std::u16string_view name, unsigned n)
{
    const std::string digits = std::to_string(n);
    std::size_t stem = name.find_last_of(u'.');
    if (stem == std::u16string_view::npos || stem == 0)
        stem = name.size();
    std::u16string out;
    out.reserve(name.size() + digits.size() + 2);
    out.append(name.substr(0, stem));
    out.push_back(u'(');
    for (const char c : digits)
        out.push_back(static_cast<char16_t>(c));
    out.push_back(u')');
    out.append(name.substr(stem));
    return out;
}

} // namespace

std::u16string outputName(const SisRecord& record)
{
    const bool installed = record.fileType == kFileStandard || record.fileType == kFileRun
        || record.fileType == kFileMime;
    if (installed && !record.destination.empty())
        return filePart(record.destination);
    return filePart(record.source);
}

std::string checkOutputName(std::u16string_view name)
{
    if (name.empty())
        return "the name is empty";
    if (name.find_first_not_of(u'.') == std::u16string_view::npos)
        return "a name made of dots only would not stay inside TEMP";
    if (name.size() > 255)
        return "the name is longer than 255 characters";
    for (const char16_t c : name) {
        if (c == u'/' || c == u'\\')
            return "the name contains a slash";
        if (c == u':')
            return "the name contains a drive or stream colon";
        if (c < 0x20 || c == 0x7F || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
            return "the name contains a character that file names cannot hold";
    }
    if (name.back() == u'.' || name.back() == u' ')
        return "the name ends with a dot or a blank";
    // Windows opens a device, not a file, for these names with any extension.
    std::u16string base = foldCase(name.substr(0, name.find(u'.')));
    while (!base.empty() && base.back() == u' ')
        base.pop_back();
    static constexpr std::array<std::u16string_view, 4> kDevices = {u"con", u"prn", u"aux", u"nul"};
    for (const auto d : kDevices)
        if (base == d)
            return "the name is a reserved device name";
    if (base.size() == 4 && (base.starts_with(u"com") || base.starts_with(u"lpt")) && base[3] >= u'1'
        && base[3] <= u'9')
        return "the name is a reserved device name";
    return {};
}

ExtractSummary extractPackage(ByteSpan file, const SisPackage& package, const fs::path& folder,
                              const std::function<void(const std::string&)>& report, const ReadLimits& limits)
{
    ExtractSummary summary;
    std::uint64_t total = 0;
    std::map<std::u16string, Fingerprint> seen; // by folded name
    DataRanges ranges;
    PackageData blocks(file, package, limits);
    // The block each written name came from: the same block under the same
    // name again is the same file, and is not inflated twice.
    std::map<std::u16string, std::pair<std::uint32_t, std::uint32_t>> blockOf;
    bool stopped = false;

    // Writes one data block under name (or a numbered name when another file
    // has that name already). False when the whole extraction must stop.
    auto extractBlock = [&](const DataBlock& block, std::u16string name, const std::string& which) {
        if (const auto it = blockOf.find(foldCase(name));
            it != blockOf.end() && it->second == std::pair(block.pointer, block.storedLength))
            return true;
        if (!ranges.take(block.pointer, block.storedLength)) {
            report("skipped " + inQuotes(name) + which + ": its data overlaps the data of another file");
            ++summary.skipped;
            summary.damaged = true;
            return true;
        }
        auto data = blocks.read(block);
        if (!data) {
            report("skipped " + inQuotes(name) + which + ": " + data.error());
            ++summary.skipped;
            summary.damaged = true;
            return data.code() != SisError::TooLarge;
        }
        if (limits.maxTotalDataBytes - total < data->size()) {
            report("stopped at " + inQuotes(name) + which + ": the package would unpack to more than "
                   + std::to_string(limits.maxTotalDataBytes / (1024 * 1024)) + " MiB");
            ++summary.skipped;
            summary.damaged = true;
            return false;
        }
        total += data->size();

        const Fingerprint print = fingerprintOf(*data);
        std::u16string key = foldCase(name);
        if (const auto it = seen.find(key); it != seen.end()) {
            if (it->second == print)
                return true; // the same file installed twice
            unsigned n = 2;
            while (seen.count(foldCase(numbered(name, n))) != 0)
                ++n;
            const std::u16string renamed = numbered(name, n);
            report(which.empty() ? "another file is also named " + inQuotes(name) + "; it is written as "
                                       + inQuotes(renamed)
                                 : "the file " + inQuotes(name) + which + " is written as " + inQuotes(renamed));
            name = renamed;
            key = foldCase(name);
        }
        seen.emplace(key, print);
        blockOf.emplace(key, std::pair(block.pointer, block.storedLength));

        auto written = writeFileAtomic(folder / pathOf(name), *data);
        if (!written) {
            report("could not write " + inQuotes(name) + which + ": " + written.error());
            ++summary.skipped;
            return true;
        }
        ++summary.written;
        return true;
    };

    for (const SisRecord& rec : package.records) {
        if ((rec.type != kRecordFile && rec.type != kRecordMultiLanguage) || rec.fileType == kFileNull)
            continue;
        const std::u16string name = outputName(rec);
        if (!rec.damage.empty()) {
            report("skipped " + inQuotes(name) + ": " + rec.damage);
            ++summary.skipped;
            summary.damaged = true;
            continue;
        }
        if (const std::string why = checkOutputName(name); !why.empty()) {
            report("refused " + inQuotes(name) + ": " + why);
            ++summary.skipped;
            continue;
        }
        // A language block holds one file per language, all for the same
        // name: the first language's keeps the name, the others get numbered
        // names, so that none of them is lost.
        for (std::size_t b = 0; b < rec.blocks.size() && !stopped; ++b) {
            std::string which;
            if (rec.type == kRecordMultiLanguage) {
                const std::uint16_t code = b < package.languages.size() ? package.languages[b] : 0;
                const std::string_view abbr = languageAbbreviation(code);
                which = " (language " + (abbr.empty() ? std::to_string(code) : std::string(abbr)) + ")";
            }
            stopped = !extractBlock(rec.blocks[b], name, which);
        }
        if (stopped)
            break;
    }
    return summary;
}

int runSisTool(const fs::path& package, const fs::path& workingDirectory,
               const std::function<void(const std::string&)>& report)
{
    auto bytes = readFile(package, kMaxPackageBytes);
    if (!bytes) {
        report(bytes.error());
        return 2;
    }
    const std::string where = reinterpret_cast<const char*>(package.u8string().c_str());
    auto pkg = readSis(*bytes);
    if (!pkg) {
        report(where + ": " + pkg.error());
        return 2;
    }
    if (!pkg->uidChecksumOk)
        report(where + ": warning: UID4 does not match UID1 to UID3");
    if (!pkg->checksumOk) {
        char buf[96];
        std::snprintf(buf, sizeof buf, ": warning: the checksum is 0x%04X but the contents give 0x%04X",
                      pkg->checksum, pkg->computedChecksum);
        report(where + buf);
    }
    for (const std::string& p : pkg->problems)
        report(where + ": " + p);

    // TEMP must be a real folder of the user's own: a link planted under the
    // name would have the package written wherever it points.
    const fs::path folder = workingDirectory / "TEMP";
    if (const FolderCheck check = makeOwnFolder(folder, false); check != FolderCheck::Ok) {
        report(reinterpret_cast<const char*>(folder.u8string().c_str()) + std::string(": cannot use the folder: ")
               + folderCheckText(check));
        return 2;
    }
    const ExtractSummary summary = extractPackage(*bytes, *pkg, folder, report);
    report(std::to_string(summary.written) + " file" + (summary.written == 1 ? "" : "s") + " written to TEMP"
           + (summary.skipped ? ", " + std::to_string(summary.skipped) + " skipped" : std::string()));
    return (pkg->problems.empty() && !summary.damaged && summary.skipped == 0) ? 0 : 3;
}

} // namespace kastra::sis
