#include "workflow/workflowtree.h"

#include "container/extractionqueue.h"
#include "container/traxoparser.h"
#include "summary/summarycreator.h"
#include "workflow/temptraxofile.h"
#include "workflow/traxofilemanager.h"
#include "workflow/workflowlogging.h"

#include <QFile>
#include <QQueue>
#include <QSet>

#include <algorithm>

namespace traxo {

WorkflowTree::WorkflowTree(QObject *sink)
    : LogSource(sink)
{
    newFileManager();
}

WorkflowTree::WorkflowTree(const WorkflowTree &other)
    : LogSource(nullptr)
    , m_nextId(other.m_nextId)
    , m_nodes(other.m_nodes)
    , m_children(other.m_children)
    , m_fileManager(other.m_fileManager)
{
    m_fileManager->publishToLogSignal(this);
}

WorkflowTree &WorkflowTree::operator=(const WorkflowTree &other)
{
    if (this == &other)
        return *this;
    m_fileManager->disconnect(this);
    m_nextId = other.m_nextId;
    m_nodes = other.m_nodes;
    m_children = other.m_children;
    m_fileManager = other.m_fileManager;
    m_fileManager->publishToLogSignal(this);
    return *this;
}

WorkflowTree::~WorkflowTree() = default;

void WorkflowTree::newFileManager()
{
    if (m_fileManager)
        m_fileManager->disconnect(this);
    // Replaced rather than cleared: copies of this tree keep their files.
    m_fileManager = QSharedPointer<TraxoFileManager>::create();
    m_fileManager->publishToLogSignal(this);
}

bool WorkflowTree::treeFromTraxoFile(const QString &path)
{
    auto parser = QSharedPointer<TraxoParser>::create(ParseTolerant);
    parser->publishToLogSignal(this);
    const bool opened = parser->open(path);
    if (!opened)
        emitLog(QStringLiteral("*** ERROR: could not open container \"%1\"\n").arg(path), LogError);
    treeFromTraxoFile(parser, path);
    return opened;
}

bool WorkflowTree::treeFromTraxoFile(const QSharedPointer<TraxoParser> &parser, const QString &path)
{
    clear();
    if (!parser)
        return false;
    m_fileManager->addTraxoFile(parser, path);
    fillTree(*parser, -1, path, path, 0);
    return !parser->fileName().isEmpty();
}

void WorkflowTree::fillTree(
    TraxoParser &parser, int parentId, const QString &traxofile, const QString &fileOnDisk, int depth)
{
    SummaryCreator creator;
    const QList<Summary> summaries = creator.createSummaries(parser);
    for (auto summary = summaries.crbegin(); summary != summaries.crend(); ++summary) {
        const int id = addTreeNode(parentId, *summary, traxofile, fileOnDisk);
        parentId = id;
        for (const FileSummary &file : summary->files) {
            // Only a container the step declares as embedded is part of its
            // history; a marker no summary claims is a stray file, and a
            // declared file without a marker cannot be read.
            if (!file.Filename.endsWith(QLatin1String(".traxo")) || !file.Embedded || file.TagID < 0)
                continue;
            if (depth >= MaxNestingDepth) {
                emitLog(QStringLiteral("embedded container \"%1\" lies deeper than %2 levels and is not unfolded\n")
                            .arg(file.Filename)
                            .arg(MaxNestingDepth),
                    LogWarning);
                continue;
            }
            const QString extracted = extractFile(parser, file.TagID);
            if (extracted.isEmpty())
                continue;
            const QSharedPointer<TraxoParser> embedded = m_fileManager->addTraxoFile(extracted, true);
            if (embedded)
                fillTree(*embedded, id, file.Filename, extracted, depth + 1);
        }
    }
}

QString WorkflowTree::extractFile(TraxoParser &parser, int fileTagId)
{
    const QString target = TempTraxofile::createUniqueFile();
    if (target.isEmpty()) {
        emitLog(QStringLiteral("*** ERROR: could not create a temporary file for an embedded container\n"), LogError);
        return QString();
    }

    ExtractionQueue queue(&parser);
    queue.publishToLogSignal(this);
    bool written = false;
    connect(&queue, &ExtractionQueue::fileProcessed, this, [&written](int, bool valid) { written = valid; });
    queue.addExtractees({ { fileTagId, target } });
    while (queue.process()) { }
    if (!written) {
        QFile::remove(target);
        qCDebug(lcWorkflow) << "could not extract embedded container" << fileTagId << "of" << parser.fileName();
        return QString();
    }
    return target;
}

int WorkflowTree::addTreeNode(
    int parentId, const Workflowstep &step, const QString &traxofile, const QString &fileOnDisk)
{
    const int id = m_nextId++;
    addTreeNode(WorkflowTreeNode(id, parentId, step, traxofile, fileOnDisk));
    return id;
}

void WorkflowTree::addTreeNode(const WorkflowTreeNode &node)
{
    const auto old = m_nodes.constFind(node.nodeId());
    if (old != m_nodes.cend())
        m_children[old->parentId()].removeAll(node.nodeId());
    m_nodes.insert(node.nodeId(), node);
    m_children[node.parentId()].append(node.nodeId());
    m_nextId = std::max(m_nextId, node.nodeId() + 1);
}

int WorkflowTree::parent(int id) const
{
    const auto node = m_nodes.constFind(id);
    return node == m_nodes.cend() ? -2 : node->parentId();
}

int WorkflowTree::root() const
{
    int root = -2;
    for (auto node = m_nodes.cbegin(); node != m_nodes.cend(); ++node) {
        if (node->parentId() == -1 && (root == -2 || node.key() < root))
            root = node.key();
    }
    return root;
}

QList<int> WorkflowTree::nodeIds() const
{
    QList<int> ids = m_nodes.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::list<int> WorkflowTree::nodeIdsLinked() const
{
    const QList<int> ids = nodeIds();
    return std::list<int>(ids.cbegin(), ids.cend());
}

QSharedPointer<TraxoParser> WorkflowTree::traxoParser(int id) const
{
    return m_nodes.contains(id) ? m_fileManager->parser(fileOnDisk(id)) : QSharedPointer<TraxoParser>();
}

QList<int> WorkflowTree::serializeFromRoot(const int &id) const
{
    QList<int> order;
    if (!m_nodes.contains(id))
        return order;
    QSet<int> seen { id };
    QQueue<int> queue;
    queue.enqueue(id);
    while (!queue.isEmpty()) {
        const int next = queue.dequeue();
        order.append(next);
        for (int child : m_children.value(next)) {
            if (!seen.contains(child)) {
                seen.insert(child);
                queue.enqueue(child);
            }
        }
    }
    return order;
}

void WorkflowTree::clear()
{
    m_nextId = 0;
    m_nodes.clear();
    m_children.clear();
    newFileManager();
}

} // namespace traxo
