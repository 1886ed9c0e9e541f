#pragma once

#include <QByteArray>
#include <QImage>

namespace tovel {

struct IrPlot;

// The summary's picture: the block's waveform above its magnitude response in dB over
// 20 Hz - 20 kHz.
constexpr int kIrPictureWidth = 440;
constexpr int kIrPictureHeight = 330;

QImage drawIrPicture(const IrPlot &plot);
// The picture as PNG bytes, the form the prompts carry.
QByteArray irPicturePng(const IrPlot &plot);

} // namespace tovel
