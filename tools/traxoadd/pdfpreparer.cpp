#include "pdfpreparer.h"

#include "container/containermarkers.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace traxotools {

namespace {

bool open(QPDF &pdf, const QString &path, QString *error)
{
    try {
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
    } catch (const std::exception &e) {
        *error = QStringLiteral("PDF \"%1\" cannot be read: %2").arg(path, QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (pdf.isEncrypted()) {
        *error = QStringLiteral("PDF \"%1\" is encrypted; traxoadd does not add a history to encrypted PDFs").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool PdfPreparer::check(const QString &path, QString *error)
{
    QPDF pdf;
    if (!open(pdf, path, error))
        return false;
    try {
        // Reading every object now finds a damage that would stop the
        // rewrite later, before anything is written.
        pdf.getAllObjects();
        pdf.getRoot();
    } catch (const std::exception &e) {
        *error = QStringLiteral("PDF \"%1\" cannot be read: %2").arg(path, QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

bool PdfPreparer::rewrite(const QString &source, const QString &target, const DocumentInfo &info, QString *error)
{
    QPDF pdf;
    if (!open(pdf, source, error))
        return false;
    try {
        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle dictionary = trailer.getKey("/Info");
        const std::pair<const char *, QString> entries[]
            = { { "/Title", info.title }, { "/Author", info.author }, { "/Subject", info.subject },
                  { "/Keywords", info.keywords }, { "/Creator", info.creator }, { "/Producer", info.producer } };
        for (const auto &[key, value] : entries) {
            if (value.isEmpty())
                continue;
            if (!dictionary.isDictionary()) {
                dictionary = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
                trailer.replaceKey("/Info", dictionary);
            }
            dictionary.replaceKey(key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
        }
        QPDFWriter writer(pdf, QFile::encodeName(target).constData());
        writer.setExtraHeaderText(std::string(traxo::TRAXO_HEADER_LINE) + '\n');
        writer.write();
    } catch (const std::exception &e) {
        *error = QStringLiteral("PDF \"%1\" cannot be rewritten: %2").arg(source, QString::fromLocal8Bit(e.what()));
        QFile::remove(target);
        return false;
    }
    return true;
}

} // namespace traxotools
