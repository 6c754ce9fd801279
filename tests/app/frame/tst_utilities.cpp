#include "frame/traxobench.h"
#include "frame/utilities.h"

#include <QApplication>
#include <QProcess>
#include <QtTest>

class tst_Utilities : public QObject
{
    Q_OBJECT

private slots:
    void escapeHtml_data();
    void escapeHtml();
    void colourHelpers_data();
    void colourHelpers();
    void monthNames_data();
    void monthNames();
    void dayNames_data();
    void dayNames();
    void dateTimeText_data();
    void dateTimeText();
    void identityTexts();
    void computerNameIsTheHostnameOnce();
    void settingsIdentityFollowsTheHost();
    void elidedLabel_data();
    void elidedLabel();
    void elidedLabelFollowsItsWidth();
    void toolTipBecomesWhatsThis();
    void waitCursorLastsAsLongAsTheObject();
};

void tst_Utilities::escapeHtml_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");

    QTest::addRow("all five at once") << "a<b & \"c\"\n"
                                      << "a&lt;b &amp; &quot;c&quot;<br />";
    QTest::addRow("entity text is escaped once") << "&lt;"
                                                 << "&amp;lt;";
    QTest::addRow("plain text unchanged") << "plain"
                                          << "plain";
    QTest::addRow("empty") << QString() << QString();
    QTest::addRow("single quote kept") << "it's"
                                       << "it's";
    QTest::addRow("two line feeds") << "a\n\nb"
                                    << "a<br /><br />b";
}

void tst_Utilities::escapeHtml()
{
    QFETCH(QString, text);
    QFETCH(QString, html);
    QCOMPARE(::escapeHtml(text), html);
}

void tst_Utilities::colourHelpers_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<QString>("html");

    QTest::addRow("red") << "red"
                         << "<font color=\"#EB0014\">x &lt; y</font>";
    QTest::addRow("orange") << "orange"
                            << "<font color=\"#FEBF1C\">x &lt; y</font>";
    QTest::addRow("bold") << "bold"
                          << "<b>x &lt; y</b>";
}

void tst_Utilities::colourHelpers()
{
    QFETCH(QString, helper);
    QFETCH(QString, html);
    const QString text = QStringLiteral("x < y");
    const QString result = helper == "red" ? makeRed(text) : helper == "orange" ? makeOrange(text) : makeBold(text);
    QCOMPARE(result, html);
}

void tst_Utilities::monthNames_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<QString>("name");
    QTest::addRow("zero") << 0 << "???";
    QTest::addRow("January") << 1 << "Jan";
    QTest::addRow("June") << 6 << "Jun";
    QTest::addRow("December") << 12 << "Dec";
    QTest::addRow("thirteen") << 13 << "???";
    QTest::addRow("negative") << -1 << "???";
}

void tst_Utilities::monthNames()
{
    QFETCH(int, month);
    QFETCH(QString, name);
    QCOMPARE(getMonthStr(month), name);
}

void tst_Utilities::dayNames_data()
{
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("name");
    QTest::addRow("Sunday as zero") << 0 << "Son";
    QTest::addRow("Monday") << 1 << "Mon";
    QTest::addRow("Saturday") << 6 << "Sat";
    QTest::addRow("Sunday as seven") << 7 << "Son";
    QTest::addRow("eight") << 8 << "???";
    QTest::addRow("negative") << -1 << "???";
}

void tst_Utilities::dayNames()
{
    QFETCH(int, day);
    QFETCH(QString, name);
    QCOMPARE(getDayStr(day), name);
}

void tst_Utilities::dateTimeText_data()
{
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<bool>("withComma");
    QTest::addColumn<QString>("text");

    const QDateTime release(QDate(2013, 6, 21), QTime(14, 5, 9));
    QTest::addRow("without comma") << release << false << "Jun 21 2013 14:05:09";
    QTest::addRow("with comma") << release << true << "Jun 21 2013, 14:05:09";
    QTest::addRow("single digits padded")
        << QDateTime(QDate(2001, 1, 2), QTime(3, 4, 5)) << false << "Jan 02 2001 03:04:05";
}

void tst_Utilities::dateTimeText()
{
    QFETCH(QDateTime, dateTime);
    QFETCH(bool, withComma);
    QFETCH(QString, text);
    QCOMPARE(getDateTimeAsString(dateTime, withComma), text);
}

void tst_Utilities::identityTexts()
{
    QCOMPARE(TRAXOBENCH_NAME_VERSION, QStringLiteral("TRAXObench 1.83.0.2990"));
    QCOMPARE(TRAXOBENCH_FULLNAME, QStringLiteral("TRAXObench 1.83.0.2990, Jun 21 2013"));
    QCOMPARE(TRAXOBENCH_ORGANIZATION, QStringLiteral("Pelmix"));
    QVERIFY(TRAXOBENCH_DOMAIN.endsWith(QStringLiteral("example.org")));
    QVERIFY(TRAXOBENCH_EMAIL.endsWith(QStringLiteral("@example.org")));

    setOrganizationInfo();
    QCOMPARE(QCoreApplication::applicationName(), TRAXOBENCH_FULLNAME);
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Pelmix"));
    QVERIFY(!QApplication::windowIcon().isNull());
}

void tst_Utilities::computerNameIsTheHostnameOnce()
{
    QProcess hostname;
    hostname.start(QStringLiteral("hostname"), QStringList());
    QVERIFY(hostname.waitForFinished(30000));
    const QString expected = QString::fromLocal8Bit(hostname.readAllStandardOutput()).trimmed();
    QVERIFY(!expected.isEmpty());

    QCOMPARE(getComputerName(), expected);
    // Cached: a thousand settings accesses must not start a thousand processes.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(getComputerName(), expected);
    QVERIFY2(timer.elapsed() < 2000, "getComputerName starts a process per call");
}

void tst_Utilities::settingsIdentityFollowsTheHost()
{
    VSettings::overrideComputerName(QStringLiteral("alpha"));
    QCOMPARE(VSettings::getOrganization(), QStringLiteral("Pelmix"));
    QCOMPARE(VSettings::getApplication(), QStringLiteral("traxo.alpha"));
    VSettings::overrideComputerName(QString());
    QCOMPARE(VSettings::getApplication(), QStringLiteral("traxo.") + getComputerName());
}

void tst_Utilities::elidedLabel_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("elided");

    QTest::addRow("short text fits, no tool tip") << "abc" << 400 << false;
    QTest::addRow("long path is shortened in the middle")
        << "/very/long/path/to/a/container/with/many/folders/and/a/long/name.traxo" << 80 << true;
    QTest::addRow("empty text") << QString() << 10 << false;
}

void tst_Utilities::elidedLabel()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(bool, elided);

    ElidedLabel label;
    label.resize(width, 20);
    label.setText(text);
    QCOMPARE(label.fullText(), text);
    if (elided) {
        QVERIFY(label.text() != text);
        QVERIFY(label.text().contains(QChar(0x2026)));
        QVERIFY(label.text().startsWith(text.left(1)));
        QVERIFY(label.text().endsWith(text.right(1)));
        QCOMPARE(label.toolTip(), text);
    } else {
        QCOMPARE(label.text(), text);
        QCOMPARE(label.toolTip(), QString());
    }
}

void tst_Utilities::elidedLabelFollowsItsWidth()
{
    const QString text = QStringLiteral("/a/rather/long/path/that/does/not/fit/into/a/narrow/label.pdf");
    ElidedLabel label(text);
    label.resize(60, 20);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QCOMPARE(label.toolTip(), text);
    label.resize(2000, 20);
    QTRY_COMPARE(label.text(), text);
    QCOMPARE(label.toolTip(), QString());
    QVERIFY(label.sizeHint().width() >= label.fontMetrics().horizontalAdvance(text));
}

void tst_Utilities::toolTipBecomesWhatsThis()
{
    QWidget widget;
    widget.setToolTip(QStringLiteral("Opens a container"));
    toolTip2WhatsThis(&widget);
    QCOMPARE(widget.whatsThis(), QStringLiteral("Opens a container"));
    toolTip2WhatsThis(nullptr);
}

void tst_Utilities::waitCursorLastsAsLongAsTheObject()
{
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    {
        VWaitCursor outer;
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            VWaitCursor inner;
        }
        QVERIFY(QApplication::overrideCursor());
    }
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(tst_Utilities)
#include "tst_utilities.moc"
