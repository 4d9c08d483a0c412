#pragma once
// Little-endian byte reading and writing. Every value is assembled from single
// bytes, never read through a cast pointer, and every read checks what remains
// first, so a short or hostile buffer can only make a read fail.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kastra {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

inline std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A bounded cursor over a byte span. Reads return false (and leave the output
// untouched) when fewer bytes remain than asked for; the position never moves
// past the end.
class ByteReader {
public:
    explicit ByteReader(ByteSpan data, std::size_t pos = 0)
        : m_data(data), m_pos(pos <= data.size() ? pos : data.size()) {}

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    ByteSpan data() const { return m_data; }

    bool seek(std::size_t pos)
    {
        if (pos > m_data.size())
            return false;
        m_pos = pos;
        return true;
    }
    bool skip(std::size_t n)
    {
        if (remaining() < n)
            return false;
        m_pos += n;
        return true;
    }
    bool u8(std::uint8_t& out)
    {
        if (remaining() < 1)
            return false;
        out = m_data[m_pos++];
        return true;
    }
    bool u16(std::uint16_t& out)
    {
        if (remaining() < 2)
            return false;
        out = le16(m_data.data() + m_pos);
        m_pos += 2;
        return true;
    }
    bool u32(std::uint32_t& out)
    {
        if (remaining() < 4)
            return false;
        out = le32(m_data.data() + m_pos);
        m_pos += 4;
        return true;
    }
    bool i32(std::int32_t& out)
    {
        std::uint32_t v = 0;
        if (!u32(v))
            return false;
        out = static_cast<std::int32_t>(v);
        return true;
    }
    // A view of the next n bytes; advances past them.
    bool bytes(std::size_t n, ByteSpan& out)
    {
        if (remaining() < n)
            return false;
        out = m_data.subspan(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    ByteSpan m_data;
    std::size_t m_pos;
};

// Appends little-endian values to a byte vector.
class ByteWriter {
public:
    explicit ByteWriter(Bytes& out) : m_out(out) {}

    std::size_t pos() const { return m_out.size(); }
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v)
    {
        m_out.push_back(static_cast<std::uint8_t>(v));
        m_out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void bytes(ByteSpan v) { m_out.insert(m_out.end(), v.begin(), v.end()); }
    void fill(std::size_t n, std::uint8_t v) { m_out.insert(m_out.end(), n, v); }
    // Overwrites a 32-bit value written earlier (for offsets known only later).
    void patch32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }

private:
    Bytes& m_out;
};

} // namespace kastra
