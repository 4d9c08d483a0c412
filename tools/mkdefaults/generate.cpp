#include "mkdefaults/generate.h"

#include "mkdefaults/art.h"
#include "mkdefaults/avkon.h"
#include "mkdefaults/handset.h"
#include "mkdefaults/picture.h"

#include <cstdio>
#include <string_view>

namespace kastra::art {

namespace {

constexpr int KAvkonCount = 508;
const mbm::Mode kMono{1, false};
const mbm::Mode kColour4{4, true};
const mbm::Mode kColour8{8, true};
const mbm::Mode kColour12{12, true};

std::vector<std::string> tokens(ByteSpan text)
{
    // bmconv separates words by spaces and line ends.
    std::vector<std::string> out;
    std::string word;
    for (const std::uint8_t b : text) {
        if (b == ' ' || b == '\r' || b == '\n' || b == 0x1A) {
            if (!word.empty())
                out.push_back(std::move(word));
            word.clear();
        } else {
            word += static_cast<char>(b);
        }
    }
    if (!word.empty())
        out.push_back(std::move(word));
    return out;
}

std::string slotName(int index)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "Avkon\\%03d.bmp", index);
    return buf;
}

Result<mbm::Mode> modeOf(const std::string& prefix)
{
    if (prefix == "/1")
        return kMono;
    if (prefix == "/c8")
        return kColour8;
    if (prefix == "/c12")
        return kColour12;
    return fail("unexpected depth prefix " + prefix);
}

// Adds a colour picture reduced to its mode, and its mask when it has one;
// checks that the reduction kept every drawn pixel apart from the
// transparent corner colour, so no hole appears in a mask.
Result<void> addPicture(std::vector<mbm::MbmBitmap>& out, const Picture& p, mbm::Mode mode, bool withMask,
                        const std::string& what)
{
    auto stored = toMbm(p, mode);
    if (!stored)
        return fail(what + ": " + stored.error());
    const Picture back = Picture::fromMbm(*stored);
    if (withMask) {
        const Shape drawn = p.opaque();
        const Shape kept = back.opaque();
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                if (drawn.has(x, y) != kept.has(x, y))
                    return fail(what + ": pixel (" + std::to_string(x) + ", " + std::to_string(y)
                                + ") turns into the transparent colour at its depth");
    }
    out.push_back(std::move(*stored));
    if (withMask)
        out.push_back(cornerMask(back));
    return {};
}

Result<Bytes> bmp(const Picture& p)
{
    Bytes b = toBitmap(p).encodeBmp();
    if (b.empty())
        return fail("picture could not be encoded");
    return b;
}

} // namespace

Result<std::vector<std::string>> avkonPrefixes(ByteSpan packList)
{
    const std::vector<std::string> words = tokens(packList);
    if (words.empty() || words.front() != "SIS\\Avkon.mbm")
        return fail("pack list does not start with SIS\\Avkon.mbm");
    if (words.size() != KAvkonCount + 1)
        return fail("pack list has " + std::to_string(words.size() - 1) + " entries, not 508");
    std::vector<std::string> prefixes;
    for (int i = 0; i < KAvkonCount; ++i) {
        const std::string& w = words[static_cast<std::size_t>(i) + 1];
        const std::string slot = slotName(i);
        if (w.size() <= slot.size() || w.compare(w.size() - slot.size(), slot.size(), slot) != 0)
            return fail("pack list entry " + std::to_string(i) + " is " + w + ", not a prefix and " + slot);
        prefixes.push_back(w.substr(0, w.size() - slot.size()));
    }
    return prefixes;
}

Result<std::vector<mbm::Mode>> avkonModes(ByteSpan packList)
{
    auto prefixes = avkonPrefixes(packList);
    if (!prefixes)
        return fail(prefixes.error());
    std::vector<mbm::Mode> modes;
    for (int i = 0; i < KAvkonCount; ++i) {
        auto m = modeOf((*prefixes)[static_cast<std::size_t>(i)]);
        if (!m)
            return fail("Avkon " + std::to_string(i) + ": " + m.error());
        if (i == 186 || i == 194 || i == 266 || i == 268 || i == 406)
            *m = kColour8;
        modes.push_back(*m);
    }
    return modes;
}

Result<Bytes> avkonMbm(ByteSpan packList)
{
    auto modes = avkonModes(packList);
    if (!modes)
        return fail(modes.error());
    std::vector<mbm::MbmBitmap> bitmaps;
    for (const AvkonPicture& a : avkonPictures()) {
        const std::string what = "Avkon " + std::to_string(a.index) + " (" + a.what + ")";
        const mbm::Mode mode = (*modes)[static_cast<std::size_t>(a.index)];
        if (a.mono != (mode == kMono))
            return fail(what + " does not have the depth the pack list gives it");
        if (a.hasMask && (a.index + 1 >= KAvkonCount || (*modes)[static_cast<std::size_t>(a.index) + 1] != kMono))
            return fail(what + " has a mask but the pack list has no 1-bit entry after it");
        if (auto r = addPicture(bitmaps, a.picture, mode, a.hasMask, what); !r)
            return fail(r.error());
    }
    if (bitmaps.size() != KAvkonCount)
        return fail("Avkon catalogue holds " + std::to_string(bitmaps.size()) + " bitmaps");
    return mbm::writeMbm(bitmaps, mbm::Store::Compressed);
}

Result<Bytes> avkonExMbm()
{
    // Pictures 0-5, then the masks 6-11 in the same order.
    std::vector<Picture> pictures;
    pictures.push_back(noSignalPicture());
    for (int bars = 1; bars <= 5; ++bars)
        pictures.push_back(signalPicture(bars));
    std::vector<mbm::MbmBitmap> bitmaps;
    std::vector<mbm::MbmBitmap> masks;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        std::vector<mbm::MbmBitmap> pair;
        if (auto r = addPicture(pair, pictures[i], i == 0 ? kColour4 : kColour12, true,
                                "signal picture " + std::to_string(i));
            !r)
            return fail(r.error());
        bitmaps.push_back(std::move(pair[0]));
        masks.push_back(std::move(pair[1]));
    }
    for (auto& m : masks)
        bitmaps.push_back(std::move(m));
    return mbm::writeMbm(bitmaps, mbm::Store::Compressed);
}

Result<Bytes> menuFoldersMbm()
{
    std::vector<mbm::MbmBitmap> bitmaps;
    for (const MenuFolder f : MenuFolders)
        for (const bool large : {false, true})
            if (auto r = addPicture(bitmaps, menuFolderIcon(f, large), kColour12, true, "menu folder icon"); !r)
                return fail(r.error());
    return mbm::writeMbm(bitmaps, mbm::Store::Compressed);
}

Result<std::vector<GeneratedPayload>> generateAll(ByteSpan packList)
{
    std::vector<GeneratedPayload> out;
    auto add = [&](const char* name, Result<Bytes> bytes) -> Result<void> {
        if (!bytes)
            return fail(std::string(name) + ": " + bytes.error());
        out.push_back({name, std::move(*bytes)});
        return {};
    };
    for (auto r : {add("AVKON", avkonMbm(packList)), add("AVKONEX", avkonExMbm()), add("MENUF", menuFoldersMbm()),
                   add("SPLT", bmp(splashTop())), add("NIMG", bmp(noImageBanner())), add("ABOUT", bmp(aboutPicture()))})
        if (!r)
            return fail(r.error());
    auto handset = handsetPayloads();
    if (!handset)
        return fail(handset.error());
    for (auto& h : *handset)
        out.push_back({std::move(h.name), std::move(h.bytes)});
    return out;
}

} // namespace kastra::art
