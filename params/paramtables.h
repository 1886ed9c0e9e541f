#pragma once

#include "protocol/assignpayload.h"

#include <QString>
#include <array>

namespace tovel {

class Console;

constexpr int kNoControl = 7;       // "NA"
constexpr int kMaxLevel = 1023;

// "I", "EXP", "II", "III", "SWT", "SWR", "SW", then "NA" for none.
extern const std::array<QString, 8> PedalControlNames;

// The assignments and limits: program-wide, kept across rebuilds of the parameter window;
// only the limits are reset, at start-up and after every upload.
struct ParamTables {
    // AssignMatrix[c][p] = 1: pedal control c drives row p.
    ControlMatrix AssignMatrix{};
    std::array<bool, kMaxRows> IsAssigned{};
    std::array<qint32, kMaxRows> MinLimit{};
    std::array<qint32, kMaxRows> MaxLimit{};
    tovel::AssignPayload AssignPayload{};

    ParamTables() { reset_min_max_array(); }
    // Every minimum 0, every maximum 1023; assignments untouched.
    void reset_min_max_array();
    // The row's assignment box now shows `index` (-1 none selected, 7 "NA").
    void AssignBoxChanged(int row, int index);
};

// The AssignmentTable payload into tables.AssignPayload, with its trace lines.
void BuildAssignPayload(ParamTables &tables, const std::array<bool, kMaxRows> &reversed,
                        int numParams, Console &console);

// Percentages shown on the limit buttons. Set by hand: level x 100 div 1024 + 1.
int limitPercentSet(int level);
// Read back from the pedal: minimum level x 100 div 1023 + 1 capped at 100; maximum without
// the +1 and the cap.
int minPercentRead(int level);
int maxPercentRead(int level);

} // namespace tovel
