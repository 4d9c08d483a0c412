#pragma once
// The depth each slot picture is packed at, as the five theme files'
// catalogues give it, and what the handset view and the smoothing step
// conclude from it.

#include "mbm/mbm.h"

#include <QString>

#include <optional>

namespace kastra {

// The mode a slot (relative name, "Avkon\445.bmp") is packed with in its
// theme file; nothing for a slot no theme file holds (the desktop top strips
// Temp<N>.bmp, which are only shown).
std::optional<mbm::Mode> PackedMode(const QString& slot);

// Whether the smoothing step is offered for the slot: a picture
// packed at 24 or 12 bits, the depths that keep the screen's colours. Masks
// and other 1-bit slots, the paletted ones and slots no theme file holds are
// not smoothed.
bool SmoothingOffered(const QString& slot);

} // namespace kastra
