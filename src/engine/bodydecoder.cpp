#include "engine/bodydecoder.h"

#include <algorithm>
#include <array>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

constexpr qsizetype OutputChunk = 64 * 1024;

// RFC 1950: the first two bytes of a zlib stream name the deflate method and
// make a multiple of 31. Servers that say "deflate" send either that or the
// bare deflate data, as browsers accept both.
bool startsZlibStream(const QByteArray &bytes)
{
    const auto b0 = quint8(bytes.at(0));
    const auto b1 = quint8(bytes.at(1));
    return (b0 & 0x0f) == 8 && (b0 * 256 + b1) % 31 == 0;
}

QString zlibMessage(const z_stream &z)
{
    return z.msg ? QString::fromLatin1(z.msg) : u"数据有误"_s;
}

} // namespace

struct BodyDecoder::Stream
{
    z_stream z{};
    bool initialised = false;
    bool ended = false; // a compressed stream reached its end
    qint64 received = 0;
    QByteArray head;    // deflate: the first bytes, until the kind of stream is known

    ~Stream()
    {
        if (initialised)
            inflateEnd(&z);
    }
};

std::unique_ptr<BodyDecoder> BodyDecoder::forEncoding(const QByteArray &contentEncoding, qint64 maxBytes,
                                                      std::optional<LoadFailure> &failure)
{
    const QByteArray coding = contentEncoding.trimmed().toLower();
    Coding kind;
    if (coding.isEmpty() || coding == "identity")
        kind = Coding::Identity;
    else if (coding == "gzip" || coding == "x-gzip")
        kind = Coding::Gzip;
    else if (coding == "deflate")
        kind = Coding::Deflate;
    else {
        failure = LoadFailure::decompression(u"不支持的压缩方式 %1"_s.arg(QString::fromLatin1(coding.left(40))));
        return nullptr;
    }
    return std::unique_ptr<BodyDecoder>(new BodyDecoder(kind, maxBytes));
}

BodyDecoder::BodyDecoder(Coding coding, qint64 maxBytes)
    : m_coding(coding), m_maxBytes(maxBytes), m_stream(coding == Coding::Identity ? nullptr : new Stream)
{
}

BodyDecoder::~BodyDecoder() = default;

bool BodyDecoder::add(const QByteArray &bytes)
{
    if (m_failure)
        return false;
    if (!m_stream)
        return append(bytes.constData(), bytes.size());

    Stream &stream = *m_stream;
    stream.received += bytes.size();
    if (stream.initialised)
        return inflate(bytes.constData(), bytes.size());

    int windowBits = 15 + 16; // gzip
    if (m_coding == Coding::Deflate) {
        stream.head += bytes;
        if (stream.head.size() < 2)
            return true;
        windowBits = startsZlibStream(stream.head) ? 15 : -15;
    }
    if (inflateInit2(&stream.z, windowBits) != Z_OK)
        return fail(LoadFailure::decompression(zlibMessage(stream.z)));
    stream.initialised = true;
    const QByteArray first = m_coding == Coding::Deflate ? std::exchange(stream.head, {}) : bytes;
    return inflate(first.constData(), first.size());
}

bool BodyDecoder::finish()
{
    if (m_failure)
        return false;
    if (!m_stream || m_stream->received == 0)
        return true;
    if (!m_stream->initialised) // a deflate body of one byte
        return fail(LoadFailure::decompression(u"压缩数据不完整"_s));
    return m_stream->ended || fail(LoadFailure::decompression(u"压缩数据不完整"_s));
}

bool BodyDecoder::append(const char *data, qint64 size)
{
    if (m_maxBytes > 0 && m_body.size() + size > m_maxBytes) {
        m_body.clear();
        return fail(LoadFailure::bodyTooLarge(m_maxBytes));
    }
    // Growing by doubling could reserve twice the limit just below it.
    if (m_maxBytes > 0 && m_body.size() + size > m_body.capacity())
        m_body.reserve(std::min(m_maxBytes, std::max(2 * m_body.capacity(), m_body.size() + size)));
    m_body.append(data, size);
    return true;
}

bool BodyDecoder::inflate(const char *data, qint64 size)
{
    z_stream &z = m_stream->z;
    std::array<char, OutputChunk> out;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    for (;;) {
        if (m_stream->ended) {
            // A gzip body may hold several members one after the other;
            // anything else after the end is ignored, as browsers do.
            if (z.avail_in == 0 || m_coding != Coding::Gzip || *z.next_in != 0x1f)
                return true;
            inflateReset(&z);
            m_stream->ended = false;
        }
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        const int status = ::inflate(&z, Z_NO_FLUSH);
        const qint64 produced = qint64(out.size()) - z.avail_out;
        if (produced > 0 && !append(out.data(), produced))
            return false;
        if (status == Z_STREAM_END) {
            m_stream->ended = true;
            continue;
        }
        if (status == Z_BUF_ERROR) // nothing more without further input
            return true;
        if (status != Z_OK)
            return fail(LoadFailure::decompression(zlibMessage(z)));
        if (z.avail_in == 0 && z.avail_out != 0)
            return true;
    }
}

bool BodyDecoder::fail(LoadFailure failure)
{
    m_failure = std::move(failure);
    return false;
}

} // namespace pagrion
