#ifndef TRAXO_REPORTDOCUMENT_H
#define TRAXO_REPORTDOCUMENT_H

#include <QPointer>
#include <QTextDocument>

namespace traxo {
class TraxoParser;
}

// A rendered history without a window. Images named "traxotag://<id>" are the
// embedded files of the container; "template://<path>" reaches files beside
// the templates. The viewer's pane resolves the same names through the
// static helpers, so a rendering looks alike on screen and in an export.
class ReportDocument : public QTextDocument
{
    Q_OBJECT
public:
    explicit ReportDocument(QObject *parent = nullptr);

    void setParser(traxo::TraxoParser *parser);
    // Where "template://" names are looked up; the installed templates by
    // default.
    void setTemplatesDir(const QString &directory) { m_templatesDir = directory; }

    // The id after "traxotag://", or -1 when the prefix or the number is missing.
    static int getIDFromUrl(const QUrl &url);
    static bool isTagUrl(const QUrl &url);
    // The local file a "template://" url names below templatesDir, or an
    // empty url for any other scheme.
    static QUrl templateFileUrl(const QUrl &url, const QString &templatesDir);
    // The stored bytes of the embedded file a "traxotag://" url names; null
    // when the id is unknown.
    static QSharedPointer<QByteArray> embeddedContent(traxo::TraxoParser *parser, const QUrl &url);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QPointer<traxo::TraxoParser> m_parser;
    QString m_templatesDir;
};

#endif
