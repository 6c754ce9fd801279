#include "workflow/workflowtree.h"

#include "container/traxoparser.h"
#include "containerbuilder.h"
#include "summary/summarywriter.h"
#include "testcommon.h"
#include "workflow/traxofilemanager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace traxo;

namespace {

// The entry a step's summary declares for an embedded file, computed from the
// file itself, so that SummaryCreator ties it to its marker.
FileSummary declare(const ContainerWriter::File &file)
{
    FileSummary declared;
    declared.Filename = file.filename;
    declared.Filetype = file.filetype;
    declared.Description = file.description;
    declared.Embedded = true;
    declared.UncompressedSize = int(file.content.size());
    declared.UncompressedMD5
        = QString::fromLatin1(QCryptographicHash::hash(file.content, QCryptographicHash::Md5).toHex());
    declared.CompressedMethod = QStringLiteral("flate");
    const QByteArray stored = ContainerWriter::compress(file.content);
    declared.CompressedSize = int(stored.size());
    declared.CompressedMD5 = QString::fromLatin1(QCryptographicHash::hash(stored, QCryptographicHash::Md5).toHex());
    declared.FilePurpose = QStringLiteral("InFile");
    return declared;
}

// How a step holds the embedded container: declared as an embedded input,
// declared but flagged as not embedded, or not declared at all.
enum class Claim { Embedded, NotEmbedded, Undeclared };

// One step titled title; with a non-empty embedded path the container there
// is embedded as the input "inner.traxo".
ContainerWriter::Section step(const QString &title, const QString &embedded = QString(), Claim claim = Claim::Embedded)
{
    QList<ContainerWriter::File> files;
    Summary summary;
    summary.Title = title;
    summary.Tool = QStringLiteral("tool");
    if (!embedded.isEmpty()) {
        files.append(testcommon::embeddedFile(QStringLiteral("inner.traxo"), testcommon::readFile(embedded)));
        if (claim != Claim::Undeclared)
            summary.files.append(declare(files.last()));
        if (claim == Claim::NotEmbedded)
            summary.files.last().Embedded = false;
    }
    return testcommon::containerSection(title, files, SummaryWriter::writeSummaryUtf8(summary));
}

// "C<root B<C": every node in breadth-first order with its parent's title.
QString shape(const WorkflowTree &tree)
{
    QStringList nodes;
    for (int id : tree.serializedTree()) {
        const int parent = tree.parent(id);
        nodes.append(tree.workflowStep(id).Title + QLatin1Char('<')
            + (parent == -1 ? QStringLiteral("root") : tree.workflowStep(parent).Title));
    }
    return nodes.join(QLatin1Char(' '));
}

QStringList temporaryFiles(const WorkflowTree &tree)
{
    QStringList files;
    for (int id : tree.nodeIds()) {
        if (tree.traxofile(id) != tree.fileOnDisk(id) && !files.contains(tree.fileOnDisk(id)))
            files.append(tree.fileOnDisk(id));
    }
    return files;
}

} // namespace

class tst_WorkflowTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void unfoldsNestedContainers_data();
    void unfoldsNestedContainers();
    void unopenableContainerGivesEmptyTree_data();
    void unopenableContainerGivesEmptyTree();
    void registersAPathOnce();
    void temporaryFilesGoWithTheTree_data();
    void temporaryFilesGoWithTheTree();
    void stopsAtNestingDepth();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString writeContainer(const QString &name, const QList<ContainerWriter::Section> &sections);

    QTemporaryDir m_dir;
    QString m_tempPath;
};

void tst_WorkflowTree::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A private temporary directory, so that leftovers can be counted.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("tmp")));
    m_tempPath = path(QStringLiteral("tmp"));
    qputenv("TMPDIR", QFile::encodeName(m_tempPath));
    QCOMPARE(QDir::tempPath(), m_tempPath);
}

void tst_WorkflowTree::cleanupTestCase()
{
    QCOMPARE(QDir(m_tempPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

QString tst_WorkflowTree::writeContainer(const QString &name, const QList<ContainerWriter::Section> &sections)
{
    QString error;
    if (!testcommon::buildContainer(path(name), sections, QByteArray(), &error))
        qWarning() << error;
    return path(name);
}

void tst_WorkflowTree::unfoldsNestedContainers_data()
{
    // Steps oldest first; "B>" embeds the inner container in step B, "B?"
    // holds it in a marker the summary does not declare, "B-" declares it
    // as not embedded.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("innerSteps");
    QTest::addColumn<QString>("expected");

    QTest::addRow("three steps form a chain from the newest")
        << QStringList { "A", "B", "C" } << QStringList() << "C<root B<C A<B";
    QTest::addRow("embedded history hangs below its step before the older one")
        << QStringList { "A", "B>", "C" } << QStringList { "X", "Y" } << "C<root B<C Y<B A<B X<Y";
    QTest::addRow("embedded in the oldest step")
        << QStringList { "A>", "B" } << QStringList { "X" } << "B<root A<B X<A";
    QTest::addRow("single step") << QStringList { "A" } << QStringList() << "A<root";
    QTest::addRow("container in a marker no summary claims stays folded")
        << QStringList { "A", "B?" } << QStringList { "X" } << "B<root A<B";
    QTest::addRow("container declared as not embedded stays folded")
        << QStringList { "A-", "B" } << QStringList { "X" } << "B<root A<B";
}

void tst_WorkflowTree::unfoldsNestedContainers()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, innerSteps);
    QFETCH(QString, expected);

    QList<ContainerWriter::Section> innerSections;
    for (const QString &title : innerSteps)
        innerSections.append(step(title));
    const QString inner = writeContainer(QStringLiteral("inner.traxo"), innerSections);
    QList<ContainerWriter::Section> sections;
    const QHash<QChar, Claim> claims { { '>', Claim::Embedded }, { '?', Claim::Undeclared },
        { '-', Claim::NotEmbedded } };
    for (const QString &title : steps) {
        const auto claim = claims.constFind(title.back());
        sections.append(claim == claims.cend() ? step(title) : step(title.chopped(1), inner, *claim));
    }
    const QString top = writeContainer(QStringLiteral("top.traxo"), sections);

    WorkflowTree tree;
    QVERIFY(tree.treeFromTraxoFile(top));
    QCOMPARE(shape(tree), expected);
    QCOMPARE(tree.count(), expected.count(QLatin1Char('<')));
    QCOMPARE(tree.parent(tree.root()), -1);
    QCOMPARE(tree.parent(1000), -2);
    for (int id : tree.nodeIds()) {
        const bool embedded = innerSteps.contains(tree.workflowStep(id).Title);
        QCOMPARE(tree.traxofile(id), embedded ? QStringLiteral("inner.traxo") : top);
        QVERIFY(tree.traxoParser(id));
        QCOMPARE(tree.traxoParser(id)->fileName(), tree.fileOnDisk(id));
        if (embedded) {
            QVERIFY(tree.fileOnDisk(id).startsWith(m_tempPath));
            // The extracted copy holds exactly the embedded bytes.
            QCOMPARE(testcommon::readFile(tree.fileOnDisk(id)), testcommon::readFile(inner));
        } else {
            QCOMPARE(tree.fileOnDisk(id), top);
        }
    }
}

void tst_WorkflowTree::unopenableContainerGivesEmptyTree_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");

    QTest::addRow("missing file") << QByteArray() << false;
    QTest::addRow("empty file") << QByteArray() << true;
    QTest::addRow("text without header line") << QByteArray("just some text\n") << true;
}

void tst_WorkflowTree::unopenableContainerGivesEmptyTree()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);

    const QString file = path(QStringLiteral("broken.traxo"));
    QFile::remove(file);
    if (exists)
        QVERIFY(testcommon::writeFile(file, content));

    WorkflowTree tree;
    QList<int> levels;
    connect(&tree, qOverload<const QString &, int>(&LogSource::log), this,
        [&levels](const QString &, int level) { levels.append(level); });
    QVERIFY(!tree.treeFromTraxoFile(file));
    QVERIFY(tree.isEmpty());
    QCOMPARE(tree.root(), -2);
    QCOMPARE(tree.serializedTree(), QList<int>());
    QVERIFY(levels.contains(LogError));
}

void tst_WorkflowTree::registersAPathOnce()
{
    const QString container = writeContainer(QStringLiteral("once.traxo"), { step("A") });
    TraxoFileManager manager;
    QVERIFY(manager.addTraxoFile(container, false));
    QVERIFY(!manager.addTraxoFile(container, false));
    // Claiming a registered file as temporary must not remove it.
    QVERIFY(!manager.addTraxoFile(container, true));
    QVERIFY(QFile::exists(container));
    QVERIFY(!manager.addTraxoFile(QSharedPointer<TraxoParser>::create(), container));
    QCOMPARE(manager.count(), 1);

    // A temporary file that is no container is removed at once.
    const QString broken = path(QStringLiteral("tmp/broken.traxo"));
    QVERIFY(testcommon::writeFile(broken, "no container"));
    QVERIFY(!manager.addTraxoFile(broken, true));
    QVERIFY(!QFile::exists(broken));
    QCOMPARE(manager.count(), 1);
}

void tst_WorkflowTree::temporaryFilesGoWithTheTree_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("cleared") << "clear";
    QTest::addRow("rebuilt") << "rebuild";
    QTest::addRow("destroyed") << "destroy";
    QTest::addRow("cleared while a copy still uses them") << "copy";
}

void tst_WorkflowTree::temporaryFilesGoWithTheTree()
{
    QFETCH(QString, how);

    const QString inner = writeContainer(QStringLiteral("inner.traxo"), { step("X") });
    const QString top = writeContainer(QStringLiteral("top.traxo"), { step("A", inner), step("B", inner) });
    auto tree = std::make_unique<WorkflowTree>();
    QVERIFY(tree->treeFromTraxoFile(top));
    const QStringList files = temporaryFiles(*tree);
    QCOMPARE(files.size(), 2);
    for (const QString &file : files)
        QVERIFY(QFile::exists(file));

    std::unique_ptr<WorkflowTree> copy;
    if (how == QLatin1String("clear")) {
        tree->clear();
        QVERIFY(tree->isEmpty());
    } else if (how == QLatin1String("rebuild")) {
        QVERIFY(tree->treeFromTraxoFile(top));
        QCOMPARE(tree->count(), 4);
        QVERIFY(!temporaryFiles(*tree).contains(files.first()));
    } else if (how == QLatin1String("destroy")) {
        tree.reset();
    } else {
        copy = std::make_unique<WorkflowTree>(*tree);
        tree->clear();
        for (const QString &file : files)
            QVERIFY(QFile::exists(file));
        QCOMPARE(copy->traxoParser(copy->root())->fileName(), top);
        copy.reset();
    }
    for (const QString &file : files)
        QVERIFY2(!QFile::exists(file), qPrintable(file));
}

void tst_WorkflowTree::stopsAtNestingDepth()
{
    // Every level embeds the one before it: 40 levels of containers.
    const int levels = 40;
    QString previous = writeContainer(QStringLiteral("level0.traxo"), { step(QStringLiteral("L0")) });
    for (int level = 1; level < levels; ++level) {
        previous = writeContainer(
            QStringLiteral("level%1.traxo").arg(level), { step(QStringLiteral("L%1").arg(level), previous) });
    }

    WorkflowTree tree;
    QStringList warnings;
    connect(&tree, qOverload<const QString &, int>(&LogSource::log), this, [&warnings](const QString &text, int level) {
        if (level == LogWarning)
            warnings.append(text);
    });
    QVERIFY(tree.treeFromTraxoFile(previous));
    // The top container and WorkflowTree::MaxNestingDepth levels below it.
    QCOMPARE(tree.count(), WorkflowTree::MaxNestingDepth + 1);
    QCOMPARE(tree.serializedTree().size(), tree.count());
    QCOMPARE(tree.workflowStep(tree.serializedTree().last()).Title,
        QStringLiteral("L%1").arg(levels - 1 - WorkflowTree::MaxNestingDepth));
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.first().contains(QLatin1String("inner.traxo")));
}

QTEST_GUILESS_MAIN(tst_WorkflowTree)
#include "tst_workflowtree.moc"
