#include "viewer/comparewindow.h"

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

using namespace traxo;

namespace {

// A chain of steps, newest first, titled by the words of spec; "B>X" embeds
// a container with step X in step B. "T=d" gives step T the description d.
WorkflowTree makeHistory(const QString &spec)
{
    WorkflowTree tree;
    int parent = -1;
    for (const QString &word : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        int embedder = parent;
        int level = 0;
        for (const QString &part : word.split(QLatin1Char('>'))) {
            Workflowstep step;
            step.Title = part.section(QLatin1Char('='), 0, 0);
            step.Description = part.section(QLatin1Char('='), 1);
            const QString file = QStringLiteral("c%1.traxo").arg(level++);
            embedder = tree.addTreeNode(embedder, step, file, file);
            if (level == 1)
                parent = embedder;
        }
    }
    return tree;
}

WorkflowComparison compare(const QString &spec1, const QString &spec2)
{
    const WorkflowstepCosts costs;
    const WorkflowTree tree1 = makeHistory(spec1);
    const WorkflowTree tree2 = makeHistory(spec2);
    TraxoDiff diff(tree1, tree2, &costs);
    return WorkflowComparison(tree1, tree2, diff.findBestMatch());
}

// "title1|title2|differences" per item, children indented.
QStringList describe(const QTreeWidgetItem *item, int depth = 0)
{
    QStringList lines { QString(2 * depth, QLatin1Char(' ')) + item->text(0) + QLatin1Char('|') + item->text(1)
        + QLatin1Char('|') + item->text(2) };
    for (int i = 0; i < item->childCount(); ++i)
        lines += describe(item->child(i), depth + 1);
    return lines;
}

} // namespace

class tst_CompareWindow : public QObject
{
    Q_OBJECT

private slots:
    void rowListShowsPairsAndNesting();
    void renderingsHighlightChangedFields();
    void choosingAStepScrollsBothRenderings();
};

void tst_CompareWindow::rowListShowsPairsAndNesting()
{
    CompareWindow window(compare("D C=x B>Y A", "D C=y N B>Y=z A"), "one.traxo", "two.traxo");
    QStringList lines;
    for (int i = 0; i < window.rowList()->topLevelItemCount(); ++i)
        lines += describe(window.rowList()->topLevelItem(i));
    QCOMPARE(
        lines, QStringList({ "D|D|same", "C|C|Description", "|N|added", "B|B|same", "  Y|Y|Description", "A|A|same" }));

    // Changed rows are yellow, added ones green, unchanged ones plain.
    const QTreeWidget *list = window.rowList();
    QCOMPARE(list->topLevelItem(1)->background(0).color(), QColor("#fff1a8"));
    QCOMPARE(list->topLevelItem(2)->background(1).color(), QColor("#d4f2d4"));
    QCOMPARE(list->topLevelItem(0)->background(0).style(), Qt::NoBrush);
}

void tst_CompareWindow::renderingsHighlightChangedFields()
{
    const WorkflowComparison comparison = compare("B=old A", "N B=new A");
    const QString first = CompareWindow::renderHistory(comparison, FirstTree);
    const QString second = CompareWindow::renderHistory(comparison, SecondTree);
    QVERIFY(first.contains(QLatin1String("(added in the second history)")));
    QVERIFY(!second.contains(QLatin1String("(added in the second history)")));
    // Both sides mark the changed description, and only it.
    for (const QString &html : { first, second })
        QCOMPARE(html.count(QLatin1String("<td style=\"background:#fff1a8\">")), 1);
    QVERIFY(second.contains(QLatin1String("<td style=\"background:#fff1a8\">new</td>")));
}

void tst_CompareWindow::choosingAStepScrollsBothRenderings()
{
    QStringList steps;
    for (int i = 0; i < 40; ++i)
        steps.append(QStringLiteral("S%1=d%1").arg(i));
    QStringList edited = steps;
    edited[30] = QStringLiteral("S30=changed");
    CompareWindow window(compare(steps.join(' '), edited.join(' ')), "one.traxo", "two.traxo");
    window.resize(900, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTextBrowser *first = window.rendering(FirstTree);
    QTextBrowser *second = window.rendering(SecondTree);
    QCOMPARE(first->verticalScrollBar()->value(), 0);
    window.showRow(30);
    QVERIFY(first->verticalScrollBar()->value() > 0);
    QCOMPARE(second->verticalScrollBar()->value(), first->verticalScrollBar()->value());
    QCOMPARE(window.rowList()->currentItem()->text(0), QStringLiteral("S30"));

    // A step's title in either rendering leads to its row.
    emit second->anchorClicked(QUrl(QStringLiteral("compare:row/2")));
    QCOMPARE(window.rowList()->currentItem()->text(1), QStringLiteral("S2"));
    QVERIFY(first->verticalScrollBar()->value() < second->verticalScrollBar()->maximum());
    QCOMPARE(first->verticalScrollBar()->value(), second->verticalScrollBar()->value());
}

QTEST_MAIN(tst_CompareWindow)
#include "tst_comparewindow.moc"
