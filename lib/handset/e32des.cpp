#include "handset/e32des.h"

#include "handset/errors.h"

#include <array>

namespace kastra::e32 {

namespace {

// SCSU tags and windows (UTS #6).
constexpr std::uint8_t SQ0 = 0x01;   // ..SQ7 = 0x08: quote one byte from window n
constexpr std::uint8_t SDX = 0x0B;   // define an extended window
constexpr std::uint8_t SQU = 0x0E;   // quote one UTF-16 unit
constexpr std::uint8_t SCU = 0x0F;   // change to Unicode mode
constexpr std::uint8_t SC0 = 0x10;   // ..SC7 = 0x17: change to dynamic window n
constexpr std::uint8_t SD0 = 0x18;   // ..SD7 = 0x1F: define dynamic window n and change to it
constexpr std::uint8_t UC0 = 0xE0;   // ..UC7: change to window n, single-byte mode
constexpr std::uint8_t UD0 = 0xE8;   // ..UD7: define window n, single-byte mode
constexpr std::uint8_t UQU = 0xF0;   // quote one UTF-16 unit in Unicode mode
constexpr std::uint8_t UDX = 0xF1;   // define an extended window, single-byte mode

constexpr std::array<std::uint32_t, 8> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300,
                                                         0x2000, 0x2080, 0x2100, 0x3000};
constexpr std::array<std::uint32_t, 8> kDefaultDynamicWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                                 0x0900, 0x3040, 0x30A0, 0xFF00};

// The window offset that a window-definition byte names; 0 for the reserved
// values.
std::uint32_t windowOffset(std::uint8_t x)
{
    if (x >= 0x01 && x <= 0x67)
        return std::uint32_t{x} * 0x80;
    if (x >= 0x68 && x <= 0xA7)
        return std::uint32_t{x} * 0x80 + 0xAC00;
    switch (x) {
    case 0xF9: return 0x00C0;
    case 0xFA: return 0x0250;
    case 0xFB: return 0x0370;
    case 0xFC: return 0x0530;
    case 0xFD: return 0x3040;
    case 0xFE: return 0x30A0;
    case 0xFF: return 0xFF60;
    default: return 0;
    }
}

bool plainSingleByte(char16_t c)
{
    return (c >= 0x20 && c <= 0x7F) || c == 0x00 || c == 0x09 || c == 0x0A || c == 0x0D;
}

void appendCodePoint(std::u16string& out, std::uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

Error ended() { return fail(HandsetError::Truncated, "compressed text ends early"); }
Error reservedTag() { return fail(HandsetError::Damaged, "compressed text uses a reserved tag"); }

// The state of an SCSU decoder: the dynamic windows, the active one and the
// mode. It reads any bytes that follow a tag from the reader and appends the
// text to out.
class ScsuDecoder {
public:
    ScsuDecoder(ByteReader& in, std::u16string& out) : m_in(in), m_out(out) {}

    // Decodes the byte b and whatever follows it as its arguments.
    Result<void> step(std::uint8_t b) { return m_unicodeMode ? unicodeByte(b) : singleByte(b); }
    // Set when the last window defined is one the scheme reserves.
    bool reserved() const { return m_reserved; }

private:
    // The three things both modes can do, with their own tag bytes: quote one
    // UTF-16 unit, define a dynamic window (one byte of offset) and define an
    // extended window (two bytes). Each returns false at the end of input and
    // sets m_reserved when a window byte is one the scheme reserves.
    bool quoteUnit()
    {
        std::uint8_t hi = 0;
        std::uint8_t lo = 0;
        if (!m_in.u8(hi) || !m_in.u8(lo))
            return false;
        m_out += static_cast<char16_t>((hi << 8) | lo);
        return true;
    }
    bool defineWindow(unsigned window)
    {
        std::uint8_t x = 0;
        if (!m_in.u8(x))
            return false;
        const std::uint32_t off = windowOffset(x);
        m_reserved = off == 0;
        m_active = window;
        m_dynamic[m_active] = off;
        return true;
    }
    bool defineExtended()
    {
        std::uint8_t hi = 0;
        std::uint8_t lo = 0;
        if (!m_in.u8(hi) || !m_in.u8(lo))
            return false;
        m_active = hi >> 5;
        m_dynamic[m_active] = 0x10000 + ((std::uint32_t{hi & 0x1Fu} << 8) | lo) * 0x80;
        return true;
    }

    Result<void> unicodeByte(std::uint8_t b);
    Result<void> singleByte(std::uint8_t b);

    ByteReader& m_in;
    std::u16string& m_out;
    std::array<std::uint32_t, 8> m_dynamic = kDefaultDynamicWindows;
    unsigned m_active = 0;
    bool m_unicodeMode = false;
    bool m_reserved = false;
};

// Unicode mode: a tag byte, or the high byte of a UTF-16 unit.
Result<void> ScsuDecoder::unicodeByte(std::uint8_t b)
{
    if (b >= UC0 && b <= UC0 + 7) {
        m_active = b - UC0;
        m_unicodeMode = false;
    } else if (b >= UD0 && b <= UD0 + 7) {
        if (!defineWindow(b - UD0))
            return ended();
        m_unicodeMode = false;
    } else if (b == UQU) {
        if (!quoteUnit())
            return ended();
    } else if (b == UDX) {
        if (!defineExtended())
            return ended();
        m_unicodeMode = false;
    } else if (b == 0xF2) {
        return reservedTag();
    } else {
        std::uint8_t lo = 0;
        if (!m_in.u8(lo))
            return ended();
        m_out += static_cast<char16_t>((b << 8) | lo);
    }
    return {};
}

// Single-byte mode: a character of a static or the active window, or a tag.
Result<void> ScsuDecoder::singleByte(std::uint8_t b)
{
    if (b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b <= 0x7F)) {
        m_out += static_cast<char16_t>(b);
    } else if (b >= 0x80) {
        appendCodePoint(m_out, m_dynamic[m_active] + (b - 0x80u));
    } else if (b >= SQ0 && b <= SQ0 + 7) {
        std::uint8_t q = 0;
        if (!m_in.u8(q))
            return ended();
        const unsigned window = b - SQ0;
        appendCodePoint(m_out, q < 0x80 ? kStaticWindows[window] + q : m_dynamic[window] + (q - 0x80u));
    } else if (b == SDX) {
        if (!defineExtended())
            return ended();
    } else if (b == SQU) {
        if (!quoteUnit())
            return ended();
    } else if (b == SCU) {
        m_unicodeMode = true;
    } else if (b >= SC0 && b <= SC0 + 7) {
        m_active = b - SC0;
    } else if (b >= SD0 && b <= SD0 + 7) {
        if (!defineWindow(b - SD0))
            return ended();
    } else {
        return reservedTag();
    }
    return {};
}

} // namespace

void writeCardinality(ByteWriter& out, std::uint32_t value)
{
    if (value < 0x80) {
        out.u8(static_cast<std::uint8_t>(value << 1));
    } else if (value < 0x4000) {
        out.u16(static_cast<std::uint16_t>((value << 2) | 1));
    } else {
        out.u32((value << 3) | 3);
    }
}

Result<std::uint32_t> readCardinality(ByteReader& in)
{
    std::uint8_t first = 0;
    if (!in.u8(first))
        return fail(HandsetError::Truncated, "count ends early");
    if ((first & 1) == 0)
        return std::uint32_t{first} >> 1;
    std::uint8_t second = 0;
    if ((first & 2) == 0) {
        if (!in.u8(second))
            return fail(HandsetError::Truncated, "count ends early");
        return (std::uint32_t{first} | (std::uint32_t{second} << 8)) >> 2;
    }
    std::uint8_t rest[3] = {0, 0, 0};
    if (!in.u8(rest[0]) || !in.u8(rest[1]) || !in.u8(rest[2]))
        return fail(HandsetError::Truncated, "count ends early");
    const std::uint32_t v = std::uint32_t{first} | (std::uint32_t{rest[0]} << 8) | (std::uint32_t{rest[1]} << 16)
        | (std::uint32_t{rest[2]} << 24);
    return v >> 3;
}

Bytes scsuEncode(std::u16string_view text)
{
    Bytes out;
    bool ascii = true;
    for (const char16_t c : text)
        ascii = ascii && plainSingleByte(c);
    if (ascii) {
        for (const char16_t c : text)
            out.push_back(static_cast<std::uint8_t>(c));
        return out;
    }
    out.push_back(SCU);
    for (const char16_t c : text) {
        const auto hi = static_cast<std::uint8_t>(c >> 8);
        if (hi >= UC0 && hi <= 0xF2)
            out.push_back(UQU);
        out.push_back(hi);
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    }
    return out;
}

Result<std::u16string> scsuDecode(ByteReader& in, std::size_t units)
{
    std::u16string out;
    ScsuDecoder decoder(in, out);
    while (out.size() < units) {
        std::uint8_t b = 0;
        if (!in.u8(b))
            return ended();
        if (auto r = decoder.step(b); !r)
            return fail(r.code(), r.error());
        if (decoder.reserved())
            return fail(HandsetError::Damaged, "compressed text defines a reserved window");
    }
    // A supplementary character may overshoot by one unit; that is a
    // malformed descriptor, not text to keep.
    if (out.size() != units)
        return fail(HandsetError::Damaged, "compressed text does not match its length");
    return out;
}

Result<void> writeDes16(ByteWriter& out, std::u16string_view text)
{
    if (text.size() > (KMaxCardinality >> 1))
        return fail(HandsetError::TooLarge, "text too long for a descriptor");
    writeCardinality(out, static_cast<std::uint32_t>(text.size() << 1));
    out.bytes(scsuEncode(text));
    return {};
}

Result<std::u16string> readDes16(ByteReader& in, std::size_t maxLength)
{
    auto header = readCardinality(in);
    if (!header)
        return fail(header.code(), "text: " + header.error());
    const std::size_t length = *header >> 1;
    if (length > maxLength)
        return fail(HandsetError::TooLarge,
                    "text of " + std::to_string(length) + " characters is longer than the " + std::to_string(maxLength)
                        + " allowed");
    if (*header & 1) {
        ByteSpan raw;
        if (!in.bytes(length, raw))
            return fail(HandsetError::Truncated, "text ends early");
        std::u16string out;
        out.reserve(length);
        for (const std::uint8_t b : raw)
            out += static_cast<char16_t>(b);
        return out;
    }
    // Every unit takes at least one byte, so the length is bounded by what
    // remains before anything is built.
    if (length > in.remaining())
        return fail(HandsetError::Truncated, "text ends early");
    return scsuDecode(in, length);
}

} // namespace kastra::e32
