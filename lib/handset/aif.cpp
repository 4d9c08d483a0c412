#include "handset/aif.h"

#include "handset/errors.h"
#include "handset/e32des.h"
#include "handset/e32uid.h"

namespace kastra::aif {

namespace {

constexpr std::size_t KMaxCaptions = 1000;
constexpr std::size_t KMaxIcons = 100;

std::string sizeText(const mbm::MbmBitmap& b)
{
    return std::to_string(b.header.width) + " x " + std::to_string(b.header.height);
}

} // namespace

Result<Bytes> writeAif(const AppInfo& info)
{
    Bytes out;
    ByteWriter w(out);
    e32::writeCheckedUids(w, {e32::KDirectFileStoreLayoutUid, e32::KUidAppInfoFile16, info.appUid});
    const std::size_t rootAt = w.pos();
    w.u32(0);

    std::vector<std::uint32_t> iconIds;
    for (const Icon& icon : info.icons) {
        if (icon.picture.header.width != icon.mask.header.width
            || icon.picture.header.height != icon.mask.header.height)
            return fail(HandsetError::BadArgument,
                        "icon mask " + sizeText(icon.mask) + " does not match its picture " + sizeText(icon.picture));
        if (icon.picture.header.width < 1 || icon.picture.header.width > 0xFFFF)
            return fail(HandsetError::BadArgument,
                        "icon width " + std::to_string(icon.picture.header.width) + " cannot be stored");
        iconIds.push_back(static_cast<std::uint32_t>(w.pos()));
        w.bytes(mbm::encodeBitmap(icon.picture, mbm::Store::Compressed));
        w.bytes(mbm::encodeBitmap(icon.mask, mbm::Store::Compressed));
    }
    std::vector<std::uint32_t> captionIds;
    for (const Caption& c : info.captions) {
        if (c.text.size() > KMaxCaption)
            return fail(HandsetError::TooLarge,
                        "caption of " + std::to_string(c.text.size()) + " characters is longer than "
                            + std::to_string(KMaxCaption));
        captionIds.push_back(static_cast<std::uint32_t>(w.pos()));
        if (auto r = e32::writeDes16(w, c.text); !r)
            return fail(r.code(), r.error());
    }

    w.patch32(rootAt, static_cast<std::uint32_t>(w.pos()));
    e32::writeCardinality(w, static_cast<std::uint32_t>(info.captions.size()));
    for (std::size_t i = 0; i < info.captions.size(); ++i) {
        w.u32(captionIds[i]);
        w.u16(info.captions[i].language);
    }
    e32::writeCardinality(w, static_cast<std::uint32_t>(info.icons.size()));
    for (std::size_t i = 0; i < info.icons.size(); ++i) {
        w.u32(iconIds[i]);
        w.u16(static_cast<std::uint16_t>(info.icons[i].picture.header.width));
    }
    w.u32(info.capabilities.version);
    w.u32(info.capabilities.embeddability);
    w.u32(info.capabilities.supportsNewFile);
    w.u32(info.capabilities.hidden);
    return out;
}

Result<std::uint32_t> applicationUid(ByteSpan appImage)
{
    ByteReader in(appImage);
    auto uids = e32::readCheckedUids(in);
    if (!uids)
        return fail(uids.code(), uids.error());
    if (uids->uid2 != e32::KUidApp)
        return fail(HandsetError::WrongFormat, "not an application (its UID2 is not KUidApp)");
    return uids->uid3;
}

Result<AppInfo> readAif(ByteSpan file)
{
    ByteReader in(file);
    auto uids = e32::readCheckedUids(in);
    if (!uids)
        return fail(uids.code(), uids.error());
    if (uids->uid1 != e32::KDirectFileStoreLayoutUid
        || (uids->uid2 != e32::KUidAppInfoFile16 && uids->uid2 != e32::KUidAppInfoFile8))
        return fail(HandsetError::WrongFormat, "not an application information file (UIDs do not say so)");
    std::uint32_t rootId = 0;
    if (!in.u32(rootId))
        return fail(HandsetError::Truncated, "file ends before its root stream id");
    ByteReader root(file);
    if (rootId < 20 || !root.seek(rootId))
        return fail(HandsetError::Damaged, "root stream id " + std::to_string(rootId) + " lies outside the file");

    AppInfo info;
    info.appUid = uids->uid3;

    auto captionCount = e32::readCardinality(root);
    if (!captionCount)
        return fail(captionCount.code(), "caption list: " + captionCount.error());
    if (*captionCount > KMaxCaptions || *captionCount > root.remaining() / 6)
        return fail(HandsetError::Damaged,
                    "caption list of " + std::to_string(*captionCount) + " entries does not fit the file");
    for (std::uint32_t i = 0; i < *captionCount; ++i) {
        std::uint32_t id = 0;
        Caption c;
        root.u32(id);
        root.u16(c.language);
        ByteReader text(file);
        if (id < 20 || !text.seek(id))
            return fail(HandsetError::Damaged, "caption " + std::to_string(i + 1) + " lies outside the file");
        auto t = e32::readDes16(text, KMaxCaption);
        if (!t)
            return fail(t.code(), "caption " + std::to_string(i + 1) + ": " + t.error());
        c.text = std::move(*t);
        info.captions.push_back(std::move(c));
    }

    auto iconCount = e32::readCardinality(root);
    if (!iconCount)
        return fail(iconCount.code(), "icon list: " + iconCount.error());
    if (*iconCount > KMaxIcons || *iconCount > root.remaining() / 6)
        return fail(HandsetError::Damaged,
                    "icon list of " + std::to_string(*iconCount) + " entries does not fit the file");
    for (std::uint32_t i = 0; i < *iconCount; ++i) {
        std::uint32_t id = 0;
        std::uint16_t side = 0;
        root.u32(id);
        root.u16(side);
        const std::string where = "icon " + std::to_string(i + 1) + ": ";
        auto picture = mbm::readBitmap(file, id);
        if (!picture)
            return fail(picture.code(), where + picture.error());
        // The mask starts where the picture's record ends.
        const std::uint64_t maskAt = std::uint64_t{id} + static_cast<std::uint32_t>(picture->header.bitmapSize);
        if (picture->header.bitmapSize <= 0 || maskAt > file.size())
            return fail(HandsetError::Damaged, where + "mask lies outside the file");
        auto mask = mbm::readBitmap(file, static_cast<std::uint32_t>(maskAt));
        if (!mask)
            return fail(mask.code(), where + "mask: " + mask.error());
        if (mask->header.width != picture->header.width || mask->header.height != picture->header.height)
            return fail(HandsetError::Damaged,
                        where + "mask " + sizeText(*mask) + " does not match its picture " + sizeText(*picture));
        if (side != picture->header.width)
            return fail(HandsetError::Damaged,
                        where + "listed width " + std::to_string(side) + " is not the picture's "
                            + std::to_string(picture->header.width));
        info.icons.push_back({std::move(*picture), std::move(*mask)});
    }

    Capabilities& cap = info.capabilities;
    if (!root.u32(cap.version) || !root.u32(cap.embeddability) || !root.u32(cap.supportsNewFile)
        || !root.u32(cap.hidden))
        return fail(HandsetError::Truncated, "capabilities end early");
    return info;
}

} // namespace kastra::aif
