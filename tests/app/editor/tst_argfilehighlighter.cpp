#include "editor/argfilehighlighter.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

// Colours and styles of the arg-file highlighter, read back from the formats
// it leaves on the text layout of each line.
class tst_ArgFileHighlighter : public QObject
{
    Q_OBJECT

private slots:
    void optionGroups_data();
    void optionGroups();
    void words_data();
    void words();
    void unterminatedQuoteShowsNoColour();
    void everyLineOnItsOwn();
};

namespace {

enum Style { None, Plain, SemiBold, Italic, Found };

struct Look
{
    bool coloured = false;
    QColor colour;
    Style style = None;
};

Look lookAt(const QTextBlock &block, int position)
{
    Look look;
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    for (const QTextLayout::FormatRange &range : formats) {
        if (position < range.start || position >= range.start + range.length)
            continue;
        look.coloured = range.format.hasProperty(QTextFormat::ForegroundBrush);
        look.colour = range.format.foreground().color();
        if (range.format.background() == QBrush(Qt::darkMagenta))
            look.style = Found;
        else if (range.format.fontItalic())
            look.style = Italic;
        else if (range.format.fontWeight() == QFont::DemiBold)
            look.style = SemiBold;
        else if (range.format.fontWeight() == QFont::Normal)
            look.style = Plain;
    }
    return look;
}

// Highlights a text and reports the look of the character at position (an
// offset into the whole text, line ends counted).
Look highlight(const QString &text, int position, const QString &searchText = QString())
{
    QTextDocument document;
    ArgFileHighlighter highlighter;
    highlighter.setDocument(&document);
    highlighter.setFindString(searchText);
    document.setPlainText(text);
    // Attaching schedules the first pass for the event loop; run it now.
    highlighter.rehighlight();
    const QTextBlock block = document.findBlock(position);
    return lookAt(block, position - block.position());
}

} // namespace

void tst_ArgFileHighlighter::optionGroups_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QColor>("colour");

    const QColor containers(255, 90, 90), files(21, 9, 181), fileOptions(85, 177, 230), fileUser(165, 222, 255),
        step(189, 132, 21), stepUser(220, 173, 81);
    for (const char *option : { "--append-to-traxofile", "-A", "-O", "-J", "-I" })
        QTest::addRow("container option %s", option) << option << containers;
    for (const char *option : { "--infile", "-i", "--outfile", "-o" })
        QTest::addRow("file option %s", option) << option << files;
    for (const char *option : { "--file-flag", "-f", "--file-attr", "-a" })
        QTest::addRow("file flag or attribute %s", option) << option << fileOptions;
    for (const char *option : { "--file-user-with-unit", "-w", "--file-user", "-u" })
        QTest::addRow("file user attribute %s", option) << option << fileUser;
    for (const char *option : { "--step", "-s", "--doc", "-d" })
        QTest::addRow("step or document key %s", option) << option << step;
    for (const char *option : { "--step-user-with-unit", "-W", "--step-user", "-U" })
        QTest::addRow("step user attribute %s", option) << option << stepUser;
    QTest::addRow("option in no group") << "--pretend" << QColor(0, 0, 0);
    QTest::addRow("short option in no group") << "-c" << QColor(0, 0, 0);
    QTest::addRow("options are case-sensitive") << "-S" << QColor(0, 0, 0);
}

void tst_ArgFileHighlighter::optionGroups()
{
    QFETCH(QString, option);
    QFETCH(QColor, colour);
    const QString line = QStringLiteral("  ") + option + QStringLiteral(" word");
    for (int position : { 2, 2 + int(option.size()) - 1 }) {
        const Look look = highlight(line, position);
        QVERIFY(look.coloured);
        QCOMPARE(look.colour, colour);
        QCOMPARE(look.colour.alpha(), 255);
        QCOMPARE(look.style, SemiBold);
    }
    QCOMPARE(highlight(line, 0).coloured, false);
}

void tst_ArgFileHighlighter::words_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("position");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("style");

    const QColor black(0, 0, 0), blue(21, 9, 181), green(108, 156, 87), brown(189, 132, 21);
    const QString quoted = QStringLiteral("-i \"/data/my scan.nii\" -f embed");
    QTest::addRow("input option is blue and semi-bold") << quoted << 0 << blue << int(SemiBold);
    QTest::addRow("opening quote of the file name is italic") << quoted << 3 << black << int(Italic);
    QTest::addRow("space inside the quoted name is italic") << quoted << 12 << black << int(Italic);
    QTest::addRow("closing quote of the file name is italic") << quoted << 21 << black << int(Italic);

    const QString step = QStringLiteral("-s title \"Motion correction\" extra");
    QTest::addRow("step option") << step << 1 << brown << int(SemiBold);
    QTest::addRow("first argument after an option is italic") << step << 3 << black << int(Italic);
    QTest::addRow("second argument after an option is plain") << step << 10 << black << int(Plain);
    QTest::addRow("third argument after an option is plain") << step << 30 << black << int(Plain);

    const QString comment = QStringLiteral("-s tool bet # skull stripping, \"quotes\" inside");
    QTest::addRow("comment starts green") << comment << 12 << green << int(Plain);
    QTest::addRow("comment is green to the end of the line")
        << comment << int(comment.size()) - 1 << green << int(Plain);
    QTest::addRow("word before the comment keeps its colour") << comment << 8 << black << int(Plain);

    QTest::addRow("whole-line comment") << "# made by hand" << 5 << green << int(Plain);
    QTest::addRow("escaped space stays in the word") << "-o /data/a\\ b.nii" << 12 << black << int(Italic);
    QTest::addRow("single-quoted argument") << "-U site 'Room $1'" << 9 << black << int(Plain);
    QTest::addRow("word glued to a quoted part") << "-U key x\"y z\"" << 9 << black << int(Plain);

    // A quoted word may span lines: every line of it is the one argument.
    const QString spanning = QStringLiteral("-s description \"first line\nsecond line\nlast\" -s title T");
    QTest::addRow("first line of a quoted description") << spanning << 16 << black << int(Plain);
    QTest::addRow("middle line of a quoted description") << spanning << 30 << black << int(Plain);
    QTest::addRow("closing quote on a later line") << spanning << 43 << black << int(Plain);
    QTest::addRow("first argument spanning lines stays italic")
        << "-o \"/data/two\nlines.nii\"" << 16 << black << int(Italic);
    QTest::addRow("option after a quote spanning lines") << spanning << 45 << brown << int(SemiBold);
    QTest::addRow("argument after the option is italic again") << spanning << 48 << black << int(Italic);
    const QString escaped = QStringLiteral("-U note \"a \\\"quoted\\\"\nword\" next");
    QTest::addRow("escaped quote does not end a word spanning lines") << escaped << 20 << black << int(Plain);
    QTest::addRow("second argument after a spanning word is plain")
        << escaped << int(escaped.size()) - 1 << black << int(Plain);
    QTest::addRow("single-quoted word spanning lines") << "-U note 'one\n# not a comment'" << 15 << black << int(Plain);

    QTest::addRow("search match painted over an option") << "-s title" << 1 << QColor(Qt::white) << int(Found);
}

void tst_ArgFileHighlighter::words()
{
    QFETCH(QString, line);
    QFETCH(int, position);
    QFETCH(QColor, colour);
    QFETCH(int, style);
    const Look look = highlight(line, position, style == Found ? QStringLiteral("-s") : QString());
    QVERIFY2(look.coloured, qPrintable(QStringLiteral("no colour at %1").arg(position)));
    QCOMPARE(look.colour, colour);
    QCOMPARE(int(look.style), style);
}

void tst_ArgFileHighlighter::unterminatedQuoteShowsNoColour()
{
    QTextDocument document;
    ArgFileHighlighter highlighter;
    highlighter.setDocument(&document);
    document.setPlainText(QStringLiteral("-s title \"never closed -i /data/in.nii"));
    highlighter.rehighlight();
    QVERIFY(document.firstBlock().layout()->formats().isEmpty());
}

void tst_ArgFileHighlighter::everyLineOnItsOwn()
{
    // A quote left open on one line does not spoil the next; the counter of
    // arguments starts afresh on every line.
    QTextDocument document;
    ArgFileHighlighter highlighter;
    highlighter.setDocument(&document);
    document.setPlainText(QStringLiteral("-s title \"open\n"
                                         "first second\n"
                                         "-O /data/out.traxo"));
    highlighter.rehighlight();
    const QTextBlock first = document.firstBlock();
    const QTextBlock second = first.next();
    const QTextBlock third = second.next();
    QVERIFY(first.layout()->formats().isEmpty());
    QCOMPARE(lookAt(second, 0).style, Italic);
    QCOMPARE(lookAt(second, 7).style, Plain);
    QCOMPARE(lookAt(third, 0).colour, QColor(255, 90, 90));
    QCOMPARE(lookAt(third, 4).style, Italic);
}

QTEST_MAIN(tst_ArgFileHighlighter)
#include "tst_argfilehighlighter.moc"
