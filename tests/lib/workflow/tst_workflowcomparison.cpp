#include "workflow/workflowcomparison.h"

#include "workflow/traxodiff.h"
#include "workflow/workflowstepcosts.h"
#include "workflow/workflowtree.h"

#include <QJsonArray>
#include <QtTest>

using namespace traxo;

namespace {

// "A B>C D": one step per word, a chain from the newest; "B>C" puts step C
// into a container embedded in B (another fileOnDisk), below B and before
// the next older step. A title may carry a description after "=".
WorkflowTree makeHistory(const QString &spec)
{
    WorkflowTree tree;
    int parent = -1;
    for (const QString &word : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList nested = word.split(QLatin1Char('>'));
        int level = 0;
        int embedder = parent;
        for (const QString &part : nested) {
            Workflowstep step;
            step.Title = part.section(QLatin1Char('='), 0, 0);
            step.Description = part.section(QLatin1Char('='), 1);
            step.Tool = QStringLiteral("tool");
            const QString file = QStringLiteral("level%1.traxo").arg(level++);
            embedder = tree.addTreeNode(embedder, step, file, file);
            if (level == 1)
                parent = embedder;
        }
    }
    return tree;
}

WorkflowComparison compare(const QString &spec1, const QString &spec2)
{
    const WorkflowTree tree1 = makeHistory(spec1);
    const WorkflowTree tree2 = makeHistory(spec2);
    const WorkflowstepCosts costs;
    TraxoDiff diff(tree1, tree2, &costs);
    return WorkflowComparison(tree1, tree2, diff.findBestMatch());
}

// "=A ~B -C +D": a mark per row (same, changed, removed, added), the title,
// and one '.' per level of nesting before the title.
QString rowText(const WorkflowComparison &comparison)
{
    QStringList words;
    for (const WorkflowComparison::Row &row : comparison.rows()) {
        const char mark = "=~-+"[row.kind];
        const QString title
            = row.kind == WorkflowComparison::Added ? comparison.step2(row).Title : comparison.step1(row).Title;
        words.append(QLatin1Char(mark) + QString(row.level, QLatin1Char('.')) + title
            + (row.parentChanged ? QStringLiteral("^") : QString()));
    }
    return words.join(QLatin1Char(' '));
}

FileSummary file(const QString &purpose, const QString &name, const QString &md5, int size)
{
    FileSummary summary;
    summary.FilePurpose = purpose;
    summary.Filename = name;
    summary.UncompressedMD5 = md5;
    summary.UncompressedSize = size;
    return summary;
}

} // namespace

class tst_WorkflowComparison : public QObject
{
    Q_OBJECT

private slots:
    void changedFields_data();
    void changedFields();
    void rowsFollowTheHistories_data();
    void rowsFollowTheHistories();
    void textAndJsonListTheSameRows();
    void unreadableContainerIsAnError();
};

void tst_WorkflowComparison::changedFields_data()
{
    QTest::addColumn<Workflowstep>("second");
    QTest::addColumn<QStringList>("changes");

    Workflowstep edited;
    edited.Title = QStringLiteral("Scan 2");
    edited.Description = QStringLiteral("new run");
    QTest::addRow("title and description")
        << edited << QStringList { "Title: Scan -> Scan 2", "Description: old run -> new run" };

    Workflowstep attributes;
    attributes.Title = QStringLiteral("Scan");
    attributes.Description = QStringLiteral("old run");
    attributes.userAttributeKeys = QStringList { "voltage", "operator" };
    attributes.userAttributeValues = { { "voltage", "90" }, { "operator", "kim" } };
    attributes.userAttributeUnits = { { "voltage", "kV" } };
    QTest::addRow("attribute value changed, one removed, one added")
        << attributes
        << QStringList { "attribute voltage: 80 kV -> 90 kV", "attribute gain: 2 -> ", "attribute operator:  -> kim" };

    Workflowstep files = attributes;
    files.userAttributeKeys = QStringList { "voltage", "gain" };
    files.userAttributeValues = { { "voltage", "80" }, { "gain", "2" } };
    files.files = { file("InFile", "in.csv", "bbbb", 10), file("OutFile", "new.dat", "cccc", 3),
        file("Undefined", "ws_summary.xml", "eeee", 99) };
    QTest::addRow("file checksum changed, one gone, one new; the summary marker is no field")
        << files
        << QStringList { "input in.csv: MD5 aaaa, 10 bytes -> MD5 bbbb, 10 bytes",
               "output out.dat: MD5 dddd, 5 bytes -> ", "output new.dat:  -> MD5 cccc, 3 bytes" };
}

void tst_WorkflowComparison::changedFields()
{
    QFETCH(Workflowstep, second);
    QFETCH(QStringList, changes);

    Workflowstep first;
    first.Title = QStringLiteral("Scan");
    first.Description = QStringLiteral("old run");
    first.userAttributeKeys = QStringList { "voltage", "gain" };
    first.userAttributeValues = { { "voltage", "80" }, { "gain", "2" } };
    first.userAttributeUnits = { { "voltage", "kV" } };
    first.files = { file("InFile", "in.csv", "aaaa", 10), file("OutFile", "out.dat", "dddd", 5),
        file("Undefined", "ws_summary.xml", "ffff", 98) };
    if (second.files.isEmpty())
        second.files = first.files;
    if (second.userAttributeKeys.isEmpty()) {
        second.userAttributeKeys = first.userAttributeKeys;
        second.userAttributeValues = first.userAttributeValues;
        second.userAttributeUnits = first.userAttributeUnits;
    }

    QStringList found;
    for (const WorkflowComparison::FieldChange &change : WorkflowComparison::changedFields(first, second))
        found.append(QStringLiteral("%1: %2 -> %3").arg(change.field, change.before, change.after));
    QCOMPARE(found, changes);
    QVERIFY(WorkflowComparison::changedFields(first, first).isEmpty());
}

void tst_WorkflowComparison::rowsFollowTheHistories_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<bool>("equal");

    QTest::addRow("equal histories") << "C B A"
                                     << "C B A"
                                     << "=C =B =A" << true;
    QTest::addRow("changed description") << "C B=x A"
                                         << "C B=y A"
                                         << "=C ~B =A" << false;
    QTest::addRow("step removed and step added where they were") << "D C B A"
                                                                 << "D X B A"
                                                                 << "=D -C +X =B =A" << false;
    QTest::addRow("added newest step comes first") << "B A"
                                                   << "N B A"
                                                   << "+N =B =A" << false;
    QTest::addRow("embedded history nested below its step") << "C B>Y>X A"
                                                            << "C B>Y>X=new A"
                                                            << "=C =B =.Y ~..X =A" << false;
    // P moved to the end: pairing P and Q costs a parent penalty each (10),
    // less than leaving either unmatched in both histories (30).
    QTest::addRow("step moved below another parent") << "R P=x Q=y A"
                                                     << "R Q=y A P=x"
                                                     << "=R =P^ =Q^ =A" << false;
}

void tst_WorkflowComparison::rowsFollowTheHistories()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, rows);
    QFETCH(bool, equal);

    const WorkflowComparison comparison = compare(first, second);
    QCOMPARE(rowText(comparison), rows);
    QCOMPARE(comparison.isEqual(), equal);
    for (int i = 0; i < comparison.rows().size(); ++i) {
        const WorkflowComparison::Row &row = comparison.rows().at(i);
        if (row.node1 != NULL_NODE)
            QCOMPARE(comparison.rowOf(row.node1, FirstTree), i);
        if (row.node2 != NULL_NODE)
            QCOMPARE(comparison.rowOf(row.node2, SecondTree), i);
    }
}

void tst_WorkflowComparison::textAndJsonListTheSameRows()
{
    const WorkflowComparison comparison = compare("D C=x B A", "D C=y A N");
    QCOMPARE(comparison.toText("one.traxo", "two.traxo"),
        QStringLiteral("--- one.traxo\n"
                       "+++ two.traxo\n"
                       "  D [0/0]\n"
                       "~ C [1/1]\n"
                       "    Description: \"x\" -> \"y\"\n"
                       "- B [2/-]\n"
                       "  A [3/2]\n"
                       "+ N [-/3]\n"
                       "2 same, 1 changed, 1 removed, 1 added; costs 50\n"));

    const QJsonObject json = comparison.toJson("one.traxo", "two.traxo");
    QCOMPARE(json.value("equal").toBool(), false);
    QCOMPARE(json.value("costs").toDouble(), 50.0);
    QCOMPARE(json.value("pairs").toArray().size(), 3);
    const QJsonObject changed = json.value("pairs").toArray().at(1).toObject();
    QCOMPARE(changed.value("title2").toString(), QStringLiteral("C"));
    const QJsonObject change = changed.value("changes").toArray().at(0).toObject();
    QCOMPARE(change.value("field").toString() + change.value("before").toString() + change.value("after").toString(),
        QStringLiteral("Descriptionxy"));
    QCOMPARE(json.value("removed").toArray().at(0).toObject().value("title").toString(), QStringLiteral("B"));
    QCOMPARE(json.value("added").toArray().at(0).toObject().value("second").toInt(), 3);
}

void tst_WorkflowComparison::unreadableContainerIsAnError()
{
    WorkflowComparison comparison;
    QString error;
    QVERIFY(!comparison.compareFiles(
        QStringLiteral("/nonexistent/a.traxo"), QStringLiteral("/nonexistent/b.traxo"), &error));
    QVERIFY(error.contains(QLatin1String("/nonexistent/a.traxo")));
    QVERIFY(comparison.rows().isEmpty());
}

QTEST_GUILESS_MAIN(tst_WorkflowComparison)
#include "tst_workflowcomparison.moc"
