#include "protocol/stateblock.h"

#include "protocol/commands.h"
#include "protocol/effectquery.h"

namespace tovel {

QString stateAnswerFault(const QByteArray &answer)
{
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < answer.size(); ++i) {
        const char c = answer[i];
        if (c == '\n') {
            ++line;
            lineStart = i + 1;
        } else if ((c < '0' || c > '9') && c != '\r') {
            qsizetype lineEnd = answer.indexOf('\n', i);
            if (lineEnd < 0)
                lineEnd = answer.size();
            const QByteArray text = answer.mid(lineStart, std::min<qsizetype>(lineEnd - lineStart, 32));
            return QStringLiteral("line %1 of the state answer holds %2 (hex), which is not a number")
                .arg(line)
                .arg(QString::fromLatin1(text.toHex(' ').toUpper()));
        }
    }
    return QString();
}

QList<quint8> ParseParameterAnswer(const QByteArray &answer)
{
    // Only digits count as digits: the rule below reads the low hex digit of each byte, so
    // noise would otherwise make numbers of its own.
    if (!stateAnswerFault(answer).isEmpty())
        return {};
    // Read as hex text, as the pedal's own tools read it: a CR byte is "0D", a LF "0A", a
    // digit '7' is "37"; a number ends at each "D" and its digits are the low hex digits of its
    // bytes. A LF ends a number too unless it follows a CR, so answers whose
    // lines end in CR LF, CR or LF alone give the same numbers.
    const QByteArray hex = answer.toHex().toUpper();
    QList<quint8> bytes;
    int start = 0;
    int v = 0;
    const auto endNumber = [&](int pos) {
        const int length = std::max(0, pos - start - 1); // without its last character
        if (length == 2 || length == 4 || length == 6) {
            QString digits;
            for (int i = 1; i < length; i += 2)
                digits += QLatin1Char(hex[start + i]);
            v = toInteger(digits).value_or(0) % 256; // digits only: the fault check came first
        }
        bytes.append(quint8(v));
    };
    for (int pos = 0; pos < hex.size(); ++pos) {
        if (hex[pos] == 'A') {
            const bool afterCr = pos >= 3 && hex[pos - 2] == 'D' && hex[pos - 3] == '0';
            if (!afterCr)
                endNumber(pos);
            start = pos + 1;
        } else if (hex[pos] == 'D') {
            endNumber(pos);
            if (pos + 1 < hex.size() && hex[pos + 1] == 'A')
                ++pos;
            start = pos + 1;
        }
    }
    return bytes;
}

std::optional<int> rowLevel(const QList<quint8> &bytes, int row)
{
    const qsizetype first = qsizetype(row) * 4;
    if (row < 0 || first + 4 > bytes.size())
        return std::nullopt;
    const quint32 raw = quint32(bytes[first]) << 24 | quint32(bytes[first + 1]) << 16
                        | quint32(bytes[first + 2]) << 8 | quint32(bytes[first + 3]);
    return qint32(raw) / kLevelScale;
}

QString implausibleRowLevel(const QList<quint8> &bytes, int rows)
{
    for (int p = 0; p < rows; ++p) {
        const std::optional<int> level = rowLevel(bytes, p);
        if (level && (*level < -1024 || *level > 1023))
            return QStringLiteral("row %1 of the state answer has the level %2, which no row can have")
                .arg(p)
                .arg(*level);
    }
    return QString();
}

int minLevelFromCode(int code)
{
    return (code + 1) * 8;
}

int maxLevelFromCode(int code)
{
    return code == 0 ? 1023 : (code + 1) * 8;
}

PedalStateBlock readStateBlock(const QList<quint8> &bytes, int rows)
{
    const auto byteAt = [&bytes](qsizetype position) -> std::optional<int> {
        if (position < 0 || position >= bytes.size())
            return std::nullopt;
        return bytes[position];
    };
    PedalStateBlock block;
    for (int p = 0; p < rows; ++p)
        block.levels.append(rowLevel(bytes, p));
    for (int c = 0; c < kPedalControls; ++c)
        for (int p = 0; p < kMaxRows; ++p)
            block.drives[c][p] = byteAt(StateBlock::assignment(rows, c, p)).value_or(0) != 0;
    for (int p = 0; p < kMaxRows; ++p) {
        if (const std::optional<int> flag = byteAt(StateBlock::reverse(rows, p)))
            block.reversed[p] = *flag != 0;
        block.minimumCode[p] = byteAt(StateBlock::minimumCode(rows, p));
        block.maximumCode[p] = byteAt(StateBlock::maximumCode(rows, p));
    }
    return block;
}

} // namespace tovel
