#pragma once

#include <memory>
#include <optional>

#include <QByteArray>

#include "engine/loadresult.h"

namespace pagrion {

// Takes a response body piece by piece as it arrives and unpacks it when the
// server compressed it (gzip or deflate), holding the unpacked size to a
// limit: a small compressed body can unpack to gigabytes.
class BodyDecoder final
{
public:
    // A decoder for the body's Content-Encoding; a failure for a coding it
    // cannot unpack.
    static std::unique_ptr<BodyDecoder> forEncoding(const QByteArray &contentEncoding, qint64 maxBytes,
                                                   std::optional<LoadFailure> &failure);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder &) = delete;
    BodyDecoder &operator=(const BodyDecoder &) = delete;

    // False once the body cannot be used: failure() tells why.
    bool add(const QByteArray &bytes);
    // The whole body has arrived; false when a compressed stream is incomplete.
    bool finish();
    const std::optional<LoadFailure> &failure() const { return m_failure; }
    QByteArray takeBody() { return std::move(m_body); }

private:
    enum class Coding { Identity, Gzip, Deflate };
    struct Stream;

    BodyDecoder(Coding coding, qint64 maxBytes);
    bool append(const char *data, qint64 size);
    bool inflate(const char *data, qint64 size);
    bool fail(LoadFailure failure);

    Coding m_coding;
    qint64 m_maxBytes;
    std::unique_ptr<Stream> m_stream;
    QByteArray m_body;
    std::optional<LoadFailure> m_failure;
};

} // namespace pagrion
