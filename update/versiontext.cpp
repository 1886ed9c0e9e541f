#include "update/versiontext.h"

#include <QStringDecoder>
#include <QStringList>

namespace tovel {

QString AppVersionFrom(const QString &fileVersion)
{
    const QStringList numbers = fileVersion.split(QLatin1Char('.'));
    bool majorOk = false;
    bool minorOk = true;
    const uint major = numbers.value(0).toUInt(&majorOk);
    const uint minor = numbers.size() > 1 ? numbers.at(1).toUInt(&minorOk) : 0;
    if (!majorOk || !minorOk)
        return {};
    return QStringLiteral("%1.%2").arg(major).arg(minor);
}

QString PrintableAnswerText(const QByteArray &bytes, bool keepLineEnds)
{
    // A stateful decoder keeps a sequence cut off at the limit to itself instead of emitting a
    // replacement character for it.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes.left(kMaxAnswerBytes));
    QList<uint> kept;
    kept.reserve(decoded.size());
    for (const uint c : decoded.toUcs4()) {
        const bool lineEnd = c == '\r' || c == '\n';
        // Not printable: controls, format characters (bidi overrides, byte-order marks),
        // private-use and unassigned code points. U+FFFD stands for bytes that were not UTF-8.
        const bool printable = QChar::isPrint(char32_t(c)) && c != QChar::ReplacementCharacter;
        if (printable || (keepLineEnds && lineEnd))
            kept.append(c);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

} // namespace tovel
