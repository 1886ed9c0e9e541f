// The version check as an action, with no window: what the maker's site answers becomes the
// announced version or a typed failure with the windows' message.
#include "actions/versionactions.h"
#include "tests/update/httptestserver.h"
#include "update/versionrequest.h"
#include "update/website.h"

#include <QtTest>

using namespace tovel;
using namespace tovel::test;
using Behaviour = HttpTestServer::Behaviour;

class TestVersionActions : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void noHostAsksNothing();
    void answerComesLaterFromTheEventLoop();
};

void TestVersionActions::answers_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QString>("message"); // the failure's start; empty: none
    QTest::addColumn<bool>("answered");   // the site answered, whatever its status

    QTest::newRow("announces-a-version-with-its-line-end")
        << int(Behaviour::Answer) << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n3.1\n") << "3.1\n" << "" << true;
    QTest::newRow("page-not-found") << int(Behaviour::Answer)
                                    << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n") << ""
                                    << "Error: Not Found" << true;
    QTest::newRow("hangs-up-without-answer") << int(Behaviour::Hangup) << QByteArray() << ""
                                             << "Version check failed: " << false;
}

void TestVersionActions::answers()
{
    QFETCH(int, behaviour);
    QFETCH(QByteArray, response);
    QFETCH(QString, latest);
    QFETCH(QString, message);
    QFETCH(bool, answered);
    HttpTestServer server(Behaviour(behaviour), response);
    QVERIFY2(server.listen(), qPrintable(server.error()));
    WebSite site;
    site.base = server.baseUrl();
    site.timeout = std::chrono::seconds(20);

    const ActionResult<VersionCheck> result = checkLatestVersion(site);
    QVERIFY(result.value.asked);
    QCOMPARE(result.value.appVersion, QStringLiteral("3.0"));
    QCOMPARE(server.requests.size(), 1);
    QVERIFY(server.requests.first().startsWith("GET /download/tovel-version.php HTTP/1.1\r\n"));
    QCOMPARE(result.value.latest, latest);
    QCOMPARE(result.value.answered, answered);
    if (message.isEmpty()) {
        QVERIFY(!result.failure);
        return;
    }
    QVERIFY(result.failure);
    QCOMPARE(result.failure->kind, ActionFailure::Kind::Web);
    QCOMPARE(result.failure->exitStatus(), 6);
    QVERIFY2(result.failure->message.startsWith(message), qPrintable(result.failure->message));
}

void TestVersionActions::noHostAsksNothing()
{
    const ActionResult<VersionCheck> result = checkLatestVersion(WebSite::onHost(QString()));
    QVERIFY(!result.failure);
    QVERIFY(!result.value.asked);
    QCOMPARE(result.value.appVersion, QStringLiteral("3.0"));
    QObject parent;
    QVERIFY(!makeVersionCheck(WebSite::onHost(QString()), &parent, [](const ActionResult<VersionCheck> &) {}));
}

// The windows' form: the request is sent by start() and its result comes once, while the
// event loop turns, never from within start().
void TestVersionActions::answerComesLaterFromTheEventLoop()
{
    HttpTestServer server(Behaviour::Answer, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n3.2");
    QVERIFY2(server.listen(), qPrintable(server.error()));
    WebSite site;
    site.base = server.baseUrl();
    site.timeout = std::chrono::seconds(20);
    QObject parent;
    QList<ActionResult<VersionCheck>> results;
    VersionRequest *request = makeVersionCheck(site, &parent, [&](const ActionResult<VersionCheck> &check) {
        results.append(check);
    });
    QVERIFY(request);
    QTest::qWait(100);
    QVERIFY(server.requests.isEmpty()); // made, not sent
    request->start();
    QVERIFY(results.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 20000);
    QVERIFY(!results.first().failure);
    QVERIFY(results.first().value.asked && results.first().value.answered);
    QCOMPARE(results.first().value.latest, QStringLiteral("3.2"));
    QCOMPARE(server.requests.size(), 1);
}

QTEST_MAIN(TestVersionActions)
#include "tst_versionactions.moc"
