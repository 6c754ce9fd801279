#include "frame/findbar.h"
#include "frame/findedit.h"
#include "frame/findtextbrowser.h"
#include "frame/searchhighlighter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

struct Selection
{
    int start;
    int end;
};

Selection selectionOf(const FindTextBrowser &pane)
{
    const QTextCursor cursor = pane.textBrowser()->textCursor();
    return { cursor.selectionStart(), cursor.selectionEnd() };
}

// The first block with '#' for each highlighted character, '.' for others.
QString highlightMask(const FindTextBrowser &pane)
{
    const QTextBlock block = pane.textBrowser()->document()->firstBlock();
    QString mask(block.length() - 1, QLatin1Char('.'));
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (range.format.background().color() == QColor(Qt::darkMagenta)
            && range.format.foreground().color() == QColor(Qt::white))
            mask.replace(range.start, range.length, QString(range.length, QLatin1Char('#')));
    }
    return mask;
}

} // namespace

class tst_FindTextBrowser : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void barStartsHiddenWithItsControls();
    void returnWrapsAround();
    void shiftReturnSearchesBackwards();
    void typingRefinesTheCurrentMatch();
    void caseSensitivity_data();
    void caseSensitivity();
    void missingTextCollapsesTheSelection();
    void highlighting_data();
    void highlighting();
    void escapeHidesAndReturnsFocus();
    void findShortcutNeedsActivation();
    void replacingTheBrowser();
    void focusRoutingPicksThePaneWithFocus();

private:
    QWidget *m_window = nullptr;
    FindTextBrowser *m_pane = nullptr;
    FindEdit *edit() const { return m_pane->findBar()->findEdit(); }
};

void tst_FindTextBrowser::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_pane = new FindTextBrowser(m_window, nullptr);
    layout->addWidget(m_pane);
    m_pane->textBrowser()->setPlainText(QStringLiteral("xabyab"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void tst_FindTextBrowser::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void tst_FindTextBrowser::barStartsHiddenWithItsControls()
{
    FindBar *bar = m_pane->findBar();
    QVERIFY(bar->isHidden());
    const QStringList names = { "close", "previous", "next" };
    const QStringList fallbackTexts = { "X", "<", ">" };
    for (int i = 0; i < names.size(); ++i) {
        const QToolButton *button = bar->findChild<QToolButton *>(names.at(i));
        QVERIFY(button);
        QCOMPARE(button->text(), fallbackTexts.at(i));
    }
    QCOMPARE(bar->findChild<QCheckBox *>()->text(), QStringLiteral("Case sensitive"));
    QVERIFY(!bar->caseSensitive());
}

void tst_FindTextBrowser::returnWrapsAround()
{
    m_pane->showFindBar();
    QVERIFY(m_pane->findBar()->isVisible());
    QTest::keyClicks(edit(), QStringLiteral("ab"));
    QCOMPARE(selectionOf(*m_pane).start, 1);

    QTest::keyClick(edit(), Qt::Key_Return);
    QCOMPARE(selectionOf(*m_pane).start, 4);
    QCOMPARE(selectionOf(*m_pane).end, 6);
    QTest::keyClick(edit(), Qt::Key_Return);
    QCOMPARE(selectionOf(*m_pane).start, 1);
    QCOMPARE(selectionOf(*m_pane).end, 3);
}

void tst_FindTextBrowser::shiftReturnSearchesBackwards()
{
    m_pane->showFindBar();
    QTest::keyClicks(edit(), QStringLiteral("ab"));
    QTest::keyClick(edit(), Qt::Key_Return);
    QCOMPARE(selectionOf(*m_pane).start, 4);

    QTest::keyClick(edit(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(selectionOf(*m_pane).start, 1);
    QTest::keyClick(edit(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(selectionOf(*m_pane).start, 4);
    QCOMPARE(edit()->text(), QStringLiteral("ab"));
}

void tst_FindTextBrowser::typingRefinesTheCurrentMatch()
{
    m_pane->textBrowser()->setPlainText(QStringLiteral("xa ab"));
    m_pane->showFindBar();
    QTest::keyClick(edit(), Qt::Key_A);
    QCOMPARE(selectionOf(*m_pane).start, 1);
    // "ab" no longer matches at 1: the search moves on to the next place.
    QTest::keyClick(edit(), Qt::Key_B);
    QCOMPARE(selectionOf(*m_pane).start, 3);

    m_pane->textBrowser()->setPlainText(QStringLiteral("yab ab"));
    edit()->clear();
    QTest::keyClick(edit(), Qt::Key_A);
    QTest::keyClick(edit(), Qt::Key_Return);
    QCOMPARE(selectionOf(*m_pane).start, 4);
    // Still matching at the current place: the selection stays there.
    QTest::keyClick(edit(), Qt::Key_B);
    QCOMPARE(selectionOf(*m_pane).start, 4);
    QCOMPARE(selectionOf(*m_pane).end, 6);
}

void tst_FindTextBrowser::caseSensitivity_data()
{
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<int>("start"); // -1: nothing selected

    QTest::addRow("unchecked finds other case") << false << 1;
    QTest::addRow("checked does not") << true << -1;
}

void tst_FindTextBrowser::caseSensitivity()
{
    QFETCH(bool, caseSensitive);
    QFETCH(int, start);
    m_pane->showFindBar();
    m_pane->findBar()->findChild<QCheckBox *>()->setChecked(caseSensitive);
    QTest::keyClicks(edit(), QStringLiteral("AB"));
    const QTextCursor cursor = m_pane->textBrowser()->textCursor();
    if (start < 0)
        QVERIFY(!cursor.hasSelection());
    else
        QCOMPARE(cursor.selectionStart(), start);
    QCOMPARE(m_pane->highlighter()->caseSensitive(), caseSensitive);
}

void tst_FindTextBrowser::missingTextCollapsesTheSelection()
{
    m_pane->showFindBar();
    QTest::keyClicks(edit(), QStringLiteral("ab"));
    QVERIFY(m_pane->textBrowser()->textCursor().hasSelection());
    QTest::keyClick(edit(), Qt::Key_Z);
    QVERIFY(!m_pane->textBrowser()->textCursor().hasSelection());
}

void tst_FindTextBrowser::highlighting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("mask");

    QTest::addRow("every occurrence") << "xabyab"
                                      << "ab" << false << ".##.##";
    QTest::addRow("without overlaps, left to right") << "aaaaa"
                                                     << "aa" << false << "####.";
    QTest::addRow("case folded") << "Ab ab"
                                 << "AB" << false << "##.##";
    QTest::addRow("case kept") << "Ab ab"
                               << "ab" << true << "...##";
    QTest::addRow("empty search text paints nothing") << "xabyab" << QString() << false << "......";
}

void tst_FindTextBrowser::highlighting()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, mask);

    m_pane->textBrowser()->setPlainText(text);
    m_pane->highlighter()->setCaseSensitive(caseSensitive);
    m_pane->highlighter()->setFindString(QStringLiteral("a"));
    m_pane->highlighter()->setFindString(search);
    QCOMPARE(highlightMask(*m_pane), mask);
}

void tst_FindTextBrowser::escapeHidesAndReturnsFocus()
{
    m_pane->showFindBar();
    QTRY_VERIFY(edit()->hasFocus());
    QSignalSpy hidden(m_pane->findBar(), &FindBar::findBarHidden);
    QTest::keyClick(edit(), Qt::Key_Escape);
    QVERIFY(m_pane->findBar()->isHidden());
    QCOMPARE(hidden.count(), 1);
    QTRY_VERIFY(m_pane->textBrowser()->hasFocus());
}

void tst_FindTextBrowser::findShortcutNeedsActivation()
{
    m_pane->textBrowser()->setFocus();
    QTRY_VERIFY(m_pane->textBrowser()->hasFocus());
    QTest::keySequence(m_window, QKeySequence::Find);
    QVERIFY(m_pane->findBar()->isHidden());

    m_pane->setShortcutsActive(true);
    QTest::keySequence(m_window, QKeySequence::Find);
    QVERIFY(m_pane->findBar()->isVisible());
}

void tst_FindTextBrowser::replacingTheBrowser()
{
    QPointer<QTextBrowser> old = m_pane->textBrowser();
    auto *replacement = new QTextBrowser;
    replacement->setPlainText(QStringLiteral("one ab"));
    m_pane->setTextBrowser(replacement);
    QVERIFY(old.isNull());
    QCOMPARE(m_pane->textBrowser(), replacement);
    QCOMPARE(m_pane->highlighter()->document(), replacement->document());

    m_pane->setHighlighterEnabled(false);
    QCOMPARE(m_pane->highlighter(), nullptr);
    m_pane->showFindBar();
    QTest::keyClicks(edit(), QStringLiteral("ab"));
    QCOMPARE(selectionOf(*m_pane).start, 4);
}

void tst_FindTextBrowser::focusRoutingPicksThePaneWithFocus()
{
    auto *second = new FindTextBrowser(m_window, nullptr);
    m_window->layout()->addWidget(second);
    second->show();
    second->textBrowser()->setFocus();
    QTRY_VERIFY(second->textBrowser()->hasFocus());
    QCOMPARE(FindTextBrowser::getBrowserWithFocus(m_pane), second);

    FindTextBrowser::showFindBarForActiveWidget(m_pane);
    QVERIFY(second->findBar()->isVisible());
    QVERIFY(m_pane->findBar()->isHidden());

    auto *outside = new QLineEdit(m_window);
    m_window->layout()->addWidget(outside);
    outside->show();
    outside->setFocus();
    QTRY_VERIFY(outside->hasFocus());
    QCOMPARE(FindTextBrowser::getBrowserWithFocus(m_pane), m_pane);
    QCOMPARE(FindTextBrowser::getBrowserWithFocus(nullptr), nullptr);
}

QTEST_MAIN(tst_FindTextBrowser)
#include "tst_findtextbrowser.moc"
