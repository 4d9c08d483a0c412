// File lines of a package script: "source"-"destination" with its options,
// and language blocks {"a" "b" ...}-"destination". The options after a
// destination name the file's type (FF, FT, FR, FN, FM) and the details that
// go with it; they may come in any order and are checked against each other
// once all are read.

#include "sis/pkg_script.h"

#include <string>
#include <utility>

namespace kastra::sis::script {

namespace {

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

// The options of one file line as written, before they are checked against
// each other.
struct FileOptionWords {
    const Keyword* type = nullptr;
    const Keyword* text = nullptr;
    const Keyword* run = nullptr;
    std::uint32_t flags = 0;
    bool haveMime = false;
    std::string firstFlag;
};

// Sets the record's file type and details from the words, or says why they
// do not go together (empty when they do).
std::string applyFileOptions(const FileOptionWords& w, PackageRecord& r)
{
    const FileType ft = w.type ? static_cast<FileType>(w.type->value) : kFileStandard;
    r.fileType = ft;
    const std::string typeName = w.type ? std::string(w.type->a) : "FF";
    if (w.text && ft != kFileText)
        return std::string(w.text->a) + " applies to FT text files only, not to " + typeName;
    if ((w.run || w.flags) && ft != kFileRun && ft != kFileMime)
        return (w.run ? std::string(w.run->a) : w.firstFlag) + " applies to FR and FM files only, not to " + typeName;
    if (w.run && ft == kFileMime && w.run->value != kRunInstall)
        return std::string(w.run->a) + " applies to FR files only";
    if (w.haveMime && ft != kFileMime)
        return "a MIME type belongs to FM files only";
    if (ft == kFileMime && (!w.haveMime || r.mime.empty()))
        return "an FM file needs its MIME type, for example ,FM,\"text/plain\"";
    if (w.run && (w.run->value == kRunRemove || w.run->value == kRunBoth) && !(w.flags & kRunWaitEnd))
        return "RW (RUNWAITEND) is required with RR (RUNREMOVE) and RB (RUNBOTH)";

    switch (ft) {
    case kFileText:
        r.details = w.text ? w.text->value : kTextContinue;
        break;
    case kFileRun:
    case kFileMime:
        r.details = (w.run ? w.run->value : kRunInstall) | w.flags;
        break;
    default:
        r.details = 0;
        break;
    }
    return {};
}

} // namespace

bool Parser::fileLine()
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

bool Parser::languageBlock()
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

bool Parser::fileOptions(PackageRecord& r, bool languageBlock)
{
    FileOptionWords words;
    while (punctIs(m_tok, U",")) {
        if (!advance())
            return false;
        const int line = m_tok.line;
        if (m_tok.kind == Tok::String) {
            if (words.haveMime)
                return error(line, "the MIME type is given twice");
            if (!takeString(r.mime))
                return false;
            // Stored as 8-bit text.
            for (const char16_t c : r.mime)
                if (c < 0x20 || c >= 0x7F)
                    return error(line, describe(m_tok) + " is no MIME type: it must be plain ASCII text");
            words.haveMime = true;
        } else if (const Keyword* k = findKeyword(kFileTypes, m_tok)) {
            if (words.type && words.type != k)
                return error(line, "a file has one type, but both " + std::string(words.type->a) + " and "
                                       + std::string(k->a) + " are given");
            words.type = k;
        } else if (const Keyword* t = findKeyword(kTextOptions, m_tok)) {
            if (words.text && words.text != t)
                return error(line, "choose one of TC, TS, TA and TE");
            words.text = t;
        } else if (const Keyword* ro = findKeyword(kRunOptions, m_tok)) {
            if (words.run && words.run != ro)
                return error(line, "choose one of RI, RR and RB");
            words.run = ro;
        } else if (const Keyword* f = findKeyword(kRunFlags, m_tok)) {
            if (words.firstFlag.empty())
                words.firstFlag = f->a;
            words.flags |= f->value;
        } else {
            return error(line, "unknown file option " + describe(m_tok));
        }
        if (!advance())
            return false;
    }
    if (const std::string why = applyFileOptions(words, r); !why.empty())
        return error(r.line, why);
    if (r.fileType != kFileNull)
        for (const auto& s : r.sources)
            if (s.empty())
                return error(r.line, "the source file name is empty");
    if (r.fileType == kFileNull && languageBlock)
        return error(r.line, "a language block cannot hold FN files");
    if (r.fileType != kFileText && r.destination.empty())
        return error(r.line, "the destination file name is empty; only FT text files may leave it empty");
    return fileDestination(r, languageBlock, words.text != nullptr);
}

bool Parser::fileDestination(PackageRecord& r, bool languageBlock, bool shownText)
{
    // An FN file is created on the handset later; its record names no
    // source on the PC.
    if (r.fileType == kFileNull)
        for (auto& s : r.sources)
            s.clear();
    if (languageBlock)
        return r.destination.empty() || driveDestination(r);
    // The SDK's makesis puts "c:\" before the destination of a file line
    // that has no "X:\", an empty one included, and then stores no
    // destination at all for a text shown with TC, TS, TA or TE: it is
    // not installed anywhere and has no say in the installation drive.
    if (r.fileType == kFileText && shownText) {
        r.destination.clear();
        return true;
    }
    if (r.destination.empty()) {
        r.destination = u"c:\\";
        return true;
    }
    return driveDestination(r);
}

bool Parser::driveDestination(PackageRecord& r)
{
    std::u16string& d = r.destination;
    const std::string shown = quoted(toUtf8(d.substr(0, 40)), '"', d.size() > 40);
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

} // namespace kastra::sis::script
