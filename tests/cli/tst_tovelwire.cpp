// The same action from `tovel` and from the windows puts the same frames on the wire: each row
// runs the windows on one tovel-pedal-sim and tovel on another, both through a pseudo-terminal
// at 115,200 baud, from the same state, and compares what the two pedals parsed.
#include "app/tformfirmwareupgrade.h"
#include "app/tformfxparameters.h"
#include "app/toggleswitch.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "tests/ir/soxwav.h"
#include "tests/support/ptyeditor.h"
#include "tests/support/tovelprocess.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <csignal>

using namespace tovel;
using namespace tovel::test;

namespace {

// Six pots, two switches, the six-option list "Pattern".
const QString kEffect = QStringLiteral("Lagoon Chorus");
const QString kIrLoader = QStringLiteral("Basic IR Loader");
constexpr int kBright = 6;
constexpr int kPattern = 8;

void writeText(const QString &path, const QByteArray &text)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(text) == text.size(), qPrintable(path));
}

// A configuration of Lagoon Chorus (9 rows, 6 pots) that moves two pots and the list.
QByteArray configurationText()
{
    QByteArray text = "700\r\n0\r\n250\r\n0\r\n0\r\n0\r\n0\r\n0\r\n512\r\n";
    for (int row = 0; row < 9; ++row)
        text += "NA\r\n";
    for (int row = 0; row < 9; ++row)
        text += "F\r\n";
    for (int pot = 0; pot < 12; ++pot)
        text += pot < 6 ? "1\r\n" : "100\r\n";
    return text;
}

} // namespace

class TestTovelWire : public QObject {
    Q_OBJECT

private slots:
    void sameFramesAsTheWindows_data();
    void sameFramesAsTheWindows();
};

void TestTovelWire::sameFramesAsTheWindows_data()
{
    QTest::addColumn<QString>("action");    // what the windows do, by name
    QTest::addColumn<QStringList>("setup"); // tovel commands on both pedals first, comma-separated words
    QTest::addColumn<QStringList>("arguments");

    const QStringList uploaded{"upload," + kEffect};
    QTest::newRow("upload-from-the-catalogue") << "upload" << QStringList{} << QStringList{"upload", kEffect};
    QTest::newRow("upload-a-program-file") << "upload-file" << QStringList{}
                                           << QStringList{"upload", "--file", "@program.txt"};
    QTest::newRow("upload-an-impulse-response") << "upload-ir" << QStringList{}
                                                << QStringList{"upload", kIrLoader, "--ir", "@ir.wav", "--normalise"};
    QTest::newRow("query-the-effect") << "open-fx" << uploaded << QStringList{"query"};
    QTest::newRow("request-the-state") << "request" << uploaded + QStringList{"set,1,300"} << QStringList{"state"};
    QTest::newRow("set-a-pot") << "set-pot" << uploaded << QStringList{"set", "3", "512"};
    QTest::newRow("set-a-switch") << "set-switch" << uploaded << QStringList{"set", "Bright", "on"};
    QTest::newRow("set-a-list") << "set-list" << uploaded << QStringList{"set", "Pattern", "IV"};
    QTest::newRow("assign-with-reverse") << "assign" << uploaded << QStringList{"assign", "1", "EXP", "--reverse"};
    QTest::newRow("limit-where-the-level-stands") << "limit-min" << uploaded + QStringList{"set,1,512", "assign,1,EXP"}
                                                  << QStringList{"limit", "1", "min"};
    QTest::newRow("limit-cleared") << "limit-clear" << uploaded + QStringList{"assign,1,EXP", "limit,1,max,800"}
                                   << QStringList{"limit", "1", "clear"};
    QTest::newRow("store-on-the-pedal") << "store" << uploaded << QStringList{"store"};
    QTest::newRow("configuration-saved") << "config-save" << uploaded + QStringList{"set,2,100"}
                                         << QStringList{"config", "save"};
    QTest::newRow("configuration-loaded") << "config-load" << uploaded << QStringList{"config", "load", "@config.txt"};
    QTest::newRow("firmware-flashed") << "flash" << QStringList{"bootloader"}
                                      << QStringList{"flash", "Firmware_5", "--no-backup", "--fast"};
}

void TestTovelWire::sameFramesAsTheWindows()
{
    QFETCH(QString, action);
    QFETCH(QStringList, setup);
    QFETCH(QStringList, arguments);

    QTemporaryDir files;
    const QDir dir(files.path());
    {
        CatalogueLoader loader;
        QVERIFY(loader.LoadListResource(EffectResourceName(kEffect)));
        writeText(dir.filePath("program.txt"), loader.CurrentList().value(0).toLatin1());
    }
    QVERIFY(runSox({"-n", "-r", "48000", "-b", "24", dir.filePath("ir.wav"), "synth", "0.05", "sine", "440"}));
    writeText(dir.filePath("config.txt"), configurationText());
    for (QString &word : arguments)
        if (word.startsWith('@'))
            word = dir.filePath(word.mid(1));

    LoggedSim windowsSim;
    LoggedSim tovelSim;
    TovelProcess tovel;
    for (LoggedSim *sim : {&windowsSim, &tovelSim}) {
        QVERIFY2(sim->start(), qPrintable(sim->process.errorText()));
        for (const QString &step : setup) {
            if (step == "bootloader") {
                // The player's reset into the bootloader.
                QCOMPARE(::kill(pid_t(sim->process.processId()), SIGUSR1), 0);
                continue;
            }
            const TovelProcess::Run r = tovel.onDevice(sim->process.ptyPath(), step.split(','));
            QVERIFY2(r.status == 0, qPrintable(step + ": " + r.err));
        }
    }

    // The windows, as a player clicks them.
    int echoesUntil = -1;
    const int windowsFrom = windowsSim.mark();
    QVERIFY2(windowsFrom >= 0, qPrintable(windowsSim.process.errorText()));
    {
        PtyEditor editor(windowsSim.process.ptyPath());
        TformMain &main = editor.main();
        if (action == "flash")
            main.menuFirmwareUpgradeMode->trigger();
        main.menuConnect->trigger();
        TformFXParameters &w = *editor.app->formFXParameters();
        // The windows send back the levels a request changed in the rows (lists that had no
        // option chosen), which a command of tovel, reading only, does not: those frames are
        // left out of the comparison.
        const auto openAndRequest = [&] {
            main.btnOpenEffect->click();
            main.btnRequest->click();
            echoesUntil = windowsSim.mark();
        };
        if (action == "upload") {
            QVERIFY(editor.chooseEffect(kEffect));
            editor.prompts.scriptAnswer(Prompts::Answer::Yes);
            main.btnUpload->click();
        } else if (action == "upload-file") {
            editor.prompts.scriptFile(dir.filePath("program.txt"));
            main.btnUploadFileClick();
        } else if (action == "upload-ir") {
            QVERIFY(editor.chooseEffect(kIrLoader));
            main.menuNormaliseIR->setChecked(true);
            editor.prompts.scriptFile(dir.filePath("ir.wav"));
            main.menuLoadIR->trigger();
            editor.prompts.scriptAnswer(Prompts::Answer::Yes);
            main.btnUpload->click();
        } else if (action == "open-fx") {
            main.btnOpenEffect->click();
        } else if (action == "request") {
            openAndRequest();
        } else if (action == "set-pot") {
            openAndRequest();
            w.trkPot[2]->setValue(512);
        } else if (action == "set-switch") {
            openAndRequest();
            w.swSwitch[kBright]->click();
        } else if (action == "set-list") {
            openAndRequest();
            w.cmbMultiSwitch[kPattern]->setCurrentIndex(3);
        } else if (action == "assign") {
            openAndRequest();
            w.boxAssign[0]->setCurrentIndex(1);
            w.chkReverse[0]->click();
            main.btnAssign->click();
        } else if (action == "limit-min") {
            openAndRequest();
            w.btnMin[0]->click();
        } else if (action == "limit-clear") {
            openAndRequest();
            w.btnClearMinMax[0]->click();
        } else if (action == "store") {
            openAndRequest();
            main.btnStoreSettingsOnPedal->click();
        } else if (action == "config-save") {
            main.btnOpenEffect->click();
            main.menuSaveConfiguration->trigger();
        } else if (action == "config-load") {
            writeText(QDir(editor.folders.documents()).filePath("ZANTH/Tovel/" + kEffect + ".txt"), configurationText());
            openAndRequest();
            main.menuLoadConfiguration->trigger();
        } else if (action == "flash") {
            main.menuStartFirmwareUpgrade->trigger();
            TformFirmwareUpgrade &f = *editor.app->formFirmwareUpgrade();
            f.chkBackupFirst->setChecked(false);
            f.chkFastTransfer->setChecked(true);
            f.cmbFirmwareChoose->setCurrentIndex(TformFirmwareUpgrade::itmFirmware5);
            emit f.cmbFirmwareChoose->activated(TformFirmwareUpgrade::itmFirmware5);
            editor.prompts.scriptIrreversible(Prompts::Answer::Yes);
            f.btnUpgradeFirmware->click();
        } else {
            QFAIL(qPrintable("no such action: " + action));
        }
        QVERIFY2(editor.prompts.surprises.isEmpty(), qPrintable(editor.prompts.surprises.join('|')));
        main.menuDisconnect->trigger();
    }
    QStringList windowsFrames = windowsSim.framesSince(windowsFrom);
    if (echoesUntil >= 0) {
        const qsizetype read = echoesUntil - windowsFrom; // marks count the frames before them
        windowsFrames = windowsFrames.mid(0, read).filter(QRegularExpression(QStringLiteral("^(?!fw ParameterValue)")))
                        + windowsFrames.mid(read);
    }
    // After the GO the windows connect again and ask the new firmware's effect query; tovel
    // ends at the GO. The frames up to the GO are compared.
    if (action == "flash") {
        const qsizetype go = windowsFrames.indexOf(QRegularExpression(QStringLiteral("boot GO .*")));
        QVERIFY2(go >= 0, qPrintable(windowsFrames.join('|')));
        QVERIFY2(windowsFrames.mid(go + 1).contains(QStringLiteral("fw EffectQuery 00")), qPrintable(windowsFrames.mid(go + 1).join('|')));
        windowsFrames = windowsFrames.mid(0, go + 1);
    }

    const int tovelFrom = tovelSim.mark();
    QVERIFY2(tovelFrom >= 0, qPrintable(tovelSim.process.errorText()));
    const TovelProcess::Run r = tovel.onDevice(tovelSim.process.ptyPath(), arguments);
    QVERIFY2(r.status == 0, qPrintable(QString::number(r.status) + ": " + r.err));
    QStringList tovelFrames = tovelSim.framesSince(tovelFrom);
    if (action == "flash")
        tovelFrames = tovelFrames.mid(0, tovelFrames.indexOf(QRegularExpression(QStringLiteral("boot GO .*"))) + 1);

    QVERIFY2(!windowsFrames.isEmpty(), "the windows sent nothing");
    QCOMPARE(tovelFrames, windowsFrames);
}

QTEST_MAIN(TestTovelWire)
#include "tst_tovelwire.moc"
