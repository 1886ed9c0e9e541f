// The browser driven through real list, button and menu controls, as the main window has them.
#include "catalogue/catalogueloader.h"
#include "app/effectbrowser.h"
#include "app/windowplacement.h"
#include "catalogue/resourceindex.h"
#include "app/tformfxinfo.h"
#include "app/infopagebrowser.h"
#include "core/clock.h"
#include "session/editorsession.h"
#include "core/pacing.h"
#include "params/paramtables.h"
#include "app/tformfxparameters.h"
#include "protocol/commandexchange.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

#include <QtTest>
#include <QAction>
#include <QListWidget>
#include <QPushButton>

#include <memory>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kIrHelp = QStringLiteral(
    "How to load an impulse response:\r\n"
    "1) Select an IR load algorithm in Impulse Response category\r\n"
    "2) Go to File and click Load IR, choose the desired WAV file\r\n"
    "3) Click UPLOAD SELECTED EFFECT button\r\n"
    "Works best with 48kHz sampling rate at a bitrate of 24 or 32 bit");

// The main window's browser controls at their places, and the windows the browser opens.
struct MainWindowFixture {
    explicit MainWindowFixture(const ResourceIndex *index = nullptr)
        : session(prompts, pacing, folders, driver, clock, index)
        , parameters(session)
    {
        session.attachConsole(&console);
        main.setGeometry(120, 80, 560, 500);
        lstCategory->setGeometry(191, 28, 200, 137);
        lstEffects->setGeometry(191, 173, 200, 299);
        btnGetFXInfo->setGeometry(161, 450, 22, 22);
        btnGetFXInfo->setEnabled(false);
        menuLoadIR->setEnabled(false);
        folders.setProgramFolder(QCoreApplication::applicationDirPath());
        browser = std::make_unique<EffectBrowser>(
            BrowserControls{&main, lstCategory, lstEffects, btnGetFXInfo, menuLoadIR},
            session, info, parameters);
        createCategoryRows(lstCategory);
        main.show();
    }

    static void click(QListWidget *list, int row)
    {
        QListWidgetItem *item = list->item(row);
        QVERIFY(item);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }
    void clickCategory(int row) { click(lstCategory, row); }
    void clickEffect(const QString &name)
    {
        const auto found = lstEffects->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        click(lstEffects, lstEffects->row(found.first()));
    }
    QStringList effectRows() const
    {
        QStringList rows;
        for (int i = 0; i < lstEffects->count(); ++i)
            rows.append(lstEffects->item(i)->text());
        return rows;
    }

    ScriptedPrompts prompts;
    RecordingConsole console;
    TempFolders folders;
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedFtDriver driver{&clock};
    EditorSession session;
    QWidget main;
    QListWidget *lstCategory = new QListWidget(&main);
    QListWidget *lstEffects = new QListWidget(&main);
    QPushButton *btnGetFXInfo = new QPushButton(QStringLiteral("?"), &main);
    QAction *menuLoadIR = new QAction(QStringLiteral("Load IR"), &main);
    tformFXInfo info;
    TformFXParameters parameters;
    std::unique_ptr<EffectBrowser> browser;
};

} // namespace

class TestEffectBrowser : public QObject {
    Q_OBJECT

private slots:
    void categoryClickFillsList_data();
    void categoryClickFillsList();
    void categoryClickKeepsSelectedEffect();
    void missingCategoryListEndsClick();
    void loadIrFollowsClickedEffect();
    void effectClickOpensParameterWindowBeside_data();
    void effectClickOpensParameterWindowBeside();
    void effectClickReopensOpenWindow();
    void infoButtonShowsPage();
    void selectEffectByName();
};

void TestEffectBrowser::categoryClickFillsList_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("helpShown");
    QTest::newRow("gain") << 0 << "Gain" << 13 << false;
    QTest::newRow("modulation") << 1 << "Modulation" << 16 << false;
    QTest::newRow("synthesis") << 2 << "Synthesis" << 12 << false;
    QTest::newRow("filter") << 3 << "Filter" << 4 << false;
    QTest::newRow("dynamic") << 4 << "Dynamic" << 2 << false;
    QTest::newRow("impulse-response-shows-help") << 5 << "Impulse Response" << 4 << true;
    QTest::newRow("other") << 6 << "Other" << 7 << false;
}

void TestEffectBrowser::categoryClickFillsList()
{
    QFETCH(int, row);
    QFETCH(QString, caption);
    QFETCH(int, entries);
    QFETCH(bool, helpShown);
    MainWindowFixture f;
    QCOMPARE(f.lstCategory->count(), 7);
    QCOMPARE(f.lstCategory->item(row)->text(), caption);
    f.clickCategory(row);
    QCOMPARE(f.lstEffects->count(), entries);
    QCOMPARE(f.effectRows(), f.session.loader().CurrentList());
    QCOMPARE(f.session.selection.SelectedCategory, caption);
    QCOMPARE(f.prompts.messages, helpShown ? QStringList{kIrHelp} : QStringList{});
    if (helpShown) {
        QCOMPARE(f.effectRows(), QStringList({"Amber Drive + IR Loader", "TRX + IR Loader",
                                              "Basic IR Loader", "Four Band EQ + IR Loader"}));
    }
    // A category click touches no effect, window or control.
    QVERIFY(f.session.selection.SelectedEffectName.isEmpty());
    QVERIFY(!f.parameters.isVisible());
    QVERIFY(!f.btnGetFXInfo->isEnabled());
    QVERIFY(!f.menuLoadIR->isEnabled());
}

void TestEffectBrowser::categoryClickKeepsSelectedEffect()
{
    MainWindowFixture f;
    f.clickCategory(6);
    f.clickEffect(QStringLiteral("Tape Echo"));
    f.clickCategory(0);
    QCOMPARE(f.session.selection.SelectedEffectName, QStringLiteral("Tape Echo"));
    QCOMPARE(f.session.selection.SelectedCategory, QStringLiteral("Gain"));
    QVERIFY(f.parameters.isVisible());
}

void TestEffectBrowser::missingCategoryListEndsClick()
{
    // A catalogue with every list but "filter".
    TempFolders dir;
    QFile gain(dir.root() + QStringLiteral("/GAIN"));
    QVERIFY(gain.open(QIODevice::WriteOnly));
    gain.write("One\r\nTwo");
    gain.close();
    ResourceIndex index(dir.root());
    MainWindowFixture f(&index);
    f.clickCategory(0);
    QCOMPARE(f.effectRows(), QStringList({"One", "Two"}));
    f.clickCategory(3);
    QCOMPARE(f.prompts.messages, QStringList{QStringLiteral("Error loading resource: Resource filter not found")});
    QCOMPARE(f.lstEffects->count(), 0);
    QCOMPARE(f.session.selection.SelectedCategory, QStringLiteral("Gain"));
}

void TestEffectBrowser::loadIrFollowsClickedEffect()
{
    MainWindowFixture f;
    f.clickCategory(5);
    QVERIFY(!f.menuLoadIR->isEnabled());
    f.clickEffect(QStringLiteral("Basic IR Loader"));
    QVERIFY(f.menuLoadIR->isEnabled());
    f.clickCategory(0); // categories alone change nothing
    QVERIFY(f.menuLoadIR->isEnabled());
    f.clickEffect(QStringLiteral("Granite Fuzz"));
    QVERIFY(!f.menuLoadIR->isEnabled());
    f.clickCategory(5);
    QVERIFY(!f.menuLoadIR->isEnabled());
    f.clickEffect(QStringLiteral("Four Band EQ + IR Loader"));
    QVERIFY(f.menuLoadIR->isEnabled());
}

void TestEffectBrowser::effectClickOpensParameterWindowBeside_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<int>("controls");
    QTest::newRow("three-pots") << 1 << "Deep Chorus X2" << 3;
    QTest::newRow("twenty-four-controls") << 2 << "Arp Sequencer" << 24;
    QTest::newRow("layout-announcing-a-missing-line") << 6 << "Hall Reverb" << 9;
}

void TestEffectBrowser::effectClickOpensParameterWindowBeside()
{
    QFETCH(int, category);
    QFETCH(QString, effect);
    QFETCH(int, controls);
    MainWindowFixture f;
    f.clickCategory(category);
    const int row = f.effectRows().indexOf(effect);
    f.clickEffect(effect);
    QCOMPARE(f.console.lines.mid(0, 2), QStringList({QStringLiteral("efx index :") + QString::number(row),
                                                     QStringLiteral("selected effect name: ") + effect}));
    QCOMPARE(f.session.selection.SelectedEffectName, effect);
    QVERIFY(f.parameters.isVisible());
    QCOMPARE(f.parameters.windowTitle(), effect);
    QCOMPARE(f.parameters.NumParams(), controls);
    // Wholly on the screen and clear of the main window's lists (the test platform's screen
    // has no room beside this main window: below it, or in the room left, its rows scrolling);
    // the outer height, frame included, where the room takes the whole window.
    const QRect frame = f.parameters.frameGeometry();
    const QRect lists = QRect(f.lstCategory->mapToGlobal(QPoint()), f.lstCategory->size())
                        | QRect(f.lstEffects->mapToGlobal(QPoint()), f.lstEffects->size());
    QVERIFY(availableGeometryFor(f.main).contains(frame));
    QVERIFY(!frame.intersects(lists));
    if (!f.parameters.rowsScroll()) {
        QCOMPARE(frame.height(), (controls + 2) * 25 + 10);
        QCOMPARE(f.parameters.width(), 499);
    }
    QVERIFY(f.btnGetFXInfo->isEnabled());
    QCOMPARE(f.prompts.messages, QStringList());
}

void TestEffectBrowser::effectClickReopensOpenWindow()
{
    MainWindowFixture f;
    f.clickCategory(1);
    f.clickEffect(QStringLiteral("Deep Chorus X2"));
    QCOMPARE(f.parameters.frameGeometry().height(), 135);
    int hides = 0;
    struct HideCounter : QObject {
        int &count;
        explicit HideCounter(int &c) : count(c) {}
        bool eventFilter(QObject *, QEvent *e) override { count += e->type() == QEvent::Hide; return false; }
    } counter(hides);
    f.parameters.installEventFilter(&counter);
    f.main.move(40, 30);
    f.clickCategory(2);
    f.clickEffect(QStringLiteral("Arp Sequencer"));
    QCOMPARE(hides, 1);
    QVERIFY(f.parameters.isVisible());
    QCOMPARE(f.parameters.windowTitle(), QStringLiteral("Arp Sequencer"));
    // Placed again for the main window where it is now: on the screen, clear of it (no room
    // beside it on the test platform's screen: below it, its 24 rows scrolling).
    const QRect frame = f.parameters.frameGeometry();
    QVERIFY(availableGeometryFor(f.main).contains(frame));
    QVERIFY(!frame.intersects(f.main.frameGeometry()));
    QCOMPARE(frame.top(), f.main.frameGeometry().bottom() + 1);
    QVERIFY(f.parameters.rowsScroll());
    QCOMPARE(f.console.lines.filter(QStringLiteral("num of pots: ")),
             QStringList({"num of pots: 3", "num of pots: 10"}));
}

void TestEffectBrowser::infoButtonShowsPage()
{
    MainWindowFixture f;
    QVERIFY(!f.btnGetFXInfo->isEnabled());
    f.clickCategory(6);
    QVERIFY(!f.btnGetFXInfo->isEnabled());
    f.clickEffect(QStringLiteral("Moss Verb"));
    QVERIFY(f.btnGetFXInfo->isEnabled());
    QTest::mouseClick(f.btnGetFXInfo, Qt::LeftButton);
    QVERIFY(f.info.isVisible());
    QCOMPARE(f.info.windowTitle(), QStringLiteral("Moss Verb"));
    const QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/Moss Verb-info.html");
    QCOMPARE(f.info.pageUrl(), QUrl::fromLocalFile(page));
    QVERIFY(f.info.WebBrowser1->toPlainText().contains(QStringLiteral("Footswitch")));
    // Right of the parameters where the screen has room, else where it covers neither window.
    const QRect params = f.parameters.frameGeometry();
    QCOMPARE(f.info.frameGeometry().topLeft(),
             placeBeside(availableGeometryFor(f.main), params, {f.main.frameGeometry()}, f.info.frameGeometry().size())
                 .topLeft());

    // Another effect: the window follows it, and the button stays enabled.
    f.clickEffect(QStringLiteral("Tuner"));
    QTest::mouseClick(f.btnGetFXInfo, Qt::LeftButton);
    QCOMPARE(f.info.windowTitle(), QStringLiteral("Tuner"));
    QCOMPARE(f.info.pageUrl().fileName(), QStringLiteral("Tuner-info.html"));
    QVERIFY(f.info.WebBrowser1->toPlainText().startsWith(QStringLiteral("Tuner")));
}

void TestEffectBrowser::selectEffectByName()
{
    MainWindowFixture f;
    f.clickCategory(5);
    f.clickEffect(QStringLiteral("TRX + IR Loader"));
    f.session.pedal.PedalEffectName = QStringLiteral("Ping-Pong Delay");

    // As Open FX walks the categories: a list without the effect selects nothing.
    f.lstEffects->clear();
    QVERIFY(f.session.loader().LoadListResource(QStringLiteral("gain")));
    f.browser->FillEffectList();
    QVERIFY(!f.browser->SelectEffectByName(0));
    QCOMPARE(f.lstCategory->currentRow(), 5);
    QCOMPARE(f.lstEffects->currentRow(), -1);

    f.lstEffects->clear();
    QVERIFY(f.session.loader().LoadListResource(QStringLiteral("other")));
    f.browser->FillEffectList();
    QVERIFY(f.browser->SelectEffectByName(6));
    QCOMPARE(f.lstCategory->currentRow(), 6);
    QCOMPARE(f.lstEffects->currentItem()->text(), QStringLiteral("Ping-Pong Delay"));

    // The list in view is Other now; an effect clicked there is no IR effect, although the
    // category clicked last was Impulse Response.
    QCOMPARE(f.session.selection.SelectedCategory, QStringLiteral("Impulse Response"));
    f.clickEffect(QStringLiteral("Tape Echo"));
    QVERIFY(!f.menuLoadIR->isEnabled());
}

QTEST_MAIN(TestEffectBrowser)
#include "tst_effectbrowser.moc"
