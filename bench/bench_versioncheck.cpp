// The version check against an answer far larger than a version: time to the caption's text and
// what the check costs in memory, beside a reader that takes the whole body; and against a server
// whose headers never end, with the editor's own time-out.
//   bench_versioncheck            runs the cases against a server in a child process
//   bench_versioncheck --serve    the server: prints its port, then serves until killed
// The server lives in its own process so that its send buffers do not count in the figures.
#include "bench/benchresult.h"
#include "tests/update/httptestserver.h"
#include "update/versionrequest.h"
#include "update/website.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>
#include <cstdio>

using namespace tovel;
using namespace tovel::test;

namespace {

// 100 MB; 1 MB in the short run.
qint64 bodyBytes()
{
    return qint64(tovel::bench::amount(100, 1)) * 1024 * 1024;
}

// Resident set in KiB, now (VmRSS) and at its peak so far (VmHWM).
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts the peak (VmHWM) afresh at the resident set of now, so one case's peak does not hide the
// next one's.
void resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

int serve(const QByteArray &mode)
{
    using Behaviour = HttpTestServer::Behaviour;
    QByteArray response;
    Behaviour behaviour = Behaviour::Answer;
    if (mode == "endless")
        behaviour = Behaviour::EndlessBody;
    else if (mode == "endless-headers")
        behaviour = Behaviour::EndlessHeaders;
    else
        response = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(bodyBytes()) + "\r\n\r\n"
                   + QByteArray(bodyBytes(), '4');
    HttpTestServer server(behaviour, response);
    if (!server.listen())
        return 1;
    std::printf("%d\n", server.baseUrl().port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

struct Figures {
    double ms = 0;
    qint64 bodyBytes = 0;
    qint64 rssGrowthKiB = 0;
    qint64 peakGrowthKiB = 0;
    QString error;
};

Figures runCheck(const QUrl &url, std::chrono::milliseconds timeout)
{
    resetPeak();
    const qint64 rss0 = statusKiB("VmRSS:"), peak0 = statusKiB("VmHWM:");
    VersionRequest request(url, timeout);
    QEventLoop loop;
    Figures f;
    QObject::connect(&request, &VersionRequest::completed, &loop,
                     [&](int, const QByteArray &, const QByteArray &body) {
                         f.bodyBytes = body.size();
                         loop.quit();
                     });
    QObject::connect(&request, &VersionRequest::failed, &loop, [&](const QString &e) {
        f.error = e;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    request.start();
    loop.exec();
    f.ms = timer.nsecsElapsed() / 1e6;
    f.rssGrowthKiB = statusKiB("VmRSS:") - rss0;
    f.peakGrowthKiB = statusKiB("VmHWM:") - peak0;
    return f;
}

// What a reader without a bound does: the whole body, then the caption.
Figures runReadAll(const QUrl &url, std::chrono::milliseconds timeout)
{
    resetPeak();
    const qint64 rss0 = statusKiB("VmRSS:"), peak0 = statusKiB("VmHWM:");
    QNetworkAccessManager manager;
    QElapsedTimer timer;
    timer.start();
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeout, reply, &QNetworkReply::abort);
    loop.exec();
    Figures f;
    f.bodyBytes = reply->isOpen() ? reply->readAll().size() : 0;
    f.ms = timer.nsecsElapsed() / 1e6;
    delete reply;
    f.rssGrowthKiB = statusKiB("VmRSS:") - rss0;
    f.peakGrowthKiB = statusKiB("VmHWM:") - peak0;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--serve")
        return serve(argv[2]);

    struct Case {
        const char *name;
        const char *mode;
        bool bounded;
    };
    // The first case also pays for loading the network stack: a warm-up run, not shown.
    const Case cases[] = {
        {nullptr, "endless", true},
        {"VersionRequest, 100 MB body", "sized", true},
        {"VersionRequest, endless body", "endless", true},
        {"whole-body reader, 100 MB body", "sized", false},
        {"VersionRequest, endless headers", "endless-headers", true},
        {"whole-answer reader, endless headers", "endless-headers", false},
    };
    // The editor's own time-out where a server may keep the check busy until it ends.
    // (The short run waits half a second instead.)
    const std::chrono::milliseconds editorTimeout =
        tovel::bench::shortRun() ? std::chrono::milliseconds(500) : WebSite().timeout;
    std::printf("%-34s %10s %12s %14s %14s\n", "case", "ms", "body bytes", "RSS +KiB", "peak +KiB");
    Figures figures[std::size(cases)];
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        QProcess server;
        server.start(QCoreApplication::applicationFilePath(), {"--serve", c.mode});
        if (!server.waitForReadyRead(30000))
            return 1;
        QUrl url(QStringLiteral("http://127.0.0.1/download/tovel-version.php"));
        url.setPort(server.readLine().trimmed().toInt());
        const bool endlessHeaders = qstrcmp(c.mode, "endless-headers") == 0;
        const std::chrono::milliseconds timeout = endlessHeaders ? editorTimeout : std::chrono::seconds(60);
        const Figures f = c.bounded ? runCheck(url, timeout) : runReadAll(url, timeout);
        figures[i] = f;
        if (c.name)
            std::printf("%-34s %10.1f %12lld %14lld %14lld  %s\n", c.name, f.ms, f.bodyBytes, f.rssGrowthKiB,
                        f.peakGrowthKiB, qPrintable(f.error));
        server.kill();
        server.waitForFinished();
        // The bounded check ends the caption at its limit, or fails for the endless headers.
        if (c.name && c.bounded && (endlessHeaders ? f.error.isEmpty() : f.bodyBytes == 0)) {
            std::printf("%s: not as the check ends: %lld body bytes, error \"%s\"\n", c.name, f.bodyBytes,
                        qPrintable(f.error));
            return 1;
        }
    }
    // The bounded check against the reader that takes the whole body.
    const Figures &whole = figures[3];
    tovel::bench::result("version check, 100 MB answer: time to the caption", figures[1].ms, "ms", whole.ms,
                         "(whole-body reader)");
    tovel::bench::result("version check, 100 MB answer: peak memory growth", figures[1].peakGrowthKiB / 1024.0, "MiB",
                         whole.peakGrowthKiB / 1024.0, "(whole-body reader)");
    tovel::bench::result("version check, endless answer: time to the caption", figures[2].ms, "ms");
    // Against a reader that takes headers without a bound, given the editor's time-out.
    const Figures &unbounded = figures[5];
    tovel::bench::result("version check, endless headers: peak memory growth", figures[4].peakGrowthKiB / 1024.0,
                         "MiB", unbounded.peakGrowthKiB / 1024.0, "(whole-answer reader)");
    tovel::bench::result("version check, endless headers: time to the failure", figures[4].ms, "ms",
                         unbounded.ms, "(whole-answer reader)");
    return 0;
}
