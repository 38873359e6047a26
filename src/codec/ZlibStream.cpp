#include "ZlibStream.h"

#include <zlib.h>

namespace ZlibStream {

QByteArray inflate(const QByteArray &data, bool gzip, qint64 limit, bool *ok)
{
    *ok = false;
    z_stream stream = {};
    if (inflateInit2(&stream, gzip ? 16 + MAX_WBITS : MAX_WBITS) != Z_OK)
        return QByteArray();
    QByteArray out;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    char chunk[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof(chunk);
        status = ::inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        const qint64 produced = qint64(sizeof(chunk)) - stream.avail_out;
        if (out.size() + produced > limit) {
            status = Z_MEM_ERROR;
            break;
        }
        out.append(chunk, int(produced));
        // Input used up before the end of the stream: truncated.
        if (status == Z_OK && stream.avail_in == 0 && produced < qint64(sizeof(chunk))) {
            status = Z_BUF_ERROR;
            break;
        }
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return QByteArray();
    *ok = true;
    return out;
}

} // namespace ZlibStream
