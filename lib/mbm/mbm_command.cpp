#include "mbm/mbm_command.h"

#include "mbm/errors.h"

namespace kastra::mbm {

namespace {

bool isSeparator(std::uint8_t c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == 0x1A || c == 0;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// "/u", "/U" and anything longer starting so: bmconv looks at the second
// character only.
bool isSwitch(const std::string& word, char letter)
{
    return word.size() >= 2 && word[0] == '/' && lowerAscii(word[1]) == letter;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0; // bmconv reads anything else as 0
}

std::uint8_t hexByte(char high, char low)
{
    return static_cast<std::uint8_t>(hexDigit(high) * 16 + hexDigit(low));
}

// The name part of a path without its extension, first letter upper case and
// the rest lower case, as bmconv names its enum values.
std::string unadornedName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t first = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    const std::size_t last = (dot != std::string_view::npos && dot > first) ? dot : path.size();
    std::string name(path.substr(first, last - first));
    for (std::size_t i = 0; i < name.size(); ++i)
        name[i] = i == 0 ? upperAscii(name[i]) : lowerAscii(name[i]);
    return name;
}

} // namespace

std::vector<std::string> splitCommandFile(ByteSpan text)
{
    std::vector<std::string> words;
    std::string word;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = text[i];
        if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n' && text[i] != '\r')
                ++i;
            // A comment separates like the line end it runs to.
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
            continue;
        }
        if (isSeparator(c)) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back(static_cast<char>(c));
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

Result<Source> parseSource(std::string_view word)
{
    if (word.empty())
        return fail(MbmError::BadArgument, "empty file name");
    if (word[0] != '/')
        return Source{Mode{2, false}, std::string(word)};
    std::size_t i = 1;
    bool colour = false;
    if (i < word.size() && word[i] == 'c') {
        colour = true;
        ++i;
    }
    if (i >= word.size())
        return fail(MbmError::BadArgument, "invalid bitmap mode in " + std::string(word));
    // bmconv's own arithmetic on the characters, so "/04x.bmp" is still /4.
    int bpp = word[i++] - '0';
    if (i < word.size()) {
        const int next = word[i] - '0';
        if (next == 2 || next == 6 || next == 4) {
            bpp = bpp * 10 + next;
            ++i;
        }
    }
    const Mode mode{bpp, colour};
    if (!isValidMode(mode))
        return fail(MbmError::BadArgument, "invalid bitmap mode in " + std::string(word));
    if (i == word.size())
        return fail(MbmError::BadArgument, "no file name after " + std::string(word));
    return Source{mode, std::string(word.substr(i))};
}

Result<Command> parseCommand(const std::vector<std::string>& words)
{
    Command cmd;
    if (words.empty())
        return cmd;
    if (isSwitch(words[0], 'u')) {
        cmd.kind = Command::Kind::Unpack;
        if (words.size() < 2)
            return fail(MbmError::BadArgument, "/u needs an MBM file name");
        if (words.size() < 3)
            return fail(MbmError::BadArgument, "/u needs at least one BMP file name after " + words[1]);
        cmd.mbm = words[1];
        cmd.targets.assign(words.begin() + 2, words.end());
        return cmd;
    }
    if (isSwitch(words[0], 'v')) {
        cmd.kind = Command::Kind::Info;
        if (words.size() < 2)
            return fail(MbmError::BadArgument, "/v needs an MBM file name");
        cmd.mbm = words[1];
        return cmd;
    }

    cmd.kind = Command::Kind::Pack;
    std::size_t i = 0;
    // Options come before the output name; the first word without "/" ends
    // them.
    for (; i < words.size() && !words[i].empty() && words[i][0] == '/'; ++i) {
        const std::string& w = words[i];
        switch (w.size() >= 2 ? lowerAscii(w[1]) : '\0') {
        case 'n':
            cmd.uncompressed = true;
            break;
        case 'q':
            cmd.quiet = true;
            break;
        case 'g':
            cmd.sdkGreys = true;
            break;
        case 'h':
            cmd.headerFile = w.substr(2);
            if (cmd.headerFile.empty())
                return fail(MbmError::BadArgument, "option /h needs a file name (written /hname.h)");
            break;
        case 'p':
            cmd.paletteFile = w.substr(2);
            if (cmd.paletteFile.empty())
                return fail(MbmError::BadArgument, "option /p needs a file name (written /pname)");
            break;
        case 'r':
        case 's':
            return fail(MbmError::Unsupported,
                        "option " + w + ": ROM image stores are not supported, only file stores");
        default:
            return fail(MbmError::BadArgument, "unknown option " + w);
        }
    }
    if (i == words.size())
        return fail(MbmError::BadArgument, "no output MBM file name");
    cmd.mbm = words[i++];
    if (i == words.size())
        return fail(MbmError::BadArgument, "no source bitmaps for " + cmd.mbm);
    if (words.size() - i == 1 && words[i].size() >= 2 && words[i][0] == '/' && words[i][1] == 'm') {
        cmd.mbmSource = words[i].substr(2);
        if (cmd.mbmSource.empty())
            return fail(MbmError::BadArgument, "option /m needs an MBM file name (written /mname.mbm)");
        if (!cmd.headerFile.empty())
            return fail(MbmError::BadArgument, "a header file (/h) cannot be made from an MBM source (/m)");
        return cmd;
    }
    for (; i < words.size(); ++i) {
        auto source = parseSource(words[i]);
        if (!source)
            return fail(source.code(), source.error());
        cmd.sources.push_back(std::move(source.value()));
    }
    return cmd;
}

Result<std::array<Rgb, 256>> parsePaletteFile(ByteSpan text)
{
    std::array<Rgb, 256> palette{};
    std::size_t pos = 0;
    for (std::size_t index = 0; index < palette.size(); ++index) {
        // Each entry is the next "0x" (or "0X") with the 8 characters after
        // it: 00BBGGRR.
        while (pos < text.size() && !(text[pos] == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')))
            ++pos;
        if (text.size() - pos < 10)
            return fail(MbmError::Truncated, "the palette file holds " + std::to_string(index) + " colours, not 256");
        const auto ch = [&](std::size_t k) { return static_cast<char>(text[pos + k]); };
        palette[index] = Rgb{hexByte(ch(8), ch(9)), hexByte(ch(6), ch(7)), hexByte(ch(4), ch(5))};
        pos += 10;
    }
    return palette;
}

std::string headerFileText(std::string_view headerPath, const std::vector<std::string>& sourcePaths)
{
    const std::size_t slash = headerPath.find_last_of('\\');
    const std::string_view base = slash == std::string_view::npos ? headerPath : headerPath.substr(slash + 1);
    const std::string name = unadornedName(headerPath);
    std::string out;
    out += "// " + std::string(base) + "\r\n";
    out += "// Generated by bmconv\r\n";
    out += "//\r\n\r\n";
    out += "enum TMbm" + name + "\r\n\t{\r\n";
    for (std::size_t i = 0; i < sourcePaths.size(); ++i) {
        out += "\tEMbm" + name + unadornedName(sourcePaths[i]);
        if (i + 1 < sourcePaths.size())
            out += ',';
        out += "\r\n";
    }
    out += "\t};\r\n";
    return out;
}

} // namespace kastra::mbm
