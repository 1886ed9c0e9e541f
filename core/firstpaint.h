#pragma once

#include <QObject>

namespace tovel {

// Start-up measurement (bench/bench_startup): when TOVEL_QUIT_AFTER_FIRST_PAINT is set in the
// environment, the program prints "first-paint <width>x<height> <peak resident KiB>" on its
// standard output once `window` has been painted and shown for the first time, then quits.
// Without the variable this does nothing.
void quitAfterFirstPaintIfAsked(QObject *window);

// The process's peak resident set so far (VmHWM), in KiB; -1 when unknown.
long peakResidentKiB();

} // namespace tovel
