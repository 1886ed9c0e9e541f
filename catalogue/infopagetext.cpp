#include "catalogue/infopagetext.h"

#include <QHash>
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

// "&amp;", "&#8211;", "&#x2013;": the character, or the reference as written when it names none.
QString resolveReferences(const QString &text)
{
    static const QRegularExpression reference(QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]+);"));
    static const QHash<QString, QChar> named = {
        {QStringLiteral("amp"), QLatin1Char('&')},  {QStringLiteral("lt"), QLatin1Char('<')},
        {QStringLiteral("gt"), QLatin1Char('>')},   {QStringLiteral("quot"), QLatin1Char('"')},
        {QStringLiteral("apos"), QLatin1Char('\'')}, {QStringLiteral("nbsp"), QLatin1Char(' ')},
    };
    QString out;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = reference.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QString name = m.captured(1);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            // No controls and no surrogate halves come out of a page.
            if (ok && code >= 0x20 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                continue;
            }
        } else if (const auto found = named.constFind(name.toLower()); found != named.constEnd()) {
            out += *found;
            continue;
        }
        out += m.captured(0);
    }
    out += QStringView(text).mid(from);
    return out;
}

} // namespace

QString infoPagePlainText(const QString &html)
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>(.*?)(</body\\s*>|$)"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cellEnd(QStringLiteral("</t[dh]\\s*>\\s*(?=<t[dh][\\s>])"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression lineEnd(QStringLiteral("<br\\s*/?>|</(p|tr|h[1-6]|div|li|table)\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\r\\n]+"));
    const QRegularExpressionMatch m = body.match(html);
    QString text = m.hasMatch() ? m.captured(1) : html;
    // Line ends in the source are blanks; the markup says where lines end.
    text.replace(blanks, QStringLiteral(" "));
    // The cells of a row meet at a unit separator, which no page holds, then at ": ".
    text.replace(cellEnd, QStringLiteral("\x1f"));
    text.replace(lineEnd, QStringLiteral("\n"));
    text.remove(tag);
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        QStringList cells = line.split(QLatin1Char('\x1f'));
        for (QString &cell : cells)
            cell = resolveReferences(cell).simplified();
        cells.removeAll(QString());
        const QString shown = cells.join(QStringLiteral(": "));
        if (!shown.isEmpty())
            lines.append(shown);
    }
    return lines.join(QLatin1Char('\n'));
}

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
