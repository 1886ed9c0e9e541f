#pragma once

#include <array>

namespace tovel {

// A row of the browser's category list. The list resource is EffectResourceName of the
// caption, written in lower case as the category handlers ask for it.
struct CategoryRow {
    const char *caption;
    const char *listResource;
};

// The seven categories, in display order.
inline constexpr std::array<CategoryRow, 7> CategoryTable = {{
    {"Gain", "gain"},
    {"Modulation", "modulation"},
    {"Synthesis", "synthesis"},
    {"Filter", "filter"},
    {"Dynamic", "dynamic"},
    {"Impulse Response", "impulse_response"},
    {"Other", "other"},
}};

// The category whose effects take a user-supplied impulse response.
inline constexpr int kImpulseResponseCategory = 5;

} // namespace tovel
