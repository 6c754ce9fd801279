#include "finder/queryeditor.h"
#include "finder/queryhighlighter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

using traxo::QueryError;
using traxo::QueryErrorType;

class tst_QueryEditor : public QObject
{
    Q_OBJECT

private slots:
    void marks_data();
    void marks();
    void findsTheFirstOfAKind_data();
    void findsTheFirstOfAKind();
    void pastedLinesBecomeOne_data();
    void pastedLinesBecomeOne();
    void returnAsksForTheSearch_data();
    void returnAsksForTheSearch();
    void staysOneLineHigh();
};

void tst_QueryEditor::marks_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QColor>("color"); // invalid: nothing underlined
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("message"); // how the reported message begins

    const QColor red(255, 0, 0);
    const QColor blue(50, 60, 230);
    QTest::addRow("unclosed quote: red from the quote on")
        << "tool == 'open" << red << 8 << 5 << true << "Error while reading text at position 8 ('open):";
    QTest::addRow("user attribute against a number: blue at the operator")
        << "x:user:Temp > 30" << blue << 12 << 1 << false << "warning at pos 12: operator > requires";
    QTest::addRow("an error wins over an earlier warning")
        << "x:user:Temp > 30 && !s:filename" << red << 20 << 1 << true << "error at pos 20: operator ! requires";
    QTest::addRow("operator without its operand")
        << "fitter &&" << red << 7 << 2 << true << "Error after position 9:\n premature end of query  after &&.";
    QTest::addRow("clean query: no mark, no message") << "s:tool == fitter" << QColor() << 0 << 0 << false << "";
    QTest::addRow("empty query: the error as tool tip")
        << "" << QColor() << 0 << 0 << true << "Error after position 0:\n query is empty.";
}

void tst_QueryEditor::marks()
{
    QFETCH(QString, query);
    QFETCH(QColor, color);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(bool, isError);
    QFETCH(QString, message);

    QueryEditor editor;
    QSignalSpy reports(&editor, &QueryEditor::errorOccured);
    // A leftover mark of an earlier text must not survive the new one.
    editor.setQuery(QStringLiteral("'"));
    editor.setQuery(query);
    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.last().at(1).toBool(), isError);
    const QString reported = reports.last().at(0).toString();
    QVERIFY2(message.isEmpty() ? reported.isEmpty() : reported.startsWith(message), qPrintable(reported));
    QCOMPARE(editor.textField()->toolTip(), reported);

    QList<QTextLayout::FormatRange> underlined;
    const QList<QTextLayout::FormatRange> formats = editor.textField()->document()->firstBlock().layout()->formats();
    for (const QTextLayout::FormatRange &range : formats) {
        if (range.length > 0 && range.format.underlineStyle() == QTextCharFormat::WaveUnderline)
            underlined.append(range);
        else
            QVERIFY(range.format.toolTip().isEmpty());
    }
    if (!color.isValid()) {
        QVERIFY(underlined.isEmpty());
        return;
    }
    QCOMPARE(underlined.size(), 1);
    QCOMPARE(underlined.first().start, start);
    QCOMPARE(underlined.first().length, length);
    QCOMPARE(underlined.first().format.underlineColor(), color);
    // A tinted background, not only a thin line, shows where the problem is.
    QVERIFY(underlined.first().format.background().style() != Qt::NoBrush);
    QCOMPARE(underlined.first().format.toolTip(), reported);
}

void tst_QueryEditor::findsTheFirstOfAKind_data()
{
    QTest::addColumn<QList<QueryError>>("errors");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("warning");

    const QueryError e(QueryErrorType::Error, "e", 0, "x");
    const QueryError w(QueryErrorType::Warning, "w", 0, "x");
    QTest::addRow("none") << QList<QueryError>() << -1 << -1;
    QTest::addRow("warnings before an error") << QList<QueryError> { w, w, e, w } << 2 << 0;
    QTest::addRow("errors only") << QList<QueryError> { e, e } << 0 << -1;
}

void tst_QueryEditor::findsTheFirstOfAKind()
{
    QFETCH(QList<QueryError>, errors);
    QFETCH(int, error);
    QFETCH(int, warning);
    QCOMPARE(findError(errors), error);
    QCOMPARE(findWarning(errors), warning);
}

void tst_QueryEditor::pastedLinesBecomeOne_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("cursorAfter");

    QTest::addRow("two lines") << "" << 0 << "a\nb"
                               << "a b" << 3;
    QTest::addRow("windows line ends") << "" << 0 << "a\r\nb\r\n"
                                       << "a b " << 4;
    QTest::addRow("into the middle, cursor after the paste") << "xy" << 1 << "a\nb"
                                                             << "xa by" << 4;
}

void tst_QueryEditor::pastedLinesBecomeOne()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    QFETCH(int, cursorAfter);

    QueryEditor editor;
    editor.setQuery(before);
    QTextCursor position = editor.textField()->textCursor();
    position.setPosition(cursor);
    editor.textField()->setTextCursor(position);
    QGuiApplication::clipboard()->setText(pasted);
    editor.textField()->paste();
    QCOMPARE(editor.query(), after);
    QCOMPARE(editor.textField()->document()->blockCount(), 1);
    QCOMPARE(editor.textField()->textCursor().position(), cursorAfter);
}

void tst_QueryEditor::returnAsksForTheSearch_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QTest::addRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::addRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::addRow("Shift+Return") << int(Qt::Key_Return) << int(Qt::ShiftModifier);
}

void tst_QueryEditor::returnAsksForTheSearch()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);

    QueryEditor editor;
    editor.setQuery(QStringLiteral("fitter"));
    editor.textField()->moveCursor(QTextCursor::End);
    QSignalSpy enter(&editor, &QueryEditor::enterPressed);
    QTest::keyClick(editor.textField(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTest::keyClick(editor.textField(), Qt::Key_S);
    QCOMPARE(enter.size(), 1);
    QCOMPARE(editor.query(), QStringLiteral("fitters"));
}

void tst_QueryEditor::staysOneLineHigh()
{
    QueryEditor editor;
    QueryTextField *field = editor.textField();
    const int line = field->fontMetrics().height() + 2 * field->frameWidth();
    QCOMPARE(field->height(), line);
    QCOMPARE(field->sizeHint().height(), line);
    QCOMPARE(editor.height(), line);
    QCOMPARE(field->lineWrapMode(), QTextEdit::NoWrap);
    QVERIFY(field->tabChangesFocus());
    QVERIFY(!field->acceptRichText());
}

QTEST_MAIN(tst_QueryEditor)
#include "tst_queryeditor.moc"
