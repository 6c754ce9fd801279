#ifndef TRAXO_CONTAINERHISTORY_H
#define TRAXO_CONTAINERHISTORY_H

#include "summary/summary.h"

#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

namespace traxo {
class TraxoParser;
}

// The history of one container as `traxo show` prints it: the steps oldest
// first with their texts decoded once, each file with its recorded path and
// whether the container holds it.
class ContainerHistory
{
public:
    // False when the file cannot be read as a container.
    bool read(const QString &path);

    QString path() const { return m_path; }
    const QList<traxo::Summary> &steps() const { return m_steps; }
    // Files outside every section (made by hand or by another tool).
    const QList<traxo::FileSummary> &looseFiles() const { return m_looseFiles; }

    QJsonObject toJson() const;
    QString toText() const;

    // The text a summary value stands for, decoded exactly once.
    static QString text(const QString &stored);
    static QString recordedPath(const traxo::FileSummary &file);
    // The ids of the steps' own "ws_summary.xml" files: how the history is
    // stored, not files of it.
    static QSet<int> summaryFileIds(const traxo::TraxoParser &parser);

private:
    QString m_path;
    QList<traxo::Summary> m_steps;
    QList<traxo::FileSummary> m_looseFiles;
};

#endif
