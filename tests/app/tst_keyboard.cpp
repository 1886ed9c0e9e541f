// The editor from the keyboard alone: the shortcuts and mnemonics, and the two lists of the
// browser, which choose as a click does when their current row moves.
#include "tests/support/editorfixture.h"

#include "app/choicelist.h"
#include "app/toggleswitch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr auto kEffect = "Deep Chorus X2";

// The editor connected to the virtual pedal, running kEffect with its state read: every
// command a key can reach is usable.
struct KeyboardFixture : EditorFixture {
    KeyboardFixture()
    {
        startOnVirtualPedal();
        click(main().menuConnect);
        loadOntoPedal(QString::fromLatin1(kEffect));
        main().show();
        QVERIFY(chooseEffect(QString::fromLatin1(kEffect)));
        click(main().btnOpenEffect);
        click(main().btnRequest);
        prompts.messages.clear();
    }

    // Makes the window the active one, as the player's click on it does.
    bool activate(QWidget *window)
    {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
};

// Everything a key of the table may set off, by object name: menu entries, key actions and
// the buttons.
QList<QObject *> triggerables(TformMain &m)
{
    QList<QObject *> all;
    for (QAction *a : m.findChildren<QAction *>())
        if (!a->objectName().isEmpty())
            all.append(a);
    for (QPushButton *b : m.findChildren<QPushButton *>())
        all.append(b);
    return all;
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void mnemonicsAreUniqueInTheirPlace();
    void listsChooseWithTheKeyboard();
    void keysFollowTheButtons();
    void tabGoesRowByRow();
    void keysShownInTheMenus();
    void f6GoesToTheParameterWindowAndBack();
};

void TestKeyboard::keysShownInTheMenus()
{
    EditorFixture f;
    f.start();
    TformMain &m = f.main();
    // Each key in a menu, where the player looks for it, its shortcut beside it.
    for (QAction *key : {m.keyEffectInfo, m.keyRequest, m.keyParameters}) {
        bool listed = false;
        for (QMenu *menu : {m.menuFile, m.menuConnection, m.menuSettings, m.menuFirmwareUpgrade, m.menuHelp})
            listed = listed || menu->actions().contains(key);
        QVERIFY2(listed, qPrintable(key->objectName()));
        QVERIFY(!key->shortcut().isEmpty());
    }
}

void TestKeyboard::f6GoesToTheParameterWindowAndBack()
{
    KeyboardFixture f;
    TformMain &m = f.main();
    TformFXParameters &params = *f.app->formFXParameters();
    QVERIFY(f.activate(&m));
    m.lstEffects->setFocus();
    // F6: the parameter window, the keyboard on its first row; F6 again: back in the list.
    QTest::keyClick(&m, Qt::Key_F6);
    QTRY_VERIFY(params.isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(params.trkPot[0]));
    QTest::keyClick(&params, Qt::Key_F6);
    QTRY_VERIFY(m.isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), m.lstEffects);
    // A click on an effect opens its window without taking the focus from the list.
    f.app->browser().effetto_cliccato(m.lstEffects->currentRow() < 0 ? 0 : m.lstEffects->currentRow());
    QVERIFY(params.isVisible());
    QVERIFY(params.testAttribute(Qt::WA_ShowWithoutActivating));
}

void TestKeyboard::keys_data()
{
    QTest::addColumn<QString>("window");    // where the player is: "main" or "parameters"
    QTest::addColumn<QKeySequence>("keys"); // pressed in turn; the later ones go to the menu opened
    QTest::addColumn<QString>("triggers");  // the object name of what it sets off

    const auto row = [](const char *name, const char *window, QKeySequence keys, const char *triggers) {
        QTest::newRow(name) << QString::fromLatin1(window) << keys << QString::fromLatin1(triggers);
    };
    row("ctrl-s-saves", "main", QKeySequence(Qt::CTRL | Qt::Key_S), "menuSaveConfiguration");
    row("ctrl-shift-s-saves-as", "main", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), "menuSaveConfigurationAs");
    row("ctrl-o-loads-from", "main", QKeySequence(Qt::CTRL | Qt::Key_O), "menuLoadConfigurationFrom");
    row("ctrl-q-quits", "main", QKeySequence(Qt::CTRL | Qt::Key_Q), "menuQuit");
    row("f1-shows-the-effect-information", "main", QKeySequence(Qt::Key_F1), "btnGetFXInfo");
    row("f5-requests", "main", QKeySequence(Qt::Key_F5), "btnRequest");
    row("ctrl-s-from-the-parameter-window", "parameters", QKeySequence(Qt::CTRL | Qt::Key_S), "menuSaveConfiguration");
    row("f5-from-the-parameter-window", "parameters", QKeySequence(Qt::Key_F5), "btnRequest");
    row("f1-from-the-parameter-window", "parameters", QKeySequence(Qt::Key_F1), "btnGetFXInfo");
    row("f6-to-the-parameter-window", "main", QKeySequence(Qt::Key_F6), "keyParameters");
    row("f6-back-to-the-main-window", "parameters", QKeySequence(Qt::Key_F6), "keyParameters");
    row("alt-u-uploads", "main", QKeySequence(Qt::ALT | Qt::Key_U), "btnUpload");
    row("alt-o-opens-fx", "main", QKeySequence(Qt::ALT | Qt::Key_O), "btnOpenEffect");
    row("alt-r-requests", "main", QKeySequence(Qt::ALT | Qt::Key_R), "btnRequest");
    row("alt-a-assigns", "main", QKeySequence(Qt::ALT | Qt::Key_A), "btnAssign");
    row("alt-t-stores", "main", QKeySequence(Qt::ALT | Qt::Key_T), "btnStoreSettingsOnPedal");
    row("alt-f-l-loads", "main", QKeySequence(Qt::ALT | Qt::Key_F, QKeyCombination(Qt::Key_L)), "menuLoadConfiguration");
    row("alt-f-s-saves", "main", QKeySequence(Qt::ALT | Qt::Key_F, QKeyCombination(Qt::Key_S)), "menuSaveConfiguration");
    row("alt-f-q-quits", "main", QKeySequence(Qt::ALT | Qt::Key_F, QKeyCombination(Qt::Key_Q)), "menuQuit");
    row("alt-c-d-disconnects", "main", QKeySequence(Qt::ALT | Qt::Key_C, QKeyCombination(Qt::Key_D)), "menuDisconnect");
    row("alt-m-u-upgrade-mode", "main", QKeySequence(Qt::ALT | Qt::Key_M, QKeyCombination(Qt::Key_U)), "menuFirmwareUpgradeMode");
    row("alt-h-s-support", "main", QKeySequence(Qt::ALT | Qt::Key_H, QKeyCombination(Qt::Key_S)), "menuSupport");
    row("alt-s-l-4-look-4", "main", QKeySequence(Qt::ALT | Qt::Key_S, QKeyCombination(Qt::Key_L), QKeyCombination(Qt::Key_4)), "menuLook4");
}

void TestKeyboard::keys()
{
    QFETCH(QString, window);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, triggers);
    KeyboardFixture f;
    TformMain &m = f.main();
    QWidget *target = window == QLatin1String("main") ? static_cast<QWidget *>(&m) : f.app->formFXParameters();
    QVERIFY(f.activate(target));

    // One spy on everything a key could set off: the key sets off the expected one alone.
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    const QList<QObject *> candidates = triggerables(m);
    for (QObject *o : candidates) {
        if (auto *a = qobject_cast<QAction *>(o))
            spies.push_back(std::make_unique<QSignalSpy>(a, &QAction::triggered));
        else
            spies.push_back(std::make_unique<QSignalSpy>(static_cast<QPushButton *>(o), &QPushButton::clicked));
    }
    // Questions the actions ask are answered No; their messages do not matter here.
    for (int i = 0; i < 4; ++i)
        f.prompts.scriptAnswer(Prompts::Answer::No);
    f.prompts.scriptFile(QString());

    QTest::keySequence(target, QKeySequence(keys[0]));
    for (int k = 1; k < keys.count(); ++k) {
        // The menu the key before opened (a submenu under it, for the Look entries).
        QWidget *popup = QApplication::activePopupWidget();
        QVERIFY2(popup, qPrintable(QStringLiteral("no menu open before key %1").arg(k + 1)));
        QTest::keySequence(popup, QKeySequence(keys[k]));
    }
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();

    // A button's mnemonic presses it as a click that shows: the signal comes a moment later.
    const qsizetype expected = std::find_if(candidates.cbegin(), candidates.cend(),
                                            [&](QObject *o) { return o->objectName() == triggers; })
                               - candidates.cbegin();
    QVERIFY(expected < candidates.size());
    QTRY_VERIFY(!spies[std::size_t(expected)]->isEmpty());
    QStringList fired;
    for (std::size_t i = 0; i < spies.size(); ++i)
        if (!spies[i]->isEmpty())
            fired.append(candidates[qsizetype(i)]->objectName());
    // A key action presses its button: both fire, the button says what happened.
    fired.removeAll(QStringLiteral("keyEffectInfo"));
    fired.removeAll(QStringLiteral("keyRequest"));
    QCOMPARE(fired, QStringList{triggers});
}

void TestKeyboard::mnemonicsAreUniqueInTheirPlace()
{
    EditorFixture f;
    f.start();
    TformMain &m = f.main();
    // The letter marked by '&' in a caption, lower case; none for a caption without one.
    const auto mnemonic = [](const QString &caption) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        return key.isEmpty() ? QString() : key.toString().right(1).toLower();
    };
    const auto check = [&](const QString &place, const QStringList &captions) {
        QStringList letters;
        for (const QString &caption : captions) {
            const QString letter = mnemonic(caption);
            QVERIFY2(!letter.isEmpty(), qPrintable(place + ": no mnemonic in " + caption));
            QVERIFY2(!letters.contains(letter), qPrintable(place + ": " + letter + " twice, " + caption));
            letters.append(letter);
        }
    };
    // The menu bar and the main window's buttons share the Alt keys.
    QStringList main;
    for (QAction *a : m.MenuBar1->actions())
        main.append(a->text());
    for (QPushButton *b : {m.btnUpload, m.btnOpenEffect, m.btnRequest, m.btnAssign, m.btnStoreSettingsOnPedal})
        main.append(b->text());
    check(QStringLiteral("main window"), main);
    // Each menu: its entries that can be chosen (the version lines are information).
    for (QMenu *menu : {m.menuFile, m.menuConnection, m.menuSettings, m.menuLook, m.menuFirmwareUpgrade, m.menuHelp}) {
        QStringList entries;
        for (QAction *a : menu->actions())
            if (!a->isSeparator() && a != m.menuAppVersion && a != m.menuNewAppVersion)
                entries.append(a->text());
        check(shownText(menu->title()), entries);
    }
    TformFirmwareUpgrade &w = *f.app->formFirmwareUpgrade();
    check(QStringLiteral("firmware window"),
          {w.btnUpgradeFirmware->text(), w.chkBackupFirst->text(), w.chkFastTransfer->text()});
    // The marks change nothing the player reads.
    QCOMPARE(shownText(m.menuSaveConfiguration->text()), QStringLiteral("Save Configuration"));
    QCOMPARE(shownText(m.btnStoreSettingsOnPedal->text()), QStringLiteral("Store Settings On Pedal"));
    QCOMPARE(shownText(m.menuFirmwareUpgrade->title()), QStringLiteral("Firmware Upgrade"));
}

void TestKeyboard::listsChooseWithTheKeyboard()
{
    EditorFixture f;
    f.startOnVirtualPedal();
    TformMain &m = f.main();
    m.show();
    TformFXParameters &params = *f.app->formFXParameters();
    const Selection &selection = f.app->session().selection;

    // Down in the category list with no current row: the first category, as its click.
    QTest::keyClick(m.lstCategory, Qt::Key_Down);
    QCOMPARE(m.lstCategory->currentRow(), 0);
    QCOMPARE(selection.SelectedCategory, QStringLiteral("Gain"));
    QVERIFY(m.lstEffects->count() > 0);
    QVERIFY(!params.isVisible());

    // Down in the effect list: its first effect chosen, the parameter window open for it,
    // without taking the focus from the list.
    const QString first = m.lstEffects->item(0)->text();
    QTest::keyClick(m.lstEffects, Qt::Key_Down);
    QCOMPARE(selection.SelectedEffectName, first);
    QVERIFY(params.isVisible());
    QCOMPARE(params.windowTitle(), first);
    QVERIFY(params.testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(m.btnGetFXInfo->isEnabled());

    // The next key moves on and chooses the next one; End the last.
    const QString second = m.lstEffects->item(1)->text();
    QTest::keyClick(m.lstEffects, Qt::Key_Down);
    QCOMPARE(selection.SelectedEffectName, second);
    QCOMPARE(params.windowTitle(), second);
    QTest::keyClick(m.lstEffects, Qt::Key_End);
    const QString last = m.lstEffects->item(m.lstEffects->count() - 1)->text();
    QCOMPARE(selection.SelectedEffectName, last);
    QCOMPARE(params.windowTitle(), last);

    // Enter chooses the current row again: the window is built afresh.
    const int builds = params.buildCount();
    QTest::keyClick(m.lstEffects, Qt::Key_Return);
    QVERIFY(params.buildCount() > builds);
    QCOMPARE(selection.SelectedEffectName, last);

    // A key that does not move the current row chooses nothing.
    const int settled = params.buildCount();
    QTest::keyClick(m.lstEffects, Qt::Key_End);
    QCOMPARE(params.buildCount(), settled);

    // Moving onto Impulse Response shows its help, as its click does.
    m.lstCategory->setCurrentRow(4);
    QVERIFY(f.prompts.messages.isEmpty());
    QTest::keyClick(m.lstCategory, Qt::Key_Down);
    QCOMPARE(selection.SelectedCategory, QStringLiteral("Impulse Response"));
    QCOMPARE(f.prompts.messages.size(), 1);
    QVERIFY(f.prompts.messages.first().startsWith(QStringLiteral("How to load an impulse response:")));

    // A row set by the program (the read-back pointing at the pedal's effect) chooses nothing.
    const int rowsBefore = m.lstEffects->count();
    m.lstCategory->setCurrentRow(0);
    QCOMPARE(selection.SelectedCategory, QStringLiteral("Impulse Response"));
    QCOMPARE(m.lstEffects->count(), rowsBefore);
}

void TestKeyboard::keysFollowTheButtons()
{
    // F1 and F5 do nothing while their buttons cannot be pressed: no effect chosen, no state
    // to ask for.
    EditorFixture f;
    f.startOnVirtualPedal();
    TformMain &m = f.main();
    m.show();
    QVERIFY(!m.btnGetFXInfo->isEnabled() && !m.btnRequest->isEnabled());
    QSignalSpy info(m.btnGetFXInfo, &QPushButton::clicked);
    QSignalSpy request(m.btnRequest, &QPushButton::clicked);
    m.keyEffectInfo->trigger();
    m.keyRequest->trigger();
    QCOMPARE(info.count(), 0);
    QCOMPARE(request.count(), 0);
    QVERIFY(!f.app->formFXInfo()->isVisible());
    QVERIFY(f.pedal().frameLog().isEmpty());
}

void TestKeyboard::tabGoesRowByRow()
{
    KeyboardFixture f;
    // The next control Tab reaches: widgets that take no focus (labels) are passed over.
    const auto tabFrom = [](QWidget *w) {
        QWidget *next = w->nextInFocusChain();
        while (next && next != w && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next;
    };
    TformFXParameters &w = *f.app->formFXParameters();
    QVERIFY(w.NumParams() >= 2);
    // Row 0 (a pot): level, pedal control, reverse, minimum, maximum, clear; then row 1.
    QWidget *row1 = w.cmbMultiSwitch[1];
    if (w.trkPot[1])
        row1 = w.trkPot[1];
    else if (w.swSwitch[1])
        row1 = w.swSwitch[1];
    const QList<QWidget *> rows{w.trkPot[0], w.boxAssign[0], w.chkReverse[0], w.btnMin[0], w.btnMax[0],
                                w.btnClearMinMax[0], row1};
    for (qsizetype i = 0; i + 1 < rows.size(); ++i)
        QCOMPARE(tabFrom(rows[i]), rows[i + 1]);
    // The main window: the lists, then the commands in the order of a session.
    TformMain &m = f.main();
    const QList<QWidget *> mainOrder{m.lstCategory, m.lstEffects, m.btnGetFXInfo, m.btnUpload,
                                     m.btnOpenEffect, m.btnRequest, m.btnAssign, m.btnStoreSettingsOnPedal};
    for (qsizetype i = 0; i + 1 < mainOrder.size(); ++i)
        QCOMPARE(tabFrom(mainOrder[i]), mainOrder[i + 1]);
    // A fresh window starts with the keyboard in the category list.
    EditorFixture fresh;
    fresh.start();
    fresh.main().show();
    QVERIFY(QTest::qWaitForWindowActive(&fresh.main()));
    QCOMPARE(QApplication::focusWidget(), fresh.main().lstCategory);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
