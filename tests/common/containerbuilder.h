#ifndef TRAXO_CONTAINERBUILDER_H
#define TRAXO_CONTAINERBUILDER_H

#include "container/containerwriter.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Builds containers for tests through ContainerWriter, so that every test
// starts from what a correct writer produces.
namespace testcommon {

using ContainerFile = traxo::ContainerWriter::File;
using ContainerSection = traxo::ContainerWriter::Section;

ContainerFile embeddedFile(const QString &filename, const QByteArray &content,
    traxo::ContainerWriter::Compression compression = traxo::ContainerWriter::Flate);

ContainerSection containerSection(const QString &title, const QList<ContainerFile> &files,
    const QByteArray &summary = QByteArray("<workflowstep/>\n"));

// Writes a new container at path (an existing file is replaced): leading
// bytes (such as "%PDF-1.4\n"), the header line, then the sections oldest
// first. Returns false and the writer's message in error when anything fails.
bool buildContainer(const QString &path, const QList<ContainerSection> &sections,
    const QByteArray &leading = QByteArray(), QString *error = nullptr);

} // namespace testcommon

#endif
