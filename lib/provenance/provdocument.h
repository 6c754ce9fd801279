#ifndef TRAXO_PROVDOCUMENT_H
#define TRAXO_PROVDOCUMENT_H

#include "provenance/provenancemodel.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace traxo {

// The W3C PROV records of a history, written as PROV-JSON or PROV-N. Both
// serializations are made from the same record list, so they always hold the
// same records with the same identifiers. Recorded details without a PROV
// term, user attributes and their units among them, are attributes in the
// project's own namespace NamespaceUri (prefix "traxo").
class ProvDocument
{
public:
    static const QString NamespacePrefix;
    static const QString NamespaceUri;

    struct Value
    {
        enum Type { String, Long, Boolean, QualifiedName };
        QString text;
        Type type = String;
    };

    struct Record
    {
        QString kind; // "entity", "activity", "agent", "used", "wasGeneratedBy", ...
        QString id; // qualified name; empty for relations, which PROV-N leaves unnamed
        // The positional terms in PROV-N order under their PROV-JSON keys;
        // an empty value is an absent term ("-").
        QList<QPair<QString, QString>> terms;
        QList<QPair<QString, Value>> attributes;
    };

    explicit ProvDocument(const ProvenanceModel &model);

    QList<Record> records() const { return m_records; }
    QByteArray toJson() const;
    QString toProvN() const;

    // The attribute names of a user attribute's value and unit: the key
    // percent-encoded into a valid local name, so any key survives.
    static QString userAttributeName(const QString &key);
    static QString userUnitName(const QString &key);

private:
    void addAttributes(Record &record, const QList<ProvenanceModel::Attribute> &attributes);

    QList<Record> m_records;
};

} // namespace traxo

#endif
