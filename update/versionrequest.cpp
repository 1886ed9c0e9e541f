#include "update/versionrequest.h"

#include "update/versiontext.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace tovel {

namespace {

QString durationText(std::chrono::milliseconds ms)
{
    if (ms.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(ms.count() / 1000);
    return QStringLiteral("%1 ms").arg(ms.count());
}

QByteArray reasonPhrase(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
}

} // namespace

VersionRequest::VersionRequest(const QUrl &url, std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_url(url), m_timeout(timeout), m_manager(new QNetworkAccessManager(this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &VersionRequest::timedOut);
}

VersionRequest::~VersionRequest()
{
    release();
}

void VersionRequest::start()
{
    if (m_reply)
        return;
    m_body.clear();
    // GET with the library's own headers; redirects are followed unless they leave HTTPS.
    m_reply = m_manager->get(QNetworkRequest(m_url));
    // The transfer waits for us once this much is buffered, so a huge answer stays on the wire.
    m_reply->setReadBufferSize(kMaxAnswerBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &VersionRequest::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &VersionRequest::replyFinished);
    m_deadline.start(m_timeout);
}

void VersionRequest::readBody()
{
    m_body += m_reply->read(kMaxAnswerBytes - m_body.size());
    if (m_body.size() < kMaxAnswerBytes)
        return;
    // As much as is ever shown: end the transfer here rather than take in the rest.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray reason = reasonPhrase(m_reply);
    release();
    emit completed(status, reason, m_body);
}

void VersionRequest::replyFinished()
{
    QNetworkReply *reply = m_reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QByteArray reason = reasonPhrase(reply);
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    m_body += reply->read(kMaxAnswerBytes - m_body.size());
    release();

    // A status other than 200 is an answer whatever its body did; a 200 whose body was cut
    // short is not.
    const bool answered =
        status.isValid() && (status.toInt() != 200 || error == QNetworkReply::NoError);
    if (answered)
        emit completed(status.toInt(), reason, m_body);
    else
        emit failed(errorText);
}

void VersionRequest::timedOut()
{
    if (!m_reply)
        return;
    release();
    emit failed(QStringLiteral("The server did not answer within %1").arg(durationText(m_timeout)));
}

void VersionRequest::release()
{
    m_deadline.stop();
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace tovel
