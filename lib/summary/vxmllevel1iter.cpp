#include "summary/vxmllevel1iter.h"

#include <QIODevice>
#include <QTextStream>

#include <algorithm>

namespace traxo {

namespace {

// An element with empty content must still be told apart from the end of
// the level, which is a null string.
QString nonNull(QString text)
{
    if (text.isNull())
        return QString(QLatin1String(""));
    return text;
}

template<typename T>
bool readThree(const QString &content, T &a, T &b, T &c)
{
    QString copy = content;
    QTextStream stream(&copy, QIODevice::ReadOnly);
    stream >> a >> b >> c;
    return stream.status() == QTextStream::Ok;
}

// Where "<name>" (or "</name>" when closing) first occurs in text at or after
// from, or -1. Compared in place from each '<': summaries are read for every
// container searched, and their tags lie only a few characters apart.
qsizetype findTag(QStringView text, qsizetype from, bool closing, QStringView name)
{
    const qsizetype prefix = closing ? 2 : 1;
    const qsizetype length = prefix + name.size() + 1;
    const auto end = text.end();
    for (auto it = std::find(text.begin() + std::min(from, text.size()), end, u'<');
         it != end && (it - text.begin()) + length <= text.size(); it = std::find(it + 1, end, u'<')) {
        const qsizetype at = it - text.begin();
        if (closing && text.at(at + 1) != QLatin1Char('/'))
            continue;
        if (text.mid(at + prefix, name.size()) == name && text.at(at + length - 1) == QLatin1Char('>'))
            return at;
    }
    return -1;
}

} // namespace

VXMLLevel1Iter::VXMLLevel1Iter(const QString &text)
    : m_text(text)
{
}

VXMLLevel1Iter &VXMLLevel1Iter::operator=(const QString &text)
{
    *this = VXMLLevel1Iter(text);
    return *this;
}

QString VXMLLevel1Iter::operator++()
{
    const QChar *data = nullptr;
    int length = 0;
    getNextDataBlock(&data, &length);
    return m_onElement ? nonNull(QString(data, length)) : QString();
}

QString VXMLLevel1Iter::operator++(int)
{
    return ++*this;
}

bool VXMLLevel1Iter::isTag(const QString &name) const
{
    return m_onElement && QStringView(m_text).mid(m_tagPos, m_tagLen) == name;
}

// Readers test every child against a table of names: no QString per test.
bool VXMLLevel1Iter::isTag(QLatin1String name) const
{
    return m_onElement && QStringView(m_text).mid(m_tagPos, m_tagLen) == name;
}

QString VXMLLevel1Iter::tagName() const
{
    return m_onElement ? nonNull(m_text.mid(m_tagPos, m_tagLen)) : QString();
}

QString VXMLLevel1Iter::data() const
{
    return m_onElement ? nonNull(m_text.mid(m_dataPos, m_dataLen)) : QString();
}

QString VXMLLevel1Iter::getTagAndData() const
{
    return QStringLiteral("<%1>%2</%1>").arg(tagName(), data());
}

QString VXMLLevel1Iter::replaceCurrentTag(const QString &replacement) const
{
    if (!m_onElement)
        return m_text;
    QString result = m_text;
    return result.replace(m_dataPos, m_dataLen, replacement);
}

bool VXMLLevel1Iter::dataTo3Int(int &a, int &b, int &c) const
{
    return readThree(data(), a, b, c);
}

bool VXMLLevel1Iter::dataTo3Double(double &a, double &b, double &c) const
{
    return readThree(data(), a, b, c);
}

void VXMLLevel1Iter::endIteration()
{
    m_onElement = false;
    m_scan = m_text.size();
}

// Finds the end tag that closes an element whose content starts at from.
// Start tags of the same name are only counted between the current position
// and the next end tag, so each character is looked at a bounded number of
// times however many elements the text holds.
qsizetype VXMLLevel1Iter::findClosingTag(qsizetype from, QStringView name) const
{
    const QStringView text(m_text);
    int depth = 1;
    qsizetype pos = from;
    for (;;) {
        const qsizetype closing = findTag(text, pos, true, name);
        if (closing < 0)
            return -1;
        const QStringView between = text.first(closing);
        for (qsizetype o = findTag(between, pos, false, name); o >= 0;
             o = findTag(between, o + name.size() + 2, false, name))
            ++depth;
        if (--depth == 0)
            return closing;
        pos = closing + name.size() + 3;
    }
}

void VXMLLevel1Iter::getNextDataBlock(const QChar **data, int *length)
{
    *data = nullptr;
    *length = 0;
    m_onElement = false;
    for (;;) {
        const qsizetype lt = m_text.indexOf(QLatin1Char('<'), m_scan);
        if (lt < 0)
            return endIteration();
        const qsizetype gt = m_text.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0)
            return endIteration();
        const QChar next = m_text.at(lt + 1);

        if (next == QLatin1Char('!')) {
            // Comments may hold ">" and run to "-->"; other declarations
            // (DOCTYPE and the like) end at their first ">".
            if (QStringView(m_text).mid(lt, 4) == QLatin1String("<!--")) {
                const qsizetype end = m_text.indexOf(QLatin1String("-->"), lt + 4);
                if (end < 0)
                    return endIteration();
                m_scan = end + 3;
            } else {
                m_scan = gt + 1;
            }
            continue;
        }
        if (next == QLatin1Char('?')) {
            const qsizetype end = m_text.indexOf(QLatin1String("?>"), lt + 2);
            if (end < 0)
                return endIteration();
            m_scan = end + 2;
            continue;
        }
        // The end tag of the enclosing element closes this level.
        if (next == QLatin1Char('/'))
            return endIteration();

        m_tagPos = lt + 1;
        m_tagLen = gt - m_tagPos;
        if (m_tagLen > 0 && m_text.at(gt - 1) == QLatin1Char('/')) {
            --m_tagLen;
            m_dataPos = gt + 1;
            m_dataLen = 0;
            m_scan = gt + 1;
        } else {
            const QStringView name = QStringView(m_text).mid(m_tagPos, m_tagLen);
            const qsizetype closing = findClosingTag(gt + 1, name);
            if (closing < 0)
                return endIteration();
            m_dataPos = gt + 1;
            m_dataLen = closing - m_dataPos;
            m_scan = closing + m_tagLen + 3;
        }
        m_onElement = true;
        *data = m_text.constData() + m_dataPos;
        *length = int(m_dataLen);
        return;
    }
}

} // namespace traxo
