#include "update/versiontext.h"

#include <QRegularExpression>

#include <QStringDecoder>
#include <QStringList>

namespace tovel {

QString appVersionFrom(const QString &fileVersion)
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

QString printableAnswerText(const QByteArray &bytes, bool keepLineEnds)
{
    // A stateful decoder keeps a sequence cut off at the limit to itself instead of emitting a
    // replacement character for it.
    QStringDecoder utf8(QStringDecoder::Utf8);
    return printableText(utf8.decode(bytes.left(kMaxAnswerBytes)), keepLineEnds);
}

QString printableText(const QString &text, bool keepLineEnds)
{
    QList<uint> kept;
    kept.reserve(text.size());
    // toUcs4 turns a lone surrogate into U+FFFD.
    for (const uint c : text.toUcs4()) {
        const bool lineEnd = c == '\r' || c == '\n';
        // Not printable: controls, format characters (bidi marks, embeddings, overrides and
        // isolates, byte-order marks), private-use and unassigned code points. U+FFFD stands for
        // bytes that were not UTF-8. U+2028 and U+2029 break a caption's line as CR LF would.
        const bool separator = QChar::category(char32_t(c)) == QChar::Separator_Line
                               || QChar::category(char32_t(c)) == QChar::Separator_Paragraph;
        const bool printable =
            QChar::isPrint(char32_t(c)) && c != QChar::ReplacementCharacter && !separator;
        if (printable || (keepLineEnds && lineEnd))
            kept.append(c);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(kept.constData()), kept.size());
}

bool isVersionText(const QString &text)
{
    static const QRegularExpression version(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    const QString trimmed = text.trimmed();
    return trimmed.size() <= kMaxVersionChars && version.match(trimmed).hasMatch();
}

QString shortenedText(const QString &text, qsizetype maxChars)
{
    if (text.size() <= maxChars)
        return text;
    qsizetype keep = maxChars - 1;
    if (keep > 0 && text.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    return text.left(keep) + QChar(0x2026);
}

QString shownErrorText(const QString &text)
{
    return shortenedText(printableText(text, false), kShownErrorChars);
}

} // namespace tovel
