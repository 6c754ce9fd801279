#include "viewer/provenanceexportdialog.h"

#include "provenance/provenanceexporter.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

using traxo::ProvenanceExporter;

ProvenanceExportDialog::ProvenanceExportDialog(QWidget *parent, const QString &container)
    : QDialog(parent)
    , m_container(container)
{
    setWindowTitle(QStringLiteral("Export Provenance"));
    m_formatCombo = new QComboBox(this);
    m_formatCombo->setObjectName(QStringLiteral("m_formatCombo"));
    m_formatCombo->addItem(QStringLiteral("W3C PROV-JSON (.prov.json)"), ProvenanceExporter::ProvJson);
    m_formatCombo->addItem(QStringLiteral("W3C PROV-N (.provn)"), ProvenanceExporter::ProvN);
    m_formatCombo->addItem(QStringLiteral("RO-Crate folder with the embedded files"), ProvenanceExporter::RoCrate);
    m_outputEdit = new QLineEdit(this);
    m_outputEdit->setObjectName(QStringLiteral("m_outputEdit"));
    m_outputEdit->setMinimumWidth(420);
    m_browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    m_browseButton->setObjectName(QStringLiteral("m_browseButton"));

    auto *output = new QHBoxLayout;
    output->addWidget(m_outputEdit);
    output->addWidget(m_browseButton);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Format:"), m_formatCombo);
    form->addRow(QStringLiteral("Save to:"), output);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_formatCombo, &QComboBox::currentIndexChanged, this, &ProvenanceExportDialog::formatChanged);
    connect(m_browseButton, &QPushButton::clicked, this, &ProvenanceExportDialog::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &ProvenanceExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProvenanceExportDialog::reject);
    formatChanged();
}

void ProvenanceExportDialog::formatChanged()
{
    const auto format = ProvenanceExporter::Format(m_formatCombo->currentData().toInt());
    m_outputEdit->setText(ProvenanceExporter::defaultOutput(m_container, format));
}

void ProvenanceExportDialog::browse()
{
    const auto format = ProvenanceExporter::Format(m_formatCombo->currentData().toInt());
    const QString chosen = format == ProvenanceExporter::RoCrate
        ? QFileDialog::getExistingDirectory(
            this, QStringLiteral("RO-Crate folder (new or empty)"), QFileInfo(m_outputEdit->text()).path())
        : QFileDialog::getSaveFileName(this, QStringLiteral("Export Provenance"), m_outputEdit->text());
    if (!chosen.isEmpty())
        m_outputEdit->setText(chosen);
}

bool ProvenanceExportDialog::exportNow()
{
    const auto format = ProvenanceExporter::Format(m_formatCombo->currentData().toInt());
    const QString output = m_outputEdit->text().trimmed();
    if (output.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Please choose where to save the export."));
        return false;
    }
    if (format != ProvenanceExporter::RoCrate && QFileInfo::exists(output)
        && QMessageBox::question(this, windowTitle(), QStringLiteral("\"%1\" exists. Replace it?").arg(output))
            != QMessageBox::Yes)
        return false;

    ProvenanceExporter exporter(parent());
    if (!exporter.open(m_container) || !exporter.exportTo(format, output)) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The export failed: %1.").arg(exporter.errorString()));
        return false;
    }
    return true;
}

void ProvenanceExportDialog::accept()
{
    if (exportNow())
        QDialog::accept();
}
