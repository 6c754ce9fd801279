#include "summary/vxmllevel1iter.h"

#include <QIODevice>
#include <QTextStream>
#include <QtAlgorithms>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace traxo {

namespace {

// An element with empty content must still be told apart from the end of
// the level, which is a null string.
QString nonNull(QStringView text)
{
    if (text.isNull())
        return QString(QLatin1String(""));
    return text.toString();
}

template<typename T>
bool readThree(const QString &content, T &a, T &b, T &c)
{
    QString copy = content;
    QTextStream stream(&copy, QIODevice::ReadOnly);
    stream >> a >> b >> c;
    return stream.status() == QTextStream::Ok;
}

// Whether name followed by ">" stands at at. Tag names are short: compared
// in place, without a call per candidate, and most candidates fail at once
// on the ">" that must follow a name of that length.
inline bool nameAt(QStringView text, qsizetype at, QStringView name)
{
    if (at + name.size() >= text.size())
        return false;
    const QChar *here = text.data() + at;
    return here[name.size()] == QLatin1Char('>') && std::equal(name.begin(), name.end(), here);
}

// The first ch in [from, end), or end. Every level of a summary is scanned
// for "<" while its elements are found: eight characters at a time where the
// processor allows it.
const QChar *findChar(const QChar *from, const QChar *end, char16_t ch)
{
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(short(ch));
    for (; end - from >= 8; from += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        const uint mask = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(chunk, wanted)));
        if (mask)
            return from + qCountTrailingZeroBits(mask) / 2;
    }
#endif
    return std::find(from, end, ch);
}

// Where ch first occurs in text at or after from, or -1. Markup characters
// lie a few characters apart in a summary: a plain loop beats the general
// string search, which costs more to set up than to run here.
qsizetype indexOfChar(QStringView text, qsizetype from, char16_t ch)
{
    const QChar *const end = text.end();
    const QChar *const found = findChar(text.begin() + std::min(from, text.size()), end, ch);
    return found == end ? -1 : found - text.begin();
}

} // namespace

VXMLLevel1Iter::VXMLLevel1Iter(const QString &text)
    : m_owner(text)
    , m_text(m_owner)
{
}

VXMLLevel1Iter &VXMLLevel1Iter::operator=(const QString &text)
{
    *this = VXMLLevel1Iter(text);
    return *this;
}

VXMLLevel1Iter VXMLLevel1Iter::borrowing(QStringView text)
{
    VXMLLevel1Iter it;
    it.m_text = text;
    return it;
}

QString VXMLLevel1Iter::operator++()
{
    return next() ? nonNull(dataView()) : QString();
}

QString VXMLLevel1Iter::operator++(int)
{
    return ++*this;
}

bool VXMLLevel1Iter::next()
{
    const QChar *data = nullptr;
    int length = 0;
    getNextDataBlock(&data, &length);
    return m_onElement;
}

bool VXMLLevel1Iter::isTag(const QString &name) const
{
    return isTag(QStringView(name));
}

// Readers test every child against a table of names: no QString per test.
bool VXMLLevel1Iter::isTag(QLatin1String name) const
{
    return m_onElement && m_text.mid(m_tagPos, m_tagLen) == name;
}

bool VXMLLevel1Iter::isTag(QStringView name) const
{
    return m_onElement && m_text.mid(m_tagPos, m_tagLen) == name;
}

QString VXMLLevel1Iter::tagName() const
{
    return m_onElement ? nonNull(tagNameView()) : QString();
}

QString VXMLLevel1Iter::data() const
{
    return m_onElement ? nonNull(dataView()) : QString();
}

QStringView VXMLLevel1Iter::tagNameView() const
{
    return m_onElement ? m_text.mid(m_tagPos, m_tagLen) : QStringView();
}

QStringView VXMLLevel1Iter::dataView() const
{
    return m_onElement ? m_text.mid(m_dataPos, m_dataLen) : QStringView();
}

QString VXMLLevel1Iter::getTagAndData() const
{
    return QStringLiteral("<%1>%2</%1>").arg(tagName(), data());
}

QString VXMLLevel1Iter::replaceCurrentTag(const QString &replacement) const
{
    QString result = text();
    if (!m_onElement)
        return result;
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

QString VXMLLevel1Iter::text() const
{
    if (m_text.data() == m_owner.constData() && m_text.size() == m_owner.size())
        return m_owner;
    return m_text.toString();
}

void VXMLLevel1Iter::endIteration()
{
    m_onElement = false;
    m_scan = m_text.size();
}

// Finds the end tag that closes an element whose content starts at from, in
// one pass: start and end tags of one name never overlap, so each "<" met is
// at most one of them, and nested start tags of the same name are counted on
// the way.
qsizetype VXMLLevel1Iter::findClosingTag(qsizetype from, QStringView name) const
{
    const QChar *const begin = m_text.data();
    const QChar *const end = begin + m_text.size();
    int depth = 1;
    for (const QChar *it = findChar(begin + std::min(from, m_text.size()), end, u'<'); it != end;
         it = findChar(it + 1, end, u'<')) {
        const qsizetype at = it - begin;
        if (at + 1 < m_text.size() && it[1] == QLatin1Char('/')) {
            if (nameAt(m_text, at + 2, name) && --depth == 0)
                return at;
        } else if (nameAt(m_text, at + 1, name)) {
            ++depth;
        }
    }
    return -1;
}

void VXMLLevel1Iter::getNextDataBlock(const QChar **data, int *length)
{
    *data = nullptr;
    *length = 0;
    m_onElement = false;
    for (;;) {
        const qsizetype lt = indexOfChar(m_text, m_scan, u'<');
        if (lt < 0)
            return endIteration();
        const qsizetype gt = indexOfChar(m_text, lt + 1, u'>');
        if (gt < 0)
            return endIteration();
        const QChar next = m_text.at(lt + 1);

        if (next == QLatin1Char('!')) {
            // Comments may hold ">" and run to "-->"; other declarations
            // (DOCTYPE and the like) end at their first ">".
            if (m_text.mid(lt, 4) == QLatin1String("<!--")) {
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
            const QStringView name = m_text.mid(m_tagPos, m_tagLen);
            const qsizetype closing = findClosingTag(gt + 1, name);
            if (closing < 0)
                return endIteration();
            m_dataPos = gt + 1;
            m_dataLen = closing - m_dataPos;
            m_scan = closing + m_tagLen + 3;
        }
        m_onElement = true;
        *data = m_text.data() + m_dataPos;
        *length = int(m_dataLen);
        return;
    }
}

} // namespace traxo
