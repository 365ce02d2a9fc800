#include "engine/httpresponseparser.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr qsizetype MaxChunkSizeLine = 1024;

QByteArray withoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Comma-separated tokens of a header value, trimmed and in lower case.
QList<QByteArray> tokens(const QByteArray &value)
{
    QList<QByteArray> list;
    for (const QByteArray &token : value.split(','))
        list << token.trimmed().toLower();
    return list;
}

} // namespace

QByteArray HttpResponseParser::header(QByteArrayView name) const
{
    for (const auto &[key, value] : m_headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QList<QByteArray> HttpResponseParser::headerValues(QByteArrayView name) const
{
    QList<QByteArray> values;
    for (const auto &[key, value] : m_headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            values << value;
    }
    return values;
}

bool HttpResponseParser::feed(QByteArrayView bytes, QByteArray &body)
{
    if (m_stage == Stage::Failed)
        return false;
    if (m_stage == Stage::Done)
        return true;
    m_buffer.append(bytes);
    const bool ok = (m_stage != Stage::Head || readHead()) && (m_stage == Stage::Head || readBody(body));
    // The head is searched in place; what the body has read is let go.
    if (m_stage != Stage::Head) {
        m_buffer.remove(0, m_offset);
        m_offset = 0;
    }
    return ok;
}

bool HttpResponseParser::finishAtClose()
{
    if (m_stage == Stage::Body && m_framing == Framing::UntilClose)
        m_stage = Stage::Done;
    return m_stage == Stage::Done;
}

bool HttpResponseParser::readHead()
{
    for (;;) {
        // Empty lines before the status line are tolerated, as browsers do.
        while (m_offset < m_buffer.size() && (m_buffer.at(m_offset) == '\r' || m_buffer.at(m_offset) == '\n'))
            ++m_offset;
        qsizetype end = -1;
        qsizetype separator = 0;
        // Lines already searched are not searched again when more bytes come.
        const qsizetype from = std::max(m_offset, m_scanned - 2);
        for (qsizetype i = m_buffer.indexOf('\n', from); i >= 0; i = m_buffer.indexOf('\n', i + 1)) {
            if (i + 1 < m_buffer.size() && m_buffer.at(i + 1) == '\n') {
                end = i;
                separator = 2;
            } else if (i + 2 < m_buffer.size() && m_buffer.at(i + 1) == '\r' && m_buffer.at(i + 2) == '\n') {
                end = i;
                separator = 3;
            }
            if (end >= 0 || i - m_offset > MaxHeadBytes)
                break;
        }
        if (end < 0 || end - m_offset > MaxHeadBytes) {
            if (m_buffer.size() - m_offset > MaxHeadBytes)
                return fail(u"服务器的响应头过大"_s);
            m_scanned = m_buffer.size();
            return true; // the head is not complete yet
        }
        const QByteArray head = m_buffer.mid(m_offset, end - m_offset);
        m_offset = end + separator;
        if (!parseHead(head))
            return false;
        // An interim answer (100 Continue, 103 Early Hints) precedes the real one.
        if (m_status >= 100 && m_status < 200 && m_status != 101) {
            m_headers.clear();
            continue;
        }
        break;
    }

    const QList<QByteArray> transfer = tokens(header("Transfer-Encoding"));
    const QList<QByteArray> lengths = headerValues("Content-Length");
    if (m_headRequest || m_status < 200 || m_status == 204 || m_status == 304) {
        m_framing = Framing::None;
    } else if (!transfer.isEmpty() && !transfer.constLast().isEmpty()) {
        m_framing = transfer.constLast() == "chunked" ? Framing::Chunked : Framing::UntilClose;
    } else if (!lengths.isEmpty()) {
        bool ok = false;
        m_length = lengths.constFirst().trimmed().toLongLong(&ok);
        for (const QByteArray &other : lengths)
            ok = ok && other.trimmed() == lengths.constFirst().trimmed();
        if (!ok || m_length < 0)
            return fail(u"服务器的 Content-Length 有误"_s);
        m_framing = Framing::Length;
        m_left = m_length;
    } else {
        m_framing = Framing::UntilClose;
    }

    const QList<QByteArray> connection = tokens(header("Connection"));
    m_keepAlive = m_framing != Framing::UntilClose && !connection.contains("close")
        && (!m_http10 || connection.contains("keep-alive"));
    if (m_framing == Framing::None || (m_framing == Framing::Length && m_length == 0))
        m_stage = Stage::Done;
    else
        m_stage = m_framing == Framing::Chunked ? Stage::ChunkSize : Stage::Body;
    return true;
}

bool HttpResponseParser::parseHead(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QByteArray statusLine = withoutCarriageReturn(lines.constFirst());
    // "HTTP/1.1 200 OK"; the reason phrase may be missing.
    const QList<QByteArray> parts = statusLine.split(' ');
    bool ok = false;
    m_status = parts.value(1).toInt(&ok);
    if (!statusLine.startsWith("HTTP/") || !ok || parts.value(1).size() != 3)
        return fail(u"服务器的回答不是 HTTP"_s);
    m_http10 = parts.constFirst() == "HTTP/1.0";
    m_reason = statusLine.mid(parts.value(0).size() + parts.value(1).size() + 2).trimmed();

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = withoutCarriageReturn(lines.at(i));
        if ((line.startsWith(' ') || line.startsWith('\t')) && !m_headers.isEmpty()) {
            m_headers.last().second += ' ' + line.trimmed(); // an old folded header line
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m_headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return true;
}

bool HttpResponseParser::readBody(QByteArray &body)
{
    for (;;) {
        const qsizetype available = m_buffer.size() - m_offset;
        QByteArray line;
        switch (m_stage) {
        case Stage::Body:
        case Stage::ChunkData: {
            const qsizetype take = m_framing == Framing::UntilClose ? available : qsizetype(std::min<qint64>(m_left, available));
            body.append(m_buffer.constData() + m_offset, take);
            m_offset += take;
            m_left -= take;
            if (m_framing == Framing::UntilClose || m_left > 0)
                return true;
            m_stage = m_stage == Stage::Body ? Stage::Done : Stage::ChunkEnd;
            break;
        }
        case Stage::ChunkSize: {
            if (!takeLine(line, MaxChunkSizeLine))
                return m_stage != Stage::Failed;
            const qsizetype extension = line.indexOf(';');
            const QByteArray size = (extension < 0 ? line : line.left(extension)).trimmed();
            bool ok = false;
            m_left = size.toLongLong(&ok, 16);
            if (!ok || m_left < 0 || size.isEmpty())
                return fail(u"分块传送的数据有误"_s);
            m_stage = m_left == 0 ? Stage::Trailers : Stage::ChunkData;
            break;
        }
        case Stage::ChunkEnd:
            if (!takeLine(line, MaxChunkSizeLine))
                return m_stage != Stage::Failed;
            if (!line.isEmpty())
                return fail(u"分块传送的数据有误"_s);
            m_stage = Stage::ChunkSize;
            break;
        case Stage::Trailers:
            if (!takeLine(line, MaxHeadBytes))
                return m_stage != Stage::Failed;
            if (line.isEmpty())
                m_stage = Stage::Done;
            break;
        case Stage::Done:
            return true;
        case Stage::Head:
        case Stage::Failed:
            return false;
        }
    }
}

bool HttpResponseParser::takeLine(QByteArray &line, qsizetype maxLength)
{
    const qsizetype end = m_buffer.indexOf('\n', m_offset);
    if (end < 0) {
        if (m_buffer.size() - m_offset > maxLength)
            fail(u"分块传送的数据有误"_s);
        return false;
    }
    if (end - m_offset > maxLength) {
        fail(u"分块传送的数据有误"_s);
        return false;
    }
    line = withoutCarriageReturn(m_buffer.mid(m_offset, end - m_offset));
    m_offset = end + 1;
    return true;
}

bool HttpResponseParser::fail(const QString &error)
{
    m_stage = Stage::Failed;
    m_error = error;
    return false;
}

} // namespace pagrion
