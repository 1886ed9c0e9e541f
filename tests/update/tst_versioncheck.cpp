// The version check and the Support entry of the whole editor, against real local servers.
#include "tests/support/editorfixture.h"
#include "tests/update/httptestserver.h"
#include "update/versionrequest.h"

#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QtTest>

#include <chrono>

using namespace tovel;
using namespace tovel::test;
using namespace std::chrono_literals;
using Behaviour = HttpTestServer::Behaviour;

Q_DECLARE_METATYPE(HttpTestServer::Behaviour)

namespace {

const QString kNewVersion = QStringLiteral("New version available:");

QByteArray answer200(const QByteArray &body)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
           + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The editor on a web site at base, started.
void startOn(EditorFixture &f, const QUrl &base, std::chrono::milliseconds timeout = 10s)
{
    f.site.base = base;
    f.site.timeout = timeout;
    f.start();
}

// Timer2's first tick, and the wait for the answer.
void runCheck(EditorFixture &f)
{
    f.main().checkmostrecentversiononwebsite();
    QVERIFY(f.main().NetHTTPRequest1->isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!f.main().NetHTTPRequest1->isRunning(), 20000);
}

} // namespace

class TestVersionCheck : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void failures_data();
    void failures();
    void firstTickAfterASecond();
    void timeoutLeavesTheWindowAnswering();
    void noHostAsksNothing();
    void support_data();
    void support();
};

void TestVersionCheck::answers_data()
{
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("latest"); // LatestVersionText
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("messages");

    const QString shown = kNewVersion + QLatin1Char(' ');
    const auto add = [&](const char *name, Behaviour behaviour, const QByteArray &response,
                         const QString &latest, const QStringList &messages = {}) {
        QTest::newRow(name) << behaviour << response << latest << shown + latest << messages;
    };
    add("announces-the-running-version-without-comparing", Behaviour::Answer, answer200("3.0"), "3.0");
    add("announcement-ends-in-a-line-end", Behaviour::Answer, answer200("3.1\r\n"), "3.1\r\n");
    add("body-until-the-server-closes", Behaviour::Answer,
        "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n3.2", "3.2");
    add("chunked-body", Behaviour::Answer,
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n3.\r\n1\r\n4\r\n0\r\n\r\n", "3.4");
    add("not-found", Behaviour::Answer,
        "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", "", {"Error: Not Found"});
    add("status-without-reason-phrase", Behaviour::Answer,
        "HTTP/1.1 503 \r\nContent-Length: 0\r\n\r\n", "", {"Error: 503"});
    add("control-bytes-in-body", Behaviour::Answer,
        answer200(QByteArray("3\x00.\x07" "5\x1b", 6)), "3.5");

    // A lone '&' would underline the next letter instead of showing.
    QTest::newRow("ampersand-shown-as-sent") << Behaviour::Answer << answer200("R&D 3.6") << "R&D 3.6"
                                             << shown + "R&&D 3.6" << QStringList();
    // 1 KiB is read; the caption shows 63 characters of it and an ellipsis.
    QTest::newRow("ten-megabyte-body")
        << Behaviour::Answer << answer200(QByteArray(10 * 1024 * 1024, '4'))
        << QString(1024, QLatin1Char('4')) << shown + QString(63, QLatin1Char('4')) + QChar(0x2026)
        << QStringList();
    const QString guitar = QString::fromUtf8("\xf0\x9f\x8e\xb8"); // two UTF-16 units
    QTest::newRow("character-kept-whole-at-the-cut")
        << Behaviour::Answer << answer200(QByteArray(62, 'a') + guitar.toUtf8() + "tail")
        << QString(62, QLatin1Char('a')) + guitar + "tail"
        << shown + QString(62, QLatin1Char('a')) + QChar(0x2026) << QStringList();
    // Only a reader that stops at its limit can finish this one.
    QTest::newRow("endless-body")
        << Behaviour::EndlessBody << QByteArray() << QString(1024, QLatin1Char('7'))
        << shown + QString(63, QLatin1Char('7')) + QChar(0x2026) << QStringList();
}

void TestVersionCheck::answers()
{
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, response);
    QFETCH(QString, latest);
    QFETCH(QString, caption);
    QFETCH(QStringList, messages);

    HttpTestServer server(behaviour, response);
    QVERIFY2(server.listen(), qPrintable(server.error()));
    EditorFixture f;
    startOn(f, server.baseUrl());
    runCheck(f);

    QCOMPARE(f.app->state.LatestVersionText, latest);
    QCOMPARE(f.main().menuNewAppVersion->text(), caption);
    QCOMPARE(f.prompts.messages, messages);
    QVERIFY(!f.main().Timer2->isActive()); // once per start
    QCOMPARE(server.requests.size(), 1);
    QVERIFY2(server.requests.first().startsWith("GET /download/tovel-version.php HTTP/1.1\r\n"),
             server.requests.first().constData());
    if (const QString dir = qEnvironmentVariable("TOVEL_GRAB_DIR"); !dir.isEmpty()) {
        f.main().show();
        f.main().menuHelp->popup(f.main().mapToGlobal(QPoint(0, 24)));
        QTest::qWait(200);
        f.main().menuHelp->grab().save(dir + QStringLiteral("/help-") + QTest::currentDataTag()
                                       + QStringLiteral(".png"));
    }
}

void TestVersionCheck::failures_data()
{
    QTest::addColumn<QUrl>("base"); // empty: the server's
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("message");

    QTest::newRow("connection-refused") << HttpTestServer::refusingUrl() << Behaviour::Answer
                                        << QByteArray() << false
                                        << "Version check failed: Connection refused";
    QTest::newRow("hangs-up-without-answering")
        << QUrl() << Behaviour::Hangup << QByteArray() << false
        << "Version check failed: Connection closed";
    QTest::newRow("body-cut-short")
        << QUrl() << Behaviour::Answer
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n3.0") << false
        << "Version check failed: Connection closed";
    QTest::newRow("self-signed-certificate")
        << QUrl() << Behaviour::Answer << answer200("3.9") << true
        << "Version check failed: SSL handshake failed: The certificate is self-signed, and untrusted";
}

void TestVersionCheck::failures()
{
    QFETCH(QUrl, base);
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, response);
    QFETCH(bool, tls);
    QFETCH(QString, message);

    HttpTestServer server(behaviour, response);
    if (base.isEmpty()) {
        QVERIFY2(server.listen(tls), qPrintable(server.error()));
        base = server.baseUrl();
    }
    EditorFixture f;
    startOn(f, base);
    runCheck(f);

    // One message, through the general error report; the entry keeps its caption.
    QCOMPARE(f.prompts.messages, QStringList{message});
    QCOMPARE(f.main().menuNewAppVersion->text(), kNewVersion);
    QVERIFY(f.app->state.LatestVersionText.isEmpty());
}

void TestVersionCheck::firstTickAfterASecond()
{
    HttpTestServer server(Behaviour::Answer,
                          "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    QVERIFY2(server.listen(), qPrintable(server.error()));
    EditorFixture f;
    startOn(f, server.baseUrl());
    QTimer *timer = f.main().Timer2;
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QCOMPARE(f.main().NetHTTPRequest1->url().path(), QStringLiteral("/download/tovel-version.php"));
    QCoreApplication::processEvents();
    QVERIFY(server.requests.isEmpty()); // start-up itself sends nothing

    QTRY_COMPARE_WITH_TIMEOUT(f.prompts.messages, QStringList{"Error: Not Found"}, 10000);
    QVERIFY(!timer->isActive());
    QTest::qWait(1500); // a second tick would have come by now
    QCOMPARE(server.requests.size(), 1);
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.main().menuNewAppVersion->text(), kNewVersion + QLatin1Char(' '));
}

void TestVersionCheck::timeoutLeavesTheWindowAnswering()
{
    HttpTestServer server(Behaviour::Silent);
    QVERIFY2(server.listen(), qPrintable(server.error()));
    EditorFixture f;
    startOn(f, server.baseUrl(), 1000ms);
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));

    f.main().checkmostrecentversiononwebsite();
    QTRY_COMPARE(server.requests.size(), 1); // asked; no answer will come

    // A click on a category while the site is silent is handled at once.
    QListWidget *categories = f.main().lstCategory;
    QTest::mouseClick(categories->viewport(), Qt::LeftButton, {},
                      categories->visualItemRect(categories->item(0)).center());
    QVERIFY(f.main().lstEffects->count() > 0);
    QVERIFY(f.main().NetHTTPRequest1->isRunning());
    QVERIFY(f.prompts.messages.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(
        f.prompts.messages,
        QStringList{"Version check failed: The server did not answer within 1 s"}, 10000);
    QCOMPARE(f.main().menuNewAppVersion->text(), kNewVersion);
}

void TestVersionCheck::noHostAsksNothing()
{
    EditorFixture f;
    f.start();
    QVERIFY(f.main().NetHTTPRequest1 == nullptr);
    f.main().checkmostrecentversiononwebsite();
    QVERIFY(!f.main().Timer2->isActive());
    QCOMPARE(f.main().menuNewAppVersion->text(), kNewVersion);
    QVERIFY(f.prompts.messages.isEmpty());
}

void TestVersionCheck::support_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("browserOpens");
    QTest::addColumn<QList<QUrl>>("opened");
    QTest::addColumn<QStringList>("messages");

    const QUrl page(QStringLiteral("https://site.test/contact-us/"));
    QTest::newRow("opens-the-contact-page") << "site.test" << true << QList<QUrl>{page} << QStringList();
    QTest::newRow("host-with-port")
        << "site.test:8443" << true
        << QList<QUrl>{QUrl(QStringLiteral("https://site.test:8443/contact-us/"))} << QStringList();
    QTest::newRow("no-browser-answers")
        << "site.test" << false << QList<QUrl>{page}
        << QStringList{"No web browser could be opened. The support page is at "
                       "https://site.test/contact-us/"};
    QTest::newRow("build-without-host")
        << "" << true << QList<QUrl>()
        << QStringList{"This build of the editor has no support address."};
}

void TestVersionCheck::support()
{
    QFETCH(QString, host);
    QFETCH(bool, browserOpens);
    QFETCH(QList<QUrl>, opened);
    QFETCH(QStringList, messages);

    EditorFixture f;
    f.site = WebSite::onHost(host);
    f.browser.opens = browserOpens;
    f.start();
    f.click(f.main().menuSupport);
    QCOMPARE(f.browser.opened, opened);
    QCOMPARE(f.prompts.messages, messages);
}

QTEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
