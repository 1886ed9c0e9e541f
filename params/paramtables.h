#pragma once

#include <QString>
#include <array>

namespace tovel {

class Console;

constexpr int kMaxRows = 24;        // an effect has at most 24 parameters
constexpr int kPedalControls = 7;   // the pedal's assignable controls
constexpr int kNoControl = 7;       // "NA"
constexpr int kAssignPayloadSize = 192;
constexpr int kMaxLevel = 1023;

// "I", "EXP", "II", "III", "SWT", "SWR", "SW", then "NA" for none.
extern const std::array<QString, 8> PedalControlNames;

// The assignments and limits: program-wide, kept across rebuilds of the parameter window;
// only the limits are reset, at start-up and after every upload.
struct ParamTables {
    // AssignMatrix[c][p] = 1: pedal control c drives row p.
    std::array<std::array<qint32, kMaxRows>, kPedalControls> AssignMatrix{};
    std::array<bool, kMaxRows> IsAssigned{};
    std::array<qint32, kMaxRows> MinLimit{};
    std::array<qint32, kMaxRows> MaxLimit{};
    std::array<quint8, kAssignPayloadSize> AssignPayload{};

    ParamTables() { reset_min_max_array(); }
    // Every minimum 0, every maximum 1023; assignments untouched.
    void reset_min_max_array();
    // The row's assignment box now shows `index` (-1 none selected, 7 "NA").
    void AssignBoxChanged(int row, int index);
};

// The AssignmentTable payload, with its trace lines:
//   0..111   AssignMatrix[c][p] of rows 0..15 at 16c + p
//   112..127 reverse flags of rows 0..15
//   128..183 AssignMatrix[c][p] of rows 16..23 at 128 + 8c + (p - 16)
//   184..191 zero
// Rows 16..23 have no reverse byte.
void BuildAssignPayload(ParamTables &tables, const std::array<bool, kMaxRows> &reversed,
                        int numParams, Console &console);

// Percentages shown on the limit buttons. Set by hand: level x 100 div 1024 + 1.
int limitPercentSet(int level);
// Read back from the pedal: minimum level x 100 div 1023 + 1 capped at 100; maximum without
// the +1 and the cap.
int minPercentRead(int level);
int maxPercentRead(int level);
// Limit codes of the state answer to levels.
int minLevelFromCode(int code);
int maxLevelFromCode(int code);

} // namespace tovel
