#include "viewer/provenanceexportdialog.h"

#include "containerbuilder.h"
#include "messageboxanswerer.h"
#include "summary/summarywriter.h"
#include "testcommon.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class tst_ProvenanceExportDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportsBesideTheContainer_data();
    void exportsBesideTheContainer();
    void tellsWhyNothingWasWritten_data();
    void tellsWhyNothingWasWritten();

private:
    QTemporaryDir m_dir;
    QString m_container;
};

void tst_ProvenanceExportDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    traxo::Summary summary;
    summary.Title = QStringLiteral("Acquisition");
    summary.Tool = QStringLiteral("acquire");
    traxo::FileSummary output;
    output.Filename = QStringLiteral("scan.dat");
    output.FilePurpose = QStringLiteral("OutFile");
    summary.files.append(output);
    m_container = m_dir.filePath("run.traxo");
    QVERIFY(testcommon::buildContainer(m_container,
        { testcommon::containerSection("Acquisition", {}, traxo::SummaryWriter::writeSummaryUtf8(summary)) }));
}

void tst_ProvenanceExportDialog::exportsBesideTheContainer_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("written"); // the file whose text is checked
    QTest::addColumn<QByteArray>("begins");

    QTest::addRow("PROV-JSON") << 0 << "run.prov.json"
                               << "run.prov.json" << QByteArray("{");
    QTest::addRow("PROV-N") << 1 << "run.provn"
                            << "run.provn" << QByteArray("document\n");
    QTest::addRow("RO-Crate") << 2 << "run-crate"
                              << "run-crate/ro-crate-metadata.json" << QByteArray("{");
}

void tst_ProvenanceExportDialog::exportsBesideTheContainer()
{
    QFETCH(int, format);
    QFETCH(QString, output);
    QFETCH(QString, written);
    QFETCH(QByteArray, begins);

    ProvenanceExportDialog dialog(nullptr, m_container);
    dialog.m_formatCombo->setCurrentIndex(format);
    QCOMPARE(dialog.m_outputEdit->text(), m_dir.filePath(output));
    QVERIFY(dialog.exportNow());
    const QByteArray text = testcommon::readFile(m_dir.filePath(written));
    QVERIFY2(text.startsWith(begins), text.left(40).constData());
    QVERIFY(text.contains("Acquisition"));
}

void tst_ProvenanceExportDialog::tellsWhyNothingWasWritten_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("existing"); // a file in the way, kept as it was
    QTest::addColumn<QString>("message");

    QTest::addRow("replacing a file declined") << 0 << "kept.json"
                                               << "exists. Replace it?";
    QTest::addRow("crate folder holds other files") << 2 << "folder/kept.txt"
                                                    << "not an empty folder";
}

void tst_ProvenanceExportDialog::tellsWhyNothingWasWritten()
{
    QFETCH(int, format);
    QFETCH(QString, existing);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(existing);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(testcommon::writeFile(path, "kept"));

    ProvenanceExportDialog dialog(nullptr, m_container);
    dialog.m_formatCombo->setCurrentIndex(format);
    dialog.m_outputEdit->setText(format == 2 ? QFileInfo(path).path() : path);
    MessageBoxAnswerer answerer(QStringLiteral("No"));
    QVERIFY(!dialog.exportNow());
    QCOMPARE(answerer.texts.size(), 1);
    QVERIFY2(answerer.texts.first().contains(message), qPrintable(answerer.texts.first()));
    QCOMPARE(testcommon::readFile(path), QByteArray("kept"));
}

QTEST_MAIN(tst_ProvenanceExportDialog)
#include "tst_provenanceexportdialog.moc"
