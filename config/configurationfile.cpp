#include "config/configurationfile.h"

#include "core/safefile.h"
#include "params/paramtables.h"

#include <QDir>
#include <QStringDecoder>
#include <algorithm>

namespace tovel {

QStringList configurationFolderNames()
{
    return {QStringLiteral("ZANTH"), QStringLiteral("Tovel")};
}

QString configurationFolder(const QString &documents)
{
    if (documents.isEmpty())
        return QString();
    return QDir(documents).filePath(configurationFolderNames().join(QLatin1Char('/')));
}

QString configurationPath(const QString &documents, const QString &effect)
{
    const QString folder = configurationFolder(documents);
    if (folder.isEmpty() || effect.isEmpty())
        return QString();
    return QDir(folder).filePath(effect + QStringLiteral(".txt"));
}

QString configurationFilter()
{
    return QStringLiteral("Configuration Files (*.txt)|*.txt");
}

QByteArray configurationText(const Configuration &configuration)
{
    QByteArray text;
    auto line = [&text](const QString &item) {
        text += item.toUtf8();
        text += "\r\n";
    };
    for (int value : configuration.values)
        line(QString::number(value));
    for (const QString &name : configuration.assignments)
        line(name);
    for (bool reversed : configuration.reversed)
        line(reversed ? QStringLiteral("T") : QStringLiteral("F"));
    for (int limit : configuration.minLimits)
        line(QString::number(limitPercent(limit)));
    for (int limit : configuration.maxLimits)
        line(QString::number(limitPercent(limit)));
    return text;
}

QString writeConfiguration(const QString &path, const Configuration &configuration)
{
    return writeFileSafely(path, configurationText(configuration));
}

QStringList configurationLines(const QByteArray &bytes)
{
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes);
    // The decoder drops the byte-order mark it finds at the start.
    QStringDecoder decoder(marked.value_or(QStringConverter::Utf8));
    const QString text = decoder.decode(bytes);

    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

std::optional<int> parseDecimal(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed.at(i) == QLatin1Char('-') || trimmed.at(i) == QLatin1Char('+')))
        ++i;
    if (i == trimmed.size())
        return std::nullopt;
    for (qsizetype j = i; j < trimmed.size(); ++j)
        if (trimmed.at(j) < QLatin1Char('0') || trimmed.at(j) > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const int value = trimmed.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<int> pedalControlIndex(const QString &text)
{
    for (int c = 0; c < kPedalControls; ++c)
        if (text == PedalControlNames[c])
            return c;
    return std::nullopt;
}

std::optional<bool> reverseFlag(const QString &text)
{
    if (text == QLatin1String("T"))
        return true;
    if (text == QLatin1String("F"))
        return false;
    return std::nullopt;
}

int limitPercent(int level)
{
    return limitPercentSet(level);
}

// A level L shows the percentage p when L x 100 div 1024 = p - 1, that is for
// (p - 1) x 1024 / 100 <= L < p x 1024 / 100.
int minLimitFromPercent(int percent)
{
    const int p = std::clamp(percent, 1, 100);
    return ((p - 1) * 1024 + 99) / 100;
}

int maxLimitFromPercent(int percent)
{
    const int p = std::clamp(percent, 1, 100);
    return std::min((p * 1024 + 99) / 100 - 1, kMaxLevel);
}

ConfigurationReader::ConfigurationReader(QStringList lines, int numParams, int numPots)
    : m_lines(std::move(lines)),
      m_rows(std::clamp(numParams, 0, kMaxRows)),
      m_pots(std::clamp(numPots, 0, m_rows))
{
}

std::optional<ConfigurationReader::Item> ConfigurationReader::inBlock(int first, int size, int index) const
{
    if (index < 0 || index >= size)
        return std::nullopt;
    const int line = first + index;
    if (line >= m_lines.size())
        return std::nullopt;
    return Item{line + 1, m_lines.at(line)};
}

QString ConfigurationReader::badNumberMessage(const Item &item)
{
    return QStringLiteral("Line %1 of the configuration file is not a whole number: \"%2\". "
                          "Nothing was loaded.")
        .arg(item.lineNumber)
        .arg(item.text);
}

} // namespace tovel
