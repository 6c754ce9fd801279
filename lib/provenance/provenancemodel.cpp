#include "provenance/provenancemodel.h"

#include "container/containermarkers.h"
#include "summary/summaryreader.h"

#include <QHash>

namespace traxo {

namespace {

const QString SummaryFileName = QStringLiteral("ws_summary.xml");

// Texts of a summary keep their XML entities, texts of a marker its escapes;
// both are decoded exactly once here.
struct Decoder
{
    bool fromXml;
    QString operator()(const QString &text) const
    {
        return fromXml ? SummaryReader::decodeText(text) : unescapeMarkerText(text);
    }
};

QList<ProvenanceModel::Attribute> attributes(const QStringList &keys, const QHash<QString, QString> &values,
    const QHash<QString, QString> &units, const Decoder &decode)
{
    QList<ProvenanceModel::Attribute> result;
    QStringList seen;
    for (const QString &key : keys) {
        // A repeated key holds its last value only; listing it twice would
        // repeat that value, not restore the earlier one.
        if (seen.contains(key))
            continue;
        seen.append(key);
        ProvenanceModel::Attribute attribute;
        attribute.key = decode(key);
        attribute.value = decode(values.value(key));
        attribute.hasUnit = units.contains(key);
        attribute.unit = decode(units.value(key));
        result.append(attribute);
    }
    return result;
}

class Builder
{
public:
    explicit Builder(ProvenanceModel &model)
        : m_model(model)
    {
    }

    QString agent(const QString &name, bool software)
    {
        if (name.isEmpty())
            return QString();
        QHash<QString, QString> &known = software ? m_tools : m_people;
        QString &id = known[name];
        if (id.isEmpty()) {
            id = QStringLiteral("%1-%2").arg(software ? "tool" : "person").arg(known.size());
            m_model.agents.append({ id, name, software });
        }
        return id;
    }

    // An input that an earlier step recorded (same name and MD5) is that
    // step's entity, which links the steps into one graph; anything else is
    // a new entity.
    QString file(const FileSummary &summary, bool input)
    {
        const Decoder decode { summary.FilePurpose != QLatin1String("Undefined") };
        ProvenanceModel::File file;
        file.name = decode(summary.Filename);
        file.md5 = summary.UncompressedMD5.trimmed().toLower();
        const QString key = file.md5.isEmpty() ? QString() : file.name + QLatin1Char('\n') + file.md5;
        if (input && !key.isEmpty() && m_files.contains(key))
            return m_files.value(key);

        file.id = QStringLiteral("file-%1").arg(m_model.files.size() + 1);
        file.path = decode(summary.Filepath);
        file.type = decode(summary.Filetype);
        file.description = decode(summary.Description);
        file.comment = decode(summary.Comment);
        file.size = summary.UncompressedSize;
        file.tagId = summary.TagID;
        file.embedded = summary.TagID >= 0;
        file.attributes
            = attributes(summary.userAttributeKeys, summary.userAttributeValues, summary.userAttributeUnits, decode);
        m_model.files.append(file);
        if (!key.isEmpty())
            m_files.insert(key, file.id);
        return file.id;
    }

private:
    ProvenanceModel &m_model;
    QHash<QString, QString> m_tools;
    QHash<QString, QString> m_people;
    QHash<QString, QString> m_files; // name and MD5 -> latest entity
};

} // namespace

QString ProvenanceModel::File::mimeType() const
{
    const qsizetype slash = type.indexOf(QLatin1Char('/'));
    const bool looksLikeMime
        = slash > 0 && slash < type.size() - 1 && !type.contains(QLatin1Char(' ')) && type.count(QLatin1Char('/')) == 1;
    return looksLikeMime ? type : QString();
}

ProvenanceModel ProvenanceModel::fromSummaries(const QList<Summary> &summaries, int sectionCount, const QString &source)
{
    ProvenanceModel model;
    model.source = source;
    Builder builder(model);
    for (int i = 0; i < summaries.size(); ++i) {
        const Summary &summary = summaries.at(i);
        if (i >= sectionCount) {
            // Files outside every section: kept as entities of no step.
            for (const FileSummary &file : summary.files)
                builder.file(file, false);
            continue;
        }
        const Decoder decode { summary.valid };
        Step step;
        step.id = QStringLiteral("step-%1").arg(model.steps.size() + 1);
        step.title = decode(summary.Title);
        step.description = decode(summary.Description);
        step.comment = decode(summary.Comment);
        step.command = decode(summary.Command);
        step.toolPath = decode(summary.ToolPath);
        step.host = decode(summary.Host);
        step.creator = decode(summary.Creator);
        step.timestamp = decode(summary.Timestamp).trimmed();
        step.startTime = QDateTime::fromString(step.timestamp, Qt::ISODate);
        step.toolAgent = builder.agent(decode(summary.Tool), true);
        step.userAgent = builder.agent(decode(summary.User), false);
        step.attributes
            = attributes(summary.userAttributeKeys, summary.userAttributeValues, summary.userAttributeUnits, decode);
        for (const FileSummary &file : summary.files) {
            if (file.FilePurpose == QLatin1String("InFile")) {
                step.used.append(builder.file(file, true));
            } else if (file.FilePurpose == QLatin1String("OutFile")) {
                step.generated.append(builder.file(file, false));
            } else if (!(summary.valid && file.Filename == SummaryFileName)) {
                // The summary document itself is bookkeeping, not data.
                step.otherFiles.append(builder.file(file, false));
            }
        }
        model.steps.append(step);
    }
    return model;
}

const ProvenanceModel::File *ProvenanceModel::file(const QString &id) const
{
    for (const File &file : files) {
        if (file.id == id)
            return &file;
    }
    return nullptr;
}

const ProvenanceModel::Agent *ProvenanceModel::agent(const QString &id) const
{
    for (const Agent &agent : agents) {
        if (agent.id == id)
            return &agent;
    }
    return nullptr;
}

} // namespace traxo
