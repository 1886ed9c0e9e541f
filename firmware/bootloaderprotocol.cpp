#include "firmware/bootloaderprotocol.h"

#include <iterator>

namespace tovel::bootloader {

namespace {

using std::chrono::milliseconds;

// frame, sleep before each byte, after each byte, after the frame, one write, answer time-out
const FrameInfo kFrames[] = {
    {Frame::WriteCommand, 0, 1, 20, false, kAnswerTimeout},
    {Frame::WriteAddress, 0, 1, 20, false, kAnswerTimeout},
    {Frame::EraseCommand, 1, 0, 20, false, kAnswerTimeout},
    {Frame::GlobalErase, 1, 0, 20, false, kEraseTimeout},
    {Frame::DataCount, 0, 1, 0, false, milliseconds(0)},
    {Frame::DataBytes, 0, 0, 0, false, milliseconds(0)},
    {Frame::DataChecksum, 0, 1, 0, false, kAnswerTimeout},
    {Frame::Marker, 0, 1, 20, false, kAnswerTimeout},
    {Frame::GoCommand, 0, 1, 100, false, kAnswerTimeout},
    {Frame::GoAddress, 0, 1, 100, false, kAnswerTimeout},
    {Frame::ReadCommand, 0, 0, 0, true, kAnswerTimeout},
    {Frame::ReadAddress, 0, 0, 0, true, kAnswerTimeout},
    {Frame::ReadCount, 0, 0, 0, true, kAnswerTimeout},
    {Frame::Resync, 0, 0, 0, true, kAnswerTimeout},
};

} // namespace

const FrameInfo &frameInfo(Frame frame)
{
    for (const FrameInfo &info : kFrames)
        if (info.frame == frame)
            return info;
    return kFrames[std::size(kFrames) - 1];
}

quint8 xorOf(const QByteArray &bytes)
{
    quint8 x = 0;
    for (char c : bytes)
        x ^= quint8(c);
    return x;
}

QByteArray commandFrame(Command command)
{
    const quint8 code = quint8(command);
    QByteArray f;
    f.append(char(code));
    f.append(char(code ^ 0xFF));
    return f;
}

QByteArray addressFrame(quint32 address)
{
    QByteArray f;
    for (int shift = 24; shift >= 0; shift -= 8)
        f.append(char(quint8(address >> shift)));
    f.append(char(xorOf(f)));
    return f;
}

QByteArray dataFrame(const QByteArray &data)
{
    Q_ASSERT(!data.isEmpty() && data.size() <= int(kBlockSize));
    QByteArray f;
    f.append(char(quint8(data.size() - 1)));
    f.append(data);
    f.append(char(xorOf(f)));
    return f;
}

QByteArray wordAligned(const QByteArray &data)
{
    QByteArray aligned = data;
    aligned.append((4 - data.size() % 4) % 4, char(0xFF));
    return aligned;
}

QByteArray globalEraseFrame()
{
    return QByteArray::fromHex("FF00");
}

QByteArray readCountFrame(int bytes)
{
    const quint8 n = quint8(bytes - 1);
    QByteArray f;
    f.append(char(n));
    f.append(char(n ^ 0xFF));
    return f;
}

QByteArray markerFrame(int variant)
{
    QByteArray record(8, '\0');
    record[0] = char(quint8(variant));
    return dataFrame(record);
}

QString addressText(quint32 address)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper();
}

QString bytesText(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("nothing");
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString byteCount(qint64 count)
{
    return count == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(count);
}

} // namespace tovel::bootloader
