#include "protocol/effectquery.h"

namespace tovel {

std::optional<int> toInteger(const QString &text, QString *problem)
{
    bool valid = !text.isEmpty();
    for (int i = 0; i < text.size() && valid; ++i) {
        const ushort c = text[i].unicode();
        const bool sign = i == 0 && text.size() > 1 && (c == '-' || c == '+');
        valid = sign || (c >= '0' && c <= '9');
    }
    bool ok = false;
    const int value = valid ? text.toInt(&ok) : 0;
    if (!ok) {
        if (problem)
            *problem = QStringLiteral("'%1' is not a valid integer value").arg(text);
        return std::nullopt;
    }
    return value;
}

std::optional<EffectInfo> ParseEffectInfo(const QString &answer, QString *problem)
{
    QString rest = answer;
    QString fields[4];
    for (QString &field : fields) {
        const int cr = rest.indexOf(QLatin1Char('\r'));
        if (cr < 0) {
            field = rest;
            rest.clear();
        } else {
            field = rest.left(cr);
            rest.remove(0, cr + 2);
        }
    }
    const std::optional<int> number = toInteger(fields[1], problem);
    const std::optional<int> version = number ? toInteger(fields[2], problem) : std::nullopt;
    const std::optional<int> firmware = version ? toInteger(fields[3], problem) : std::nullopt;
    if (!firmware)
        return std::nullopt;
    return EffectInfo{*number, *version, *firmware};
}

} // namespace tovel
