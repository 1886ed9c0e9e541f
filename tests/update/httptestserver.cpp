#include "tests/update/httptestserver.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace tovel::test {

namespace {

constexpr qint64 kEndlessChunk = 64 * 1024;

} // namespace

HttpTestServer::HttpTestServer(Behaviour behaviour, QByteArray response)
    : responses{std::move(response)}, m_behaviour(behaviour)
{
}

HttpTestServer::~HttpTestServer() = default;

bool HttpTestServer::makeCertificate(QByteArray &cert, QByteArray &key)
{
    // Gone once the two are read: a server in a child process that is killed leaves nothing.
    const QTemporaryDir dir;
    const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
    const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                   "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", keyPath, "-out", certPath});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        m_error = QStringLiteral("openssl could not make a certificate: ") + openssl.errorString()
                  + QLatin1Char(' ') + QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    QFile c(certPath), k(keyPath);
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("the certificate files cannot be read");
        return false;
    }
    cert = c.readAll();
    key = k.readAll();
    return true;
}

bool HttpTestServer::listen(bool tls)
{
    m_tls = tls;
    if (tls) {
        QByteArray cert, key;
        if (!makeCertificate(cert, key))
            return false;
        auto *server = new QSslServer(this);
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        m_certificate = QSslCertificate(cert);
        config.setLocalCertificate(m_certificate);
        config.setPrivateKey(QSslKey(key, QSsl::Ec));
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->setSslConfiguration(config);
        m_server = server;
    } else {
        m_server = new QTcpServer(this);
    }
    // Both kinds announce a connection ready for reading through pendingConnectionAvailable.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpTestServer::accept);
    if (!m_server->listen(QHostAddress::LocalHost)) {
        m_error = m_server->errorString();
        return false;
    }
    return true;
}

QUrl HttpTestServer::baseUrl() const
{
    QUrl url;
    url.setScheme(m_tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server->serverPort());
    return url;
}

QUrl HttpTestServer::refusingUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(port);
    return url;
}

void HttpTestServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        readRequest(socket);
    }
}

void HttpTestServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll(); // one request per connection: the rest is ignored
        return;
    }
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    requests.append(head.left(end + 4));
    switch (m_behaviour) {
    case Behaviour::Answer:
        socket->write(responses.value(requests.size() - 1, responses.last()));
        socket->disconnectFromHost(); // after every byte has gone out
        break;
    case Behaviour::Silent:
        break;
    case Behaviour::Hangup:
        socket->abort();
        break;
    case Behaviour::EndlessBody:
    case Behaviour::EndlessHeaders: {
        const bool body = m_behaviour == Behaviour::EndlessBody;
        socket->write(body ? "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"
                           : "HTTP/1.1 200 OK\r\n");
        QByteArray piece(kEndlessChunk, '7');
        if (!body) {
            // Header lines of 64 bytes each: "X-Filler: 7777...\r\n".
            const QByteArray line = "X-Filler: " + QByteArray(52, '7') + "\r\n";
            piece = line.repeated(kEndlessChunk / line.size());
        }
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket, piece] { feed(socket, piece); });
        feed(socket, piece);
        break;
    }
    }
}

void HttpTestServer::feed(QTcpSocket *socket, const QByteArray &piece)
{
    if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > kEndlessChunk)
        return;
    socket->write(piece);
    endlessBytesSent += piece.size();
}

} // namespace tovel::test
