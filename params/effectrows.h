#pragma once

#include "params/controllayout.h"
#include "params/paramrows.h"
#include "protocol/assignpayload.h"

#include <QString>
#include <QStringList>
#include <array>

namespace tovel {

class CatalogueLoader;
class Console;

// The rows of an effect as the editor shows them: its control layout, the pedal address of
// every row (from the effect's program) and what each row shows (its name, a switch's two
// captions, a list's options).
struct EffectRows {
    QString effect;        // display name
    ControlLayout layout;  // counts and lines; NumParams rows
    // The program gave the addresses: the rows exist. A layout alone (its program missing)
    // announces rows that are not built.
    bool complete = false;
    // Why the rows are not complete: a resource that did not load, a layout that does not read.
    QString problem;
    std::array<QString, kMaxRows> ParamAddress;
    std::array<QString, kMaxRows> name;
    std::array<QString, kMaxRows> SwitchOffText;
    std::array<QString, kMaxRows> SwitchOnText;
    std::array<QStringList, kMaxRows> options;
    std::array<int, kMaxRows> OptionCount{};

    // Rows that exist: NumParams when complete, else none.
    int count() const { return complete ? layout.NumParams : 0; }
    int NumParams() const { return layout.NumParams; }
    int NumPots() const { return layout.NumPots; }
    int NumSwitches() const { return layout.NumSwitches; }
    RowKind kind(int row) const { return rowKind(layout, row); }
    // The row's name for screen readers and messages: never empty, unique among the rows.
    QString spokenName(int row) const;
};

// Reads the rows of `effect` from the catalogue, tracing what it reads: the layout's counts and
// lines, the program's first line and the 24 addresses, then each switch's captions and each
// list's options. A resource that does not load, or a layout whose count line does not read,
// ends the reading at its step with the rows' problem saying why: without the layout nothing is
// known, without the program the rows are not complete.
EffectRows loadEffectRows(CatalogueLoader &loader, const QString &effect, Console &console);

} // namespace tovel
