#pragma once

#include <QString>
#include <QStringList>

namespace tovel {

// 0..15 for a text that is exactly one of "0".."9", "A".."F"; -1 for anything else
// (lower-case digits included).
int HexDigitValue(const QString &text);

// An effect's control layout: the first line counts pots, switches and multi-position switches
// (one upper-case hex digit each, "721"), then one line per control in that order.
struct ControlLayout {
    static constexpr int kMaxParams = 24;

    int NumPots = 0;
    int NumSwitches = 0;
    int NumMultiSwitches = 0;
    // Rows the window builds: the sum of the counts, at most 24.
    int NumParams = 0;
    // One line per row. A layout may announce more lines than it has (one delivered layout
    // does); such rows get an empty line rather than a line read past the end.
    QStringList ParamLines;
    // How many of ParamLines came from the layout itself.
    int LinesPresent = 0;
    // Why the layout cannot be read (its count line missing or not three hex digits), with no
    // rows then; empty for a layout that reads.
    QString problem;

    static ControlLayout fromLines(const QStringList &lines);
};

} // namespace tovel
