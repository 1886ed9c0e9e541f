#include "update/versionrequest.h"

#include "update/versiontext.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace tovel {

namespace {

// The limit of Qt's own HTTP client: a chain that long is a loop.
constexpr int kMaxRedirects = 50;
// Taken from the socket in pieces of this size: what one read holds stays small whatever waits.
constexpr qint64 kReadPieceBytes = 4096;
// The User-Agent Qt's own HTTP client sends: some hosts turn away requests without one.
constexpr QByteArrayView kUserAgent = "Mozilla/5.0";

QString durationText(std::chrono::milliseconds ms)
{
    if (ms.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms.count() / 1000);
    return QStringLiteral("%1 ms").arg(ms.count());
}

QString sizeText(qsizetype bytes)
{
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool isHttps(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool isHttp(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

QString readerFailureText(const HttpAnswerReader &reader)
{
    switch (reader.failure()) {
    case HttpAnswerReader::Failure::TooLong:
        return QStringLiteral("The server's answer is longer than %1").arg(sizeText(kMaxResponseBytes));
    case HttpAnswerReader::Failure::NotHttp:
        return QStringLiteral("The server's answer is not HTTP: ")
               + QString::fromUtf8(reader.firstLine());
    case HttpAnswerReader::Failure::BadFraming:
        return QStringLiteral("The server's answer has a length that cannot be read");
    case HttpAnswerReader::Failure::CutShort:
    case HttpAnswerReader::Failure::None:
        break;
    }
    return QStringLiteral("Connection closed");
}

// The request line and headers: the path and query as the address gives them (percent-encoded,
// so nothing in an address can end a line), the host, and one request per connection.
QByteArray requestHead(const QUrl &url)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']'; // an IPv6 address
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + kUserAgent.toByteArray()
           + "\r\nConnection: close\r\n\r\n";
}

} // namespace

VersionRequest::VersionRequest(const QUrl &url, std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_url(url), m_timeout(timeout)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &VersionRequest::timedOut);
}

VersionRequest::~VersionRequest()
{
    dropSocket();
}

void VersionRequest::start()
{
    if (m_running)
        return;
    m_running = true;
    m_redirects = 0;
    m_deadline.start(m_timeout);
    connectTo(m_url);
}

void VersionRequest::connectTo(const QUrl &url)
{
    m_current = url;
    const bool tls = isHttps(url);
    QString refusal;
    if (!url.isValid() || url.host().isEmpty() || (!tls && !isHttp(url)))
        refusal = QStringLiteral("Protocol \"%1\" is unknown").arg(url.scheme());
    else if (tls && !QSslSocket::supportsSsl())
        refusal = QStringLiteral("TLS is not available on this system");
    if (!refusal.isEmpty()) {
        // Reported from the event loop, as every other failure is, never from inside start().
        QMetaObject::invokeMethod(this, [this, refusal] { fail(refusal); }, Qt::QueuedConnection);
        return;
    }
    m_reader.emplace(kMaxResponseBytes, kMaxAnswerBytes);
    QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
    m_socket = socket;
    // The socket stops taking from the kernel once this much waits unread, so a server that
    // floods the line fills the kernel's buffers, not ours.
    socket->setReadBufferSize(kReadPieceBytes * 4);
    connect(socket, &QTcpSocket::readyRead, this, &VersionRequest::readAnswer);
    connect(socket, &QTcpSocket::errorOccurred, this, &VersionRequest::socketFailed);
    connect(socket, &QTcpSocket::disconnected, this, &VersionRequest::serverClosed);
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (auto *ssl = qobject_cast<QSslSocket *>(socket)) {
        // The default configuration checks the peer's certificate chain and that it names the
        // host; any error ends the handshake, and errorOccurred says which.
        connect(ssl, &QSslSocket::encrypted, this, &VersionRequest::sendRequest);
        ssl->connectToHostEncrypted(url.host(), port);
    } else {
        connect(socket, &QTcpSocket::connected, this, &VersionRequest::sendRequest);
        socket->connectToHost(url.host(), port);
    }
}

void VersionRequest::sendRequest()
{
    m_socket->write(requestHead(m_current));
}

void VersionRequest::readAnswer()
{
    HttpAnswerReader &reader = *m_reader;
    while (reader.state() == HttpAnswerReader::State::Head
           || reader.state() == HttpAnswerReader::State::Body) {
        // Once the head is read, a redirect is followed without waiting for its body.
        if (reader.headRead() && !redirectTarget().isEmpty())
            break;
        const QByteArray piece = m_socket->read(kReadPieceBytes);
        if (piece.isEmpty())
            break;
        reader.feed(piece);
    }
    concludeIfAnswered();
}

void VersionRequest::serverClosed()
{
    QTcpSocket *socket = m_socket;
    if (!socket)
        return;
    readAnswer(); // what came before the close
    if (m_socket != socket)
        return; // answered, or redirected elsewhere
    m_reader->closed();
    concludeIfAnswered();
}

void VersionRequest::socketFailed(QAbstractSocket::SocketError error)
{
    if (!m_socket)
        return;
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
        serverClosed();
        return;
    case QAbstractSocket::ConnectionRefusedError:
        fail(QStringLiteral("Connection refused"));
        return;
    case QAbstractSocket::HostNotFoundError:
        fail(QStringLiteral("Host %1 not found").arg(m_current.host()));
        return;
    case QAbstractSocket::SslHandshakeFailedError:
        fail(QStringLiteral("SSL handshake failed: ") + m_socket->errorString());
        return;
    default:
        fail(m_socket->errorString());
        return;
    }
}

void VersionRequest::concludeIfAnswered()
{
    const HttpAnswerReader &reader = *m_reader;
    switch (reader.state()) {
    case HttpAnswerReader::State::Head:
        return;
    case HttpAnswerReader::State::Failed:
        fail(readerFailureText(reader));
        return;
    case HttpAnswerReader::State::Body:
    case HttpAnswerReader::State::Done:
        break;
    }
    if (const QUrl next = redirectTarget(); !next.isEmpty()) {
        ++m_redirects;
        dropSocket();
        connectTo(next);
        return;
    }
    if (reader.state() != HttpAnswerReader::State::Done)
        return;
    // A status other than 200 is an answer whatever its body did; a 200 whose body was cut
    // short is not.
    if (reader.statusCode() == 200 && reader.bodyCutShort()) {
        fail(QStringLiteral("Connection closed"));
        return;
    }
    succeed();
}

QUrl VersionRequest::redirectTarget() const
{
    // A redirect that is not followed (no place to go, away from HTTPS, one too many) is an
    // answer like any other: its status text is what the user sees.
    const HttpAnswerReader &reader = *m_reader;
    if (!reader.headRead() || !isRedirect(reader.statusCode()) || m_redirects >= kMaxRedirects)
        return {};
    const QByteArray location = reader.header("Location");
    if (location.isEmpty())
        return {};
    const QUrl next = m_current.resolved(QUrl::fromEncoded(location));
    const bool allowed = isHttps(next) || (isHttp(next) && !isHttps(m_current));
    if (!next.isValid() || next.host().isEmpty() || !allowed)
        return {};
    return next;
}

void VersionRequest::timedOut()
{
    if (m_running)
        fail(QStringLiteral("The server did not answer within %1").arg(durationText(m_timeout)));
}

void VersionRequest::succeed()
{
    const int status = m_reader->statusCode();
    const QByteArray reason = m_reader->reasonPhrase();
    const QByteArray body = m_reader->body();
    dropSocket();
    m_deadline.stop();
    m_running = false;
    emit completed(status, reason, body);
}

void VersionRequest::fail(const QString &error)
{
    if (!m_running)
        return;
    dropSocket();
    m_deadline.stop();
    m_running = false;
    emit failed(shownErrorText(error));
}

void VersionRequest::dropSocket()
{
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

} // namespace tovel
