#ifndef TRAXO_PROVENANCEEXPORTER_H
#define TRAXO_PROVENANCEEXPORTER_H

#include "logging/logsource.h"
#include "provenance/provenancemodel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace traxo {

class TraxoParser;

// Exports a container's history for the provenance ecosystem: W3C PROV as
// PROV-JSON or PROV-N, or an RO-Crate folder with the embedded files
// extracted beside its metadata. The command line and the viewer both use
// it, so the two always write the same thing. Failures return false, are
// logged (level 2) and leave their reason in errorString().
class ProvenanceExporter : public LogSource
{
    Q_OBJECT

public:
    enum Format { ProvJson, ProvN, RoCrate };

    explicit ProvenanceExporter(QObject *sink = nullptr);
    ~ProvenanceExporter() override;

    // "prov-json", "prov-n", "ro-crate", in this order.
    static QStringList formatNames();
    static QString formatName(Format format);
    static bool formatFromName(const QString &name, Format *format);
    // Beside the container: "x.prov.json", "x.provn" or the folder "x-crate".
    static QString defaultOutput(const QString &container, Format format);

    // Reads the history; false when the file is no container.
    bool open(const QString &container);
    const ProvenanceModel &model() const { return m_model; }

    // The PROV-JSON or PROV-N text (UTF-8); empty for RoCrate.
    QByteArray text(Format format) const;
    // Writes a text format to a file (replaced only once complete) or an
    // RO-Crate into a folder that is new or empty.
    bool exportTo(Format format, const QString &output);

    QString errorString() const { return m_errorString; }

private:
    bool writeText(Format format, const QString &path);
    bool writeCrate(const QString &folder);
    bool extract(const ProvenanceModel::File &file, const QString &folder, const QString &relativePath);
    bool fail(const QString &message);

    std::unique_ptr<TraxoParser> m_parser;
    ProvenanceModel m_model;
    QString m_errorString;
};

} // namespace traxo

#endif
