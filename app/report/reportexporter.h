#ifndef TRAXO_REPORTEXPORTER_H
#define TRAXO_REPORTEXPORTER_H

#include <QPointer>
#include <QString>
#include <QStringList>

class QTextDocument;

namespace traxo {
class TraxoParser;
}

// Writes a rendered history to a file: as PDF, as the document's HTML, as the
// template's own HTML ("raw") or as plain text, all text in UTF-8. Used by
// the viewer's export actions and by the command line alike. A failure
// leaves its reason in errorString().
//
// Exported HTML stands on its own: the stylesheets and images a rendering
// names with "template://" and "traxotag://" are put into the file (styles
// inline, images as data: URLs), so it can be mailed or published as it is.
class ReportExporter
{
public:
    // filename unchanged when it ends with one of suffixes, else with append.
    static QString exportName(const QString &filename, const QStringList &suffixes, const QString &append);

    // Where "template://" and "traxotag://" names are looked up.
    void setResources(const QString &templatesDir, traxo::TraxoParser *parser);

    // True when filename can be written; leaves no file behind that was not
    // there before. Checked before a costly rendering.
    bool checkWritable(const QString &filename);

    bool writePdf(QTextDocument *document, const QString &filename);
    bool writeHtml(const QTextDocument &document, const QString &filename);
    bool writeRawHtml(const QString &html, const QString &filename);
    bool writePlainText(const QTextDocument &document, const QString &filename);
    bool writeBytes(const QString &filename, const QByteArray &bytes);

    QByteArray pdfBytes(QTextDocument *document) const;
    QByteArray htmlBytes(const QTextDocument &document) const;
    QByteArray rawHtmlBytes(const QString &html) const;
    QByteArray plainTextBytes(const QTextDocument &document) const;

    // html with every "template://" and "traxotag://" reference replaced by
    // what it names; a reference that cannot be resolved is dropped.
    QString selfContained(const QString &html) const;

    QString errorString() const { return m_error; }

private:
    QString dataUrl(const QString &reference) const;
    QString inlineStyle(const QString &reference) const;

    QString m_templatesDir;
    QPointer<traxo::TraxoParser> m_parser;
    QString m_error;
};

#endif
