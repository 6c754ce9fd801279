#include "container/validator.h"

#include <QCryptographicHash>
#include <QtTest>

#include <zlib.h>

using namespace traxo;

namespace {

QByteArray zlibCompress(const QByteArray &plain)
{
    uLongf size = compressBound(uLong(plain.size()));
    QByteArray out(int(size), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(plain.constData()),
        uLong(plain.size()), Z_BEST_COMPRESSION);
    out.resize(int(size));
    return out;
}

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

} // namespace

class tst_Validator : public QObject
{
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void reinitForgetsThePreviousEntry();
};

void tst_Validator::verdicts_data()
{
    QTest::addColumn<QByteArray>("fed");
    QTest::addColumn<QString>("expectedMd5");
    QTest::addColumn<QString>("expectedMd5c");
    QTest::addColumn<int>("pieceSize");
    QTest::addColumn<bool>("valid");

    const QByteArray plain = QByteArray("measured value 42.0 mV\n").repeated(3000);
    const QByteArray stored = zlibCompress(plain);
    QByteArray changedStored = stored;
    changedStored[20] = char(changedStored[20] ^ 0x20);

    QTest::addRow("plain bytes matching") << plain << md5(plain) << QString() << 1000 << true;
    QTest::addRow("plain bytes with one byte changed")
        << QByteArray(plain).replace(100, 1, "X") << md5(plain) << QString() << 1000 << false;
    QTest::addRow("empty content against the md5 of nothing")
        << QByteArray() << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e") << QString() << 1000 << true;
    QTest::addRow("empty expectation never matches") << QByteArray() << QString() << QString() << 1000 << false;
    QTest::addRow("upper-case expectation does not match")
        << plain << md5(plain).toUpper() << QString() << 1000 << false;
    QTest::addRow("flate matching in one piece") << stored << md5(plain) << md5(stored) << int(stored.size()) << true;
    QTest::addRow("flate matching in pieces of 13 bytes") << stored << md5(plain) << md5(stored) << 13 << true;
    QTest::addRow("flate with wrong stored checksum")
        << stored << md5(plain) << md5(QByteArray("other")) << 1000 << false;
    QTest::addRow("flate with wrong content checksum")
        << stored << md5(QByteArray("other")) << md5(stored) << 1000 << false;
    QTest::addRow("flate with a changed stored byte")
        << changedStored << md5(plain) << md5(changedStored) << 1000 << false;
    QTest::addRow("flate cut short") << stored.left(stored.size() - 3) << md5(plain)
                                     << md5(stored.left(stored.size() - 3)) << 1000 << false;
    QTest::addRow("flate with bytes after its end") << stored + "\n"
                                                    << md5(plain) << md5(stored + "\n") << 1000 << false;
    QTest::addRow("stored bytes that are no zlib stream") << plain << md5(plain) << md5(plain) << 1000 << false;
}

void tst_Validator::verdicts()
{
    QFETCH(QByteArray, fed);
    QFETCH(QString, expectedMd5);
    QFETCH(QString, expectedMd5c);
    QFETCH(int, pieceSize);
    QFETCH(bool, valid);

    Validator validator(expectedMd5, expectedMd5c);
    QCOMPARE(validator.isCompressed(), !expectedMd5c.isEmpty());
    for (int from = 0; from < fed.size(); from += pieceSize)
        validator.update(fed.mid(from, pieceSize));
    QCOMPARE(validator.isValid(), valid);
    // Asking twice gives the same verdict: the digests are cached, not redone.
    QCOMPARE(validator.isValid(), valid);
}

void tst_Validator::reinitForgetsThePreviousEntry()
{
    const QByteArray first = QByteArray("first file").repeated(100);
    const QByteArray second = QByteArray("second file").repeated(100);
    const QByteArray secondStored = zlibCompress(second);

    Validator validator(md5(first), QString());
    validator.update(first.left(500));
    validator.reinit(md5(second), md5(secondStored));
    QVERIFY(validator.isCompressed());
    validator.update(secondStored);
    QVERIFY(validator.isValid());

    validator.reinit(md5(first), QString());
    QVERIFY(!validator.isCompressed());
    validator.update(first);
    QVERIFY(validator.isValid());
}

QTEST_GUILESS_MAIN(tst_Validator)
#include "tst_validator.moc"
