#include "protocol/commandexchange.h"

#include "core/mainstate.h"
#include "core/seams.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <algorithm>

namespace tovel {

int CommandExchange::sendHex(const QString &hex, int length, bool purgeTransmit)
{
    const int converted = hexToBytes(hex, m_usb.state.TransmitBuffer.data(),
                                     std::min<int>(length, UsbState::kBufferSize));
    if (purgeTransmit)
        m_usb.PurgeFTTransmit();
    m_usb.WriteFTBuffer(quint32(length));
    return converted;
}

void CommandExchange::sendBytes(const QByteArray &bytes, bool purgeTransmit)
{
    const quint32 count = m_usb.putTransmitBytes(bytes);
    if (purgeTransmit)
        m_usb.PurgeFTTransmit();
    m_usb.WriteFTBuffer(count);
}

bool CommandExchange::waitForFirstByte()
{
    for (;;) {
        m_pacing.processEvents();
        if (m_usb.GetFTQueueStatus() != 0)
            return false;
        if (m_usb.state.QueuedBytes > 0)
            return true;
    }
}

QByteArray CommandExchange::drain(int pauseMs)
{
    QByteArray bytes;
    for (;;) {
        m_pacing.processEvents();
        const quint32 n = m_usb.ReadFTQueue(UsbState::kBufferSize);
        if (!m_state.FirmwareUpgradeMode)
            m_pacing.sleepMs(pauseMs);
        if (n == 0)
            return bytes;
        bytes.append(m_usb.receivedBytes(n));
    }
}

void CommandExchange::CollectAnswerText(QString &answer)
{
    if (!waitForFirstByte())
        return;
    const QByteArray bytes = drain(kTextPauseMs);
    m_console.printToConsole(QStringLiteral("num of bytes received: %1").arg(bytes.size()));
    m_usb.PurgeFTReceive();
    if (m_state.FirmwareUpgradeMode)
        answer = bytes.isEmpty() ? QString() : bytesToHex(bytes.left(1));
    else
        answer = QString::fromUtf8(bytes);
}

std::optional<QByteArray> CommandExchange::CollectAnswerBlock()
{
    if (!waitForFirstByte())
        return std::nullopt;
    m_usb.PurgeFTTransmit();
    const QByteArray bytes = drain(kBlockPauseMs);
    m_usb.PurgeFTReceive();
    return bytes;
}

} // namespace tovel
