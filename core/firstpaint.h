#pragma once

#include <QObject>
#include <chrono>
#include <functional>

namespace tovel {

// Start-up measurement (bench/bench_startup): when TOVEL_QUIT_AFTER_FIRST_PAINT is set in the
// environment, the program prints "first-paint <width>x<height> <peak resident KiB>" on its
// standard output once `window` has been painted and shown for the first time, then quits.
// Without the variable this does nothing.
void quitAfterFirstPaintIfAsked(QObject *window);

// Runs `work` once, as soon as `window`'s first frame has been painted and handed to the screen:
// start-up work that frame does not show waits for it. A window that is never painted (never
// exposed) gets it after `latest` all the same. Install it before quitAfterFirstPaintIfAsked,
// which then measures the frame without this work.
void afterFirstPaint(QObject *window, std::function<void()> work,
                     std::chrono::milliseconds latest = std::chrono::milliseconds(1000));

// The process's peak resident set so far (VmHWM), in KiB; -1 when unknown.
long peakResidentKiB();

} // namespace tovel
