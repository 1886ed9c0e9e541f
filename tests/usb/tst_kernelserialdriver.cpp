#include "usb/drivers/bridgeidentity.h"
#include "usb/drivers/kernelserialdriver.h"
#include "usb/drivers/serialportstatus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

using namespace tovel;

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)
Q_DECLARE_METATYPE(tovel::SerialPortCall)
Q_DECLARE_METATYPE(tovel::FtStatus)

namespace {

// Bytes take a moment to cross a pseudo-terminal; waits are bounded, never asserted.
constexpr int kCrossingMs = 2000;

// A pseudo-terminal the test holds the master side of; the driver opens the slave path.
class Pty {
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        termios t{};
        tcgetattr(m_master, &t);
        cfmakeraw(&t);
        tcsetattr(m_master, TCSANOW, &t);
        m_path = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { closeMaster(); }

    bool ok() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString path() const { return m_path; }
    int master() const { return m_master; }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool send(const QByteArray &bytes)
    {
        return ::write(m_master, bytes.constData(), bytes.size()) == bytes.size();
    }

    // What reaches the master within the crossing time, up to want bytes.
    QByteArray receive(int want)
    {
        QByteArray got;
        QDeadlineTimer deadline(kCrossingMs);
        while (got.size() < want && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

    // What reaches the master up to and including the first `marker` byte (bounded by the
    // crossing time): everything written before the marker, however late the kernel hands it
    // over.
    QByteArray receiveThrough(char marker)
    {
        QByteArray got;
        QDeadlineTimer deadline(kCrossingMs);
        while (!got.contains(marker) && !deadline.hasExpired()) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buf[4096];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

private:
    int m_master = -1;
    QString m_path;
};

// Polls the driver's queue count until it reaches want or the crossing time is over.
quint32 waitQueued(FtDriver &driver, FtHandle handle, quint32 want)
{
    quint32 queued = 0;
    QDeadlineTimer deadline(kCrossingMs);
    do {
        if (driver.queueStatus(handle, queued) != FT_OK)
            return queued;
        if (queued >= want)
            break;
        QThread::msleep(1);
    } while (!deadline.hasExpired());
    return queued;
}

} // namespace

// The driver's port opened on a fresh pseudo-terminal.
struct OpenPty {
    Pty pty;
    KernelSerialDriver driver{pty.path()};
    FtHandle handle = 0;

    bool open() { return pty.ok() && driver.openBySerialNumber(pty.path().toLocal8Bit(), handle) == FT_OK; }
};

Q_DECLARE_METATYPE(tovel::OpenProblem)

class TestKernelSerialDriver : public QObject {
    Q_OBJECT

private slots:
    void errorStatuses_data();
    void errorStatuses();
    void ttyIdentity_data();
    void ttyIdentity();

    void pathIsTheOnlyDevice();
    void missingPathIsNotFound();
    void pathCutTo49CharactersStillOpens();
    void lineSettingsReachTheTty_data();
    void lineSettingsReachTheTty();
    void writtenBytesReachTheOtherSide();
    void incomingBytesAreQueuedAndRead();
    void readTakesNoMoreThanAsked();
    void waitForDataReturnsWithTheBytes();
    void purgeRxDropsQueuedBytes();
    void purgeTxKeepsAWrittenCommand();
    void eepromIsNotReachable();
    void stalledLineFailsTheWrite();
    void closedHandleFailsEveryCall();
    void vanishedPortFailsUntilClosed();
    void hangUpWhileIdleIsReportedOnce_data();
    void hangUpWhileIdleIsReportedOnce();
    void bytesWhileIdleAreNoLoss();
    void removedBridgeTakesItsPortAlong_data();
    void removedBridgeTakesItsPortAlong();
    void onlyAPseudoTerminalIsNoRealBridge();
    void portHeldByAnotherProgramIsBusy();
    void nodeTheUserMayNotOpenIsNotPermitted();
    void lowLatencyLeavesAPseudoTerminalAlone();
};

void TestKernelSerialDriver::errorStatuses_data()
{
    QTest::addColumn<SerialPortCall>("call");
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<FtStatus>("status");
    using E = QSerialPort;
    using C = SerialPortCall;
    QTest::newRow("no-error") << C::Write << E::NoError << FT_OK;
    QTest::newRow("open-no-such-node") << C::Open << E::DeviceNotFoundError << FT_DEVICE_NOT_FOUND;
    QTest::newRow("open-held-or-forbidden") << C::Open << E::PermissionError << FT_DEVICE_NOT_OPENED;
    QTest::newRow("open-refused") << C::Open << E::OpenError << FT_DEVICE_NOT_OPENED;
    QTest::newRow("open-unplugged") << C::Open << E::ResourceError << FT_IO_ERROR;
    QTest::newRow("baud-unsupported") << C::Baud << E::UnsupportedOperationError << FT_INVALID_BAUD_RATE;
    QTest::newRow("framing-unsupported") << C::Configure << E::UnsupportedOperationError << FT_INVALID_PARAMETER;
    QTest::newRow("read-unplugged") << C::Read << E::ResourceError << FT_IO_ERROR;
    QTest::newRow("read-failed") << C::Read << E::ReadError << FT_IO_ERROR;
    QTest::newRow("write-stalled") << C::Write << E::TimeoutError << FT_FAILED_TO_WRITE_DEVICE;
    QTest::newRow("write-failed") << C::Write << E::WriteError << FT_IO_ERROR;
    QTest::newRow("purge-unplugged") << C::Purge << E::ResourceError << FT_IO_ERROR;
}

void TestKernelSerialDriver::errorStatuses()
{
    QFETCH(SerialPortCall, call);
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(FtStatus, status);
    QCOMPARE(serialPortStatus(call, error), status);
}

void TestKernelSerialDriver::ttyIdentity_data()
{
    QTest::addColumn<QByteArray>("serialAttribute");
    QTest::addColumn<QByteArray>("serialShort");
    QTest::addColumn<QByteArray>("product");
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<int>("interfaceNumber");
    QTest::addColumn<int>("interfaceCount");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QByteArray>("description");
    QTest::newRow("single-port-bridge") << QByteArray("A10KZP4Q") << QByteArray("A10KZP4Q")
        << QByteArray("FT232R USB UART") << QByteArray("FT232 Serial (UART) IC") << 0 << 1
        << QByteArray("A10KZP4Q") << QByteArray("FT232R USB UART");
    QTest::newRow("no-udev-database") << QByteArray("A10KZP4Q") << QByteArray() << QByteArray("FT232R USB UART")
        << QByteArray() << 0 << 1 << QByteArray("A10KZP4Q") << QByteArray("FT232R USB UART");
    QTest::newRow("serial-only-in-database") << QByteArray() << QByteArray("A10KZP4Q") << QByteArray()
        << QByteArray("FT232 Serial (UART) IC") << 0 << 1
        << QByteArray("A10KZP4Q") << QByteArray("FT232 Serial (UART) IC");
    QTest::newRow("no-serial-number-listed-by-path") << QByteArray() << QByteArray() << QByteArray("FT232R USB UART")
        << QByteArray() << 0 << 1 << QByteArray("/dev/ttyUSB3") << QByteArray("FT232R USB UART");
    QTest::newRow("dual-port-second-port") << QByteArray("FT5Z2") << QByteArray("FT5Z2")
        << QByteArray("Dual RS232-HS") << QByteArray() << 1 << 2
        << QByteArray("FT5Z2B") << QByteArray("Dual RS232-HS B");
}

void TestKernelSerialDriver::ttyIdentity()
{
    TtyBridgeFacts facts;
    QFETCH(QByteArray, serialAttribute);
    QFETCH(QByteArray, serialShort);
    QFETCH(QByteArray, product);
    QFETCH(QByteArray, model);
    QFETCH(int, interfaceNumber);
    QFETCH(int, interfaceCount);
    QFETCH(QByteArray, serial);
    QFETCH(QByteArray, description);
    facts.serialAttribute = serialAttribute;
    facts.serialShort = serialShort;
    facts.productAttribute = product;
    facts.modelFromDatabase = model;
    facts.interfaceNumber = interfaceNumber;
    facts.interfaceCount = interfaceCount;
    facts.devnode = "/dev/ttyUSB3";
    const BridgeIdentity id = ttyBridgeIdentity(facts);
    QCOMPARE(id.serial, serial);
    QCOMPARE(id.description, description);
}

void TestKernelSerialDriver::pathIsTheOnlyDevice()
{
    KernelSerialDriver driver("/dev/pts/7");
    quint32 count = 99;
    QCOMPARE(driver.listDeviceCount(count), FT_OK);
    QCOMPARE(count, 1u);
    QByteArray serial, description;
    QCOMPARE(driver.listSerialNumber(0, serial), FT_OK);
    QCOMPARE(serial, QByteArray("/dev/pts/7"));
    QCOMPARE(driver.listDescription(0, description), FT_OK);
    QCOMPARE(description, QByteArray("Serial port /dev/pts/7"));
    QCOMPARE(driver.listSerialNumber(1, serial), FT_DEVICE_NOT_FOUND);
}

void TestKernelSerialDriver::missingPathIsNotFound()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/ttyUSB9";
    KernelSerialDriver driver(path);
    FtHandle handle = 0;
    QCOMPARE(driver.openBySerialNumber(path.toLocal8Bit(), handle), FT_DEVICE_NOT_FOUND);
    QCOMPARE(handle, 0u);

    Pty pty;
    QVERIFY(pty.ok());
    KernelSerialDriver other(pty.path());
    QCOMPARE(other.openBySerialNumber("A10KZP4Q", handle), FT_DEVICE_NOT_FOUND);
}

void TestKernelSerialDriver::pathCutTo49CharactersStillOpens()
{
    Pty pty;
    QVERIFY(pty.ok());
    QTemporaryDir dir;
    const QString link = dir.path() + "/" + QString(60, 'p');
    QVERIFY(QFile::link(pty.path(), link));
    KernelSerialDriver driver(link);
    FtHandle handle = 0;
    QCOMPARE(driver.openBySerialNumber(link.toLocal8Bit().left(49), handle), FT_OK);
    QCOMPARE(driver.openBySerialNumber(link.toLocal8Bit().left(40), handle), FT_DEVICE_NOT_FOUND);
}

void TestKernelSerialDriver::lineSettingsReachTheTty_data()
{
    QTest::addColumn<quint32>("baud");
    QTest::addColumn<int>("wordLength");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<FtStatus>("status");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<uint>("cflags"); // CSIZE, CSTOPB and PARENB as the tty holds them
    // A pseudo-terminal keeps 8 bits without parity whatever it is asked, so only the baud
    // rate and the stop bits show there; the codes themselves are checked on their own.
    QTest::newRow("pedal-link-115200-8N1") << 115200u << 8 << 0 << 0 << FT_OK << uint(B115200)
                                           << uint(CS8);
    QTest::newRow("two-stop-bits") << 9600u << 8 << 2 << 0 << FT_OK << uint(B9600)
                                   << uint(CS8 | CSTOPB);
    QTest::newRow("nine-bit-words-refused") << 115200u << 9 << 0 << 0 << FT_INVALID_PARAMETER
                                            << uint(B115200) << uint(CS8);
    QTest::newRow("one-and-a-half-stops-refused") << 115200u << 8 << 1 << 0 << FT_INVALID_PARAMETER
                                                  << uint(B115200) << uint(CS8);
    QTest::newRow("parity-code-5-refused") << 115200u << 8 << 0 << 5 << FT_INVALID_PARAMETER
                                           << uint(B115200) << uint(CS8);
    QTest::newRow("baud-zero-refused-not-hung-up") << 0u << 8 << 0 << 0 << FT_INVALID_BAUD_RATE
                                                   << uint(B115200) << uint(CS8);
}

void TestKernelSerialDriver::lineSettingsReachTheTty()
{
    QFETCH(quint32, baud);
    QFETCH(int, wordLength);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(FtStatus, status);
    QFETCH(uint, speed);
    QFETCH(uint, cflags);
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QCOMPARE(driver.setBaudRate(handle, 115200), FT_OK);
    QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 0), FT_OK);

    const FtStatus baudStatus = driver.setBaudRate(handle, baud);
    const FtStatus dataStatus = driver.setDataCharacteristics(handle, quint8(wordLength),
                                                              quint8(stopBits), quint8(parity));
    QCOMPARE(baudStatus == FT_OK ? dataStatus : baudStatus, status);
    // The master reads the slave's settings.
    termios t{};
    QCOMPARE(tcgetattr(pty.master(), &t), 0);
    QCOMPARE(uint(cfgetospeed(&t)), speed);
    QCOMPARE(uint(t.c_cflag & (CSIZE | CSTOPB | PARENB)), cflags);
}

void TestKernelSerialDriver::writtenBytesReachTheOtherSide()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QCOMPARE(driver.setBaudRate(handle, 115200), FT_OK);
    QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 0), FT_OK);
    // A parameter message with bytes a cooked tty would translate or swallow.
    const QByteArray bytes = QByteArray::fromHex("0300070d0a11137f00e0000304");
    quint32 written = 0;
    QCOMPARE(driver.write(handle, bytes.constData(), quint32(bytes.size()), written), FT_OK);
    QCOMPARE(written, quint32(bytes.size()));
    QCOMPARE(pty.receive(bytes.size()), bytes);
}

void TestKernelSerialDriver::incomingBytesAreQueuedAndRead()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    const QByteArray answer("OK 0\r\n\x00\xff", 8);
    QVERIFY(pty.send(answer));
    QCOMPARE(waitQueued(driver, handle, 8), 8u);
    char buffer[64] = {};
    quint32 got = 0;
    QCOMPARE(driver.read(handle, buffer, sizeof buffer, got), FT_OK);
    QCOMPARE(QByteArray(buffer, int(got)), answer);
    quint32 queued = 99;
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(queued, 0u);
    QCOMPARE(driver.read(handle, buffer, sizeof buffer, got), FT_OK);
    QCOMPARE(got, 0u);
}

void TestKernelSerialDriver::waitForDataReturnsWithTheBytes()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    quint32 queued = 99;
    // Nothing comes: the wait ends at its time-out, and nothing is queued.
    QCOMPARE(driver.waitForData(handle, 20), FT_OK);
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(queued, 0u);

    // An answer lands while the driver waits: the wait ends with it queued.
    std::thread pedal([&port] {
        QThread::msleep(50);
        port.pty.send("y");
    });
    const FtStatus waited = driver.waitForData(handle, 5000);
    pedal.join();
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(waited, FT_OK);
    QCOMPARE(queued, 1u);
    // Bytes already queued: no wait at all, and they stay queued.
    QCOMPARE(driver.waitForData(handle, 5000), FT_OK);
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(queued, 1u);
}

void TestKernelSerialDriver::readTakesNoMoreThanAsked()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QVERIFY(pty.send("0123456789"));
    QCOMPARE(waitQueued(driver, handle, 10), 10u);
    char buffer[16] = {};
    quint32 got = 0;
    QCOMPARE(driver.read(handle, buffer, 4, got), FT_OK);
    QCOMPARE(QByteArray(buffer, int(got)), QByteArray("0123"));
    quint32 queued = 0;
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(queued, 6u);
}

void TestKernelSerialDriver::purgeRxDropsQueuedBytes()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QVERIFY(pty.send("stale answer"));
    QCOMPARE(waitQueued(driver, handle, 12), 12u);
    QCOMPARE(driver.purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    quint32 queued = 99;
    QCOMPARE(driver.queueStatus(handle, queued), FT_OK);
    QCOMPARE(queued, 0u);
    // What comes after the purge is kept.
    QVERIFY(pty.send("new"));
    QCOMPARE(waitQueued(driver, handle, 3), 3u);
    char buffer[16] = {};
    quint32 got = 0;
    QCOMPARE(driver.read(handle, buffer, sizeof buffer, got), FT_OK);
    QCOMPARE(QByteArray(buffer, int(got)), QByteArray("new"));
}

// Two commands written back to back, each followed by a transmit purge, while the other side
// has read nothing yet: both reach it whole and in order.
void TestKernelSerialDriver::purgeTxKeepsAWrittenCommand()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    const QByteArray first = QByteArray::fromHex("06000200000000");
    const QByteArray second = QByteArray::fromHex("060102007FE000");
    quint32 written = 0;
    QCOMPARE(driver.write(handle, first.constData(), 7, written), FT_OK);
    QCOMPARE(driver.purge(handle, FT_PURGE_TX), FT_OK);
    QCOMPARE(driver.write(handle, second.constData(), 7, written), FT_OK);
    QCOMPARE(driver.purge(handle, FT_PURGE_TX), FT_OK);
    QCOMPARE(pty.receive(14), first + second);
}

void TestKernelSerialDriver::eepromIsNotReachable()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    quint16 word = 0xBEEF;
    QCOMPARE(driver.readEepromWord(handle, 81, word), FT_EEPROM_NOT_PRESENT);
    QCOMPARE(word, quint16(0xBEEF));
}

void TestKernelSerialDriver::stalledLineFailsTheWrite()
{
    Pty pty;
    QVERIFY(pty.ok());
    KernelSerialDriver driver(pty.path());
    driver.setWriteStallMs(50);
    FtHandle handle = 0;
    QCOMPARE(driver.openBySerialNumber(pty.path().toLocal8Bit(), handle), FT_OK);
    // Nobody reads the other side: the pseudo-terminal fills long before a megabyte.
    const QByteArray block(1 << 20, '\x55');
    quint32 written = 0;
    QCOMPARE(driver.write(handle, block.constData(), quint32(block.size()), written),
             FT_FAILED_TO_WRITE_DEVICE);
    QVERIFY(written < quint32(block.size()));
    // What the kernel took arrives; what it did not is dropped, not sent later: ahead of the
    // next command come at most the bytes the write reported.
    quint32 one = 0;
    QCOMPARE(driver.write(handle, "\x7f", 1, one), FT_OK);
    const QByteArray arrived = pty.receiveThrough('\x7f');
    QVERIFY(arrived.endsWith('\x7f'));
    QCOMPARE(arrived.count('\x55'), arrived.size() - 1);
    QVERIFY2(quint32(arrived.size() - 1) <= written,
             qPrintable(QStringLiteral("%1 bytes arrived, %2 written").arg(arrived.size() - 1).arg(written)));
}

void TestKernelSerialDriver::closedHandleFailsEveryCall()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QCOMPARE(driver.close(handle), FT_OK);

    char buffer[4] = {};
    quint32 n = 0;
    quint16 word = 0;
    QCOMPARE(driver.read(handle, buffer, 4, n), FT_INVALID_HANDLE);
    QCOMPARE(driver.write(handle, buffer, 4, n), FT_INVALID_HANDLE);
    QCOMPARE(driver.queueStatus(handle, n), FT_INVALID_HANDLE);
    QCOMPARE(driver.waitForData(handle, 10), FT_INVALID_HANDLE);
    QCOMPARE(driver.purge(handle, FT_PURGE_RX), FT_INVALID_HANDLE);
    QCOMPARE(driver.setBaudRate(handle, 115200), FT_INVALID_HANDLE);
    QCOMPARE(driver.setDataCharacteristics(handle, 8, 0, 0), FT_INVALID_HANDLE);
    QCOMPARE(driver.readEepromWord(handle, 0, word), FT_INVALID_HANDLE);
    QCOMPARE(driver.close(handle), FT_INVALID_HANDLE);
    QCOMPARE(driver.close(0), FT_INVALID_HANDLE);

    // The port is free again: a new open gets a new handle.
    FtHandle again = 0;
    QCOMPARE(driver.openBySerialNumber(pty.path().toLocal8Bit(), again), FT_OK);
    QVERIFY(again != handle);
}

void TestKernelSerialDriver::vanishedPortFailsUntilClosed()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    pty.closeMaster();

    quint32 queued = 0;
    QCOMPARE(driver.queueStatus(handle, queued), FT_IO_ERROR);
    QCOMPARE(driver.waitForData(handle, 10), FT_IO_ERROR);
    char buffer[4] = {};
    quint32 n = 0;
    QCOMPARE(driver.read(handle, buffer, 4, n), FT_IO_ERROR);
    QCOMPARE(driver.write(handle, "\x7f", 1, n), FT_IO_ERROR);
    QCOMPARE(driver.setBaudRate(handle, 115200), FT_IO_ERROR);
    QCOMPARE(driver.close(handle), FT_OK);
    QCOMPARE(driver.queueStatus(handle, queued), FT_INVALID_HANDLE);
}

void TestKernelSerialDriver::hangUpWhileIdleIsReportedOnce_data()
{
    QTest::addColumn<bool>("vhangup");
    QTest::newRow("other-side-of-the-terminal-closed") << false;
    // What the kernel does to the tty of a USB serial bridge pulled off the bus: from then on
    // it reads as end of file and polls as hung up.
    QTest::newRow("tty-hung-up-as-a-pulled-bridge's") << true;
}

// The tty hangs up while no call runs: the event loop sees it, the driver lets go of the
// descriptor and tells the listener, once; the listener may close the handle there and then.
void TestKernelSerialDriver::hangUpWhileIdleIsReportedOnce()
{
    QFETCH(bool, vhangup);
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    QList<FtHandle> gone;
    QList<FtStatus> closes;
    driver.setGoneListener([&gone, &closes, &port](FtHandle h) {
        gone.append(h);
        closes.append(port.driver.close(h));
    });
    if (vhangup) {
        const int fd = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        const int rc = ::ioctl(fd, TIOCVHANGUP);
        const int err = errno;
        ::close(fd);
        if (rc != 0)
            QSKIP(qPrintable(QStringLiteral("no TIOCVHANGUP here: %1").arg(strerror(err))));
    } else {
        pty.closeMaster();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!gone.isEmpty(), 5000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(gone, QList<FtHandle>{handle});
    QCOMPARE(closes, QList<FtStatus>{FT_OK});
    quint32 queued = 0;
    QCOMPARE(driver.queueStatus(handle, queued), FT_INVALID_HANDLE);
}

void TestKernelSerialDriver::bytesWhileIdleAreNoLoss()
{
    OpenPty port;
    QVERIFY(port.open());
    auto &[pty, driver, handle] = port;
    int gone = 0;
    driver.setGoneListener([&](FtHandle) { ++gone; });
    QVERIFY(pty.send("TOVEL\r\n"));
    // Qt takes the bytes from the event loop; once they are queued, the loop has seen them.
    QTRY_COMPARE_WITH_TIMEOUT(waitQueued(driver, handle, 7), 7u, 5000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(gone, 0);
    quint32 written = 0;
    QCOMPARE(driver.write(handle, "\x05\x00", 2, written), FT_OK);
    QCOMPARE(pty.receive(2), QByteArray("\x05\x00", 2));
}

// The hot-plug monitor names the nodes of a bridge that left; the port on one of them is
// gone at once, told before bridgeRemoved returns. A path that led to the node counts too.
void TestKernelSerialDriver::removedBridgeTakesItsPortAlong_data()
{
    QTest::addColumn<QString>("opened"); // "node" or "link"
    QTest::addColumn<bool>("named");     // the removal names the port's node
    QTest::newRow("its-tty-left") << "node" << true;
    QTest::newRow("its-tty-left-opened-by-a-link") << "link" << true;
    QTest::newRow("another-bridge-left") << "node" << false;
}

void TestKernelSerialDriver::removedBridgeTakesItsPortAlong()
{
    QFETCH(QString, opened);
    QFETCH(bool, named);
    Pty pty;
    QVERIFY(pty.ok());
    QTemporaryDir dir;
    QString path = pty.path();
    if (opened == "link") {
        path = dir.filePath("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(QFile::link(pty.path(), path));
    }
    KernelSerialDriver driver(path);
    FtHandle handle = 0;
    QCOMPARE(driver.openBySerialNumber(path.toLocal8Bit(), handle), FT_OK);
    QList<FtHandle> gone;
    driver.setGoneListener([&](FtHandle h) { gone.append(h); });
    const QString node = named ? pty.path() : QStringLiteral("/dev/ttyUSB7");
    driver.bridgeRemoved({node, QStringLiteral("/dev/bus/usb/001/007")});
    QCOMPARE(gone, named ? QList<FtHandle>{handle} : QList<FtHandle>{});
    quint32 queued = 0;
    QCOMPARE(driver.queueStatus(handle, queued), named ? FT_IO_ERROR : FT_OK);
    driver.bridgeRemoved({node});
    QCOMPARE(gone.size(), named ? 1 : 0);
    QCOMPARE(driver.close(handle), FT_OK);
}

void TestKernelSerialDriver::onlyAPseudoTerminalIsNoRealBridge()
{
    OpenPty o;
    QVERIFY(o.open());
    QVERIFY(KernelSerialDriver::isPseudoTerminal(o.pty.path()));
    QVERIFY(!o.driver.isRealBridge(o.handle));
    // Any other serial device could be wired to a pedal's controller.
    QVERIFY(!KernelSerialDriver::isPseudoTerminal(QStringLiteral("/dev/null")));
    QVERIFY(!KernelSerialDriver::isPseudoTerminal(QStringLiteral("/dev/ttyUSB-missing")));
    QVERIFY(o.driver.isRealBridge(o.handle + 1));
}

QTEST_GUILESS_MAIN(TestKernelSerialDriver)
void TestKernelSerialDriver::portHeldByAnotherProgramIsBusy()
{
    OpenPty held;
    QVERIFY(held.open());
    // A second program: its own driver, the same node.
    KernelSerialDriver other(held.pty.path());
    FtHandle handle = 0;
    QCOMPARE(other.openBySerialNumber(held.pty.path().toLocal8Bit(), handle), FT_DEVICE_NOT_OPENED);
    QCOMPARE(other.lastOpenProblem(), OpenProblem::Busy);

    QCOMPARE(held.driver.close(held.handle), FT_OK);
    QCOMPARE(other.openBySerialNumber(held.pty.path().toLocal8Bit(), handle), FT_OK);
    QCOMPARE(other.lastOpenProblem(), OpenProblem::None);
}

void TestKernelSerialDriver::nodeTheUserMayNotOpenIsNotPermitted()
{
    QTemporaryDir dir;
    const QString node = dir.path() + "/ttyUSB0";
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::setPermissions(node, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(KernelSerialDriver::openProblemFor(dir.path() + "/ttyUSB1"), OpenProblem::None);
    // The stand-in is an ordinary file: to root, who may open it, it is said to be no serial port.
    QCOMPARE(KernelSerialDriver::openProblemFor(node), geteuid() == 0 ? OpenProblem::NotASerialPort
                                                                      : OpenProblem::PermissionDenied);
    if (geteuid() != 0)
        return;
    // Root may open anything: ask as a user without rights, in a child process.
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner | QFileDevice::ExeOther));
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(KernelSerialDriver::openProblemFor(node) == OpenProblem::PermissionDenied ? 0 : 1);
    }
    int status = -1;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

void TestKernelSerialDriver::lowLatencyLeavesAPseudoTerminalAlone()
{
    // A pseudo-terminal knows neither TIOCSSERIAL nor a latency timer: nothing is done, the
    // port opens and carries bytes as before.
    OpenPty port;
    QVERIFY(port.open());
    int fd = ::open(port.pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    QCOMPARE(KernelSerialDriver::requestLowLatency(fd, port.pty.path()), QStringList{});
    ::close(fd);
    quint32 written = 0;
    QCOMPARE(port.driver.write(port.handle, "\x05\x00", 2, written), FT_OK);
    QCOMPARE(port.pty.receive(2), QByteArray("\x05\x00", 2));
}

#include "tst_kernelserialdriver.moc"
