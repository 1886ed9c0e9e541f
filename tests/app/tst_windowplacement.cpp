// Where the windows open on small screens: every window wholly inside the available geometry
// of the main window's screen, beside the main window where there is room.
#include "app/tformfxparameters.h"
#include "app/windowplacement.h"

#include <QtTest>

using namespace tovel;

namespace {

// Frames as a window manager draws them here: 1-pixel borders and a 25-pixel title bar.
constexpr QMargins kFrame(1, 26, 1, 1);
const QSize kMainFrame = QSize(399, 480).grownBy(kFrame);
const QSize kInfoFrame = QSize(335, 480).grownBy(kFrame);

// The outer height an opener gives the parameter window: (rows + 2) x 25 + 10.
QSize parameterFrame(int rows)
{
    return QSize(TformFXParameters::kClientWidth + kFrame.left() + kFrame.right(),
                 TformFXParameters::heightForParams(rows));
}

QString describe(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestWindowPlacement : public QObject {
    Q_OBJECT

private slots:
    void everyWindowOnTheScreen_data();
    void everyWindowOnTheScreen();
    void besideTheMainWindowWhereThereIsRoom();
    void tallerThanTheScreenIsCutToIt();
    void firmwareWindowCentredOverTheMainWindow_data();
    void firmwareWindowCentredOverTheMainWindow();
    void theEditorsWindowsOnAScreen_data();
    void theEditorsWindowsOnAScreen();
    void parametersCutToTheRoomThereIs_data();
    void parametersCutToTheRoomThereIs();
};

void TestWindowPlacement::everyWindowOnTheScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QString>("mainAt"); // where the window manager put the main window
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("info");
    const QList<QPair<const char *, QRect>> screens{
        {"1366x768-panel-at-the-bottom", QRect(0, 0, 1366, 740)},
        {"1280x720-panel-at-the-top", QRect(0, 27, 1280, 693)},
        {"1280x720-no-panel", QRect(0, 0, 1280, 720)},
    };
    for (const auto &[screen, available] : screens)
        for (const char *mainAt : {"left", "centre", "right", "bottom-right"})
            for (int rows : {1, 9, 24})
                for (bool info : {false, true})
                    QTest::addRow("%s-main-%s-%d-rows%s", screen, mainAt, rows, info ? "-with-info" : "")
                        << available << QString::fromLatin1(mainAt) << rows << info;
}

void TestWindowPlacement::everyWindowOnTheScreen()
{
    QFETCH(QRect, available);
    QFETCH(QString, mainAt);
    QFETCH(int, rows);
    QFETCH(bool, info);
    QRect main(QPoint(), kMainFrame);
    if (mainAt == QLatin1String("left"))
        main.moveTopLeft(available.topLeft());
    else if (mainAt == QLatin1String("centre"))
        main.moveCenter(available.center());
    else if (mainAt == QLatin1String("right"))
        main.moveTopRight(available.topRight());
    else
        main.moveBottomRight(available.bottomRight());

    const QSize wanted = parameterFrame(rows);
    const QRect parameters = placeBeside(available, main, {}, wanted);
    QVERIFY2(available.contains(parameters), qPrintable(describe(parameters)));
    QCOMPARE(parameters.size(), wanted); // 24 rows fit even 693 pixels
    // Room on either side of the main window: the window takes it and covers nothing.
    const bool room = main.left() - available.left() >= wanted.width()
                      || available.right() - main.right() >= wanted.width();
    if (room)
        QVERIFY2(!parameters.intersects(main), qPrintable(describe(parameters)));
    if (!info)
        return;

    const QRect page = placeBeside(available, parameters, {main}, kInfoFrame);
    QVERIFY2(available.contains(page), qPrintable(describe(page)));
    QCOMPARE(page.size(), kInfoFrame);
    // Both beside windows fit on the screen's width together with the main window: none of
    // the three covers another.
    if (available.width() >= main.width() + wanted.width() + kInfoFrame.width() && room
        && !parameters.intersects(main)) {
        QVERIFY2(!page.intersects(main) && !page.intersects(parameters),
                 qPrintable(describe(main) + " / " + describe(parameters) + " / " + describe(page)));
    }
}

void TestWindowPlacement::besideTheMainWindowWhereThereIsRoom()
{
    const QRect available(0, 0, 1366, 740);
    const QRect main(QPoint(10, 40), kMainFrame);
    // Right of the main window at its top, and the page right of the parameters.
    const QRect parameters = placeBeside(available, main, {}, parameterFrame(9));
    QCOMPARE(parameters.topLeft(), QPoint(main.right() + 1, main.top()));
    const QRect page = placeBeside(available, parameters, {main}, kInfoFrame);
    QCOMPARE(page.topLeft(), QPoint(parameters.right() + 1, parameters.top()));

    // The main window in the middle of a 1280-pixel screen: no room on its right for the
    // parameters, none on its left either, so they are moved in, at the screen's right edge;
    // the page then goes left of the main window, where it covers neither.
    const QRect narrow(0, 0, 1280, 720);
    QRect centred(QPoint(), kMainFrame);
    centred.moveCenter(narrow.center());
    const QRect moved = placeBeside(narrow, centred, {}, parameterFrame(24));
    QCOMPARE(moved.right(), narrow.right());
    const QRect left = placeBeside(narrow, moved, {centred}, kInfoFrame);
    QCOMPARE(left.right(), centred.left() - 1);

    // Near the bottom: moved up until the last row is on the screen.
    const QRect low(QPoint(0, 400), kMainFrame);
    const QRect up = placeBeside(QRect(0, 0, 1366, 740), low, {}, parameterFrame(24));
    QCOMPARE(up.bottom(), 739);
    QCOMPARE(up.left(), low.right() + 1);
}

void TestWindowPlacement::tallerThanTheScreenIsCutToIt()
{
    const QRect available(0, 0, 1024, 600);
    const QRect main(QPoint(0, 0), kMainFrame);
    const QRect parameters = placeBeside(available, main, {}, parameterFrame(24));
    QCOMPARE(parameters.height(), 600);
    QCOMPARE(parameters.top(), 0);
    QVERIFY(available.contains(parameters));
}

void TestWindowPlacement::firmwareWindowCentredOverTheMainWindow_data()
{
    QTest::addColumn<QRect>("main");
    QTest::addColumn<bool>("movedIn");
    QTest::newRow("centred-over-it") << QRect(QPoint(400, 100), kMainFrame) << false;
    QTest::newRow("main-half-off-the-left-edge-moved-in") << QRect(QPoint(-300, 100), kMainFrame) << true;
}

void TestWindowPlacement::firmwareWindowCentredOverTheMainWindow()
{
    QFETCH(QRect, main);
    QFETCH(bool, movedIn);
    const QRect available(0, 0, 1366, 740);
    const QRect firmware = placeCentred(available, main, QSize(250, 220));
    QCOMPARE(firmware.size(), QSize(250, 220));
    QVERIFY(available.contains(firmware));
    QCOMPARE(firmware.center().y(), main.center().y());
    if (movedIn)
        QCOMPARE(firmware.left(), available.left());
    else
        QCOMPARE(firmware.center().x(), main.center().x());
}

// The main window, the parameter window and the information page as the editor opens them:
// the main window where the manager put it (moved sideways for room beside it), the parameter
// window beside it, the page beside that; each wholly on the screen, the main window's lists
// never covered. The console at its design position, moved onto the screen.
void TestWindowPlacement::theEditorsWindowsOnAScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QString>("mainAt");
    QTest::addColumn<int>("rows");
    // Title bar and borders: openbox's, a thin one, none (before the manager's frame is known).
    const QList<QPair<const char *, QMargins>> frames{
        {"openbox", QMargins(1, 20, 1, 1)}, {"thin", QMargins(2, 2, 2, 2)}, {"unframed", QMargins()}};
    const QList<QPair<const char *, QRect>> screens{
        {"1366x768", QRect(0, 0, 1366, 768)},
        {"1366x768-panel-40-at-the-bottom", QRect(0, 0, 1366, 728)},
        {"1366x768-panel-40-at-the-left", QRect(40, 0, 1326, 768)},
        {"1280x720", QRect(0, 0, 1280, 720)},
        {"1920x1080", QRect(0, 0, 1920, 1080)},
        {"second-of-two-screens-side-by-side", QRect(1920, 0, 1366, 768)},
        {"first-of-two-screens-side-by-side", QRect(0, 0, 1366, 768)},
    };
    // Amber Drive (5 rows), Lagoon Chorus (9 rows), Arp Sequencer (24 rows).
    for (const auto &[screen, available] : screens)
        for (const auto &[frameName, frame] : frames)
            for (const char *mainAt : {"centre", "left", "right", "bottom-right"})
                for (int rows : {5, 9, 24})
                    QTest::addRow("%s-%s-main-%s-%d-rows", screen, frameName, mainAt, rows)
                        << available << frame << QString::fromLatin1(mainAt) << rows;
}

void TestWindowPlacement::theEditorsWindowsOnAScreen()
{
    QFETCH(QRect, available);
    QFETCH(QMargins, frame);
    QFETCH(QString, mainAt);
    QFETCH(int, rows);
    const QSize mainFrame = QSize(399, 480).grownBy(frame);
    QRect placed(QPoint(), mainFrame);
    if (mainAt == QLatin1String("centre"))
        placed.moveCenter(available.center());
    else if (mainAt == QLatin1String("left"))
        placed.moveTopLeft(available.topLeft());
    else if (mainAt == QLatin1String("right"))
        placed.moveTopRight(available.topRight());
    else
        placed.moveBottomRight(available.bottomRight());

    const int parametersWidth = TformFXParameters::kClientWidth + frame.left() + frame.right();
    const QRect main = roomBeside(available, placed, parametersWidth);
    QVERIFY(available.contains(main));
    QCOMPARE(main.top(), placed.top());
    // Moved only where the screen has room for both and the manager left none beside it.
    const bool roomForBoth = available.width() >= mainFrame.width() + parametersWidth;
    const bool roomLeft = available.right() - placed.right() >= parametersWidth
                          || placed.left() - available.left() >= parametersWidth;
    if (roomLeft || !roomForBoth)
        QCOMPARE(main, placed);

    // The lists, right in the main window's client area.
    const QRect lists(main.left() + frame.left() + 191, main.top() + frame.top() + 28, 200, 444);
    const QSize wanted(parametersWidth, TformFXParameters::clientHeightForParams(rows, frame.top() + frame.bottom())
                                            + frame.top() + frame.bottom());
    const QSize least(370, TformFXParameters::heightForParams(3));
    const QRect parameters = placeParameters(available, main, lists, wanted, least);
    QVERIFY2(available.contains(parameters), qPrintable(describe(parameters)));
    QVERIFY2(!parameters.intersects(lists), qPrintable(describe(parameters)));
    if (roomForBoth) {
        // Beside it, whole: as tall as the rows want, or as the screen where they want more.
        QVERIFY2(!parameters.intersects(main), qPrintable(describe(main) + " / " + describe(parameters)));
        QCOMPARE(parameters.size(), wanted.boundedTo(available.size()));
        QCOMPARE(parameters.top(), std::min(main.top(), available.bottom() + 1 - parameters.height()));
    }

    const QRect page = placeBeside(available, parameters, {main}, kInfoFrame);
    QVERIFY2(available.contains(page), qPrintable(describe(page)));

    const QRect console = moveInside(QRect(QPoint(1075, 0), QSize(490, 652).grownBy(frame)), available);
    QVERIFY2(available.contains(console), qPrintable(describe(console)));
    QCOMPARE(console.size(), QSize(490, 652).grownBy(frame));
}

void TestWindowPlacement::parametersCutToTheRoomThereIs_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QSize>("wanted");
    QTest::addColumn<QRect>("expected");
    // 800 x 600: the main window at the left; its right has 399 pixels, 24 rows want 501.
    QTest::newRow("narrow-screen-right-of-the-main-window-cut-across")
        << QRect(0, 0, 800, 600) << QRect(0, 0, 401, 501) << QSize(501, 660) << QRect(401, 0, 399, 600);
    // The main window in the middle of 1024 pixels: 311 on either side, too little; below it
    // the whole width and the rest of the height.
    QTest::newRow("main-in-the-middle-cut-below")
        << QRect(0, 0, 1024, 768) << QRect(311, 0, 401, 501) << QSize(501, 660) << QRect(311, 501, 501, 267);
    // Room below for the whole window: it goes there, not cut.
    QTest::newRow("whole-below-where-it-fits")
        << QRect(0, 0, 1024, 768) << QRect(311, 0, 401, 501) << QSize(501, 185) << QRect(311, 501, 501, 185);
    // No room right, left or below the main window that shows three rows: in the larger room
    // beside its lists, never over them.
    QTest::newRow("screen-no-bigger-than-the-main-window-beside-its-lists")
        << QRect(0, 0, 640, 480) << QRect(0, 0, 401, 480) << QSize(501, 185) << QRect(392, 0, 248, 185);
}

void TestWindowPlacement::parametersCutToTheRoomThereIs()
{
    QFETCH(QRect, available);
    QFETCH(QRect, main);
    QFETCH(QSize, wanted);
    QFETCH(QRect, expected);
    const QRect lists(main.left() + 192, main.top() + 28, 200, 444);
    const QRect parameters = placeParameters(available, main, lists, wanted, QSize(370, 85));
    QCOMPARE(parameters, expected);
    QVERIFY(!parameters.intersects(lists));
}

QTEST_GUILESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
