#include "pkg_parser.h"

#include "pkg_text.h"

#include <optional>
#include <string>
#include <utility>

namespace kastra::sis {

namespace {

// Conditions are parsed by recursive descent; hostile scripts must not be able
// to nest deep enough to exhaust the stack.
constexpr int kMaxConditionDepth = 64;
// AND and OR chains build left-deep trees that the writer walks recursively;
// a condition with more nodes than this is no real condition.
constexpr int kMaxConditionNodes = 1024;
constexpr std::size_t kMaxRecords = 0xFFFF; // the header counts them in 16 bits
// The SDK's makesis takes language numbers up to this.
constexpr std::uint64_t kMaxLanguageNumber = 1000;

enum class Tok { End, String, Word, Punct };

struct Token {
    Tok kind = Tok::End;
    std::u32string text; // string contents, the word, or the punctuation
    int line = 1;
};

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

std::string describe(const Token& t)
{
    switch (t.kind) {
    case Tok::End:
        return "the end of the script";
    case Tok::String: {
        std::u32string shown = t.text.substr(0, 40);
        std::string s = "\"" + toUtf8(toUtf16(shown)) + (t.text.size() > 40 ? "...\"" : "\"");
        return "the string " + s;
    }
    case Tok::Word:
        return "'" + asciiOf(t.text) + "'";
    case Tok::Punct:
        return "'" + asciiOf(t.text) + "'";
    }
    return {};
}

// The largest number a script may write in decimal: the SDK's makesis reads
// decimal with wcstol, which saturates there, so anything larger would not
// mean what it says.
constexpr std::uint64_t kMaxDecimal = 0x7FFFFFFF;

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

struct Keyword {
    std::string_view a, b;
    std::uint32_t value;
};

constexpr Keyword kFileTypes[] = {
    {"FF", "FILE", kFileStandard}, {"FT", "FILETEXT", kFileText}, {"FR", "FILERUN", kFileRun},
    {"FN", "FILENULL", kFileNull}, {"FM", "FILEMIME", kFileMime},
};
constexpr Keyword kTextOptions[] = {
    {"TC", "TEXTCONTINUE", kTextContinue}, {"TS", "TEXTSKIP", kTextSkip},
    {"TA", "TEXTABORT", kTextAbort},       {"TE", "TEXTEXIT", kTextExit},
};
constexpr Keyword kRunOptions[] = {
    {"RI", "RUNINSTALL", kRunInstall}, {"RR", "RUNREMOVE", kRunRemove}, {"RB", "RUNBOTH", kRunBoth},
};
constexpr Keyword kRunFlags[] = {
    {"RS", "RUNSENDEND", kRunSendEnd}, {"RW", "RUNWAITEND", kRunWaitEnd},
};
constexpr Keyword kHeaderOptions[] = {
    {"IU", "IUNICODE", kOptionUnicode}, {"SH", "SHUTDOWNAPPS", kOptionShutdownApps},
    {"NC", "NOCOMPRESS", kOptionNoCompress},
};
constexpr Keyword kTypes[] = {
    {"SA", "SISAPP", kTypeApp},       {"SY", "SISSYSTEM", kTypeSystem}, {"SO", "SISOPTION", kTypeOption},
    {"SC", "SISCONFIG", kTypeConfig}, {"SP", "SISPATCH", kTypePatch},   {"SU", "SISUPGRADE", kTypeUpgrade},
};

template <std::size_t N>
const Keyword* findKeyword(const Keyword (&table)[N], const Token& t)
{
    for (const Keyword& k : table)
        if (wordIs(t, k.a) || wordIs(t, k.b))
            return &k;
    return nullptr;
}

class Parser {
public:
    explicit Parser(std::u32string_view text) : m_s(text) {}

    Result<PackageSpec> run()
    {
        if (!parseAll())
            return fail(m_error);
        return std::move(m_spec);
    }

private:
    std::u32string_view m_s;
    std::size_t m_pos = 0;
    int m_line = 1;
    Token m_tok;
    int m_lastLine = 1; // line of the token before m_tok
    std::string m_error;
    PackageSpec m_spec;
    bool m_haveLanguages = false;
    bool m_haveHeader = false;
    struct OpenIf {
        int line;
        bool sawElse;
    };
    std::vector<OpenIf> m_ifs;
    int m_conditionNodes = 0;

    // The line to blame for a token: the end of the script is blamed on the
    // line of the statement that is cut short.
    int where(const Token& t) const { return t.kind == Tok::End ? m_lastLine : t.line; }

    bool error(int line, const std::string& what)
    {
        m_error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    std::size_t languageCount() const { return m_spec.languages.size(); }

    // ---- lexer -----------------------------------------------------------

    void newline(std::size_t& i)
    {
        // CR LF, LF and a lone CR each end one line.
        if (m_s[i] == '\r' && i + 1 < m_s.size() && m_s[i + 1] == '\n')
            ++i;
        ++m_line;
    }

    // "<153>" or "<0x99>" right at m_s[i]: a character code. Returns the number
    // of characters it spans, 0 if there is none here.
    std::size_t charCodeAt(std::size_t i, std::uint64_t& value, bool& valid) const
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

    bool advance()
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
        std::string shown = c < 0x20 ? "code " + std::to_string(static_cast<unsigned>(c))
                                      : "'" + toUtf8(toUtf16(std::u32string(1, c))) + "'";
        return error(m_line, "unexpected character " + shown);
    }

    // ---- helpers -----------------------------------------------------------

    bool expectPunct(std::u32string_view p, const char* what)
    {
        if (!punctIs(m_tok, p))
            return error(where(m_tok), std::string("expected ") + what + ", found " + describe(m_tok));
        return advance();
    }

    bool expectString(std::u16string& out, const char* what)
    {
        if (m_tok.kind != Tok::String)
            return error(where(m_tok), std::string("expected ") + what + " in double quotes, found " + describe(m_tok));
        return takeString(out) && advance();
    }

    bool takeString(std::u16string& out)
    {
        out = toUtf16(m_tok.text);
        if (out.size() > kMaxStringUnits)
            return error(m_tok.line, "the string is longer than " + std::to_string(kMaxStringUnits) + " characters");
        return true;
    }

    // What is wrong with the current token as a number up to max, for a
    // message: "expected <what> (...), found ...".
    std::string numberProblem(std::uint64_t max, const char* what) const
    {
        std::string range = "a number from 0 to " + std::to_string(max);
        if (max > kMaxDecimal)
            range += ": decimal up to " + std::to_string(kMaxDecimal) + ", above that hexadecimal after 0x";
        else
            range += ", decimal or hexadecimal after 0x";
        return std::string("expected ") + what + " (" + range + "), found " + describe(m_tok);
    }

    bool expectNumber(std::uint64_t max, std::uint64_t& out, const char* what)
    {
        if (m_tok.kind != Tok::Word || !parseNumber(m_tok.text, max, out))
            return error(where(m_tok), numberProblem(max, what));
        return advance();
    }

    // A number that may carry a minus sign, stored as its 32-bit two's
    // complement: the values of conditions and capabilities.
    bool expectSigned(std::uint32_t& out, const char* what)
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

    bool expectUid(std::uint32_t& out)
    {
        if (!expectPunct(U"(", "'(' before the UID"))
            return false;
        std::uint64_t v = 0;
        if (!expectNumber(0xFFFFFFFFu, v, "a UID"))
            return false;
        out = static_cast<std::uint32_t>(v);
        return expectPunct(U")", "')' after the UID");
    }

    // {"a", "b", ...} with exactly one string per language.
    bool nameList(std::vector<std::u16string>& out, const char* what)
    {
        const int line = m_tok.line;
        if (!expectPunct(U"{", (std::string("'{' before the ") + what).c_str()))
            return false;
        for (;;) {
            std::u16string s;
            if (!expectString(s, what))
                return false;
            out.push_back(std::move(s));
            if (punctIs(m_tok, U","))
                if (!advance())
                    return false;
            if (punctIs(m_tok, U"}"))
                break;
        }
        if (!expectPunct(U"}", (std::string("'}' after the ") + what).c_str()))
            return false;
        if (out.size() != languageCount())
            return error(line, std::to_string(out.size()) + " " + what + (out.size() == 1 ? " is" : "s are")
                                   + " given for " + std::to_string(languageCount()) + " language"
                                   + (languageCount() == 1 ? "" : "s") + "; give one per language");
        return true;
    }

    bool needHeader(int line)
    {
        if (!m_haveHeader)
            return error(line, "the installation header (#{\"name\"},(UID),major,minor,build) has not been defined yet");
        return true;
    }

    bool addRecord(PackageRecord r)
    {
        if (m_spec.records.size() >= kMaxRecords)
            return error(r.line, "too many lines: a package holds at most 65535 files and conditions");
        m_spec.records.push_back(std::move(r));
        return true;
    }

    // ---- statements --------------------------------------------------------

    bool parseAll()
    {
        if (!advance())
            return false;
        while (m_tok.kind != Tok::End)
            if (!statement())
                return false;
        if (!m_haveHeader)
            return error(where(m_tok), "the installation header (#{\"name\"},(UID),major,minor,build) is missing");
        if (!m_ifs.empty())
            return error(m_ifs.back().line, "IF has no matching ENDIF");
        // A configuration, patch or upgrade package names the component it
        // changes both in its header and in a requisite.
        if (m_spec.type == kTypeConfig || m_spec.type == kTypePatch || m_spec.type == kTypeUpgrade) {
            bool found = false;
            for (const Requisite& q : m_spec.requisites)
                found = found || q.uid == m_spec.uid;
            if (!found)
                return error(m_spec.headerLine, "a TYPE=SC, SP or SU package needs a requisite line with the "
                                                "header's UID: the component it configures, patches or upgrades");
        }
        return true;
    }

    bool statement()
    {
        const Token& t = m_tok;
        if (punctIs(t, U"&"))
            return languages();
        if (punctIs(t, U"#"))
            return header();
        if (punctIs(t, U"*"))
            return error(t.line, "signed packages are not supported; remove the '*' signature line");
        if (t.kind == Tok::String)
            return needHeader(t.line) && fileLine();
        if (punctIs(t, U"{"))
            return needHeader(t.line) && languageBlock();
        if (punctIs(t, U"@"))
            return needHeader(t.line) && component();
        if (punctIs(t, U"("))
            return needHeader(t.line) && requisite();
        if (punctIs(t, U"!"))
            return needHeader(t.line) && optionsLine();
        if (punctIs(t, U"+"))
            return needHeader(t.line) && capabilityLine();
        if (wordIs(t, "IF") || wordIs(t, "ELSEIF") || wordIs(t, "ELSE") || wordIs(t, "ENDIF"))
            return needHeader(t.line) && conditionLine();
        return error(t.line, "unexpected " + describe(t)
                                 + "; a statement starts with &, #, a quoted file name, {, @, (, !, + or IF/ELSEIF/ELSE/ENDIF");
    }

    bool languages()
    {
        const int line = m_tok.line;
        if (m_haveHeader)
            return error(line, "the languages must be defined before the installation header");
        if (m_haveLanguages)
            return error(line, "the languages have already been defined");
        if (!advance())
            return false;
        for (;;) {
            // A two-letter code or the language's number (&EN,16). A language
            // may be listed twice; the SDK's makesis keeps both entries.
            if (m_tok.kind != Tok::Word)
                return error(where(m_tok), "expected a two-letter language code or a language number, found "
                                               + describe(m_tok));
            std::optional<std::uint16_t> code;
            if (startsNumber(m_tok)) {
                std::uint64_t v = 0;
                if (!parseNumber(m_tok.text, kMaxLanguageNumber, v))
                    return error(where(m_tok), numberProblem(kMaxLanguageNumber, "a language number"));
                code = static_cast<std::uint16_t>(v);
            } else {
                code = languageCode(asciiOf(m_tok.text));
                if (!code)
                    return error(where(m_tok), "unknown language code '" + asciiOf(m_tok.text) + "'");
            }
            if (m_spec.languages.size() >= 0xFFFF)
                return error(where(m_tok), "too many languages");
            m_spec.languages.push_back(*code);
            if (!advance())
                return false;
            if (!punctIs(m_tok, U","))
                break;
            if (!advance())
                return false;
        }
        m_haveLanguages = true;
        return true;
    }

    bool header()
    {
        const int line = m_tok.line;
        if (m_haveHeader)
            return error(line, "the installation header has already been defined");
        if (m_spec.languages.empty())
            m_spec.languages.push_back(1); // no & line: UK English
        m_haveLanguages = true;
        m_haveHeader = true;
        m_spec.headerLine = line;
        if (!advance())
            return false;
        if (!nameList(m_spec.names, "component name"))
            return false;
        std::uint64_t major = 0, minor = 0, build = 0;
        if (!expectPunct(U",", "',' after the component names") || !expectUid(m_spec.uid)
            || !expectPunct(U",", "',' after the UID") || !expectNumber(0xFFFF, major, "the major version")
            || !expectPunct(U",", "',' after the major version") || !expectNumber(0xFFFF, minor, "the minor version")
            || !expectPunct(U",", "',' after the minor version")
            || !expectNumber(0xFFFFFFFFu, build, "the build number"))
            return false;
        m_spec.major = static_cast<std::uint16_t>(major);
        m_spec.minor = static_cast<std::uint16_t>(minor);
        m_spec.build = static_cast<std::uint32_t>(build);
        while (punctIs(m_tok, U",")) {
            if (!advance())
                return false;
            if (wordIs(m_tok, "TYPE")) {
                if (!advance() || !expectPunct(U"=", "'=' after TYPE"))
                    return false;
                const Keyword* k = findKeyword(kTypes, m_tok);
                if (!k)
                    return error(where(m_tok), "unknown package type " + describe(m_tok)
                                                 + "; use SA, SY, SO, SC, SP or SU");
                m_spec.type = static_cast<std::uint16_t>(k->value);
            } else {
                const Keyword* k = findKeyword(kHeaderOptions, m_tok);
                if (!k)
                    return error(where(m_tok), "unknown header option " + describe(m_tok)
                                                 + "; use IU, SH, NC or TYPE=");
                m_spec.options = static_cast<std::uint16_t>(m_spec.options | k->value);
            }
            if (!advance())
                return false;
        }
        return true;
    }

    bool requisite()
    {
        Requisite r;
        r.line = m_tok.line;
        std::uint64_t major = 0, minor = 0, variant = 0;
        if (!expectUid(r.uid) || !expectPunct(U",", "',' after the UID")
            || !expectNumber(0xFFFF, major, "the major version") || !expectPunct(U",", "',' after the major version")
            || !expectNumber(0xFFFF, minor, "the minor version") || !expectPunct(U",", "',' after the minor version")
            || !expectNumber(0xFFFFFFFFu, variant, "the build number")
            || !expectPunct(U",", "',' after the build number") || !nameList(r.names, "requisite name"))
            return false;
        r.major = static_cast<std::uint16_t>(major);
        r.minor = static_cast<std::uint16_t>(minor);
        r.variant = static_cast<std::uint32_t>(variant);
        if (m_spec.requisites.size() >= 0xFFFF)
            return error(r.line, "too many requisites");
        m_spec.requisites.push_back(std::move(r));
        return true;
    }

    bool fileLine()
    {
        PackageRecord r;
        r.line = m_tok.line;
        r.type = kRecordFile;
        std::u16string src, dst;
        if (!expectString(src, "the source file name") || !expectPunct(U"-", "'-' between source and destination")
            || !expectString(dst, "the destination file name"))
            return false;
        r.sources.push_back(std::move(src));
        r.destination = std::move(dst);
        return fileOptions(r, false) && addRecord(std::move(r));
    }

    bool languageBlock()
    {
        PackageRecord r;
        r.line = m_tok.line;
        r.type = kRecordMultiLanguage;
        if (!advance())
            return false;
        int components = 0;
        while (!punctIs(m_tok, U"}")) {
            bool isComponent = false;
            if (punctIs(m_tok, U"@")) {
                isComponent = true;
                if (!advance())
                    return false;
            }
            std::u16string s;
            if (!expectString(s, "a file name"))
                return false;
            components += isComponent ? 1 : 0;
            r.sources.push_back(std::move(s));
            if (r.sources.size() > languageCount())
                return error(r.line, "the language block holds more files than there are languages ("
                                         + std::to_string(languageCount()) + ")");
            if (punctIs(m_tok, U","))
                if (!advance())
                    return false;
        }
        if (!advance())
            return false;
        if (r.sources.size() != languageCount())
            return error(r.line, "the language block holds " + std::to_string(r.sources.size()) + " file"
                                     + (r.sources.size() == 1 ? "" : "s") + " for " + std::to_string(languageCount())
                                     + " language" + (languageCount() == 1 ? "" : "s")
                                     + "; give one per language");
        if (components != 0 && static_cast<std::size_t>(components) != r.sources.size())
            return error(r.line, "a language block holds either files or @ components, not both");
        if (components != 0) {
            r.fileType = kFileComponent;
            if (!expectPunct(U",", "',' and the component UID after the block"))
                return false;
            std::uint32_t uid = 0;
            if (!expectUid(uid))
                return false;
            r.details = uid;
            return addRecord(std::move(r));
        }
        std::u16string dst;
        if (!expectPunct(U"-", "'-' and the destination after the language block")
            || !expectString(dst, "the destination file name"))
            return false;
        r.destination = std::move(dst);
        return fileOptions(r, true) && addRecord(std::move(r));
    }

    bool component()
    {
        PackageRecord r;
        r.line = m_tok.line;
        r.type = kRecordFile;
        r.fileType = kFileComponent;
        if (!advance())
            return false;
        std::u16string src;
        std::uint32_t uid = 0;
        if (!expectString(src, "the component file name")
            || !expectPunct(U",", "',' and the component UID after the file name") || !expectUid(uid))
            return false;
        r.sources.push_back(std::move(src));
        r.details = uid;
        return addRecord(std::move(r));
    }

    // The options after a file's destination: its type and the details that
    // belong to that type, in any order. Then the destination as the SDK's
    // makesis stores it.
    bool fileOptions(PackageRecord& r, bool languageBlock)
    {
        const Keyword* type = nullptr;
        const Keyword* text = nullptr;
        const Keyword* run = nullptr;
        std::uint32_t flags = 0;
        bool haveMime = false;
        std::string firstFlag;
        while (punctIs(m_tok, U",")) {
            if (!advance())
                return false;
            const int line = m_tok.line;
            if (m_tok.kind == Tok::String) {
                if (haveMime)
                    return error(line, "the MIME type is given twice");
                if (!takeString(r.mime))
                    return false;
                // Stored as 8-bit text.
                for (const char16_t c : r.mime)
                    if (c < 0x20 || c >= 0x7F)
                        return error(line, describe(m_tok) + " is no MIME type: it must be plain ASCII text");
                haveMime = true;
            } else if (const Keyword* k = findKeyword(kFileTypes, m_tok)) {
                if (type && type != k)
                    return error(line, "a file has one type, but both " + std::string(type->a) + " and "
                                           + std::string(k->a) + " are given");
                type = k;
            } else if (const Keyword* t = findKeyword(kTextOptions, m_tok)) {
                if (text && text != t)
                    return error(line, "choose one of TC, TS, TA and TE");
                text = t;
            } else if (const Keyword* ro = findKeyword(kRunOptions, m_tok)) {
                if (run && run != ro)
                    return error(line, "choose one of RI, RR and RB");
                run = ro;
            } else if (const Keyword* f = findKeyword(kRunFlags, m_tok)) {
                if (firstFlag.empty())
                    firstFlag = f->a;
                flags |= f->value;
            } else {
                return error(line, "unknown file option " + describe(m_tok));
            }
            if (!advance())
                return false;
        }

        const FileType ft = type ? static_cast<FileType>(type->value) : kFileStandard;
        r.fileType = ft;
        const std::string typeName = type ? std::string(type->a) : "FF";
        if (text && ft != kFileText)
            return error(r.line, std::string(text->a) + " applies to FT text files only, not to " + typeName);
        if ((run || flags) && ft != kFileRun && ft != kFileMime)
            return error(r.line, (run ? std::string(run->a) : firstFlag) + " applies to FR and FM files only, not to "
                                     + typeName);
        if (run && ft == kFileMime && run->value != kRunInstall)
            return error(r.line, std::string(run->a) + " applies to FR files only");
        if (haveMime && ft != kFileMime)
            return error(r.line, "a MIME type belongs to FM files only");
        if (ft == kFileMime && (!haveMime || r.mime.empty()))
            return error(r.line, "an FM file needs its MIME type, for example ,FM,\"text/plain\"");
        if (run && (run->value == kRunRemove || run->value == kRunBoth) && !(flags & kRunWaitEnd))
            return error(r.line, "RW (RUNWAITEND) is required with RR (RUNREMOVE) and RB (RUNBOTH)");

        switch (ft) {
        case kFileText:
            r.details = text ? text->value : kTextContinue;
            break;
        case kFileRun:
        case kFileMime:
            r.details = (run ? run->value : kRunInstall) | flags;
            break;
        default:
            r.details = 0;
            break;
        }

        if (ft != kFileNull)
            for (const auto& s : r.sources)
                if (s.empty())
                    return error(r.line, "the source file name is empty");
        if (ft == kFileNull && languageBlock)
            return error(r.line, "a language block cannot hold FN files");
        if (ft != kFileText && r.destination.empty())
            return error(r.line, "the destination file name is empty; only FT text files may leave it empty");
        // An FN file is created on the handset later; its record names no
        // source on the PC.
        if (ft == kFileNull)
            for (auto& s : r.sources)
                s.clear();
        if (languageBlock)
            return r.destination.empty() || driveDestination(r);
        // The SDK's makesis puts "c:\" before the destination of a file line
        // that has no "X:\", an empty one included, and then stores no
        // destination at all for a text shown with TC, TS, TA or TE: it is
        // not installed anywhere and has no say in the installation drive.
        if (ft == kFileText && text) {
            r.destination.clear();
            return true;
        }
        if (r.destination.empty()) {
            r.destination = u"c:\\";
            return true;
        }
        return driveDestination(r);
    }

    // A destination without "X:\" is installed on C:, as the SDK's makesis
    // does by putting "c:\" in front of it. One that starts with the colon
    // or names a drive but no folder is a typing mistake.
    bool driveDestination(PackageRecord& r)
    {
        std::u16string& d = r.destination;
        const std::string shown = "\"" + toUtf8(d.substr(0, 40)) + (d.size() > 40 ? "...\"" : "\"");
        if (d[0] == u':')
            return error(r.line, "the destination " + shown
                                     + " starts with ':'; put the drive before it, for example \"c:\\...\" or "
                                       "\"!:\\...\"");
        if (d.size() >= 3 && d[1] == u':' && d[2] == u'\\')
            return true;
        // The SDK's makesis would make "c:\c:x" of "c:x" and "c:\\x" of
        // "\x", names no handset accepts.
        if (d.size() >= 2 && d[1] == u':')
            return error(r.line, "the destination " + shown + " has a drive but no backslash after it; write \""
                                     + toUtf8(d.substr(0, 2)) + "\\...\"");
        d.insert(0, d[0] == u'\\' ? u"c:" : u"c:\\");
        if (d.size() > kMaxStringUnits)
            return error(r.line, "the destination is longer than " + std::to_string(kMaxStringUnits) + " characters");
        return true;
    }

    bool optionsLine()
    {
        PackageRecord r;
        r.line = m_tok.line;
        r.type = kRecordOptions;
        if (!advance() || !expectPunct(U"(", "'(' after '!'"))
            return false;
        for (;;) {
            std::vector<std::u16string> names;
            if (!nameList(names, "option name"))
                return false;
            if (r.options.size() >= kMaxOptions)
                return error(r.line, "an options line holds at most 128 options");
            r.options.push_back(std::move(names));
            if (!punctIs(m_tok, U","))
                break;
            if (!advance())
                return false;
        }
        if (!expectPunct(U")", "')' at the end of the options line"))
            return false;
        return addRecord(std::move(r));
    }

    // +(key=value, ...): entries of the capabilities record.
    bool capabilityLine()
    {
        const int line = m_tok.line;
        if (!advance() || !expectPunct(U"(", "'(' after '+'"))
            return false;
        for (;;) {
            Capability c;
            if (!expectSigned(c.key, "a capability number") || !expectPunct(U"=", "'=' after the capability number")
                || !expectSigned(c.value, "the capability's value"))
                return false;
            if (m_spec.capabilities.size() >= 0xFFFF)
                return error(line, "a package holds at most 65535 capabilities");
            m_spec.capabilities.push_back(c);
            if (!punctIs(m_tok, U","))
                break;
            if (!advance())
                return false;
        }
        return expectPunct(U")", "')' at the end of the capability line");
    }

    bool conditionLine()
    {
        PackageRecord r;
        r.line = m_tok.line;
        if (wordIs(m_tok, "IF")) {
            r.type = kRecordIf;
            m_conditionNodes = 0;
            if (!advance() || !condition(r.condition, 0))
                return false;
            m_ifs.push_back({r.line, false});
        } else if (wordIs(m_tok, "ELSEIF")) {
            r.type = kRecordElseIf;
            if (m_ifs.empty())
                return error(r.line, "ELSEIF without IF");
            if (m_ifs.back().sawElse)
                return error(r.line, "ELSEIF after ELSE");
            m_conditionNodes = 0;
            if (!advance() || !condition(r.condition, 0))
                return false;
        } else if (wordIs(m_tok, "ELSE")) {
            r.type = kRecordElse;
            if (m_ifs.empty())
                return error(r.line, "ELSE without IF");
            if (m_ifs.back().sawElse)
                return error(r.line, "a second ELSE for the IF on line " + std::to_string(m_ifs.back().line));
            m_ifs.back().sawElse = true;
            if (!advance())
                return false;
        } else {
            r.type = kRecordEndIf;
            if (m_ifs.empty())
                return error(r.line, "ENDIF without IF");
            m_ifs.pop_back();
            if (!advance())
                return false;
        }
        return addRecord(std::move(r));
    }

    // The SDK's makesis reads conditions with one level for AND and OR,
    // grouped from the left, a comparison of two operands below it, and NOT
    // applying to the operand right after it:
    //   condition := relation { (AND | OR) relation }
    //   relation  := unary [ (= <> > < >= <=) unary ]
    //   unary     := NOT unary | primary
    //   primary   := ( condition ) | EXISTS(string) | DEVCAP(number)
    //              | APPCAP(number, number) | string | number | variable
    // So "A OR B AND C" is "(A OR B) AND C", and "NOT Language = 1" compares
    // NOT Language with 1. The records below are what it builds from that.
    bool condition(Expression& out, int depth)
    {
        if (depth > kMaxConditionDepth)
            return error(where(m_tok), "the condition is nested too deeply");
        if (!relation(out, depth))
            return false;
        for (;;) {
            ExprType type = kExprAnd;
            if (wordIs(m_tok, "AND"))
                type = kExprAnd;
            else if (wordIs(m_tok, "OR"))
                type = kExprOr;
            else
                return true;
            if (!advance())
                return false;
            Expression rhs;
            if (!relation(rhs, depth))
                return false;
            Expression node;
            node.type = type;
            node.operands.push_back(std::move(out));
            node.operands.push_back(std::move(rhs));
            out = std::move(node);
        }
    }

    bool relation(Expression& out, int depth)
    {
        if (!unary(out, depth))
            return false;
        static constexpr std::pair<std::u32string_view, ExprType> kOps[] = {
            {U"=", kExprEqual},         {U"<>", kExprNotEqual},     {U">", kExprGreater},
            {U"<", kExprLess},          {U">=", kExprGreaterEqual}, {U"<=", kExprLessEqual},
        };
        const ExprType* op = nullptr;
        for (const auto& [text, type] : kOps)
            if (punctIs(m_tok, text))
                op = &type;
        if (!op)
            return true;
        if (!advance())
            return false;
        Expression rhs;
        if (!unary(rhs, depth))
            return false;
        Expression node;
        node.type = *op;
        node.operands.push_back(std::move(out));
        node.operands.push_back(std::move(rhs));
        out = std::move(node);
        return true;
    }

    bool unary(Expression& out, int depth)
    {
        if (depth > kMaxConditionDepth)
            return error(where(m_tok), "the condition is nested too deeply");
        if (++m_conditionNodes > kMaxConditionNodes)
            return error(where(m_tok), "the condition is too long");
        if (wordIs(m_tok, "NOT")) {
            if (!advance())
                return false;
            Expression operand;
            if (!unary(operand, depth + 1))
                return false;
            out.type = kExprNot;
            out.operands.push_back(std::move(operand));
            return true;
        }
        return primary(out, depth);
    }

    static Expression numberLeaf(std::uint32_t value)
    {
        Expression e;
        e.type = kExprNumber;
        e.value = value;
        return e;
    }

    bool primary(Expression& out, int depth)
    {
        if (punctIs(m_tok, U"(")) {
            if (!advance() || !condition(out, depth + 1))
                return false;
            return expectPunct(U")", "')' to close the condition");
        }
        if (wordIs(m_tok, "EXISTS")) {
            if (!advance())
                return false;
            const bool paren = punctIs(m_tok, U"(");
            if (paren && !advance())
                return false;
            Expression name;
            name.type = kExprString;
            if (!expectString(name.text, "the file name after EXISTS"))
                return false;
            if (paren && !expectPunct(U")", "')' after the file name"))
                return false;
            out.type = kExprExists;
            out.operands.push_back(std::move(name));
            return true;
        }
        if (wordIs(m_tok, "DEVCAP") || wordIs(m_tok, "APPCAP")) {
            const bool app = wordIs(m_tok, "APPCAP");
            std::uint32_t first = 0, second = 0;
            if (!advance() || !expectPunct(U"(", app ? "'(' after APPCAP" : "'(' after DEVCAP")
                || !expectSigned(first, app ? "the application UID" : "a capability number"))
                return false;
            if (app && (!expectPunct(U",", "',' between the UID and the capability number")
                        || !expectSigned(second, "a capability number")))
                return false;
            if (!expectPunct(U")", app ? "')' after APPCAP's numbers" : "')' after DEVCAP's number"))
                return false;
            out.type = app ? kExprAppCap : kExprDevCap;
            out.operands.push_back(numberLeaf(first));
            if (app)
                out.operands.push_back(numberLeaf(second));
            return true;
        }
        if (m_tok.kind == Tok::String) {
            out.type = kExprString;
            return expectString(out.text, "a string");
        }
        if (punctIs(m_tok, U"-") || startsNumber(m_tok)) {
            out.type = kExprNumber;
            return expectSigned(out.value, "a number");
        }
        if (m_tok.kind != Tok::Word)
            return error(where(m_tok), "expected a condition, found " + describe(m_tok));
        const std::string name = asciiOf(m_tok.text);
        const auto attr = attributeId(name);
        if (!attr)
            return error(where(m_tok), "unknown condition variable '" + name + "'");
        out.type = kExprAttribute;
        out.value = *attr;
        return advance();
    }
};

} // namespace

Result<PackageSpec> parsePackageScript(std::u32string_view text)
{
    return Parser(text).run();
}

Result<PackageSpec> parsePackageScript(ByteSpan bytes, TextEncoding marklessAs)
{
    if (bytes.size() > kMaxScriptBytes)
        return fail("line 1: the script is larger than " + std::to_string(kMaxScriptBytes / (1024 * 1024))
                    + " MiB; it cannot be a package script");
    auto decoded = decodeText(bytes, marklessAs);
    if (!decoded)
        return fail(decoded.error());
    return parsePackageScript(decoded->text);
}

} // namespace kastra::sis
