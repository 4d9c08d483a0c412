#pragma once
// Application information files (.aif) of Symbian OS 6/7: an application's
// captions per language, its icons and its capabilities, as a direct file
// store (stream ids are file offsets).
//
//   header   checked UIDs 0x10000037, 0x10003A38 (16-bit build; 0x1000006A
//            for the 8-bit era), the application's UID; then the root id
//   icons    one bitmap record per picture, MBM style (40-byte header and
//            data, mbm.h), each mask right after its picture
//   captions one 16-bit descriptor each (e32des.h)
//   root     captions: count (TCardinality), then per caption u32 stream id
//            and u16 language (1 English, 3 German, 16 Russian ...);
//            icons: count (TCardinality), then per icon u32 stream id of the
//            picture and u16 its width in pixels (the mask is found right
//            after the picture);
//            capabilities: u32 version (1), u32 embeddability (0 none),
//            u32 supports new file, u32 hidden.
//
// A Series 60 application carries two icon pairs: 42 x 29 for the menu grid
// and 44 x 44 for the context pane.

#include "base/bytes.h"
#include "mbm/mbm.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kastra::aif {

inline constexpr std::size_t KMaxCaption = 256;

struct Caption {
    std::uint16_t language = 0;
    std::u16string text;
    friend bool operator==(const Caption&, const Caption&) = default;
};

struct Icon {
    mbm::MbmBitmap picture;
    mbm::MbmBitmap mask;
};

struct Capabilities {
    std::uint32_t version = 1;
    std::uint32_t embeddability = 0;
    std::uint32_t supportsNewFile = 0;
    std::uint32_t hidden = 0;
    friend bool operator==(const Capabilities&, const Capabilities&) = default;
};

struct AppInfo {
    std::uint32_t appUid = 0;
    std::vector<Caption> captions;
    std::vector<Icon> icons;
    Capabilities capabilities;
};

// Icons are stored compressed as bmconv stores them. Fails for a caption
// longer than KMaxCaption, a mask whose size differs from its picture, or an
// icon wider than 65535 pixels.
Result<Bytes> writeAif(const AppInfo& info);

// Checks the UIDs (either AIF UID2), every stream id and count against the
// file, decodes every picture and mask and checks that each mask has the size
// of its picture.
Result<AppInfo> readAif(ByteSpan file);

// The application UID an information file must carry to belong to the
// application image (.app) given: the image's UID3. The handset pairs an
// .aif with its application by this UID and ignores one that does not match.
// Fails when the image's checked UIDs are damaged or do not make it an
// application (UID2 KUidApp).
Result<std::uint32_t> applicationUid(ByteSpan appImage);

} // namespace kastra::aif
