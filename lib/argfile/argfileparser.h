#ifndef TRAXO_ARGFILEPARSER_H
#define TRAXO_ARGFILEPARSER_H

#include "argfile/argfiletoken.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace traxo {

// Cuts the shell-like text of an arg-file into command-line words: whitespace
// separates, "#" starts a comment, single quotes take everything literally,
// double quotes and bare words know backslash escapes and "$name" variables.
// In the resulting words "$$" stands for one literal dollar and a single "$"
// followed by a name is a variable reference.
//
// Every step is public so that the highlighter and the tests can use them.
// The parser has no state.
class ArgfileParser
{
public:
    using Tokens = QList<ArgfileToken>;
    using Variables = QHash<QString, QString>;

    // The words of an arg-file; no words at all when the text cannot be cut
    // (an unterminated quote, a trailing backslash). Without a variable
    // table, references stay as they are.
    static QStringList parseArgfile(const QString &text, const Variables *variables = nullptr);
    // Every token with its position and original text, words unescaped but
    // neither joined nor variable-expanded.
    static Tokens getHighlighterList(const QString &text);

    static Tokens splitIntoTokens(const QString &text);
    static Tokens removeDoubleSeparators(const Tokens &tokens);
    static Tokens handleVariables(const Tokens &tokens, const Variables *variables);
    static Tokens unescapeTokens(const Tokens &tokens);
    // Adjacent word parts form one word, as in a shell; separators go.
    static Tokens joinTokens(const Tokens &tokens);
    static QStringList tokensToStrings(const Tokens &tokens);

    // Pieces that joined give the text back, alternately literal text and
    // variable references ("$name" or "${name}").
    static QStringList findVariablesInToken(const QString &text);
    static QStringList findVariablesDoubleQuoted(const QString &quoted);
    static QStringList findVariablesBackslashed(const QString &text) { return findVariablesInToken(text); }
    static QString getVariableName(const QString &piece);
    static ArgfileToken replaceVariables(const QStringList &pieces, const Variables *variables);

    // Puts a backslash before every character, so that a variable's value
    // has no syntax of its own.
    static QString escapeEverything(const QString &text);
    static QString unescapeBackslashed(const QString &text);
    static QString unescapeDoubleQuoted(const QString &text);
    static QString unescapeSingleQuoted(const QString &text);
};

} // namespace traxo

#endif
