#include "protocol/effectquery.h"

#include "core/editorerror.h"

namespace tovel {

int toInteger(const QString &text)
{
    bool valid = !text.isEmpty();
    for (int i = 0; i < text.size() && valid; ++i) {
        const ushort c = text[i].unicode();
        const bool sign = i == 0 && text.size() > 1 && (c == '-' || c == '+');
        valid = sign || (c >= '0' && c <= '9');
    }
    bool ok = false;
    const int value = valid ? text.toInt(&ok) : 0;
    if (!ok)
        throw EditorError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

EffectInfo ParseEffectInfo(const QString &answer)
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
    EffectInfo info;
    info.effectNumber = toInteger(fields[1]);
    info.effectVersion = toInteger(fields[2]);
    info.firmwareVersion = toInteger(fields[3]);
    return info;
}

} // namespace tovel
