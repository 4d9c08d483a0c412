#pragma once
// bmconv's command language: the command file, the options, the per-bitmap
// depth prefixes, the /p palette file and the /h header file.
//
//   bmconv [/n] [/q] [/g] [/hheader] [/ppalette] out.mbm [OPT]bmp1 ... [OPT]bmpN
//   bmconv [/n] [/q] [/g] out.mbm /msource.mbm
//   bmconv /u in.mbm bmp1 ... bmpN
//   bmconv /v in.mbm
//   bmconv commandfile            (the same words, read from a file)
//
// OPT is a depth prefix glued to the file name ("/c12Signal\001.bmp"); with
// none a bitmap is stored as /2 (4 grey levels). /g is ours: it turns on
// bmconv's substitution of two greys (see ReduceOptions::sdkGreys).

#include "base/bytes.h"
#include "mbm/mbm.h"
#include "base/result.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kastra::mbm {

// Splits a command file into words. Separators are space, CR, LF and 0x1A
// (the DOS end-of-file mark); a tab is part of a word. "//" starts a comment
// that runs to the end of its line, wherever it appears. Unlike bmconv, which
// drops the last word of a file that does not end with a separator, every
// word is kept. A NUL byte ends a word as well.
std::vector<std::string> splitCommandFile(ByteSpan text);

// One source of a pack: the mode its prefix asks for and the file name.
struct Source {
    Mode mode;
    std::string path;
};

// Parses a source word as bmconv does: "/", an optional "c", one digit, and a
// second digit only when it is 2, 6 or 4 ("/c12", "/c16", "/c24", "/c32");
// the rest is the file name. A word without "/" is a /2 source.
Result<Source> parseSource(std::string_view word);

struct Command {
    enum class Kind { Usage, Pack, Unpack, Info };
    Kind kind = Kind::Usage;

    // Pack.
    bool uncompressed = false; // /n
    bool quiet = false;        // /q
    bool sdkGreys = false;     // /g
    std::string headerFile;    // /h
    std::string paletteFile;   // /p
    std::vector<Source> sources;
    std::string mbmSource;     // /m: an existing MBM file as the only source

    // Pack: the file to write. Unpack and Info: the file to read.
    std::string mbm;
    // Unpack: one BMP name per bitmap, in order.
    std::vector<std::string> targets;
};

// Turns the words (from the command line or a command file) into a command.
// No words gives Usage. Fails with a one-line reason on an unknown option, an
// option after the output name, a missing output or source, or a bad depth
// prefix (naming the word).
Result<Command> parseCommand(const std::vector<std::string>& words);

// A /p palette file: 256 hex numbers written 0x00BBGGRR; anything between
// them is skipped. Fails when fewer than 256 are found.
Result<std::array<Rgb, 256>> parsePaletteFile(ByteSpan text);

// The /h header: an enum TMbm<Name> with one EMbm<Name><Bitmap> per source,
// in order. Names lose folder and extension and are capitalised (first
// letter upper case, the rest lower case). Lines end with CR LF.
std::string headerFileText(std::string_view headerPath, const std::vector<std::string>& sourcePaths);

} // namespace kastra::mbm
