#ifndef TRAXO_PRIORITYQUEUE_H
#define TRAXO_PRIORITYQUEUE_H

#include <QtGlobal>

#include <algorithm>
#include <utility>
#include <vector>

namespace traxo {

// A binary min-heap of items with integer priorities. Among equal priorities
// the item of the higher rank leaves first, and among equal ranks the item
// pushed last, so a best-first search that ranks paths by their length
// follows one promising path to its end before it turns to an equally good
// one.
template<typename T>
class PriorityQueue
{
public:
    void push(const T &item, int priority, int rank = 0)
    {
        m_heap.push_back(Entry { item, priority, rank, m_pushed++ });
        std::push_heap(m_heap.begin(), m_heap.end(), &Entry::leavesLater);
    }

    // The item with the smallest priority; a default item when empty.
    T pop()
    {
        if (m_heap.empty())
            return T();
        std::pop_heap(m_heap.begin(), m_heap.end(), &Entry::leavesLater);
        T item = std::move(m_heap.back().item);
        m_heap.pop_back();
        return item;
    }

    // The priority of the item pop() would return; meaningless when empty.
    int topPriority() const { return m_heap.empty() ? 0 : m_heap.front().priority; }
    bool isEmpty() const { return m_heap.empty(); }
    qsizetype size() const { return qsizetype(m_heap.size()); }
    // Every push since construction or clear(), for bounding a search.
    quint64 pushedCount() const { return m_pushed; }
    void clear()
    {
        m_heap.clear();
        m_pushed = 0;
    }

private:
    struct Entry
    {
        T item;
        int priority;
        int rank;
        quint64 sequence;

        // The heap algorithms keep the "largest" entry on top, so the entry
        // that must leave first compares largest.
        static bool leavesLater(const Entry &a, const Entry &b)
        {
            if (a.priority != b.priority)
                return a.priority > b.priority;
            return a.rank != b.rank ? a.rank < b.rank : a.sequence < b.sequence;
        }
    };

    std::vector<Entry> m_heap;
    quint64 m_pushed = 0;
};

} // namespace traxo

#endif
