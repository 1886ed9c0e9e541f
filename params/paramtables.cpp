#include "params/paramtables.h"

#include "core/seams.h"

namespace tovel {

const std::array<QString, 8> PedalControlNames = {
    QStringLiteral("I"),   QStringLiteral("EXP"), QStringLiteral("II"), QStringLiteral("III"),
    QStringLiteral("SWT"), QStringLiteral("SWR"), QStringLiteral("SW"), QStringLiteral("NA")};

void ParamTables::reset_min_max_array()
{
    MinLimit.fill(0);
    MaxLimit.fill(kMaxLevel);
}

void ParamTables::AssignBoxChanged(int row, int index)
{
    if (row < 0 || row >= kMaxRows)
        return;
    for (auto &control : AssignMatrix)
        control[row] = 0;
    if (index < 0)
        return;
    if (index >= kNoControl) {
        IsAssigned[row] = false;
        return;
    }
    AssignMatrix[index][row] = 1;
    IsAssigned[row] = true;
}

void BuildAssignPayload(ParamTables &tables, const std::array<bool, kMaxRows> &reversed,
                        int numParams, Console &console)
{
    tables.AssignPayload = assignmentPayload(tables.AssignMatrix, reversed, numParams);
    console.printToConsole(QStringLiteral("ASSIGNMENTS SENT from 0 to 15:"));
    for (int c = 0; c < kPedalControls; ++c) {
        console.printToConsole(QStringLiteral("CONTROL NUM ") + PedalControlNames[c] + QLatin1Char(':'));
        for (int p = 0; p < 16; ++p)
            console.printToConsole(QStringLiteral("p%1: %2").arg(p).arg(tables.AssignMatrix[c][p]));
    }
    for (int p = 0; p < numParams && p < kMaxRows; ++p)
        console.printToConsole(reversed[p] ? QStringLiteral("param %1 REVERSED").arg(p)
                                           : QStringLiteral("param %1...").arg(p));
    console.printToConsole(QStringLiteral("ASSIGNMENTS SENT from 16 to 23:"));
    for (int c = 0; c < kPedalControls; ++c) {
        console.printToConsole(QStringLiteral("CONTROL NUM ") + PedalControlNames[c] + QLatin1Char(':'));
        for (int p = 16; p < kMaxRows; ++p)
            console.printToConsole(QStringLiteral("p%1: %2").arg(p).arg(tables.AssignMatrix[c][p]));
    }
}

int limitPercentSet(int level)
{
    return level * 100 / 1024 + 1;
}

int minPercentRead(int level)
{
    return std::min(level * 100 / 1023 + 1, 100);
}

int maxPercentRead(int level)
{
    return level * 100 / 1023;
}

} // namespace tovel
