// The looks as they are drawn: every kind of text readable on the ground it is drawn on, in
// every state, and the accent where the player looks for it (a switch that is on, a slider's
// handle). Controls are drawn in a window of the look and read back pixel by pixel.
#include "app/look/lookapplier.h"
#include "app/toggleswitch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTextBrowser>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace tovel;

namespace {

double channel(int v)
{
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(QRgb c)
{
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

int distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// The contrast of a text with its ground: the same control drawn with and without its text.
// The pixels that differ are the text's; its colour is the one that stands out most from the
// ground beneath it, and the result is that colour against the weakest ground under the text
// (a picture under a translucent control is not one colour).
double textContrast(const QImage &withText, const QImage &withoutText)
{
    QRgb textColour = 0;
    double best = 0;
    QList<QRgb> grounds;
    for (int y = 0; y < withText.height(); ++y) {
        for (int x = 0; x < withText.width(); ++x) {
            const QRgb t = withText.pixel(x, y), g = withoutText.pixel(x, y);
            if (distance(t, g) < 24)
                continue;
            grounds.append(g);
            if (contrast(t, g) > best) {
                best = contrast(t, g);
                textColour = t;
            }
        }
    }
    if (grounds.isEmpty())
        return 0; // no text drawn at all
    double weakest = best;
    for (QRgb g : grounds)
        weakest = std::min(weakest, contrast(textColour, g));
    return weakest;
}

// A window of the look holding one control; grab() draws it with the window's ground.
struct Host {
    QWidget window;
    Host() { window.setFixedSize(260, 60); }
    QImage grab(QWidget *w)
    {
        w->ensurePolished();
        if (w->isWindow())
            return w->grab().toImage();
        return window.grab(w->geometry()).toImage();
    }
};

// Puts a control in the host and returns a function that takes its text away.
using Case = std::function<std::function<void()>(Host &, QWidget *&)>;

template <typename W>
W *put(Host &host, W *w, int width = 200, int height = 24)
{
    w->setParent(&host.window);
    w->setGeometry(10, 10, width, height);
    return w;
}

std::function<void()> button(Host &h, QWidget *&shown, bool enabled, bool hover, bool pressed)
{
    auto *b = put(h, new QPushButton(QStringLiteral("Store Settings On Pedal")), 175, 31);
    b->setEnabled(enabled);
    b->setAttribute(Qt::WA_UnderMouse, hover);
    b->setDown(pressed);
    shown = b;
    return [b] { b->setText(QString()); };
}

std::function<void()> label(Host &h, QWidget *&shown, bool enabled, bool serialNumber)
{
    auto *l = put(h, new QLabel(QStringLiteral("Serial Number: ZT000001")));
    l->setEnabled(enabled);
    if (serialNumber) {
        // The main window shows the serial numbers at half opacity.
        l->setObjectName(QStringLiteral("lblSerialNumber"));
        auto *half = new QGraphicsOpacityEffect(l);
        half->setOpacity(0.5);
        l->setGraphicsEffect(half);
    }
    shown = l;
    return [l] { l->setText(QString()); };
}

std::function<void()> checkBox(Host &h, QWidget *&shown, bool enabled)
{
    auto *c = put(h, new QCheckBox(QStringLiteral("scrollDOWN")));
    c->setEnabled(enabled);
    shown = c;
    return [c] { c->setText(QString()); };
}

std::function<void()> comboBox(Host &h, QWidget *&shown, bool enabled)
{
    auto *c = put(h, new QComboBox, 50, 20); // an assignment box of the parameter window
    c->addItem(QStringLiteral("EXP"));
    c->setEnabled(enabled);
    shown = c;
    return [c] { c->setItemText(0, QString()); };
}

std::function<void()> list(Host &h, QWidget *&shown, bool selected)
{
    auto *l = put(h, new QListWidget, 200, 40);
    l->addItem(QStringLiteral("Impulse Response"));
    if (selected)
        l->setCurrentRow(0);
    shown = l;
    return [l] { l->item(0)->setText(QString()); };
}

std::function<void()> memo(Host &h, QWidget *&shown)
{
    auto *m = put(h, new QPlainTextEdit, 240, 40);
    m->setObjectName(QStringLiteral("Memo1"));
    m->setPlainText(QStringLiteral("data sent pot 0: 015D8000578000"));
    shown = m;
    return [m] { m->setPlainText(QString()); };
}

std::function<void()> page(Host &h, QWidget *&shown)
{
    auto *b = put(h, new QTextBrowser, 240, 40);
    b->setHtml(QStringLiteral("<b>Orange LED</b> tap tempo"));
    shown = b;
    return [b] { b->setHtml(QString()); };
}

std::function<void()> progress(Host &h, QWidget *&shown, bool enabled)
{
    // Half full: the percentage stands over the filled and the empty part.
    auto *p = put(h, new QProgressBar, 200, 22);
    p->setValue(50);
    p->setEnabled(enabled);
    shown = p;
    return [p] { p->setFormat(QString()); };
}

std::function<void()> menu(Host &h, QWidget *&shown, bool enabled)
{
    auto *m = new QMenu(&h.window);
    QAction *a = m->addAction(QStringLiteral("Start Firmware Upgrade"));
    a->setEnabled(enabled);
    shown = m;
    return [a] { a->setText(QString()); };
}

const QList<QPair<const char *, QString>> kAccents = {
    {"0", QStringLiteral("#CB0809")}, {"1", QStringLiteral("#CB8808")},
    {"2", QStringLiteral("#66F8E3")}, {"3", QStringLiteral("#0886CB")},
    {"4", QStringLiteral("#F69E2D")}, {"5", QStringLiteral("#F4BB40")},
    {"6", QStringLiteral("#3DC9ED")}, {"7", QStringLiteral("#FF8A5B")},
};

// Text of enabled controls is held to this contrast; disabled and greyed text to the lower one.
// (The sheets are made for 4.5 and 3.3; a few hundredths go to anti-aliasing.)
constexpr double kReadable = 4.3;
constexpr double kReadableGreyed = 3.0;

} // namespace

Q_DECLARE_METATYPE(Case)

// A window of the editor's own kind: a QWidget subclass, whose ground Qt leaves to the palette
// unless the window asks for its style sheet.
class EditorWindow : public QWidget {
    Q_OBJECT
};

class TestLookRender : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { qApp->setStyleSheet(QString()); }
    void textIsReadable_data();
    void textIsReadable();
    void accentOnSwitchAndSliderHandle_data();
    void accentOnSwitchAndSliderHandle();
    void windowGround_data();
    void windowGround();
};

void TestLookRender::textIsReadable_data()
{
    QTest::addColumn<int>("look");
    QTest::addColumn<Case>("build");
    QTest::addColumn<double>("minimum");
    const QList<std::tuple<const char *, Case, double>> cases = {
        {"button", [](Host &h, QWidget *&w) { return button(h, w, true, false, false); }, kReadable},
        {"button-hover", [](Host &h, QWidget *&w) { return button(h, w, true, true, false); }, kReadable},
        {"button-pressed", [](Host &h, QWidget *&w) { return button(h, w, true, false, true); }, kReadable},
        {"button-disabled", [](Host &h, QWidget *&w) { return button(h, w, false, false, false); }, kReadableGreyed},
        {"label", [](Host &h, QWidget *&w) { return label(h, w, true, false); }, kReadable},
        {"label-disabled", [](Host &h, QWidget *&w) { return label(h, w, false, false); }, kReadableGreyed},
        {"serial-number-at-half-opacity", [](Host &h, QWidget *&w) { return label(h, w, true, true); }, kReadableGreyed},
        {"check-box", [](Host &h, QWidget *&w) { return checkBox(h, w, true); }, kReadable},
        {"check-box-disabled", [](Host &h, QWidget *&w) { return checkBox(h, w, false); }, kReadableGreyed},
        {"assign-box", [](Host &h, QWidget *&w) { return comboBox(h, w, true); }, kReadable},
        {"assign-box-disabled", [](Host &h, QWidget *&w) { return comboBox(h, w, false); }, kReadableGreyed},
        {"list-row", [](Host &h, QWidget *&w) { return list(h, w, false); }, kReadable},
        {"list-row-selected", [](Host &h, QWidget *&w) { return list(h, w, true); }, kReadable},
        {"console-memo", [](Host &h, QWidget *&w) { return memo(h, w); }, kReadable},
        {"information-page", [](Host &h, QWidget *&w) { return page(h, w); }, kReadable},
        {"progress-half-full", [](Host &h, QWidget *&w) { return progress(h, w, true); }, kReadable},
        {"progress-disabled", [](Host &h, QWidget *&w) { return progress(h, w, false); }, kReadableGreyed},
        {"menu-entry", [](Host &h, QWidget *&w) { return menu(h, w, true); }, kReadable},
        {"menu-entry-disabled", [](Host &h, QWidget *&w) { return menu(h, w, false); }, kReadableGreyed},
    };
    for (int look = 0; look <= 7; ++look) {
        for (const auto &[name, build, minimum] : cases)
            QTest::addRow("look-%d-%s", look, name) << look << build << minimum;
    }
}

void TestLookRender::textIsReadable()
{
    QFETCH(int, look);
    QFETCH(Case, build);
    QFETCH(double, minimum);
    QVERIFY(applyLook(look));
    Host host;
    QWidget *control = nullptr;
    const std::function<void()> removeText = build(host, control);
    const QImage withText = host.grab(control);
    removeText();
    const QImage withoutText = host.grab(control);
    const double ratio = textContrast(withText, withoutText);
    QVERIFY2(ratio >= minimum, qPrintable(QStringLiteral("contrast %1, at least %2 wanted")
                                              .arg(ratio, 0, 'f', 2).arg(minimum)));
}

void TestLookRender::accentOnSwitchAndSliderHandle_data()
{
    QTest::addColumn<int>("look");
    QTest::addColumn<QColor>("accent");
    for (const auto &[look, accent] : kAccents)
        QTest::addRow("look-%s", look) << QByteArray(look).toInt() << QColor(accent);
}

void TestLookRender::accentOnSwitchAndSliderHandle()
{
    QFETCH(int, look);
    QFETCH(QColor, accent);
    QVERIFY(applyLook(look));
    Host host;
    auto *on = put(host, new ToggleSwitch, 40, 20);
    on->setChecked(true);
    auto *slider = new QSlider(Qt::Horizontal, &host.window);
    slider->setGeometry(60, 30, 100, 20);
    slider->setRange(0, 1023);
    slider->setValue(512);

    // The switch's track shows left of its thumb when it is on.
    const QImage sw = host.grab(on);
    QVERIFY2(distance(sw.pixel(9, 10), accent.rgb()) <= 12,
             qPrintable(QColor(sw.pixel(9, 10)).name() + QStringLiteral(" on the switch")));

    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    const QImage s = host.grab(slider);
    const QRgb centre = s.pixel(handle.center());
    QVERIFY2(distance(centre, accent.rgb()) <= 12,
             qPrintable(QColor(centre).name() + QStringLiteral(" on the slider handle")));
}

void TestLookRender::windowGround_data()
{
    QTest::addColumn<int>("look");
    QTest::addColumn<int>("colours"); // distinct colours of an empty window
    QTest::addColumn<QColor>("ground"); // of a one-colour ground
    QTest::newRow("look-0-dark") << 0 << 1 << QColor(0x25, 0x25, 0x25);
    QTest::newRow("look-6-light") << 6 << 1 << QColor(0xF0, 0xF0, 0xF0);
    QTest::newRow("look-7-picture") << 7 << 20 << QColor();
}

void TestLookRender::windowGround()
{
    QFETCH(int, look);
    QFETCH(int, colours);
    QFETCH(QColor, ground);
    QVERIFY(applyLook(look));
    EditorWindow window; // made after the look, as the editor's other windows are
    window.setFixedSize(200, 120);
    const QImage image = window.grab().toImage();
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y) | 0xFF000000u);
    }
    if (colours == 1) {
        QCOMPARE(seen.size(), 1);
        QCOMPARE(QColor(*seen.begin()), ground);
    } else {
        QVERIFY2(seen.size() >= colours, qPrintable(QString::number(seen.size())));
    }
}

QTEST_MAIN(TestLookRender)
#include "tst_lookrender.moc"
