#include "container/inflater.h"

#include <cstring>

#include <zlib.h>

namespace traxo {

Inflater::Inflater()
    : m_stream(new z_stream)
    , m_buffer(new char[BufferSize])
{
    init();
}

Inflater::~Inflater()
{
    if (m_initialised)
        inflateEnd(m_stream.get());
}

int Inflater::init()
{
    if (m_initialised)
        inflateEnd(m_stream.get());
    std::memset(m_stream.get(), 0, sizeof(z_stream));
    const int result = inflateInit(m_stream.get());
    m_initialised = result == Z_OK;
    m_valid = m_initialised;
    m_finished = false;
    return result;
}

int Inflater::reset()
{
    return init();
}

void Inflater::fail()
{
    if (m_initialised)
        inflateEnd(m_stream.get());
    m_initialised = false;
    m_valid = false;
}

bool Inflater::inflateData(const QByteArray &input, const Sink &sink)
{
    if (input.isEmpty() || !m_valid)
        return m_valid;
    if (m_finished) {
        // The stream already ended: anything more is not part of the file.
        fail();
        return false;
    }

    m_stream->next_in = reinterpret_cast<Bytef *>(const_cast<char *>(input.constData()));
    m_stream->avail_in = uInt(input.size());
    for (;;) {
        m_stream->next_out = reinterpret_cast<Bytef *>(m_buffer.get());
        m_stream->avail_out = uInt(BufferSize);
        const int result = inflate(m_stream.get(), Z_NO_FLUSH);
        const int produced = BufferSize - int(m_stream->avail_out);
        // Z_BUF_ERROR with all input taken only means no progress was possible
        // (the previous round filled the buffer exactly); the stream waits for
        // the next piece.
        const bool needsInput = result == Z_BUF_ERROR && m_stream->avail_in == 0;
        if (result != Z_OK && result != Z_STREAM_END && !needsInput) {
            fail();
            return false;
        }
        if (produced > 0 && !sink(m_buffer.get(), produced)) {
            fail();
            return false;
        }
        if (result == Z_STREAM_END) {
            m_finished = true;
            if (m_stream->avail_in > 0) {
                // Trailing bytes after the stream's end: the stored data is
                // longer than the stream, which a sound container never holds.
                fail();
                return false;
            }
            break;
        }
        if (produced < BufferSize)
            break;
    }
    m_stream->next_in = nullptr;
    m_stream->avail_in = 0;
    return true;
}

QByteArray Inflater::inflateData(const QByteArray &input)
{
    QByteArray output;
    const bool ok = inflateData(input, [&output](const char *data, int size) {
        output.append(data, size);
        return true;
    });
    return ok ? output : QByteArray();
}

} // namespace traxo
