#include "container/fileiterator.h"

#include "testcommon.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace traxo;

namespace {

// The lines of bytes as the iterator must cut them: each with its line feed,
// the last one possibly without.
QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype lineFeed = bytes.indexOf('\n', start);
        const qsizetype end = lineFeed < 0 ? bytes.size() : lineFeed + 1;
        lines << bytes.mid(start, end - start);
        start = end;
    }
    return lines;
}

QByteArray linesOfLength(const QList<int> &lengths)
{
    QByteArray bytes;
    char fill = 'a';
    for (const int length : lengths) {
        bytes += QByteArray(length - 1, fill) + '\n';
        fill = fill == 'z' ? 'a' : char(fill + 1);
    }
    return bytes;
}

} // namespace

class tst_FileIterator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void walksBothWays_data();
    void walksBothWays();
    void cursorSitsBetweenLines();
    void oneLineFile();
    void gotoPos_data();
    void gotoPos();
    void stringsAndNulls();
    void overlongLineIsCut();
    void closedIteratorIsInert();
    void opensRegularFilesOnly_data();
    void opensRegularFilesOnly();
    void getBytesLeavesTheCursor();
    void jumpsBetweenWindows();
    void wholeFileOnlyWhenAllIsRead_data();
    void wholeFileOnlyWhenAllIsRead();

private:
    QString write(const QByteArray &bytes);
    QTemporaryDir m_dir;
    int m_count = 0;
};

void tst_FileIterator::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_FileIterator::write(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("f%1").arg(++m_count));
    return testcommon::writeFile(path, bytes) ? path : QString();
}

void tst_FileIterator::walksBothWays_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const int buffer = FileIterator::BufferSize;
    QTest::addRow("short lines") << QByteArray("a\nbb\nccc\n");
    QTest::addRow("last line without line feed") << QByteArray("a\nbb\nccc");
    QTest::addRow("empty lines") << QByteArray("\n\n\nx\n\n");
    QTest::addRow("single line feed") << QByteArray("\n");
    QTest::addRow("single byte") << QByteArray("x");
    QTest::addRow("line ending exactly at the buffer end") << linesOfLength({ buffer, 5, buffer, 7 });
    QTest::addRow("line feed as first byte of the second buffer") << linesOfLength({ buffer + 1, 3 });
    QTest::addRow("line spanning three buffers") << linesOfLength({ 10, 3 * buffer + 17, 4 });
    QTest::addRow("file without line feed over several buffers") << QByteArray(2 * buffer + 3, 'q');
    QTest::addRow("many lines around buffer borders") << linesOfLength(QList<int>(3000, 11));
}

void tst_FileIterator::walksBothWays()
{
    QFETCH(QByteArray, bytes);
    const QList<QByteArray> expected = splitLines(bytes);

    FileIterator iterator;
    QVERIFY(iterator.open(write(bytes)));
    QCOMPARE(iterator.getFileSize(), bytes.size());

    QList<QByteArray> forwards;
    QList<int> starts;
    for (bool ok = iterator.firstLine(); ok; ok = iterator.nextLine()) {
        forwards << *iterator.curLine();
        starts << iterator.curPos();
    }
    QCOMPARE(forwards, expected);
    QVERIFY(iterator.reachedEnd());
    for (int i = 0; i < starts.size(); ++i)
        QCOMPARE(bytes.mid(starts.at(i), expected.at(i).size()), expected.at(i));

    QList<QByteArray> backwards;
    for (bool ok = iterator.lastLine(); ok; ok = iterator.prevLine()) {
        backwards.prepend(*iterator.curLine());
        QCOMPARE(iterator.curPos(), starts.at(starts.size() - backwards.size()));
    }
    QCOMPARE(backwards, expected);
    QVERIFY(iterator.reachedStart());
    QCOMPARE(iterator.curPos(), 0);
}

void tst_FileIterator::cursorSitsBetweenLines()
{
    FileIterator iterator;
    QVERIFY(iterator.open(write("one\ntwo\nthree\n")));
    QCOMPARE(*iterator.curLine(), QByteArray("one\n")); // open reads the first line
    QVERIFY(iterator.nextLine());
    QCOMPARE(*iterator.curLine(), QByteArray("two\n"));
    QVERIFY(iterator.prevLine());
    QCOMPARE(*iterator.curLine(), QByteArray("two\n"));
    QVERIFY(iterator.prevLine());
    QCOMPARE(*iterator.curLine(), QByteArray("one\n"));
    QVERIFY(iterator.nextLine());
    QCOMPARE(*iterator.curLine(), QByteArray("one\n"));
    QVERIFY(iterator.nextLine());
    QVERIFY(iterator.nextLine());
    QCOMPARE(*iterator.curLine(), QByteArray("three\n"));
    QVERIFY(!iterator.nextLine());
    QCOMPARE(iterator.curPos(), 14);
}

void tst_FileIterator::oneLineFile()
{
    FileIterator iterator;
    QVERIFY(iterator.open(write("only line\n")));
    QVERIFY(iterator.firstLine());
    QVERIFY(iterator.prevLine());
    QCOMPARE(*iterator.curLine(), QByteArray("only line\n"));
    QVERIFY(!iterator.prevLine());
    QCOMPARE(iterator.curPos(), 0);
}

void tst_FileIterator::gotoPos_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("line");

    const int buffer = FileIterator::BufferSize;
    QTest::addRow("line start") << 0 << true << QByteArray(9, 'a') + '\n';
    QTest::addRow("inside a line") << 4 << true << QByteArray(5, 'a') + '\n';
    QTest::addRow("on a line feed") << 9 << true << QByteArray("\n");
    QTest::addRow("far into the file") << 3 * buffer + 3 << true << QByteArray(6, 'a') + '\n';
    QTest::addRow("last byte") << 4 * buffer - 1 << true << QByteArray("\n");
    QTest::addRow("file size") << 4 * buffer << false << QByteArray();
    QTest::addRow("negative") << -1 << false << QByteArray();
}

void tst_FileIterator::gotoPos()
{
    QFETCH(int, pos);
    QFETCH(bool, ok);
    QFETCH(QByteArray, line);

    FileIterator iterator;
    // Lines of nine "a" and a line feed, over four buffers.
    QByteArray bytes;
    for (int i = 0; i < 4 * FileIterator::BufferSize / 10; ++i)
        bytes += "aaaaaaaaa\n";
    QVERIFY(iterator.open(write(bytes)));
    QCOMPARE(iterator.gotoPos(pos), ok);
    if (!ok)
        return;
    QCOMPARE(iterator.curPos(), pos);
    QCOMPARE(*iterator.curLine(), line);
    // The next line starts right after the line read.
    if (iterator.nextLine())
        QCOMPARE(iterator.curPos(), pos + line.size());
}

void tst_FileIterator::stringsAndNulls()
{
    FileIterator iterator;
    QVERIFY(iterator.open(write(QByteArray("gr\xc3\xbc\xc3\x9f\n", 7) + QByteArray("a\0b\n", 4))));
    QCOMPARE(*iterator.curLineAsString(), QStringLiteral("grüß\n"));
    QVERIFY(iterator.curLineStartsWithBytes("gr"));
    QVERIFY(!iterator.curLineStartsWithBytes("x"));
    QVERIFY(iterator.nextLine());
    QVERIFY(FileIterator::containsNulls(*iterator.curLine()));
    QVERIFY(iterator.curLineAsString().isNull());
    QVERIFY(!iterator.onLine());
}

void tst_FileIterator::overlongLineIsCut()
{
    // A line longer than the cap is cut to its start, but the cursor still
    // moves over the whole line in both directions.
    const QByteArray longLine = "start" + QByteArray(FileIterator::MaxLineLength + 100, 'x') + '\n';
    const QByteArray bytes = "first\n" + longLine + "last\n";
    FileIterator iterator;
    QVERIFY(iterator.open(write(bytes)));
    QVERIFY(iterator.nextLine());
    QCOMPARE(iterator.curLine()->size(), FileIterator::MaxLineLength);
    QVERIFY(iterator.curLineStartsWithBytes("startxxx"));
    QCOMPARE(iterator.curLineEnd(), 6 + longLine.size());
    QVERIFY(iterator.nextLine());
    QCOMPARE(*iterator.curLine(), QByteArray("last\n"));
    QVERIFY(iterator.prevLine());
    QVERIFY(iterator.prevLine());
    QCOMPARE(iterator.curPos(), 6);
    QVERIFY(iterator.curLineStartsWithBytes("startxxx"));
    QVERIFY(iterator.prevLine());
    QCOMPARE(*iterator.curLine(), QByteArray("first\n"));
}

void tst_FileIterator::closedIteratorIsInert()
{
    FileIterator iterator;
    QVERIFY(!iterator.open(m_dir.filePath(QStringLiteral("missing"))));
    QVERIFY(iterator.empty());
    QCOMPARE(iterator.getFileSize(), 0);
    QVERIFY(!iterator.firstLine());
    QVERIFY(!iterator.lastLine());
    QVERIFY(!iterator.nextLine());
    QVERIFY(!iterator.prevLine());
    QVERIFY(!iterator.gotoPos(0));
    QVERIFY(iterator.curLine().isNull());
    QVERIFY(iterator.curLineAsString().isNull());
    QVERIFY(iterator.getBytes(0, 0).isEmpty());

    QVERIFY(iterator.open(write(QByteArray())));
    QVERIFY(iterator.empty());
    QVERIFY(!iterator.firstLine());
    QVERIFY(!iterator.lastLine());
    QVERIFY(iterator.curLine());
    QVERIFY(iterator.curLine()->isEmpty());
}

void tst_FileIterator::opensRegularFilesOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");

    QTest::addRow("a regular file") << "plain" << true;
    QTest::addRow("a link to it") << "link" << true;
    QTest::addRow("a directory") << "dir" << false;
    QTest::addRow("a named pipe, without waiting for a writer") << "pipe" << false;
    // Neither tells its size by reading short: one reads nothing, the other
    // fills every read.
    QTest::addRow("a device that reads empty") << "/dev/null" << false;
    QTest::addRow("a device that never ends") << "/dev/zero" << false;
    // Handed to the system as is, the NUL would cut the path to "plain".
    QTest::addRow("a name with a NUL after a file's name") << QStringLiteral("plain%1x").arg(QChar(0)) << false;
    QTest::addRow("an empty name") << "" << false;
}

void tst_FileIterator::opensRegularFilesOnly()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(testcommon::writeFile(dir.filePath("plain"), "one\n"));
    QVERIFY(QFile::link(dir.filePath("plain"), dir.filePath("link")));
    QVERIFY(QDir(dir.path()).mkdir("dir"));
#ifdef Q_OS_UNIX
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
#endif
    FileIterator iterator;
    const QString path = name.isEmpty() || name.startsWith('/') ? name : dir.path() + '/' + name;
    QCOMPARE(iterator.open(path), opens);
    QCOMPARE(iterator.isOpen(), opens);
    QCOMPARE(iterator.line(), opens ? QByteArray("one\n") : QByteArray());
    iterator.closeFile();
    QVERIFY(!iterator.isOpen());
}

void tst_FileIterator::getBytesLeavesTheCursor()
{
    FileIterator iterator;
    QVERIFY(iterator.open(write("one\ntwo\nthree\n")));
    QCOMPARE(iterator.getBytes(8, 5), QByteArray("three"));
    QCOMPARE(iterator.getBytes(0, 14), QByteArray("one\ntwo\nthree\n"));
    QVERIFY(iterator.getBytes(0, 15).isEmpty());
    QVERIFY(iterator.nextLine());
    QCOMPARE(*iterator.curLine(), QByteArray("two\n"));
}

// Opening a container reads its head, its tail and its head again: whichever
// of the two kept windows answers, every line and range is the file's own.
void tst_FileIterator::jumpsBetweenWindows()
{
    const int buffer = FileIterator::BufferSize;
    const QByteArray bytes = linesOfLength({ 40, 3 * buffer, 25, buffer / 2, 300, 12 });
    FileIterator iterator;
    QVERIFY(iterator.open(write(bytes)));
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        // Mostly near either end, where the windows lie, sometimes between.
        const int end = int(bytes.size());
        const int where = int(random.bounded(3));
        const int pos = where == 0 ? int(random.bounded(100))
            : where == 1           ? end - 1 - int(random.bounded(buffer + 50))
                                   : int(random.bounded(end));
        if (random.bounded(2)) {
            QVERIFY(iterator.gotoPos(pos));
            const qsizetype lineFeed = bytes.indexOf('\n', pos);
            QCOMPARE(iterator.line(), bytes.mid(pos, lineFeed < 0 ? -1 : lineFeed - pos + 1));
        } else {
            const int length = int(random.bounded(qMin(end - pos, 2 * buffer) + 1));
            QCOMPARE(iterator.getBytes(pos, length), bytes.mid(pos, length));
        }
        if (i % 97 == 0) {
            QVERIFY(iterator.lastLine());
            QCOMPARE(iterator.line(), QByteArray(11, bytes.at(end - 2)) + '\n');
        }
    }
}

// A search rules containers out by these bytes: part of a file must never
// pass for all of it.
void tst_FileIterator::wholeFileOnlyWhenAllIsRead_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("whole");

    QTest::addRow("one byte") << 1 << true;
    QTest::addRow("one byte less than the window") << FileIterator::BufferSize - 1 << true;
    QTest::addRow("exactly the window") << FileIterator::BufferSize << true;
    QTest::addRow("one byte more than the window") << FileIterator::BufferSize + 1 << false;
}

void tst_FileIterator::wholeFileOnlyWhenAllIsRead()
{
    QFETCH(int, size);
    QFETCH(bool, whole);

    const QByteArray bytes = QByteArray("line\n").repeated(size / 5 + 1).left(size);
    FileIterator iterator;
    QVERIFY(iterator.open(write(bytes)));
    QCOMPARE(iterator.getFileSize(), size);
    QCOMPARE(iterator.wholeFile().toByteArray(), whole ? bytes : QByteArray());
    // Walking to the end moves the window of a large file; a small one
    // stays whole.
    QVERIFY(iterator.lastLine());
    QCOMPARE(iterator.wholeFile().toByteArray(), whole ? bytes : QByteArray());
    iterator.closeFile();
    QVERIFY(iterator.wholeFile().isEmpty());
}

QTEST_GUILESS_MAIN(tst_FileIterator)
#include "tst_fileiterator.moc"
