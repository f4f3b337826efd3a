// How the window says which datum mode converts positions into the national
// grids (setting AccurateDatum): a short mark and a sentence for tooltips.
#pragma once

#include <QString>

#include "core/geo/coord_format.h"
#include "core/proj/accurate_datum.h"

namespace tarvo {

inline DatumMode DatumModeOf(bool accurate) { return accurate ? DatumMode::Accurate : DatumMode::BuiltIn; }

// "Datum: built-in" or "Datum: accurate (PROJ)", with "Helmert fallback"
// when the format's best transformation needs a grid file that is missing.
QString DatumModeShortText(bool accurate, CoordFormat format);

// What converts the format's numbers in that mode: the built-in shifts, or
// PROJ's transformation by name with its accuracy, the grid file a better
// one would need, or why there is none.
QString DatumModeDescription(bool accurate, CoordFormat format);

}  // namespace tarvo
