#include "support/compressed.h"

#include <algorithm>

#include <zlib.h>

namespace pagrion::test {

QByteArray compressed(const QByteArray &data, Compression kind)
{
    const int windowBits = kind == Compression::Gzip ? 15 + 16 : kind == Compression::Zlib ? 15 : -15;
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    deflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray();
}

QByteArray gzippedZeros(qint64 count)
{
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    const QByteArray zeros(1 << 20, '\0');
    QByteArray out;
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    int status = Z_OK;
    for (qint64 left = count; status == Z_OK;) {
        const qint64 taking = std::min<qint64>(left, zeros.size());
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
        z.avail_in = uInt(taking);
        left -= taking;
        do {
            z.next_out = reinterpret_cast<Bytef *>(piece.data());
            z.avail_out = uInt(piece.size());
            status = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append(piece.constData(), piece.size() - qsizetype(z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray();
}

} // namespace pagrion::test
