#pragma once
// Inside the package-script parser: its tokens and the Parser class, whose
// lexer (pkg_lexer.cpp), statements (pkg_parser.cpp), file lines
// (pkg_files.cpp) and conditions (pkg_condition.cpp) live in their own files. Not for use outside them; the
// interface is pkg_parser.h.

#include "sis/pkg_text.h"
#include "base/result.h"
#include "sis/errors.h"
#include "sis/sis_package.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kastra::sis::script {

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

// Helpers on characters, tokens and numbers (pkg_lexer.cpp).
bool isWordChar(char32_t c);
bool isSpace(char32_t c);
char32_t upper(char32_t c);
// Whether t is the word w (compared without regard to ASCII letter case).
bool wordIs(const Token& t, std::string_view w);
bool punctIs(const Token& t, std::u32string_view p);
// A word as ASCII, '?' for anything else.
std::string asciiOf(std::u32string_view w);
// A token as a message names it: "the string \"...\"", "'word'".
std::string describe(const Token& t);
// text between two copies of quote, cut after 40 characters ("..."). Built by
// appending: chains of operator+ on temporaries make GCC's Release build
// report overlapping copies that cannot happen (-Wrestrict).
std::string quoted(std::string_view text, char quote, bool cut = false);

// The largest number a script may write in decimal: the SDK's makesis reads
// decimal with wcstol, which saturates there, so anything larger would not
// mean what it says.
constexpr std::uint64_t kMaxDecimal = 0x7FFFFFFF;

// Reads a number as the SDK's makesis does: hexadecimal after 0x, otherwise
// decimal, leading zeros included, so "01000000" is one million (0x000F4240),
// not 0x01000000. Fails on anything else, above max, or a decimal number above
// kMaxDecimal.
bool parseNumber(std::u32string_view w, std::uint64_t max, std::uint64_t& out);

// Whether a word starts with a digit: a number, not a name.
bool startsNumber(const Token& t);

// A keyword of the language in its short and long spelling ("FT",
// "FILETEXT") and the value it stands for.
struct Keyword {
    std::string_view a, b;
    std::uint32_t value;
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

    Result<PackageSpec> run();

private:
    std::u32string_view m_s;
    std::size_t m_pos = 0;
    int m_line = 1;
    Token m_tok;
    int m_lastLine = 1; // line of the token before m_tok
    std::string m_error;
    SisError m_code = SisError::Syntax;
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

    bool error(int line, const std::string& what);
    std::size_t languageCount() const { return m_spec.languages.size(); }

    // ---- lexer (pkg_lexer.cpp) ----------------------------------------------

    void newline(std::size_t& i);

    // "<153>" or "<0x99>" right at m_s[i]: a character code. Returns the number
    // of characters it spans, 0 if there is none here.
    std::size_t charCodeAt(std::size_t i, std::uint64_t& value, bool& valid) const;
    bool advance();

    // ---- token helpers (pkg_lexer.cpp) --------------------------------------

    bool expectPunct(std::u32string_view p, const char* what);
    bool expectString(std::u16string& out, const char* what);
    bool takeString(std::u16string& out);

    // What is wrong with the current token as a number up to max, for a
    // message: "expected <what> (...), found ...".
    std::string numberProblem(std::uint64_t max, const char* what) const;
    bool expectNumber(std::uint64_t max, std::uint64_t& out, const char* what);

    // A number that may carry a minus sign, stored as its 32-bit two's
    // complement: the values of conditions and capabilities.
    bool expectSigned(std::uint32_t& out, const char* what);
    bool expectUid(std::uint32_t& out);

    // {"a", "b", ...} with exactly one string per language.
    bool nameList(std::vector<std::u16string>& out, const char* what);
    bool needHeader(int line);
    bool addRecord(PackageRecord r);

    // ---- statements (pkg_parser.cpp) ----------------------------------------

    bool parseAll();
    bool statement();
    bool languages();
    bool header();
    bool requisite();
    bool component();
    bool optionsLine();

    // +(key=value, ...): entries of the capabilities record.
    bool capabilityLine();
    bool conditionLine();

    // ---- file lines (pkg_files.cpp) -----------------------------------------

    bool fileLine();
    bool languageBlock();

    // The options after a file's destination: its type and the details that
    // belong to that type, in any order. Then the destination as the SDK's
    // makesis stores it.
    bool fileOptions(PackageRecord& r, bool languageBlock);
    bool fileDestination(PackageRecord& r, bool languageBlock, bool shownText);

    // A destination without "X:\" is installed on C:, as the SDK's makesis
    // does by putting "c:\" in front of it. One that starts with the colon
    // or names a drive but no folder is a typing mistake.
    bool driveDestination(PackageRecord& r);

    // ---- conditions (pkg_condition.cpp) --------------------------------------

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
    bool condition(Expression& out, int depth);
    bool relation(Expression& out, int depth);
    bool unary(Expression& out, int depth);
    static Expression numberLeaf(std::uint32_t value);
    bool primary(Expression& out, int depth);
};

} // namespace kastra::sis::script
