// Files that are not regular files where the editor reads one: a named pipe (whose opening
// waits for a writer that never comes), a folder, a device. Each place refuses them unopened,
// and says what the file is. A watch on each pipe lets a reader through, so a place that opens
// it fails here instead of hanging the test.
#include "tests/support/editorfixture.h"
#include "tests/support/fifowatch.h"

#include "catalogue/categorytable.h"
#include "config/configurationfile.h"
#include "ir/normalisechoice.h"
#include "look/lookchoice.h"
#include "look/lookresources.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace tovel;
using namespace tovel::test;

namespace {

const QString kEffect = QStringLiteral("Moss Verb");
const QString kLoader = QStringLiteral("Basic IR Loader");

// What the refusal calls each kind of file.
QString kindText(const QString &kind)
{
    if (kind == QLatin1String("named-pipe"))
        return QStringLiteral("a named pipe (FIFO)");
    if (kind == QLatin1String("folder"))
        return QStringLiteral("a folder");
    return QStringLiteral("a character device");
}

// Puts a file of the kind at path: a watched named pipe, a folder, or a link to /dev/null.
std::unique_ptr<FifoWatch> makeSpecial(const QString &kind, const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    if (kind == QLatin1String("named-pipe")) {
        auto watch = std::make_unique<FifoWatch>(path);
        if (!watch->made())
            qFatal("cannot make the named pipe %s", qPrintable(path));
        return watch;
    }
    const bool made = kind == QLatin1String("folder") ? QDir().mkpath(path)
                                                      : QFile::link(QStringLiteral("/dev/null"), path);
    if (!made)
        qFatal("cannot make %s", qPrintable(path));
    return nullptr;
}

void addKinds(const char *place)
{
    for (const char *kind : {"named-pipe", "folder", "device"})
        QTest::addRow("%s-%s", place, kind) << QString::fromLatin1(place) << QString::fromLatin1(kind);
}

struct Editor : EditorFixture {
    Editor() { startOnVirtualPedal(); }

    // The effect chosen in the browser, its parameter window open.
    void select(const QString &category, const QString &effect)
    {
        QListWidget *categories = main().lstCategory;
        for (int i = 0; i < int(CategoryTable.size()); ++i) {
            if (category == QLatin1String(CategoryTable[i].caption))
                emit categories->itemClicked(categories->item(i));
        }
        const auto found = main().lstEffects->findItems(effect, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(effect));
        emit main().lstEffects->itemClicked(found.first());
        prompts.messages.clear();
    }
};

} // namespace

class TestSpecialFiles : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { qApp->setStyleSheet(QString()); }
    void chosenFile_data();
    void chosenFile();
    void startUpFile_data();
    void startUpFile();
};

void TestSpecialFiles::chosenFile_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("kind");
    addKinds("load-ir");
    addKinds("load-configuration");
    addKinds("load-configuration-from");
    addKinds("upload-file");
    addKinds("firmware-from-file");
}

void TestSpecialFiles::chosenFile()
{
    QFETCH(QString, place);
    QFETCH(QString, kind);
    Editor f;
    const QString root = f.folders.root();
    QString path;
    std::unique_ptr<FifoWatch> watch;
    if (place == QLatin1String("load-ir")) {
        f.select(QStringLiteral("Impulse Response"), kLoader);
        path = root + QStringLiteral("/cab.wav");
        watch = makeSpecial(kind, path);
        f.prompts.scriptFile(path);
        f.click(f.main().menuLoadIR);
    } else if (place == QLatin1String("load-configuration")) {
        f.select(QStringLiteral("Other"), kEffect);
        path = configurationPath(f.folders.documents(), kEffect);
        watch = makeSpecial(kind, path);
        f.click(f.main().menuLoadConfiguration);
    } else if (place == QLatin1String("load-configuration-from")) {
        f.select(QStringLiteral("Other"), kEffect);
        path = root + QStringLiteral("/settings.txt");
        watch = makeSpecial(kind, path);
        f.prompts.scriptFile(path);
        f.click(f.main().menuLoadConfigurationFrom);
    } else if (place == QLatin1String("upload-file")) {
        path = root + QStringLiteral("/program.hex");
        watch = makeSpecial(kind, path);
        f.prompts.scriptFile(path);
        f.click(f.main().btnUploadFile);
    } else {
        f.click(f.main().menuStartFirmwareUpgrade);
        path = root + QStringLiteral("/image.bin");
        watch = makeSpecial(kind, path);
        f.prompts.scriptFile(path);
        QComboBox *choice = f.app->formFirmwareUpgrade()->cmbFirmwareChoose;
        choice->setCurrentIndex(TformFirmwareUpgrade::itmFromFile);
        emit choice->activated(TformFirmwareUpgrade::itmFromFile);
    }

    QVERIFY2(!watch || !watch->readerCame(), "the named pipe was opened for reading");
    QCOMPARE(f.prompts.surprises, QStringList());
    QCOMPARE(f.prompts.messages.size(), 1);
    const QString said = QFileInfo(path).fileName() + QStringLiteral(" is ") + kindText(kind)
                         + QStringLiteral(", not a regular file");
    QVERIFY2(f.prompts.messages.first().contains(said), qPrintable(f.prompts.messages.first()));
    QVERIFY(f.app->session().ir.IrProgramText.isEmpty());
    QVERIFY(f.pedal().frameLog().isEmpty());
}

void TestSpecialFiles::startUpFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind");
    for (const char *file : {"style.txt", "normalise_ir.txt"}) {
        for (const char *kind : {"named-pipe", "folder"})
            QTest::addRow("%s-%s", file, kind) << QString::fromLatin1(file) << QString::fromLatin1(kind);
    }
}

void TestSpecialFiles::startUpFile()
{
    QFETCH(QString, file);
    QFETCH(QString, kind);
    qApp->setStyleSheet(QStringLiteral("QWidget { color: #123456; }"));
    EditorFixture f;
    const bool look = file == QLatin1String("style.txt");
    const QString path = look ? lookChoicePath(f.folders.documents()) : normaliseChoicePath(f.folders.documents());
    const auto watch = makeSpecial(kind, path);
    f.start();

    // Start-up carries on with what a first start has, and the console says why.
    QVERIFY2(!watch || !watch->readerCame(), "the named pipe was opened for reading");
    QCOMPARE(f.prompts.messages, QStringList());
    const QString what = file + QStringLiteral(" is ") + kindText(kind) + QStringLiteral(", not a regular file");
    QCOMPARE(f.consoleLines(),
             QStringList{look ? QStringLiteral("Look choice not read from %1: %2; look 0 is shown.").arg(path, what)
                              : QStringLiteral("Normalise IR choice not read from %1: %2; Normalise IR is off.")
                                    .arg(path, what)});
    QCOMPARE(qApp->styleSheet(), *lookStyleSheet(kDefaultLook));
    QVERIFY(!f.main().menuNormaliseIR->isChecked());
}

QTEST_MAIN(TestSpecialFiles)
#include "tst_specialfiles.moc"
