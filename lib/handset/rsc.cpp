#include "handset/rsc.h"

#include "handset/errors.h"

namespace kastra::rsc {

void ResourceBuilder::byte(std::uint8_t v)
{
    m_bytes.push_back(v);
}

void ResourceBuilder::word(std::uint16_t v)
{
    ByteWriter(m_bytes).u16(v);
}

void ResourceBuilder::dword(std::uint32_t v)
{
    ByteWriter(m_bytes).u32(v);
}

void ResourceBuilder::alignTo2()
{
    if (m_bytes.size() % 2 != 0)
        m_bytes.push_back(KPaddingByte);
}

void ResourceBuilder::units(std::u16string_view text)
{
    ByteWriter w(m_bytes);
    for (const char16_t c : text)
        w.u16(c);
}

void ResourceBuilder::ltext(std::u16string_view text)
{
    if (text.size() > KMaxLtext) {
        if (m_error.empty())
            m_error = "LTEXT of " + std::to_string(text.size()) + " characters at offset "
                + std::to_string(m_bytes.size()) + " is longer than 255";
        return;
    }
    m_bytes.push_back(static_cast<std::uint8_t>(text.size()));
    if (text.empty())
        return;
    alignTo2();
    units(text);
}

void ResourceBuilder::text(std::u16string_view text)
{
    alignTo2();
    units(text);
    word(0);
}

void ResourceBuilder::buf(std::u16string_view text)
{
    alignTo2();
    units(text);
}

Result<Bytes> ResourceBuilder::finish() const
{
    if (!m_error.empty())
        return fail(HandsetError::TooLarge, m_error);
    return m_bytes;
}

Result<Bytes> writeResourceFile(const std::vector<Bytes>& resources)
{
    std::size_t total = 4;
    for (const Bytes& r : resources)
        total += r.size();
    const std::size_t indexBytes = 2 * (resources.size() + 1);
    // The index offset and every entry are 16-bit; so is the length word.
    if (total > 0xFFFF || indexBytes + 1 > 0xFFFF)
        return fail(HandsetError::TooLarge,
                    "resource file too large for 16-bit offsets (" + std::to_string(total + indexBytes) + " bytes)");

    Bytes out;
    out.reserve(total + indexBytes);
    ByteWriter w(out);
    w.u16(static_cast<std::uint16_t>(total));
    w.u16(static_cast<std::uint16_t>(indexBytes + 1));
    std::vector<std::uint16_t> offsets;
    for (const Bytes& r : resources) {
        offsets.push_back(static_cast<std::uint16_t>(out.size()));
        w.bytes(r);
    }
    offsets.push_back(static_cast<std::uint16_t>(out.size()));
    for (const std::uint16_t o : offsets)
        w.u16(o);
    return out;
}

Result<std::vector<ByteSpan>> readResourceFile(ByteSpan file)
{
    ByteReader in(file);
    std::uint16_t indexOffset = 0;
    std::uint16_t indexLength = 0;
    if (!in.u16(indexOffset) || !in.u16(indexLength))
        return fail(HandsetError::Truncated,
                    "resource file too short for its header (" + std::to_string(file.size()) + " bytes)");
    // Files of the 8-bit era give the exact index length, later ones add 1;
    // either way the index holds indexLength / 2 entries.
    const std::size_t entries = indexLength / 2;
    if (entries == 0)
        return fail(HandsetError::Damaged, "resource index is empty (length word " + std::to_string(indexLength) + ")");
    if (indexOffset < 4)
        return fail(HandsetError::Damaged,
                    "resource index offset " + std::to_string(indexOffset) + " lies inside the header");
    if (std::size_t{indexOffset} + 2 * entries != file.size())
        return fail(HandsetError::Damaged,
                    "resource index (offset " + std::to_string(indexOffset) + ", " + std::to_string(entries)
                        + " entries) does not end the " + std::to_string(file.size()) + "-byte file");

    std::vector<std::uint16_t> offsets(entries);
    in.seek(indexOffset);
    for (std::uint16_t& o : offsets)
        in.u16(o);   // cannot fail: the index was checked to fit
    if (offsets.front() != 4)
        return fail(HandsetError::Damaged,
                    "first resource starts at " + std::to_string(offsets.front()) + ", not right after the header");
    if (offsets.back() != indexOffset)
        return fail(HandsetError::Damaged,
                    "last index entry " + std::to_string(offsets.back()) + " is not the index offset "
                        + std::to_string(indexOffset));
    std::vector<ByteSpan> resources;
    resources.reserve(entries - 1);
    for (std::size_t i = 0; i + 1 < entries; ++i) {
        if (offsets[i + 1] < offsets[i])
            return fail(HandsetError::Damaged, "resource " + std::to_string(i + 1) + " ends before it starts");
        resources.push_back(file.subspan(offsets[i], offsets[i + 1] - offsets[i]));
    }
    return resources;
}

Result<std::uint8_t> FieldReader::byte()
{
    std::uint8_t v = 0;
    if (!m_in.u8(v))
        return fail(HandsetError::Truncated, "resource ends inside a BYTE");
    return v;
}

Result<std::uint16_t> FieldReader::word()
{
    std::uint16_t v = 0;
    if (!m_in.u16(v))
        return fail(HandsetError::Truncated, "resource ends inside a WORD");
    return v;
}

Result<std::uint32_t> FieldReader::dword()
{
    std::uint32_t v = 0;
    if (!m_in.u32(v))
        return fail(HandsetError::Truncated, "resource ends inside a LONG");
    return v;
}

Result<void> FieldReader::skipPadding()
{
    if (m_in.pos() % 2 == 0)
        return {};
    std::uint8_t pad = 0;
    if (!m_in.u8(pad))
        return fail(HandsetError::Truncated, "resource ends before 16-bit text");
    // The compiler always writes 0xAB; anything else means the reader and
    // the file disagree about where the field starts.
    if (pad != KPaddingByte)
        return fail(HandsetError::Damaged, "padding byte before 16-bit text is " + std::to_string(pad) + ", not 0xAB");
    return {};
}

Result<std::u16string> FieldReader::units(std::size_t count)
{
    if (m_in.remaining() / 2 < count)
        return fail(HandsetError::Truncated, "resource ends inside 16-bit text");
    std::u16string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint16_t u = 0;
        m_in.u16(u);
        out += static_cast<char16_t>(u);
    }
    return out;
}

Result<std::u16string> FieldReader::ltext()
{
    std::uint8_t count = 0;
    if (!m_in.u8(count))
        return fail(HandsetError::Truncated, "resource ends before an LTEXT");
    if (count == 0)
        return std::u16string();
    if (auto pad = skipPadding(); !pad)
        return fail(pad.code(), pad.error());
    return units(count);
}

Result<std::u16string> FieldReader::text()
{
    if (auto pad = skipPadding(); !pad)
        return fail(pad.code(), pad.error());
    std::u16string out;
    for (;;) {
        std::uint16_t u = 0;
        if (!m_in.u16(u))
            return fail(HandsetError::Truncated, "TEXT has no terminator before the end of the resource");
        if (u == 0)
            return out;
        out += static_cast<char16_t>(u);
    }
}

Result<std::u16string> FieldReader::bufToEnd()
{
    if (auto pad = skipPadding(); !pad)
        return fail(pad.code(), pad.error());
    if (m_in.remaining() % 2 != 0)
        return fail(HandsetError::Damaged, "BUF at the end of the resource has an odd number of bytes");
    return units(m_in.remaining() / 2);
}

Result<Bytes> writeCaptionFile(const Caption& caption)
{
    ResourceBuilder r;
    r.ltext(caption.caption);
    r.ltext(caption.shortCaption);
    auto bytes = r.finish();
    if (!bytes)
        return fail(bytes.code(), "caption file: " + bytes.error());
    return writeResourceFile({*bytes});
}

Result<Caption> readCaptionFile(ByteSpan file)
{
    auto resources = readResourceFile(file);
    if (!resources)
        return fail(resources.code(), resources.error());
    if (resources->size() != 1)
        return fail(HandsetError::WrongFormat,
                    "caption file holds " + std::to_string(resources->size()) + " resources, not 1");
    FieldReader fields(resources->front());
    auto caption = fields.ltext();
    if (!caption)
        return fail(caption.code(), "caption: " + caption.error());
    auto shortCaption = fields.ltext();
    if (!shortCaption)
        return fail(shortCaption.code(), "short caption: " + shortCaption.error());
    if (!fields.atEnd())
        return fail(HandsetError::Damaged,
                    "caption resource has " + std::to_string(fields.remaining()) + " bytes after its two texts");
    return Caption{std::move(*caption), std::move(*shortCaption)};
}

} // namespace kastra::rsc
