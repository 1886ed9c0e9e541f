#include "update/httpanswerreader.h"

#include <algorithm>

namespace tovel {

namespace {

constexpr QByteArrayView kHttpPrefix = "HTTP/";
// Sixteen hex digits would overflow the count; no body the editor reads comes near fifteen.
constexpr qsizetype kMaxChunkSizeDigits = 15;
// The same bound for Content-Length, in decimal digits.
constexpr qsizetype kMaxLengthDigits = 18;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "HTTP/1.x 200 OK": the version, a blank, three digits, and the reason phrase after a blank
// (which may be missing).
bool parseStatusLine(QByteArrayView line, int &code, QByteArray &reason)
{
    if (line.size() < 12 || !line.startsWith("HTTP/1.") || !isDigit(line[7]) || line[8] != ' ')
        return false;
    if (!isDigit(line[9]) || !isDigit(line[10]) || !isDigit(line[11]))
        return false;
    if (line.size() > 12 && line[12] != ' ')
        return false;
    code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    reason = line.size() > 13 ? line.sliced(13).toByteArray() : QByteArray();
    return code >= 100;
}

} // namespace

HttpAnswerReader::HttpAnswerReader(qsizetype maxBytes, qsizetype maxBodyBytes)
    : m_maxBytes(maxBytes), m_maxBodyBytes(maxBodyBytes)
{
}

void HttpAnswerReader::feed(QByteArrayView bytes)
{
    if (m_state == State::Done || m_state == State::Failed)
        return;
    const qsizetype room = m_maxBytes - m_received;
    QByteArrayView take = bytes.first(std::min(bytes.size(), room));
    m_received += take.size();
    // Every step takes at least one byte or ends the answer.
    while (!take.isEmpty() && (m_state == State::Head || m_state == State::Body)) {
        const qsizetype used = m_state == State::Head ? readHeadLine(take) : readBody(take);
        take = take.sliced(used);
    }
    if (bytes.size() > room && (m_state == State::Head || m_state == State::Body))
        fail(Failure::TooLong);
}

void HttpAnswerReader::closed()
{
    if (m_state == State::Head) {
        fail(Failure::CutShort);
    } else if (m_state == State::Body) {
        m_bodyCutShort = m_framing != Framing::UntilClose;
        m_state = State::Done;
    }
}

QByteArray HttpAnswerReader::header(QByteArrayView name) const
{
    const QByteArrayList values = headerValues(name);
    return values.isEmpty() ? QByteArray() : values.first();
}

QByteArrayList HttpAnswerReader::headerValues(QByteArrayView name) const
{
    QByteArrayList values;
    const QByteArrayView headers(m_headers);
    for (qsizetype at = 0; at < headers.size();) {
        const qsizetype lf = headers.indexOf('\n', at);
        const QByteArrayView line = headers.sliced(at, lf - at);
        at = lf + 1;
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            values.append(line.sliced(colon + 1).trimmed().toByteArray());
    }
    return values;
}

bool HttpAnswerReader::collectLine(QByteArrayView bytes, qsizetype &taken)
{
    const qsizetype lf = bytes.indexOf('\n');
    if (lf < 0) {
        m_line += bytes;
        taken = bytes.size();
        return false;
    }
    m_line += bytes.first(lf);
    taken = lf + 1;
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    return true;
}

qsizetype HttpAnswerReader::readHeadLine(QByteArrayView bytes)
{
    qsizetype taken = 0;
    const bool whole = collectLine(bytes, taken);
    if (!m_statusRead && !whole && m_line.size() >= kQuotedBytes) {
        // A line this long that cannot begin "HTTP/" is no HTTP answer: say so now rather than
        // wait for a line end that may never come. Judged on the same bytes however they arrive.
        const QByteArray start = m_line.first(kHttpPrefix.size());
        if (!kHttpPrefix.startsWith(start)) {
            m_line.truncate(kQuotedBytes);
            fail(Failure::NotHttp);
        }
        return taken;
    }
    if (!whole)
        return taken;
    headLine(m_line);
    if (m_state != State::Failed)
        m_line.clear();
    return taken;
}

void HttpAnswerReader::headLine(const QByteArray &line)
{
    if (!m_statusRead) {
        if (line.isEmpty())
            return; // blank lines before the status line are tolerated
        if (!parseStatusLine(line, m_statusCode, m_reason)) {
            m_line.truncate(kQuotedBytes);
            fail(Failure::NotHttp);
            return;
        }
        m_statusRead = true;
        return;
    }
    if (line.isEmpty()) {
        headEnded();
        return;
    }
    if (line.startsWith(' ') || line.startsWith('\t')) {
        // An old-style continuation line belongs to the header before it.
        if (!m_headers.isEmpty()) {
            m_headers.chop(1);
            m_headers += ' ' + line.trimmed() + '\n';
        }
        return;
    }
    m_headers += line + '\n';
}

void HttpAnswerReader::headEnded()
{
    if (m_statusCode < 200 && m_statusCode != 101) {
        // An interim answer (100 Continue, 103 Early Hints): the real one follows.
        m_statusRead = false;
        m_statusCode = 0;
        m_reason.clear();
        m_headers.clear();
        return;
    }
    if (m_statusCode < 200 || m_statusCode == 204 || m_statusCode == 304) {
        m_state = State::Done; // no body
        return;
    }
    const QByteArrayList codings = headerValues("Transfer-Encoding");
    const QByteArrayList lengths = headerValues("Content-Length");
    if (!codings.isEmpty()) {
        // The last coding applied says how the body ends; a body that is not chunked last runs
        // until the close.
        const QByteArray last = codings.last().split(',').last().trimmed().toLower();
        m_framing = last == "chunked" ? Framing::Chunked : Framing::UntilClose;
    } else if (!lengths.isEmpty()) {
        // "Content-Length: 5, 5" and repeated headers are one length when they all agree.
        qint64 length = -1;
        for (const QByteArray &value : lengths) {
            for (const QByteArray &part : value.split(',')) {
                const QByteArray digits = part.trimmed();
                const bool valid = !digits.isEmpty() && digits.size() <= kMaxLengthDigits
                                   && std::all_of(digits.begin(), digits.end(), isDigit);
                const qint64 n = valid ? digits.toLongLong() : -1;
                if (n < 0 || (length >= 0 && n != length)) {
                    fail(Failure::BadFraming);
                    return;
                }
                length = n;
            }
        }
        m_framing = Framing::Length;
        m_remaining = length;
    } else {
        m_framing = Framing::UntilClose;
    }
    m_state = m_framing == Framing::Length && m_remaining == 0 ? State::Done : State::Body;
}

qsizetype HttpAnswerReader::readBody(QByteArrayView bytes)
{
    switch (m_framing) {
    case Framing::Length: {
        const qsizetype n = qsizetype(std::min<qint64>(bytes.size(), m_remaining));
        m_remaining -= n;
        if (m_remaining == 0)
            m_state = State::Done;
        keepBody(bytes.first(n));
        return n;
    }
    case Framing::Chunked:
        return readChunked(bytes);
    case Framing::UntilClose:
    case Framing::None:
        break;
    }
    keepBody(bytes);
    return bytes.size();
}

qsizetype HttpAnswerReader::readChunked(QByteArrayView bytes)
{
    qsizetype taken = 0;
    switch (m_chunkPart) {
    case ChunkPart::Size: {
        if (!collectLine(bytes, taken))
            return taken;
        // Hex digits, then extensions after ';' that are of no use here.
        const qsizetype digits = std::find_if_not(m_line.cbegin(), m_line.cend(), isHexDigit) - m_line.cbegin();
        const QByteArray rest = m_line.sliced(digits).trimmed();
        if (digits == 0 || digits > kMaxChunkSizeDigits || !(rest.isEmpty() || rest.startsWith(';'))) {
            fail(Failure::BadFraming);
            return taken;
        }
        m_remaining = m_line.first(digits).toLongLong(nullptr, 16);
        m_line.clear();
        if (m_remaining == 0)
            m_state = State::Done; // the last chunk; trailers, if any, are not needed
        else
            m_chunkPart = ChunkPart::Data;
        return taken;
    }
    case ChunkPart::Data: {
        const qsizetype n = qsizetype(std::min<qint64>(bytes.size(), m_remaining));
        m_remaining -= n;
        if (m_remaining == 0)
            m_chunkPart = ChunkPart::DataEnd;
        keepBody(bytes.first(n));
        return n;
    }
    case ChunkPart::DataEnd:
        if (!collectLine(bytes, taken))
            return taken;
        if (!m_line.isEmpty()) {
            fail(Failure::BadFraming);
            return taken;
        }
        m_chunkPart = ChunkPart::Size;
        return taken;
    }
    return bytes.size();
}

void HttpAnswerReader::keepBody(QByteArrayView bytes)
{
    m_body += bytes.first(std::min(bytes.size(), m_maxBodyBytes - m_body.size()));
    if (m_body.size() >= m_maxBodyBytes)
        m_state = State::Done; // as much as is ever shown: the rest need not come
}

void HttpAnswerReader::fail(Failure failure)
{
    m_state = State::Failed;
    m_failure = failure;
}

} // namespace tovel
