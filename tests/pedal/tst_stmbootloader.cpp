#include "pedal/stmbootloader.h"

#include <QtTest>

using namespace tovel::pedal;

namespace {

struct Fixture {
    StmBootloader boot;
    QByteArray answers;
    QList<qint64> answerTimes; // per answer byte, when it leaves the controller
    QList<quint32> goes;

    Fixture()
    {
        boot.setAnswerSink([this](const QByteArray &b, qint64 atUs) {
            answers += b;
            for (int i = 0; i < b.size(); ++i)
                answerTimes.append(atUs);
        });
        boot.setGoHandler([this](quint32 address, qint64) { goes.append(address); });
    }
    QByteArray send(const QByteArray &hex)
    {
        answers.clear();
        for (char c : QByteArray::fromHex(hex))
            boot.receive(quint8(c), 0);
        return answers;
    }
};

} // namespace

class TestStmBootloader : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void writeReadAndErase();
    void writeOnlyClearsBits();
    void goLeavesTheBootloader();
    void eraseBusyAnswersBusyUntilDone();
    void hangsAfterFramesUntilTheFaultIsCleared();
    void defectiveCellKeepsAWrongBit();
};

void TestStmBootloader::answers_data()
{
    QTest::addColumn<int>("nackAtAck");
    QTest::addColumn<QByteArray>("sent");   // hex, after nothing
    QTest::addColumn<QByteArray>("answer"); // hex, every byte the bootloader sent

    QTest::newRow("sync-acknowledged") << 0 << QByteArray("7F") << QByteArray("79");
    QTest::newRow("noise-before-sync-ignored") << 0 << QByteArray("00FF557F") << QByteArray("79");
    QTest::newRow("get-lists-plain-erase") << 0 << QByteArray("7F 00FF") << QByteArray("79 79 07 22 00 01 02 11 21 31 43 79");
    QTest::newRow("get-version") << 0 << QByteArray("7F 01FE") << QByteArray("79 79 22 00 00 79");
    QTest::newRow("get-id-128k-part") << 0 << QByteArray("7F 02FD") << QByteArray("79 79 01 04 10 79");
    QTest::newRow("nack-bad-complement-then-next-command-works") << 0 << QByteArray("7F 31CF 02FD") << QByteArray("79 1F 79 01 04 10 79");
    QTest::newRow("nack-sync-in-command-loop") << 0 << QByteArray("7F 7F7F") << QByteArray("79 1F");
    QTest::newRow("nack-extended-erase-not-offered") << 0 << QByteArray("7F 44BB") << QByteArray("79 1F");
    QTest::newRow("nack-write-address-checksum") << 0 << QByteArray("7F 31CE 0800000009") << QByteArray("79 79 1F");
    QTest::newRow("nack-write-above-flash") << 0 << QByteArray("7F 31CE 080200000A") << QByteArray("79 79 1F");
    QTest::newRow("nack-write-past-flash-end") << 0 << QByteArray("7F 31CE 0801FFFC0A 07 0000000000000000 07") << QByteArray("79 79 79 1F");
    QTest::newRow("nack-write-data-checksum") << 0 << QByteArray("7F 31CE 0800000008 03 11223344 00") << QByteArray("79 79 79 1F");
    QTest::newRow("nack-write-of-3-bytes-flash-takes-whole-words") << 0 << QByteArray("7F 31CE 0800000008 02 112233 02") << QByteArray("79 79 79 1F");
    QTest::newRow("write-acknowledged") << 0 << QByteArray("7F 31CE 0800000008 03 11223344 47") << QByteArray("79 79 79 79");
    QTest::newRow("read-erased-flash") << 0 << QByteArray("7F 11EE 0800000008 03FC") << QByteArray("79 79 79 79 FFFFFFFF");
    QTest::newRow("nack-read-count-complement") << 0 << QByteArray("7F 11EE 0800000008 030F") << QByteArray("79 79 79 1F");
    QTest::newRow("nack-read-system-memory") << 0 << QByteArray("7F 11EE 1FFFF80018") << QByteArray("79 79 1F");
    QTest::newRow("nack-read-past-flash-end") << 0 << QByteArray("7F 11EE 0801FFFC0A 07F8") << QByteArray("79 79 79 1F");
    QTest::newRow("global-erase") << 0 << QByteArray("7F 43BC FF00") << QByteArray("79 79 79");
    QTest::newRow("nack-global-erase-checksum") << 0 << QByteArray("7F 43BC FF01") << QByteArray("79 79 1F");
    QTest::newRow("page-erase") << 0 << QByteArray("7F 43BC 01 0001 00") << QByteArray("79 79 79");
    QTest::newRow("nack-page-erase-checksum") << 0 << QByteArray("7F 43BC 00 05 00") << QByteArray("79 79 1F");
    QTest::newRow("nack-page-outside-flash") << 0 << QByteArray("7F 43BC 00 80 80") << QByteArray("79 79 1F");
    QTest::newRow("nack-go-outside-flash-and-ram") << 0 << QByteArray("7F 21DE 0000000000") << QByteArray("79 79 1F");
    QTest::newRow("injected-nack-at-sync-leaves-it-unsynced") << 1 << QByteArray("7F 7F") << QByteArray("1F 79");
    QTest::newRow("injected-nack-at-get-drops-it") << 2 << QByteArray("7F 00FF 02FD") << QByteArray("79 1F 79 01 04 10 79");
    QTest::newRow("injected-nack-after-write-address") << 3 << QByteArray("7F 31CE 0800000008 02FD") << QByteArray("79 79 1F 79 01 04 10 79");
}

void TestStmBootloader::answers()
{
    QFETCH(int, nackAtAck);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    Fixture f;
    f.boot.setNackAtAck(nackAtAck);
    QCOMPARE(f.send(sent).toHex(' ').toUpper(), QByteArray::fromHex(answer).toHex(' ').toUpper());
}

void TestStmBootloader::writeReadAndErase()
{
    Fixture f;
    f.send("7F");
    // The editor's global erase, then the 8-byte variant record at 0x0801FC00.
    QCOMPARE(f.send("43BC FF00"), QByteArray::fromHex("7979"));
    QCOMPARE(f.send("31CE 0801FC00F5 07 0500000000000000 02"), QByteArray::fromHex("797979"));
    QCOMPARE(f.boot.flash().mid(0x1FC00, 9), QByteArray::fromHex("0500000000000000FF"));
    QCOMPARE(f.send("11EE 0801FC00F5 00FF"), QByteArray::fromHex("79797905"));
    // Erasing page 127 clears the record again.
    QCOMPARE(f.send("43BC 00 7F 7F"), QByteArray::fromHex("7979"));
    QCOMPARE(f.boot.flash(), QByteArray(128 * 1024, char(0xFF)));
}

void TestStmBootloader::writeOnlyClearsBits()
{
    Fixture f;
    f.send("7F");
    f.send("31CE 0800000008 03 F0F0F0F0 03");
    f.send("31CE 0800000008 03 0F0F0FFF F3");
    QCOMPARE(f.boot.flash().left(5), QByteArray::fromHex("000000F0FF"));
}

void TestStmBootloader::goLeavesTheBootloader()
{
    Fixture f;
    QCOMPARE(f.send("7F 21DE 0800000008"), QByteArray::fromHex("797979"));
    QCOMPARE(f.goes, QList<quint32>{0x08000000});
    QVERIFY(!f.boot.synced());
}

void TestStmBootloader::eraseBusyAnswersBusyUntilDone()
{
    Fixture f;
    f.send("7F 43BC");
    f.boot.setEraseBusy(3000, 1000);
    f.answerTimes.clear();
    QCOMPARE(f.send("FF00").toHex(' '), QByteArray("76 76 76 79"));
    QCOMPARE(f.answerTimes, (QList<qint64>{0, 1'000'000, 2'000'000, 3'000'000}));
    QCOMPARE(f.boot.flash(), QByteArray(128 * 1024, char(0xFF)));
}

void TestStmBootloader::hangsAfterFramesUntilTheFaultIsCleared()
{
    Fixture f;
    f.send("7F");
    f.boot.setSilentAfterFrames(1);
    QCOMPARE(f.send("31CE").toHex(' '), QByteArray("79"));
    QVERIFY(f.boot.hung());
    // The address is lost while it hangs; afterwards it still waits for one.
    QCOMPARE(f.send("0800000008"), QByteArray());
    f.boot.setSilentAfterFrames(0);
    QCOMPARE(f.send("0800000008 03 ABABABAB 03").toHex(' '), QByteArray("79 79"));
    QCOMPARE(quint8(f.boot.flash()[0]), quint8(0xAB));

    // Hung again, a reset into the bootloader ends the hang: it waits for its sync byte.
    f.boot.setSilentAfterFrames(1);
    QCOMPARE(f.send("31CE").toHex(' '), QByteArray("79"));
    QCOMPARE(f.send("0800000008"), QByteArray());
    f.boot.restart();
    QVERIFY(!f.boot.hung());
    QCOMPARE(f.send("7F 02FD").toHex(' '), QByteArray("79 79 01 04 10 79"));
}

void TestStmBootloader::defectiveCellKeepsAWrongBit()
{
    Fixture f;
    f.send("7F");
    f.boot.setFlashDefect(0x08000102);
    QCOMPARE(f.send("31CE 0800010009 03 11223344 47").toHex(' '), QByteArray("79 79 79"));
    QCOMPARE(f.boot.flash().mid(0x100, 4).toHex(' '), QByteArray("11 22 23 44"));
    QCOMPARE(f.send("11EE 0800010009 03FC").toHex(' '), QByteArray("79 79 79 11 22 23 44"));
}

QTEST_GUILESS_MAIN(TestStmBootloader)
#include "tst_stmbootloader.moc"
