#pragma once

// WAV fixtures made at run time: the test writes raw little-endian samples and sox wraps them
// in the WAV variant asked for. No audio file is committed.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <QtTest>

namespace tovel::test {

struct SoxFormat {
    QString encoding = QStringLiteral("signed-integer"); // or unsigned-integer, floating-point
    int bits = 24;
    int channels = 1;
    int rate = 48000;
    // "wavpcm": a plain 16-byte format chunk right before the data; "wav": what sox writes by
    // default (extensible for more than 16 bits or 2 channels, a fact chunk for float).
    QString type = QStringLiteral("wavpcm");
};

// Runs sox; fails the test when it does not succeed.
inline bool runSox(const QStringList &args)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"), args);
    if (!sox.waitForFinished(60000) || sox.exitStatus() != QProcess::NormalExit || sox.exitCode() != 0) {
        qWarning("sox %s: %s", qPrintable(args.join(QLatin1Char(' '))), sox.readAllStandardError().constData());
        return false;
    }
    return true;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
}

// The raw interleaved bytes become dir/name in the format given; returns the path.
inline QString soxWav(const QString &dir, const QString &name, const QByteArray &raw, const SoxFormat &fmt)
{
    const QString rawPath = QDir(dir).filePath(name + QStringLiteral(".raw"));
    const QString wavPath = QDir(dir).filePath(name);
    writeAll(rawPath, raw);
    const QStringList common = {
        QStringLiteral("-r"), QString::number(fmt.rate), QStringLiteral("-e"), fmt.encoding,
        QStringLiteral("-b"), QString::number(fmt.bits), QStringLiteral("-c"), QString::number(fmt.channels),
    };
    QStringList args = {QStringLiteral("-D"), QStringLiteral("-t"), QStringLiteral("raw")};
    args += common;
    args += {QStringLiteral("--endian"), QStringLiteral("little"), rawPath, QStringLiteral("-t"), fmt.type};
    args += common;
    args += wavPath;
    if (!runSox(args))
        return QString();
    return wavPath;
}

// Little-endian sample bytes of `bytes` width each.
inline QByteArray packSamples(const QList<qint64> &values, int bytes)
{
    QByteArray raw;
    raw.reserve(values.size() * bytes);
    for (qint64 v : values)
        for (int b = 0; b < bytes; ++b)
            raw.append(char((quint64(v) >> (8 * b)) & 0xFF));
    return raw;
}

// A chunk with its header (and a pad byte when odd) inserted at `at`; the RIFF size follows.
inline QByteArray insertChunk(QByteArray file, qsizetype at, const QByteArray &id, const QByteArray &body)
{
    QByteArray chunk = id;
    char size[4];
    qToLittleEndian<quint32>(quint32(body.size()), size);
    chunk.append(size, 4).append(body);
    if (body.size() % 2)
        chunk.append('\0');
    file.insert(at, chunk);
    qToLittleEndian<quint32>(quint32(file.size() - 8), file.data() + 4);
    return file;
}

} // namespace tovel::test
