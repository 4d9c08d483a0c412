#include "bmconv/bmconv_run.h"

#include "picture/bitmap.h"
#include "base/fileio.h"
#include "base/safe_file.h"
#include "base/version.h"
#include "mbm/mbm.h"
#include "mbm/mbm_command.h"

#include <memory>
#include <optional>

namespace kastra::bmconv {

namespace fs = std::filesystem;

namespace {

// Upper bounds for what we read whole: a command file is a few kilobytes, a
// palette file a few more; pictures and MBM files are limited by their own
// size checks long before this.
constexpr std::uintmax_t MaxCommandFile = 16u << 20;
constexpr std::uintmax_t MaxPaletteFile = 1u << 20;
constexpr std::uintmax_t MaxPictureFile = 512u << 20;

constexpr const char* Usage =
    "bmconv: Symbian OS multi-bitmap (MBM) file converter\n"
    "\n"
    "usage:\n"
    "  bmconv [/n] [/q] [/g] [/hheader.h] [/ppalette] out.mbm [OPT]bmp1 ... [OPT]bmpN\n"
    "  bmconv [/n] [/q] [/g] out.mbm /msource.mbm\n"
    "  bmconv /u in.mbm bmp1 ... bmpN\n"
    "  bmconv /v in.mbm\n"
    "  bmconv commandfile\n"
    "  bmconv -h | --help | --version\n"
    "\n"
    "  OPT is one of /1 /2 /4 /8 (grey) or /c4 /c8 /c12 /c16 /c24 /c32 (colour),\n"
    "  written before the file name without a space; the default is /2.\n"
    "  /n  store the bitmaps uncompressed (default: a compressed file store)\n"
    "  /q  quiet: report errors only\n"
    "  /g  store 128 grey as 127 and 192 grey as 187, as the SDK tool does\n"
    "  /h  write a C++ header with an enum of the bitmaps\n"
    "  /p  a file of 256 colours 0x00BBGGRR to use for /c8 instead of the default palette\n"
    "  /m  use the bitmaps of an existing MBM file as they are\n"
    "  /u  unpack: bitmap i becomes a 24-bit BMP file named by the i-th name\n"
    "      (a file that already holds exactly those bytes is left as it is)\n"
    "  /v  list the bitmaps of an MBM file\n"
    "  A command file holds the same words separated by spaces or line breaks;\n"
    "  // starts a comment. Paths may use backslashes.\n";

class Runner {
public:
    Runner(const fs::path& base, std::ostream& out, std::ostream& err) : m_base(base), m_out(out), m_err(err) {}

    int dispatch(const std::vector<std::string>& args);

private:
    fs::path resolve(const std::string& word) const
    {
        const fs::path p = nativePath(word);
        return m_base.empty() ? p : m_base / p;
    }
    int error(const std::string& message)
    {
        m_err << "bmconv: " << message << '\n';
        return 1;
    }
    int pack(const mbm::Command& cmd);
    int unpack(const mbm::Command& cmd);
    int info(const mbm::Command& cmd);
    Result<mbm::MbmBitmap> loadSource(const mbm::Source& source, const mbm::ReduceOptions& options);

    fs::path m_base;
    std::ostream& m_out;
    std::ostream& m_err;
};

int Runner::dispatch(const std::vector<std::string>& args)
{
    if (args.empty() || (args.size() == 1 && (args[0] == "/?" || args[0] == "-?" || args[0] == "-h" || args[0] == "--help"))) {
        m_out << Usage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        m_out << versionText("bmconv");
        return 0;
    }
    std::vector<std::string> words = args;
    if (args.size() == 1) {
        auto text = readFile(resolve(args[0]), MaxCommandFile);
        if (!text)
            return error(text.error());
        words = mbm::splitCommandFile(*text);
        if (words.empty())
            return error(args[0] + ": the command file holds no command");
    }
    auto cmd = mbm::parseCommand(words);
    if (!cmd)
        return error(cmd.error());
    switch (cmd->kind) {
    case mbm::Command::Kind::Pack:
        return pack(*cmd);
    case mbm::Command::Kind::Unpack:
        return unpack(*cmd);
    case mbm::Command::Kind::Info:
        return info(*cmd);
    case mbm::Command::Kind::Usage:
        break;
    }
    m_out << Usage;
    return 0;
}

Result<mbm::MbmBitmap> Runner::loadSource(const mbm::Source& source, const mbm::ReduceOptions& options)
{
    auto file = readFile(resolve(source.path), MaxPictureFile);
    if (!file)
        return fail(file.error());
    Bitmap picture;
    auto loaded = picture.loadBmp(*file);
    if (!loaded)
        return fail(source.path + ": " + loaded.error());
    const int w = picture.width();
    const int h = picture.height();
    std::vector<mbm::Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        if (picture.depth() == 24) {
            // The common case (every slot is a 24-bit BMP): straight from the rows.
            const std::uint8_t* row = picture.rowPtr(y);
            for (int x = 0; x < w; ++x, row += 3)
                pixels.push_back(mbm::Rgb{row[2], row[1], row[0]});
            continue;
        }
        for (int x = 0; x < w; ++x) {
            const Colour c = picture.getPixel(x, y);
            pixels.push_back(mbm::Rgb{static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                      static_cast<std::uint8_t>(blueOf(c))});
        }
    }
    auto bm = mbm::makeBitmap(source.mode, w, h, pixels, mbm::twipsFromPelsPerMetre(w, picture.bmpInfo().xPelsPerMeter),
                              mbm::twipsFromPelsPerMetre(h, picture.bmpInfo().yPelsPerMeter), options);
    if (!bm)
        return fail(source.path + ": " + bm.error());
    return bm;
}

int Runner::pack(const mbm::Command& cmd)
{
    mbm::ReduceOptions options;
    options.sdkGreys = cmd.sdkGreys;
    std::unique_ptr<mbm::Inverse256> inverse;
    if (!cmd.paletteFile.empty()) {
        auto text = readFile(resolve(cmd.paletteFile), MaxPaletteFile);
        if (!text)
            return error(text.error());
        auto palette = mbm::parsePaletteFile(*text);
        if (!palette)
            return error(cmd.paletteFile + ": " + palette.error());
        inverse = std::make_unique<mbm::Inverse256>(mbm::makeInverse256(*palette));
        options.inverse256 = inverse.get();
    }

    std::vector<mbm::MbmBitmap> bitmaps;
    std::vector<std::string> names;
    if (!cmd.mbmSource.empty()) {
        auto file = readFile(resolve(cmd.mbmSource), MaxPictureFile);
        if (!file)
            return error(file.error());
        auto read = mbm::readMbm(*file);
        if (!read)
            return error(cmd.mbmSource + ": " + read.error());
        bitmaps = std::move(read.value());
    } else {
        bitmaps.reserve(cmd.sources.size());
        for (const mbm::Source& source : cmd.sources) {
            auto bm = loadSource(source, options);
            if (!bm)
                return error(bm.error());
            bitmaps.push_back(std::move(bm.value()));
            names.push_back(source.path);
        }
    }

    auto bytes = mbm::writeMbm(bitmaps, cmd.uncompressed ? mbm::Store::Uncompressed : mbm::Store::Compressed);
    if (!bytes)
        return error(cmd.mbm + ": " + bytes.error());
    auto written = writeFileAtomic(resolve(cmd.mbm), *bytes);
    if (!written)
        return error(written.error());
    if (!cmd.headerFile.empty()) {
        const std::string text = mbm::headerFileText(cmd.headerFile, names);
        auto header = writeFileAtomic(resolve(cmd.headerFile),
                                      ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        if (!header)
            return error(header.error());
    }
    if (!cmd.quiet)
        m_out << cmd.mbm << ": " << bitmaps.size() << (bitmaps.size() == 1 ? " bitmap" : " bitmaps") << ", "
              << (cmd.uncompressed ? "uncompressed" : "compressed") << " file store, " << bytes->size() << " bytes\n";
    return 0;
}

int Runner::unpack(const mbm::Command& cmd)
{
    auto file = readFile(resolve(cmd.mbm), MaxPictureFile);
    if (!file)
        return error(file.error());
    auto index = mbm::readIndex(*file);
    if (!index)
        return error(cmd.mbm + ": " + index.error());
    const std::size_t count = index->size();
    int failures = 0;
    std::size_t unpacked = 0;
    std::size_t written = 0;
    for (std::size_t i = 0; i < cmd.targets.size(); ++i) {
        if (i >= count) {
            error(cmd.mbm + ": holds " + std::to_string(count) + (count == 1 ? " bitmap" : " bitmaps") + " but "
                  + std::to_string(cmd.targets.size()) + " names were given; " + cmd.targets[i]
                  + (i + 1 < cmd.targets.size() ? " and the names after it were" : " was") + " not written");
            ++failures;
            break;
        }
        auto bm = mbm::readBitmap(*file, (*index)[i]);
        if (!bm) {
            error(cmd.mbm + ": bitmap " + std::to_string(i) + " (for " + cmd.targets[i] + "): " + bm.error());
            ++failures;
            continue;
        }
        // A load mostly brings back pictures the slots already hold: a
        // file with exactly the new bytes is left alone (same file, same
        // time), which saves the write, and the theme builder's backup need
        // only keep the slots that change. Anything else in the name's place
        // (other bytes, a link, a FIFO) is replaced.
        const fs::path target = resolve(cmd.targets[i]);
        const Bytes picture = mbm::encodeUnpackedBmp(*bm);
        ++unpacked;
        if (holdsExactly(target, picture))
            continue;
        // Each picture takes its name's place whole, as every file written
        // here does, but without the write-out a rename over an existing
        // file forces on ext4 (it made unpacking 508 pictures several times
        // slower than writing them): unpacked pictures are working copies,
        // the MBM file holds them safely.
        auto saved = writeFileAtomic(target, picture, Durability::WhileRunning);
        if (!saved) {
            error(saved.error());
            ++failures;
            --unpacked;
            continue;
        }
        ++written;
    }
    m_out << cmd.mbm << ": unpacked " << unpacked << " of " << count << (count == 1 ? " bitmap" : " bitmaps") << ", "
          << written << (written == 1 ? " file" : " files") << " written\n";
    return failures == 0 ? 0 : 1;
}

int Runner::info(const mbm::Command& cmd)
{
    auto file = readFile(resolve(cmd.mbm), MaxPictureFile);
    if (!file)
        return error(file.error());
    auto index = mbm::readIndex(*file);
    if (!index)
        return error(cmd.mbm + ": " + index.error());
    m_out << cmd.mbm << " is a file store containing " << index->size()
          << (index->size() == 1 ? " bitmap\n" : " bitmaps\n");
    for (std::size_t i = 0; i < index->size(); ++i) {
        auto bm = mbm::readBitmap(*file, (*index)[i]);
        if (!bm)
            return error(cmd.mbm + ": bitmap " + std::to_string(i) + ": " + bm.error());
        const mbm::BitmapHeader& h = bm->header;
        const std::uint64_t raw = bm->data.size();
        const std::uint64_t stored = static_cast<std::uint64_t>(h.bitmapSize - h.structSize);
        m_out << "\nBitmap " << i + 1 << " information:\n"
              << "Pixel size " << h.width << " x " << h.height << '\n'
              << "Twips size " << h.twipsWidth << " x " << h.twipsHeight << '\n'
              << h.bpp << " Bpp " << (h.colour ? "Colour" : "Monochrome") << '\n';
        static const char* const names[] = {"No compression", "Bytewise RLE compression", "12 bit RLE compression",
                                            "16 bit RLE compression", "24 bit RLE compression",
                                            "32 bit RLE compression"};
        m_out << names[h.compression];
        if (h.compression != 0 && raw > 0)
            m_out << ' ' << stored * 100 / raw << '%';
        m_out << '\n';
    }
    return 0;
}

} // namespace

int run(const std::vector<std::string>& args, const fs::path& baseDir, std::ostream& out, std::ostream& err)
{
    return Runner(baseDir, out, err).dispatch(args);
}

} // namespace kastra::bmconv
