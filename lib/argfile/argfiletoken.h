#ifndef TRAXO_ARGFILETOKEN_H
#define TRAXO_ARGFILETOKEN_H

#include <QString>

namespace traxo {

// One token of an arg-file: a word, or a separator (whitespace or a comment).
// position and originalText locate the token in the text for highlighting;
// tokens rebuilt while handling variables have position -1 and no original.
class ArgfileToken
{
public:
    enum TokenSeparator { Separator };

    ArgfileToken() = default;
    ArgfileToken(const QString &text, int position, const QString &originalText)
        : m_str(text)
        , m_position(position)
        , m_originalText(originalText)
    {
    }
    ArgfileToken(const char *text, int position, const QString &originalText)
        : ArgfileToken(QString::fromUtf8(text), position, originalText)
    {
    }
    ArgfileToken(TokenSeparator, int position, const QString &originalText)
        : m_isSeparator(true)
        , m_position(position)
        , m_originalText(originalText)
    {
    }

    QString str() const { return m_str; }
    bool isSeparator() const { return m_isSeparator; }
    int position() const { return m_position; }
    QString originalText() const { return m_originalText; }
    int originalLength() const { return m_originalText.size(); }

    bool operator==(const ArgfileToken &other) const
    {
        return m_str == other.m_str && m_isSeparator == other.m_isSeparator && m_position == other.m_position
            && m_originalText == other.m_originalText;
    }
    bool operator!=(const ArgfileToken &other) const { return !(*this == other); }

private:
    QString m_str;
    bool m_isSeparator = false;
    int m_position = -1;
    QString m_originalText;
};

} // namespace traxo

#endif
