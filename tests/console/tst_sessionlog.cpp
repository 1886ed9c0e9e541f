// The session log on its own: the files of the last sessions, the bounds of one file, and the
// --log file that is a named pipe.
#include "console/sessionlog.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tovel;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QDateTime kStart(QDate(2026, 3, 14), QTime(9, 26, 53, 589));

} // namespace

class TestSessionLog : public QObject {
    Q_OBJECT

private slots:
    void lastSessionsAreKept_data();
    void lastSessionsAreKept();
    void hugeLineIsCutWithItsLength();
    void fileStopsAtItsLimitWithANote();
    void logFileIsAddedToRunAfterRun();
    void unwritablePlaces_data();
    void unwritablePlaces();
};

void TestSessionLog::lastSessionsAreKept_data()
{
    QTest::addColumn<int>("before"); // session files already there, one a day
    QTest::newRow("first-session-makes-the-folder") << 0;
    QTest::newRow("room-left") << SessionLog::kKeptSessions - 1;
    QTest::newRow("oldest-goes") << SessionLog::kKeptSessions;
    QTest::newRow("many-old-ones-go") << SessionLog::kKeptSessions + 7;
}

void TestSessionLog::lastSessionsAreKept()
{
    QFETCH(int, before);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state/tovel-editor"));
    QStringList old;
    for (int i = 0; i < before; ++i) {
        QVERIFY(QDir().mkpath(folder));
        old.append(SessionLog::fileNameFor(kStart.addDays(i - before), 100 + i));
        QFile file(QDir(folder).filePath(old.last()));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Other files in the folder are not sessions and stay.
    if (before > 0) {
        QFile other(QDir(folder).filePath(QStringLiteral("notes.txt")));
        QVERIFY(other.open(QIODevice::WriteOnly));
    }
    QString error;
    const auto log = SessionLog::openInFolder(folder, kStart, error);
    QVERIFY2(log, qPrintable(error));
    QCOMPARE(QFileInfo(log->path()).fileName(),
             QStringLiteral("session-20260314-092653-589-%1.log").arg(QCoreApplication::applicationPid()));

    const QStringList kept = old.mid(std::max(0, before - (SessionLog::kKeptSessions - 1)));
    QStringList want = kept + QStringList{QFileInfo(log->path()).fileName()};
    if (before > 0)
        want.prepend(QStringLiteral("notes.txt"));
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), want);
}

void TestSessionLog::hugeLineIsCutWithItsLength()
{
    QTemporaryDir dir;
    QString error;
    auto log = SessionLog::openInFolder(dir.path(), kStart, error);
    QVERIFY2(log, qPrintable(error));
    const QString path = log->path();
    const qsizetype length = SessionLog::kMaxLineChars + 123456;
    log->append(QString(length, QLatin1Char('F')));
    log->append(QString(SessionLog::kMaxLineChars, QLatin1Char('0')));
    log->append(QStringLiteral("after"));
    log.reset(); // written when it goes
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 4); // and the empty text after the last line end
    QCOMPARE(lines[0], QByteArray(SessionLog::kMaxLineChars, 'F') + " ... 123456 more characters ("
                           + QByteArray::number(length) + " in all)");
    QCOMPARE(lines[1], QByteArray(SessionLog::kMaxLineChars, '0'));
    QCOMPARE(lines[2], QByteArray("after"));
}

void TestSessionLog::fileStopsAtItsLimitWithANote()
{
    QTemporaryDir dir;
    QString error;
    auto log = SessionLog::openInFolder(dir.path(), kStart, error);
    QVERIFY2(log, qPrintable(error));
    // Lines of a mebibyte: the limit falls inside the 64th.
    const QString line(SessionLog::kMaxLineChars - 1, QLatin1Char('5'));
    const int fitting = int(SessionLog::kMaxFileBytes / SessionLog::kMaxLineChars) - 1;
    for (int i = 0; i < fitting + 10; ++i)
        log->append(line);
    log->flush();
    QCOMPARE(log->error(), QString());
    const QByteArray bytes = readAll(log->path());
    QVERIFY(bytes.size() <= SessionLog::kMaxFileBytes);
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), fitting + 2);
    for (int i = 0; i < fitting; ++i)
        QVERIFY(lines[i] == line.toLatin1());
    QCOMPARE(lines[fitting], QByteArray("... the session log stops here: it has reached its limit of 67108864 bytes"));
}

void TestSessionLog::logFileIsAddedToRunAfterRun()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.log"));
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("kept from before\n") == 17);
    earlier.close();
    const QDateTime second = kStart.addSecs(60);
    for (const QDateTime &started : {kStart, second}) {
        QString error;
        auto log = SessionLog::openFile(path, started, error);
        QVERIFY2(log, qPrintable(error));
        log->append(QStringLiteral("received: 79"));
    }
    QCOMPARE(QString::fromUtf8(readAll(path)).split(QLatin1Char('\n')),
             (QStringList{QStringLiteral("kept from before"), SessionLog::headerLine(kStart),
                          QStringLiteral("received: 79"), SessionLog::headerLine(second),
                          QStringLiteral("received: 79"), QString()}));
}

void TestSessionLog::unwritablePlaces_data()
{
    QTest::addColumn<QString>("place"); // under the temporary folder
    QTest::addColumn<bool>("folder");   // openInFolder, else openFile
    QTest::addColumn<QString>("error"); // its start
    QTest::newRow("state-folder-is-a-file") << "file/tovel-editor" << true << "cannot create the folder";
    QTest::newRow("log-file-in-a-missing-folder") << "missing/trace.log" << false
                                                  << "@missing/trace.log cannot be written: the folder @missing does not exist";
    QTest::newRow("log-file-is-a-folder") << "folder" << false << "@folder is a folder, not a regular file";
    QTest::newRow("log-file-is-a-named-pipe") << "pipe" << false << "@pipe is a named pipe (FIFO), not a regular file";
}

void TestSessionLog::unwritablePlaces()
{
    QFETCH(QString, place);
    QFETCH(bool, folder);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600) == 0);
    error.replace(QLatin1Char('@'), dir.path() + QLatin1Char('/'));
    QString why;
    const auto log = folder ? SessionLog::openInFolder(dir.filePath(place), kStart, why)
                            : SessionLog::openFile(dir.filePath(place), kStart, why);
    QVERIFY(!log);
    QVERIFY2(why.startsWith(error), qPrintable(why));
}

QTEST_MAIN(TestSessionLog)
#include "tst_sessionlog.moc"
