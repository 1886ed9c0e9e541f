#pragma once

#include <QString>

namespace tovel {

// The base name of an effect's resources from its display name (or of a category's list
// resource from its caption): blanks and hyphens become "_", "+" becomes "plus" and a capital
// X becomes "mult"; a small x stays. "Polar Fox-3 + Echo X Duo" gives
// "Polar_Fox_3_plus_Echo_mult_Duo". Resource lookup ignores case.
QString EffectResourceName(const QString &displayName);

} // namespace tovel
