// The one way files are written: what each kind of name gets, whole-file writes and appends
// alike, and that nothing that is not a regular file is ever replaced or written into.
#include "core/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace tovel;

namespace {

const QByteArray kOld = "old content\n";
const QByteArray kNew = "new content\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct stat lookAt(const QString &path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A small tmpfs of our own (as root, where mounts are allowed): a disk that fills, or one that
// is read-only.
struct SmallDisk {
    QString path;
    bool mounted = false;
    bool mount(const QString &where, const char *options, unsigned long flags = 0)
    {
        path = where;
        QDir().mkpath(where);
        mounted = ::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", flags, options) == 0;
        return mounted;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
};

// Where mounts are not allowed, a full disk is played by a file-size limit: the kernel then
// takes a write only in part, as a full disk does.
struct FileSizeLimit {
    rlimit before {};
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit limit = before;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &before); }
};

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

private slots:
    void eachKindOfName_data();
    void eachKindOfName();
    void readOnlyFolder();
    void fullDiskKeepsTheOldFile();
};

void TestSafeFile::eachKindOfName_data()
{
    QTest::addColumn<QString>("place");  // what the name is, made by the test
    QTest::addColumn<bool>("append");    // openForAppend, else writeFileSafely
    QTest::addColumn<QString>("refusal"); // the reason, "@" for the name's path; empty: written

    for (const bool append : {false, true}) {
        const QString how = append ? QStringLiteral("append-") : QStringLiteral("replace-");
        auto row = [&](const char *name) -> QTestData & { return QTest::newRow(qPrintable(how + QLatin1String(name))); };
        row("regular-file") << "regular" << append << "";
        row("new-name-in-an-existing-folder") << "new" << append << "";
        row("link-to-a-regular-file") << "link-to-regular" << append << "";
        row("new-name-in-a-missing-folder") << "missing-folder" << append
                                            << "@ cannot be written: the folder %1 does not exist";
        row("named-pipe") << "fifo" << append << "@ is a named pipe (FIFO), not a regular file";
        row("device-node") << "device" << append << "@ is a character device, not a regular file";
        row("folder") << "folder" << append << "@ is a folder, not a regular file";
        row("link-to-a-device") << "link-to-device" << append << "@ leads to %2, a character device, not a regular file";
        row("link-to-nothing") << "link-to-nothing" << append << "@ is a link that leads to nothing";
    }
}

void TestSafeFile::eachKindOfName()
{
    QFETCH(QString, place);
    QFETCH(bool, append);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString regular = dir.filePath(QStringLiteral("regular.txt"));
    QFile seed(regular);
    QVERIFY(seed.open(QIODevice::WriteOnly) && seed.write(kOld) == kOld.size());
    seed.close();
    // A device node of our own where we may make one (root): a mistake then harms no real one.
    QString device = dir.filePath(QStringLiteral("null-device"));
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        device = QStringLiteral("/dev/null");

    QString path = dir.filePath(QStringLiteral("target"));
    if (place == QLatin1String("regular"))
        path = regular;
    else if (place == QLatin1String("missing-folder"))
        path = dir.filePath(QStringLiteral("missing/target"));
    else if (place == QLatin1String("fifo"))
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    else if (place == QLatin1String("device"))
        path = device;
    else if (place == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target")));
    else if (place == QLatin1String("link-to-regular"))
        QVERIFY(QFile::link(regular, path));
    else if (place == QLatin1String("link-to-device"))
        QVERIFY(QFile::link(device, path));
    else if (place == QLatin1String("link-to-nothing"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    const struct stat before = lookAt(path);
    const auto entries = [&dir] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    };
    const QStringList entriesBefore = entries();

    QString why;
    if (append) {
        QFile file(path);
        why = openForAppend(file);
        if (why.isEmpty())
            QCOMPARE(file.write(kNew), qint64(kNew.size()));
    } else {
        why = writeFileSafely(path, kNew);
    }

    if (refusal.isEmpty()) {
        QCOMPARE(why, QString());
        const bool hadOld = place == QLatin1String("regular") || place == QLatin1String("link-to-regular");
        QCOMPARE(readAll(path), (append && hadOld ? kOld : QByteArray()) + kNew);
        // A link stays a link: what it leads to is what was written.
        if (place == QLatin1String("link-to-regular"))
            QVERIFY(QFileInfo(path).isSymLink());
        return;
    }
    refusal.replace(QLatin1Char('@'), path);
    if (refusal.contains(QLatin1String("%1")))
        refusal = refusal.arg(dir.filePath(QStringLiteral("missing")));
    if (refusal.contains(QLatin1String("%2")))
        refusal = refusal.arg(QFileInfo(device).canonicalFilePath());
    QCOMPARE(why, refusal);
    // Nothing replaced, nothing made, nothing written anywhere.
    const struct stat after = lookAt(path);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(entries(), entriesBefore);
    QCOMPARE(readAll(regular), kOld);
}

void TestSafeFile::readOnlyFolder()
{
    QTemporaryDir dir;
    SmallDisk disk;
    const QString folder = dir.filePath(QStringLiteral("read-only"));
    // Root writes into any folder whatever its mode: a read-only mount holds against root too.
    if (!disk.mount(folder, "size=64k", MS_RDONLY)) {
        if (::geteuid() == 0)
            QSKIP("no read-only mount can be made here, and root writes into a folder of any mode");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const QString path = folder + QStringLiteral("/config.txt");
    const QString why = writeFileSafely(path, kNew);
    QVERIFY2(why.startsWith(path + QStringLiteral(" cannot be written: ")), qPrintable(why));
    QFile file(path);
    QVERIFY(openForAppend(file).startsWith(path + QStringLiteral(" cannot be written: ")));
    QVERIFY(!QFileInfo::exists(path));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestSafeFile::fullDiskKeepsTheOldFile()
{
    QTemporaryDir dir;
    SmallDisk disk;
    const bool mounted = disk.mount(dir.filePath(QStringLiteral("small")), "size=16k");
    const QString folder = mounted ? disk.path : dir.path();
    const QString path = folder + QStringLiteral("/backup.bin");
    QCOMPARE(writeFileSafely(path, kOld), QString());

    const QByteArray flash(128 * 1024, '\x5a');
    QString why;
    {
        std::optional<FileSizeLimit> limit;
        if (!mounted)
            limit.emplace(16 * 1024);
        why = writeFileSafely(path, flash);
    }
    const QString expected = mounted ? QStringLiteral("No space left on device") : QStringLiteral("File too large");
    QVERIFY2(why.startsWith(path + QStringLiteral(" cannot be written: ")) && why.contains(expected), qPrintable(why));
    QCOMPARE(readAll(path), kOld);
    // No half-written file left beside it either.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("backup.bin")});
}

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
