// The version check and the Support entry of the whole editor, against real local servers.
#include "tests/support/editorfixture.h"
#include "tests/update/httptestserver.h"
#include "update/versionrequest.h"
#include "update/versiontext.h"

#include <QListWidget>
#include <QMenu>
#include <QSslConfiguration>
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

// While it lives, TLS clients in this process trust the given servers' certificates.
class TrustedCertificates {
public:
    explicit TrustedCertificates(const QList<QSslCertificate> &certificates)
        : m_saved(QSslConfiguration::defaultConfiguration())
    {
        QSslConfiguration trusting = m_saved;
        trusting.addCaCertificates(certificates);
        QSslConfiguration::setDefaultConfiguration(trusting);
    }
    ~TrustedCertificates() { QSslConfiguration::setDefaultConfiguration(m_saved); }

private:
    QSslConfiguration m_saved;
};

QByteArray redirect(const QByteArray &status, const QByteArray &location)
{
    QByteArray head = "HTTP/1.1 " + status + "\r\n";
    if (!location.isEmpty())
        head += "Location: " + location + "\r\n";
    return head + "Content-Length: 0\r\n\r\n";
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
    void redirects_data();
    void redirects();
    void certificateMustNameTheHost();
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
    // A right-to-left override, an isolate and a mark would turn the caption around.
    add("bidi-controls-in-body", Behaviour::Answer,
        answer200("3.\xe2\x80\xae" "7\xe2\x81\xa6\xe2\x80\x8f\x1b[1m"), "3.7[1m");
    add("status-text-with-controls-and-bidi", Behaviour::Answer,
        "HTTP/1.1 404 Not\x1b[2J \xe2\x80\xae" "Found\xe2\x81\xa9\r\nContent-Length: 0\r\n\r\n", "",
        {"Error: Not[2J Found"});
    add("long-status-text-shortened", Behaviour::Answer,
        "HTTP/1.1 404 " + QByteArray(1000, 'x') + "\r\nContent-Length: 0\r\n\r\n", "",
        {"Error: " + QString(kShownErrorChars - 1, QLatin1Char('x')) + QChar(0x2026)});

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

    QCOMPARE(f.app->versions.LatestVersionText, latest);
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
    const QString tooLong = QStringLiteral("Version check failed: The server's answer is longer than 16 KiB");
    QTest::newRow("endless-headers") << QUrl() << Behaviour::EndlessHeaders << QByteArray() << false << tooLong;
    QTest::newRow("huge-header-line")
        << QUrl() << Behaviour::Answer
        << "HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(10 * 1024 * 1024, 'a') + "\r\n\r\n3.0" << false
        << tooLong;
    // What came instead of HTTP is quoted, without the controls that would act on the screen.
    QTest::newRow("not-http-with-controls-and-bidi")
        << QUrl() << Behaviour::Answer << QByteArray("\x1b]0;title\x07SSH-2.0\xe2\x80\xae" "evil\r\n") << false
        << "Version check failed: The server's answer is not HTTP: ]0;titleSSH-2.0evil";
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
    QVERIFY(f.app->versions.LatestVersionText.isEmpty());
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

void TestVersionCheck::redirects_data()
{
    // The editor asks the first server; "{next}" in its responses stands for the second one's
    // address, which answers 3.9.
    QTest::addColumn<bool>("firstTls");
    QTest::addColumn<bool>("nextTls");
    QTest::addColumn<QList<QByteArray>>("firstResponses");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("secondRequestLine"); // the first server's; empty: none

    const QByteArray next = "{next}/download/tovel-version.php";
    QTest::newRow("answers-over-https-with-a-trusted-certificate")
        << true << false << QList<QByteArray>{answer200("3.8")} << "3.8" << QStringList() << QByteArray();
    QTest::newRow("redirect-to-another-server-followed")
        << false << false << QList<QByteArray>{redirect("302 Found", next)} << "3.9" << QStringList()
        << QByteArray();
    QTest::newRow("relative-redirect-on-the-same-server")
        << false << false << QList<QByteArray>{redirect("301 Moved Permanently", "/download/v2"), answer200("3.7")}
        << "3.7" << QStringList() << QByteArray("GET /download/v2 HTTP/1.1\r\n");
    QTest::newRow("redirect-from-http-to-https-followed")
        << false << true << QList<QByteArray>{redirect("307 Temporary Redirect", next)} << "3.9" << QStringList()
        << QByteArray();
    QTest::newRow("redirect-from-https-to-https-followed")
        << true << true << QList<QByteArray>{redirect("308 Permanent Redirect", next)} << "3.9" << QStringList()
        << QByteArray();
    // A redirect that is not followed is the answer, and its status text the message.
    QTest::newRow("redirect-from-https-to-http-not-followed")
        << true << false << QList<QByteArray>{redirect("302 Found", next)} << ""
        << QStringList{"Error: Found"} << QByteArray();
    QTest::newRow("redirect-loop-ends")
        << false << false << QList<QByteArray>{redirect("302 Found", "/download/tovel-version.php")} << ""
        << QStringList{"Error: Found"} << QByteArray("GET /download/tovel-version.php HTTP/1.1\r\n");
    QTest::newRow("redirect-to-another-scheme-not-followed")
        << false << false << QList<QByteArray>{redirect("301 Moved Permanently", "ftp://127.0.0.1/v")} << ""
        << QStringList{"Error: Moved Permanently"} << QByteArray();
    QTest::newRow("redirect-without-location-is-an-answer")
        << false << false << QList<QByteArray>{redirect("302 Found", "")} << ""
        << QStringList{"Error: Found"} << QByteArray();
}

void TestVersionCheck::redirects()
{
    QFETCH(bool, firstTls);
    QFETCH(bool, nextTls);
    QFETCH(QList<QByteArray>, firstResponses);
    QFETCH(QString, latest);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, secondRequestLine);

    HttpTestServer second(Behaviour::Answer, answer200("3.9"));
    QVERIFY2(second.listen(nextTls), qPrintable(second.error()));
    HttpTestServer first(Behaviour::Answer);
    QVERIFY2(first.listen(firstTls), qPrintable(first.error()));
    for (QByteArray &response : firstResponses)
        response.replace("{next}", second.baseUrl().toEncoded());
    first.responses = firstResponses;
    TrustedCertificates trust({first.certificate(), second.certificate()});

    EditorFixture f;
    startOn(f, first.baseUrl());
    runCheck(f);

    QCOMPARE(f.app->versions.LatestVersionText, latest);
    QCOMPARE(f.prompts.messages, messages);
    const bool followedAway = latest == "3.9";
    QCOMPARE(second.requests.size(), followedAway ? 1 : 0);
    if (!secondRequestLine.isEmpty()) {
        QVERIFY(first.requests.size() >= 2);
        QVERIFY2(first.requests.at(1).startsWith(secondRequestLine), first.requests.at(1).constData());
    }
    if (QByteArray(QTest::currentDataTag()) == "redirect-loop-ends")
        QCOMPARE(first.requests.size(), 51); // the first request and fifty redirects
    else if (secondRequestLine.isEmpty())
        QCOMPARE(first.requests.size(), 1);
}

// The certificate is trusted but made out to 127.0.0.1; the editor asks by another name.
void TestVersionCheck::certificateMustNameTheHost()
{
    HttpTestServer server(Behaviour::Answer, answer200("3.9"));
    QVERIFY2(server.listen(true), qPrintable(server.error()));
    TrustedCertificates trust({server.certificate()});
    QUrl base = server.baseUrl();
    base.setHost(QStringLiteral("localhost"));
    EditorFixture f;
    startOn(f, base);
    runCheck(f);
    QCOMPARE(f.prompts.messages,
             QStringList{"Version check failed: SSL handshake failed: The host name did not match any "
                         "of the valid hosts for this certificate"});
    QVERIFY(f.app->versions.LatestVersionText.isEmpty());
    QVERIFY(server.requests.isEmpty());
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
