#include "workflow/priorityqueue.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace traxo;

class tst_PriorityQueue : public QObject
{
    Q_OBJECT

private slots:
    void popsSmallestPriorityFirst_data();
    void popsSmallestPriorityFirst();
    void interleavedPushAndPop();
};

void tst_PriorityQueue::popsSmallestPriorityFirst_data()
{
    // Items are the push positions; the expected order is worked out by hand.
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<QList<int>>("ranks");

    QTest::addRow("empty queue") << QList<int>() << QList<int>() << QList<int>();
    QTest::addRow("ascending") << QList<int> { 1, 2, 3 } << QList<int> { 0, 1, 2 } << QList<int>();
    QTest::addRow("descending") << QList<int> { 3, 2, 1 } << QList<int> { 2, 1, 0 } << QList<int>();
    QTest::addRow("equal priorities leave last in first out")
        << QList<int> { 4, 4, 4 } << QList<int> { 2, 1, 0 } << QList<int>();
    QTest::addRow("mixed with ties and negatives")
        << QList<int> { 5, -1, 3, 5, 0, 3 } << QList<int> { 1, 4, 5, 2, 3, 0 } << QList<int>();
    QTest::addRow("higher rank first among equal priorities")
        << QList<int> { 4, 4, 4, 2 } << QList<int> { 3, 1, 2, 0 } << QList<int> { 0, 7, 3, 0 };
}

void tst_PriorityQueue::popsSmallestPriorityFirst()
{
    QFETCH(QList<int>, priorities);
    QFETCH(QList<int>, order);
    QFETCH(QList<int>, ranks);

    PriorityQueue<int> queue;
    for (int i = 0; i < priorities.size(); ++i)
        queue.push(i, priorities.at(i), ranks.value(i));
    QCOMPARE(queue.size(), priorities.size());
    QList<int> popped;
    while (!queue.isEmpty())
        popped.append(queue.pop());
    QCOMPARE(popped, order);
    QCOMPARE(queue.pop(), 0);
}

void tst_PriorityQueue::interleavedPushAndPop()
{
    // Against a sorted list as the reference, over many random operations.
    QRandomGenerator random(42);
    PriorityQueue<int> queue;
    QList<int> reference;
    quint64 pushes = 0;
    for (int step = 0; step < 5000; ++step) {
        if (reference.isEmpty() || random.bounded(3) > 0) {
            const int priority = random.bounded(100);
            queue.push(priority, priority);
            ++pushes;
            reference.insert(std::lower_bound(reference.begin(), reference.end(), priority), priority);
        } else {
            QCOMPARE(queue.topPriority(), reference.first());
            QCOMPARE(queue.pop(), reference.takeFirst());
        }
    }
    QCOMPARE(queue.size(), reference.size());
    QCOMPARE(queue.pushedCount(), pushes);
}

QTEST_GUILESS_MAIN(tst_PriorityQueue)
#include "tst_priorityqueue.moc"
