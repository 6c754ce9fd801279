#include "container/md5generator.h"

#include <QtTest>

using namespace traxo;

class tst_MD5Generator : public QObject
{
    Q_OBJECT

private slots:
    void knownDigests_data();
    void knownDigests();
    void piecesGiveTheSameDigest_data();
    void piecesGiveTheSameDigest();
    void digestIsFinalUntilReset();
};

void tst_MD5Generator::knownDigests_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("digest");

    // The test suite of RFC 1321, appendix A.5.
    QTest::addRow("empty") << QByteArray("") << "d41d8cd98f00b204e9800998ecf8427e";
    QTest::addRow("a") << QByteArray("a") << "0cc175b9c0f1b6a831c399e269772661";
    QTest::addRow("abc") << QByteArray("abc") << "900150983cd24fb0d6963f7d28e17f72";
    QTest::addRow("message digest") << QByteArray("message digest") << "f96b697d7cb7938d525a2f31aaf161d0";
    QTest::addRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz") << "c3fcd3d76192e4007dfb496cca67e13b";
    QTest::addRow("eighty digits") << QByteArray("1234567890").repeated(8) << "57edf4a22be3c955ac49da2e2107b67a";
}

void tst_MD5Generator::knownDigests()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, digest);
    MD5Generator generator(data);
    QCOMPARE(generator.getHexDigest(), digest);
}

void tst_MD5Generator::piecesGiveTheSameDigest_data()
{
    QTest::addColumn<int>("pieceSize");
    QTest::addRow("single bytes") << 1;
    QTest::addRow("63-byte pieces across block edges") << 63;
    QTest::addRow("one piece") << 1000000;
}

void tst_MD5Generator::piecesGiveTheSameDigest()
{
    QFETCH(int, pieceSize);
    const QByteArray data = QByteArray("1234567890").repeated(8);
    MD5Generator generator;
    for (int from = 0; from < data.size(); from += pieceSize)
        generator.update(data.mid(from, pieceSize));
    QCOMPARE(generator.getHexDigest(), QStringLiteral("57edf4a22be3c955ac49da2e2107b67a"));
}

void tst_MD5Generator::digestIsFinalUntilReset()
{
    MD5Generator generator(QByteArray("abc"));
    const QString first = generator.getHexDigest();
    generator.update(QByteArray("more"));
    QCOMPARE(generator.getHexDigest(), first);

    generator.reset();
    QCOMPARE(generator.getHexDigest(), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    generator.reset();
    generator.update(QByteArray("a"));
    QCOMPARE(generator.getHexDigest(), QStringLiteral("0cc175b9c0f1b6a831c399e269772661"));
}

QTEST_GUILESS_MAIN(tst_MD5Generator)
#include "tst_md5generator.moc"
