#include "sis/pkg_text.h"

#include "base/utf.h"

#include "base/cp1251.h"
#include "sis/errors.h"

#include <array>

namespace kastra::sis {

namespace {

std::size_t lineAt(ByteSpan bytes, std::size_t offset)
{
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < bytes.size(); ++i)
        if (bytes[i] == '\n')
            ++line;
    return line;
}

std::size_t lineAt16(ByteSpan bytes, std::size_t offset, bool bigEndian)
{
    std::size_t line = 1;
    for (std::size_t i = 0; i + 2 <= offset && i + 2 <= bytes.size(); i += 2) {
        const std::uint8_t lo = bigEndian ? bytes[i + 1] : bytes[i];
        const std::uint8_t hi = bigEndian ? bytes[i] : bytes[i + 1];
        if (lo == '\n' && hi == 0)
            ++line;
    }
    return line;
}

Result<DecodedText> decodeUtf16(ByteSpan bytes, bool bigEndian)
{
    DecodedText out;
    out.encoding = bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
    if (bytes.size() % 2 != 0)
        return fail(SisError::Syntax,
                    "line " + std::to_string(lineAt16(bytes, bytes.size(), bigEndian))
                        + ": the file ends in the middle of a UTF-16 character");
    out.text.reserve(bytes.size() / 2);
    auto unitAt = [&](std::size_t i) {
        return bigEndian ? static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1])
                         : static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    };
    for (std::size_t i = 2; i < bytes.size(); i += 2) {
        const char16_t u = unitAt(i);
        if (u >= 0xD800 && u <= 0xDBFF && bytes.size() - i >= 4) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.text += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        out.text += u;
    }
    return out;
}

} // namespace

Result<DecodedText> decodeText(ByteSpan bytes, TextEncoding marklessAs)
{
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return decodeUtf16(bytes, false);
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return decodeUtf16(bytes, true);

    DecodedText out;
    const bool bom = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    const ByteSpan body = bytes.subspan(bom ? 3 : 0);
    if (bom || marklessAs == TextEncoding::Utf8) {
        out.encoding = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
        out.text.reserve(body.size());
        char32_t cp = 0;
        for (std::size_t i = 0; i < body.size();) {
            const std::size_t len = utf8Sequence(body, i, cp);
            if (len == 0)
                return fail(
                    SisError::Syntax,
                    "line " + std::to_string(lineAt(body, i))
                        + (bom ? ": the file starts with a UTF-8 byte-order mark but holds bytes that are not UTF-8"
                               : ": the file is read as UTF-8 (--utf8) but holds bytes that are not UTF-8"));
            out.text += cp;
            i += len;
        }
        return out;
    }
    out.encoding = TextEncoding::Windows1251;
    out.text.reserve(body.size());
    for (const std::uint8_t b : body)
        out.text += cp1251::toUnicode(b);
    return out;
}

std::u16string toUtf16(std::u32string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char32_t cp : text) {
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else if (cp > 0x10FFFF) {
            out += u'\uFFFD';
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::u16string windows1252ToUtf16(ByteSpan bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to
    // themselves as Windows does.
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::u16string out;
    out.reserve(bytes.size());
    for (const std::uint8_t b : bytes)
        out += (b >= 0x80 && b <= 0x9F) ? kHigh[b - 0x80u] : static_cast<char16_t>(b);
    return out;
}

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F))
            c = static_cast<char16_t>(c + 0x20); // ASCII, Latin-1, А..Я
        else if (c >= 0x400 && c <= 0x40F)
            c = static_cast<char16_t>(c + 0x50); // Ѐ..Џ
    }
    return out;
}

Bytes utf16LeBytes(std::u16string_view text)
{
    Bytes out;
    out.reserve(text.size() * 2);
    for (const char16_t u : text) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

} // namespace kastra::sis
