#include "container/containerlock.h"

#include "testcommon.h"

#include <QtTest>

using namespace traxo;

// Contention between writers is tested with real processes in
// tests/tools/tst_traxoadd.cpp: record locks never conflict within one process.
class tst_ContainerLock : public QObject
{
    Q_OBJECT

private slots:
    void recoverUndoesWhatAKilledWriterLeft_data();
    void recoverUndoesWhatAKilledWriterLeft();
    void unfinishedJournalKeepsTheLockFile();
};

void tst_ContainerLock::recoverUndoesWhatAKilledWriterLeft_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<qint64>("expectedSize");
    QTest::addColumn<bool>("temporaryKept");

    QTest::addRow("unfinished append is cut back") << QByteArray("length 40\n") << qint64(40) << true;
    QTest::addRow("unfinished new container is removed") << QByteArray("temporary %T\n") << qint64(100) << false;
    QTest::addRow("both at once") << QByteArray("length 7\ntemporary %T\n") << qint64(7) << false;
    QTest::addRow("nothing to undo") << QByteArray() << qint64(100) << true;
    QTest::addRow("length beyond the file changes nothing") << QByteArray("length 400\n") << qint64(100) << true;
}

void tst_ContainerLock::recoverUndoesWhatAKilledWriterLeft()
{
    QFETCH(QByteArray, journal);
    QFETCH(qint64, expectedSize);
    QFETCH(bool, temporaryKept);
    QTemporaryDir dir;
    const QString container = dir.filePath("c.traxo");
    const QString temporary = dir.filePath(".c.traxo.traxoadd-new");
    QVERIFY(testcommon::writeFile(container, QByteArray(100, 'x')));
    QVERIFY(testcommon::writeFile(temporary, "half"));
    QVERIFY(testcommon::writeFile(
        ContainerLock::lockPathFor(container), journal.replace("%T", QFile::encodeName(temporary))));

    ContainerLock lock(container);
    QVERIFY(lock.acquire(1000));
    QVERIFY2(lock.recover(), qPrintable(lock.errorString()));
    QCOMPARE(QFileInfo(container).size(), expectedSize);
    QCOMPARE(QFile::exists(temporary), temporaryKept);
    lock.release();
    QVERIFY(!QFile::exists(ContainerLock::lockPathFor(container)));
}

void tst_ContainerLock::unfinishedJournalKeepsTheLockFile()
{
    QTemporaryDir dir;
    const QString container = dir.filePath("c.traxo");
    QVERIFY(testcommon::writeFile(container, "old"));
    {
        ContainerLock lock(container);
        QVERIFY(lock.acquire(1000));
        QVERIFY(lock.beginAppend(3));
    }
    // The next writer finds the journal and cuts back.
    QCOMPARE(testcommon::readFile(ContainerLock::lockPathFor(container)), QByteArray("length 3\n"));
    QVERIFY(testcommon::writeFile(container, "old and torn"));
    ContainerLock next(container);
    QVERIFY(next.acquire(1000));
    QVERIFY(next.recover());
    QCOMPARE(testcommon::readFile(container), QByteArray("old"));
}

QTEST_GUILESS_MAIN(tst_ContainerLock)
#include "tst_containerlock.moc"
