#include "workflow/traxodiff.h"

#include "workflow/costmatrix.h"
#include "workflow/pathexpander.h"
#include "workflow/subtreebounds.h"
#include "workflow/workflowstepcosts.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

using namespace traxo;

namespace {

// "A:- B:0 C:1": one node per word, title before the colon, parent index
// (or "-" for a root) after it, an optional tool after that; ids are the
// word positions. Tools and descriptions are equal unless given, so titles
// alone make steps differ (by 50).
WorkflowTree makeTree(const QString &spec, const QString &description = QStringLiteral("description"))
{
    WorkflowTree tree;
    const QStringList words = spec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int id = 0; id < words.size(); ++id) {
        const QStringList parts = words.at(id).split(QLatin1Char(':'));
        Workflowstep step;
        step.Title = parts.at(0);
        step.Tool = parts.value(2, QStringLiteral("tool"));
        step.Description = description;
        const int parent = parts.at(1) == QLatin1String("-") ? -1 : parts.at(1).toInt();
        tree.addTreeNode(WorkflowTreeNode(id, parent, step, QString(), QString()));
    }
    return tree;
}

// "0-0 1-n": the partner of every first-tree node, "n" for none.
QString pairs(const TraxoDiffResult &result, const WorkflowTree &tree1)
{
    QStringList text;
    for (int x : tree1.nodeIds()) {
        const int y = result.association(x, FirstTree);
        text.append(QStringLiteral("%1-%2").arg(x).arg(y == NULL_NODE ? QStringLiteral("n") : QString::number(y)));
    }
    return text.join(QLatin1Char(' '));
}

// The nearest ancestor that has a partner; the roots' parent always has one.
int matchedAncestor(const WorkflowTree &tree, int node, const QHash<int, int> &assoc)
{
    int ancestor = tree.parent(node);
    for (int guard = 0; ancestor >= 0 && assoc.value(ancestor) == NULL_NODE && guard <= tree.count(); ++guard)
        ancestor = tree.parent(ancestor);
    return ancestor;
}

// What a complete matching costs, written from the rules rather than from
// the search: pair costs, 15 per node without partner in either tree, 10 per
// pair whose nearest matched ancestors are not partners.
float matchingCosts(const WorkflowTree &tree1, const WorkflowTree &tree2, const QHash<int, int> &assoc1,
    const WorkflowstepCosts &costs = WorkflowstepCosts())
{
    QHash<int, int> assoc2;
    for (int y : tree2.nodeIds())
        assoc2.insert(y, NULL_NODE);
    for (auto it = assoc1.cbegin(); it != assoc1.cend(); ++it)
        assoc2.insert(it.value(), it.key());
    float sum = 0;
    for (int x : tree1.nodeIds()) {
        const int y = assoc1.value(x);
        if (y == NULL_NODE) {
            sum += 15;
            continue;
        }
        sum += costs.costs(tree1.workflowStep(x), tree2.workflowStep(y));
        const int a1 = matchedAncestor(tree1, x, assoc1);
        const int a2 = matchedAncestor(tree2, y, assoc2);
        if ((a1 == -1 ? -1 : assoc1.value(a1)) != a2)
            sum += 10;
    }
    for (int y : tree2.nodeIds())
        sum += assoc2.value(y) == NULL_NODE ? 15 : 0;
    return sum;
}

// The cost of every matching, cheapest first: matchingCosts on position
// tables instead of hashes, fast enough for thousands of trees.
std::vector<float> allMatchingCosts(
    const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs = WorkflowstepCosts())
{
    const QList<int> ids1 = tree1.nodeIds();
    const QList<int> ids2 = tree2.nodeIds();
    const int n1 = int(ids1.size());
    const int n2 = int(ids2.size());
    std::vector<int> parent1;
    std::vector<int> parent2;
    for (int x : ids1)
        parent1.push_back(int(ids1.indexOf(tree1.parent(x))));
    for (int y : ids2)
        parent2.push_back(int(ids2.indexOf(tree2.parent(y))));
    std::vector<float> pair;
    for (int x : ids1) {
        for (int y : ids2)
            pair.push_back(costs.costs(tree1.workflowStep(x), tree2.workflowStep(y)));
    }
    // Partners by position, -1 for none; a walk up ends at -1, the roots'
    // parent, which both trees share.
    std::vector<int> partner1(size_t(n1), -1);
    std::vector<int> partner2(size_t(n2), -1);
    const auto matchedAncestor = [](const std::vector<int> &parents, const std::vector<int> &partners, int node) {
        int ancestor = parents[size_t(node)];
        for (size_t guard = 0; ancestor >= 0 && partners[size_t(ancestor)] < 0 && guard <= parents.size(); ++guard)
            ancestor = parents[size_t(ancestor)];
        return ancestor;
    };
    std::vector<float> all;
    std::function<void(int)> choose = [&](int a) {
        if (a == n1) {
            float sum = 0;
            for (int x = 0; x < n1; ++x) {
                const int y = partner1[size_t(x)];
                if (y < 0) {
                    sum += 15;
                    continue;
                }
                sum += pair[size_t(x * n2 + y)];
                const int a1 = matchedAncestor(parent1, partner1, x);
                if ((a1 < 0 ? -1 : partner1[size_t(a1)]) != matchedAncestor(parent2, partner2, y))
                    sum += 10;
            }
            for (int y = 0; y < n2; ++y)
                sum += partner2[size_t(y)] < 0 ? 15 : 0;
            all.push_back(sum);
            return;
        }
        choose(a + 1);
        for (int y = 0; y < n2; ++y) {
            if (partner2[size_t(y)] >= 0)
                continue;
            partner1[size_t(a)] = y;
            partner2[size_t(y)] = a;
            choose(a + 1);
            partner1[size_t(a)] = partner2[size_t(y)] = -1;
        }
    };
    choose(0);
    std::sort(all.begin(), all.end());
    return all;
}

float cheapestMatchingCosts(
    const WorkflowTree &tree1, const WorkflowTree &tree2, const WorkflowstepCosts &costs = WorkflowstepCosts())
{
    return allMatchingCosts(tree1, tree2, costs).front();
}

// Costs that are not whole numbers (three eighths of the usual ones, exact
// in floats), so that queue priorities cannot be rounded up.
class FractionalCosts : public WorkflowstepCosts
{
public:
    float costs(const Workflowstep &a, const Workflowstep &b) const override
    {
        return WorkflowstepCosts::costs(a, b) * 0.375f;
    }
};

// Every complete matching, each as first-tree node -> partner (with -1 -> -1).
QList<QHash<int, int>> allMatchings(const WorkflowTree &tree1, const WorkflowTree &tree2)
{
    QList<QHash<int, int>> matchings;
    const QList<int> ids1 = tree1.nodeIds();
    const QList<int> ids2 = tree2.nodeIds();
    QHash<int, int> current { { -1, -1 } };
    std::function<void(int)> choose = [&](int index) {
        if (index == ids1.size()) {
            matchings.append(current);
            return;
        }
        QList<int> choices = ids2;
        choices.append(NULL_NODE);
        for (int y : choices) {
            bool taken = false;
            for (auto it = current.cbegin(); it != current.cend(); ++it)
                taken = taken || (y != NULL_NODE && it.value() == y);
            if (taken)
                continue;
            current.insert(ids1.at(index), y);
            choose(index + 1);
            current.remove(ids1.at(index));
        }
    };
    choose(0);
    return matchings;
}

// A small tree of look-alike steps: two kinds, each step's tool named
// after its title. Built with another description per tree, steps of one
// kind differ by 20 and nothing but the structure tells them apart.
QString lookAlikeTree(QRandomGenerator &random, int size)
{
    QStringList words;
    for (int id = 0; id < size; ++id) {
        const QChar kind(u'A' + random.bounded(2));
        const QString parent = id == 0 ? QStringLiteral("-") : QString::number(random.bounded(id));
        words.append(QStringLiteral("%1:%2:%1").arg(kind).arg(parent));
    }
    return words.join(QLatin1Char(' '));
}

// A small random tree: titles from a few letters, so that some steps are
// equal, and tools that sometimes differ.
QString randomTree(QRandomGenerator &random, int size)
{
    QStringList words;
    for (int id = 0; id < size; ++id) {
        const QString parent = id == 0 ? QStringLiteral("-") : QString::number(random.bounded(id));
        words.append(QStringLiteral("%1:%2:%3")
                         .arg(QChar(u'A' + random.bounded(3)))
                         .arg(parent)
                         .arg(random.bounded(4) == 0 ? QStringLiteral("other") : QStringLiteral("tool")));
    }
    return words.join(QLatin1Char(' '));
}

// A copy of a random tree with a few edits, the way a re-run differs: a
// title or tool changed, a step moved below another, a step added or gone.
QString editedTree(QRandomGenerator &random, const QString &spec)
{
    QStringList words = spec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int edits = random.bounded(3); edits >= 0 && !words.isEmpty(); --edits) {
        const int id = random.bounded(int(words.size()));
        QStringList parts = words.at(id).split(QLatin1Char(':'));
        switch (random.bounded(4)) {
        case 0:
            parts[0] = QString(QChar(u'A' + random.bounded(4)));
            break;
        case 1:
            parts[2] = QStringLiteral("edited");
            break;
        case 2:
            parts[1] = id == 0 ? QStringLiteral("-") : QString::number(random.bounded(id));
            break;
        default:
            if (words.size() < 6)
                words.append(QStringLiteral("N:%1:tool").arg(random.bounded(int(words.size()))));
            else if (id + 1 == words.size())
                words.removeLast();
            continue;
        }
        words[id] = parts.join(QLatin1Char(':'));
    }
    return words.join(QLatin1Char(' '));
}

// A chain of steps as two runs of one pipeline record it: every description
// differs between the runs, the steps listed in renamed have another title in
// the second run, and inserted names the position of a step that only the
// second run has. In the second run, step moved hangs below the step ten
// before it, with the steps after it.
WorkflowTree pipelineRun(int steps, int run, const QList<int> &renamed = {}, int inserted = -1, int moved = -1)
{
    WorkflowTree tree;
    int parent = -1;
    for (int i = 0; i < steps; ++i) {
        if (i == inserted && run == 2) {
            Workflowstep extra;
            extra.Title = QStringLiteral("inserted step");
            parent = tree.addTreeNode(parent, extra, QString(), QString());
        }
        if (i == moved && run == 2)
            parent -= 9;
        Workflowstep step;
        step.Title = QStringLiteral("step %1%2").arg(i).arg(run == 2 && renamed.contains(i) ? "'" : "");
        step.Tool = QStringLiteral("tool%1").arg(i % 3);
        step.Description = QStringLiteral("run %1, step %2").arg(run).arg(i);
        parent = tree.addTreeNode(parent, step, QString(), QString());
    }
    return tree;
}

// A random tree the way branchy workflows look (four steps in ten branch
// off an earlier step, eight titles and three tools, or with lookAlike the
// tool its title names) against a re-run of it: every description differs
// and `moved` steps hang below another earlier step. Returns what pairing
// every step with its counterpart costs.
float branchyRuns(int steps, int moved, quint32 seed, WorkflowTree *run1, WorkflowTree *run2, bool lookAlike = false)
{
    QRandomGenerator random(seed);
    QList<int> parents;
    QList<int> titles;
    for (int i = 0; i < steps; ++i) {
        parents.append(i == 0 ? -1 : random.bounded(10) < 4 ? random.bounded(i) : i - 1);
        titles.append(random.bounded(8));
    }
    QList<int> parents2 = parents;
    for (int done = 0; done < moved;) {
        const int i = 2 + random.bounded(steps - 2);
        const int parent = random.bounded(i);
        if (parent != parents2.at(i)) {
            parents2[i] = parent;
            ++done;
        }
    }
    for (int i = 0; i < steps; ++i) {
        Workflowstep step;
        step.Title = QStringLiteral("title %1").arg(titles.at(i));
        step.Tool = lookAlike ? step.Title : QStringLiteral("tool %1").arg(i % 3);
        step.Description = QStringLiteral("run 1, step %1").arg(i);
        run1->addTreeNode(WorkflowTreeNode(i, parents.at(i), step, QString(), QString()));
        step.Description = QStringLiteral("run 2, step %1").arg(i);
        run2->addTreeNode(WorkflowTreeNode(i, parents2.at(i), step, QString(), QString()));
    }
    return float(steps * 20 + moved * 10);
}

// Parent indices as SubtreeBounds takes them: ids are positions here.
std::vector<int> parentIndices(const WorkflowTree &tree)
{
    std::vector<int> parents;
    for (int id : tree.nodeIds())
        parents.push_back(tree.parent(id));
    return parents;
}

} // namespace

class tst_TraxoDiff : public QObject
{
    Q_OBJECT

private slots:
    void findBestMatch_data();
    void findBestMatch();
    void findBestMatchesListsEveryMatchingCheapestFirst_data();
    void findBestMatchesListsEveryMatchingCheapestFirst();
    void findBestMatchesGivesTheCheapestCosts_data();
    void findBestMatchesGivesTheCheapestCosts();
    void firstResultIsTheCheapestMatching_data();
    void firstResultIsTheCheapestMatching();
    void longReRunsFinishWithinTheBound_data();
    void longReRunsFinishWithinTheBound();
    void branchyTreesWithMovedStepsFinishEarly_data();
    void branchyTreesWithMovedStepsFinishEarly();
    void subtreeBounds_data();
    void subtreeBounds();
    void subtreeBoundsNeverExceedTheCheapestMatching();
    void pricesRaiseTheRootBound_data();
    void pricesRaiseTheRootBound();
    void priorities_data();
    void priorities();
    void stopTablesAgreeWithTheWalks();
    void bigInputStopsAtTheBound_data();
    void bigInputStopsAtTheBound();
    void withoutCostsReportsAnError();
    void resultAccessors();

private:
    WorkflowstepCosts m_costs;
};

void tst_TraxoDiff::findBestMatch_data()
{
    QTest::addColumn<QString>("tree1");
    QTest::addColumn<QString>("tree2");
    QTest::addColumn<float>("costs");
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<int>("unmatched2");
    QTest::addColumn<QList<int>>("parentChanged1");

    QTest::addRow("identical chains match at no cost") << "A:- B:0 C:1"
                                                       << "A:- B:0 C:1" << 0.0f << "0-0 1-1 2-2" << 0 << QList<int>();
    // Pairing B with Z costs 50, leaving both unmatched 15 + 15.
    QTest::addRow("step whose title differs everywhere stays unmatched")
        << "A:- B:0 C:1"
        << "A:- Z:0 C:1" << 30.0f << "0-0 1-n 2-2" << 1 << QList<int>();
    QTest::addRow("extra step in the second tree costs 15") << "A:- B:0"
                                                            << "A:- X:0 B:1" << 15.0f << "0-0 1-2" << 1 << QList<int>();
    QTest::addRow("child moved to another parent costs 10")
        << "R:- P:0 Q:0 X:1"
        << "R:- P:0 Q:0 X:2" << 10.0f << "0-0 1-1 2-2 3-3" << 0 << QList<int> { 3 };
    QTest::addRow("new root above the first tree's root costs 15") << "B:-"
                                                                   << "A:- B:0" << 15.0f << "0-1" << 1 << QList<int>();
    QTest::addRow("empty trees give the empty matching") << ""
                                                         << "" << 0.0f << "" << 0 << QList<int>();
    QTest::addRow("empty first tree leaves the second unmatched") << ""
                                                                  << "A:- B:0" << 30.0f << "" << 2 << QList<int>();
    // D's ancestors B and C point at each other and are all unmatched: the
    // walk up must end, and D then has no matched ancestor to agree on.
    QTest::addRow("parent links forming a loop do not hang the search")
        << "A:- B:2 C:1 D:1"
        << "D:-" << 55.0f << "0-n 1-n 2-n 3-0" << 0 << QList<int> { 3 };
}

void tst_TraxoDiff::findBestMatch()
{
    QFETCH(QString, tree1);
    QFETCH(QString, tree2);
    QFETCH(float, costs);
    QFETCH(QString, pairs);
    QFETCH(int, unmatched2);
    QFETCH(QList<int>, parentChanged1);

    TraxoDiff diff(makeTree(tree1), makeTree(tree2), &m_costs);
    const TraxoDiffResult result = diff.findBestMatch();
    QVERIFY(!diff.limitReached());
    QCOMPARE(result.costs, costs);
    QCOMPARE(::pairs(result, diff.tree1()), pairs);
    int unmatched = 0;
    for (int y : diff.tree2().nodeIds()) {
        const int x = result.association(y, SecondTree);
        unmatched += x == NULL_NODE ? 1 : 0;
        if (x != NULL_NODE)
            QCOMPARE(result.association(x, FirstTree), y);
        QCOMPARE(result.parentChanged(y, SecondTree), x != NULL_NODE && result.parentChanged(x, FirstTree));
    }
    QCOMPARE(unmatched, unmatched2);
    for (int x : diff.tree1().nodeIds())
        QCOMPARE(result.parentChanged(x, FirstTree), parentChanged1.contains(x));
}

void tst_TraxoDiff::findBestMatchesListsEveryMatchingCheapestFirst_data()
{
    QTest::addColumn<QString>("tree1");
    QTest::addColumn<QString>("tree2");

    QTest::addRow("one node each: paired or both unmatched") << "A:-"
                                                             << "A:-";
    QTest::addRow("chain against a fork") << "A:- B:0 C:1"
                                          << "A:- B:0 C:0";
    QTest::addRow("second tree larger") << "A:- B:0"
                                        << "B:- A:0 C:0 A:2";
    QRandomGenerator random(1303);
    for (int row = 0; row < 6; ++row) {
        const int size1 = 1 + random.bounded(4);
        const int size2 = 1 + random.bounded(4);
        const QString tree1 = randomTree(random, size1);
        const QString tree2 = randomTree(random, size2);
        QTest::addRow("random trees of %d and %d steps, %d", size1, size2, row) << tree1 << tree2;
    }
}

void tst_TraxoDiff::findBestMatchesListsEveryMatchingCheapestFirst()
{
    QFETCH(QString, tree1);
    QFETCH(QString, tree2);

    TraxoDiff diff(makeTree(tree1), makeTree(tree2), &m_costs);
    const QList<QHash<int, int>> expected = allMatchings(diff.tree1(), diff.tree2());
    float cheapest = std::numeric_limits<float>::max();
    for (const QHash<int, int> &matching : expected)
        cheapest = std::min(cheapest, matchingCosts(diff.tree1(), diff.tree2(), matching));

    // Asked for more than exist (three for the two matchings of one node
    // each), the search returns each matching once.
    const QList<TraxoDiffResult> results = diff.findBestMatches(int(expected.size()) + 1);
    QCOMPARE(results.size(), expected.size());
    QCOMPARE(results.first().costs, cheapest);
    QList<QHash<int, int>> found;
    for (int i = 0; i < results.size(); ++i) {
        const TraxoDiffResult &result = results.at(i);
        QCOMPARE(result.costs, matchingCosts(diff.tree1(), diff.tree2(), result.assoc1));
        if (i > 0)
            QVERIFY(results.at(i - 1).costs <= result.costs);
        QVERIFY(!found.contains(result.assoc1));
        found.append(result.assoc1);
    }
    QCOMPARE(diff.findBestMatches(1).size(), 1);
}

void tst_TraxoDiff::findBestMatchesGivesTheCheapestCosts_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("lookAlike");

    for (int asked : { 2, 3, 8 }) {
        QTest::addRow("%d results of random trees and edited copies", asked) << asked << false;
        QTest::addRow("%d results of look-alike trees and edited copies", asked) << asked << true;
    }
}

void tst_TraxoDiff::findBestMatchesGivesTheCheapestCosts()
{
    QFETCH(int, asked);
    QFETCH(bool, lookAlike);

    // Paths that reach one state are merged and open penalties split for
    // several results too: the costs must still be the cheapest ones, each
    // matching found once.
    QRandomGenerator random(quint32(asked * 31 + (lookAlike ? 7 : 0)));
    const auto generate = lookAlike ? lookAlikeTree : randomTree;
    for (int round = 0; round < 300; ++round) {
        const QString tree1 = generate(random, 1 + random.bounded(5));
        const QString tree2 = editedTree(random, tree1);
        TraxoDiff diff(makeTree(tree1), makeTree(tree2, lookAlike ? QStringLiteral("other") : QString()), &m_costs);
        const std::vector<float> all = allMatchingCosts(diff.tree1(), diff.tree2());
        const QList<TraxoDiffResult> results = diff.findBestMatches(asked);
        const QByteArray trees = (tree1 + QStringLiteral(" | ") + tree2).toUtf8();
        QVERIFY2(results.size() == std::min<qsizetype>(asked, qsizetype(all.size())), trees.constData());
        QList<QHash<int, int>> found;
        for (int i = 0; i < results.size(); ++i) {
            const TraxoDiffResult &result = results.at(i);
            QVERIFY2(result.costs == all[size_t(i)], trees.constData());
            QVERIFY2(matchingCosts(diff.tree1(), diff.tree2(), result.assoc1) == result.costs, trees.constData());
            QVERIFY2(!found.contains(result.assoc1), trees.constData());
            found.append(result.assoc1);
        }
    }
}

void tst_TraxoDiff::firstResultIsTheCheapestMatching_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("lookAlike");
    QTest::addColumn<bool>("fractional");
    QTest::addRow("unrelated random trees") << false << false << false;
    QTest::addRow("random trees and edited copies") << true << false << false;
    QTest::addRow("look-alike trees and edited copies") << true << true << false;
    QTest::addRow("unrelated look-alike trees") << false << true << false;
    QTest::addRow("look-alike trees and edited copies, fractional costs") << true << true << true;
}

void tst_TraxoDiff::firstResultIsTheCheapestMatching()
{
    QFETCH(bool, edited);
    QFETCH(bool, lookAlike);
    QFETCH(bool, fractional);

    // Against every matching of thousands of small trees: the estimate must
    // never overestimate, or the first result stops being the cheapest.
    QRandomGenerator random(edited ? 2411 : 977);
    const FractionalCosts fractionalCosts;
    const WorkflowstepCosts &costs = fractional ? static_cast<const WorkflowstepCosts &>(fractionalCosts) : m_costs;
    const auto generate = lookAlike ? lookAlikeTree : randomTree;
    const QString otherRun = lookAlike ? QStringLiteral("another run") : QStringLiteral("description");
    for (int round = 0; round < 1000; ++round) {
        const QString tree1 = generate(random, lookAlike ? 1 + random.bounded(7) : random.bounded(6));
        const QString tree2 = edited ? editedTree(random, tree1) : generate(random, random.bounded(6));
        TraxoDiff diff(makeTree(tree1), makeTree(tree2, otherRun), &costs);
        const float cheapest = cheapestMatchingCosts(diff.tree1(), diff.tree2(), costs);
        const TraxoDiffResult result = diff.findBestMatch();
        const QByteArray trees = (tree1 + QStringLiteral(" | ") + tree2).toUtf8();
        QVERIFY2(result.costs == cheapest, trees.constData());
        QVERIFY2(matchingCosts(diff.tree1(), diff.tree2(), result.assoc1, costs) == cheapest, trees.constData());
    }
}

void tst_TraxoDiff::longReRunsFinishWithinTheBound_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<int>>("renamed");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<int>("moved");
    QTest::addColumn<float>("costs");

    // A step paired with its counterpart costs 20 for the new description;
    // a renamed step would cost 70 paired, so it and its counterpart stay
    // unmatched (30); an inserted step is unmatched (15). Steps below an
    // unmatched one keep their matched ancestors, so no parent penalty.
    QTest::addRow("200 steps, two renamed") << 200 << QList<int> { 1, 198 } << -1 << -1 << 198 * 20.0f + 2 * 30.0f;
    QTest::addRow("200 steps, one inserted") << 200 << QList<int>() << 100 << -1 << 200 * 20.0f + 15.0f;
    QTest::addRow("100 steps, renamed at both ends") << 100 << QList<int> { 0, 99 } << 50 << -1 << 98 * 20.0f + 75.0f;
    // The moved step pays the wrong parent (10); leaving it unmatched would
    // cost 30 and its child the wrong parent instead.
    QTest::addRow("200 steps, one moved") << 200 << QList<int>() << -1 << 120 << 200 * 20.0f + 10.0f;
}

void tst_TraxoDiff::longReRunsFinishWithinTheBound()
{
    QFETCH(int, steps);
    QFETCH(QList<int>, renamed);
    QFETCH(int, inserted);
    QFETCH(int, moved);
    QFETCH(float, costs);

    TraxoDiff diff(pipelineRun(steps, 1), pipelineRun(steps, 2, renamed, inserted, moved), &m_costs);
    const TraxoDiffResult result = diff.findBestMatch();
    QVERIFY(!diff.limitReached());
    QCOMPARE(result.costs, costs);
    // Ids count up along both chains; the second run's ids shift by one
    // after the inserted step.
    for (int x = 0; x < steps; ++x) {
        const int y = inserted >= 0 && x >= inserted ? x + 1 : x;
        QCOMPARE(result.association(x, FirstTree), renamed.contains(x) ? NULL_NODE : y);
        QCOMPARE(result.parentChanged(x, FirstTree), x == moved);
    }
}

void tst_TraxoDiff::branchyTreesWithMovedStepsFinishEarly_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("moved");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("lookAlike");
    QTest::addColumn<int>("bound");

    QTest::addRow("60 steps, three moved") << 60 << 3 << 11u << false << 20000;
    QTest::addRow("60 steps, six moved") << 60 << 6 << 12u << false << 20000;
    QTest::addRow("100 steps, four moved") << 100 << 4 << 13u << false << 20000;
    QTest::addRow("100 steps, six moved") << 100 << 6 << 14u << false << 20000;
    QTest::addRow("150 steps, six moved") << 150 << 6 << 15u << false << 20000;
    // Steps of one kind differ only in their descriptions: only the
    // structure tells which is whose counterpart. The slowest of these
    // expands some 13000 paths.
    for (quint32 seed : { 21u, 22u, 23u, 24u, 25u, 26u })
        QTest::addRow("150 look-alike steps, six moved, %u", seed) << 150 << 6 << seed << true << 50000;
}

void tst_TraxoDiff::branchyTreesWithMovedStepsFinishEarly()
{
    QFETCH(int, steps);
    QFETCH(int, moved);
    QFETCH(quint32, seed);
    QFETCH(bool, lookAlike);
    QFETCH(int, bound);

    // Many steps look alike and the moved ones break the shape: the search
    // must see their penalties early, or it wanders among equally good
    // partial matchings far beyond this bound.
    WorkflowTree run1;
    WorkflowTree run2;
    const float counterparts = branchyRuns(steps, moved, seed, &run1, &run2, lookAlike);
    TraxoDiff diff(run1, run2, &m_costs);
    diff.setMaxQueuedPaths(quint64(bound));
    const TraxoDiffResult result = diff.findBestMatch();
    QVERIFY(!diff.limitReached());
    QVERIFY(result.costs <= counterparts);
    QCOMPARE(result.costs, matchingCosts(diff.tree1(), diff.tree2(), result.assoc1));
}

void tst_TraxoDiff::subtreeBounds_data()
{
    QTest::addColumn<QString>("tree1");
    QTest::addColumn<QString>("tree2");
    QTest::addColumn<int>("node");
    QTest::addColumn<int>("ancestorPartner");
    QTest::addColumn<float>("bound");

    // Whole pair costs, 30 for an unmatched node; X moved from P to Q.
    const QString before = QStringLiteral("R:- P:0 Q:0 X:1");
    const QString after = QStringLiteral("R:- P:0 Q:0 X:2");
    QTest::addRow("moved step pays the penalty below its old parent's partner") << before << after << 3 << 1 << 10.0f;
    QTest::addRow("moved step is free below its new parent's partner") << before << after << 3 << 2 << 0.0f;
    QTest::addRow("no ancestor to agree with costs the penalty")
        << before << after << 3 << int(SubtreeBounds::NoAncestor) << 10.0f;
    QTest::addRow("whole tree pays for its one moved step")
        << before << after << 0 << int(SubtreeBounds::AnyAncestor) << 10.0f;
    // Pairing A with B costs 50, more than leaving A unmatched.
    QTest::addRow("unmatched is the cheapest for a step unlike any")
        << "A:-"
        << "B:-" << 0 << int(SubtreeBounds::AnyAncestor) << 30.0f;
    QTest::addRow("parents in a circle give no bound") << "A:1 B:0"
                                                       << "A:-" << 0 << int(SubtreeBounds::AnyAncestor) << 0.0f;
}

void tst_TraxoDiff::subtreeBounds()
{
    QFETCH(QString, tree1);
    QFETCH(QString, tree2);
    QFETCH(int, node);
    QFETCH(int, ancestorPartner);
    QFETCH(float, bound);

    const WorkflowTree first = makeTree(tree1);
    const WorkflowTree second = makeTree(tree2);
    const CostMatrix matrix(first, second, m_costs);
    const SubtreeBounds bounds(parentIndices(first), parentIndices(second), matrix, 1.0f, 30.0f);
    QCOMPARE(bounds.at(node, ancestorPartner), bound);
}

void tst_TraxoDiff::subtreeBoundsNeverExceedTheCheapestMatching()
{
    // The bounds of the roots, with the second tree's part added as the
    // search adds it, against every matching of small random trees.
    // A third of the trees are look-alike ones, where the prices matter.
    QRandomGenerator random(5113);
    for (int round = 0; round < 1500; ++round) {
        const bool lookAlike = round % 3 == 2;
        const auto generate = lookAlike ? lookAlikeTree : randomTree;
        const QString tree1 = generate(random, random.bounded(6));
        const QString tree2 = round % 2 ? editedTree(random, tree1) : generate(random, random.bounded(6));
        const WorkflowTree first = makeTree(tree1);
        const WorkflowTree second = makeTree(tree2, lookAlike ? QStringLiteral("another run") : QString());
        const float cheapest = cheapestMatchingCosts(first, second);

        const CostMatrix matrix(first, second, m_costs);
        const std::vector<int> parents1 = parentIndices(first);
        const SubtreeBounds half(parents1, parentIndices(second), matrix, 0.5f, 15.0f);
        const SubtreeBounds full(parents1, parentIndices(second), matrix, 1.0f, 30.0f);
        float halfBound = 0;
        float fullBound = 15.0f * float(second.count() - first.count());
        for (size_t i = 0; i < parents1.size(); ++i) {
            if (parents1[i] < 0) {
                halfBound += half.at(int(i), SubtreeBounds::AnyAncestor);
                fullBound += full.at(int(i), SubtreeBounds::AnyAncestor);
            }
        }
        for (int j = 0; j < second.count(); ++j) {
            float share = 15;
            for (int i = 0; i < first.count(); ++i)
                share = std::min(share, matrix.costsAt(i, j) / 2);
            halfBound += share;
        }
        const SubtreeBounds priced(parents1, parentIndices(second), matrix, 1.0f, 30.0f, PathExpander::PriceRounds);
        const float pricedBound = priced.rootBound() + 15.0f * float(second.count() - first.count());
        const QByteArray trees = (tree1 + QStringLiteral(" | ") + tree2).toUtf8();
        QVERIFY2(halfBound <= cheapest, trees.constData());
        QVERIFY2(fullBound <= cheapest, trees.constData());
        QVERIFY2(pricedBound <= cheapest, trees.constData());
        QVERIFY2(pricedBound >= fullBound, trees.constData());
    }
}

void tst_TraxoDiff::pricesRaiseTheRootBound_data()
{
    QTest::addColumn<QString>("tree1");
    QTest::addColumn<QString>("tree2");
    QTest::addColumn<float>("unpriced");
    QTest::addColumn<float>("priced");

    QTest::addRow("identical trees need no prices") << "R:- A:0 B:1"
                                                    << "R:- A:0 B:1" << 0.0f << 0.0f;
    // Both A count on the one A below R; only one can have it, the other
    // and B stay unmatched.
    QTest::addRow("two look-alike siblings count on one partner") << "R:- A:0 A:0"
                                                                  << "R:- A:0 B:0" << 0.0f << 30.0f;
    // The A below Q pairs with the A below P for the penalty alone; without
    // that partner it stays unmatched.
    QTest::addRow("look-alikes in two subtrees count on one partner") << "R:- P:0 A:1 Q:0 A:3"
                                                                      << "R:- P:0 Q:0 A:1" << -5.0f << 15.0f;
}

void tst_TraxoDiff::pricesRaiseTheRootBound()
{
    QFETCH(QString, tree1);
    QFETCH(QString, tree2);
    QFETCH(float, unpriced);
    QFETCH(float, priced);

    // Whole pair costs and 30 per unmatched node, less 15 for every node the
    // second tree has fewer, as the search adds them.
    const WorkflowTree first = makeTree(tree1);
    const WorkflowTree second = makeTree(tree2);
    const CostMatrix matrix(first, second, m_costs);
    const float excess = 15.0f * float(second.count() - first.count());
    for (int rounds : { 0, PathExpander::PriceRounds }) {
        const SubtreeBounds bounds(parentIndices(first), parentIndices(second), matrix, 1.0f, 30.0f, rounds);
        QCOMPARE(bounds.rootBound() + excess, rounds ? priced : unpriced);
        float prices = 0;
        for (int j = 0; j < second.count(); ++j)
            prices += bounds.price(j);
        QCOMPARE(bounds.priceSum(), prices);
    }
}

void tst_TraxoDiff::priorities_data()
{
    QTest::addColumn<bool>("fractional");
    QTest::addColumn<float>("estimate");
    QTest::addColumn<int>("priority");

    // A matching of whole costs costs a whole number: a bound with a
    // fraction is rounded up, one that is whole stays.
    QTest::addRow("whole costs, a quarter above") << false << 3059.25f << 3060;
    QTest::addRow("whole costs, a whole bound") << false << 3060.0f << 3060;
    QTest::addRow("whole costs, a whole bound a hair high") << false << 3060.004f << 3060;
    QTest::addRow("fractional costs round down") << true << 3059.75f << 3059;
    QTest::addRow("not a number goes last") << false << std::numeric_limits<float>::quiet_NaN() << (1 << 30);
}

void tst_TraxoDiff::priorities()
{
    QFETCH(bool, fractional);
    QFETCH(float, estimate);
    QFETCH(int, priority);

    const FractionalCosts fractionalCosts;
    const WorkflowTree first = makeTree("A:- B:0");
    const WorkflowTree second = makeTree("A:- C:0", QStringLiteral("other"));
    const CostMatrix matrix(
        first, second, fractional ? static_cast<const WorkflowstepCosts &>(fractionalCosts) : m_costs);
    QCOMPARE(PathExpander(first, second, matrix).priority(estimate), priority);
}

void tst_TraxoDiff::stopTablesAgreeWithTheWalks()
{
    // Partial matchings of random trees, decided in the search's order:
    // the penalties and shares read from the stop tables must be those the
    // walks up the second tree give, before and after one more pair.
    QRandomGenerator random(8675);
    for (int round = 0; round < 300; ++round) {
        const WorkflowTree first = makeTree(lookAlikeTree(random, 1 + random.bounded(8)));
        const WorkflowTree second = makeTree(lookAlikeTree(random, 1 + random.bounded(8)), QStringLiteral("other"));
        const CostMatrix matrix(first, second, m_costs);
        const PathExpander expander(first, second, matrix);
        std::vector<int> partner1(size_t(first.count()), PathExpander::Undecided);
        std::vector<int> partner2(size_t(second.count()), PathExpander::Undecided);
        const int decided = random.bounded(first.count());
        for (int position = 0; position < decided; ++position) {
            const int i = expander.decisionOrder()[size_t(position)];
            const int j = random.bounded(second.count() + 1) - 1;
            if (j >= 0 && partner2[size_t(j)] == PathExpander::Undecided) {
                partner1[size_t(i)] = j;
                partner2[size_t(j)] = i;
            } else {
                partner1[size_t(i)] = PathExpander::Unmatched;
            }
        }
        for (int j = 0; j < second.count(); ++j) {
            if (partner2[size_t(j)] == PathExpander::Undecided && random.bounded(4) == 0)
                partner2[size_t(j)] = PathExpander::Unmatched;
        }
        PathExpander::Stops stops;
        expander.fillStops(partner2, &stops);
        QVERIFY(stops.isValid());
        const int next = expander.decisionOrder()[size_t(decided)];
        for (int j = 0; j < second.count(); ++j) {
            if (partner2[size_t(j)] != PathExpander::Undecided)
                continue;
            QCOMPARE(expander.penaltyStatus(next, j, partner1, partner2, nullptr, &stops),
                expander.penaltyStatus(next, j, partner1, partner2));
            partner1[size_t(next)] = j;
            partner2[size_t(j)] = next;
            stops.taken = j;
            for (int i = 0; i < first.count(); ++i) {
                if (partner1[size_t(i)] == PathExpander::Undecided)
                    QCOMPARE(expander.share1(i, partner1, partner2, &stops), expander.share1(i, partner1, partner2));
            }
            stops.taken = -1;
            partner1[size_t(next)] = PathExpander::Undecided;
            partner2[size_t(j)] = PathExpander::Undecided;
        }
    }
}

void tst_TraxoDiff::bigInputStopsAtTheBound_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("bound");
    QTest::addColumn<bool>("searched");

    // Thousands of matchings asked for: the search must stop at the bound.
    QTest::addRow("search stops after the bound") << 14 << 5000 << true;
    // The most direct path alone would queue 2 * 100 + 1 paths.
    QTest::addRow("trees too large for the bound are not searched") << 100 << 150 << false;
}

void tst_TraxoDiff::bigInputStopsAtTheBound()
{
    QFETCH(int, steps);
    QFETCH(int, bound);
    QFETCH(bool, searched);

    QStringList first;
    QStringList second;
    for (int i = 0; i < steps; ++i) {
        const QString parent = i == 0 ? QStringLiteral("-") : QString::number(i - 1);
        first.append(QStringLiteral("S%1:%2").arg(i).arg(parent));
        second.append(QStringLiteral("T%1:%2:%3").arg(i).arg(parent).arg(i));
    }
    TraxoDiff diff(makeTree(first.join(' ')), makeTree(second.join(' ')), &m_costs);
    diff.setMaxQueuedPaths(quint64(bound));
    QStringList warnings;
    connect(&diff, qOverload<const QString &, int>(&LogSource::log), this, [&warnings](const QString &text, int level) {
        if (level == LogWarning)
            warnings.append(text);
    });
    const int asked = 100000;
    const QList<TraxoDiffResult> results = diff.findBestMatches(asked);
    QVERIFY(diff.limitReached());
    QVERIFY(results.size() < asked);
    QCOMPARE(diff.expandedPaths() > 0, searched);
    QVERIFY(diff.expandedPaths() <= quint64(bound));
    QCOMPARE(warnings.size(), 1);
}

void tst_TraxoDiff::withoutCostsReportsAnError()
{
    TraxoDiff diff(makeTree("A:-"), makeTree("A:-"), nullptr);
    QList<int> levels;
    connect(&diff, qOverload<const QString &, int>(&LogSource::log), this,
        [&levels](const QString &, int level) { levels.append(level); });
    QVERIFY(diff.findBestMatches(1).isEmpty());
    QCOMPARE(levels, QList<int> { LogError });
    diff.setCosts(&m_costs);
    QCOMPARE(diff.findBestMatch().costs, 0.0f);
}

void tst_TraxoDiff::resultAccessors()
{
    TraxoDiff diff(makeTree("A:- B:0"), makeTree("A:-"), &m_costs);
    const TraxoDiffResult result = diff.findBestMatch();
    QCOMPARE(result.association(0, FirstTree), 0);
    QCOMPARE(result.association(1, FirstTree), NULL_NODE);
    QCOMPARE(result.association(7, FirstTree), -2);
    // associated() tells that a node has no partner.
    QVERIFY(!result.associated(0, FirstTree));
    QVERIFY(result.associated(1, FirstTree));
    QVERIFY(result.associated(7, SecondTree));
    QVERIFY(!result.parentChanged(7, FirstTree));
    QCOMPARE(result.association(NODE_ABOVE_ROOT, SecondTree), NODE_ABOVE_ROOT);
}

QTEST_GUILESS_MAIN(tst_TraxoDiff)
#include "tst_traxodiff.moc"
