#ifndef TRAXO_PDFPREPARER_H
#define TRAXO_PDFPREPARER_H

#include <QString>

namespace traxotools {

// Gives an ordinary PDF the container header line, so that it can carry a
// history: the PDF is read and written again once through qpdf, which puts
// the header line as a comment near the top and keeps every object reachable
// (adding the line by hand would shift every byte offset). The document
// properties given with -d go into its information dictionary on the way.
// The original is only read; the caller renames the result over it.
class PdfPreparer
{
public:
    struct DocumentInfo
    {
        QString title;
        QString author;
        QString subject;
        QString keywords;
        QString creator;
        QString producer;
    };

    // False, with the reason, for a PDF that qpdf cannot read or that is
    // encrypted (rewriting it would drop or break its encryption).
    static bool check(const QString &path, QString *error);
    // Writes the PDF at source to target (which must not exist).
    static bool rewrite(const QString &source, const QString &target, const DocumentInfo &info, QString *error);
};

} // namespace traxotools

#endif
