#include "container/inflater.h"

#include <QtTest>

#include <zlib.h>

using namespace traxo;

namespace {

QByteArray zlibCompress(const QByteArray &plain, int level = Z_DEFAULT_COMPRESSION)
{
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray out(int(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(plain.constData()),
            uLong(plain.size()), level)
        != Z_OK)
        return QByteArray();
    out.resize(int(size));
    return out;
}

QByteArray pseudoRandom(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = char(seed >> 24);
    }
    return data;
}

// A zlib stream made of stored (uncompressed) deflate blocks, so the caller
// knows exactly which input bytes produce which output bytes.
QByteArray storedBlocks(const QByteArray &plain, bool final)
{
    QByteArray out;
    int from = 0;
    do {
        const int len = qMin(65535, int(plain.size()) - from);
        const bool last = final && from + len == plain.size();
        out.append(char(last ? 1 : 0));
        out.append(char(len & 0xff)).append(char(len >> 8));
        out.append(char(~len & 0xff)).append(char((~len >> 8) & 0xff));
        out.append(plain.mid(from, len));
        from += len;
    } while (from < plain.size());
    return out;
}

QByteArray adlerTrailer(const QByteArray &plain)
{
    const uLong sum
        = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef *>(plain.constData()), uInt(plain.size()));
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((sum >> shift) & 0xff));
    return out;
}

QByteArray feedInPieces(Inflater &inflater, const QByteArray &input, int pieceSize)
{
    QByteArray output;
    for (int from = 0; from < input.size(); from += pieceSize)
        output += inflater.inflateData(input.mid(from, pieceSize));
    return output;
}

} // namespace

class tst_Inflater : public QObject
{
    Q_OBJECT

private slots:
    void wholeStreamInPieces_data();
    void wholeStreamInPieces();
    void emptyInputProducesNothing();
    void brokenStreams_data();
    void brokenStreams();
    void bytesAfterTheEndInALaterPiece();
    void outputFillingTheBufferExactlyIsNotAnError();
    void largeOutputReachesTheSinkInBoundedPieces();
    void refusingSinkStopsTheStream();
    void resetStartsAFreshStream();
};

void tst_Inflater::wholeStreamInPieces_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<int>("pieceSize");

    const QByteArray text = QByteArray("workflow step output line\n").repeated(4000);
    QTest::addRow("empty file in one piece") << QByteArray() << 1000;
    QTest::addRow("empty file byte by byte") << QByteArray() << 1;
    QTest::addRow("text in one piece") << text << int(text.size());
    QTest::addRow("text byte by byte") << text << 1;
    QTest::addRow("text in pieces of 7 bytes") << text << 7;
    QTest::addRow("random data in 100000-byte pieces") << pseudoRandom(3 * 1048576 + 17, 7) << 100000;
    QTest::addRow("five MiB of zeros in one piece") << QByteArray(5 * 1048576, '\0') << 5 * 1048576;
}

void tst_Inflater::wholeStreamInPieces()
{
    QFETCH(QByteArray, plain);
    QFETCH(int, pieceSize);
    const QByteArray stored = zlibCompress(plain);
    QVERIFY(!stored.isEmpty());

    Inflater inflater;
    QVERIFY(inflater.isValid());
    const QByteArray output = feedInPieces(inflater, stored, pieceSize);
    QVERIFY(inflater.isValid());
    QVERIFY(inflater.hasFinished());
    QCOMPARE(output.size(), plain.size());
    QVERIFY(output == plain);
}

void tst_Inflater::emptyInputProducesNothing()
{
    Inflater inflater;
    QVERIFY(inflater.inflateData(QByteArray()).isEmpty());
    QVERIFY(inflater.isValid());
    QVERIFY(!inflater.hasFinished());
}

void tst_Inflater::brokenStreams_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("finished");

    const QByteArray plain = QByteArray("0123456789abcdef").repeated(500);
    const QByteArray good = zlibCompress(plain);
    QByteArray flipped = good;
    flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 0x55);
    QByteArray badTrailer = good;
    badTrailer[good.size() - 1] = char(badTrailer[good.size() - 1] ^ 1);

    QTest::addRow("not a zlib header") << QByteArray("this is not zlib data") << false << false;
    QTest::addRow("a changed byte inside the data") << flipped << false << false;
    QTest::addRow("a wrong adler-32 checksum") << badTrailer << false << false;
    QTest::addRow("stream cut short") << good.left(good.size() - 5) << true << false;
    QTest::addRow("stream missing its last byte") << good.left(good.size() - 1) << true << false;
    QTest::addRow("bytes after the end of the stream") << good + QByteArray("x") << false << true;
}

void tst_Inflater::brokenStreams()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, valid);
    QFETCH(bool, finished);

    Inflater inflater;
    const QByteArray output = inflater.inflateData(stored);
    QCOMPARE(inflater.isValid(), valid);
    QCOMPARE(inflater.hasFinished(), finished);
    if (!valid)
        QVERIFY(output.isEmpty());
}

void tst_Inflater::bytesAfterTheEndInALaterPiece()
{
    const QByteArray plain("a short file");
    Inflater inflater;
    QCOMPARE(inflater.inflateData(zlibCompress(plain)), plain);
    QVERIFY(inflater.hasFinished());
    QVERIFY(inflater.isValid());
    QVERIFY(inflater.inflateData(QByteArray("\n")).isEmpty());
    QVERIFY(!inflater.isValid());
}

void tst_Inflater::outputFillingTheBufferExactlyIsNotAnError()
{
    // The first piece ends exactly where the output reaches one full buffer, so
    // zlib has nothing more to do and answers Z_BUF_ERROR when asked again.
    const QByteArray plain = pseudoRandom(Inflater::BufferSize, 3);
    const QByteArray first = QByteArray("\x78\x01", 2) + storedBlocks(plain, false);
    const QByteArray second = storedBlocks(QByteArray(), true) + adlerTrailer(plain);

    Inflater inflater;
    const QByteArray out1 = inflater.inflateData(first);
    QVERIFY(inflater.isValid());
    QCOMPARE(out1.size(), plain.size());
    QVERIFY(!inflater.hasFinished());
    const QByteArray out2 = inflater.inflateData(second);
    QVERIFY(inflater.isValid());
    QVERIFY(inflater.hasFinished());
    QVERIFY(out2.isEmpty());
    QVERIFY(out1 == plain);
}

void tst_Inflater::largeOutputReachesTheSinkInBoundedPieces()
{
    const QByteArray plain(9 * 1048576 + 5, 'z');
    const QByteArray stored = zlibCompress(plain, 9);
    QVERIFY(stored.size() < 100000);

    Inflater inflater;
    qint64 total = 0;
    int largest = 0;
    int calls = 0;
    QVERIFY(inflater.inflateData(stored, [&](const char *data, int size) {
        total += size;
        largest = qMax(largest, size);
        ++calls;
        return data[0] == 'z' && data[size - 1] == 'z';
    }));
    QCOMPARE(total, qint64(plain.size()));
    QCOMPARE(largest, Inflater::BufferSize);
    QVERIFY(calls >= 10);
    QVERIFY(inflater.hasFinished());
}

void tst_Inflater::refusingSinkStopsTheStream()
{
    const QByteArray stored = zlibCompress(QByteArray(3 * 1048576, 'q'));
    Inflater inflater;
    int calls = 0;
    QVERIFY(!inflater.inflateData(stored, [&](const char *, int) {
        ++calls;
        return false;
    }));
    QCOMPARE(calls, 1);
    QVERIFY(!inflater.isValid());
    QVERIFY(!inflater.hasFinished());
}

void tst_Inflater::resetStartsAFreshStream()
{
    const QByteArray plain("second file");
    Inflater inflater;
    inflater.inflateData(QByteArray("garbage"));
    QVERIFY(!inflater.isValid());
    QCOMPARE(inflater.reset(), Z_OK);
    QVERIFY(inflater.isValid());
    QCOMPARE(inflater.inflateData(zlibCompress(plain)), plain);
    QVERIFY(inflater.hasFinished());
    QCOMPARE(inflater.reset(), Z_OK);
    QVERIFY(!inflater.hasFinished());
    QCOMPARE(inflater.inflateData(zlibCompress(plain)), plain);
}

QTEST_GUILESS_MAIN(tst_Inflater)
#include "tst_inflater.moc"
