#include "viewer/outlinetree.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <memory>

// Renders a tree as text, one item per line, indented by depth:
// "label [type id]".
static QString describe(const QTreeWidgetItem *item, int depth = 0)
{
    QString text = QString(depth * 2, QLatin1Char(' ')) + item->text(0)
        + QStringLiteral(" [%1 %2]\n").arg(item->data(0, TagTypeRole).toInt()).arg(item->data(0, TagIdRole).toInt());
    for (int i = 0; i < item->childCount(); ++i)
        text += describe(item->child(i), depth + 1);
    return text;
}

static bool sameIcon(const QIcon &icon, const QString &path)
{
    return !icon.isNull() && icon.pixmap(16, 16).toImage() == QIcon(path).pixmap(16, 16).toImage();
}

class tst_OutlineTree : public QObject
{
    Q_OBJECT

private slots:
    void splitPathParts_data();
    void splitPathParts();
    void lastPart_data();
    void lastPart();
    void pathValid_data();
    void pathValid();
    void outlineItemLabels_data();
    void outlineItemLabels();
    void prefixTable();
    void fileTrees_data();
    void fileTrees();
    void notEmbeddedFileKeepsItsId();
    void contextMenuIsShown();
};

void tst_OutlineTree::splitPathParts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("parts");
    QTest::addRow("relative unix path") << "data/raw/x.nii" << QStringList { "data/", "raw/", "x.nii" };
    QTest::addRow("windows path with drive") << "C:\\in\\a.txt" << QStringList { "C:\\", "in\\", "a.txt" };
    QTest::addRow("double slash stays with its part") << "a//b" << QStringList { "a//", "b" };
    QTest::addRow("empty path has no part") << "" << QStringList {};
    QTest::addRow("absolute path starts with the root") << "/etc/passwd" << QStringList { "/", "etc/", "passwd" };
    QTest::addRow("slashes and backslashes are separate runs") << "a\\/b" << QStringList { "a\\", "/", "b" };
    QTest::addRow("trailing separator ends the last part") << "dir/" << QStringList { "dir/" };
    QTest::addRow("bare name") << "name.txt" << QStringList { "name.txt" };
}

void tst_OutlineTree::splitPathParts()
{
    QFETCH(QString, path);
    QFETCH(QStringList, parts);
    QCOMPARE(splitPath(path), parts);
    QCOMPARE(splitPath(path).join(QString()), path);
}

void tst_OutlineTree::lastPart_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("last");
    QTest::addRow("file below directories") << "a/b/c.txt"
                                            << "c.txt";
    QTest::addRow("directory keeps its separator") << "a/b/"
                                                   << "b/";
    QTest::addRow("empty path") << ""
                                << "";
}

void tst_OutlineTree::lastPart()
{
    QFETCH(QString, path);
    QFETCH(QString, last);
    QCOMPARE(lastPartOfPath(path), last);
}

void tst_OutlineTree::pathValid_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("valid");
    QTest::addRow("drive prefix becomes a name") << "C:\\data\\x"
                                                 << "C_\\data\\x";
    QTest::addRow("only the first part changes") << "a:b/c:d"
                                                 << "a_b/c:d";
    QTest::addRow("plain path unchanged") << "x/y"
                                          << "x/y";
    QTest::addRow("empty path") << ""
                                << "";
}

void tst_OutlineTree::pathValid()
{
    QFETCH(QString, path);
    QFETCH(QString, valid);
    QCOMPARE(makePathValid(path), valid);
}

void tst_OutlineTree::outlineItemLabels_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("embeddedIcon");
    QTest::addRow("untitled section") << "" << int(TagSection) << 2 << "<no title>" << false;
    QTest::addRow("unnamed file") << "" << int(TagFile) << 4 << "<no filename>" << true;
    QTest::addRow("unnamed directory stays empty") << "" << int(TagDirectory) << -1 << "" << false;
    QTest::addRow("embedded file") << "a.txt" << int(TagFile) << 0 << "a.txt" << true;
    QTest::addRow("file without marker") << "a.txt" << int(TagFile) << -1 << "a.txt" << false;
}

void tst_OutlineTree::outlineItemLabels()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(int, id);
    QFETCH(QString, label);
    QFETCH(bool, embeddedIcon);
    std::unique_ptr<QTreeWidgetItem> item(makeOutlineItem(text, TagType(type), id, QStringLiteral("anchor")));
    QCOMPARE(item->text(0), label);
    QCOMPARE(item->data(0, TagTypeRole).toInt(), type);
    QCOMPARE(item->data(0, TagIdRole).toInt(), id);
    QCOMPARE(item->data(0, AnchorRole).toString(), QStringLiteral("anchor"));
    // The two icons are compiled in and differ, so each is recognised.
    QVERIFY(!sameIcon(QIcon(":/resources/embedded.png"), ":/resources/not-embedded.png"));
    QVERIFY(sameIcon(item->icon(0), embeddedIcon ? ":/resources/embedded.png" : ":/resources/not-embedded.png"));
}

void tst_OutlineTree::prefixTable()
{
    const QHash<QString, TagType> prefixes
        = prefixesFromFiles({ { "a/", "b" }, { "c" }, {}, { "a/" }, { "d/", "e" }, { "d/", "f/", "g" } });
    QCOMPARE(prefixes.size(), 3);
    // "a/" alone came last and so replaces the directory entry.
    QCOMPARE(prefixes.value("a/"), TagFile);
    QCOMPARE(prefixes.value("c"), TagFile);
    QCOMPARE(prefixes.value("d/"), TagDirectory);
}

void tst_OutlineTree::fileTrees_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("tree");
    QTest::addRow("common directory chain folds into one item")
        << QStringList { "x/y/b.txt", "x/y/a.txt" } << "x/y/ [3 -1]\n  a.txt [2 1]\n  b.txt [2 0]\n";
    QTest::addRow("file beside a directory under <files>")
        << QStringList { "b/c.txt", "a.txt" } << "<files> [3 -1]\n  a.txt [2 1]\n  b/ [3 -1]\n    c.txt [2 0]\n";
    QTest::addRow("single file under <files>") << QStringList { "a.txt" } << "<files> [3 -1]\n  a.txt [2 0]\n";
    QTest::addRow("same path twice keeps both files")
        << QStringList { "a.txt", "a.txt" } << "<files> [3 -1]\n  a.txt [2 0]\n  a.txt [2 1]\n";
    QTest::addRow("same path twice beside a third file")
        << QStringList { "a.txt", "b.txt", "a.txt" } << "<files> [3 -1]\n  a.txt [2 0]\n  a.txt [2 2]\n  b.txt [2 1]\n";
    QTest::addRow("siblings sorted ignoring case") << QStringList { "Zeta.txt", "alpha.txt",
        "Beta.txt" } << "<files> [3 -1]\n  alpha.txt [2 1]\n  Beta.txt [2 2]\n  Zeta.txt [2 0]\n";
    QTest::addRow("nested directory folds below a sibling") << QStringList { "top.txt",
        "d/e/f/g.txt" } << "<files> [3 -1]\n  d/e/f/ [3 -1]\n    g.txt [2 1]\n  top.txt [2 0]\n";
    QTest::addRow("empty path shows no filename") << QStringList { "" } << "<files> [3 -1]\n  <no filename> [2 0]\n";
    QTest::addRow("directory without a name shows no filename")
        << QStringList { "dir/" } << "dir/ [3 -1]\n  <no filename> [2 0]\n";
    QTest::addRow("windows paths") << QStringList { "C:\\in\\a.txt", "C:\\in\\b.txt" }
                                   << "C:\\in\\ [3 -1]\n  a.txt [2 0]\n  b.txt [2 1]\n";
}

void tst_OutlineTree::fileTrees()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, tree);
    QList<FileData> files;
    for (int i = 0; i < paths.size(); ++i)
        files.append(FileData { paths.at(i), i, QStringLiteral("file:0:%1").arg(i) });
    std::unique_ptr<QTreeWidgetItem> root(treeFromFileList(files));
    QCOMPARE(describe(root.get()), tree);
}

void tst_OutlineTree::notEmbeddedFileKeepsItsId()
{
    std::unique_ptr<QTreeWidgetItem> root(
        treeFromFileList({ FileData { "out.txt", -1, "file:0:0" }, FileData { "in.txt", 3, "file:0:1" } }));
    QCOMPARE(root->childCount(), 2);
    QTreeWidgetItem *out = root->child(1);
    QCOMPARE(out->text(0), QStringLiteral("out.txt"));
    QCOMPARE(out->data(0, TagIdRole).toInt(), -1);
    QCOMPARE(out->data(0, AnchorRole).toString(), QStringLiteral("file:0:0"));
    QVERIFY(sameIcon(out->icon(0), ":/resources/not-embedded.png"));
    QVERIFY(sameIcon(root->child(0)->icon(0), ":/resources/embedded.png"));
    QCOMPARE(root->child(0)->data(0, TagIdRole).toInt(), 3);
}

void tst_OutlineTree::contextMenuIsShown()
{
    OutlineTree tree;
    QMenu menu;
    menu.addAction(QStringLiteral("Extract..."));
    tree.setContextMenu(&menu);
    QCOMPARE(tree.contextMenu(), &menu);
    tree.show();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), tree.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(tree.viewport(), &event);
    QVERIFY(event.isAccepted());
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
}

QTEST_MAIN(tst_OutlineTree)
#include "tst_outlinetree.moc"
