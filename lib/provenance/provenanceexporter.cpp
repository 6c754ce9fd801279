#include "provenance/provenanceexporter.h"

#include "container/extractionpaths.h"
#include "container/md5hash.h"
#include "container/traxoparser.h"
#include "provenance/provdocument.h"
#include "provenance/rocratemetadata.h"
#include "summary/summarycreator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace traxo {

namespace {

QString fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    Md5Hash hash;
    QByteArray buffer(64 << 10, Qt::Uninitialized);
    for (qint64 count; (count = file.read(buffer.data(), buffer.size())) > 0;)
        hash.addData(QByteArrayView(buffer.constData(), count));
    return hash.hexResult();
}

} // namespace

ProvenanceExporter::ProvenanceExporter(QObject *sink)
    : LogSource(sink)
{
}

ProvenanceExporter::~ProvenanceExporter() = default;

QStringList ProvenanceExporter::formatNames()
{
    return { QStringLiteral("prov-json"), QStringLiteral("prov-n"), QStringLiteral("ro-crate") };
}

QString ProvenanceExporter::formatName(Format format)
{
    return formatNames().at(int(format));
}

bool ProvenanceExporter::formatFromName(const QString &name, Format *format)
{
    const int index = int(formatNames().indexOf(name.trimmed().toLower()));
    if (index < 0)
        return false;
    *format = Format(index);
    return true;
}

QString ProvenanceExporter::defaultOutput(const QString &container, Format format)
{
    const QFileInfo info(container);
    const QString base = info.dir().filePath(info.completeBaseName());
    switch (format) {
    case ProvJson:
        return base + QStringLiteral(".prov.json");
    case ProvN:
        return base + QStringLiteral(".provn");
    case RoCrate:
        break;
    }
    return base + QStringLiteral("-crate");
}

bool ProvenanceExporter::open(const QString &container)
{
    m_errorString.clear();
    m_model = ProvenanceModel();
    m_parser = std::make_unique<TraxoParser>(ParseTolerant);
    m_parser->publishToLogSignal(this);
    if (!m_parser->open(container))
        return fail(QStringLiteral("\"%1\" is not a TRAXO container or cannot be read").arg(container));
    SummaryCreator creator;
    m_model = ProvenanceModel::fromSummaries(creator.createSummaries(*m_parser), m_parser->getNumSections(), container);
    return true;
}

QByteArray ProvenanceExporter::text(Format format) const
{
    const ProvDocument document(m_model);
    switch (format) {
    case ProvJson:
        return document.toJson();
    case ProvN:
        return document.toProvN().toUtf8();
    case RoCrate:
        break;
    }
    return QByteArray();
}

bool ProvenanceExporter::exportTo(Format format, const QString &output)
{
    m_errorString.clear();
    if (!m_parser)
        return fail(QStringLiteral("no container is open"));
    const bool done = format == RoCrate ? writeCrate(output) : writeText(format, output);
    if (done)
        emitLog(QStringLiteral("[export] %1: \"%2\"\n").arg(formatName(format), output));
    return done;
}

bool ProvenanceExporter::writeText(Format format, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text(format)) < 0 || !file.commit())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(path, file.errorString()));
    return true;
}

bool ProvenanceExporter::writeCrate(const QString &folder)
{
    // Writing into a folder that holds other files could replace them, and
    // their names might clash with the crate's.
    const QDir dir(folder);
    if (QFileInfo(folder).exists()
        && !(dir.exists() && dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)))
        return fail(QStringLiteral("\"%1\" exists and is not an empty folder").arg(folder));
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the folder \"%1\"").arg(folder));

    const QHash<QString, QString> layout = RoCrateMetadata::layout(m_model);
    QHash<QString, QString> placed;
    bool complete = true;
    for (const ProvenanceModel::File &file : m_model.files) {
        if (!layout.contains(file.id))
            continue;
        if (extract(file, folder, layout.value(file.id)))
            placed.insert(file.id, layout.value(file.id));
        else
            complete = false;
    }
    QSaveFile metadata(dir.filePath(RoCrateMetadata::FileName));
    if (!metadata.open(QIODevice::WriteOnly)
        || metadata.write(RoCrateMetadata::write(m_model, placed, QDateTime::currentDateTimeUtc())) < 0
        || !metadata.commit())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(metadata.fileName(), metadata.errorString()));
    return complete;
}

bool ProvenanceExporter::extract(const ProvenanceModel::File &file, const QString &folder, const QString &relativePath)
{
    const QString subfolder = QFileInfo(relativePath).path();
    const QString target = QDir(folder).filePath(relativePath);
    if (!staysInside(folder, subfolder) || !QDir(folder).mkpath(subfolder))
        return fail(QStringLiteral("cannot create the folder \"%1\" in \"%2\"").arg(subfolder, folder));
    if (!m_parser->writeFileToDisk(file.tagId, target))
        return fail(QStringLiteral("cannot extract \"%1\" to \"%2\"").arg(file.name, target));
    // A crate states the recorded checksum of each file; a copy that does
    // not have it must not stand there as if it did.
    if (!file.md5.isEmpty() && fileMd5(target) != file.md5) {
        QFile::remove(target);
        return fail(QStringLiteral("the embedded copy of \"%1\" does not match its recorded MD5 %2; it was left out")
                        .arg(file.name, file.md5));
    }
    return true;
}

bool ProvenanceExporter::fail(const QString &message)
{
    m_errorString = message;
    emitLog(QStringLiteral("*** ERROR: %1\n").arg(message), LogError);
    return false;
}

} // namespace traxo
