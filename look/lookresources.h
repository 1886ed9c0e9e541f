#pragma once

#include <QString>
#include <optional>

namespace tovel {

// The resource name of look n: "Style_" and n in decimal. Lookup ignores case (the sheets are
// stored as STYLE_0 ... STYLE_7).
QString lookResourceName(int n);

// The style sheet of look n, or nothing when no resource has its name (a negative number, or
// one above 7).
std::optional<QString> lookStyleSheet(int n);

} // namespace tovel
