#ifndef TRAXO_QUOTING_H
#define TRAXO_QUOTING_H

#include <QString>
#include <QStringList>

namespace traxo {

// Writes one command-line word so that the arg-file tokenizer reads it back
// as the same word. With keepVariables, single "$" stay variable references
// and "$$" (a literal dollar in a word list) is written as "\$"; without it,
// every "$" is written literally.
QString quoteString(const QString &text, bool keepVariables);
QStringList quoteStringList(const QStringList &list, bool keepVariables);

// Appends option, key and value; an empty value is not written at all.
void appendAttributeToList(const QString &value, const QString &option, const QString &key, QStringList &list);
// Appends option and name, or "no-" + name: a flag is always written.
void appendFlagToList(bool flag, const QString &option, const QString &name, QStringList &list);

// Quotes every word and joins them with single spaces. Unlike quoteString, an
// empty word is written as "" so that it keeps its place in the line.
QString joinCommandlineWords(const QStringList &words, bool keepVariables);

} // namespace traxo

#endif
