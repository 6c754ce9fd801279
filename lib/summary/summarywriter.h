#ifndef TRAXO_SUMMARYWRITER_H
#define TRAXO_SUMMARYWRITER_H

#include "summary/summary.h"

#include <QByteArray>
#include <QString>

namespace traxo {

// Writes a Summary as the text of "ws_summary.xml": a trxchange document with
// an XML declaration that SummaryReader reads back into the same step, files
// and user attributes. "&", "<" and ">" in texts become entities so that the
// document stays well-formed; the reader keeps entities as written, so such
// texts come back escaped. Ids (TagID) and the validity flag are not part of
// the document.
class SummaryWriter
{
public:
    static QString writeSummary(const Summary &summary);
    // The same document encoded as UTF-8, as it is stored in a container.
    static QByteArray writeSummaryUtf8(const Summary &summary);

    static QString escape(const QString &text);
};

} // namespace traxo

#endif
