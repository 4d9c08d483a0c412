// Statements of the package-script language: languages, the header,
// requisites, embedded packages, options, capabilities and
// IF/ELSEIF/ELSE/ENDIF lines. File lines and language blocks are in
// pkg_files.cpp.

#include "sis/pkg_parser.h"

#include "sis/pkg_script.h"

#include <optional>
#include <string>
#include <utility>

namespace kastra::sis {

namespace script {

namespace {

constexpr Keyword kHeaderOptions[] = {
    {"IU", "IUNICODE", kOptionUnicode}, {"SH", "SHUTDOWNAPPS", kOptionShutdownApps},
    {"NC", "NOCOMPRESS", kOptionNoCompress},
};
constexpr Keyword kTypes[] = {
    {"SA", "SISAPP", kTypeApp},       {"SY", "SISSYSTEM", kTypeSystem}, {"SO", "SISOPTION", kTypeOption},
    {"SC", "SISCONFIG", kTypeConfig}, {"SP", "SISPATCH", kTypePatch},   {"SU", "SISUPGRADE", kTypeUpgrade},
};

} // namespace

Result<PackageSpec> Parser::run()
{
    if (!parseAll())
        return fail(m_code, m_error);
    return std::move(m_spec);
}

bool Parser::error(int line, const std::string& what)
{
    m_error = "line " + std::to_string(line) + ": " + what;
    return false;
}

bool Parser::nameList(std::vector<std::u16string>& out, const char* what)
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

bool Parser::needHeader(int line)
{
    if (!m_haveHeader)
        return error(line, "the installation header (#{\"name\"},(UID),major,minor,build) has not been defined yet");
    return true;
}

bool Parser::addRecord(PackageRecord r)
{
    if (m_spec.records.size() >= kMaxRecords)
        return error(r.line, "too many lines: a package holds at most 65535 files and conditions");
    m_spec.records.push_back(std::move(r));
    return true;
}

bool Parser::parseAll()
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

bool Parser::statement()
{
    const Token& t = m_tok;
    if (punctIs(t, U"&"))
        return languages();
    if (punctIs(t, U"#"))
        return header();
    if (punctIs(t, U"*")) {
        m_code = SisError::Unsupported;
        return error(t.line, "signed packages are not supported; remove the '*' signature line");
    }
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

bool Parser::languages()
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

bool Parser::header()
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

bool Parser::requisite()
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

bool Parser::component()
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

bool Parser::optionsLine()
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

bool Parser::capabilityLine()
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

bool Parser::conditionLine()
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

} // namespace script

Result<PackageSpec> parsePackageScript(std::u32string_view text)
{
    return script::Parser(text).run();
}

Result<PackageSpec> parsePackageScript(ByteSpan bytes, TextEncoding marklessAs)
{
    if (bytes.size() > kMaxScriptBytes)
        return fail(SisError::TooLarge,
                    "line 1: the script is larger than " + std::to_string(kMaxScriptBytes / (1024 * 1024))
                        + " MiB; it cannot be a package script");
    auto decoded = decodeText(bytes, marklessAs);
    if (!decoded)
        return fail(decoded.code(), decoded.error());
    return parsePackageScript(decoded->text);
}

} // namespace kastra::sis
