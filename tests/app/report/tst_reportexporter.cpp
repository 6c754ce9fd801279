#include "report/reportdocument.h"
#include "report/reportexporter.h"

#include "testcommon.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_ReportExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void selfContained_data();
    void selfContained();
    void documentExportsAreUtf8();

private:
    QTemporaryDir m_templates;
};

// A templates folder with a stylesheet and a one-pixel PNG (its bytes are
// the smallest PNG a QImage writes; only the data: URL's prefix is checked).
void tst_ReportExporter::initTestCase()
{
    QVERIFY(m_templates.isValid());
    QVERIFY(QDir(m_templates.path()).mkpath("assets"));
    QVERIFY(testcommon::writeFile(m_templates.filePath("assets/a.css"), "h1 { color: #c60; }\n"));
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(Qt::red);
    QVERIFY(pixel.save(m_templates.filePath("assets/dot.png")));
}

void tst_ReportExporter::selfContained_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    QTest::addRow("stylesheet link becomes a style element")
        << "<head><link rel=\"stylesheet\" type=\"text/css\" href=\"template://assets/a.css\"></head>"
        << "<head><style>\nh1 { color: #c60; }\n</style></head>";
    QTest::addRow("missing stylesheet is dropped") << "<link rel=\"stylesheet\" href=\"template://assets/none.css\">x"
                                                   << "x";
    QTest::addRow("missing image keeps an empty source") << "<img src=\"template://assets/none.png\" alt=\"\">"
                                                         << "<img src=\"\" alt=\"\">";
    QTest::addRow("embedded file without a container") << "<img src=\"traxotag://3\">"
                                                       << "<img src=\"\">";
    QTest::addRow("other links stay") << "<a href=\"#file:1:2\">f</a><a href=\"https://example.org/\">e</a>"
                                      << "<a href=\"#file:1:2\">f</a><a href=\"https://example.org/\">e</a>";
}

void tst_ReportExporter::selfContained()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    ReportExporter exporter;
    exporter.setResources(m_templates.path(), nullptr);
    QCOMPARE(exporter.selfContained(html), expected);
}

// The document's HTML names its images as the template wrote them; the export
// must carry them, and every export must be the UTF-8 its HTML declares.
void tst_ReportExporter::documentExportsAreUtf8()
{
    const QString title = QStringLiteral("ä → 測試 · x");
    ReportDocument document;
    document.setTemplatesDir(m_templates.path());
    document.setHtml(QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><h1>%1</h1>"
                                    "<img src=\"template://assets/dot.png\"></body></html>")
                         .arg(title));
    ReportExporter exporter;
    exporter.setResources(m_templates.path(), nullptr);

    const QByteArray html = exporter.htmlBytes(document);
    QVERIFY(html.contains(title.toUtf8()));
    QVERIFY(html.contains("charset=utf-8") || html.contains("charset=\"utf-8\""));
    QVERIFY(!html.contains("template://"));
    QVERIFY(html.contains("src=\"data:image/png;base64,"));
    QCOMPARE(exporter.plainTextBytes(document).trimmed(), title.toUtf8());
    QVERIFY(exporter.rawHtmlBytes(title).contains(title.toUtf8()));
}

QTEST_MAIN(tst_ReportExporter)
#include "tst_reportexporter.moc"
