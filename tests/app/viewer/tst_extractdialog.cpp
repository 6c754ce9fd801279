#include "viewer/extractdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class tst_ExtractDialog : public QObject
{
    Q_OBJECT

private slots:
    void masks_data();
    void masks();
    void adjustFilenameDigits_data();
    void adjustFilenameDigits();
    void adjustListNumbersFromZero();
    void maskValidity_data();
    void maskValidity();
    void titleCountsFiles_data();
    void titleCountsFiles();
    void missingDirectoryDisablesExtract();
    void startsWithDefaults();

private:
    QTemporaryDir m_dir;
};

void tst_ExtractDialog::masks_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("result");
    QTest::addRow("padded number and name") << "%*d-%f"
                                            << "a b.txt" << 3 << 2 << "03-a b.txt";
    QTest::addRow("padded number and name without blanks") << "%*d-%*f"
                                                           << "a b.txt" << 3 << 2 << "03-a_b.txt";
    QTest::addRow("fixed width five") << "%5d_x"
                                      << "n" << 7 << 1 << "00007_x";
    QTest::addRow("plain number") << "%d.dat"
                                  << "n" << 12 << 3 << "12.dat";
    QTest::addRow("double percent writes one") << "100%%_%f"
                                               << "a" << 1 << 1 << "100%_a";
    QTest::addRow("lone percent is invalid") << "100%"
                                             << "a" << 1 << 1 << "";
    QTest::addRow("unknown placeholder is invalid") << "%x"
                                                    << "a" << 1 << 1 << "";
    QTest::addRow("empty mask gives nothing") << ""
                                              << "a" << 1 << 1 << "";
    QTest::addRow("text only") << "fixed"
                               << "a" << 1 << 1 << "fixed";
    QTest::addRow("number wider than the padding") << "%2d"
                                                   << "a" << 123 << 1 << "123";
    QTest::addRow("huge padding is bounded") << "%999999999d"
                                             << "a" << 1 << 1 << QString(254, '0') + "1";
}

void tst_ExtractDialog::masks()
{
    QFETCH(QString, mask);
    QFETCH(QString, filename);
    QFETCH(int, number);
    QFETCH(int, digits);
    QFETCH(QString, result);
    ExtractDialog dialog(nullptr, m_dir.path(), 1);
    QCOMPARE(dialog.replacePlaceholders(mask, filename, number, digits), result);
}

void tst_ExtractDialog::adjustFilenameDigits_data()
{
    QTest::addColumn<int>("numFiles");
    QTest::addColumn<QString>("third");
    QTest::addRow("nine files take one digit") << 9 << "3-f";
    QTest::addRow("ten files take two digits") << 10 << "03-f";
    QTest::addRow("twelve files take two digits") << 12 << "03-f";
    QTest::addRow("ninety-nine files take two digits") << 99 << "03-f";
    QTest::addRow("a hundred files take three digits") << 100 << "003-f";
}

void tst_ExtractDialog::adjustFilenameDigits()
{
    QFETCH(int, numFiles);
    QFETCH(QString, third);
    ExtractDialog dialog(nullptr, m_dir.path(), numFiles);
    QCOMPARE(dialog.adjustFilename("f", numFiles, 3), QStringLiteral("f"));
    dialog.setAdjustFilenamesActive(1);
    QCOMPARE(dialog.adjustFilename("f", numFiles, 3), third);
    dialog.m_filenameMaskEdit->clear();
    QCOMPARE(dialog.adjustFilename("f", numFiles, 3), QStringLiteral("f"));
}

void tst_ExtractDialog::adjustListNumbersFromZero()
{
    ExtractDialog dialog(nullptr, m_dir.path(), 3);
    dialog.setAdjustFilenamesActive(1);
    dialog.m_filenameMaskEdit->setText("%d_%f");
    QCOMPARE(dialog.adjustFilenames({ "a", "b", "c" }), (QStringList { "0_a", "1_b", "2_c" }));
}

void tst_ExtractDialog::maskValidity_data()
{
    QTest::addColumn<bool>("adjust");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("valid");
    QTest::addRow("default mask") << true << "%*d-%f" << true;
    QTest::addRow("trailing percent") << true << "100%" << false;
    QTest::addRow("empty mask while adjusting") << true << "" << false;
    QTest::addRow("empty mask ignored without adjusting") << false << "" << true;
    QTest::addRow("bad mask ignored without adjusting") << false << "100%" << true;
}

void tst_ExtractDialog::maskValidity()
{
    QFETCH(bool, adjust);
    QFETCH(QString, mask);
    QFETCH(bool, valid);
    ExtractDialog dialog(nullptr, m_dir.path(), 2);
    dialog.m_adjustNamesCheck->setChecked(adjust);
    dialog.m_filenameMaskEdit->setText(mask);
    QCOMPARE(dialog.filenameMaskValid(), valid);
    QCOMPARE(dialog.m_extractButton->isEnabled(), valid);
    QCOMPARE(dialog.m_filenameMaskEdit->isEnabled(), adjust);
    QCOMPARE(dialog.m_errorLabel->text().contains("The entered filemask is not valid"), !valid);
}

void tst_ExtractDialog::titleCountsFiles_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("title");
    QTest::addRow("one file") << 1 << "Extract 1 File...";
    QTest::addRow("four files") << 4 << "Extract 4 Files...";
    QTest::addRow("no file") << 0 << "Extract 0 Files...";
}

void tst_ExtractDialog::titleCountsFiles()
{
    QFETCH(int, count);
    QFETCH(QString, title);
    ExtractDialog dialog(nullptr, m_dir.path(), count);
    QCOMPARE(dialog.windowTitle(), title);
}

void tst_ExtractDialog::missingDirectoryDisablesExtract()
{
    ExtractDialog dialog(nullptr, m_dir.path(), 2);
    QVERIFY(dialog.m_extractButton->isEnabled());
    QVERIFY(dialog.m_errorLabel->text().isEmpty());
    dialog.m_extractDirectoryEdit->setText(m_dir.filePath("does-not-exist"));
    QVERIFY(!dialog.directoryValid());
    QVERIFY(!dialog.m_extractButton->isEnabled());
    QVERIFY(dialog.m_errorLabel->text().contains("The selected directory does not exist"));
    // Both wrong: the mask message is the one shown.
    dialog.m_adjustNamesCheck->setChecked(true);
    dialog.m_filenameMaskEdit->setText("%");
    QVERIFY(dialog.m_errorLabel->text().contains("The entered filemask is not valid"));
    dialog.m_extractDirectoryEdit->setText(m_dir.path());
    dialog.m_filenameMaskEdit->setText("%f");
    QVERIFY(dialog.m_extractButton->isEnabled());
}

void tst_ExtractDialog::startsWithDefaults()
{
    ExtractDialog dialog(nullptr, ".", 2);
    QCOMPARE(dialog.getDirectory(), QDir::currentPath());
    QVERIFY(!dialog.getAskBeforeOverwrite());
    QVERIFY(!dialog.getValidateFiles());
    QVERIFY(!dialog.m_adjustNamesCheck->isChecked());
    QCOMPARE(dialog.m_filenameMaskEdit->text(), QStringLiteral("%*d-%f"));
    QCOMPARE(dialog.m_filenameMaskEdit->toolTip(), ExtractDialog::legend());
    QVERIFY(ExtractDialog::legend().contains("<b>%%</b> - a % sign <br />\n"));
}

QTEST_MAIN(tst_ExtractDialog)
#include "tst_extractdialog.moc"
