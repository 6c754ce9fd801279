#include "shared/lookaheadchecker.h"

#include <QAtomicInt>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

namespace {

QStringList numberedFiles(int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files.append(QString::number(i));
    return files;
}

} // namespace

class tst_LookAheadChecker : public QObject
{
    Q_OBJECT

private slots:
    void verdictsComeInFileOrder_data();
    void verdictsComeInFileOrder();
    void stoppingChecksNoMoreThanTheWindow();
};

void tst_LookAheadChecker::verdictsComeInFileOrder_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("window");

    QTest::addRow("no files") << 0 << 2 << 8;
    QTest::addRow("one thread, window of one") << 20 << 1 << 1;
    QTest::addRow("more threads than files") << 3 << 8 << 8;
    QTest::addRow("window smaller than threads") << 60 << 4 << 2;
    QTest::addRow("many files") << 400 << 3 << 16;
}

// Checks take random times, so later files often finish first; the
// verdicts must still arrive once each, in list order, and end cleanly.
void tst_LookAheadChecker::verdictsComeInFileOrder()
{
    QFETCH(int, files);
    QFETCH(int, threads);
    QFETCH(int, window);

    QAtomicInt checks;
    LookAheadChecker checker(
        [&checks](const QString &fileName) {
            checks.fetchAndAddRelaxed(1);
            QThread::usleep(QRandomGenerator::global()->bounded(300));
            EvaluationResult result;
            result.fileName = fileName;
            result.matched = fileName.toInt() % 3 == 0;
            return result;
        },
        threads, window);
    // Listed in two parts, as a walk hands over folder after folder.
    const QStringList names = numberedFiles(files);
    checker.addFiles(names.mid(0, files / 3));
    QThread::usleep(200);
    checker.addFiles(names.mid(files / 3));
    checker.finishListing();
    for (int i = 0; i < files; ++i) {
        const EvaluationResult result = checker.takeNext();
        QCOMPARE(result.fileName, QString::number(i));
        QCOMPARE(result.matched, i % 3 == 0);
    }
    QVERIFY(checker.takeNext().fileName.isEmpty());
    QCOMPARE(checks.loadRelaxed(), files);
}

// A search the user stops must not go on reading the tree: the workers stay
// within the window and end after their current file.
void tst_LookAheadChecker::stoppingChecksNoMoreThanTheWindow()
{
    const int window = 10;
    QAtomicInt checks;
    {
        LookAheadChecker checker(
            [&checks](const QString &fileName) {
                checks.fetchAndAddRelaxed(1);
                QThread::usleep(50);
                EvaluationResult result;
                result.fileName = fileName;
                return result;
            },
            2, window);
        checker.addFiles(numberedFiles(10000));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(checker.takeNext().fileName, QString::number(i));
        QThread::msleep(50);
    }
    QVERIFY2(checks.loadRelaxed() <= 5 + window, qPrintable(QString::number(checks.loadRelaxed())));
}

QTEST_GUILESS_MAIN(tst_LookAheadChecker)
#include "tst_lookaheadchecker.moc"
