#include "sis/sis_writer.h"

#include "base/crc16.h"
#include "sis/errors.h"
#include "sis/pkg_text.h"
#include "sis/sis_compress.h"

#include <algorithm>
#include <optional>
#include <string>

namespace kastra::sis {

namespace {

constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu; // every offset is 32 bits

bool isFileRecord(const PackageRecord& r)
{
    return r.type == kRecordFile || r.type == kRecordMultiLanguage;
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
            return fail(SisError::BadArgument, "a condition node needs one operand");
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
            return fail(SisError::BadArgument, "a condition node needs two operands");
        auto l = expressionSize(e.operands[0]);
        if (!l)
            return l;
        auto r = expressionSize(e.operands[1]);
        if (!r)
            return r;
        return 4 + *l + *r;
    }
    }
    return fail(SisError::BadArgument, "unknown condition node type " + std::to_string(e.type));
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

namespace {

// Everything the writer decides before it writes a byte: the records in file
// order, their compressed blocks, the offsets of every section, string and
// data block. The phases below fill it in order.
struct Plan {
    explicit Plan(const PackageSpec& s)
        : spec(s), languages(s.languages.size()), compress((s.options & kOptionNoCompress) == 0)
    {
    }

    const PackageSpec& spec;
    std::size_t languages;
    bool compress;
    std::vector<const PackageRecord*> order;      // file order
    std::vector<std::vector<Bytes>> packed;       // [record][block], when compressing
    std::vector<RecordLayout> records;            // [record]
    std::uint64_t recordBytes = 0;
    std::uint64_t languagesAt = 0;
    std::uint64_t filesAt = 0;
    std::uint64_t requisitesAt = 0;
    std::uint64_t capabilitiesAt = 0;
    std::uint64_t componentNameAt = 0;
    std::optional<StringBlock> strings;
    std::vector<std::vector<StringRef>> requisiteNames;
    std::vector<StringRef> componentNames;
    std::uint64_t dataEnd = 0;

    std::uint64_t storedSize(std::size_t record, std::size_t block) const
    {
        return compress ? packed[record][block].size() : order[record]->contents[block].size();
    }
};

std::uint32_t u32(std::uint64_t v)
{
    return static_cast<std::uint32_t>(v);
}

// The counts the format's 16-bit fields and per-language lists must hold.
Result<void> validate(const PackageSpec& spec)
{
    const std::size_t n = spec.languages.size();
    if (n == 0 || n > 0xFFFF)
        return fail(SisError::BadArgument, "a package needs from 1 to 65535 languages");
    if (spec.names.size() != n)
        return fail(SisError::BadArgument, "the package needs one component name per language");
    if (spec.records.size() > 0xFFFF)
        return fail(SisError::TooLarge, "a package holds at most 65535 files and conditions");
    if (spec.requisites.size() > 0xFFFF)
        return fail(SisError::TooLarge, "a package holds at most 65535 requisites");
    if (spec.capabilities.size() > 0xFFFF)
        return fail(SisError::TooLarge, "a package holds at most 65535 capabilities");
    for (const Requisite& q : spec.requisites)
        if (q.names.size() != n)
            return fail(SisError::BadArgument,
                        "line " + std::to_string(q.line) + ": the requisite needs one name per language");
    return {};
}

// Checks each record and adds up the size of the records section; sizes the
// compressed blocks to come.
Result<void> measureRecords(Plan& p)
{
    const std::size_t n = p.languages;
    for (std::size_t i = 0; i < p.order.size(); ++i) {
        const PackageRecord& r = *p.order[i];
        switch (r.type) {
        case kRecordFile:
        case kRecordMultiLanguage: {
            const std::size_t k = r.type == kRecordFile ? 1 : n;
            if (r.sources.size() != k)
                return fail(SisError::BadArgument, at(r) + "the record needs " + std::to_string(k) + " source name(s)");
            if (r.fileType == kFileNull) {
                if (!r.contents.empty())
                    return fail(SisError::BadArgument, at(r) + "an FN file has no contents");
            } else if (r.contents.size() != k) {
                return fail(SisError::BadArgument,
                            at(r) + "the record needs contents for each of its " + std::to_string(k) + " file(s)");
            }
            for (const Bytes& c : r.contents)
                if (c.size() > kMaxFileSize)
                    return fail(SisError::TooLarge, at(r) + "the file is larger than 4 GiB");
            if (p.compress)
                p.packed[i].resize(r.contents.size());
            p.recordBytes += 36 + 12 * static_cast<std::uint64_t>(k);
            break;
        }
        case kRecordOptions:
            if (r.options.size() > kMaxOptions)
                return fail(SisError::TooLarge, at(r) + "an options line holds at most 128 options");
            for (const auto& names : r.options)
                if (names.size() != n)
                    return fail(SisError::BadArgument, at(r) + "each option needs one name per language");
            p.recordBytes += 8 + 8 * static_cast<std::uint64_t>(n) * r.options.size() + 16;
            break;
        case kRecordIf:
        case kRecordElseIf: {
            auto size = expressionSize(r.condition);
            if (!size)
                return fail(size.code(), at(r) + size.error());
            p.records[i].expressionSize = *size;
            p.recordBytes += 8 + *size;
            break;
        }
        case kRecordElse:
        case kRecordEndIf:
            p.recordBytes += 4;
            break;
        default:
            return fail(SisError::BadArgument, at(r) + "unknown record type " + std::to_string(r.type));
        }
    }
    return {};
}

// Section offsets, the string block and the data offsets, once the
// compressed sizes are known.
Result<void> layOut(Plan& p)
{
    const std::size_t n = p.languages;
    const PackageSpec& spec = p.spec;
    p.languagesAt = kHeaderSizeEr6;
    p.filesAt = p.languagesAt + 2 * n;
    p.requisitesAt = p.filesAt + p.recordBytes;
    p.capabilitiesAt = p.requisitesAt + spec.requisites.size() * (12 + 8 * static_cast<std::uint64_t>(n));
    p.componentNameAt = p.capabilitiesAt + 8 * static_cast<std::uint64_t>(spec.capabilities.size());

    // Strings in the order the SDK's makesis lays them out: each record's
    // strings in record order, then the requisite names, then the component
    // names. Condition records point into this block, so the order shows in
    // their bytes.
    StringBlock& strings = p.strings.emplace(p.componentNameAt + 8 * n);
    for (std::size_t i = 0; i < p.order.size(); ++i) {
        const PackageRecord& r = *p.order[i];
        RecordLayout& l = p.records[i];
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
    for (const Requisite& q : spec.requisites) {
        p.requisiteNames.emplace_back();
        for (const auto& name : q.names)
            p.requisiteNames.back().push_back(strings.add(name));
    }
    for (const auto& name : spec.names)
        p.componentNames.push_back(strings.add(name));

    if (strings.tooLong())
        return fail(SisError::TooLarge,
                    "a name or string is longer than " + std::to_string(kMaxStringUnits) + " characters");

    // File data.
    p.dataEnd = strings.end();
    for (std::size_t i = 0; i < p.order.size(); ++i) {
        const PackageRecord& r = *p.order[i];
        if (!isFileRecord(r))
            continue;
        const std::size_t k = r.type == kRecordFile ? 1 : n;
        for (std::size_t b = 0; b < k; ++b) {
            p.records[i].dataPointers.push_back(p.dataEnd);
            if (r.fileType != kFileNull)
                p.dataEnd += p.storedSize(i, b);
        }
    }
    if (p.dataEnd > kMaxFileSize)
        return fail(SisError::TooLarge, "the package would be larger than 4 GiB, more than the format can address");
    return {};
}

void writeHeader(ByteWriter& w, const Plan& p)
{
    const PackageSpec& spec = p.spec;
    w.u32(spec.uid);
    w.u32(kUid2Er6);
    w.u32(kUid3);
    w.u32(uidChecksum(spec.uid, kUid2Er6, kUid3));
    w.u16(0); // checksum, patched at the end
    w.u16(static_cast<std::uint16_t>(p.languages));
    w.u16(static_cast<std::uint16_t>(spec.records.size()));
    w.u16(static_cast<std::uint16_t>(spec.requisites.size()));
    w.u16(0); // installation language: set by the handset
    w.u16(0); // installation files: set by the handset
    w.u16(installationDrive(spec));
    w.u16(static_cast<std::uint16_t>(spec.capabilities.size()));
    w.u32(kInstallerVersionEr6);
    w.u16(static_cast<std::uint16_t>(spec.options | kOptionUnicode));
    w.u16(spec.type);
    w.u16(spec.major);
    w.u16(spec.minor);
    w.u32(spec.build);
    w.u32(u32(p.languagesAt));
    w.u32(u32(p.filesAt));
    w.u32(u32(p.requisitesAt));
    w.u32(0); // certificates: unsigned
    w.u32(u32(p.componentNameAt));
    w.u32(0); // signature: unsigned
    w.u32(u32(p.capabilitiesAt));
    w.u32(0); // installed space: set by the handset
    w.u32(maximumInstalledSpace(spec));
    w.fill(16, 0);
}

void writeRecord(ByteWriter& w, const Plan& p, std::size_t i)
{
    const PackageRecord& r = *p.order[i];
    const RecordLayout& l = p.records[i];
    const std::size_t n = p.languages;
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
        const bool empty = r.fileType == kFileNull;
        for (std::size_t b = 0; b < k; ++b)
            w.u32(empty ? 0 : u32(p.storedSize(i, b)));
        for (std::size_t b = 0; b < k; ++b)
            w.u32(u32(l.dataPointers[b]));
        for (std::size_t b = 0; b < k; ++b)
            w.u32(empty ? 0 : u32(r.contents[b].size()));
        w.u32(u32(l.mime.length));
        w.u32(u32(l.mime.pointer));
        break;
    }
    case kRecordOptions:
        w.u32(static_cast<std::uint32_t>(r.options.size()));
        for (std::size_t o = 0; o < r.options.size(); ++o) {
            for (std::size_t lang = 0; lang < n; ++lang)
                w.u32(u32(l.optionNames[o * n + lang].length));
            for (std::size_t lang = 0; lang < n; ++lang)
                w.u32(u32(l.optionNames[o * n + lang].pointer));
        }
        w.fill(16, 0xFF); // every option selected until the user chooses
        break;
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

// Requisites, capabilities and the component name: the sections between the
// records and the strings.
void writeTrailingSections(ByteWriter& w, const Plan& p)
{
    const PackageSpec& spec = p.spec;
    for (std::size_t q = 0; q < spec.requisites.size(); ++q) {
        const Requisite& req = spec.requisites[q];
        w.u32(req.uid);
        w.u16(req.major);
        w.u16(req.minor);
        w.u32(req.variant);
        for (const StringRef& s : p.requisiteNames[q])
            w.u32(u32(s.length));
        for (const StringRef& s : p.requisiteNames[q])
            w.u32(u32(s.pointer));
    }
    for (const Capability& c : spec.capabilities) {
        w.u32(c.key);
        w.u32(c.value);
    }
    for (const StringRef& s : p.componentNames)
        w.u32(u32(s.length));
    for (const StringRef& s : p.componentNames)
        w.u32(u32(s.pointer));
}

void writeData(ByteWriter& w, const Plan& p)
{
    for (std::size_t i = 0; i < p.order.size(); ++i) {
        const PackageRecord& r = *p.order[i];
        if (!isFileRecord(r) || r.fileType == kFileNull)
            continue;
        for (const Bytes& b : p.compress ? p.packed[i] : r.contents)
            w.bytes(b);
    }
}

} // namespace

Result<Bytes> writeSis(const PackageSpec& spec)
{
    if (auto valid = validate(spec); !valid)
        return fail(valid.code(), valid.error());

    Plan p(spec);
    // Records in the order they are written: the installer walks them from
    // the last to the first, so the file holds them reversed.
    p.order.reserve(spec.records.size());
    for (auto it = spec.records.rbegin(); it != spec.records.rend(); ++it)
        p.order.push_back(&*it);
    p.packed.resize(p.order.size());
    p.records.resize(p.order.size());

    if (auto measured = measureRecords(p); !measured)
        return fail(measured.code(), measured.error());
    // Compressed data first: its sizes decide the data offsets.
    if (p.compress)
        if (auto done = compressAll(p.order, p.packed); !done)
            return fail(done.code(), done.error());
    if (auto laid = layOut(p); !laid)
        return fail(laid.code(), laid.error());

    Bytes out;
    out.reserve(static_cast<std::size_t>(p.dataEnd));
    ByteWriter w(out);
    writeHeader(w, p);
    for (const std::uint16_t lang : spec.languages)
        w.u16(lang);
    for (std::size_t i = 0; i < p.order.size(); ++i)
        writeRecord(w, p, i);
    writeTrailingSections(w, p);
    w.bytes(p.strings->bytes());
    writeData(w, p);

    if (out.size() != p.dataEnd)
        return fail(SisError::Internal, "internal error: the package layout does not add up");

    // The checksum covers every byte but its own two.
    std::uint16_t crc = crc16(ByteSpan(out).first(16));
    crc = crc16(ByteSpan(out).subspan(18), crc);
    out[16] = static_cast<std::uint8_t>(crc & 0xFF);
    out[17] = static_cast<std::uint8_t>(crc >> 8);
    return out;
}

} // namespace kastra::sis
