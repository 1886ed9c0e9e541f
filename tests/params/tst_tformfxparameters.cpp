#include "catalogue/catalogueloader.h"
#include "catalogue/resourceindex.h"
#include "core/clock.h"
#include "session/editorsession.h"
#include "core/pacing.h"
#include "params/paramtables.h"
#include "app/rowuse.h"
#include "core/rememberedswitch.h"
#include "app/tformfxparameters.h"
#include "app/windowplacement.h"
#include "app/toggleswitch.h"
#include "protocol/commandexchange.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QScrollArea>
#include <QtTest>
#include <functional>
#include <tuple>

#include <memory>

using namespace tovel;
using namespace tovel::test;

namespace {

// A program line whose 24 address fields hold the given addresses (missing ones "0000").
QString programLine(const QStringList &addresses)
{
    QStringList a = addresses;
    while (a.size() < 24)
        a << QStringLiteral("0000");
    return QStringLiteral("000041") + a.mid(0, 16).join(QString()) + QString(28, QLatin1Char('0'))
           + a.mid(16, 8).join(QString()) + QString(20, QLatin1Char('0'));
}

// Effects written into a temporary resource folder: "<NAME>_CTRLS" and "<NAME>".
class Catalogue {
public:
    void add(const QString &name, const QStringList &layout, const QString &program)
    {
        write(name + QStringLiteral("_CTRLS"), layout.join(QStringLiteral("\r\n")));
        write(name, program);
    }
    void addLayoutOnly(const QString &name, const QStringList &layout)
    {
        write(name + QStringLiteral("_CTRLS"), layout.join(QStringLiteral("\r\n")));
    }
    const ResourceIndex &index()
    {
        m_index = std::make_unique<ResourceIndex>(m_dir.root());
        return *m_index;
    }

private:
    void write(const QString &name, const QString &text)
    {
        QFile f(m_dir.root() + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toLatin1());
    }
    TempFolders m_dir;
    std::unique_ptr<ResourceIndex> m_index;
};

// The window on a scripted bridge that is open, on virtual time.
struct Panel {
    ScriptedPrompts prompts;
    RecordingConsole console;
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedFtDriver driver{&clock};
    TempFolders folders;
    EditorSession session;
    ParamTables &tables = session.params;
    D2XXUnit &usb = session.usb;
    TformFXParameters window{session};
    QWidget main;

    Panel() : session(prompts, pacing, folders, driver, clock) { connectBridge(); }
    explicit Panel(const ResourceIndex &index) : session(prompts, pacing, folders, driver, clock, &index)
    {
        connectBridge();
    }

    // A link to an effect firmware that has answered in step.
    void connectBridge()
    {
        session.attachConsole(&console);
        driver.devices = {{"ZT1", "Tovel", {}}};
        QCOMPARE(usb.Open_USB_Device_By_Serial_Number(QStringLiteral("ZT1")), 0u);
        session.openedLink(false);
        session.pedalState().effectAnswered({1, 1, QStringLiteral("Amber Drive")}, 5);
        main.setGeometry(40, 40, 399, 480);
    }
    // The player's choice of the effect, then its window, as the browser does.
    // A test that marks the effect as on the pedal (EffectOnPedal) has the pedal run it. Rows
    // that do not read are said, as the browser says them.
    void choose(const QString &effect)
    {
        if (session.selection.EffectOnPedal) {
            session.pedal.PedalEffectName = effect;
            session.pedalState().effectAnswered({1, 1, effect}, 5);
        }
        if (!session.chooseEffect(effect))
            prompts.showMessage(session.settings().rows().problem);
    }
    // On the pedal, the rows as Open FX and Request leave them: read, and usable.
    void open(const QString &effect)
    {
        console.lines.clear();
        console.scrolled.clear();
        choose(effect);
        window.openBeside(main, effect);
        if (session.selection.EffectOnPedal)
            session.setRowsRead(true);
    }
    QByteArray lastWrite() const { return driver.writes.isEmpty() ? QByteArray() : driver.writes.last(); }
};

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QRect cell(int x, int row, int width)
{
    return QRect(x, 10 + 25 * row, width, 20);
}

} // namespace

class TestFXParameters : public QObject {
    Q_OBJECT

private slots:
    void captionAndWidth();
    void opensBesideMainWindow_data();
    void opensBesideMainWindow();
    void rowsOnTheWindowsGround();
    void rowsFromLayout_data();
    void rowsFromLayout();
    void creationOrder();
    void switchRows();
    void multiSwitchRows();
    void shippedShortLayout();
    void addressTraces();
    void userChangesSend();
    void keyboardDragSendsEveryStep();
    void whoSends_data();
    void whoSends();
    void shortAddressSendsNothing_data();
    void shortAddressSendsNothing();
    void closeDestroysRows();
    void rowUseFromTheSession_data();
    void rowUseFromTheSession();
    void rowsFollowTheSession();
    void limitButtons_data();
    void limitButtons();
    void levelsAndHeadings();
    void assignBoxFeedsTables();
    void switchThroughAccessibility();
    void noEffectSelected();
    void invalidCountLineIsReported();
    void missingProgramStopsBuilding();
    void spokenNamesOfLikeAndNamelessRows();
    void clientHeight_data();
    void clientHeight();
    void closeWithoutRowsIsReported_data();
    void closeWithoutRowsIsReported();
};

void TestFXParameters::captionAndWidth()
{
    Panel panel;
    QCOMPARE(panel.window.windowTitle(), QStringLiteral("FX Parameters"));
    QCOMPARE(panel.window.width(), 499);
    QCOMPARE(panel.window.minimumWidth(), panel.window.maximumWidth());
    QVERIFY(!panel.window.isVisible());
    QCOMPARE(panel.console.lines, QStringList()); // nothing is built before the first show
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
}

void TestFXParameters::opensBesideMainWindow_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<int>("height");
    QTest::newRow("three-controls") << "Deep Chorus X2" << 135;
    QTest::newRow("twenty-four-controls") << "Arp Sequencer" << 660;
    QTest::newRow("ir-loader-four-controls") << "TRX + IR Loader" << 160;
}

void TestFXParameters::opensBesideMainWindow()
{
    QFETCH(QString, effect);
    QFETCH(int, height);
    Panel panel;
    panel.main.show();
    panel.choose(effect);
    panel.window.openBeside(panel.main, effect + QStringLiteral(" v2"));
    QVERIFY(panel.window.isVisible());
    QCOMPARE(panel.window.windowTitle(), effect + QStringLiteral(" v2"));
    // The figure is the outer height, frame included (the test platform reports a thin frame).
    // The test platform's screen (800 pixels wide) has no room beside the main window: the
    // window goes below it, whole where the screen's height allows, else as tall as the room
    // there, its rows scrolling with the last one within reach.
    const QRect available = availableGeometryFor(panel.main);
    const QRect main = panel.main.frameGeometry();
    TformFXParameters &w = panel.window;
    const QRect frame = w.frameGeometry();
    QVERIFY(frame.height() > w.height());
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(available.contains(frame));
    QVERIFY(!frame.intersects(main));
    QCOMPARE(frame.topLeft(), QPoint(main.left(), main.bottom() + 1));
    QVERIFY(!w.rowsCutAcross());
    if (main.bottom() + height <= available.bottom()) {
        QCOMPARE(w.width(), 499);
        QCOMPARE(frame.height(), height);
        QVERIFY(!w.rowsScroll());
    } else {
        QVERIFY(w.width() > 499); // the scroll bar beside the rows
        QCOMPARE(frame.bottom(), available.bottom());
        QVERIFY(w.rowsScroll());
        auto *scroll = w.findChild<QScrollArea *>();
        QVERIFY(scroll);
        const int last = w.NumParams() - 1;
        scroll->ensureWidgetVisible(w.lblParamName[last]);
        const QRect shown = QRect(w.lblParamName[last]->mapTo(&w, QPoint(0, 0)), w.lblParamName[last]->size());
        QVERIFY2(w.rect().contains(shown), qPrintable(QStringLiteral("last row at %1, %2").arg(shown.top()).arg(shown.bottom())));
    }
    QCOMPARE(panel.prompts.messages, QStringList());
}

// The rows lie on the window's own ground, whatever the look paints it with: the scroll area
// around them paints nothing of its own.
void TestFXParameters::rowsOnTheWindowsGround()
{
    const QString sheet = qApp->styleSheet();
    qApp->setStyleSheet(QStringLiteral("QWidget:window { background-color: #252525; }"));
    Panel panel;
    panel.main.show();
    panel.choose(QStringLiteral("Deep Chorus X2"));
    panel.window.openBeside(panel.main, QStringLiteral("Deep Chorus X2"));
    const QImage image = panel.window.grab().toImage();
    qApp->setStyleSheet(sheet);
    // Left of the first row's name and under the last row: nothing but the ground.
    for (const QPoint at : {QPoint(3, 3), QPoint(3, image.height() - 3), QPoint(image.width() - 3, image.height() - 3)})
        QCOMPARE(QColor(image.pixel(at)).name(), QStringLiteral("#252525"));
}

void TestFXParameters::rowsFromLayout_data()
{
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QString>("kinds"); // one letter per row built: Pot, Switch, Multi-switch
    QTest::addColumn<double>("divider");
    QTest::addColumn<int>("height");

    QTest::newRow("three-pots-300") << QStringList{"300", "Rate", "Depth", "Mix"} << "PPP" << 73.5 << 135;
    QStringList ac2{"AC2"};
    for (int p = 0; p < 10; ++p)
        ac2 << QStringLiteral("Pot %1").arg(p);
    for (int p = 0; p < 12; ++p)
        ac2 << QStringLiteral("Sw %1:OFF:ON").arg(p);
    ac2 << "Band;I;II;III" << "Voice;A;B";
    QTest::newRow("twenty-four-AC2") << ac2 << QString(10, 'P') + QString(12, 'S') + "MM" << 588.0 << 660;
    QStringList k952{"952"};
    for (int p = 0; p < 9; ++p)
        k952 << QStringLiteral("Pot %1").arg(p);
    for (int p = 0; p < 5; ++p)
        k952 << QStringLiteral("Sw %1:OFF:ON").arg(p);
    k952 << "Band;I;II" << "Voice;A;B";
    QTest::newRow("kinds-952") << k952 << "PPPPPPPPPSSSSSMM" << 392.0 << 460;
    // Announces 45 controls: only 24 rows, cut at the end of the switches.
    QStringList fff{"FFF"};
    for (int p = 0; p < 45; ++p)
        fff << QStringLiteral("Line %1").arg(p);
    QTest::newRow("counts-over-24-FFF") << fff << QString(15, 'P') + QString(9, 'S') << 588.0 << 660;
    // Announces five lines, has two: the missing rows are built with empty names.
    QTest::newRow("lines-missing-311") << QStringList{"311", "Gain", "Tone"} << "PPPSM" << 122.5 << 185;
    QTest::newRow("no-controls-000") << QStringList{"000"} << "" << 0.0 << 60;
}

void TestFXParameters::rowsFromLayout()
{
    QFETCH(QStringList, layout);
    QFETCH(QString, kinds);
    QFETCH(double, divider);
    QFETCH(int, height);
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), layout, programLine({}));
    Panel panel(catalogue.index());
    panel.main.setGeometry(0, 0, 100, 100); // room beside it for the window's whole height
    panel.open(QStringLiteral("Probe"));
    QCOMPARE(panel.prompts.messages.join(QString()), QString());

    TformFXParameters &w = panel.window;
    QCOMPARE(w.NumParams(), kinds.size());
    QCOMPARE(w.frameGeometry().height(), height);
    QCOMPARE(TformFXParameters::dividerHeight(w.NumParams()), divider);
    QVERIFY(w.lineDivider);
    QCOMPARE(w.lineDivider->geometry(), QRect(280, 10, 1, int(divider + 0.5)));

    for (int p = 0; p < 24; ++p) {
        const QChar kind = p < kinds.size() ? kinds.at(p) : QChar();
        const QString row = QStringLiteral("row %1").arg(p);
        QCOMPARE(w.trkPot[p] != nullptr, kind == 'P');
        QCOMPARE(w.btnMin[p] != nullptr, kind == 'P');
        QCOMPARE(w.btnMax[p] != nullptr, kind == 'P');
        QCOMPARE(w.btnClearMinMax[p] != nullptr, kind == 'P');
        QCOMPARE(w.swSwitch[p] != nullptr, kind == 'S');
        QCOMPARE(w.lblSwitchState[p] != nullptr, kind == 'S');
        QCOMPARE(w.cmbMultiSwitch[p] != nullptr, kind == 'M');
        QCOMPARE(w.lblParamName[p] != nullptr, !kind.isNull());
        QCOMPARE(w.boxAssign[p] != nullptr, !kind.isNull());
        QCOMPARE(w.chkReverse[p] != nullptr, !kind.isNull());
        if (kind.isNull())
            continue;
        const QString name = w.lblParamName[p]->text();
        // The rows are told apart by name through the accessibility layer, the controls of a
        // row by what they are; a row without a name of its own is named by its number.
        const QString spoken = name.isEmpty() ? QStringLiteral("Row %1").arg(p + 1) : name;
        QCOMPARE(w.lblParamName[p]->geometry(), cell(10, p, 100));
        QCOMPARE(w.boxAssign[p]->geometry(), cell(300, p, 50));
        QCOMPARE(w.chkReverse[p]->geometry(), cell(360, p, 20));
        QCOMPARE(w.boxAssign[p]->count(), 8);
        QCOMPARE(w.boxAssign[p]->itemText(1), QStringLiteral("EXP"));
        QCOMPARE(w.boxAssign[p]->itemText(7), QStringLiteral("NA"));
        QCOMPARE(w.boxAssign[p]->currentIndex(), -1);
        QVERIFY2(!w.chkReverse[p]->isChecked() && w.chkReverse[p]->text().isEmpty(), qPrintable(row));
        QCOMPARE(w.chkReverse[p]->toolTip().section(QLatin1Char('\n'), 0, 0), QStringLiteral("toggle the Reverse function for the current parameter"));
        QWidget *value = nullptr;
        if (kind == 'P') {
            value = w.trkPot[p];
            QCOMPARE(w.trkPot[p]->geometry(), cell(160, p, 100));
            QCOMPARE(w.trkPot[p]->minimum(), 0);
            QCOMPARE(w.trkPot[p]->maximum(), 1023);
            QCOMPARE(w.trkPot[p]->value(), 0);
            QCOMPARE(w.btnMin[p]->geometry(), cell(385, p, 40));
            QCOMPARE(w.btnMax[p]->geometry(), cell(430, p, 40));
            QCOMPARE(w.btnClearMinMax[p]->geometry(), cell(475, p, 20));
            QCOMPARE(w.btnMin[p]->text(), QStringLiteral("-"));
            QCOMPARE(w.btnMax[p]->text(), QStringLiteral("-"));
            QCOMPARE(w.btnClearMinMax[p]->text(), QStringLiteral("C"));
            QCOMPARE(w.btnMin[p]->toolTip().section(QLatin1Char('\n'), 0, 0), QStringLiteral("set min value for this parameter"));
            QCOMPARE(w.btnMax[p]->toolTip().section(QLatin1Char('\n'), 0, 0), QStringLiteral("set max value for this parameter"));
            QCOMPARE(w.btnClearMinMax[p]->toolTip().section(QLatin1Char('\n'), 0, 0), QStringLiteral("clear min and max"));
            QCOMPARE(w.btnMin[p]->accessibleName(), spoken + QStringLiteral(" minimum"));
            QCOMPARE(w.btnMax[p]->accessibleName(), spoken + QStringLiteral(" maximum"));
            QCOMPARE(w.btnClearMinMax[p]->accessibleName(), spoken + QStringLiteral(" clear limits"));
            QCOMPARE(w.btnMin[p]->accessibleDescription(), QStringLiteral("not set"));
            QCOMPARE(w.trkPot[p]->accessibleName(), spoken + QStringLiteral(" level"));
        } else if (kind == 'S') {
            value = w.swSwitch[p];
            QCOMPARE(w.swSwitch[p]->geometry(), cell(190, p, 40));
            QCOMPARE(w.lblSwitchState[p]->geometry(), cell(120, p, 100));
            QVERIFY(!w.swSwitch[p]->isChecked());
            QCOMPARE(w.swSwitch[p]->accessibleName(), spoken + QStringLiteral(" switch"));
            QCOMPARE(w.lblSwitchState[p]->accessibleName(), spoken + QStringLiteral(" state"));
            QCOMPARE(w.lblSwitchState[p]->accessibleDescription(), w.lblSwitchState[p]->text());
        } else {
            value = w.cmbMultiSwitch[p];
            QCOMPARE(w.cmbMultiSwitch[p]->geometry(), cell(160, p, 100));
            QCOMPARE(w.cmbMultiSwitch[p]->currentIndex(), -1);
            QCOMPARE(w.cmbMultiSwitch[p]->accessibleName(), spoken + QStringLiteral(" position"));
        }
        QVERIFY2(value->accessibleName().startsWith(spoken + QLatin1Char(' ')), qPrintable(value->accessibleName()));
        QCOMPARE(w.boxAssign[p]->accessibleName(), spoken + QStringLiteral(" pedal control"));
        QCOMPARE(w.chkReverse[p]->accessibleName(), spoken + QStringLiteral(" reverse"));
        QVERIFY2(value->isVisible(), qPrintable(row));
    }
    // Nothing is sent while building.
    QCOMPARE(panel.driver.writes, QList<QByteArray>());
}

void TestFXParameters::creationOrder()
{
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"211", "Gain", "Tone", "Mute:ON:OFF", "Band;I;II"}, programLine({}));
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Probe"));
    QStringList order;
    for (QObject *child : panel.window.rowsArea()->children())
        order << child->objectName();
    // Pots, switches, multi-switch, assignment boxes, divider, reverse boxes, limit buttons.
    QCOMPARE(order, QStringList({"trkPot0", "lblParamName0", "trkPot1", "lblParamName1",
                                 "swSwitch2", "lblParamName2", "lblSwitchState2",
                                 "cmbMultiSwitch3", "lblParamName3",
                                 "boxAssign0", "boxAssign1", "boxAssign2", "boxAssign3", "lineDivider",
                                 "chkReverse0", "chkReverse1", "chkReverse2", "chkReverse3",
                                 "btnMin0", "btnMax0", "btnClearMinMax0",
                                 "btnMin1", "btnMax1", "btnClearMinMax1"}));
}

void TestFXParameters::switchRows()
{
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"040", "Mute:ON:OFF", "Tap:Tap:Tap", "Solo:Lead", "Bypass"}, programLine({}));
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Probe"));
    TformFXParameters &w = panel.window;
    const QStringList names{"Mute", "Tap", "Solo", "Bypass"};
    const QStringList off{"ON", "Tap", "Lead", "Bypass"};
    const QStringList on{"OFF", "Tap", "Lead", "Bypass"};
    for (int p = 0; p < 4; ++p) {
        QCOMPARE(w.lblParamName[p]->text(), names[p]);
        QCOMPARE(w.lblSwitchState[p]->text(), off[p]);
        QCOMPARE(w.SwitchOffText[p], off[p]);
        QCOMPARE(w.SwitchOnText[p], on[p]);
    }
    // Off caption, then on caption, after the layout and address lines.
    const QStringList tail = panel.console.lines.mid(panel.console.lines.size() - 8);
    QCOMPARE(tail, QStringList({"ON", "OFF", "Tap", "Tap", "Lead", "Lead", "Bypass", "Bypass"}));
    // The caption label under the switch does not take the switch's clicks.
    QCOMPARE(w.childAt(w.swSwitch[0]->geometry().topLeft() + QPoint(5, 10)), w.swSwitch[0]);
}

void TestFXParameters::multiSwitchRows()
{
    QStringList sixteen;
    for (int i = 1; i <= 16; ++i)
        sixteen << QStringLiteral("V%1").arg(i);
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"003", "Sine Range;I;II;III;IV;V", "Voice;" + sixteen.join(';'), "Solo"},
                  programLine({"0001", "0002", "0003"}));
    Panel panel(catalogue.index());
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Probe"));
    TformFXParameters &w = panel.window;
    QCOMPARE(w.OptionCount[0], 5);
    QCOMPARE(w.OptionCount[1], 16);
    QCOMPARE(w.OptionCount[2], 0);
    QCOMPARE(w.lblParamName[0]->text(), QStringLiteral("Sine Range"));
    QCOMPARE(w.lblParamName[2]->text(), QStringLiteral("Solo"));
    QCOMPARE(w.cmbMultiSwitch[0]->count(), 5);
    QCOMPARE(w.cmbMultiSwitch[0]->itemText(2), QStringLiteral("III"));
    QCOMPARE(w.cmbMultiSwitch[1]->itemText(15), QStringLiteral("V16"));
    QCOMPARE(w.cmbMultiSwitch[2]->count(), 0);
    const QStringList &lines = panel.console.lines;
    const qsizetype at = lines.indexOf(QStringLiteral("I;II;III;IV;V"));
    QVERIFY(at > 0);
    QCOMPARE(lines.mid(at, 6), QStringList({"I;II;III;IV;V", "I", "II", "III", "IV", "V"}));
    QCOMPARE(panel.driver.writes, QList<QByteArray>()); // filling the lists sends nothing

    // A row without options has nothing to choose and nothing to send.
    w.cmbMultiSwitch[2]->setCurrentIndex(0);
    QCOMPARE(panel.driver.writes, QList<QByteArray>());
    // Sixteen options step by 64: the last one is 960.
    w.cmbMultiSwitch[1]->setCurrentIndex(15);
    QCOMPARE(panel.lastWrite(), bytes("01000200780000"));
}

void TestFXParameters::shippedShortLayout()
{
    // "Hall Reverb" announces 7 pots and 2 switches but lists 8 lines: the lines fill the
    // rows in order, and the last switch row, without a line, has an empty name and captions.
    Panel panel;
    panel.main.setGeometry(0, 0, 100, 100); // room beside it for the window's whole height
    panel.open(QStringLiteral("Hall Reverb"));
    TformFXParameters &w = panel.window;
    QCOMPARE(panel.console.lines.mid(0, 11), QStringList({"num of pots: 7", "num of switches: 2",
                                                          "num of multi switch: 0", "Bass", "Mid", "Treble",
                                                          "Mix", "Rate", "Depth", "Polarity:Normal:Invert",
                                                          "Hold:OFF:ON"}));
    QCOMPARE(w.NumParams(), 9);
    QCOMPARE(w.frameGeometry().height(), 285);
    QVERIFY(w.trkPot[6]);
    QCOMPARE(w.lblParamName[6]->text(), QStringLiteral("Polarity:Normal:Invert"));
    QCOMPARE(w.lblParamName[7]->text(), QStringLiteral("Hold"));
    QCOMPARE(w.lblSwitchState[7]->text(), QStringLiteral("OFF"));
    QVERIFY(w.swSwitch[8]);
    QCOMPARE(w.lblParamName[8]->text(), QString());
    QCOMPARE(w.SwitchOffText[8], QString());
    QCOMPARE(w.SwitchOnText[8], QString());
    QCOMPARE(panel.prompts.messages, QStringList());
}

void TestFXParameters::addressTraces()
{
    Panel panel;
    panel.open(QStringLiteral("Arp Sequencer"));
    const QStringList &lines = panel.console.lines;
    const qsizetype at = lines.indexOf(QStringLiteral("resource name: Arp_Sequencer"));
    QVERIFY(at > 0);
    QVERIFY(lines.at(at + 1).startsWith(QStringLiteral("content: 0009A05D8019")));
    const int size = (lines.at(at + 1).size() - 9) / 2;
    QCOMPARE(lines.at(at + 2), QStringLiteral("file content size: %1").arg(size));
    QCOMPARE(lines.at(at + 3), QStringLiteral("parameter address: 5D80"));
    QCOMPARE(lines.at(at + 4), QStringLiteral("parameter address: 1967"));
    int addresses = 0;
    for (const QString &l : lines)
        addresses += l.startsWith(QStringLiteral("parameter address: "));
    QCOMPARE(addresses, 24);
    QCOMPARE(panel.window.ParamAddress[0], QStringLiteral("5D80"));
}

void TestFXParameters::userChangesSend()
{
    Catalogue catalogue;
    QStringList layout{"191", "Level"};
    QStringList addresses{"0001"};
    for (int p = 1; p < 10; ++p) {
        layout << QStringLiteral("Sw%1:Dry:Wet").arg(p);
        addresses << QStringLiteral("%1").arg(0x10 + p, 4, 16, QLatin1Char('0')).toUpper();
    }
    layout << "Sine Range;I;II;III;IV;V";
    addresses << "0033";
    catalogue.add(QStringLiteral("Probe"), layout, programLine(addresses));
    Panel panel(catalogue.index());
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Probe"));
    TformFXParameters &w = panel.window;
    QCOMPARE(w.ParamAddress[9], QStringLiteral("0019"));
    panel.console.lines.clear();
    panel.console.scrolled.clear();

    // Pot row 0 at 1023, address 0001.
    w.trkPot[0]->setFocus();
    QTest::keyClick(w.trkPot[0], Qt::Key_End);
    QCOMPARE(panel.lastWrite(), bytes("010001007FE000"));
    QCOMPARE(panel.console.lines.last(), QStringLiteral("data sent pot 0: 010001007FE000"));
    QCOMPARE(panel.console.scrolled.last(), true);

    // Switch row 9, address 0019: on, then off; the caption follows; the trace does not scroll.
    QTest::mouseClick(w.swSwitch[9], Qt::LeftButton);
    QVERIFY(w.swSwitch[9]->isChecked());
    QCOMPARE(panel.lastWrite(), bytes("010019007FE000"));
    QCOMPARE(panel.console.lines.last(), QStringLiteral("data sent switch 9: 010019007FE000"));
    QCOMPARE(panel.console.scrolled.last(), false);
    QCOMPARE(w.lblSwitchState[9]->text(), QStringLiteral("Wet"));
    QTest::keyClick(w.swSwitch[9], Qt::Key_Space);
    QCOMPARE(panel.lastWrite(), bytes("01001900000000"));
    QCOMPARE(w.lblSwitchState[9]->text(), QStringLiteral("Dry"));

    // Option III of five: 2 x 204 = 408.
    w.cmbMultiSwitch[10]->setFocus();
    QTest::keyClick(w.cmbMultiSwitch[10], Qt::Key_Down);
    QTest::keyClick(w.cmbMultiSwitch[10], Qt::Key_Down);
    QTest::keyClick(w.cmbMultiSwitch[10], Qt::Key_Down);
    QCOMPARE(w.cmbMultiSwitch[10]->currentText(), QStringLiteral("III"));
    QCOMPARE(panel.lastWrite(), bytes("01003300330000"));
    QCOMPARE(panel.console.lines.last(), QStringLiteral("data sent multiswitch 10: 01003300330000"));

    // Each change is one 7-byte write, never preceded by a purge.
    QCOMPARE(panel.driver.writes.size(), 6);
    for (const QByteArray &write : panel.driver.writes)
        QCOMPARE(write.size(), 7);
    QCOMPARE(panel.driver.purges, QList<quint32>());
}

void TestFXParameters::keyboardDragSendsEveryStep()
{
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"100", "Level"}, programLine({"0A0B"}));
    Panel panel(catalogue.index());
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Probe"));
    QSlider *slider = panel.window.trkPot[0];
    slider->setFocus();
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(slider, Qt::Key_Right);
    QCOMPARE(panel.driver.writes.size(), 10);
    for (int level = 1; level <= 10; ++level) {
        const quint32 value = quint32(level) << 13;
        QByteArray expected = bytes("010A0B");
        expected += char(value >> 24);
        expected += char(value >> 16);
        expected += char(value >> 8);
        expected += char(value);
        QCOMPARE(panel.driver.writes.at(level - 1), expected);
    }
    // A mouse drag that moves the slider by single values sends once per value too.
    panel.driver.writes.clear();
    slider->setSliderDown(true);
    for (int v = 9; v >= 0; --v)
        slider->setSliderPosition(v);
    slider->setSliderDown(false);
    QCOMPARE(panel.driver.writes.size(), 10);
    QCOMPARE(panel.driver.writes.last(), bytes("010A0B00000000"));
}

void TestFXParameters::whoSends_data()
{
    QTest::addColumn<char>("kind");    // P slider, S switch, M list
    QTest::addColumn<bool>("byUser");
    QTest::addColumn<bool>("liveMode");
    QTest::addColumn<bool>("sends");
    QTest::newRow("slider-moved-by-user") << 'P' << true << false << true;
    QTest::newRow("slider-set-by-program") << 'P' << false << false << true;
    QTest::newRow("switch-clicked-by-user") << 'S' << true << false << true;
    QTest::newRow("switch-set-by-program") << 'S' << false << false << false;
    QTest::newRow("list-changed-by-user") << 'M' << true << false << true;
    QTest::newRow("list-set-by-program") << 'M' << false << false << true;
    QTest::newRow("live-slider-moved-by-user") << 'P' << true << true << false;
    QTest::newRow("live-slider-set-by-program") << 'P' << false << true << false;
    QTest::newRow("live-switch-clicked-by-user") << 'S' << true << true << false;
    QTest::newRow("live-list-changed-by-user") << 'M' << true << true << true;
    QTest::newRow("live-list-set-by-program") << 'M' << false << true << true;
}

void TestFXParameters::whoSends()
{
    QFETCH(char, kind);
    QFETCH(bool, byUser);
    QFETCH(bool, liveMode);
    QFETCH(bool, sends);
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"111", "Level", "Hold:OFF:ON", "Band;Lo;Mid;Hi"},
                  programLine({"0001", "0002", "0003"}));
    Panel panel(catalogue.index());
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Probe"));
    panel.session.setLiveMode(liveMode);
    TformFXParameters &w = panel.window;
    switch (kind) {
    case 'P':
        if (byUser) {
            w.trkPot[0]->setFocus();
            QTest::keyClick(w.trkPot[0], Qt::Key_PageUp);
        } else {
            w.trkPot[0]->setValue(300);
        }
        QVERIFY(w.trkPot[0]->value() > 0);
        break;
    case 'S':
        if (byUser)
            QTest::mouseClick(w.swSwitch[1], Qt::LeftButton);
        else
            w.swSwitch[1]->setChecked(true);
        QVERIFY(w.swSwitch[1]->isChecked());
        break;
    default:
        if (byUser) {
            w.cmbMultiSwitch[2]->setFocus();
            QTest::keyClick(w.cmbMultiSwitch[2], Qt::Key_Down);
        } else {
            w.cmbMultiSwitch[2]->setCurrentIndex(1);
        }
        QVERIFY(w.cmbMultiSwitch[2]->currentIndex() >= 0);
        break;
    }
    QCOMPARE(panel.driver.writes.size(), sends ? 1 : 0);
    // A switch set by the program leaves its caption to the code that set it.
    if (kind == 'S')
        QCOMPARE(w.lblSwitchState[1]->text(), QString::fromLatin1(sends ? "ON" : "OFF"));
}

void TestFXParameters::shortAddressSendsNothing_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("trace");
    QTest::newRow("whole-address-sends") << 0 << "data sent pot 0: 01ABCD007FE000";
    QTest::newRow("two-digits-left") << 1 << "data not sent pot 1: parameter address \"12\" is not 4 hex digits";
    QTest::newRow("nothing-left") << 2 << "data not sent pot 2: parameter address \"\" is not 4 hex digits";
}

void TestFXParameters::shortAddressSendsNothing()
{
    QFETCH(int, row);
    QFETCH(QString, trace);
    // A program line of 12 characters: row 0's address whole, row 1's cut to two digits.
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"300", "A", "B", "C"}, QStringLiteral("000041ABCD12"));
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Probe"));
    // Stale bytes a short address would otherwise let through.
    panel.usb.putTransmitBytes(bytes("EEEEEEEEEEEEEE"));
    panel.window.trkPot[row]->setValue(1023);
    QCOMPARE(panel.console.lines.last(), trace);
    QCOMPARE(panel.driver.writes.size(), row == 0 ? 1 : 0);
    QCOMPARE(panel.prompts.messages, QStringList());
}

void TestFXParameters::closeDestroysRows()
{
    Panel panel;
    panel.main.show();
    QSignalSpy closed(&panel.window, &TformFXParameters::rowsClosed);
    panel.open(QStringLiteral("Arp Sequencer"));
    const int built = int(panel.window.rowsArea()->children().size());
    QPointer<QSlider> slider = panel.window.trkPot[0];
    panel.window.close();
    QCOMPARE(closed.size(), 1);
    QVERIFY(slider.isNull());
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
    TformFXParameters &w = panel.window;
    for (int p = 0; p < 24; ++p)
        QVERIFY(!w.lblParamName[p] && !w.trkPot[p] && !w.swSwitch[p] && !w.lblSwitchState[p]
                && !w.cmbMultiSwitch[p] && !w.boxAssign[p] && !w.chkReverse[p] && !w.btnMin[p]
                && !w.btnMax[p] && !w.btnClearMinMax[p]);
    QVERIFY(!w.lineDivider);
    // The layout state outlives the rows; setting rows of a closed window touches nothing.
    QCOMPARE(w.NumParams(), 24);
    QCOMPARE(w.SwitchOnText[12], QStringLiteral("OFF"));
    w.ShowSwitchState(12);
    w.SetLimit(0, TformFXParameters::LimitAction::Clear);
    QCOMPARE(panel.driver.writes, QList<QByteArray>());

    // Reopening builds the rows once; the opener's own close leaves them open in the session.
    panel.open(QStringLiteral("Arp Sequencer"));
    panel.open(QStringLiteral("Arp Sequencer"));
    QCOMPARE(closed.size(), 1);
    QVERIFY(panel.session.settings().isOpen());
    QCOMPARE(int(panel.window.rowsArea()->children().size()), built);
}

void TestFXParameters::rowUseFromTheSession_data()
{
    QTest::addColumn<bool>("effectLink");
    QTest::addColumn<bool>("onPedal");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("assigned");
    QTest::addColumn<bool>("pot");
    QTest::addColumn<bool>("values");
    QTest::addColumn<bool>("limits");
    QTest::newRow("chosen-with-no-pedal") << false << false << false << true << true << false << false;
    QTest::newRow("connected-pedal-runs-another-effect") << true << false << false << true << true << false << false;
    QTest::newRow("after-open-fx-before-request") << true << true << false << true << true << false << false;
    QTest::newRow("read-no-pedal-control") << true << true << true << false << true << true << false;
    QTest::newRow("read-pot-with-a-pedal-control") << true << true << true << true << true << true << true;
    QTest::newRow("read-switch-with-a-pedal-control") << true << true << true << true << false << true << false;
    QTest::newRow("read-then-disconnected") << false << true << true << true << true << false << false;
    QTest::newRow("read-then-bootloader-on-the-line") << false << true << true << true << true << false << false;
}

void TestFXParameters::rowUseFromTheSession()
{
    QFETCH(bool, effectLink);
    QFETCH(bool, onPedal);
    QFETCH(bool, read);
    QFETCH(bool, assigned);
    QFETCH(bool, pot);
    const RowUse use = rowUse({effectLink, onPedal, read, assigned, pot});
    QTEST(use.values, "values");
    QTEST(use.limits, "limits");
}

void TestFXParameters::rowsFollowTheSession()
{
    Panel panel;
    panel.open(QStringLiteral("Arp Sequencer"));
    TformFXParameters &w = panel.window;
    EditorSession &session = panel.session;
    constexpr int kPot = 0, kSwitch = 12;
    // Nothing on a greyed row can be used; on a usable one the values, and the limits only
    // where the row is a pot with a pedal control.
    const auto check = [&](const char *when, bool values, bool potLimits) {
        for (int p = 0; p < w.NumParams(); ++p) {
            for (QWidget *c : std::initializer_list<QWidget *>{w.lblParamName[p], w.trkPot[p], w.swSwitch[p],
                                                               w.cmbMultiSwitch[p], w.boxAssign[p], w.chkReverse[p]})
                if (c)
                    QVERIFY2(c->isEnabled() == values, qPrintable(QStringLiteral("%1: %2").arg(when, c->objectName())));
            for (QPushButton *b : {w.btnMin[p], w.btnMax[p], w.btnClearMinMax[p]})
                if (b)
                    QVERIFY2(b->isEnabled() == (potLimits && p == kPot),
                             qPrintable(QStringLiteral("%1: %2").arg(when, b->objectName())));
        }
    };
    check("chosen, the pedal runs another effect", false, false);
    session.pedalState().effectAnswered({1, 1, QStringLiteral("Arp Sequencer")}, 5);
    check("open fx", false, false);
    session.setRowsRead(true);
    check("request", true, false);
    // A pedal control chosen in the box: the row's limits at once, no second request.
    w.boxAssign[kPot]->setCurrentIndex(1);
    w.boxAssign[kSwitch]->setCurrentIndex(1);
    check("pedal control chosen", true, true);
    // Moves wait for the line check: the rows stay usable.
    session.pedalState().lostStep(QStringLiteral("a test"));
    check("out of step", true, true);
    session.pedalState().bootloaderFound(false);
    check("bootloader on the line", false, false);
    session.closedLink();
    check("disconnected", false, false);
    QVERIFY(!session.settings().rowsEnabled());
    // A greyed row sends nothing, whatever is clicked.
    QTest::mouseClick(w.swSwitch[10], Qt::LeftButton);
    QTest::mouseClick(w.btnClearMinMax[kPot], Qt::LeftButton);
    QCOMPARE(panel.driver.writes, QList<QByteArray>());
}

void TestFXParameters::limitButtons_data()
{
    QTest::addColumn<int>("slider");
    QTest::addColumn<QString>("button"); // min, max, clear
    QTest::addColumn<int>("minBefore");
    QTest::addColumn<int>("maxBefore");
    QTest::addColumn<QString>("minCaption");
    QTest::addColumn<QString>("maxCaption");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("message");
    QTest::newRow("min-at-zero") << 0 << "min" << 0 << 1023 << "1%" << "-" << bytes("06000200000000") << "";
    QTest::newRow("min-at-512") << 512 << "min" << 0 << 1023 << "51%" << "-" << bytes("06000200400000") << "";
    QTest::newRow("min-at-top") << 1023 << "min" << 0 << 1023 << "100%" << "-" << bytes("060002007FE000") << "";
    QTest::newRow("max-at-512") << 512 << "max" << 0 << 1023 << "-" << "51%" << bytes("06010200400000") << "";
    QTest::newRow("min-equal-max-accepted") << 500 << "min" << 0 << 500 << "49%" << "-" << bytes("060002003E8000") << "";
    QTest::newRow("min-above-max-refused") << 600 << "min" << 0 << 500 << "-" << "-" << QByteArray()
                                           << "Cannot set a MIN value higher than a MAX value";
    QTest::newRow("max-below-min-refused") << 100 << "max" << 200 << 1023 << "-" << "-" << QByteArray()
                                           << "Cannot set a MIN value higher than a MAX value";
    QTest::newRow("clear") << 300 << "clear" << 100 << 900 << "-" << "-"
                           << bytes("06000200000000060102007FE000") << "";
}

void TestFXParameters::limitButtons()
{
    QFETCH(int, slider);
    QFETCH(QString, button);
    QFETCH(int, minBefore);
    QFETCH(int, maxBefore);
    QFETCH(QByteArray, sent);
    QFETCH(QString, message);
    Panel panel;
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Deep Chorus X2"));
    TformFXParameters &w = panel.window;
    panel.session.settings().setPedalControl(2, 1);
    panel.tables.MinLimit[2] = minBefore;
    panel.tables.MaxLimit[2] = maxBefore;
    w.trkPot[2]->blockSignals(true); // where the slider stands, without sending its level
    w.trkPot[2]->setValue(slider);
    w.trkPot[2]->blockSignals(false);
    QPushButton *b = button == "min" ? w.btnMin[2] : button == "max" ? w.btnMax[2] : w.btnClearMinMax[2];
    QTest::mouseClick(b, Qt::LeftButton);

    QByteArray written;
    for (const QByteArray &write : panel.driver.writes)
        written += write;
    QCOMPARE(written, sent);
    QCOMPARE(panel.driver.purges.size(), sent.size() / 7); // each limit purges before writing
    QTEST(w.btnMin[2]->text(), "minCaption");
    QTEST(w.btnMax[2]->text(), "maxCaption");
    // A screen reader reads the caption as the button's description ("-" is no limit).
    QFETCH(QString, minCaption);
    QFETCH(QString, maxCaption);
    for (auto [button, caption] : {std::pair{w.btnMin[2], minCaption}, std::pair{w.btnMax[2], maxCaption}})
        QCOMPARE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Description),
                 caption == "-" ? QStringLiteral("not set") : caption);
    QCOMPARE(panel.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
    // The tooltip tells the level the per cent stands for.
    for (auto [b, caption, level] : {std::tuple{w.btnMin[2], minCaption, panel.tables.MinLimit[2]},
                                     std::tuple{w.btnMax[2], maxCaption, panel.tables.MaxLimit[2]}})
        QVERIFY2(b->toolTip().endsWith(caption == "-" ? QStringLiteral("Not set.")
                                                      : QStringLiteral("%1 stands for level %2 of 1023.").arg(caption).arg(level)),
                 qPrintable(b->toolTip()));
    if (button == "clear") {
        QCOMPARE(panel.tables.MinLimit[2], 0);
        QCOMPARE(panel.tables.MaxLimit[2], 1023);
    } else if (message.isEmpty()) {
        QCOMPARE((button == "min" ? panel.tables.MinLimit : panel.tables.MaxLimit)[2], slider);
    } else {
        QCOMPARE(panel.tables.MinLimit[2], minBefore);
        QCOMPARE(panel.tables.MaxLimit[2], maxBefore);
    }
}

void TestFXParameters::levelsAndHeadings()
{
    Panel panel;
    panel.main.setGeometry(0, 0, 100, 100); // room beside it for the wider window
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Deep Chorus X2"));
    TformFXParameters &w = panel.window;
    // Off by default: the window as it always was.
    QVERIFY(!w.levelsShown());
    QVERIFY(!w.spnLevel[0]);
    QVERIFY(w.lblHeadings.isEmpty());
    QCOMPARE(w.width(), 499);
    const int height = w.height();
    w.boxAssign[0]->setCurrentIndex(1);
    w.trkPot[1]->setValue(300);
    const qsizetype before = panel.driver.writes.size();

    w.setLevelsShown(true);
    // Built again, the rows show what they held, and send nothing for it.
    QCOMPARE(w.boxAssign[0]->currentIndex(), 1);
    QCOMPARE(w.trkPot[1]->value(), 300);
    QCOMPARE(w.spnLevel[1]->value(), 300);
    QVERIFY(w.btnMin[0]->isEnabled());
    QCOMPARE(panel.driver.writes.size(), before);
    QVERIFY(w.isVisible());
    QCOMPARE(w.lblHeadings.size(), 8);
    QCOMPARE(w.lblHeadings.first()->text(), QStringLiteral("Parameter"));
    for (int p = 0; p < w.NumPots(); ++p)
        QVERIFY(w.spnLevel[p] && w.spnLevel[p]->isEnabled());
    // Grown to fit: the number's column, and the headings' line above the rows.
    QCOMPARE(w.width(), 499 + 64);
    QCOMPARE(w.height(), height + 22);
    QVERIFY(!w.rowsCutAcross());
    QCOMPARE(w.lineDivider->x(), 280 + 64);
    QVERIFY(w.lblParamName[0]->geometry().bottom() < w.trkPot[1]->geometry().top());

    // A typed level goes to the pedal as the slider's move does: the same command.
    const QString address = w.ParamAddress[0];
    w.spnLevel[0]->setValue(600);
    QCOMPARE(w.trkPot[0]->value(), 600);
    QCOMPARE(panel.lastWrite(), bytes(qPrintable(QStringLiteral("01") + address + QStringLiteral("004B0000"))));
    const qsizetype sent = panel.driver.writes.size();
    w.trkPot[0]->setValue(700);
    QCOMPARE(w.spnLevel[0]->value(), 700);
    QCOMPARE(panel.driver.writes.size(), sent + 1);
    QCOMPARE(panel.lastWrite(), bytes(qPrintable(QStringLiteral("01") + address + QStringLiteral("00578000"))));
    // The pedal's level drawn into the row: shown in the number, nothing sent back.
    panel.session.settings().setPot(0, 100);
    QCOMPARE(w.spnLevel[0]->value(), 100);
    QCOMPARE(panel.driver.writes.size(), sent + 1);
    // Greyed with its row.
    panel.session.closedLink();
    QVERIFY(!w.spnLevel[0]->isEnabled());

    // Remembered: a window made from the same folders shows them.
    QVERIFY(saveRememberedSwitch(TformFXParameters::levelsChoicePath(panel.folders.documents()), true).isEmpty());
    TformFXParameters again(panel.session);
    QVERIFY(again.levelsShown());
}

void TestFXParameters::assignBoxFeedsTables()
{
    Panel panel;
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Deep Chorus X2"));
    QComboBox *box = panel.window.boxAssign[0];
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down); // "I"
    QTest::keyClick(box, Qt::Key_Down); // "EXP"
    QCOMPARE(box->currentText(), QStringLiteral("EXP"));
    QCOMPARE(panel.tables.AssignMatrix[0][0], 0);
    QCOMPARE(panel.tables.AssignMatrix[1][0], 1);
    QVERIFY(panel.tables.IsAssigned[0]);
    box->setCurrentIndex(7); // "NA"
    QCOMPARE(panel.tables.AssignMatrix[1][0], 0);
    QVERIFY(!panel.tables.IsAssigned[0]);
    QCOMPARE(panel.driver.writes, QList<QByteArray>()); // the pedal learns it with Assign
}

void TestFXParameters::switchThroughAccessibility()
{
    Panel panel;
    panel.session.selection.EffectOnPedal = true;
    panel.open(QStringLiteral("Arp Sequencer"));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&panel.window);
    QVERIFY(window);
    // Find the "Mute" row's switch and reverse box the way a screen reader tells them: by name;
    // the switch's description is the caption it stands on.
    QAccessibleInterface *mute = nullptr;
    QAccessibleInterface *reverse = nullptr;
    QAccessibleInterface *caption = nullptr;
    // The rows sit in the window's scroll area: the whole tree is walked, as a reader does.
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface *child = node->child(i);
            const QString name = child->text(QAccessible::Name);
            if (name == QStringLiteral("Mute switch"))
                mute = child;
            else if (name == QStringLiteral("Mute reverse"))
                reverse = child;
            else if (name == QStringLiteral("Mute state"))
                caption = child;
            walk(child);
        }
    };
    walk(window);
    QVERIFY(mute && reverse && caption);
    QVERIFY(mute->state().checkable && reverse->state().checkable);
    QCOMPARE(mute->text(QAccessible::Description), QStringLiteral("ON"));
    QCOMPARE(caption->text(QAccessible::Description), QStringLiteral("ON"));
    QCOMPARE(reverse->text(QAccessible::Description).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("toggle the Reverse function for the current parameter"));
    QCOMPARE(mute->object(), panel.window.swSwitch[12]);
    QVERIFY(!mute->state().checked);
    QAccessibleActionInterface *actions = mute->actionInterface();
    QVERIFY(actions);
    QCOMPARE(mute->role(), QAccessible::Button); // a toggle button; the reverse box is a check box
    QCOMPARE(reverse->role(), QAccessible::CheckBox);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    // Toggled by assistive technology, the switch sends as a click does.
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(mute->state().checked);
    QCOMPARE(panel.window.lblSwitchState[12]->text(), QStringLiteral("OFF"));
    QCOMPARE(mute->text(QAccessible::Description), QStringLiteral("OFF"));
    QCOMPARE(caption->text(QAccessible::Description), QStringLiteral("OFF"));
    QCOMPARE(panel.driver.writes.size(), 1);
    QCOMPARE(panel.driver.writes.last().mid(3), bytes("007FE000"));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(!mute->state().checked);
    QCOMPARE(panel.driver.writes.size(), 2);
    QCOMPARE(panel.driver.writes.last().mid(3), bytes("00000000"));
    // A disabled switch cannot be toggled this way either.
    panel.session.closedLink();
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(!mute->state().checked);
    QCOMPARE(panel.driver.writes.size(), 2);
}

void TestFXParameters::noEffectSelected()
{
    Panel panel;
    panel.open(QStringLiteral("Arp Sequencer"));
    QCOMPARE(panel.window.NumParams(), 24);
    // With nothing selected the layout is missing: no rows, and the height says so.
    panel.open(QString());
    QCOMPARE(panel.prompts.messages, QStringList{QStringLiteral("Error loading resource: Resource _ctrls not found")});
    QCOMPARE(panel.window.NumParams(), 0);
    QCOMPARE(panel.window.frameGeometry().height(), 60);
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
}

void TestFXParameters::invalidCountLineIsReported()
{
    Catalogue catalogue;
    catalogue.add(QStringLiteral("BROKEN"), {"3a0", "Level", "Tone", "Mix"}, programLine({}));
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Broken"));
    QCOMPARE(panel.prompts.messages, QStringList{QStringLiteral("'3a0' is not a valid control count line")});
    QCOMPARE(panel.window.NumParams(), 0);
    QVERIFY(panel.window.isVisible());
    QCOMPARE(panel.console.lines, QStringList());
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
}

void TestFXParameters::missingProgramStopsBuilding()
{
    Catalogue catalogue;
    catalogue.addLayoutOnly(QStringLiteral("PROBE"), {"100", "Level"});
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Probe"));
    QCOMPARE(panel.prompts.messages, QStringList{QStringLiteral("Error loading resource: Resource Probe not found")});
    QCOMPARE(panel.console.lines.last(), QStringLiteral("resource name: Probe"));
    QCOMPARE(panel.window.NumParams(), 1); // the layout was read; no row was built
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
    QCOMPARE(panel.window.ParamAddress[0], QString());
}

void TestFXParameters::spokenNamesOfLikeAndNamelessRows()
{
    // Two pots of one name and one whose line is missing: a screen reader still tells them apart.
    Catalogue catalogue;
    catalogue.add(QStringLiteral("Probe"), {"300", "Level", "Level"}, programLine({}));
    Panel panel(catalogue.index());
    panel.open(QStringLiteral("Probe"));
    TformFXParameters &w = panel.window;
    QCOMPARE(w.trkPot[0]->accessibleName(), QStringLiteral("Level (row 1) level"));
    QCOMPARE(w.btnMax[1]->accessibleName(), QStringLiteral("Level (row 2) maximum"));
    QCOMPARE(w.chkReverse[2]->accessibleName(), QStringLiteral("Row 3 reverse"));
    QSet<QString> names;
    for (QObject *child : w.rowsArea()->children())
        names.insert(QAccessible::queryAccessibleInterface(child)->text(QAccessible::Name));
    QCOMPARE(int(names.size()), int(w.rowsArea()->children().size()));
}

void TestFXParameters::clientHeight_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("frame"); // title bar and borders, 0 when the window manager says nothing
    QTest::addColumn<int>("client");
    // Without a frame: the rows and a 10-pixel margin under the last one.
    QTest::newRow("3-rows-no-frame") << 3 << 0 << 90;
    QTest::newRow("9-rows-no-frame") << 9 << 0 << 240;
    QTest::newRow("24-rows-no-frame") << 24 << 0 << 615;
    QTest::newRow("no-rows-no-frame") << 0 << 0 << 20;
    // With a frame: the outer height is (rows + 2) x 25 + 10.
    QTest::newRow("3-rows-30-frame") << 3 << 30 << 105;
    QTest::newRow("9-rows-30-frame") << 9 << 30 << 255;
    QTest::newRow("24-rows-30-frame") << 24 << 30 << 630;
    QTest::newRow("24-rows-23-frame") << 24 << 23 << 637;
    QTest::newRow("no-rows-30-frame") << 0 << 30 << 30;
    // A frame too tall for that figure does not cut the last row off.
    QTest::newRow("3-rows-100-frame") << 3 << 100 << 80;
}

void TestFXParameters::clientHeight()
{
    QFETCH(int, rows);
    QFETCH(int, frame);
    QFETCH(int, client);
    QCOMPARE(TformFXParameters::clientHeightForParams(rows, frame), client);

    // The window itself, on a platform that may or may not report a frame.
    Catalogue catalogue;
    // Pots up to 15, switches after them ("F90" for 24 rows).
    const auto digit = [](int n) { return QString::number(n, 16).toUpper(); };
    QStringList layout{rows <= 15 ? digit(rows) + QStringLiteral("00")
                                  : QStringLiteral("F") + digit(rows - 15) + QStringLiteral("0")};
    for (int p = 0; p < rows; ++p)
        layout << QStringLiteral("Pot %1").arg(p);
    catalogue.add(QStringLiteral("Probe"), layout, programLine({}));
    Panel panel(catalogue.index());
    panel.main.setGeometry(0, 0, 100, 100); // room beside it for the window's whole height
    panel.main.show();
    panel.open(QStringLiteral("Probe"));
    TformFXParameters &w = panel.window;
    QCOMPARE(w.NumParams(), rows);
    const int shownFrame = w.frameGeometry().height() - w.height();
    const int fitted = TformFXParameters::clientHeightForParams(rows, shownFrame);
    // A screen too short for the rows: the window fills its height and the rows scroll.
    const QRect available = availableGeometryFor(panel.main);
    QCOMPARE(w.rowsScroll(), fitted + shownFrame > available.height());
    QCOMPARE(w.height(), w.rowsScroll() ? available.height() - shownFrame : fitted);
    if (shownFrame > 0 && shownFrame < 2 * 25 && !w.rowsScroll())
        QCOMPARE(w.frameGeometry().height(), TformFXParameters::heightForParams(rows));
    if (rows > 0)
        QVERIFY(w.lblParamName[rows - 1]->geometry().bottom() < fitted);
}

void TestFXParameters::closeWithoutRowsIsReported_data()
{
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("message");
    QTest::newRow("no-effect-selected") << "" << "Error loading resource: Resource _ctrls not found";
    QTest::newRow("invalid-count-line") << "Broken" << "'3a0' is not a valid control count line";
    QTest::newRow("program-missing") << "Halfway" << "Error loading resource: Resource Halfway not found";
}

void TestFXParameters::closeWithoutRowsIsReported()
{
    QFETCH(QString, effect);
    QFETCH(QString, message);
    Catalogue catalogue;
    catalogue.add(QStringLiteral("BROKEN"), {"3a0", "Level", "Tone", "Mix"}, programLine({}));
    catalogue.addLayoutOnly(QStringLiteral("HALFWAY"), {"100", "Level"});
    Panel panel(catalogue.index());
    panel.open(effect);
    QCOMPARE(panel.prompts.messages, QStringList{message});
    QVERIFY(panel.window.isVisible());
    QVERIFY(panel.window.rowsArea()->children().isEmpty());
    // The main window disables Request and Assign on this signal: a window that never got its
    // rows reports its close all the same.
    QSignalSpy closed(&panel.window, &TformFXParameters::rowsClosed);
    panel.window.close();
    QCOMPARE(closed.size(), 1);
}

QTEST_MAIN(TestFXParameters)
#include "tst_tformfxparameters.moc"
