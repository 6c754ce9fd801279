#ifndef TRAXO_FINDCOMMAND_H
#define TRAXO_FINDCOMMAND_H

#include "command.h"

#include "query/queryerror.h"

#include <QList>

// traxo find QUERY [DIR|FILE...]: the finder's search without its window.
class FindCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("find"); }
    QString summary() const override;
    QString help() const override;
    void addOptions(QCommandLineParser *parser) const override;
    int run(const QCommandLineParser &parser, Console &console) override;

    // The messages about query as the query editor shows them: the message,
    // its position (counted from 1) and the query with the span marked.
    static QString describeErrors(const QString &query, const QList<traxo::QueryError> &errors);

protected:
    bool needsApplication() const override { return false; }
};

#endif
