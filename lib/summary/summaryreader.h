#ifndef TRAXO_SUMMARYREADER_H
#define TRAXO_SUMMARYREADER_H

#include "summary/summary.h"

#include <QHash>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QStringList>

namespace traxo {

// Reads the text of "ws_summary.xml" into a Summary. The reader is lenient and
// never fails: unknown elements are skipped with a debug line, missing ones
// keep their defaults, and malformed text ends the affected level early while
// keeping what was read before it. Texts are taken as written (no entity
// decoding, no trimming).
class SummaryReader : public QObject
{
    Q_OBJECT

public:
    struct UserAttributes
    {
        QHash<QString, QString> values;
        // Document order; a repeated key is listed once per occurrence while
        // the maps keep its last value.
        QStringList keys;
        // Only keys whose attribute has a Unit element, even an empty one.
        QHash<QString, QString> units;
    };

    struct Attribute
    {
        QString key;
        QString value;
        // Null when the attribute has no Unit element.
        QSharedPointer<QString> unit;
    };

    explicit SummaryReader(QObject *parent = nullptr);

    // The whole document; an invalid default Summary when it holds no
    // trxchange element.
    Summary readSummary(const QString &xml);
    // The content of trxchange; the result is marked valid.
    Summary parseSummary(const QString &content);
    Workflowstep parseWorkflowstep(const QString &content);
    // FilePurpose stays "Undefined"; the caller knows whether it read an
    // InFile or an OutFile.
    FileSummary parseFile(const QString &content);
    UserAttributes parseUserAttributes(const QString &content);
    Attribute parseAttribute(const QString &content);

    // The text a summary value stands for: the five predefined entities and
    // numeric character references decoded once. Anything else that looks
    // like a reference (an unknown name, a bad number) is kept as written, so
    // a hand-written summary never loses text. Inverse of SummaryWriter::escape.
    static QString decodeText(QStringView text);
};

} // namespace traxo

#endif
