#include "shared/reportexporter.h"

#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QTextDocument>

QString ReportExporter::exportName(const QString &filename, const QStringList &suffixes, const QString &append)
{
    for (const QString &suffix : suffixes) {
        if (filename.endsWith(suffix))
            return filename;
    }
    return filename + append;
}

bool ReportExporter::checkWritable(const QString &filename)
{
    QFile probe(filename);
    const bool existed = probe.exists();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = QStringLiteral("*** ERROR: file could not be opened for writing.");
        return false;
    }
    probe.close();
    if (!existed)
        probe.remove();
    return true;
}

bool ReportExporter::writePdf(QTextDocument *document, const QString &filename)
{
    {
        // The writer reports no failure of its own: a target that cannot be
        // written would only show as an empty file.
        QPdfWriter writer(filename);
        writer.setResolution(1200);
        document->print(&writer);
    }
    if (QFileInfo(filename).size() > 0)
        return true;
    m_error = QStringLiteral("*** ERROR: file could not be written completely.");
    return false;
}

bool ReportExporter::writeHtml(const QTextDocument &document, const QString &filename)
{
    return writeBytes(filename, document.toHtml().toLatin1());
}

bool ReportExporter::writeRawHtml(const QString &html, const QString &filename)
{
    return writeBytes(filename, html.toLatin1());
}

bool ReportExporter::writePlainText(const QTextDocument &document, const QString &filename)
{
    return writeBytes(filename, document.toPlainText().toLatin1());
}

bool ReportExporter::writeBytes(const QString &filename, const QByteArray &bytes)
{
    QFile file(filename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("*** ERROR: file could not be opened for writing.");
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        m_error = QStringLiteral("*** ERROR: file could not be written completely.");
        return false;
    }
    return true;
}
