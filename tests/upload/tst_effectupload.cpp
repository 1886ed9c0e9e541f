// Checking a program text before upload, the refusal messages, and reading a program file.
#include "protocol/effectupload.h"

#include <QStringEncoder>
#include <QtTest>

using namespace tovel;

Q_DECLARE_METATYPE(tovel::ProgramText::Fault)

class TestEffectUpload : public QObject {
    Q_OBJECT

private slots:
    void checkProgramText_data();
    void checkProgramText();
    void refusal_data();
    void refusal();
    void programFileText_data();
    void programFileText();
};

using Fault = ProgramText::Fault;

void TestEffectUpload::checkProgramText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");

    QTest::newRow("catalogue-line") << "0004A0FF" << Fault::None << "0004A0FF" << 0 << 0;
    QTest::newRow("file-ending-in-crlf") << "0004A0FF\r\n" << Fault::None << "0004A0FF" << 0 << 0;
    QTest::newRow("lines-blanks-tabs-lower-case")
        << " 00 04\ta0\nff \r\n\r\n" << Fault::None << "0004a0ff" << 0 << 0;
    QTest::newRow("odd-digit-count") << "0004A0F\r\n" << Fault::OddDigits << "0004A0F" << 0 << 0;
    QTest::newRow("odd-digits-split-over-lines") << "000\n4A\n" << Fault::OddDigits << "0004A" << 0 << 0;
    QTest::newRow("letter-beyond-f-on-second-line")
        << "0004\r\nA0G0\r\n" << Fault::NotHex << "" << 2 << 3;
    QTest::newRow("cr-alone-ends-a-line") << "00\r00\r0x" << Fault::NotHex << "" << 3 << 2;
    QTest::newRow("hex-prefix") << "0x0004" << Fault::NotHex << "" << 1 << 2;
    QTest::newRow("nul-byte-in-file") << QString("00") + QChar(0) + "04" << Fault::NotHex << "" << 1 << 3;
    QTest::newRow("empty") << "" << Fault::Empty << "" << 0 << 0;
    QTest::newRow("only-line-ends-and-blanks") << "\r\n \r\n\t" << Fault::Empty << "" << 0 << 0;
    // The longest length a header can announce.
    const QString longest = QStringLiteral("00FFFF") + QString(2 * 65532, QLatin1Char('F'));
    QTest::newRow("longest-upload-frame") << longest << Fault::None << longest << 0 << 0;
    QTest::newRow("bootloader-erase-command-is-no-program") << "43BCFF00" << Fault::NotAProgram << "43BCFF00" << 0 << 0;
    QTest::newRow("code-and-length-only") << "000003" << Fault::None << "000003" << 0 << 0;
    QTest::newRow("shorter-than-a-header") << "0000" << Fault::NotAProgram << "0000" << 0 << 0;
    QTest::newRow("announces-fewer-than-it-holds") << "000003FF" << Fault::ShortLength << "000003FF" << 0 << 0;
    // A delivered image announces more than it holds; the pedal takes it once the line is quiet.
    QTest::newRow("announces-more-than-it-holds") << "000800FF" << Fault::None << "000800FF" << 0 << 0;
    QTest::newRow("fills-transmit-buffer")
        << QString(2 * 65536, QLatin1Char('F')) << Fault::NotAProgram << QString(2 * 65536, QLatin1Char('F')) << 0 << 0;
    QTest::newRow("one-byte-beyond-transmit-buffer")
        << QString(2 * 65537, QLatin1Char('F')) << Fault::TooLarge << QString(2 * 65537, QLatin1Char('F')) << 0 << 0;
}

void TestEffectUpload::checkProgramText()
{
    QFETCH(QString, text);
    QFETCH(Fault, fault);
    QFETCH(QString, hex);
    QFETCH(int, line);
    QFETCH(int, column);
    const ProgramText program = tovel::checkProgramText(text);
    QCOMPARE(program.fault, fault);
    QCOMPARE(program.ok(), fault == Fault::None);
    if (fault == Fault::NotHex) {
        QCOMPARE(program.line, line);
        QCOMPARE(program.column, column);
        return;
    }
    QCOMPARE(program.hex, hex);
    QCOMPARE(program.bytes, int(hex.size() / 2));
}

void TestEffectUpload::refusal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString file = QStringLiteral("The file /tmp/a b.hex");
    QTest::newRow("odd") << "ABC" << file + " cannot be uploaded: it holds an odd number of hex digits (3)";
    QTest::newRow("letter")
        << "AB\nCZ" << file + " cannot be uploaded: line 2, column 2 holds \"Z\", which is not a hex digit";
    QTest::newRow("control-character-named-by-code")
        << QString("AB") + QChar(0x1B) << file + " cannot be uploaded: line 1, column 3 holds character U+001B, which is not a hex digit";
    QTest::newRow("empty") << "\n" << file + " cannot be uploaded: it holds no hex digits";
    QTest::newRow("too-large")
        << QString(2 * 70000, QLatin1Char('0'))
        << file + " cannot be uploaded: it holds 70000 bytes, the pedal takes at most 65536";
}

void TestEffectUpload::refusal()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(programRefusal(QStringLiteral("The file /tmp/a b.hex"), tovel::checkProgramText(text)), message);
}

void TestEffectUpload::programFileText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString text = QStringLiteral("00AB\r\n");
    QTest::newRow("plain-ascii") << text.toLatin1() << text;
    QTest::newRow("utf8-with-bom") << QByteArray("\xEF\xBB\xBF") + text.toLatin1() << text;
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("utf16le-with-bom") << QByteArray(utf16.encode(text)) << text;
}

void TestEffectUpload::programFileText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(tovel::programFileText(bytes), text);
}

QTEST_MAIN(TestEffectUpload)
#include "tst_effectupload.moc"
