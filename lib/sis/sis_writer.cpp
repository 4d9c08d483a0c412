#include "sis/sis_writer.h"

#include "base/crc16.h"
#include "sis/pkg_text.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace kastra::sis {

namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu; // every offset is 32 bits

bool isFileRecord(const PackageRecord& r)
{
    return r.type == kRecordFile || r.type == kRecordMultiLanguage;
}

std::string at(const PackageRecord& r)
{
    return r.line > 0 ? "line " + std::to_string(r.line) + ": " : std::string();
}

struct StringRef {
    std::uint64_t length = 0; // bytes
    std::uint64_t pointer = 0;
};

// The string block, built while the offsets are assigned.
class StringBlock {
public:
    explicit StringBlock(std::uint64_t base) : m_base(base) {}
    StringRef add(std::u16string_view s)
    {
        // Readers refuse longer strings as damage; so does the parser.
        m_tooLong = m_tooLong || s.size() > kMaxStringUnits;
        StringRef r{s.size() * 2, m_base + m_bytes.size()};
        for (const char16_t u : s) {
            m_bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
            m_bytes.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        return r;
    }
    // An 8-bit string (a MIME type): one byte per character, which the
    // parser keeps to ASCII.
    StringRef add8(std::u16string_view s)
    {
        m_tooLong = m_tooLong || s.size() > kMaxStringUnits;
        StringRef r{s.size(), m_base + m_bytes.size()};
        for (const char16_t u : s)
            m_bytes.push_back(static_cast<std::uint8_t>(u < 0x100 ? u : '?'));
        return r;
    }
    std::uint64_t end() const { return m_base + m_bytes.size(); }
    const Bytes& bytes() const { return m_bytes; }
    bool tooLong() const { return m_tooLong; }

private:
    std::uint64_t m_base;
    Bytes m_bytes;
    bool m_tooLong = false;
};

Result<std::uint64_t> expressionSize(const Expression& e)
{
    switch (e.type) {
    case kExprString:
    case kExprAttribute:
    case kExprNumber:
        return std::uint64_t{12};
    case kExprExists:
    case kExprDevCap:
    case kExprNot: {
        if (e.operands.size() != 1)
            return fail("a condition node needs one operand");
        auto inner = expressionSize(e.operands[0]);
        if (!inner)
            return inner;
        return 4 + *inner;
    }
    case kExprEqual:
    case kExprNotEqual:
    case kExprGreater:
    case kExprLess:
    case kExprGreaterEqual:
    case kExprLessEqual:
    case kExprAnd:
    case kExprOr:
    case kExprAppCap: {
        if (e.operands.size() != 2)
            return fail("a condition node needs two operands");
        auto l = expressionSize(e.operands[0]);
        if (!l)
            return l;
        auto r = expressionSize(e.operands[1]);
        if (!r)
            return r;
        return 4 + *l + *r;
    }
    }
    return fail("unknown condition node type " + std::to_string(e.type));
}

void collectExpressionStrings(const Expression& e, StringBlock& strings, std::vector<StringRef>& out)
{
    if (e.type == kExprString)
        out.push_back(strings.add(e.text));
    for (const Expression& o : e.operands)
        collectExpressionStrings(o, strings, out);
}

void writeExpression(ByteWriter& w, const Expression& e, const std::vector<StringRef>& refs, std::size_t& next)
{
    w.u32(e.type);
    switch (e.type) {
    case kExprString: {
        const StringRef r = refs[next++];
        w.u32(static_cast<std::uint32_t>(r.length));
        w.u32(static_cast<std::uint32_t>(r.pointer));
        return;
    }
    case kExprAttribute:
    case kExprNumber:
        w.u32(e.value);
        w.u32(0);
        return;
    default:
        for (const Expression& o : e.operands)
            writeExpression(w, o, refs, next);
        return;
    }
}

// One zlib stream per block, as zlib's compress() makes it (default level,
// 32 KiB window, zlib header and Adler-32 trailer). The deflate state and the
// output buffer are kept from block to block: allocating them afresh for every
// file costs more in page faults than small files cost to compress.
class Deflater {
public:
    Deflater() { m_ready = deflateInit(&m_zs, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater()
    {
        if (m_ready)
            deflateEnd(&m_zs);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    Result<Bytes> compress(const Bytes& data, const PackageRecord& r)
    {
        // One deflate() call takes at most 4 GiB in and out; a package cannot
        // address more than that anyway.
        if (data.size() > 0x7FFF0000u)
            return fail(at(r) + "the file is too large for a package");
        if (!m_ready || deflateReset(&m_zs) != Z_OK)
            return fail(at(r) + "zlib could not start compressing");
        const uLong bound = deflateBound(&m_zs, static_cast<uLong>(data.size()));
        if (m_capacity < bound) {
            m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
            m_capacity = bound;
        }
        m_zs.next_in = const_cast<Bytef*>(data.data());
        m_zs.avail_in = static_cast<uInt>(data.size());
        m_zs.next_out = m_buffer.get();
        m_zs.avail_out = static_cast<uInt>(bound);
        const int rc = deflate(&m_zs, Z_FINISH);
        if (rc != Z_STREAM_END)
            return fail(at(r) + "zlib could not compress the file (error " + std::to_string(rc) + ")");
        return Bytes(m_buffer.get(), m_buffer.get() + m_zs.total_out);
    }

private:
    z_stream m_zs{};
    bool m_ready = false;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    uLong m_capacity = 0;
};

// Compresses every block of every file record into packed[record][block].
// Each block is its own zlib stream, so a package of several files is
// compressed on several threads; the output does not depend on how many.
Result<void> compressAll(const std::vector<const PackageRecord*>& order, std::vector<std::vector<Bytes>>& packed)
{
    struct Job {
        std::size_t record;
        std::size_t block;
        std::size_t size;
    };
    std::vector<Job> jobs;
    std::size_t total = 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t b = 0; b < packed[i].size(); ++b) {
            jobs.push_back({i, b, order[i]->contents[b].size()});
            total += order[i]->contents[b].size();
        }
    // Largest first, so that no thread is left with one big file at the end.
    std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.size > b.size; });

    std::vector<std::string> errors(jobs.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        Deflater deflater;
        for (std::size_t j = next++; j < jobs.size(); j = next++) {
            const Job& job = jobs[j];
            auto z = deflater.compress(order[job.record]->contents[job.block], *order[job.record]);
            if (z)
                packed[job.record][job.block] = std::move(*z);
            else
                errors[j] = z.error();
        }
    };
    // Threads pay off only when there is real work to share.
    constexpr std::size_t kBytesPerThread = 64 * 1024;
    const std::size_t wanted = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 8,
                                                      jobs.size(), total / kBytesPerThread + 1});
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads: the ones running finish the work
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
    for (const std::string& e : errors)
        if (!e.empty())
            return fail(e);
    return {};
}

char16_t foldDrive(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Per record, in the order the records are written (reverse installation
// order): the offsets the record refers to.
struct RecordLayout {
    std::vector<StringRef> sources;
    StringRef destination;
    StringRef mime;
    std::vector<std::uint64_t> dataPointers;
    std::vector<StringRef> optionNames; // option-major, then language
    std::vector<StringRef> expressionStrings;
    std::uint64_t expressionSize = 0;
};

} // namespace

std::uint16_t installationDrive(const PackageSpec& spec)
{
    std::optional<char16_t> drive;
    for (const PackageRecord& r : spec.records) {
        if (!isFileRecord(r) || r.destination.empty())
            continue;
        if (r.destination.size() < 2 || r.destination[1] != u':')
            return u'!';
        const char16_t d = r.destination[0];
        if (!drive)
            drive = d;
        else if (foldDrive(*drive) != foldDrive(d))
            return u'!';
    }
    return drive ? *drive : u'!';
}

namespace {

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > 0xFFFFFFFFu || b > 0xFFFFFFFFu - a ? 0x100000000u : a + b;
}

// What one file record adds to the installed size: nothing for text shown
// during installation (FT), files created later (FN) and files handed to
// their MIME handler (FM); every language's file of a language block, since
// the handset keeps the choice open until installation; an embedded package's
// own maximum when it is a Release 6 package, else its size.
std::uint64_t installSizeOf(const PackageRecord& r)
{
    if (r.fileType == kFileText || r.fileType == kFileNull || r.fileType == kFileMime)
        return 0;
    std::uint64_t total = 0;
    for (const Bytes& c : r.contents) {
        std::uint64_t size = c.size();
        if (r.fileType == kFileComponent && c.size() >= kHeaderSizeEr6 && le32(c.data() + 4) == kUid2Er6)
            size = le32(c.data() + 0x50);
        total = saturatingAdd(total, size);
    }
    return total;
}

} // namespace

std::uint32_t maximumInstalledSpace(const PackageSpec& spec)
{
    // Only one branch of an IF block is installed, so a block counts its
    // largest branch. Each open block keeps the total before it and the
    // largest branch so far; `total` runs over the current branch.
    struct OpenBlock {
        std::uint64_t before;
        std::uint64_t largest;
    };
    std::vector<OpenBlock> open;
    std::uint64_t total = 0;
    for (const PackageRecord& r : spec.records) {
        switch (r.type) {
        case kRecordFile:
        case kRecordMultiLanguage:
            total = saturatingAdd(total, installSizeOf(r));
            break;
        case kRecordIf:
            open.push_back({total, 0});
            total = 0;
            break;
        case kRecordElseIf:
        case kRecordElse:
            if (!open.empty()) {
                open.back().largest = std::max(open.back().largest, total);
                total = 0;
            }
            break;
        case kRecordEndIf:
            if (!open.empty()) {
                total = saturatingAdd(open.back().before, std::max(open.back().largest, total));
                open.pop_back();
            }
            break;
        default:
            break;
        }
    }
    // A description without its ENDIFs (not from a script) closes them here.
    while (!open.empty()) {
        total = saturatingAdd(open.back().before, std::max(open.back().largest, total));
        open.pop_back();
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

Result<Bytes> writeSis(const PackageSpec& spec)
{
    const std::size_t n = spec.languages.size();
    if (n == 0 || n > 0xFFFF)
        return fail("a package needs from 1 to 65535 languages");
    if (spec.names.size() != n)
        return fail("the package needs one component name per language");
    if (spec.records.size() > 0xFFFF)
        return fail("a package holds at most 65535 files and conditions");
    if (spec.requisites.size() > 0xFFFF)
        return fail("a package holds at most 65535 requisites");
    if (spec.capabilities.size() > 0xFFFF)
        return fail("a package holds at most 65535 capabilities");
    for (const Requisite& q : spec.requisites)
        if (q.names.size() != n)
            return fail("line " + std::to_string(q.line) + ": the requisite needs one name per language");

    const bool compress = (spec.options & kOptionNoCompress) == 0;
    const std::uint16_t options = static_cast<std::uint16_t>(spec.options | kOptionUnicode);

    // Records in the order they are written: the installer walks them from
    // the last to the first, so the file holds them reversed.
    std::vector<const PackageRecord*> order;
    order.reserve(spec.records.size());
    for (auto it = spec.records.rbegin(); it != spec.records.rend(); ++it)
        order.push_back(&*it);

    // Compressed data first: its sizes decide the data offsets.
    std::vector<std::vector<Bytes>> packed(order.size());
    std::vector<RecordLayout> layout(order.size());
    std::uint64_t recordBytes = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackageRecord& r = *order[i];
        switch (r.type) {
        case kRecordFile:
        case kRecordMultiLanguage: {
            const std::size_t k = r.type == kRecordFile ? 1 : n;
            if (r.sources.size() != k)
                return fail(at(r) + "the record needs " + std::to_string(k) + " source name(s)");
            if (r.fileType == kFileNull) {
                if (!r.contents.empty())
                    return fail(at(r) + "an FN file has no contents");
            } else if (r.contents.size() != k) {
                return fail(at(r) + "the record needs contents for each of its " + std::to_string(k) + " file(s)");
            }
            for (const Bytes& c : r.contents)
                if (c.size() > kMaxFileSize)
                    return fail(at(r) + "the file is larger than 4 GiB");
            if (compress)
                packed[i].resize(r.contents.size());
            recordBytes += 36 + 12 * static_cast<std::uint64_t>(k);
            break;
        }
        case kRecordOptions:
            if (r.options.size() > kMaxOptions)
                return fail(at(r) + "an options line holds at most 128 options");
            for (const auto& names : r.options)
                if (names.size() != n)
                    return fail(at(r) + "each option needs one name per language");
            recordBytes += 8 + 8 * static_cast<std::uint64_t>(n) * r.options.size() + 16;
            break;
        case kRecordIf:
        case kRecordElseIf: {
            auto size = expressionSize(r.condition);
            if (!size)
                return fail(at(r) + size.error());
            layout[i].expressionSize = *size;
            recordBytes += 8 + *size;
            break;
        }
        case kRecordElse:
        case kRecordEndIf:
            recordBytes += 4;
            break;
        default:
            return fail(at(r) + "unknown record type " + std::to_string(r.type));
        }
    }

    if (compress) {
        auto done = compressAll(order, packed);
        if (!done)
            return fail(done.error());
    }

    // Section offsets.
    const std::uint64_t languagesAt = kHeaderSizeEr6;
    const std::uint64_t filesAt = languagesAt + 2 * n;
    const std::uint64_t requisitesAt = filesAt + recordBytes;
    const std::uint64_t capabilitiesAt = requisitesAt + spec.requisites.size() * (12 + 8 * static_cast<std::uint64_t>(n));
    const std::uint64_t componentNameAt = capabilitiesAt + 8 * static_cast<std::uint64_t>(spec.capabilities.size());
    const std::uint64_t stringsAt = componentNameAt + 8 * n;

    // Strings in the order the SDK's makesis lays them out: each record's
    // strings in record order, then the requisite names, then the component
    // names. Condition records point into this block, so the order shows in
    // their bytes.
    StringBlock strings(stringsAt);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackageRecord& r = *order[i];
        RecordLayout& l = layout[i];
        if (isFileRecord(r)) {
            // The record has room for one source name; a language block
            // stores its first.
            l.sources.push_back(strings.add(r.sources[0]));
            l.destination = strings.add(r.destination);
            // The MIME type is 8-bit text, its length in characters. With
            // no MIME type the pointer still points just past the names.
            l.mime = strings.add8(r.mime);
        } else if (r.type == kRecordOptions) {
            for (const auto& names : r.options)
                for (const auto& name : names)
                    l.optionNames.push_back(strings.add(name));
        } else if (r.type == kRecordIf || r.type == kRecordElseIf) {
            collectExpressionStrings(r.condition, strings, l.expressionStrings);
        }
    }
    std::vector<std::vector<StringRef>> requisiteNames;
    for (const Requisite& q : spec.requisites) {
        requisiteNames.emplace_back();
        for (const auto& name : q.names)
            requisiteNames.back().push_back(strings.add(name));
    }
    std::vector<StringRef> componentNames;
    for (const auto& name : spec.names)
        componentNames.push_back(strings.add(name));

    if (strings.tooLong())
        return fail("a name or string is longer than " + std::to_string(kMaxStringUnits) + " characters");

    // File data.
    std::uint64_t dataEnd = strings.end();
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackageRecord& r = *order[i];
        if (!isFileRecord(r))
            continue;
        const std::size_t k = r.type == kRecordFile ? 1 : n;
        for (std::size_t b = 0; b < k; ++b) {
            layout[i].dataPointers.push_back(dataEnd);
            if (r.fileType != kFileNull)
                dataEnd += compress ? packed[i][b].size() : r.contents[b].size();
        }
    }
    if (dataEnd > kMaxFileSize)
        return fail("the package would be larger than 4 GiB, more than the format can address");

    auto u32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(v); };

    Bytes out;
    out.reserve(static_cast<std::size_t>(dataEnd));
    ByteWriter w(out);
    // Header.
    w.u32(spec.uid);
    w.u32(kUid2Er6);
    w.u32(kUid3);
    w.u32(uidChecksum(spec.uid, kUid2Er6, kUid3));
    w.u16(0); // checksum, patched at the end
    w.u16(static_cast<std::uint16_t>(n));
    w.u16(static_cast<std::uint16_t>(spec.records.size()));
    w.u16(static_cast<std::uint16_t>(spec.requisites.size()));
    w.u16(0); // installation language: set by the handset
    w.u16(0); // installation files: set by the handset
    w.u16(installationDrive(spec));
    w.u16(static_cast<std::uint16_t>(spec.capabilities.size()));
    w.u32(kInstallerVersionEr6);
    w.u16(options);
    w.u16(spec.type);
    w.u16(spec.major);
    w.u16(spec.minor);
    w.u32(spec.build);
    w.u32(u32(languagesAt));
    w.u32(u32(filesAt));
    w.u32(u32(requisitesAt));
    w.u32(0); // certificates: unsigned
    w.u32(u32(componentNameAt));
    w.u32(0); // signature: unsigned
    w.u32(u32(capabilitiesAt));
    w.u32(0); // installed space: set by the handset
    w.u32(maximumInstalledSpace(spec));
    w.fill(16, 0);

    for (const std::uint16_t lang : spec.languages)
        w.u16(lang);

    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackageRecord& r = *order[i];
        const RecordLayout& l = layout[i];
        w.u32(r.type);
        switch (r.type) {
        case kRecordFile:
        case kRecordMultiLanguage: {
            w.u32(r.fileType);
            w.u32(r.details);
            w.u32(u32(l.sources[0].length));
            w.u32(u32(l.sources[0].pointer));
            w.u32(u32(l.destination.length));
            w.u32(u32(l.destination.pointer));
            const std::size_t k = l.dataPointers.size();
            for (std::size_t b = 0; b < k; ++b)
                w.u32(r.fileType == kFileNull ? 0 : u32(compress ? packed[i][b].size() : r.contents[b].size()));
            for (std::size_t b = 0; b < k; ++b)
                w.u32(u32(l.dataPointers[b]));
            for (std::size_t b = 0; b < k; ++b)
                w.u32(r.fileType == kFileNull ? 0 : u32(r.contents[b].size()));
            w.u32(u32(l.mime.length));
            w.u32(u32(l.mime.pointer));
            break;
        }
        case kRecordOptions: {
            w.u32(static_cast<std::uint32_t>(r.options.size()));
            for (std::size_t o = 0; o < r.options.size(); ++o) {
                for (std::size_t lang = 0; lang < n; ++lang)
                    w.u32(u32(l.optionNames[o * n + lang].length));
                for (std::size_t lang = 0; lang < n; ++lang)
                    w.u32(u32(l.optionNames[o * n + lang].pointer));
            }
            w.fill(16, 0xFF); // every option selected until the user chooses
            break;
        }
        case kRecordIf:
        case kRecordElseIf: {
            w.u32(u32(l.expressionSize));
            std::size_t next = 0;
            writeExpression(w, r.condition, l.expressionStrings, next);
            break;
        }
        default:
            break;
        }
    }

    for (std::size_t q = 0; q < spec.requisites.size(); ++q) {
        const Requisite& req = spec.requisites[q];
        w.u32(req.uid);
        w.u16(req.major);
        w.u16(req.minor);
        w.u32(req.variant);
        for (const StringRef& s : requisiteNames[q])
            w.u32(u32(s.length));
        for (const StringRef& s : requisiteNames[q])
            w.u32(u32(s.pointer));
    }

    for (const Capability& c : spec.capabilities) {
        w.u32(c.key);
        w.u32(c.value);
    }

    for (const StringRef& s : componentNames)
        w.u32(u32(s.length));
    for (const StringRef& s : componentNames)
        w.u32(u32(s.pointer));

    w.bytes(strings.bytes());

    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackageRecord& r = *order[i];
        if (!isFileRecord(r) || r.fileType == kFileNull)
            continue;
        if (compress)
            for (const Bytes& b : packed[i])
                w.bytes(b);
        else
            for (const Bytes& b : r.contents)
                w.bytes(b);
    }

    if (out.size() != dataEnd)
        return fail("internal error: the package layout does not add up");

    // The checksum covers every byte but its own two.
    std::uint16_t crc = crc16(ByteSpan(out).first(16));
    crc = crc16(ByteSpan(out).subspan(18), crc);
    out[16] = static_cast<std::uint8_t>(crc & 0xFF);
    out[17] = static_cast<std::uint8_t>(crc >> 8);
    return out;
}

} // namespace kastra::sis
