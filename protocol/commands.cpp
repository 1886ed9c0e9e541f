#include "protocol/commands.h"

#include "protocol/hextext.h"

#include <iterator>

namespace tovel {

namespace {
const CommandInfo kCommands[] = {
    {CommandCode::ProgramUpload, 0, false, 0},
    {CommandCode::ParameterValue, 7, false, 0},
    {CommandCode::StateRequest, 2, true, 200},
    {CommandCode::StoreSettings, 2, true, 100},
    {CommandCode::AssignmentTable, 193, true, 100},
    {CommandCode::EffectQuery, 2, true, 100},
    {CommandCode::ParameterLimit, 7, true, 0},
    {CommandCode::BootloaderSync, 1, false, 0},
};
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
    const quint32 value = quint32(level) * quint32(kLevelScale);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
    return bytes;
}

QString stateRequestHex(int numParams)
{
    return QStringLiteral("02") + hexField(quint32(numParams), 2);
}

QString storeSettingsHex(int numParams)
{
    return QStringLiteral("03") + hexField(quint32(numParams), 2);
}

QString parameterLimitHex(LimitKind kind, int row, int level)
{
    return QStringLiteral("06") + hexField(quint8(kind), 2) + hexField(quint32(row), 2) + levelField(level);
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
