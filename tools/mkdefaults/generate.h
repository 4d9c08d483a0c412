#pragma once
// Everything the generator writes: the default theme bitmap files, the three
// pictures and the handset files, each under its payload name (type PKG).

#include "base/bytes.h"
#include "mbm/mbm.h"
#include "base/result.h"

#include <string>
#include <vector>

namespace kastra::art {

struct GeneratedPayload {
    std::string name;
    Bytes bytes;
};

// The depth prefix ("/c8", "/c12", "/1" ...) of every Avkon index, read from
// the Avkon pack list (a bmconv command file: the target, then one
// prefix + "Avkon\NNN.bmp" entry per index in order). Fails when an entry is
// missing, out of order or unknown.
Result<std::vector<std::string>> avkonPrefixes(ByteSpan packList);

// The mode each Avkon bitmap has in the default file. It follows the pack
// list, except that indices 186, 194, 266 and 268 are stored at 8-bit colour
// although the list packs them at 12, and index 406 is an 8-bit colour
// picture (of black and white only) that the list packs at 1 bit.
Result<std::vector<mbm::Mode>> avkonModes(ByteSpan packList);

Result<Bytes> avkonMbm(ByteSpan packList);
Result<Bytes> avkonExMbm();
Result<Bytes> menuFoldersMbm();

// Every PKG payload except the pack list itself (AVCOM), which is a fixed
// file of the source tree.
Result<std::vector<GeneratedPayload>> generateAll(ByteSpan packList);

} // namespace kastra::art
