// The real message box with a picture: its text whole above the picture, closed by OK.
#include "app/widgetprompts.h"

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovel;

class TestWidgetPrompts : public QObject {
    Q_OBJECT

private slots:
    void messageWithPicture_data();
    void messageWithPicture();
    void pagesAreFoundInstalledOrBesideTheProgram();
};

void TestWidgetPrompts::pagesAreFoundInstalledOrBesideTheProgram()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A build tree: the pages beside the program.
    const QString build = root.path() + "/build";
    QVERIFY(QDir().mkpath(build));
    QCOMPARE(DesktopFolders::dataFolderFor(build), build);
    // An installation: bin/ beside share/tovel-editor, whatever the prefix.
    const QString prefix = root.path() + "/opt/with space#1";
    QVERIFY(QDir().mkpath(prefix + "/bin"));
    QVERIFY(QDir().mkpath(prefix + "/share/tovel-editor"));
    QCOMPARE(DesktopFolders::dataFolderFor(prefix + "/bin"),
             QDir(prefix + "/share/tovel-editor").canonicalPath());
}

void TestWidgetPrompts::messageWithPicture_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<QSize>("shown"); // the picture's size on screen; empty: no picture

    QImage image(440, 330, QImage::Format_RGB32);
    image.fill(Qt::white);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QTest::newRow("picture-below-the-text") << png << QSize(440, 330);
    QTest::newRow("bytes-that-are-no-picture-show-the-text-alone") << QByteArray("not a png") << QSize();
}

void TestWidgetPrompts::messageWithPicture()
{
    QFETCH(QByteArray, png);
    QFETCH(QSize, shown);
    const QString text = QStringLiteral("Selected file data:\r\nName: cab.wav\r\n"
                                        "Samples read from the data chunk at byte 80, past a 40-byte extensible "
                                        "format chunk and a fact chunk.");
    QString seenText;
    QSize seenPicture;
    bool textAbovePicture = true;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(box);
        const auto labels = box->findChildren<QLabel *>();
        for (QLabel *label : labels) {
            if (label->objectName() == QLatin1String("picture"))
                seenPicture = label->pixmap().size();
            else
                seenText = label->text();
        }
        if (auto *picture = box->findChild<QLabel *>(QStringLiteral("picture")))
            for (QLabel *label : labels)
                if (label != picture)
                    textAbovePicture = label->geometry().bottom() < picture->geometry().top()
                                       && label->width() >= label->sizeHint().width();
        box->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    WidgetPrompts prompts;
    prompts.showMessageWithPicture(text, png);
    QCOMPARE(seenText, text);
    QCOMPARE(seenPicture, shown.isValid() ? shown : QSize());
    QVERIFY(textAbovePicture);
}

QTEST_MAIN(TestWidgetPrompts)
#include "tst_widgetprompts.moc"
