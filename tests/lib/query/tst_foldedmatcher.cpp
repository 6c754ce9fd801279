#include "query/foldedmatcher.h"

#include <QRandomGenerator>
#include <QtTest>

using traxo::FoldedMatcher;

namespace {

// What the matcher must find: the plain search in lowered copies.
qsizetype loweredIndexOf(QByteArrayView text, QByteArrayView word, qsizetype from)
{
    const auto lowered = [](QByteArrayView bytes) {
        QByteArray copy = bytes.toByteArray();
        for (char &c : copy)
            c = FoldedMatcher::lowerAscii(c);
        return copy;
    };
    return from > text.size() ? -1 : lowered(text).indexOf(lowered(word), from);
}

} // namespace

class TestFoldedMatcher : public QObject
{
    Q_OBJECT

private slots:
    void indexIn_data();
    void indexIn();
    void agreesWithLoweredSearch();
};

void TestFoldedMatcher::indexIn_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("index");

    const QByteArray filler(40, '.');
    QTest::addRow("either case") << QByteArray("a PostProcessing step") << QByteArray("POSTprocessing") << 0 << 2;
    QTest::addRow("at the very end, past the wide steps")
        << filler + "Bonn" << QByteArray("bonn") << 0 << int(filler.size());
    QTest::addRow("across sixteen-byte steps")
        << filler.left(14) + "Calibration" + filler << QByteArray("calibration") << 0 << 14;
    QTest::addRow("from skips an earlier one") << QByteArray("bonn, BONN") << QByteArray("bonn") << 1 << 6;
    QTest::addRow("overlapping repeats") << QByteArray("AAAA") << QByteArray("aa") << 1 << 1;
    QTest::addRow("only letters fold") << filler + "A{B" << QByteArray("a[b") << 0 << -1;
    QTest::addRow("letters against folded punctuation") << filler + "@" << QByteArray("`") << 0 << -1;
    QTest::addRow("bytes of UTF-8 match as they are")
        << filler + "CAF\xc3\x89 caf\xc3\xa9" << QByteArray("caf\xc3\xa9") << 0 << int(filler.size() + 6);
    QTest::addRow("word longer than the text") << QByteArray("bon") << QByteArray("bonn") << 0 << -1;
    QTest::addRow("empty word at from") << QByteArray("text") << QByteArray() << 2 << 2;
    QTest::addRow("from past the end") << QByteArray("text") << QByteArray("t") << 5 << -1;
    QTest::addRow("word longer than a shift can say")
        << QByteArray(300, 'x') + QByteArray(260, 'Y') + "z" << QByteArray(260, 'y') + "Z" << 0 << 300;
}

void TestFoldedMatcher::indexIn()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, word);
    QFETCH(int, from);
    QFETCH(int, index);
    QCOMPARE(FoldedMatcher(word).indexIn(text, from), qsizetype(index));
}

// Texts of a few letters in both cases, punctuation that folds onto
// letters' neighbours and a UTF-8 lead byte: every occurrence the lowered
// search finds, the matcher finds first too, at every start position.
void TestFoldedMatcher::agreesWithLoweredSearch()
{
    QRandomGenerator random(20261208);
    const QByteArray alphabet("aAbB[{@`\xc3");
    const auto randomBytes = [&](int length) {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes.append(alphabet.at(random.bounded(int(alphabet.size()))));
        return bytes;
    };
    int found = 0;
    for (int round = 0; round < 3000; ++round) {
        // Long enough for every width of scan and its tail.
        const QByteArray text = randomBytes(random.bounded(160));
        const QByteArray word = randomBytes(1 + random.bounded(4));
        const qsizetype from = random.bounded(int(text.size()) + 1);
        const qsizetype expected = loweredIndexOf(text, word, from);
        QVERIFY2(FoldedMatcher(word).indexIn(text, from) == expected,
            qPrintable(QStringLiteral("%1 in %2 from %3").arg(word.toHex(), text.toHex()).arg(from)));
        found += expected >= 0;
    }
    // Both outcomes, so the comparison covered hits as well as misses.
    QVERIFY(found > 300);
    QVERIFY(found < 2700);
}

QTEST_GUILESS_MAIN(TestFoldedMatcher)
#include "tst_foldedmatcher.moc"
