// A --device path watched as udev's by-id link comes and goes with its bridge, its folder too.
#include "usb/serialpathwatch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovel;

class TestSerialPathWatch : public QObject {
    Q_OBJECT

private slots:
    void linkAndItsFolderComeAndGo();
};

void TestSerialPathWatch::linkAndItsFolderComeAndGo()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("pts7"));
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = dir.filePath(QStringLiteral("serial/by-id"));
    const QString link = folder + QStringLiteral("/usb-ZANTH_Tovel_ZT000001-if00-port0");

    SerialPathWatch watch(link); // nothing there yet, not even the folder
    QVERIFY(!watch.present());
    QStringList news;
    connect(&watch, &SerialPathWatch::bridgeArrived, [&](const PluggedBridge &b) {
        news.append(QStringLiteral("arrived ") + b.ttyDevnodes.join(' '));
        QCOMPARE(b.serialNumber, link.toLocal8Bit());
    });
    connect(&watch, &SerialPathWatch::bridgeLeft,
            [&](const PluggedBridge &b) { news.append(QStringLiteral("left ") + b.ttyDevnodes.join(' ')); });

    // udev makes the folder, then the link.
    QVERIFY(QDir().mkpath(folder));
    QTest::qWait(50); // the folder's news first, as udev's would come
    QVERIFY(QFile::link(target, link));
    QTRY_COMPARE_WITH_TIMEOUT(news, QStringList{"arrived " + link}, 5000);
    QVERIFY(watch.present());

    // Pulled out: the link goes, then the folder with its last device.
    QVERIFY(QFile::remove(link));
    QTRY_COMPARE_WITH_TIMEOUT(news, (QStringList{"arrived " + link, "left " + link}), 5000);
    QVERIFY(QDir(dir.filePath(QStringLiteral("serial"))).removeRecursively());

    // Plugged in again: both come back.
    QVERIFY(QDir().mkpath(folder));
    QTest::qWait(50);
    QVERIFY(QFile::link(target, link));
    QTRY_COMPARE_WITH_TIMEOUT(news, (QStringList{"arrived " + link, "left " + link, "arrived " + link}), 5000);

    // Pulled and plugged again before the event loop looked: a new link to a new terminal.
    const QString other = dir.filePath(QStringLiteral("pts8"));
    QFile second(other);
    QVERIFY(second.open(QIODevice::WriteOnly));
    second.close();
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(other, link));
    QTRY_COMPARE_WITH_TIMEOUT(news.size(), 5, 5000);
    QCOMPARE(news.mid(3), (QStringList{"left " + link, "arrived " + link}));
}

QTEST_GUILESS_MAIN(TestSerialPathWatch)
#include "tst_serialpathwatch.moc"
