#include "containerbuilder.h"

#include <QFile>

namespace testcommon {

ContainerFile embeddedFile(
    const QString &filename, const QByteArray &content, traxo::ContainerWriter::Compression compression)
{
    ContainerFile file;
    file.filetype = QStringLiteral("text/plain");
    file.filename = filename;
    file.description = QStringLiteral("test file ") + filename;
    file.content = content;
    file.compression = compression;
    return file;
}

ContainerSection containerSection(const QString &title, const QList<ContainerFile> &files, const QByteArray &summary)
{
    ContainerSection section;
    section.title = title;
    section.creator = QStringLiteral("testcommon");
    section.files = files;
    section.summary = summary;
    return section;
}

bool buildContainer(
    const QString &path, const QList<ContainerSection> &sections, const QByteArray &leading, QString *error)
{
    QFile::remove(path);
    traxo::ContainerWriter writer;
    bool ok = writer.create(path, leading);
    for (const ContainerSection &section : sections) {
        if (!ok)
            break;
        ok = writer.appendSection(path, section);
    }
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

} // namespace testcommon
