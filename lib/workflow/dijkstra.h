#ifndef TRAXO_DIJKSTRA_H
#define TRAXO_DIJKSTRA_H

#include "workflow/priorityqueue.h"
#include "workflow/workflowlogging.h"

#include <QList>
#include <QSharedPointer>

namespace traxo {

// Best-first search over partial solutions of type P, which provides
// isGoal(), expand(PriorityQueue<QSharedPointer<P>> &, const
// QSharedPointer<P> &self) and toString(). A path may push itself again to
// make more children later. Goals come out cheapest first as long as the
// priorities P pushes never overestimate what completing a path costs.
//
// The search space grows exponentially, so the search stops once it has
// queued maxQueuedPaths paths: memory stays bounded whatever the input, and
// limitReached() tells the caller that fewer results than asked for may be
// all it got.
template<typename P>
class Dijkstra
{
public:
    static constexpr quint64 DefaultMaxQueuedPaths = 250000;

    explicit Dijkstra(quint64 maxQueuedPaths = DefaultMaxQueuedPaths)
        : m_maxQueuedPaths(maxQueuedPaths)
    {
    }

    QList<QSharedPointer<P>> findPaths(const QSharedPointer<P> &start, int n)
    {
        QList<QSharedPointer<P>> results;
        m_expandedPaths = 0;
        m_limitReached = false;
        PriorityQueue<QSharedPointer<P>> queue;
        if (!start || n <= 0)
            return results;
        queue.push(start, 0);
        while (!queue.isEmpty()) {
            const QSharedPointer<P> path = queue.pop();
            ++m_expandedPaths;
            if (path->isGoal()) {
                qCDebug(lcWorkflow) << "FINISHED";
                qCDebug(lcWorkflow) << m_expandedPaths << "nodes expanded";
                qCDebug(lcWorkflow).noquote() << path->toString();
                results.append(path);
                if (results.size() >= n)
                    break;
                continue;
            }
            if (queue.pushedCount() >= m_maxQueuedPaths) {
                m_limitReached = true;
                break;
            }
            path->expand(queue, path);
        }
        return results;
    }

    // Paths taken from the queue by the last search.
    quint64 expandedPaths() const { return m_expandedPaths; }
    bool limitReached() const { return m_limitReached; }
    quint64 maxQueuedPaths() const { return m_maxQueuedPaths; }

private:
    quint64 m_maxQueuedPaths;
    quint64 m_expandedPaths = 0;
    bool m_limitReached = false;
};

} // namespace traxo

#endif
