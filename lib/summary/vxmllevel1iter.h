#ifndef TRAXO_VXMLLEVEL1ITER_H
#define TRAXO_VXMLLEVEL1ITER_H

#include <QLatin1String>
#include <QString>
#include <QStringView>

namespace traxo {

// Walks the elements of one nesting level of a small XML-like text. It is not
// an XML parser: elements carry no attributes, entities are not decoded, and
// a caller descends by starting a new iterator on an element's content.
// Malformed or truncated text ends the iteration early; every step costs time
// linear in the text it passes over, so hostile input cannot make it hang.
//
//     VXMLLevel1Iter it(text);
//     for (QString content = ++it; !content.isNull(); content = ++it)
//         if (it.isTag("Title")) ...
//
// Readers that descend through many levels walk views instead, so that no
// level copies its content:
//
//     VXMLLevel1Iter it = VXMLLevel1Iter::borrowing(text);
//     while (it.next())
//         if (it.isTag(u"Title")) title = it.dataView().toString();
class VXMLLevel1Iter
{
public:
    VXMLLevel1Iter() = default;
    explicit VXMLLevel1Iter(const QString &text);
    VXMLLevel1Iter(const VXMLLevel1Iter &other) = default;
    VXMLLevel1Iter &operator=(const VXMLLevel1Iter &other) = default;
    // Restarts the iteration on a new text.
    VXMLLevel1Iter &operator=(const QString &text);

    // An iterator over text that does not copy it: text must outlive the
    // iterator and every copy of it.
    static VXMLLevel1Iter borrowing(QStringView text);

    // Advances to the next element of this level and returns its content, or
    // a null QString once the level ends. Both forms return the new content.
    QString operator++();
    QString operator++(int);
    // Advances like operator++ without building a string; false once the
    // level ends.
    bool next();

    // True when standing on an element whose tag name equals name.
    bool isTag(const QString &name) const;
    bool isTag(QLatin1String name) const;
    bool isTag(QStringView name) const;
    // The current tag name; a null QString when not on an element.
    QString tagName() const;
    // The current content; a null QString when not on an element.
    QString data() const;
    // The same as views into the walked text; null when not on an element.
    QStringView tagNameView() const;
    QStringView dataView() const;
    bool isOnElement() const { return m_onElement; }

    // "<name>content</name>" of the current element.
    QString getTagAndData() const;
    // The whole text with the current element's content replaced; the text
    // unchanged when not on an element.
    QString replaceCurrentTag(const QString &replacement) const;

    // Read three whitespace-separated numbers from the content; true only
    // when all three were read.
    bool dataTo3Int(int &a, int &b, int &c) const;
    bool dataTo3Double(double &a, double &b, double &c) const;

    // One scanning step: moves to the next element and points data/length at
    // its content inside the iterator's text (nullptr/0 at the end). The
    // pointer stays valid until the iterator is assigned or destroyed.
    void getNextDataBlock(const QChar **data, int *length);

private:
    void endIteration();
    qsizetype findClosingTag(qsizetype from, QStringView name) const;
    QString text() const;

    // Keeps the walked text alive unless the iterator borrows it; copies of
    // a QString share its characters, so m_text stays valid in copies too.
    QString m_owner;
    QStringView m_text;
    qsizetype m_scan = 0;
    bool m_onElement = false;
    qsizetype m_tagPos = 0;
    qsizetype m_tagLen = 0;
    qsizetype m_dataPos = 0;
    qsizetype m_dataLen = 0;
};

} // namespace traxo

#endif
