#include "container/extractionpaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace traxo;

class tst_ExtractionPaths : public QObject
{
    Q_OBJECT

private slots:
    void fileNames_data();
    void fileNames();
    void directories_data();
    void directories();
    void linksAreNotEntered();
};

void tst_ExtractionPaths::fileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    QTest::addRow("plain name") << "a.txt"
                                << "a.txt";
    QTest::addRow("parent steps removed") << "../../etc/passwd"
                                          << "passwd";
    QTest::addRow("absolute path") << "/etc/passwd"
                                   << "passwd";
    QTest::addRow("windows drive path") << "C:\\Windows\\win.ini"
                                        << "win.ini";
    QTest::addRow("drive-relative name") << "C:evil"
                                         << "C_evil";
    QTest::addRow("backslashes") << "..\\..\\x"
                                 << "x";
    QTest::addRow("embedded NUL") << QString("a") + QChar(0) + "b"
                                  << "ab";
    QTest::addRow("empty name") << ""
                                << "unnamed";
    QTest::addRow("only dots") << ".."
                               << "_..";
    QTest::addRow("single dot") << "."
                                << "_.";
    QTest::addRow("trailing separator") << "dir/"
                                        << "dir";
    QTest::addRow("only separators") << "///"
                                     << "unnamed";
    QTest::addRow("hidden file kept") << ".profile"
                                      << ".profile";
}

void tst_ExtractionPaths::fileNames()
{
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QCOMPARE(safeFileName(name), safe);
}

void tst_ExtractionPaths::directories_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("safe");
    QTest::addRow("relative directory") << "raw/sub/"
                                        << "raw/sub";
    QTest::addRow("parent steps neutralised") << "../../x/"
                                              << "_../_../x";
    QTest::addRow("absolute root dropped") << "/etc/"
                                           << "etc";
    QTest::addRow("drive becomes a name") << "C:\\data\\"
                                          << "C_/data";
    QTest::addRow("current directory dropped") << "./a/./b"
                                               << "a/b";
    QTest::addRow("empty") << ""
                           << "";
    QTest::addRow("NUL removed") << QString("a") + QChar(0) + "/b"
                                 << "a/b";
}

void tst_ExtractionPaths::directories()
{
    QFETCH(QString, path);
    QFETCH(QString, safe);
    QCOMPARE(safeRelativeDirectory(path), safe);
    QVERIFY(!QDir::cleanPath("root/" + safe).split(QLatin1Char('/')).contains(".."));
}

void tst_ExtractionPaths::linksAreNotEntered()
{
    QTemporaryDir root;
    QTemporaryDir outside;
    QVERIFY(QDir(root.path()).mkpath("real/deeper"));
    QVERIFY(QFile::link(outside.path(), root.filePath("link")));
    QVERIFY(staysInside(root.path(), "real/deeper/new"));
    QVERIFY(staysInside(root.path(), ""));
    QVERIFY(!staysInside(root.path(), "link"));
    QVERIFY(!staysInside(root.path(), "link/below"));
    QVERIFY(!staysInside(root.path(), "real/../.."));
}

QTEST_GUILESS_MAIN(tst_ExtractionPaths)
#include "tst_extractionpaths.moc"
