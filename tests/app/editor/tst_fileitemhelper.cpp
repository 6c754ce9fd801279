#include "editor/fileitemhelper.h"

#include "argfile/argfile.h"
#include "argfile/wsfile.h"

#include <QListWidget>
#include <QtTest>

// Rows and model files stay paired by position, through growth and removal.
class tst_FileItemHelper : public QObject
{
    Q_OBJECT

private slots:
    void rowsShowTheirFiles();
    void pairsSurviveGrowth();
    void removeKeepsLaterRowsPaired_data();
    void removeKeepsLaterRowsPaired();
    void selection();
    void rowWithoutFile();
};

namespace {

traxo::WSFile makeFile(const QString &path, bool input)
{
    traxo::WSFile file;
    file.setFilenameAndPath(path);
    file.setInputFile(input);
    return file;
}

} // namespace

void tst_FileItemHelper::rowsShowTheirFiles()
{
    QListWidget list;
    traxo::ArgFile model;
    FileItemHelper helper(&list, &model);
    QListWidgetItem *in = helper.addFile(makeFile("/data/in.nii", true));
    QListWidgetItem *out = helper.addFile(makeFile("/data/out.nii", false));
    QCOMPARE(model.numFiles(), 2);
    QCOMPARE(in->text(), QStringLiteral("[Input File] /data/in.nii"));
    QCOMPARE(out->text(), QStringLiteral("[Output File] /data/out.nii"));
    QCOMPARE(in->data(Qt::UserRole + 7).toInt(), 0);

    helper.getFile(out)->setInputFile(true);
    helper.updateItem(out);
    QCOMPARE(out->text(), QStringLiteral("[Input File] /data/out.nii"));
}

void tst_FileItemHelper::pairsSurviveGrowth()
{
    // The model's list reallocates as it grows; rows must still find their file.
    QListWidget list;
    traxo::ArgFile model;
    FileItemHelper helper(&list, &model);
    QListWidgetItem *first = helper.addFile(makeFile("/data/first.nii", true));
    for (int i = 0; i < 200; ++i)
        helper.addFile(makeFile(QStringLiteral("/data/f%1.nii").arg(i), false));
    QCOMPARE(helper.getFile(first)->filename(), QStringLiteral("/data/first.nii"));
    QCOMPARE(helper.getFile(list.item(150))->filename(), QStringLiteral("/data/f149.nii"));
}

void tst_FileItemHelper::removeKeepsLaterRowsPaired_data()
{
    QTest::addColumn<int>("removed");
    QTest::addRow("remove the first") << 0;
    QTest::addRow("remove the middle") << 1;
    QTest::addRow("remove the last") << 2;
}

void tst_FileItemHelper::removeKeepsLaterRowsPaired()
{
    QFETCH(int, removed);
    QListWidget list;
    traxo::ArgFile model;
    FileItemHelper helper(&list, &model);
    QStringList names { "/d/a.txt", "/d/b.txt", "/d/c.txt" };
    for (const QString &name : names)
        helper.addFile(makeFile(name, true));
    helper.removeFile(list.item(removed));
    names.removeAt(removed);
    QCOMPARE(list.count(), 2);
    QCOMPARE(model.numFiles(), 2);
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(helper.getFile(list.item(row))->filename(), names.at(row));
        QCOMPARE(model.getFile(row)->filename(), names.at(row));
    }
}

void tst_FileItemHelper::selection()
{
    QListWidget list;
    traxo::ArgFile model;
    FileItemHelper helper(&list, &model);
    QCOMPARE(helper.getSelectedIndex(), -1);
    QVERIFY(!helper.getSelectedFile());
    QCOMPARE(helper.getSelectedFilename(), QString());

    helper.addFile(makeFile("/d/a.txt", true));
    QListWidgetItem *second = helper.addFile(makeFile("/d/b.txt", false));
    helper.setSelectedItem(second);
    QCOMPARE(helper.getSelectedItem(), second);
    QCOMPARE(helper.getSelectedIndex(), 1);
    QCOMPARE(helper.getSelectedFilename(), QStringLiteral("/d/b.txt"));
    QVERIFY(second->isSelected());

    helper.clearSelections();
    QVERIFY(!helper.getSelectedItem());
    QVERIFY(list.selectedItems().isEmpty());

    helper.setSelectedItem(second);
    helper.removeFile(second);
    QVERIFY(!helper.getSelectedFile());
}

void tst_FileItemHelper::rowWithoutFile()
{
    QListWidget list;
    traxo::ArgFile model;
    FileItemHelper helper(&list, &model);
    auto *stray = new QListWidgetItem(QStringLiteral("not a file"), &list);
    QVERIFY(!helper.getFile(stray));
    QVERIFY(!helper.getFile(nullptr));
    helper.setUpNewPair(stray, 5);
    QVERIFY(!helper.getFile(stray));
}

QTEST_MAIN(tst_FileItemHelper)
#include "tst_fileitemhelper.moc"
