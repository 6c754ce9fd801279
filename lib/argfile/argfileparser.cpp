#include "argfile/argfileparser.h"

#include <QRegularExpression>

namespace traxo {

namespace {

// The token kinds in the order in which they are tried. The possessive forms
// match exactly what the plain alternations would (the alternatives are
// disjoint) without backtracking through long quoted texts.
enum class TokenKind { Whitespace, Comment, Word };

struct TokenPattern
{
    QRegularExpression regex;
    TokenKind kind;
};

const QList<TokenPattern> &tokenPatterns()
{
    static const QRegularExpression::PatternOptions dotAll = QRegularExpression::DotMatchesEverythingOption;
    static const QList<TokenPattern> patterns {
        { QRegularExpression(QStringLiteral("[\\r\\n\\t ]+")), TokenKind::Whitespace },
        { QRegularExpression(QStringLiteral("#[^\\r\\n]*+.?"), dotAll), TokenKind::Comment },
        { QRegularExpression(QStringLiteral("(?:[^\\\\'\"#\\r\\n\\t ]++|\\\\.)++"), dotAll), TokenKind::Word },
        { QRegularExpression(QStringLiteral("'[^']*+'")), TokenKind::Word },
        { QRegularExpression(QStringLiteral("\"(?:[^\"\\\\]++|\\\\.)*+\""), dotAll), TokenKind::Word },
    };
    return patterns;
}

const QRegularExpression &variablePattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\\\*\\$([A-Za-z0-9]+|\\{[A-Za-z0-9]+\\})"));
    return pattern;
}

bool isReference(const QString &piece)
{
    static const QRegularExpression whole(QStringLiteral("\\A\\$(?:[A-Za-z0-9]+|\\{[A-Za-z0-9]+\\})\\z"));
    return whole.match(piece).hasMatch();
}

} // namespace

QStringList ArgfileParser::parseArgfile(const QString &text, const Variables *variables)
{
    Tokens tokens = splitIntoTokens(text);
    tokens = removeDoubleSeparators(tokens);
    tokens = handleVariables(tokens, variables);
    tokens = unescapeTokens(tokens);
    tokens = joinTokens(tokens);
    return tokensToStrings(tokens);
}

ArgfileParser::Tokens ArgfileParser::getHighlighterList(const QString &text)
{
    return unescapeTokens(splitIntoTokens(text));
}

ArgfileParser::Tokens ArgfileParser::splitIntoTokens(const QString &text)
{
    Tokens tokens;
    int position = 0;
    while (position < text.size()) {
        bool matched = false;
        for (const TokenPattern &pattern : tokenPatterns()) {
            const QRegularExpressionMatch match = pattern.regex.match(
                text, position, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (!match.hasMatch() || match.capturedLength() == 0)
                continue;
            const QString found = match.captured();
            if (pattern.kind == TokenKind::Word)
                tokens << ArgfileToken(found, position, found);
            else
                tokens << ArgfileToken(ArgfileToken::Separator, position, found);
            position += found.size();
            matched = true;
            break;
        }
        // An unterminated quote or a trailing backslash: the text as a whole
        // is not an arg-file, so no word of it is trusted.
        if (!matched)
            return Tokens();
    }
    return tokens;
}

ArgfileParser::Tokens ArgfileParser::removeDoubleSeparators(const Tokens &tokens)
{
    Tokens result;
    for (const ArgfileToken &token : tokens) {
        if (token.isSeparator() && !result.isEmpty() && result.last().isSeparator())
            continue;
        result << token;
    }
    if (!result.isEmpty() && result.first().isSeparator())
        result.removeFirst();
    if (!result.isEmpty() && result.last().isSeparator())
        result.removeLast();
    return result;
}

ArgfileParser::Tokens ArgfileParser::handleVariables(const Tokens &tokens, const Variables *variables)
{
    Tokens result;
    result.reserve(tokens.size());
    for (const ArgfileToken &token : tokens) {
        const QString text = token.str();
        if (token.isSeparator()) {
            result << token;
        } else if (text.startsWith(QLatin1Char('"'))) {
            const ArgfileToken inside = replaceVariables(findVariablesDoubleQuoted(text), variables);
            result << ArgfileToken(QLatin1Char('"') + inside.str() + QLatin1Char('"'), -1, QString());
        } else if (text.startsWith(QLatin1Char('\''))) {
            result << ArgfileToken(text, -1, QString());
        } else {
            result << replaceVariables(findVariablesInToken(text), variables);
        }
    }
    return result;
}

ArgfileParser::Tokens ArgfileParser::unescapeTokens(const Tokens &tokens)
{
    Tokens result;
    result.reserve(tokens.size());
    for (const ArgfileToken &token : tokens) {
        if (token.isSeparator()) {
            result << token;
            continue;
        }
        const QString text = token.str();
        QString unescaped;
        if (text.startsWith(QLatin1Char('\'')))
            unescaped = unescapeSingleQuoted(text);
        else if (text.startsWith(QLatin1Char('"')))
            unescaped = unescapeDoubleQuoted(text);
        else
            unescaped = unescapeBackslashed(text);
        result << ArgfileToken(unescaped, token.position(), token.originalText());
    }
    return result;
}

ArgfileParser::Tokens ArgfileParser::joinTokens(const Tokens &tokens)
{
    Tokens result;
    QList<ArgfileToken> parts;
    auto flush = [&]() {
        if (parts.size() == 1) {
            result << parts.first();
        } else if (!parts.isEmpty()) {
            QString joined;
            for (const ArgfileToken &part : parts)
                joined += part.str();
            result << ArgfileToken(joined, -1, QString());
        }
        parts.clear();
    };
    for (const ArgfileToken &token : tokens) {
        if (token.isSeparator())
            flush();
        else
            parts << token;
    }
    flush();
    return result;
}

QStringList ArgfileParser::tokensToStrings(const Tokens &tokens)
{
    QStringList words;
    for (const ArgfileToken &token : tokens) {
        if (!token.isSeparator())
            words << token.str();
    }
    return words;
}

QStringList ArgfileParser::findVariablesInToken(const QString &text)
{
    QStringList pieces;
    QString rest = text;
    int from = 0;
    while (!rest.isEmpty()) {
        const QRegularExpressionMatch match = variablePattern().match(rest, from);
        if (!match.hasMatch()) {
            pieces << rest;
            break;
        }
        const int p = match.capturedStart();
        const int length = match.capturedLength();
        const int backslashes = match.captured().indexOf(QLatin1Char('$'));
        if (backslashes % 2 == 1) {
            from = p + length; // an escaped "\$": literal text, keep looking
            continue;
        }
        if (p + backslashes > 0)
            pieces << rest.left(p + backslashes);
        pieces << rest.mid(p + backslashes, length - backslashes);
        rest = rest.mid(p + length);
        from = 0;
    }
    return pieces;
}

QStringList ArgfileParser::findVariablesDoubleQuoted(const QString &quoted)
{
    QString inside = quoted;
    if (inside.startsWith(QLatin1Char('"')))
        inside.remove(0, 1);
    if (inside.endsWith(QLatin1Char('"')))
        inside.chop(1);
    return findVariablesInToken(inside);
}

QString ArgfileParser::getVariableName(const QString &piece)
{
    if (piece.startsWith(QLatin1String("${")) && piece.endsWith(QLatin1Char('}')))
        return piece.mid(2, piece.size() - 3);
    if (piece.startsWith(QLatin1Char('$')))
        return piece.mid(1);
    return QString();
}

ArgfileToken ArgfileParser::replaceVariables(const QStringList &pieces, const Variables *variables)
{
    QString joined;
    for (const QString &piece : pieces) {
        // Only a whole reference is replaced: a literal piece such as the
        // first "$" of "$$name" must not be taken for an empty variable.
        if (variables && isReference(piece))
            joined += escapeEverything(variables->value(getVariableName(piece)));
        else
            joined += piece;
    }
    return ArgfileToken(joined, -1, QString());
}

QString ArgfileParser::escapeEverything(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() * 2);
    for (const QChar c : text) {
        escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

QString ArgfileParser::unescapeBackslashed(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            result += c;
            continue;
        }
        const QChar next = text.at(++i);
        // An escaped dollar is a literal one, which words spell "$$".
        if (next == QLatin1Char('$'))
            result += QLatin1String("$$");
        else
            result += next;
    }
    return result;
}

QString ArgfileParser::unescapeDoubleQuoted(const QString &text)
{
    QString inside = text;
    if (inside.size() >= 2 && inside.startsWith(QLatin1Char('"')) && inside.endsWith(QLatin1Char('"')))
        inside = inside.mid(1, inside.size() - 2);
    return unescapeBackslashed(inside);
}

QString ArgfileParser::unescapeSingleQuoted(const QString &text)
{
    QString inside = text;
    if (inside.size() >= 2 && inside.startsWith(QLatin1Char('\'')) && inside.endsWith(QLatin1Char('\'')))
        inside = inside.mid(1, inside.size() - 2);
    inside.replace(QLatin1Char('$'), QLatin1String("$$"));
    return inside;
}

} // namespace traxo
