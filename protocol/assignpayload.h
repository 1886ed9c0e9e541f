#pragma once

#include <QtGlobal>
#include <array>

namespace tovel {

constexpr int kMaxRows = 24;        // an effect has at most 24 parameters
constexpr int kPedalControls = 7;   // the pedal's assignable controls
constexpr int kAssignPayloadSize = 192;

// ControlMatrix[c][p] != 0: pedal control c drives row p.
using ControlMatrix = std::array<std::array<qint32, kMaxRows>, kPedalControls>;
using AssignPayload = std::array<quint8, kAssignPayloadSize>;

// The AssignmentTable command's payload (after its code byte):
//   0..111   ControlMatrix[c][p] of rows 0..15 at 16c + p
//   112..127 reverse flags of rows 0..15 below numParams
//   128..183 ControlMatrix[c][p] of rows 16..23 at 128 + 8c + (p - 16)
//   184..191 zero
// Rows 16..23 have no reverse byte.
AssignPayload assignmentPayload(const ControlMatrix &matrix, const std::array<bool, kMaxRows> &reversed,
                                int numParams);

} // namespace tovel
