#include "viewer/traxobrowser.h"

#include "container/traxoparser.h"
#include "containerbuilder.h"
#include "shared/paths.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QWheelEvent>

class tst_TraxoBrowser : public QObject
{
    Q_OBJECT

private slots:
    void zoomClamps_data();
    void zoomClamps();
    void zoomChangesTheFont();
    void keysAndWheelZoom_data();
    void keysAndWheelZoom();
    void idsFromUrls_data();
    void idsFromUrls();
    void embeddedImagesLoad();
    void templateResourcesLoad();
    void findWrapsAndClears();
    void findDoesNothingWhileDisabled();
    void contextMenuIsShown();
};

void tst_TraxoBrowser::zoomClamps_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("amount");
    QTest::addColumn<int>("end");
    QTest::addRow("zoom in at the top changes nothing") << 3 << "in" << 1 << 3;
    QTest::addRow("zoom out at the bottom changes nothing") << -3 << "out" << 1 << -3;
    QTest::addRow("zoom out by five stops at minus three") << 0 << "out" << 5 << -3;
    QTest::addRow("zoom in by two") << 0 << "in" << 2 << 2;
    QTest::addRow("set seven stops at three") << 0 << "set" << 7 << 3;
    QTest::addRow("set minus one from two") << 2 << "set" << -1 << -1;
    QTest::addRow("set minus nine stops at minus three") << 1 << "set" << -9 << -3;
}

void tst_TraxoBrowser::zoomClamps()
{
    QFETCH(int, start);
    QFETCH(QString, operation);
    QFETCH(int, amount);
    QFETCH(int, end);
    TraxoBrowser browser;
    browser.setZoom(start);
    QCOMPARE(browser.zoom(), start);
    if (operation == "in")
        browser.zoomIn(amount);
    else if (operation == "out")
        browser.zoomOut(amount);
    else
        browser.setZoom(amount);
    QCOMPARE(browser.zoom(), end);
}

void tst_TraxoBrowser::zoomChangesTheFont()
{
    TraxoBrowser browser;
    QFont font = browser.font();
    font.setPointSize(12);
    browser.setFont(font);
    browser.zoomOut(5);
    // Exactly three steps of one point each.
    QCOMPARE(browser.font().pointSize(), 9);
    browser.setZoom(3);
    QCOMPARE(browser.font().pointSize(), 15);
    browser.zoomIn();
    QCOMPARE(browser.font().pointSize(), 15);
}

void tst_TraxoBrowser::keysAndWheelZoom_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("zoom");
    QTest::addRow("control plus zooms in") << "ctrl+" << 1;
    QTest::addRow("control minus zooms out") << "ctrl-" << -1;
    QTest::addRow("plus alone types nothing and keeps the zoom") << "+" << 0;
    QTest::addRow("control wheel away zooms out") << "wheel-away" << -1;
    QTest::addRow("control wheel towards zooms in") << "wheel-towards" << 1;
    QTest::addRow("plain wheel scrolls") << "wheel-plain" << 0;
}

void tst_TraxoBrowser::keysAndWheelZoom()
{
    QFETCH(QString, input);
    QFETCH(int, zoom);
    TraxoBrowser browser;
    if (input == "ctrl+") {
        QTest::keyClick(&browser, Qt::Key_Plus, Qt::ControlModifier);
    } else if (input == "ctrl-") {
        QTest::keyClick(&browser, Qt::Key_Minus, Qt::ControlModifier);
    } else if (input == "+") {
        QTest::keyClick(&browser, Qt::Key_Plus);
    } else {
        const int delta = input == "wheel-towards" ? -120 : 120;
        const Qt::KeyboardModifiers modifiers = input == "wheel-plain" ? Qt::NoModifier : Qt::ControlModifier;
        QWheelEvent event(QPointF(5, 5), browser.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
            modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(browser.viewport(), &event);
    }
    QCOMPARE(browser.zoom(), zoom);
}

void tst_TraxoBrowser::idsFromUrls_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("id");
    QTest::addRow("tag twelve") << "traxotag://12" << 12;
    QTest::addRow("tag zero") << "traxotag://0" << 0;
    QTest::addRow("not a number") << "traxotag://x" << -1;
    QTest::addRow("other scheme") << "http://12" << -1;
    QTest::addRow("nothing after the scheme") << "traxotag://" << -1;
}

void tst_TraxoBrowser::idsFromUrls()
{
    QFETCH(QString, url);
    QFETCH(int, id);
    QCOMPARE(TraxoBrowser::getIDFromUrl(QUrl(url)), id);
}

void tst_TraxoBrowser::embeddedImagesLoad()
{
    QTemporaryDir dir;
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "PNG"));

    const QString path = dir.filePath("images.traxo");
    QString error;
    QVERIFY2(testcommon::buildContainer(path,
                 { testcommon::containerSection("pictures",
                     { testcommon::embeddedFile("a.txt", "text"), testcommon::embeddedFile("red.png", png) }) },
                 QByteArray(), &error),
        qPrintable(error));
    traxo::TraxoParser parser;
    QVERIFY(parser.open(path));

    TraxoBrowser browser;
    QVERIFY(browser.loadResource(QTextDocument::ImageResource, QUrl("traxotag://1")).toByteArray().isEmpty());
    browser.setParser(&parser);
    QCOMPARE(browser.loadResource(QTextDocument::ImageResource, QUrl("traxotag://1")).toByteArray(), png);
    QCOMPARE(
        browser.loadResource(QTextDocument::ImageResource, QUrl("traxotag://0")).toByteArray(), QByteArray("text"));
    QVERIFY(browser.loadResource(QTextDocument::ImageResource, QUrl("traxotag://99")).toByteArray().isEmpty());
    QVERIFY(browser.loadResource(QTextDocument::ImageResource, QUrl("traxotag://x")).toByteArray().isEmpty());

    browser.setHtml("<p><img src=\"traxotag://1\"></p>");
    const QVariant shown = browser.document()->resource(QTextDocument::ImageResource, QUrl("traxotag://1"));
    QVERIFY(shown.isValid());
}

void tst_TraxoBrowser::templateResourcesLoad()
{
    const QStringList files = QDir(getTemplatesDir()).entryList(QDir::Files);
    if (files.isEmpty())
        QSKIP("no templates are staged beside the test program");
    QFile file(getTemplatesDir() + "/" + files.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    TraxoBrowser browser;
    const QVariant loaded
        = browser.loadResource(QTextDocument::StyleSheetResource, QUrl("template://" + files.first()));
    QCOMPARE(loaded.toByteArray(), file.readAll());
}

void tst_TraxoBrowser::findWrapsAndClears()
{
    TraxoBrowser browser;
    browser.setPlainText("alpha beta ALPHA gamma");
    browser.enableFind(true);
    QVERIFY(browser.styleSheet().contains("255, 210, 108"));
    browser.findStringChanged("alpha");
    QCOMPARE(browser.textCursor().selectionStart(), 0);
    browser.findNext();
    QCOMPARE(browser.textCursor().selectionStart(), 11);
    browser.findNext();
    QCOMPARE(browser.textCursor().selectionStart(), 0);
    browser.findPrev();
    QCOMPARE(browser.textCursor().selectionStart(), 11);
    // Typing more keeps the match in place.
    browser.findStringChanged("ALPHA ");
    QCOMPARE(browser.textCursor().selectionStart(), 11);
    browser.findStringChanged("delta");
    QVERIFY(!browser.textCursor().hasSelection());
    browser.enableFind(false);
    QVERIFY(browser.styleSheet().isEmpty());
}

void tst_TraxoBrowser::findDoesNothingWhileDisabled()
{
    TraxoBrowser browser;
    browser.setPlainText("alpha beta");
    browser.findStringChanged("beta");
    browser.findNext();
    QVERIFY(!browser.textCursor().hasSelection());
}

void tst_TraxoBrowser::contextMenuIsShown()
{
    TraxoBrowser browser;
    QMenu menu;
    menu.addAction("Find");
    browser.setContextMenu(&menu);
    browser.show();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), browser.mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(browser.viewport(), &event);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
}

QTEST_MAIN(tst_TraxoBrowser)
#include "tst_traxobrowser.moc"
