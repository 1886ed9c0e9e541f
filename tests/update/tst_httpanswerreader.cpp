// Reading a web answer as it arrives: framing, and the bound on what a server can make us take.
#include "update/httpanswerreader.h"
#include "update/versiontext.h"

#include <QtTest>

using namespace tovel;
using State = HttpAnswerReader::State;
using Failure = HttpAnswerReader::Failure;

Q_DECLARE_METATYPE(HttpAnswerReader::State)
Q_DECLARE_METATYPE(HttpAnswerReader::Failure)

namespace {

QByteArray okHead(const QByteArray &headers)
{
    return "HTTP/1.1 200 OK\r\n" + headers + "\r\n";
}

// A head padded with a filler header to exactly `size` bytes.
QByteArray headOfSize(qsizetype size, const QByteArray &headers)
{
    const QByteArray bare = okHead(headers + "X-Filler: \r\n");
    return okHead(headers + "X-Filler: " + QByteArray(size - bare.size(), 'f') + "\r\n");
}

} // namespace

class TestHttpAnswerReader : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void TestHttpAnswerReader::answers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("thenClosed");
    QTest::addColumn<State>("state");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("cutShort");

    const auto done = [](const char *name, const QByteArray &bytes, bool closed, int status,
                         const QByteArray &reason, const QByteArray &body, bool cutShort = false) {
        QTest::newRow(name) << bytes << closed << State::Done << Failure::None << status << reason
                            << body << cutShort;
    };
    const auto failed = [](const char *name, const QByteArray &bytes, bool closed, Failure failure) {
        QTest::newRow(name) << bytes << closed << State::Failed << failure << 0 << QByteArray()
                            << QByteArray() << false;
    };

    done("sized-body", okHead("Content-Length: 3\r\n") + "3.0", false, 200, "OK", "3.0");
    done("bytes-after-the-answer-not-taken", okHead("Content-Length: 3\r\n") + "3.0HTTP/1.1 500 x",
         false, 200, "OK", "3.0");
    done("chunked-body-with-extensions",
         okHead("Transfer-Encoding: chunked\r\n") + "2;name=\"x\"\r\n3.\r\n1\r\n4\r\n0\r\nTrailer: t\r\n\r\n",
         false, 200, "OK", "3.4");
    done("chunked-after-another-coding-header", okHead("Transfer-Encoding: identity\r\nTransfer-Encoding: chunked\r\n")
         + "1\r\n5\r\n0\r\n\r\n", false, 200, "OK", "5");
    done("body-until-the-close", okHead("") + "3.2", true, 200, "OK", "3.2");
    QTest::newRow("body-until-the-close-still-open")
        << okHead("") + "3.2" << false << State::Body << Failure::None << 200 << QByteArray("OK")
        << QByteArray("3.2") << false;
    done("sized-body-cut-by-the-close", okHead("Content-Length: 100\r\n") + "3.0", true, 200, "OK", "3.0", true);
    done("chunked-body-cut-by-the-close", okHead("Transfer-Encoding: chunked\r\n") + "3\r\n3.", true, 200,
         "OK", "3.", true);
    done("line-ends-without-cr", "HTTP/1.0 200 OK\nContent-Length: 3\n\n3.0", false, 200, "OK", "3.0");
    done("blank-line-before-the-status", "\r\n" + okHead("Content-Length: 1\r\n") + "7", false, 200, "OK", "7");
    done("interim-answers-passed-over",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n"
         "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
         false, 404, "Not Found", "not found");
    done("no-content-has-no-body", "HTTP/1.1 204 No Content\r\n\r\n", false, 204, "No Content", "");
    done("status-without-reason-phrase", "HTTP/1.1 503 \r\nContent-Length: 0\r\n\r\n", false, 503, "", "");
    done("status-without-blank-after-the-code", "HTTP/1.1 503\r\nContent-Length: 0\r\n\r\n", false, 503, "", "");
    done("reason-phrase-as-sent", "HTTP/1.1 404 Not\x1b[2J \xe2\x80\xae" "Found\r\n\r\n", true, 404,
         "Not\x1b[2J \xe2\x80\xae" "Found", "");
    done("folded-length-header", okHead("Content-Length:\r\n 3\r\n") + "3.0", false, 200, "OK", "3.0");
    done("repeated-lengths-that-agree", okHead("Content-Length: 3, 3\r\ncontent-length: 3\r\n") + "3.0",
         false, 200, "OK", "3.0");
    done("body-kept-to-1-kib", okHead("Content-Length: 5000\r\n") + QByteArray(5000, '9'), false, 200,
         "OK", QByteArray(kMaxAnswerBytes, '9'));
    done("endless-body-ends-at-1-kib", okHead("") + QByteArray(kMaxResponseBytes, '7'), false, 200, "OK",
         QByteArray(kMaxAnswerBytes, '7'));
    done("answer-exactly-at-the-limit", headOfSize(kMaxResponseBytes - 3, "Content-Length: 3\r\n") + "3.0",
         false, 200, "OK", "3.0");

    failed("answer-one-byte-past-the-limit", headOfSize(kMaxResponseBytes - 2, "Content-Length: 3\r\n") + "3.0",
           false, Failure::TooLong);
    failed("endless-headers", "HTTP/1.1 200 OK\r\n" + QByteArray("X-Filler: 7777\r\n").repeated(2000),
           false, Failure::TooLong);
    failed("huge-header-line", okHead("X-Long: " + QByteArray(1024 * 1024, 'a') + "\r\n") + "3.0", false,
           Failure::TooLong);
    failed("huge-status-line", "HTTP/1.1 200 " + QByteArray(kMaxResponseBytes, 'K'), false, Failure::TooLong);
    failed("chunk-size-lines-past-the-limit",
           okHead("Transfer-Encoding: chunked\r\n") + "1;" + QByteArray(kMaxResponseBytes, 'e'), false,
           Failure::TooLong);
    failed("lengths-that-disagree", okHead("Content-Length: 3\r\nContent-Length: 4\r\n") + "3.0", false,
           Failure::BadFraming);
    failed("negative-length", okHead("Content-Length: -1\r\n"), false, Failure::BadFraming);
    failed("length-past-64-bits", okHead("Content-Length: 99999999999999999999\r\n"), false,
           Failure::BadFraming);
    failed("chunk-size-not-hex", okHead("Transfer-Encoding: chunked\r\n") + "zz\r\n", false, Failure::BadFraming);
    failed("chunk-size-past-60-bits", okHead("Transfer-Encoding: chunked\r\n") + "1000000000000000\r\n", false,
           Failure::BadFraming);
    failed("chunk-longer-than-its-size", okHead("Transfer-Encoding: chunked\r\n") + "2\r\n3.0\r\n", false,
           Failure::BadFraming);
    failed("not-http", "SSH-2.0-OpenSSH_9.2\r\n", false, Failure::NotHttp);
    failed("not-http-and-no-line-end", QByteArray(200, '\x16'), false, Failure::NotHttp);
    failed("http-2-status-line", "HTTP/2 200\r\n\r\n", false, Failure::NotHttp);
    failed("status-code-not-digits", "HTTP/1.1 2OO OK\r\n\r\n", false, Failure::NotHttp);
    failed("closed-before-a-byte", "", true, Failure::CutShort);
    failed("closed-in-the-head", "HTTP/1.1 200 OK\r\nContent-Le", true, Failure::CutShort);
}

// Every answer is read alike whether it comes whole or a byte at a time.
void TestHttpAnswerReader::answers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, thenClosed);
    QFETCH(State, state);
    QFETCH(Failure, failure);
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);
    QFETCH(bool, cutShort);

    for (const bool bytewise : {false, true}) {
        HttpAnswerReader reader(kMaxResponseBytes, kMaxAnswerBytes);
        if (bytewise) {
            for (qsizetype i = 0; i < bytes.size(); ++i)
                reader.feed(QByteArrayView(bytes).sliced(i, 1));
        } else {
            reader.feed(bytes);
        }
        if (thenClosed)
            reader.closed();
        const QByteArray how = bytewise ? "byte by byte" : "whole";
        QVERIFY2(reader.state() == state, how);
        QVERIFY2(reader.failure() == failure, how);
        if (state == State::Failed)
            continue;
        QCOMPARE(reader.statusCode(), status);
        QCOMPARE(reader.reasonPhrase(), reason);
        QCOMPARE(reader.body(), body);
        QCOMPARE(reader.bodyCutShort(), cutShort);
    }
}

QTEST_GUILESS_MAIN(TestHttpAnswerReader)
#include "tst_httpanswerreader.moc"
