#ifndef TRAXO_ROCRATEMETADATA_H
#define TRAXO_ROCRATEMETADATA_H

#include "provenance/provenancemodel.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

namespace traxo {

// "ro-crate-metadata.json" of a history: an RO-Crate 1.1 that conforms to
// the Process Run Crate profile. Each step is a CreateAction whose
// instrument is the tool (a SoftwareApplication), whose agent is the user
// and whose object and result are the input and output files. Embedded files
// are data entities at their place in the crate folder; files known only
// from the record are contextual File entities ("#file-3") with the recorded
// path and checksum. Details without a schema.org term use the project's
// namespace (ProvDocument::NamespaceUri, prefix "traxo").
class RoCrateMetadata
{
public:
    static const QString ProfileUri;
    static const QString FileName; // "ro-crate-metadata.json"

    // Where each embedded file goes, relative to the crate folder: a folder
    // per step ("step-2/scan.dat"), named after the step that first records
    // the file, with names made safe and kept apart within their folder.
    static QHash<QString, QString> layout(const ProvenanceModel &model);

    // paths: file id -> path in the crate, for the files really placed there.
    static QByteArray write(
        const ProvenanceModel &model, const QHash<QString, QString> &paths, const QDateTime &published);
};

} // namespace traxo

#endif
