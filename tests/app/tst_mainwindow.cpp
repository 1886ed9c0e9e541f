#include "core/firstpaint.h"
#include "tests/support/editorfixture.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScrollArea>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <functional>

using namespace tovel;
using namespace tovel::test;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void startupLabels_data();
    void startupLabels();
    void startupStates();
    void startupAfterFirstPaint();
    void workAfterFirstPaintOnceEvenUnpainted();
    void controlGeometry_data();
    void controlGeometry();
    void noPedalLine();
    void dataFolders_data();
    void dataFolders();
    void testCodeButton();
    void closingMainWindowEndsTheLoop();
    void closingRowlessParameterWindowDisablesRequestAndAssign();
    void everyControlHasItsOwnName_data();
    void everyControlHasItsOwnName();
    void pedalLineAndCommandsFollowThePedal();
};

void TestMainWindow::startupLabels_data()
{
    QTest::addColumn<QList<QByteArray>>("serials");
    QTest::addColumn<QString>("nameLabel");
    QTest::addColumn<QString>("serialLabel");
    QTest::addColumn<QString>("listed");
    QTest::newRow("no-bridge") << QList<QByteArray>{} << "Device Name: " << "Serial Number: " << "";
    QTest::newRow("one-bridge") << QList<QByteArray>{"FT1"} << "Tovel FT1" << "Serial Number: FT1" << "FT1";
    QTest::newRow("two-bridges-run-together")
        << QList<QByteArray>{"FT1", "FT2"} << "Tovel FT2" << "Serial Number: FT1FT2" << "FT2";
}

void TestMainWindow::startupLabels()
{
    QFETCH(QList<QByteArray>, serials);
    QFETCH(QString, nameLabel);
    QFETCH(QString, serialLabel);
    QFETCH(QString, listed);
    EditorFixture f;
    for (const QByteArray &s : serials)
        f.driver.devices.append({s, "Tovel " + s, {}});
    f.start();
    QCOMPARE(f.main().lblDeviceName->text(), nameLabel);
    QCOMPARE(f.main().lblSerialNumber->text(), serialLabel);
    QCOMPARE(f.app->session().link.ListedSerialNumber, listed);
    QCOMPARE(f.app->session().link.ListedDeviceName, serials.isEmpty() ? QString() : nameLabel);
    QVERIFY(f.prompts.messages.isEmpty());
    QVERIFY(f.consoleLines().isEmpty()); // start-up writes nothing to the console
}

void TestMainWindow::startupStates()
{
    EditorFixture f;
    f.start();
    TformMain &m = f.main();
    QCOMPARE(m.windowTitle(), QStringLiteral("ZANTH Editor"));
    QCOMPARE(m.size(), QSize(399, 480));
    QCOMPARE(f.app->usb.state.BaudRate, 115200u);
    QCOMPARE(f.app->usb.state.WordLength, quint8(8));
    QCOMPARE(f.app->usb.state.StopBits, quint8(0));
    QCOMPARE(f.app->usb.state.Parity, quint8(0));

    for (QWidget *w : QList<QWidget *>{m.btnUpload, m.btnOpenEffect, m.btnRequest, m.btnAssign,
                                       m.btnStoreSettingsOnPedal, m.btnGetFXInfo})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    for (QWidget *w : QList<QWidget *>{m.btnUploadFile, m.btnTest, m.chkLiveRequest, m.chkFirmwareUpgradeMode})
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (QAction *a : QList<QAction *>{m.menuDisconnect, m.menuLoadIR, m.menuStartFirmwareUpgrade,
                                       m.menuAppVersion, m.menuNewAppVersion})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(m.menuScan->isEnabled() && m.menuConnect->isEnabled());
    QVERIFY(!m.menuLiveEnable->isVisible() && !m.menuQuickStart->isVisible());

    QStringList rows;
    for (QListWidgetItem *item : m.CategoryItems)
        rows << item->text();
    QCOMPARE(rows, (QStringList{"Gain", "Modulation", "Synthesis", "Filter", "Dynamic",
                                "Impulse Response", "Other"}));
    QCOMPARE(m.lstCategory->count(), 7);
    QCOMPARE(m.lstEffects->count(), 0);

    QCOMPARE(m.menuAppVersion->text(), QStringLiteral("Version:  3.0"));
    QCOMPARE(f.app->versions.AppVersion, QStringLiteral("3.0"));

    // The other four windows exist and are hidden.
    QCOMPARE(f.app->formPrint()->windowTitle(), QStringLiteral("Print Console"));
    QCOMPARE(f.app->formFirmwareUpgrade()->windowTitle(), QStringLiteral("Firmware Upgrade"));
    QCOMPARE(f.app->formFXParameters()->windowTitle(), QStringLiteral("FX Parameters"));
    QVERIFY(f.app->formPrint()->isHidden() && f.app->formFXInfo()->isHidden());
}

void TestMainWindow::startupAfterFirstPaint()
{
    // The program's own start: the first frame without the scan and the other windows, the
    // rest once it is painted; it ends as the whole start-up ends.
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel FT1", {}});
    Application app(f.prompts, f.pacing, f.folders, f.driver, f.clock, f.site, &f.browser, QString(),
                    Application::Startup::FirstPaintFirst);
    TformMain &m = *app.formMain();
    QCOMPARE(m.lblSerialNumber->text(), QStringLiteral("Serial Number: "));
    QCOMPARE(m.lstCategory->count(), 7);
    QCOMPARE(m.menuAppVersion->text(), QStringLiteral("Version:  3.0"));
    QVERIFY(!app.formPrint() && !app.formFirmwareUpgrade() && !app.formFXParameters() && !app.formFXInfo());
    int finished = 0;
    afterFirstPaint(&m, [&] {
        app.finishStartup();
        ++finished;
    });
    m.show();
    QTRY_COMPARE(finished, 1);
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Tovel FT1"));
    QCOMPARE(m.lblSerialNumber->text(), QStringLiteral("Serial Number: FT1"));
    QCOMPARE(app.session().link.ListedSerialNumber, QStringLiteral("FT1"));
    QVERIFY(app.formPrint() && app.formPrint()->isHidden());
    QCOMPARE(app.formFirmwareUpgrade()->windowTitle(), QStringLiteral("Firmware Upgrade"));
    QVERIFY(app.formFXParameters()->isHidden() && app.formFXInfo()->isHidden());
    QVERIFY(f.prompts.messages.isEmpty());
    // The browser is there: a category's click fills the effect list.
    emit m.lstCategory->itemClicked(m.lstCategory->item(0));
    QVERIFY(m.lstEffects->count() > 0);
    // Painted again, nothing runs twice.
    m.repaint();
    QTest::qWait(20);
    QCOMPARE(finished, 1);
}

void TestMainWindow::workAfterFirstPaintOnceEvenUnpainted()
{
    // A window that is never exposed gets its start-up work all the same, once.
    QWidget never;
    int runs = 0;
    afterFirstPaint(&never, [&] { ++runs; }, std::chrono::milliseconds(10));
    QTRY_COMPARE(runs, 1);
    QTest::qWait(30);
    QCOMPARE(runs, 1);
}

void TestMainWindow::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("lblDeviceName") << "lblDeviceName" << QRect(8, 29, 174, 17);
    QTest::newRow("lblSerialNumber") << "lblSerialNumber" << QRect(8, 47, 185, 17);
    QTest::newRow("lblFirmwareVersion") << "lblFirmwareVersion" << QRect(9, 64, 174, 20);
    QTest::newRow("btnUpload") << "btnUpload" << QRect(7, 90, 174, 36);
    QTest::newRow("lblStatus") << "lblStatus" << QRect(7, 134, 174, 17);
    QTest::newRow("btnOpenEffect") << "btnOpenEffect" << QRect(9, 164, 174, 31);
    QTest::newRow("btnRequest") << "btnRequest" << QRect(8, 203, 80, 31);
    QTest::newRow("btnAssign") << "btnAssign" << QRect(97, 203, 86, 31);
    QTest::newRow("btnStoreSettingsOnPedal") << "btnStoreSettingsOnPedal" << QRect(8, 242, 175, 31);
    QTest::newRow("chkFirmwareUpgradeMode") << "chkFirmwareUpgradeMode" << QRect(9, 423, 174, 19);
    QTest::newRow("btnGetFXInfo") << "btnGetFXInfo" << QRect(161, 450, 22, 22);
    QTest::newRow("lstCategory") << "lstCategory" << QRect(191, 28, 200, 137);
    QTest::newRow("lstEffects") << "lstEffects" << QRect(191, 173, 200, 299);
    QTest::newRow("MenuBar1") << "MenuBar1" << QRect(0, 0, 399, 24);
}

void TestMainWindow::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    EditorFixture f;
    f.driver.devices.append({"FT1", "Tovel", {}});
    f.start();
    auto *w = f.main().findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
}

// With no pedal listed the status label says how to find it, on two lines down to Open FX;
// listed again, the label is the status line it was.
void TestMainWindow::noPedalLine()
{
    EditorFixture f;
    f.start();
    TformMain &m = f.main();
    QCOMPARE(m.lblStatus->text(), QStringLiteral("No pedal found: plug it in, then Connection > Scan."));
    QCOMPARE(m.lblStatus->geometry(), QRect(7, 134, 174, 30));
    QVERIFY(m.lblStatus->wordWrap());
    QVERIFY(m.lblStatus->heightForWidth(174) <= 30);

    f.driver.devices.append({"FT1", "Tovel", {}});
    f.click(m.menuScan);
    QCOMPARE(f.prompts.messages, QStringList{"Tovel found, click Connect"});
    QCOMPARE(m.lblStatus->text(), QStringLiteral("Status: "));
    QCOMPARE(m.lblStatus->geometry(), QRect(7, 134, 174, 17));

    // Gone again: Scan's message and label, and the line.
    f.driver.devices.clear();
    f.click(m.menuScan);
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("No device found"));
    QCOMPARE(m.lblStatus->text(), QStringLiteral("No pedal found: plug it in, then Connection > Scan."));
}

void TestMainWindow::dataFolders_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("absent-created") << "absent" << QStringList{};
    QTest::newRow("present-untouched") << "present" << QStringList{};
    QTest::newRow("blocked-by-a-file")
        << "file" << QStringList{"Error creating folder: Not a directory",
                                 "Error creating subfolder: Not a directory"};
    // Said once; without a Documents folder nothing is made, at the root least of all.
    QTest::newRow("no-home-folder") << "no-home" << QStringList{"Error creating folder: HOME is not set. Configurations, "
                                                                "firmware backups and the chosen look are not kept in "
                                                                "this run."};
}

void TestMainWindow::dataFolders()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, messages);
    EditorFixture f;
    QDir docs(f.folders.documents());
    if (setup == "present") {
        QVERIFY(docs.mkpath("ZANTH/Tovel"));
        QFile keep(docs.filePath("ZANTH/Tovel/Moss Verb.txt"));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("kept");
    } else if (setup == "file") {
        QFile blocker(docs.filePath("ZANTH"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else if (setup == "no-home") {
        f.folders.setDocuments(QString());
    }
    const bool atRoot = QFileInfo::exists("/ZANTH");
    f.start();
    QCOMPARE(f.prompts.messages, messages);
    QCOMPARE(QFileInfo::exists("/ZANTH"), atRoot);
    if (messages.isEmpty()) {
        QVERIFY(QFileInfo(docs.filePath("ZANTH/Tovel")).isDir());
        if (setup == "present")
            QVERIFY(QFile::exists(docs.filePath("ZANTH/Tovel/Moss Verb.txt")));
    }
}

void TestMainWindow::testCodeButton()
{
    EditorFixture f;
    f.start();
    f.main().btnTest->click();
    QCOMPARE(f.consoleLines(), (QStringList{"0000000A", "0A"}));
}

void TestMainWindow::closingMainWindowEndsTheLoop()
{
    EditorFixture f;
    f.start();
    f.main().show();
    QVERIFY(f.app->session().chooseEffect(QStringLiteral("Arp Sequencer")));
    TformFXParameters &params = *f.app->formFXParameters();
    params.openBeside(f.main(), QStringLiteral("Arp Sequencer"));
    f.app->formFXInfo()->show();
    f.console().show();
    const QList<QWidget *> others{&params, f.app->formFXInfo(), &f.console()};
    for (QWidget *w : others)
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));

    QTimer::singleShot(0, &f.main(), [&] { f.main().close(); });
    // Should closing leave the loop running, this ends it with a failing code after a few turns.
    int guardTurns = 0;
    std::function<void()> guard = [&] {
        if (++guardTurns > 50)
            QCoreApplication::exit(1);
        else
            QTimer::singleShot(0, &f.main(), guard);
    };
    QTimer::singleShot(0, &f.main(), guard);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!f.main().isVisible());
    for (QWidget *w : others)
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(f.prompts.messages.isEmpty());
}

void TestMainWindow::closingRowlessParameterWindowDisablesRequestAndAssign()
{
    EditorFixture f;
    f.start();
    f.main().show();
    // As Open FX leaves them; then the window opens for a name without a layout.
    f.main().btnRequest->setEnabled(true);
    f.main().btnAssign->setEnabled(true);
    QVERIFY(!f.app->session().chooseEffect(QStringLiteral("No Such Effect")));
    QCOMPARE(f.app->session().settings().rows().problem,
             QStringLiteral("Error loading resource: Resource No_Such_Effect_ctrls not found"));
    TformFXParameters &params = *f.app->formFXParameters();
    params.openBeside(f.main(), QStringLiteral("No Such Effect"));
    QVERIFY(params.isVisible() && params.rowsArea()->children().isEmpty());
    params.close();
    QVERIFY(!f.main().btnRequest->isEnabled());
    QVERIFY(!f.main().btnAssign->isEnabled());
}

void TestMainWindow::everyControlHasItsOwnName_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main-window") << "main";
    QTest::newRow("console") << "console";
    QTest::newRow("parameter-window-24-rows") << "parameters";
}

// What a screen reader reads of a window: every widget of it through its accessibility
// interface, but not the parts that lists, text areas, drop-down lists and the menu bar are made
// of (those speak for themselves: items, scroll bars, menu titles).
static QList<QWidget *> spokenWidgets(QWidget *window)
{
    QList<QWidget *> spoken;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow())
            continue; // drop-down popups, menus
        // A scroll area that holds controls (the parameter rows) is a frame: its viewport, its
        // bars and the area inside it are no controls, what sits in that area is.
        QWidget *up1 = w->parentWidget();
        QWidget *up2 = up1 ? up1->parentWidget() : nullptr;
        if (qobject_cast<QScrollArea *>(w) || qobject_cast<QScrollArea *>(up1) || qobject_cast<QScrollArea *>(up2))
            continue;
        bool part = false;
        for (QWidget *up = w->parentWidget(); up && up != window; up = up->parentWidget())
            part = part || (qobject_cast<QAbstractScrollArea *>(up) && !qobject_cast<QScrollArea *>(up))
                   || qobject_cast<QComboBox *>(up) || qobject_cast<QMenuBar *>(up);
        if (!part)
            spoken << w;
    }
    return spoken;
}

void TestMainWindow::everyControlHasItsOwnName()
{
    QFETCH(QString, window);
    EditorFixture f;
    f.start();
    f.main().show();
    QWidget *w = &f.main();
    if (window == "console") {
        w = &f.console();
    } else if (window == "parameters") {
        QVERIFY(f.app->session().chooseEffect(QStringLiteral("Arp Sequencer")));
        f.app->formFXParameters()->openBeside(f.main(), QStringLiteral("Arp Sequencer"));
        w = f.app->formFXParameters();
        QCOMPARE(f.app->formFXParameters()->NumParams(), 24);
    }
    w->show();
    QMap<QString, QString> owners; // name -> object name
    const QList<QWidget *> spoken = spokenWidgets(w);
    QVERIFY(spoken.size() >= 4);
    for (QWidget *control : spoken) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(iface, qPrintable(control->objectName()));
        const QString name = iface->text(QAccessible::Name).trimmed();
        const QString who = control->objectName() + QStringLiteral(" (") + QLatin1String(control->metaObject()->className()) + QLatin1Char(')');
        // A caption such as "-", "C" or "?" says nothing when spoken.
        const qsizetype letters = std::count_if(name.cbegin(), name.cend(), [](QChar c) { return c.isLetter(); });
        QVERIFY2(letters >= 2, qPrintable(who + QStringLiteral(" is named \"") + name + QLatin1Char('"')));
        QVERIFY2(!owners.contains(name), qPrintable(who + QStringLiteral(" and ") + owners.value(name)
                                                    + QStringLiteral(" share the name \"") + name + QLatin1Char('"')));
        owners.insert(name, who);
    }
}

// A player's session on the virtual pedal: after each step, the line that says what the pedal
// does, and which commands can be used, follow what the editor knows of it.
void TestMainWindow::pedalLineAndCommandsFollowThePedal()
{
    EditorFixture f;
    f.startOnVirtualPedal();
    TformMain &m = f.main();
    struct Seen {
        QString line;
        bool upload, openFx, request, assign;
    };
    const auto seen = [&] {
        return Seen{m.lblPedalState->text(), m.btnUpload->isEnabled(), m.btnOpenEffect->isEnabled(),
                    m.btnRequest->isEnabled(), m.btnAssign->isEnabled()};
    };
    const auto expect = [&](const Seen &want) {
        const Seen got = seen();
        QCOMPARE(got.line, want.line);
        QCOMPARE(got.upload, want.upload);
        QCOMPARE(got.openFx, want.openFx);
        QCOMPARE(got.request, want.request);
        QCOMPARE(got.assign, want.assign);
    };
    expect({"No pedal connected", false, false, false, false});
    f.click(m.menuConnect);
    expect({"Pedal connected: Open FX asks which effect it runs", true, true, false, false});

    QVERIFY(f.chooseEffect(QStringLiteral("Lagoon Chorus")));
    f.prompts.scriptAnswer(Prompts::Answer::Yes);
    f.click(m.btnUpload);
    QCOMPARE(m.lblStatus->text(), QStringLiteral("Upload complete\r\n"));
    expect({"Pedal: a new effect, not read yet, firmware 5", true, true, false, false});

    f.click(m.btnOpenEffect);
    // The pedal's status gave way to what Open FX did.
    QCOMPARE(m.lblStatus->text(), QStringLiteral("Status: "));
    QCOMPARE(m.lblActionStatus->text(), QStringLiteral("The pedal runs Lagoon Chorus: Request reads its settings."));
    expect({"Pedal: Lagoon Chorus v2, firmware 5", true, true, true, false});
    f.click(m.btnRequest);
    expect({"Pedal: Lagoon Chorus v2, firmware 5", true, true, true, true});

    // An answer that does not come whole: the line is out of step until it is checked.
    pedal::PedalFaults faults;
    faults.shortAnswers = true;
    f.pedal().setFaults(faults);
    f.click(m.btnRequest);
    QCOMPARE(f.prompts.messages, QStringList{"The pedal's answer to the state request was incomplete."});
    expect({"Pedal not answering in step: checking the line", true, true, true, true});
    f.pedal().setFaults({});
    f.click(m.btnRequest);
    expect({"Pedal: Lagoon Chorus v2, firmware 5", true, true, true, true});

    // Another effect chosen: its rows are not the pedal's.
    QVERIFY(f.chooseEffect(QStringLiteral("Moss Verb")));
    expect({"Pedal: Lagoon Chorus v2, firmware 5", true, true, false, false});

    // The firmware label keeps what the pedal last said; the line says that it is gone.
    f.click(m.menuDisconnect);
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 5"));
    expect({"No pedal connected", false, false, false, false});

    // In Upgrade Mode, with the pedal in its bootloader.
    f.pedal().enterBootloader();
    f.click(m.menuFirmwareUpgradeMode);
    f.click(m.menuConnect);
    expect({"Pedal in its bootloader", false, false, false, false});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
