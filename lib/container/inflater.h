#ifndef TRAXO_INFLATER_H
#define TRAXO_INFLATER_H

#include <QByteArray>

#include <functional>
#include <memory>

// zlib stays out of the public headers.
struct z_stream_s;

namespace traxo {

// A streaming zlib (RFC 1950) inflate. The stored bytes of one embedded file
// may be fed in pieces of any size; the stream state carries over between
// calls. Output goes through one 1 MiB buffer allocated once per Inflater, so
// memory stays bounded whatever the compression ratio of the data.
//
// The stream is held to its exact extent: bytes fed after the end of the
// stream make it invalid, and a caller that has fed everything checks
// hasFinished() to catch a stream that was cut short.
class Inflater
{
public:
    static constexpr int BufferSize = 1048576;

    // Receives each produced piece of output; returning false stops inflating
    // and makes the inflater invalid (the consumer could not take the bytes).
    using Sink = std::function<bool(const char *data, int size)>;

    Inflater();
    ~Inflater();
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    // (Re)initialise for a new stream; return zlib's result (Z_OK on success).
    int init();
    int reset();

    // Feeds the whole input and returns all output it produced; empty after an
    // error. Keeps the output in memory: for bounded input only.
    QByteArray inflateData(const QByteArray &input);
    // Feeds the whole input, handing the output to sink in pieces of at most
    // BufferSize bytes. Returns isValid().
    bool inflateData(const QByteArray &input, const Sink &sink);

    bool isValid() const { return m_valid; }
    bool hasFinished() const { return m_finished; }

private:
    void fail();

    std::unique_ptr<z_stream_s> m_stream;
    bool m_initialised = false;
    bool m_valid = false;
    bool m_finished = false;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace traxo

#endif
