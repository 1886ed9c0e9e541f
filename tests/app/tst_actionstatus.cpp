// What the main window says after the commands the pedal does not answer (Assign, Store) and
// after the configuration files (Save, Load): a line under the commands, and the file's path.
#include "tests/support/editorfixture.h"

#include "app/elidedlabel.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr auto kEffect = "Deep Chorus X2";

} // namespace

class TestActionStatus : public QObject {
    Q_OBJECT

private slots:
    void statusAfterEachCommand_data();
    void statusAfterEachCommand();
    void refusedSaveSaysSo();
    void connectionLabelsElide();
};

void TestActionStatus::statusAfterEachCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");  // lblActionStatus's first line
    QTest::addColumn<QString>("message"); // the message box's first line, none for no box
    QTest::addColumn<bool>("path");       // the file's path follows on the next line of both
    QTest::newRow("assign-says-what-went-to-the-pedal")
        << "assign" << "Assignments sent to the pedal: 1 of 3 rows on a pedal control." << QString() << false;
    QTest::newRow("store-says-how-many-rows")
        << "store" << "Store Settings sent: the pedal keeps the settings of its 3 rows." << QString() << false;
    QTest::newRow("save-names-the-file")
        << "save" << "Configuration saved to" << "FX Configuration File Saved" << true;
    QTest::newRow("load-names-the-file")
        << "load" << "Configuration loaded from" << "FX Configuration File Loaded" << true;
}

void TestActionStatus::statusAfterEachCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, status);
    QFETCH(QString, message);
    QFETCH(bool, path);
    EditorFixture f;
    f.startOnVirtualPedal();
    TformMain &m = f.main();
    f.click(m.menuConnect);
    f.loadOntoPedal(QString::fromLatin1(kEffect));
    QVERIFY(f.chooseEffect(QString::fromLatin1(kEffect)));
    f.click(m.btnOpenEffect);
    f.click(m.btnRequest);
    TformFXParameters &w = *f.app->formFXParameters();
    QCOMPARE(w.NumParams(), 3);
    w.boxAssign[0]->setCurrentIndex(1); // EXP drives row 0
    QCOMPARE(m.lblActionStatus->text(), QString());

    const QString file = f.folders.documents() + QStringLiteral("/ZANTH/Tovel/") + QLatin1String(kEffect) + ".txt";
    if (command == QLatin1String("load"))
        f.click(m.menuSaveConfiguration);
    f.prompts.messages.clear();
    QPushButton *button = command == QLatin1String("assign") ? m.btnAssign
                        : command == QLatin1String("store")  ? m.btnStoreSettingsOnPedal
                                                             : nullptr;
    if (button)
        f.click(button);
    else
        f.click(command == QLatin1String("save") ? m.menuSaveConfiguration : m.menuLoadConfiguration);

    const QStringList shown = m.lblActionStatus->toolTip().split(QLatin1Char('\n'));
    QCOMPARE(shown.first(), status);
    QCOMPARE(m.lblActionStatus->text().section(QLatin1Char('\n'), 0, 0), status);
    if (message.isEmpty()) {
        QCOMPARE(f.prompts.messages, QStringList{});
        QCOMPARE(shown.size(), 1);
        return;
    }
    QCOMPARE(f.prompts.messages.size(), 1);
    const QStringList lines = f.prompts.messages.first().split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), message);
    if (path) {
        QCOMPARE(lines.value(1), QDir::toNativeSeparators(file));
        QCOMPARE(shown.value(1), QDir::toNativeSeparators(file));
        QCOMPARE(m.lblActionStatus->accessibleDescription(), status + QLatin1Char('\n') + QDir::toNativeSeparators(file));
    }
}

void TestActionStatus::refusedSaveSaysSo()
{
    // No link: the save refuses with its message, and the line does not claim a file.
    EditorFixture f;
    f.startOnVirtualPedal();
    QVERIFY(f.chooseEffect(QString::fromLatin1(kEffect)));
    f.prompts.messages.clear();
    f.click(f.main().menuSaveConfiguration);
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY(!f.prompts.messages.first().startsWith(QStringLiteral("FX Configuration File Saved")));
    QVERIFY(!f.main().lblActionStatus->text().startsWith(QStringLiteral("Configuration saved")));
}

void TestActionStatus::connectionLabelsElide()
{
    EditorFixture f;
    f.driver.devices.append({"FT1", "Serial port /dev/pts/2 on a long path that does not fit", {}});
    f.start();
    auto *label = qobject_cast<ElidedLabel *>(f.main().lblDeviceName);
    QVERIFY(label);
    // The whole text stays the label's; what it draws ends where the label does.
    QCOMPARE(label->text(), QStringLiteral("Serial port /dev/pts/2 on a long path that does not fit"));
    QVERIFY(label->isCut());
    QVERIFY(label->shownText().endsWith(QChar(0x2026)));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->shownText()) <= label->contentsRect().width());
    label->setText(QStringLiteral("Tovel"));
    QVERIFY(!label->isCut());
    QCOMPARE(label->shownText(), QStringLiteral("Tovel"));
}

QTEST_MAIN(TestActionStatus)
#include "tst_actionstatus.moc"
