#include "app/ir/irpicture.h"

#include "ir/irplot.h"
#include "ir/irsamples.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tovel {

namespace {

const QColor kGround(0xFF, 0xFF, 0xFF);
const QColor kPanel(0xF6, 0xF6, 0xF6);
const QColor kGrid(0xD6, 0xD6, 0xD6);
const QColor kText(0x30, 0x30, 0x30);
const QColor kWave(0x1F, 0x5F, 0xAF);
const QColor kResponse(0xC8, 0x50, 0x1E);

constexpr int kLeft = 46;
constexpr int kRight = 12;
const QRectF kWavePanel(kLeft, 22, kIrPictureWidth - kLeft - kRight, 106);
const QRectF kResponsePanel(kLeft, 176, kIrPictureWidth - kLeft - kRight, 126);
// The response panel spans this many dB below its top line.
constexpr double kResponseSpanDb = 60;

void drawWaveform(QPainter &p, const IrPlot &plot)
{
    const QRectF r = kWavePanel;
    const int n = int(plot.waveform.size());
    const double ms = n * 1000.0 / kPedalSampleRate;
    p.setPen(kText);
    p.drawText(QRectF(r.left(), 2, r.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Impulse response: %1 words, %2 ms").arg(n).arg(ms, 0, 'f', 1));
    p.fillRect(r, kPanel);
    p.setPen(kGrid);
    for (double level : {-0.5, 0.0, 0.5})
        p.drawLine(QPointF(r.left(), r.center().y() - level * r.height() / 2),
                   QPointF(r.right(), r.center().y() - level * r.height() / 2));
    p.setPen(kText);
    const QFontMetrics fm = p.fontMetrics();
    for (double level : {-1.0, 0.0, 1.0}) {
        const double y = r.center().y() - level * r.height() / 2;
        p.drawText(QRectF(0, y - fm.height() / 2.0, kLeft - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(level, 'f', level == 0 ? 0 : 1));
    }
    p.drawText(QRectF(r.left(), r.bottom() + 2, r.width(), fm.height()), Qt::AlignLeft, QStringLiteral("0 ms"));
    p.drawText(QRectF(r.left(), r.bottom() + 2, r.width(), fm.height()), Qt::AlignRight,
               QStringLiteral("%1 ms").arg(ms, 0, 'f', 1));
    if (n < 2)
        return;
    QPolygonF line;
    line.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double v = std::clamp(plot.waveform[i], -1.0, 1.0);
        line.append(QPointF(r.left() + r.width() * i / (n - 1), r.center().y() - v * r.height() / 2));
    }
    p.save();
    p.setClipRect(r);
    p.setPen(QPen(kWave, 1.2));
    p.drawPolyline(line);
    p.restore();
}

double xForHz(const QRectF &r, double hz)
{
    return r.left() + r.width() * std::log10(hz / kPlotLowHz) / std::log10(kPlotHighHz / kPlotLowHz);
}

void drawResponse(QPainter &p, const IrPlot &plot)
{
    const QRectF r = kResponsePanel;
    const QFontMetrics fm = p.fontMetrics();
    p.setPen(kText);
    p.drawText(QRectF(r.left(), r.top() - 22, r.width(), 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Magnitude response (dB), 20 Hz - 20 kHz"));
    p.fillRect(r, kPanel);
    // The top line: the peak rounded up to 10 dB, so a flat response sits just under it.
    const double top = std::ceil((plot.peakDb + 0.01) / 10) * 10;
    const double bottom = top - kResponseSpanDb;
    auto yForDb = [&](double db) { return r.top() + r.height() * (top - db) / kResponseSpanDb; };
    for (double db = top; db >= bottom - 0.01; db -= 10) {
        const double y = yForDb(db);
        p.setPen(kGrid);
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        p.setPen(kText);
        p.drawText(QRectF(0, y - fm.height() / 2.0, kLeft - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(int(db)));
    }
    const std::pair<double, const char *> ticks[] = {
        {20, "20"}, {50, ""}, {100, "100"}, {200, ""}, {500, ""}, {1000, "1k"},
        {2000, ""}, {5000, ""}, {10000, "10k"}, {20000, "20k"},
    };
    for (const auto &[hz, label] : ticks) {
        const double x = xForHz(r, hz);
        p.setPen(kGrid);
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
        if (*label) {
            p.setPen(kText);
            const int w = fm.horizontalAdvance(QLatin1String(label));
            const double left = std::clamp(x - w / 2.0, 0.0, double(kIrPictureWidth - w));
            p.drawText(QPointF(left, r.bottom() + fm.ascent() + 2), QLatin1String(label));
        }
    }
    if (plot.frequencies.size() < 2)
        return;
    QPolygonF curve;
    for (qsizetype i = 0; i < plot.frequencies.size(); ++i)
        curve.append(QPointF(xForHz(r, plot.frequencies[i]), yForDb(std::max(plot.magnitudeDb[i], bottom - 1))));
    p.save();
    p.setClipRect(r);
    p.setPen(QPen(kResponse, 1.6));
    p.drawPolyline(curve);
    p.restore();
}

} // namespace

QImage drawIrPicture(const IrPlot &plot)
{
    QImage image(kIrPictureWidth, kIrPictureHeight, QImage::Format_RGB32);
    image.fill(kGround);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPointSizeF(8);
    p.setFont(font);
    drawWaveform(p, plot);
    drawResponse(p, plot);
    return image;
}

QByteArray irPicturePng(const IrPlot &plot)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    drawIrPicture(plot).save(&buffer, "PNG");
    return png;
}

} // namespace tovel
