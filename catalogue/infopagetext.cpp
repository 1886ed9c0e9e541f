#include "catalogue/infopagetext.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <array>

namespace tovel {

namespace {

// windows-1252 bytes 0x80 to 0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The charset of a META element, looked for where browsers look: the page's first 1,024 bytes.
QString declaredCharset(const QByteArray &bytes)
{
    static const QRegularExpression charset(
        QStringLiteral("<meta[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = charset.match(QString::fromLatin1(bytes.left(1024)));
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

} // namespace

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b <= 0x9F) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decodeInfoPage(const QByteArray &bytes)
{
    if (const auto encoding = QStringConverter::encodingForData(bytes))
        return QStringDecoder(*encoding).decode(bytes);
    const QString charset = declaredCharset(bytes);
    if (charset == QLatin1String("utf-8") || charset == QLatin1String("utf8"))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

} // namespace tovel
