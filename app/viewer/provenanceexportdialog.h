#ifndef TRAXO_PROVENANCEEXPORTDIALOG_H
#define TRAXO_PROVENANCEEXPORTDIALOG_H

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

// Asks for a provenance format (PROV-JSON, PROV-N or an RO-Crate folder) and
// where to write it, then exports the container with the library's
// ProvenanceExporter; its messages go to the log slot of the parent window.
class ProvenanceExportDialog : public QDialog
{
    Q_OBJECT
public:
    ProvenanceExportDialog(QWidget *parent, const QString &container);

    // Exports with the current choices; false (after a message box saying
    // why) when nothing or not everything was written.
    bool exportNow();

public slots:
    void accept() override;

private:
    void formatChanged();
    void browse();

public:
    QComboBox *m_formatCombo = nullptr;
    QLineEdit *m_outputEdit = nullptr;
    QPushButton *m_browseButton = nullptr;

private:
    QString m_container;
};

#endif
