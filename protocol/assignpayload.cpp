#include "protocol/assignpayload.h"

namespace tovel {

AssignPayload assignmentPayload(const ControlMatrix &matrix, const std::array<bool, kMaxRows> &reversed,
                                int numParams)
{
    AssignPayload payload{};
    for (int c = 0; c < kPedalControls; ++c) {
        for (int p = 0; p < 16; ++p)
            payload[16 * c + p] = quint8(matrix[c][p]);
        for (int p = 16; p < kMaxRows; ++p)
            payload[128 + 8 * c + (p - 16)] = quint8(matrix[c][p]);
    }
    for (int p = 0; p < numParams && p < 16; ++p)
        payload[112 + p] = reversed[p] ? 1 : 0;
    return payload;
}

} // namespace tovel
