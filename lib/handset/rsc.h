#pragma once
// Compiled resource files of Symbian OS 6 (.rsc, .r01, .r16 ...) in the
// layout that the resource compiler writes for Unicode builds of that
// release, which is what a Series 60 handset of the first generation reads:
//
//   offset 0  u16  file offset of the index (= end of the last resource)
//   offset 2  u16  index length in bytes + 1 (2 * (N + 1) + 1; the odd value
//                  marks 16-bit text aligned inside each resource)
//   offset 4  resource 1 ... resource N, packed without gaps
//   index     N + 1 u16 offsets: the start of each resource, then the index
//             offset itself
//
// There are no UIDs, and offsets are 16-bit, so a file stays below 64 KiB.
// Resource k has the id k (1-based).
//
// Inside a resource, fields follow each other without alignment except that
// 16-bit text is aligned to 2 bytes relative to the start of the resource:
//   BYTE, WORD, LONG   1, 2, 4 bytes little-endian (LINK 2, LLINK/SRLINK 4)
//   LTEXT              a count byte (at most 255 units); when the count is
//                      not 0 and the position is odd, one padding byte 0xAB;
//                      then the units in UTF-16LE. An empty LTEXT is one 0.
//   TEXT               padding to even, the units, a 0x0000 terminator
//   BUF                padding to even, the units (length given by context)
//
// The caption file of a Series 60 application (<app>_caption.rsc and its
// language variants) holds one resource: the caption and the short caption,
// each an LTEXT.

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kastra::rsc {

inline constexpr std::uint8_t KPaddingByte = 0xAB;
inline constexpr std::size_t KMaxLtext = 255;

// Lays out the fields of one resource.
class ResourceBuilder {
public:
    void byte(std::uint8_t v);
    void word(std::uint16_t v);
    void dword(std::uint32_t v);   // LONG, LLINK, SRLINK
    // LTEXT; text longer than KMaxLtext makes finish() fail.
    void ltext(std::u16string_view text);
    void text(std::u16string_view text);
    void buf(std::u16string_view text);

    std::size_t size() const { return m_bytes.size(); }
    // The resource's bytes, or the first field that could not be laid out.
    Result<Bytes> finish() const;

private:
    void alignTo2();
    void units(std::u16string_view text);

    Bytes m_bytes;
    std::string m_error;
};

// Builds the file from the resources in id order. Fails when the file would
// not fit the 16-bit offsets.
Result<Bytes> writeResourceFile(const std::vector<Bytes>& resources);

// Splits a file into its resources (each a view into file). Fails with a
// message for a file that is too short, an index that does not end the file,
// or offsets that run backwards or outside the resource area.
Result<std::vector<ByteSpan>> readResourceFile(ByteSpan file);

// Reads the fields of one resource in order, with the same alignment rule.
class FieldReader {
public:
    explicit FieldReader(ByteSpan resource) : m_in(resource) {}

    Result<std::uint8_t> byte();
    Result<std::uint16_t> word();
    Result<std::uint32_t> dword();
    Result<std::u16string> ltext();
    Result<std::u16string> text();
    // A BUF that runs to the end of the resource.
    Result<std::u16string> bufToEnd();

    std::size_t remaining() const { return m_in.remaining(); }
    bool atEnd() const { return m_in.remaining() == 0; }

private:
    Result<void> skipPadding();
    Result<std::u16string> units(std::size_t count);

    ByteReader m_in;
};

struct Caption {
    std::u16string caption;
    std::u16string shortCaption;
    friend bool operator==(const Caption&, const Caption&) = default;
};

Result<Bytes> writeCaptionFile(const Caption& caption);
// Exactly one resource holding exactly two LTEXT fields.
Result<Caption> readCaptionFile(ByteSpan file);

} // namespace kastra::rsc
