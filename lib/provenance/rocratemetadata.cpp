#include "provenance/rocratemetadata.h"

#include "container/extractionpaths.h"
#include "provenance/provdocument.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

namespace traxo {

const QString RoCrateMetadata::ProfileUri = QStringLiteral("https://w3id.org/ro/wfrun/process/0.5");
const QString RoCrateMetadata::FileName = QStringLiteral("ro-crate-metadata.json");

namespace {

const QString UnknownTool = QStringLiteral("#tool-unrecorded");

QJsonObject reference(const QString &id)
{
    return QJsonObject { { "@id", id } };
}

QString term(const char *local)
{
    return ProvDocument::NamespacePrefix + QLatin1Char(':') + QLatin1String(local);
}

void insertText(QJsonObject &object, const QString &key, const QString &text)
{
    if (!text.isEmpty())
        object.insert(key, text);
}

// A relative path as the @id of a data entity: each component
// percent-encoded, so spaces and "#" in names cannot break the reference.
QString pathId(const QString &path)
{
    QStringList parts;
    for (const QString &part : path.split(QLatin1Char('/')))
        parts.append(QString::fromLatin1(QUrl::toPercentEncoding(part)));
    return parts.join(QLatin1Char('/'));
}

QString uniqueName(const QString &name, QSet<QString> &taken)
{
    QString candidate = name;
    const QFileInfo info(name);
    const QString suffix = info.completeSuffix();
    const QString base = suffix.isEmpty() ? name : info.baseName();
    for (int n = 2; taken.contains(candidate.toLower()); ++n)
        candidate = base + QStringLiteral("-%1").arg(n) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    taken.insert(candidate.toLower());
    return candidate;
}

class GraphBuilder
{
public:
    GraphBuilder(const ProvenanceModel &model, const QHash<QString, QString> &paths)
        : m_model(model)
        , m_paths(paths)
    {
    }

    QString fileId(const QString &id) const
    {
        return m_paths.contains(id) ? pathId(m_paths.value(id)) : QLatin1Char('#') + id;
    }

    QJsonArray references(const QStringList &ids) const
    {
        QJsonArray result;
        for (const QString &id : ids)
            result.append(reference(fileId(id)));
        return result;
    }

    // User attributes become schema.org PropertyValues, which carry a unit.
    QJsonArray properties(const QString &owner, const QList<ProvenanceModel::Attribute> &attributes)
    {
        QJsonArray result;
        for (int i = 0; i < attributes.size(); ++i) {
            const ProvenanceModel::Attribute &attribute = attributes.at(i);
            const QString id = QStringLiteral("#%1-attribute-%2").arg(owner).arg(i + 1);
            QJsonObject property { { "@id", id }, { "@type", "PropertyValue" }, { "name", attribute.key },
                { "value", attribute.value } };
            if (attribute.hasUnit)
                property.insert("unitText", attribute.unit);
            m_graph.append(property);
            result.append(reference(id));
        }
        return result;
    }

    QJsonObject file(const ProvenanceModel::File &file)
    {
        QJsonObject entity { { "@id", fileId(file.id) }, { "@type", "File" } };
        insertText(entity, "name", file.name);
        if (file.size >= 0)
            entity.insert("contentSize", QString::number(file.size));
        insertText(entity, "encodingFormat", file.mimeType());
        if (file.mimeType().isEmpty())
            insertText(entity, term("filetype"), file.type);
        insertText(entity, "description", file.description);
        insertText(entity, term("comment"), file.comment);
        insertText(entity, term("md5"), file.md5);
        insertText(entity, term("recordedPath"), file.path);
        entity.insert(term("embedded"), file.embedded);
        const QJsonArray attributes = properties(file.id, file.attributes);
        if (!attributes.isEmpty())
            entity.insert("additionalProperty", attributes);
        return entity;
    }

    QJsonObject action(const ProvenanceModel::Step &step)
    {
        QJsonObject action { { "@id", QLatin1Char('#') + step.id }, { "@type", "CreateAction" },
            { "name", step.title.isEmpty() ? step.id : step.title },
            { "instrument", reference(step.toolAgent.isEmpty() ? UnknownTool : QLatin1Char('#') + step.toolAgent) },
            { "object", references(step.used) }, { "result", references(step.generated) } };
        // The profile places the command line in the description when
        // nothing else describes the run.
        insertText(action, "description", step.description.isEmpty() ? step.command : step.description);
        if (step.startTime.isValid())
            action.insert("startTime", step.startTime.toString(Qt::ISODate));
        else
            insertText(action, term("timestamp"), step.timestamp);
        if (!step.userAgent.isEmpty())
            action.insert("agent", reference(QLatin1Char('#') + step.userAgent));
        insertText(action, term("command"), step.command);
        insertText(action, term("toolPath"), step.toolPath);
        insertText(action, term("host"), step.host);
        insertText(action, term("comment"), step.comment);
        insertText(action, term("creator"), step.creator);
        if (!step.otherFiles.isEmpty())
            action.insert(term("embeddedFile"), references(step.otherFiles));
        const QJsonArray attributes = properties(step.id, step.attributes);
        if (!attributes.isEmpty())
            action.insert("additionalProperty", attributes);
        return action;
    }

    QJsonArray graph(const QDateTime &published)
    {
        QJsonArray hasPart;
        QJsonArray mentions;
        for (const ProvenanceModel::File &file : m_model.files) {
            if (m_paths.contains(file.id))
                hasPart.append(reference(fileId(file.id)));
        }
        for (const ProvenanceModel::Step &step : m_model.steps)
            mentions.append(reference(QLatin1Char('#') + step.id));

        const QString source = QFileInfo(m_model.source).fileName();
        m_graph.append(QJsonObject { { "@id", RoCrateMetadata::FileName }, { "@type", "CreativeWork" },
            { "conformsTo", reference("https://w3id.org/ro/crate/1.1") }, { "about", reference("./") } });
        m_graph.append(QJsonObject { { "@id", "./" }, { "@type", "Dataset" },
            { "name", QStringLiteral("Processing history of %1").arg(source) },
            { "description",
                QStringLiteral("Processing history recorded in %1: %2 workflow steps with their files.")
                    .arg(source)
                    .arg(m_model.steps.size()) },
            { "datePublished", published.toString(Qt::ISODate) },
            { "conformsTo", reference(RoCrateMetadata::ProfileUri) }, { "hasPart", hasPart },
            { "mentions", mentions } });
        m_graph.append(QJsonObject { { "@id", RoCrateMetadata::ProfileUri }, { "@type", "CreativeWork" },
            { "name", "Process Run Crate" }, { "version", "0.5" } });

        bool unknownTool = false;
        for (const ProvenanceModel::Step &step : m_model.steps) {
            m_graph.append(action(step));
            unknownTool = unknownTool || step.toolAgent.isEmpty();
        }
        if (unknownTool) {
            // The profile asks for an instrument on every action, even where
            // the record names no tool.
            m_graph.append(QJsonObject {
                { "@id", UnknownTool }, { "@type", "SoftwareApplication" }, { "name", "tool not recorded" } });
        }
        for (const ProvenanceModel::Agent &agent : m_model.agents) {
            m_graph.append(QJsonObject { { "@id", QLatin1Char('#') + agent.id },
                { "@type", agent.software ? "SoftwareApplication" : "Person" }, { "name", agent.name } });
        }
        for (const ProvenanceModel::File &file : m_model.files)
            m_graph.append(this->file(file));
        return m_graph;
    }

private:
    const ProvenanceModel &m_model;
    const QHash<QString, QString> &m_paths;
    QJsonArray m_graph;
};

} // namespace

QHash<QString, QString> RoCrateMetadata::layout(const ProvenanceModel &model)
{
    QHash<QString, QString> paths;
    QHash<QString, QSet<QString>> taken; // folder -> lower-case names in it
    auto place = [&](const QString &folder, const QStringList &ids) {
        for (const QString &id : ids) {
            const ProvenanceModel::File *file = model.file(id);
            if (!file || !file->embedded || paths.contains(id))
                continue;
            paths.insert(id, folder + QLatin1Char('/') + uniqueName(safeFileName(file->name), taken[folder]));
        }
    };
    QStringList allIds;
    for (const ProvenanceModel::Step &step : model.steps)
        place(step.id, step.used + step.generated + step.otherFiles);
    for (const ProvenanceModel::File &file : model.files)
        allIds.append(file.id);
    place(QStringLiteral("other"), allIds);
    return paths;
}

QByteArray RoCrateMetadata::write(
    const ProvenanceModel &model, const QHash<QString, QString> &paths, const QDateTime &published)
{
    GraphBuilder builder(model, paths);
    const QJsonArray graph = builder.graph(published);
    const QJsonObject document {
        { "@context",
            QJsonArray { "https://w3id.org/ro/crate/1.1/context",
                QJsonObject { { ProvDocument::NamespacePrefix, ProvDocument::NamespaceUri } } } },
        { "@graph", graph }
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace traxo
