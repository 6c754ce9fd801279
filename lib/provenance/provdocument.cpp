#include "provenance/provdocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QUrl>

namespace traxo {

const QString ProvDocument::NamespacePrefix = QStringLiteral("traxo");
const QString ProvDocument::NamespaceUri = QStringLiteral("https://pelmix.example.org/ns/traxo#");

namespace {

using Value = ProvDocument::Value;
using Record = ProvDocument::Record;

QString qualified(const QString &local)
{
    return ProvDocument::NamespacePrefix + QLatin1Char(':') + local;
}

void addText(Record &record, const QString &name, const QString &text)
{
    if (!text.isEmpty())
        record.attributes.append({ name, Value { text, Value::String } });
}

Record relation(const QString &kind, const QString &key1, const QString &id1, const QString &key2, const QString &id2,
    const QString &key3 = QString())
{
    Record record;
    record.kind = kind;
    record.terms = { { key1, qualified(id1) }, { key2, qualified(id2) } };
    if (!key3.isEmpty())
        record.terms.append({ key3, QString() });
    return record;
}

// A PROV-N string literal: quotes, backslashes and line breaks escaped.
QString provnString(const QString &text)
{
    QString result = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            result += QLatin1String("\\\"");
            break;
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        case '\t':
            result += QLatin1String("\\t");
            break;
        default:
            result += c;
        }
    }
    return result + QLatin1Char('"');
}

QString provnValue(const Value &value)
{
    switch (value.type) {
    case Value::Long:
        return provnString(value.text) + QLatin1String(" %% xsd:long");
    case Value::Boolean:
        return provnString(value.text) + QLatin1String(" %% xsd:boolean");
    case Value::QualifiedName:
        return QLatin1Char('\'') + value.text + QLatin1Char('\'');
    case Value::String:
        break;
    }
    return provnString(value.text);
}

QJsonValue jsonValue(const Value &value)
{
    switch (value.type) {
    case Value::Long:
        return QJsonObject { { "$", value.text }, { "type", "xsd:long" } };
    case Value::Boolean:
        return QJsonObject { { "$", value.text }, { "type", "xsd:boolean" } };
    case Value::QualifiedName:
        return QJsonObject { { "$", value.text }, { "type", "prov:QUALIFIED_NAME" } };
    case Value::String:
        break;
    }
    return value.text;
}

} // namespace

ProvDocument::ProvDocument(const ProvenanceModel &model)
{
    for (const ProvenanceModel::File &file : model.files) {
        Record record;
        record.kind = QStringLiteral("entity");
        record.id = qualified(file.id);
        addText(record, QStringLiteral("prov:label"), file.name);
        addText(record, qualified("path"), file.path);
        const QString mime = file.mimeType();
        addText(record, qualified(mime.isEmpty() ? "filetype" : "mimeType"), file.type);
        if (file.size >= 0)
            record.attributes.append({ qualified("size"), Value { QString::number(file.size), Value::Long } });
        addText(record, qualified("md5"), file.md5);
        record.attributes.append({ qualified("embedded"), Value { file.embedded ? "true" : "false", Value::Boolean } });
        addText(record, qualified("description"), file.description);
        addText(record, qualified("comment"), file.comment);
        addAttributes(record, file.attributes);
        m_records.append(record);
    }
    for (const ProvenanceModel::Step &step : model.steps) {
        Record record;
        record.kind = QStringLiteral("activity");
        record.id = qualified(step.id);
        record.terms
            = { { "prov:startTime", step.startTime.isValid() ? step.startTime.toString(Qt::ISODate) : QString() },
                  { "prov:endTime", QString() } };
        addText(record, QStringLiteral("prov:label"), step.title);
        addText(record, qualified("command"), step.command);
        addText(record, qualified("toolPath"), step.toolPath);
        addText(record, qualified("host"), step.host);
        addText(record, qualified("description"), step.description);
        addText(record, qualified("comment"), step.comment);
        addText(record, qualified("creator"), step.creator);
        if (!step.startTime.isValid())
            addText(record, qualified("timestamp"), step.timestamp);
        addAttributes(record, step.attributes);
        m_records.append(record);
    }
    for (const ProvenanceModel::Agent &agent : model.agents) {
        Record record;
        record.kind = QStringLiteral("agent");
        record.id = qualified(agent.id);
        record.attributes.append({ "prov:type",
            Value { agent.software ? QStringLiteral("prov:SoftwareAgent") : QStringLiteral("prov:Person"),
                Value::QualifiedName } });
        addText(record, QStringLiteral("prov:label"), agent.name);
        m_records.append(record);
    }
    for (const ProvenanceModel::Step &step : model.steps) {
        for (const QString &file : step.used)
            m_records.append(relation("used", "prov:activity", step.id, "prov:entity", file, "prov:time"));
        for (const QString &file : step.generated)
            m_records.append(relation("wasGeneratedBy", "prov:entity", file, "prov:activity", step.id, "prov:time"));
        for (const QString &agent : { step.toolAgent, step.userAgent }) {
            if (!agent.isEmpty())
                m_records.append(
                    relation("wasAssociatedWith", "prov:activity", step.id, "prov:agent", agent, "prov:plan"));
        }
    }
    for (int i = 1; i < model.steps.size(); ++i) {
        m_records.append(relation(
            "wasInformedBy", "prov:informed", model.steps.at(i).id, "prov:informant", model.steps.at(i - 1).id));
    }
}

QString ProvDocument::userAttributeName(const QString &key)
{
    // Letters, digits, "_" and "-" stand as they are; every other byte of
    // the UTF-8 text becomes "%XX", which PROV-N allows in local names.
    return qualified(QStringLiteral("attribute_")
        + QString::fromLatin1(QUrl::toPercentEncoding(key, QByteArray(), QByteArray(".~"))));
}

QString ProvDocument::userUnitName(const QString &key)
{
    return qualified(
        QStringLiteral("unit_") + QString::fromLatin1(QUrl::toPercentEncoding(key, QByteArray(), QByteArray(".~"))));
}

void ProvDocument::addAttributes(Record &record, const QList<ProvenanceModel::Attribute> &attributes)
{
    for (const ProvenanceModel::Attribute &attribute : attributes) {
        record.attributes.append({ userAttributeName(attribute.key), Value { attribute.value, Value::String } });
        if (attribute.hasUnit)
            record.attributes.append({ userUnitName(attribute.key), Value { attribute.unit, Value::String } });
    }
}

QByteArray ProvDocument::toJson() const
{
    QMap<QString, QJsonObject> groups;
    int relations = 0;
    for (const Record &record : m_records) {
        QJsonObject body;
        for (const auto &term : record.terms) {
            if (!term.second.isEmpty())
                body.insert(term.first, term.second);
        }
        for (const auto &attribute : record.attributes)
            body.insert(attribute.first, jsonValue(attribute.second));
        // PROV-JSON keys every record; relations get blank-node ids, which
        // readers treat as no identifier, as in the PROV-N text.
        const QString id = record.id.isEmpty() ? QStringLiteral("_:r%1").arg(++relations) : record.id;
        groups[record.kind].insert(id, body);
    }
    QJsonObject document { { "prefix", QJsonObject { { NamespacePrefix, NamespaceUri } } } };
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        document.insert(it.key(), it.value());
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QString ProvDocument::toProvN() const
{
    QString text = QStringLiteral("document\n  prefix %1 <%2>\n\n").arg(NamespacePrefix, NamespaceUri);
    for (const Record &record : m_records) {
        QStringList arguments;
        if (!record.id.isEmpty())
            arguments.append(record.id);
        for (const auto &term : record.terms)
            arguments.append(term.second.isEmpty() ? QStringLiteral("-") : term.second);
        if (!record.attributes.isEmpty()) {
            QStringList attributes;
            for (const auto &attribute : record.attributes)
                attributes.append(attribute.first + QLatin1Char('=') + provnValue(attribute.second));
            arguments.append(QLatin1Char('[') + attributes.join(QLatin1String(", ")) + QLatin1Char(']'));
        }
        text += QStringLiteral("  %1(%2)\n").arg(record.kind, arguments.join(QLatin1String(", ")));
    }
    return text + QStringLiteral("endDocument\n");
}

} // namespace traxo
