#ifndef TRAXO_PROVENANCEMODEL_H
#define TRAXO_PROVENANCEMODEL_H

#include "summary/summary.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace traxo {

// A container's history in the terms that every provenance format shares:
// steps (activities), files (entities) and the tools and people behind the
// steps (agents). Texts are decoded (no XML entities, no marker escapes), so
// each format only has to escape them for itself. Ids are plain ASCII words
// ("step-1", "file-3", "tool-1", "person-1") that every format can use as
// they stand; steps are numbered oldest first.
struct ProvenanceModel
{
    struct Attribute
    {
        QString key;
        QString value;
        bool hasUnit = false;
        QString unit;
    };

    struct File
    {
        QString id;
        QString name;
        QString path; // directory or path as recorded
        QString type; // as recorded: usually a MIME type
        QString description;
        QString comment;
        QString md5; // of the uncompressed content; empty when not recorded
        qint64 size = -1; // bytes; files may exceed 2 GiB
        bool embedded = false;
        int tagId = -1; // the marker holding the content, -1 when none does
        QList<Attribute> attributes;

        // The recorded type when it has the form of a MIME type.
        QString mimeType() const;
    };

    struct Agent
    {
        QString id;
        QString name;
        bool software = false;
    };

    struct Step
    {
        QString id;
        QString title;
        QString description;
        QString comment;
        QString command;
        QString toolPath;
        QString host;
        QString creator;
        QString timestamp; // as recorded
        QDateTime startTime; // invalid when the timestamp is no ISO 8601 time
        QString toolAgent; // agent ids; empty when the step names no tool or user
        QString userAgent;
        QStringList used; // file ids in recorded order
        QStringList generated;
        QStringList otherFiles; // embedded but declared neither input nor output
        QList<Attribute> attributes;
    };

    QString source; // the container's file name
    QList<Step> steps;
    QList<File> files;
    QList<Agent> agents;

    // summaries as SummaryCreator makes them; only the first sectionCount are
    // steps, a further one holds the files outside every section.
    static ProvenanceModel fromSummaries(const QList<Summary> &summaries, int sectionCount, const QString &source);

    const File *file(const QString &id) const;
    const Agent *agent(const QString &id) const;
};

} // namespace traxo

#endif
