#ifndef TRAXO_SUMMARYCREATOR_H
#define TRAXO_SUMMARYCREATOR_H

#include "container/filetag.h"
#include "container/sectiontag.h"
#include "summary/summary.h"

#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>

namespace traxo {

class TraxoParser;

// Combines a container's markers and the XML summaries of its sections into
// one Summary per section, oldest first, plus one for embedded files that lie
// in no section. Each embedded file the XML declares is tied to the marker
// that holds it, so that it can be validated and extracted; markers the XML
// does not account for are added as extra files.
class SummaryCreator : public QObject
{
    Q_OBJECT

public:
    // Every embedded-file marker that lies in a section, with the section id,
    // under the key of makeFileHash. A lookup yields the later file first.
    using TagHash = QMultiHash<QString, QPair<FileTag, int>>;

    explicit SummaryCreator(QObject *parent = nullptr);

    QList<Summary> createSummaries(TraxoParser &parser);
    // The same summaries in the same order, handed to take one at a time
    // until it returns false: the sections after that are not read.
    void forEachSummary(TraxoParser &parser, const std::function<bool(Summary &&)> &take);

    TagHash makeTagHash(TraxoParser &parser);
    QList<Summary> makeSummaries(TraxoParser &parser, TagHash &hash);
    // Ties the embedded files of fromXml to markers of section, removing the
    // entries it uses (and the section's unused ones, added as extra files)
    // from hash.
    Summary augmentSummary(const Summary &fromXml, const SectionTag &section, TagHash &hash);

    static QString makeFileHash(const FileTag &tag, int sectionId);
    static QString makeFileHash(const FileSummary &file, int sectionId);
    // How unlike a marker and a declared file are: 20 for each differing
    // name, size or MD5, 2 for compression details, 1 for descriptive texts.
    static unsigned int distance(const FileTag &tag, const FileSummary &file);

    static FileSummary makeFileSummaryFromFileTag(const FileTag &tag);
    static Summary makeSummaryFromTags(const SectionTag &section, const QList<FileTag> &files);
    static Summary makeUnmatchedTagSummary(const QList<FileTag> &files);

    // Every field with its name, one per line, for diagnostics.
    static QString summaryText(const Summary &summary);
    static QString workflowstepText(const Workflowstep &step);
    static QString fileSummaryText(const FileSummary &file);
    static QString sectionTagText(const SectionTag &section);
    static QString fileTagText(const FileTag &tag);

    // Write the texts above to the "traxo.summary" debug category.
    static void printSummary(const Summary &summary);
    static void printWorkflowstep(const Workflowstep &step);
    static void printFileSummary(const FileSummary &file);
    static void printSectionTag(const SectionTag &section);
    static void printFileTag(const FileTag &tag);
};

} // namespace traxo

#endif
