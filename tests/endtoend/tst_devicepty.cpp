#include "core/pacing.h"
#include "pedal/pedalsimprocess.h"
#include "protocol/commandexchange.h"
#include "tests/support/editorfixture.h"
#include "tests/support/ptyeditor.h"
#include "usb/drivers/systemdrivers.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

class TestDevicePty : public QObject {
    Q_OBJECT

private slots:
    void connectAndQueryTheEffect();
    void connectToTheBootloader();
    void connectToAPortHeldElsewhereSaysWhatToDo_data();
    void connectToAPortHeldElsewhereSaysWhatToDo();
};

void TestDevicePty::connectAndQueryTheEffect()
{
    pedal::PedalSimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    PtyEditor editor(sim.ptyPath());
    QCOMPARE(editor.app->session().link.ListedSerialNumber, sim.ptyPath());
    QCOMPARE(editor.main().lblDeviceName->text(), "Serial port " + sim.ptyPath());

    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{});
    QVERIFY(editor.main().btnUpload->isEnabled());
    QCOMPARE(editor.console().mid(0, 1), QStringList{"serial number: " + sim.ptyPath()});
    QVERIFY(editor.console().contains("baud rate = 115200"));
    // The kernel serial driver reaches no EEPROM: one line says so, no words are dumped.
    QCOMPARE(editor.console().filter(QStringLiteral("EEPROM")),
             QStringList{"EEPROM not readable through this driver (the kernel serial driver reaches no EEPROM): "
                         "no identity dump"});
    QCOMPARE(editor.console().filter(QRegularExpression(QStringLiteral("^\\d+: "))), QStringList{});

    // An exchange with an answer: the effect query of a fresh pedal.
    editor.app->exchange().sendBytes(QByteArray::fromHex("0500"), true);
    const auto answer = editor.app->exchange().CollectAnswerText(effectQueryAnswer());
    QCOMPARE(answer.bytes, QByteArray("TOVEL\r\n0\r\n0\r\n5\r\n"));
    QCOMPARE(editor.console().last(), QStringLiteral("num of bytes received: 16"));

    editor.main().menuDisconnect->trigger();
    QVERIFY(editor.main().menuConnect->isEnabled());
    QVERIFY(sim.stop());
}

void TestDevicePty::connectToAPortHeldElsewhereSaysWhatToDo_data()
{
    QTest::addColumn<bool>("throughALink"); // the editor names the port by a link to it
    QTest::newRow("same-name") << false;
    QTest::newRow("a-link-to-the-same-port") << true;
}

void TestDevicePty::connectToAPortHeldElsewhereSaysWhatToDo()
{
    QFETCH(bool, throughALink);
    pedal::PedalSimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorText()));
    // Another program (a terminal, a second editor) has the port open.
    auto other = makeSerialPathDriver(sim.ptyPath());
    FtHandle otherHandle = 0;
    QCOMPARE(other->openBySerialNumber(sim.ptyPath().toLocal8Bit(), otherHandle), FT_OK);

    // Two names of one port are one port: the lock goes by where the name leads.
    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("tovel-port"));
    QVERIFY(QFile::link(sim.ptyPath(), link));
    PtyEditor editor(throughALink ? link : sim.ptyPath());
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages.size(), 1);
    const QString message = editor.prompts.messages.first();
    QVERIFY2(message.startsWith("Open_USB_Device_By_Serial_Number - Device not opened...\n"),
             qPrintable(message));
    QVERIFY2(message.contains("The port is in use: another program has the pedal's USB bridge open"),
             qPrintable(message));
    QVERIFY(editor.main().menuConnect->isEnabled());
    QVERIFY(!editor.main().btnUpload->isEnabled());

    // Once the other program lets go, Connect works.
    QCOMPARE(other->close(otherHandle), FT_OK);
    editor.prompts.messages.clear();
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{});
    QVERIFY(editor.main().btnUpload->isEnabled());
    QVERIFY(sim.stop());
}

void TestDevicePty::connectToTheBootloader()
{
    pedal::PedalSimProcess sim;
    QVERIFY2(sim.start({"--bootloader"}), qPrintable(sim.errorText()));
    PtyEditor editor(sim.ptyPath());
    editor.app->session().link.FirmwareUpgradeMode = true;
    editor.main().menuConnect->trigger();
    QCOMPARE(editor.prompts.messages, QStringList{"Connection to bootloader succeeded"});
    QVERIFY(editor.console().contains("received Byte: 79"));
    QVERIFY(editor.main().menuStartFirmwareUpgrade->isEnabled());
    QVERIFY(sim.stop());
}

QTEST_MAIN(TestDevicePty)
#include "tst_devicepty.moc"
