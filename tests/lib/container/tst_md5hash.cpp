#include "container/md5hash.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

using namespace traxo;

// Known digests are pinned by tst_md5generator, which hashes through this
// class; here every result is compared with QCryptographicHash.
class tst_Md5Hash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void oneHashMatchesQt_data();
    void oneHashMatchesQt();
    void twoHashesMatchQt_data();
    void twoHashesMatchQt();

private:
    QByteArray m_data;
};

namespace {

QByteArray qtMd5(QByteArrayView data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

} // namespace

void tst_Md5Hash::initTestCase()
{
    m_data.resize(300000);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(m_data.data()), m_data.size() / 4);
}

void tst_Md5Hash::oneHashMatchesQt_data()
{
    QTest::addColumn<int>("offset"); // where in the data the run starts: alignment
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("piece"); // bytes per addData call
    QTest::addRow("nothing") << 0 << 0 << 1;
    QTest::addRow("55 bytes: the length fits the last block") << 1 << 55 << 55;
    QTest::addRow("56 bytes: the length needs a block of its own") << 2 << 56 << 56;
    QTest::addRow("63 bytes") << 3 << 63 << 63;
    QTest::addRow("one block exactly") << 0 << 64 << 64;
    QTest::addRow("single bytes across block edges") << 5 << 200 << 1;
    QTest::addRow("pieces of 63 at an odd address") << 1 << 5000 << 63;
    QTest::addRow("pieces of 65") << 6 << 5000 << 65;
    QTest::addRow("large pieces not a multiple of a block") << 3 << 299000 << 4097;
}

void tst_Md5Hash::oneHashMatchesQt()
{
    QFETCH(int, offset);
    QFETCH(int, size);
    QFETCH(int, piece);
    const QByteArrayView data(m_data.constData() + offset, size);
    Md5Hash hash;
    for (int from = 0; from < size; from += piece) {
        hash.addData(data.sliced(from, qMin(piece, size - from)));
        // Asking for the digest on the way must not disturb the hashing.
        QCOMPARE(hash.result(), qtMd5(data.first(qMin(from + piece, size))));
    }
    QCOMPARE(hash.result(), qtMd5(data));
    QCOMPARE(hash.hexResult(), QString::fromLatin1(qtMd5(data).toHex()));
    QCOMPARE(Md5Hash::hash(data), qtMd5(data));
    hash.reset();
    QCOMPARE(hash.result(), qtMd5(QByteArrayView()));
}

void tst_Md5Hash::twoHashesMatchQt_data()
{
    // Two runs of the data, fed together in pieces: the hashes start out of
    // step with each other's block edges, as a section and a file inside it.
    QTest::addColumn<int>("offsetA");
    QTest::addColumn<int>("sizeA");
    QTest::addColumn<int>("offsetB");
    QTest::addColumn<int>("sizeB");
    QTest::addColumn<int>("piece");
    QTest::addRow("the very same bytes") << 0 << 100000 << 0 << 100000 << 100000;
    QTest::addRow("second starts 17 bytes later") << 0 << 100000 << 17 << 99983 << 8192;
    QTest::addRow("second much shorter") << 3 << 100000 << 40 << 300 << 1000;
    QTest::addRow("first empty") << 0 << 0 << 9 << 5000 << 777;
    QTest::addRow("pieces smaller than a block") << 1 << 3000 << 2 << 2900 << 37;
    QTest::addRow("pieces of 63 and 65 bytes") << 0 << 5000 << 5 << 5000 << -63;
}

void tst_Md5Hash::twoHashesMatchQt()
{
    QFETCH(int, offsetA);
    QFETCH(int, sizeA);
    QFETCH(int, offsetB);
    QFETCH(int, sizeB);
    QFETCH(int, piece);
    const QByteArrayView a(m_data.constData() + offsetA, sizeA);
    const QByteArrayView b(m_data.constData() + offsetB, sizeB);
    // A negative piece: the first run goes in pieces of -piece, the second
    // of -piece + 2.
    const int pieceA = qAbs(piece);
    const int pieceB = piece < 0 ? -piece + 2 : piece;
    Md5Hash first;
    Md5Hash second;
    for (int fromA = 0, fromB = 0; fromA < sizeA || fromB < sizeB; fromA += pieceA, fromB += pieceB) {
        const int countA = qBound(0, sizeA - fromA, pieceA);
        const int countB = qBound(0, sizeB - fromB, pieceB);
        Md5Hash::addData(first, a.sliced(qMin(fromA, sizeA), countA), second, b.sliced(qMin(fromB, sizeB), countB));
    }
    QCOMPARE(first.result(), qtMd5(a));
    QCOMPARE(second.result(), qtMd5(b));
}

QTEST_GUILESS_MAIN(tst_Md5Hash)
#include "tst_md5hash.moc"
