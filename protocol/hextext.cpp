#include "protocol/hextext.h"

namespace tovel {

namespace {
int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
} // namespace

QString hexField(quint64 value, int digits)
{
    QString text = QString::number(value, 16).toUpper();
    if (text.size() > digits)
        return text.right(digits);
    return text.rightJustified(digits, QLatin1Char('0'));
}

int hexToBytes(const QString &text, quint8 *out, int maxBytes)
{
    int count = 0;
    for (int i = 0; i + 1 < text.size() && count < maxBytes; i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        out[count++] = quint8(high << 4 | low);
    }
    return count;
}

QByteArray HexToBytes(const QString &text)
{
    QByteArray bytes(text.size() / 2, '\0');
    hexToBytes(text, reinterpret_cast<quint8 *>(bytes.data()), int(bytes.size()));
    return bytes;
}

QString bytesToHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

} // namespace tovel
