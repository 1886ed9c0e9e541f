#pragma once

#include "core/firstpaint.h"
#include "core/seams.h"

// What every benchmark prints for scripts/bench: one tab-separated line per case,
//   RESULT <case> <figure> <unit> <floor or peer> <ratio>
// where the floor or peer is its figure in the same unit and what it is (or "-" when the case
// has none), and the ratio is figure / floor-or-peer (or "-"). The free-text lines the
// benchmarks also print are for whoever runs one by hand.
#include <QByteArray>
#include <QFile>
#include <QtGlobal>
#include <QList>
#include <algorithm>
#include <cstdio>

namespace tovel::bench {

// The short run the test suite makes of every benchmark (TOVEL_BENCH_SHORT set): one iteration
// of each case on small inputs, so that a benchmark that no longer gets through its cases fails
// the suite. Its figures mean nothing and nothing reads them.
inline bool shortRun()
{
    return qEnvironmentVariableIsSet("TOVEL_BENCH_SHORT");
}

// `full` in a normal run, `small` in the short one.
inline int amount(int full, int small = 1)
{
    return shortRun() ? small : full;
}

// Dialogs for a benchmark: messages printed, every question answered No, every file dialog
// cancelled.
class PrintingPrompts : public Prompts {
public:
    void showMessage(const QString &text) override { std::printf("message: %s\n", qPrintable(text)); }
    Answer askYesNo(const QString &) override { return Answer::No; }
    QString openFile(const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &) override { return {}; }
};

inline QByteArray figureText(double value)
{
    const double magnitude = value < 0 ? -value : value;
    return QByteArray::number(value, 'f', magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : magnitude >= 1 ? 2 : 3);
}

inline void result(const char *caseName, double figure, const char *unit, double reference = 0,
                   const char *referenceName = nullptr)
{
    const bool hasReference = referenceName && reference > 0;
    const QByteArray peer = hasReference ? figureText(reference) + ' ' + unit + ' ' + referenceName : QByteArray("-");
    const QByteArray ratio = hasReference ? QByteArray::number(figure / reference, 'f', 2) : QByteArray("-");
    std::printf("RESULT\t%s\t%s\t%s\t%s\t%s\n", caseName, figureText(figure).constData(), unit, peer.constData(),
                ratio.constData());
    std::fflush(stdout);
}

// The process's peak resident set so far (VmHWM), in KiB; -1 when unknown.
inline long peakRssKiB()
{
    return peakResidentKiB();
}

// The process's resident set now (VmRSS), in KiB; -1 when unknown.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Starts the peak resident set (VmHWM) afresh from the resident set now, so that a later
// peakRssKiB() tells the peak of what came after. False where the kernel cannot.
inline bool resetPeakRss()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// The middle of a set of runs: steadier than the mean on a shared machine.
inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace tovel::bench
