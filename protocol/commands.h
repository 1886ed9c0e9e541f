#pragma once

#include "protocol/assignpayload.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace tovel {

// The effect firmware's commands: a code byte and fixed big-endian fields; no start byte, no
// checksum, no terminator. A parameter level 0..1023 travels as level x 8192 in 32 bits, so
// 1023 is 00 7F E0 00.
enum class CommandCode : quint8 {
    ProgramUpload = 0x00,   // the program image itself; answered by a short status text
    ParameterValue = 0x01,  // 01, pedal address (16), level x 8192 (32)
    StateRequest = 0x02,    // 02, NumParams (8); answered by the state block
    StoreSettings = 0x03,   // 03, NumParams (8)
    AssignmentTable = 0x04, // 04, 192 payload bytes
    EffectQuery = 0x05,     // 05, 00; answered by four text lines
    ParameterLimit = 0x06,  // 06, kind (00 min, 01 max), row (8), level x 8192 (32)
    BootloaderSync = 0x7F,  // greets the controller's bootloader; answered 0x79
};

// How a command's answer is waited for and collected; None: the command has no answer.
enum class AnswerCollect { None, Text, Block };

struct CommandInfo {
    CommandCode code;
    int length;           // bytes on the wire; 0 for the upload (the program's own length)
    bool purgeTransmit;   // purge the transmit queue before writing
    int pauseAfterMs;     // plain sleep after writing
    AnswerCollect collect;
};

// A level 0..1023 on the wire and in the state answer: level x 8192, the level shifted left by 13.
constexpr qint32 kLevelScale = 8192;

// The command table.
const CommandInfo &commandInfo(CommandCode code);

// The level field: level x 8192 as eight hex digits.
QString levelField(int level);

// ParameterValue: 01, the parameter's address in the effect's program (16 bits), level x 8192.
QByteArray parameterValueCommand(quint16 address, int level);
// StateRequest: 02, the number of rows.
QByteArray stateRequestCommand(int numParams);
// StoreSettings: 03, the number of rows.
QByteArray storeSettingsCommand(int numParams);
// ParameterLimit's kind byte.
enum class LimitKind : quint8 { Minimum = 0x00, Maximum = 0x01 };
// ParameterLimit: 06, the kind, the row, level x 8192.
QByteArray parameterLimitCommand(LimitKind kind, int row, int level);
// EffectQuery: 05 00.
QByteArray effectQueryCommand();
// AssignmentTable: 04 and the payload.
QByteArray assignmentTableCommand(const AssignPayload &payload);
// BootloaderSync: 7F.
QByteArray bootloaderSyncCommand();

} // namespace tovel
