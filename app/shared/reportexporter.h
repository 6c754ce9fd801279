#ifndef TRAXO_REPORTEXPORTER_H
#define TRAXO_REPORTEXPORTER_H

#include <QString>
#include <QStringList>

class QTextDocument;

// Writes a rendered history to a file: as PDF, as the document's HTML, as the
// template's own HTML ("raw") or as plain text. Used by the viewer's export
// actions and by the command line alike. A failure leaves its reason in
// errorString().
class ReportExporter
{
public:
    // filename unchanged when it ends with one of suffixes, else with append.
    static QString exportName(const QString &filename, const QStringList &suffixes, const QString &append);

    // True when filename can be written; leaves no file behind that was not
    // there before. Checked before a costly rendering.
    bool checkWritable(const QString &filename);

    bool writePdf(QTextDocument *document, const QString &filename);
    bool writeHtml(const QTextDocument &document, const QString &filename);
    bool writeRawHtml(const QString &html, const QString &filename);
    bool writePlainText(const QTextDocument &document, const QString &filename);
    bool writeBytes(const QString &filename, const QByteArray &bytes);

    QString errorString() const { return m_error; }

private:
    QString m_error;
};

#endif
