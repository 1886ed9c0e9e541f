#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovel {

struct ControlLayout;

// Rows come in layout order: pots, then switches, then multi-position switches.
enum class RowKind { Pot, Switch, MultiSwitch };

// The kind of row p of a layout (p below its NumParams).
RowKind rowKind(const ControlLayout &layout, int row);

// A switch line "Name:OffCaption:OnCaption". The first caption is the off state, whatever its
// words ("Mute:ON:OFF"). One colon gives both captions the text after it; none gives the whole
// line as name and both captions; everything after the second colon is the on caption.
struct SwitchLine {
    QString name;
    QString offText;
    QString onText;
};
SwitchLine splitSwitchLine(const QString &line);

// A multi-switch line "Name;Option;Option;...": one option per ";", the last one after the
// final ";". A line without ";" is all name and has no options.
struct MultiSwitchLine {
    QString name;
    QStringList options;
};
MultiSwitchLine splitMultiSwitchLine(const QString &line);

// The 24 pedal addresses from the first line of an effect program (hex text): rows 0..15 at
// bytes 3..34, rows 16..23 at bytes 49..64; bytes 35..48 hold other data. A short line gives
// short or empty addresses for the rows it does not reach.
QStringList paramAddressesFromProgram(const QString &programLine);

// An address the pedal can be sent: exactly four hex digits. Anything shorter would leave
// stale TransmitBuffer bytes in the 7-byte ParameterValue command.
bool isSendableAddress(const QString &address);

// Levels 0..1023 of each row kind.
// A pot: the slider's value rounded to the nearest integer, halves to the even neighbour.
int potLevel(double value);
// A switch: 1023 on, 0 off.
int switchLevel(bool on);
// A multi-switch: option index x (1024 div optionCount). Nothing for a row without options or
// with no option chosen.
std::optional<int> multiSwitchLevel(int index, int optionCount);
// The option a multi-switch row shows for a level: level div (1024 div options), the last
// option for anything beyond it. Nothing for a row without options or a negative level.
std::optional<int> multiSwitchIndex(int level, int optionCount);

} // namespace tovel
