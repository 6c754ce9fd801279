#include "summary/vxmllevel1iter.h"

#include <QtTest>

using namespace traxo;

namespace {

// Every element of one level as "name=content", to compare whole walks at once.
QStringList walk(const QString &text)
{
    QStringList elements;
    VXMLLevel1Iter it(text);
    for (QString content = ++it; !content.isNull(); content = ++it)
        elements << it.tagName() + QLatin1Char('=') + content;
    return elements;
}

// The same walk through views into a borrowed text.
QStringList walkViews(QStringView text)
{
    QStringList elements;
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(text);
    while (it.next()) {
        if (it.dataView().isNull() || it.dataView().data() < text.data()
            || it.dataView().data() + it.dataView().size() > text.data() + text.size())
            return { QStringLiteral("content outside the text") };
        elements << it.tagNameView().toString() + QLatin1Char('=') + it.dataView().toString();
    }
    if (!it.dataView().isNull() || !it.tagNameView().isNull() || it.next())
        return { QStringLiteral("not at the end") };
    return elements;
}

} // namespace

class tst_VXMLLevel1Iter : public QObject
{
    Q_OBJECT

private slots:
    void walksOneLevel_data();
    void walksOneLevel();
    void walksThroughViews_data();
    void walksThroughViews();
    void endTagsOfTheNameOnly_data();
    void endTagsOfTheNameOnly();
    void keepsItsTextWhenTheCallerChangesTheirs();
    void tagsAtEveryOffsetOfAScanBlock();
    void borrowedTextIsReplacedInACopy();
    void emptyContentIsNotTheEnd();
    void stateAtTheEnd();
    void postfixIncrementAdvancesToo();
    void copyIteratesIndependently();
    void assigningTextRestarts();
    void tagAndData();
    void replaceCurrentTag_data();
    void replaceCurrentTag();
    void threeNumbers_data();
    void threeNumbers();
    void dataBlockPointsIntoText();
    void deepNestingOfOneNameIsTracked();
    void deepNestingOfDistinctNamesIsOneElement();
    void manySiblings();
};

void tst_VXMLLevel1Iter::walksOneLevel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("elements");

    QTest::addRow("empty text") << QString() << QStringList();
    QTest::addRow("text without elements") << "just words" << QStringList();
    QTest::addRow("three siblings") << "<a>1</a><b>2</b><c>3</c>" << QStringList { "a=1", "b=2", "c=3" };
    QTest::addRow("text and whitespace between elements ignored")
        << "x <a>1</a>\n  y <b>2</b> z" << QStringList { "a=1", "b=2" };
    QTest::addRow("content kept raw, children included")
        << "<a> <b>x</b> &amp; </a>" << QStringList { "a= <b>x</b> &amp; " };
    QTest::addRow("declaration and comment skipped")
        << "<?xml version=\"1.0\"?>\n<!-- a <b>comment</b> -->\n<t>v</t>" << QStringList { "t=v" };
    QTest::addRow("comment holding a greater-than sign") << "<!-- a > b --><t>v</t>" << QStringList { "t=v" };
    QTest::addRow("doctype skipped") << "<!DOCTYPE trxchange><t>v</t>" << QStringList { "t=v" };
    QTest::addRow("empty element") << "<a/><b>2</b>" << QStringList { "a=", "b=2" };
    QTest::addRow("same name nested") << "<a><a>x</a></a><b>y</b>" << QStringList { "a=<a>x</a>", "b=y" };
    QTest::addRow("same name repeated") << "<a>1</a><a>2</a>" << QStringList { "a=1", "a=2" };
    QTest::addRow("end tag of the enclosing element ends the level") << "<a>1</a></p><b>2</b>" << QStringList { "a=1" };
    QTest::addRow("attribute in a start tag ends the level")
        << "<a>1</a><b x=\"1\">2</b><c>3</c>" << QStringList { "a=1" };
    QTest::addRow("element without end tag ends the level") << "<a>1</a><b>2<c>3</c>" << QStringList { "a=1" };
    QTest::addRow("same name nested but unbalanced") << "<a><a>x</a>" << QStringList();
    QTest::addRow("unterminated comment ends the level") << "<a>1</a><!-- <b>2</b>" << QStringList { "a=1" };
    QTest::addRow("unterminated declaration ends the level") << "<?xml <a>1</a>" << QStringList();
    QTest::addRow("less-than without greater-than") << "<a>1</a><b" << QStringList { "a=1" };
    QTest::addRow("truncated in the end tag") << "<a>1</a><b>2</b" << QStringList { "a=1" };
    QTest::addRow("unicode names and content")
        << QString::fromUtf8("<Größe>12 µm ✓</Größe>") << QStringList { QString::fromUtf8("Größe=12 µm ✓") };
    QTest::addRow("nul characters are ordinary text")
        << QString::fromUtf16(u"<a>x\0y</a><b>z</b>", 18) << QStringList { QString::fromUtf16(u"a=x\0y", 5), "b=z" };
}

void tst_VXMLLevel1Iter::walksOneLevel()
{
    QFETCH(QString, text);
    QFETCH(QStringList, elements);
    QCOMPARE(walk(text), elements);
}

void tst_VXMLLevel1Iter::walksThroughViews_data()
{
    walksOneLevel_data();
}

void tst_VXMLLevel1Iter::walksThroughViews()
{
    QFETCH(QString, text);
    QFETCH(QStringList, elements);
    QCOMPARE(walkViews(text), elements);
    // A view into a longer text ends where the view ends.
    const QString longer = QStringLiteral("<z>") + text + QStringLiteral("</z><after>1</after>");
    QCOMPARE(walkViews(QStringView(longer).mid(3, text.size())), elements);
}

void tst_VXMLLevel1Iter::endTagsOfTheNameOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("elements");

    QTest::addRow("three deep, then a sibling")
        << "<a><a><a>x</a></a>y</a><b/>" << QStringList { "a=<a><a>x</a></a>y", "b=" };
    QTest::addRow("end tag of a shorter name inside") << "<ab>1</a></ab>" << QStringList { "ab=1</a>" };
    QTest::addRow("end tag of a longer name inside") << "<a>1</ab></a>" << QStringList { "a=1</ab>" };
    QTest::addRow("start tag with a space is not the name") << "<a><a >1</a>2</a>" << QStringList { "a=<a >1" };
    QTest::addRow("name holding a less-than sign") << "<a<b>1</a<b><c>2</c>" << QStringList { "a<b=1", "c=2" };
    QTest::addRow("empty name") << "<>x</><b>1</b>" << QStringList { "=x", "b=1" };
    QTest::addRow("end tag cut at the end of the text") << "<a>1</a" << QStringList();
    QTest::addRow("nested start tag cut at the end of the text") << "<a>1</a><a" << QStringList { "a=1" };
}

void tst_VXMLLevel1Iter::endTagsOfTheNameOnly()
{
    QFETCH(QString, text);
    QFETCH(QStringList, elements);
    QCOMPARE(walk(text), elements);
    QCOMPARE(walkViews(text), elements);
}

// Text is scanned for "<" several characters at a time: tags must be found
// wherever they fall in such a block, and near the end of the text.
void tst_VXMLLevel1Iter::tagsAtEveryOffsetOfAScanBlock()
{
    for (int n = 0; n < 40; ++n) {
        const QString content = QString(n, QLatin1Char('y'));
        const QString text = QString(n, QLatin1Char('x')) + QStringLiteral("<a>") + content + QStringLiteral("</a>")
            + QString(n, QLatin1Char('>')) + QStringLiteral("<b>1</b>");
        const QStringList expected { QStringLiteral("a=") + content, QStringLiteral("b=1") };
        QVERIFY2(walk(text) == expected, qPrintable(text));
        QVERIFY2(walkViews(text) == expected, qPrintable(text));
        // Cut before the last end tag is complete, the second element is lost.
        QVERIFY2(walk(text.chopped(1)) == expected.first(1), qPrintable(text));
    }
}

void tst_VXMLLevel1Iter::keepsItsTextWhenTheCallerChangesTheirs()
{
    QString text = QStringLiteral("<a>1</a><b>2</b>");
    text.detach();
    VXMLLevel1Iter it(text);
    QCOMPARE(++it, QStringLiteral("1"));
    VXMLLevel1Iter copy = it;
    text.replace(QLatin1Char('2'), QLatin1Char('9'));
    text = QString();
    QCOMPARE(++it, QStringLiteral("2"));
    QCOMPARE(++copy, QStringLiteral("2"));
    QCOMPARE(copy.dataView().toString(), QStringLiteral("2"));
    QCOMPARE(copy.replaceCurrentTag(QStringLiteral("x")), QStringLiteral("<a>1</a><b>x</b>"));
}

void tst_VXMLLevel1Iter::borrowedTextIsReplacedInACopy()
{
    const QString text = QStringLiteral("<a>1</a><b>2</b>");
    VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(text);
    QCOMPARE(it.replaceCurrentTag(QStringLiteral("x")), text);
    QVERIFY(it.next());
    QVERIFY(it.isTag(u"a"));
    QCOMPARE(it.replaceCurrentTag(QStringLiteral("x")), QStringLiteral("<a>x</a><b>2</b>"));
    QCOMPARE(it.getTagAndData(), QStringLiteral("<a>1</a>"));
    QCOMPARE(text, QStringLiteral("<a>1</a><b>2</b>"));
}

void tst_VXMLLevel1Iter::emptyContentIsNotTheEnd()
{
    VXMLLevel1Iter it(QStringLiteral("<a></a><b/>"));
    QString content = ++it;
    QVERIFY(!content.isNull());
    QVERIFY(content.isEmpty());
    QVERIFY(it.isTag("a"));
    content = ++it;
    QVERIFY(!content.isNull());
    QVERIFY(it.isTag("b"));
    QVERIFY((++it).isNull());
}

void tst_VXMLLevel1Iter::stateAtTheEnd()
{
    VXMLLevel1Iter it(QStringLiteral("<a>1</a>"));
    QVERIFY(!it.isOnElement());
    QVERIFY(it.tagName().isNull());
    ++it;
    QVERIFY(it.isOnElement());
    QVERIFY(it.isTag("a"));
    QVERIFY(!it.isTag("b"));
    QVERIFY((++it).isNull());
    QVERIFY(!it.isOnElement());
    QVERIFY(!it.isTag("a"));
    QVERIFY(it.tagName().isNull());
    QVERIFY(it.data().isNull());
    // Further steps stay at the end.
    QVERIFY((++it).isNull());
}

void tst_VXMLLevel1Iter::postfixIncrementAdvancesToo()
{
    VXMLLevel1Iter it(QStringLiteral("<a>1</a><b>2</b>"));
    QCOMPARE(it++, QStringLiteral("1"));
    QCOMPARE(it++, QStringLiteral("2"));
    QVERIFY(it.isTag("b"));
    QVERIFY((it++).isNull());
}

void tst_VXMLLevel1Iter::copyIteratesIndependently()
{
    VXMLLevel1Iter it(QStringLiteral("<a>1</a><b>2</b><c>3</c>"));
    ++it;
    VXMLLevel1Iter copy(it);
    QCOMPARE(++it, QStringLiteral("2"));
    QCOMPARE(++it, QStringLiteral("3"));
    QVERIFY(copy.isTag("a"));
    QCOMPARE(++copy, QStringLiteral("2"));

    VXMLLevel1Iter assigned;
    assigned = copy;
    QVERIFY(assigned.isTag("b"));
    QCOMPARE(++assigned, QStringLiteral("3"));
    QVERIFY(copy.isTag("b"));
}

void tst_VXMLLevel1Iter::assigningTextRestarts()
{
    VXMLLevel1Iter it(QStringLiteral("<a>1</a><b>2</b>"));
    ++it;
    ++it;
    it = QStringLiteral("<z>9</z>");
    QVERIFY(!it.isOnElement());
    QCOMPARE(++it, QStringLiteral("9"));
    QVERIFY(it.isTag("z"));

    VXMLLevel1Iter empty;
    QVERIFY((++empty).isNull());
}

void tst_VXMLLevel1Iter::tagAndData()
{
    VXMLLevel1Iter it(QStringLiteral("<?xml?><a><b>x</b></a><c/>"));
    ++it;
    QCOMPARE(it.getTagAndData(), QStringLiteral("<a><b>x</b></a>"));
    ++it;
    QCOMPARE(it.getTagAndData(), QStringLiteral("<c></c>"));
}

void tst_VXMLLevel1Iter::replaceCurrentTag_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");

    QTest::addRow("first element") << "<a>1</a><b>2</b>" << 1 << "xyz"
                                   << "<a>xyz</a><b>2</b>";
    QTest::addRow("second element") << "<a>1</a><b>2</b>" << 2 << ""
                                    << "<a>1</a><b></b>";
    QTest::addRow("empty element gets content at its end") << "<a/>tail" << 1 << "q"
                                                           << "<a/>qtail";
    QTest::addRow("not on an element leaves the text") << "<a>1</a>" << 0 << "x"
                                                       << "<a>1</a>";
    QTest::addRow("after the end leaves the text") << "<a>1</a>" << 2 << "x"
                                                   << "<a>1</a>";
}

void tst_VXMLLevel1Iter::replaceCurrentTag()
{
    QFETCH(QString, text);
    QFETCH(int, steps);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    VXMLLevel1Iter it(text);
    for (int i = 0; i < steps; ++i)
        ++it;
    QCOMPARE(it.replaceCurrentTag(replacement), expected);
}

void tst_VXMLLevel1Iter::threeNumbers_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("intsOk");
    QTest::addColumn<QList<int>>("ints");
    QTest::addColumn<bool>("doublesOk");
    QTest::addColumn<QList<double>>("doubles");

    QTest::addRow("three integers") << "1 2 3" << true << QList<int> { 1, 2, 3 } << true << QList<double> { 1, 2, 3 };
    QTest::addRow("spread over lines and tabs")
        << "\n -4\t5\n6 " << true << QList<int> { -4, 5, 6 } << true << QList<double> { -4, 5, 6 };
    QTest::addRow("decimals are doubles only")
        << "0.5 1.5 2.5" << false << QList<int>() << true << QList<double> { 0.5, 1.5, 2.5 };
    QTest::addRow("only two numbers") << "1 2" << false << QList<int>() << false << QList<double>();
    QTest::addRow("words") << "a b c" << false << QList<int>() << false << QList<double>();
    QTest::addRow("empty") << "" << false << QList<int>() << false << QList<double>();
}

void tst_VXMLLevel1Iter::threeNumbers()
{
    QFETCH(QString, content);
    QFETCH(bool, intsOk);
    QFETCH(QList<int>, ints);
    QFETCH(bool, doublesOk);
    QFETCH(QList<double>, doubles);

    VXMLLevel1Iter it(QStringLiteral("<v>%1</v>").arg(content));
    ++it;
    int a = 0, b = 0, c = 0;
    QCOMPARE(it.dataTo3Int(a, b, c), intsOk);
    if (intsOk)
        QCOMPARE((QList<int> { a, b, c }), ints);
    double x = 0, y = 0, z = 0;
    QCOMPARE(it.dataTo3Double(x, y, z), doublesOk);
    if (doublesOk)
        QCOMPARE((QList<double> { x, y, z }), doubles);
}

void tst_VXMLLevel1Iter::dataBlockPointsIntoText()
{
    VXMLLevel1Iter it(QStringLiteral("<a>hello</a><b/>"));
    const QChar *data = nullptr;
    int length = -1;
    it.getNextDataBlock(&data, &length);
    QVERIFY(data);
    QCOMPARE(QString(data, length), QStringLiteral("hello"));
    it.getNextDataBlock(&data, &length);
    QVERIFY(it.isTag("b"));
    QCOMPARE(length, 0);
    it.getNextDataBlock(&data, &length);
    QCOMPARE(data, nullptr);
    QCOMPARE(length, 0);
}

void tst_VXMLLevel1Iter::deepNestingOfOneNameIsTracked()
{
    const int depth = 10000;
    const QString text = QStringLiteral("<x>").repeated(depth) + QStringLiteral("core")
        + QStringLiteral("</x>").repeated(depth) + QStringLiteral("<after>1</after>");
    VXMLLevel1Iter it(text);
    const QString content = ++it;
    QCOMPARE(content.size(), (depth - 1) * 7 + 4);
    QVERIFY(content.startsWith(QStringLiteral("<x><x>")));
    QCOMPARE(++it, QStringLiteral("1"));
    QVERIFY(it.isTag("after"));
}

void tst_VXMLLevel1Iter::deepNestingOfDistinctNamesIsOneElement()
{
    QString open, close;
    for (int i = 0; i < 10000; ++i) {
        open += QStringLiteral("<u%1>").arg(i);
        close.prepend(QStringLiteral("</u%1>").arg(i));
    }
    QCOMPARE(walk(open + close + QStringLiteral("<z>2</z>")),
        (QStringList { "u0=" + open.mid(4) + close.chopped(5), "z=2" }));
}

void tst_VXMLLevel1Iter::manySiblings()
{
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("<e%1>%1</e%1>").arg(i);
    const QStringList elements = walk(text);
    QCOMPARE(elements.size(), 100000);
    QCOMPARE(elements.last(), QStringLiteral("e99999=99999"));
}

QTEST_GUILESS_MAIN(tst_VXMLLevel1Iter)
#include "tst_vxmllevel1iter.moc"
