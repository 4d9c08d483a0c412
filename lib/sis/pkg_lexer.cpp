// The package-script lexer: words, punctuation, strings with character
// codes, comments and line counting, and the helpers that take one token of
// an expected kind.

#include "sis/pkg_script.h"

#include "base/utf.h"

namespace kastra::sis::script {

bool isWordChar(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isSpace(char32_t c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == 0xFEFF
        || c == 0xA0;
}

char32_t upper(char32_t c)
{
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

bool wordIs(const Token& t, std::string_view w)
{
    if (t.kind != Tok::Word || t.text.size() != w.size())
        return false;
    for (std::size_t i = 0; i < w.size(); ++i)
        if (upper(t.text[i]) != static_cast<char32_t>(upper(static_cast<unsigned char>(w[i]))))
            return false;
    return true;
}

bool punctIs(const Token& t, std::u32string_view p)
{
    return t.kind == Tok::Punct && t.text == p;
}

std::string asciiOf(std::u32string_view w)
{
    std::string s;
    for (const char32_t c : w)
        s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
}

std::string quoted(std::string_view text, char quote, bool cut)
{
    std::string out;
    out.reserve(text.size() + 5);
    out.push_back(quote);
    out.append(text);
    if (cut)
        out.append("...");
    out.push_back(quote);
    return out;
}

std::string describe(const Token& t)
{
    switch (t.kind) {
    case Tok::End:
        return "the end of the script";
    case Tok::String: {
        std::string s = "the string ";
        s.append(quoted(toUtf8(toUtf16(t.text.substr(0, 40))), '"', t.text.size() > 40));
        return s;
    }
    case Tok::Word:
    case Tok::Punct:
        return quoted(asciiOf(t.text), '\'');
    }
    return {};
}

// Reads a number as the SDK's makesis does: hexadecimal after 0x, otherwise
// decimal, leading zeros included, so "01000000" is one million (0x000F4240),
// not 0x01000000. Fails on anything else, above max, or a decimal number above
// kMaxDecimal.
bool parseNumber(std::u32string_view w, std::uint64_t max, std::uint64_t& out)
{
    const bool hex = w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X');
    if (hex)
        w.remove_prefix(2);
    if (w.empty())
        return false;
    std::uint64_t v = 0;
    for (const char32_t c0 : w) {
        const char32_t c = upper(c0);
        unsigned d = 0;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + d;
        if (v > 0xFFFFFFFFu)
            return false;
    }
    if ((!hex && v > kMaxDecimal) || v > max)
        return false;
    out = v;
    return true;
}

bool startsNumber(const Token& t)
{
    return t.kind == Tok::Word && !t.text.empty() && t.text[0] >= '0' && t.text[0] <= '9';
}

void Parser::newline(std::size_t& i)
{
    // CR LF, LF and a lone CR each end one line.
    if (m_s[i] == '\r' && i + 1 < m_s.size() && m_s[i + 1] == '\n')
        ++i;
    ++m_line;
}

std::size_t Parser::charCodeAt(std::size_t i, std::uint64_t& value, bool& valid) const
{
    if (i >= m_s.size() || m_s[i] != '<')
        return 0;
    std::size_t j = i + 1;
    while (j < m_s.size() && isWordChar(m_s[j]))
        ++j;
    if (j == i + 1 || j >= m_s.size() || m_s[j] != '>')
        return 0;
    const std::u32string_view digits = m_s.substr(i + 1, j - i - 1);
    if (digits[0] < '0' || digits[0] > '9')
        return 0;
    valid = parseNumber(digits, 0xFFFF, value) && value != 0;
    return j - i + 1;
}

bool Parser::advance()
{
    m_lastLine = m_tok.line;
    for (;;) {
        while (m_pos < m_s.size() && isSpace(m_s[m_pos])) {
            if (m_s[m_pos] == '\n' || m_s[m_pos] == '\r')
                newline(m_pos);
            ++m_pos;
        }
        if (m_pos < m_s.size() && m_s[m_pos] == ';') {
            while (m_pos < m_s.size() && m_s[m_pos] != '\n' && m_s[m_pos] != '\r')
                ++m_pos;
            continue;
        }
        break;
    }
    m_tok = Token{};
    m_tok.line = m_line;
    if (m_pos >= m_s.size())
        return true;

    const char32_t c = m_s[m_pos];
    std::uint64_t code = 0;
    bool codeValid = false;
    if (c == '"' || charCodeAt(m_pos, code, codeValid) != 0) {
        // Quoted pieces and character codes written next to each other
        // make one string: "MyApp"<153> is "MyApp" followed by U+0099.
        m_tok.kind = Tok::String;
        for (;;) {
            if (m_pos < m_s.size() && m_s[m_pos] == '"') {
                const std::size_t start = ++m_pos;
                while (m_pos < m_s.size() && m_s[m_pos] != '"' && m_s[m_pos] != '\n' && m_s[m_pos] != '\r')
                    ++m_pos;
                if (m_pos >= m_s.size() || m_s[m_pos] != '"')
                    return error(where(m_tok), "the string is not closed before the end of the line");
                m_tok.text.append(m_s.substr(start, m_pos - start));
                ++m_pos;
                continue;
            }
            codeValid = false;
            const std::size_t len = charCodeAt(m_pos, code, codeValid);
            if (len == 0)
                break;
            if (!codeValid)
                return error(m_line, "the character code " + asciiOf(m_s.substr(m_pos, len))
                                         + " is not a number from 1 to 65535");
            m_tok.text += static_cast<char32_t>(code);
            m_pos += len;
        }
        return true;
    }
    if (isWordChar(c)) {
        const std::size_t start = m_pos;
        while (m_pos < m_s.size() && isWordChar(m_s[m_pos]))
            ++m_pos;
        m_tok.kind = Tok::Word;
        m_tok.text = m_s.substr(start, m_pos - start);
        return true;
    }
    static constexpr std::u32string_view kTwo[] = {U"<>", U"<=", U">="};
    for (const auto& two : kTwo) {
        if (m_s.substr(m_pos, 2) == two) {
            m_tok.kind = Tok::Punct;
            m_tok.text = two;
            m_pos += 2;
            return true;
        }
    }
    static constexpr std::u32string_view kOne = U"&#{}(),-@*!=<>[]%:+$";
    if (kOne.find(c) != std::u32string_view::npos) {
        m_tok.kind = Tok::Punct;
        m_tok.text = std::u32string(1, c);
        ++m_pos;
        return true;
    }
    std::string what = "unexpected character ";
    what.append(c < 0x20 ? "code " + std::to_string(static_cast<unsigned>(c))
                         : quoted(toUtf8(toUtf16(std::u32string(1, c))), '\''));
    return error(m_line, what);
}

bool Parser::expectPunct(std::u32string_view p, const char* what)
{
    if (!punctIs(m_tok, p))
        return error(where(m_tok), std::string("expected ") + what + ", found " + describe(m_tok));
    return advance();
}

bool Parser::expectString(std::u16string& out, const char* what)
{
    if (m_tok.kind != Tok::String)
        return error(where(m_tok), std::string("expected ") + what + " in double quotes, found " + describe(m_tok));
    return takeString(out) && advance();
}

bool Parser::takeString(std::u16string& out)
{
    out = toUtf16(m_tok.text);
    if (out.size() > kMaxStringUnits)
        return error(m_tok.line, "the string is longer than " + std::to_string(kMaxStringUnits) + " characters");
    return true;
}

std::string Parser::numberProblem(std::uint64_t max, const char* what) const
{
    std::string range = "a number from 0 to " + std::to_string(max);
    if (max > kMaxDecimal)
        range += ": decimal up to " + std::to_string(kMaxDecimal) + ", above that hexadecimal after 0x";
    else
        range += ", decimal or hexadecimal after 0x";
    return std::string("expected ") + what + " (" + range + "), found " + describe(m_tok);
}

bool Parser::expectNumber(std::uint64_t max, std::uint64_t& out, const char* what)
{
    if (m_tok.kind != Tok::Word || !parseNumber(m_tok.text, max, out))
        return error(where(m_tok), numberProblem(max, what));
    return advance();
}

bool Parser::expectSigned(std::uint32_t& out, const char* what)
{
    const bool negative = punctIs(m_tok, U"-");
    if (negative && !advance())
        return false;
    std::uint64_t v = 0;
    if (!expectNumber(negative ? kMaxDecimal + 1 : 0xFFFFFFFFu, v, what))
        return false;
    out = negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(v)) : static_cast<std::uint32_t>(v);
    return true;
}

bool Parser::expectUid(std::uint32_t& out)
{
    if (!expectPunct(U"(", "'(' before the UID"))
        return false;
    std::uint64_t v = 0;
    if (!expectNumber(0xFFFFFFFFu, v, "a UID"))
        return false;
    out = static_cast<std::uint32_t>(v);
    return expectPunct(U")", "')' after the UID");
}

} // namespace kastra::sis::script
