#include "protocol/commands.h"

#include "protocol/hextext.h"

#include <iterator>

namespace tovel {

namespace {
using C = AnswerCollect;
const CommandInfo kCommands[] = {
    {CommandCode::ProgramUpload, 0, false, 0, C::Block},
    {CommandCode::ParameterValue, 7, false, 0, C::None},
    {CommandCode::StateRequest, 2, true, 200, C::Block},
    {CommandCode::StoreSettings, 2, true, 100, C::None},
    {CommandCode::AssignmentTable, 193, true, 100, C::None},
    {CommandCode::EffectQuery, 2, true, 100, C::Text},
    {CommandCode::ParameterLimit, 7, true, 0, C::None},
    {CommandCode::BootloaderSync, 1, false, 0, C::Text},
};

// The level field's four bytes, most significant first.
void appendLevel(QByteArray &bytes, int level)
{
    const quint32 value = quint32(level) * quint32(kLevelScale);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
}
} // namespace

const CommandInfo &commandInfo(CommandCode code)
{
    for (const CommandInfo &info : kCommands)
        if (info.code == code)
            return info;
    return kCommands[0];
}

QString levelField(int level)
{
    return hexField(quint32(level) * quint32(kLevelScale), 8);
}

QByteArray parameterValueCommand(quint16 address, int level)
{
    QByteArray bytes(1, char(CommandCode::ParameterValue));
    bytes.append(char(address >> 8)).append(char(address & 0xFF));
    appendLevel(bytes, level);
    return bytes;
}

QByteArray stateRequestCommand(int numParams)
{
    return QByteArray(1, char(CommandCode::StateRequest)).append(char(quint8(numParams)));
}

QByteArray storeSettingsCommand(int numParams)
{
    return QByteArray(1, char(CommandCode::StoreSettings)).append(char(quint8(numParams)));
}

QByteArray parameterLimitCommand(LimitKind kind, int row, int level)
{
    QByteArray bytes(1, char(CommandCode::ParameterLimit));
    bytes.append(char(kind)).append(char(quint8(row)));
    appendLevel(bytes, level);
    return bytes;
}

QByteArray effectQueryCommand()
{
    return QByteArray::fromHex("0500");
}

QByteArray assignmentTableCommand(const AssignPayload &payload)
{
    QByteArray command(1, char(CommandCode::AssignmentTable));
    command.append(reinterpret_cast<const char *>(payload.data()), qsizetype(payload.size()));
    return command;
}

QByteArray bootloaderSyncCommand()
{
    return QByteArray(1, char(CommandCode::BootloaderSync));
}

} // namespace tovel
