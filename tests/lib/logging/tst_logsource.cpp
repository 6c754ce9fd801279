#include "logging/logsource.h"
#include "logging/stopwatch.h"

#include <QtTest>

using namespace traxo;

namespace {

// Exposes the protected emitter so the test can speak as a library object.
class Speaker : public LogSource
{
public:
    using LogSource::LogSource;
    void say(const QString &text, int level) { emitLog(text, level); }
};

class OneArgReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
public slots:
    void log(const QString &message) { messages << message; }
};

class TwoArgReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList messages;
    QList<int> levels;
    int oneArgCalls = 0;
public slots:
    void log(const QString &message, int level)
    {
        messages << message;
        levels << level;
    }
    void log(const QString &) { ++oneArgCalls; }
};

} // namespace

class tst_LogSource : public QObject
{
    Q_OBJECT

private slots:
    void withoutSinkNothingIsDelivered();
    void receiverWithBothSlotsGetsOnlyTheLevelledOne();
    void oneArgumentReceiver();
    void chainingForwardsBothForms();
    void stopWatchReportsOnce();
    void stopWatchStartReportsPrevious_data();
    void stopWatchStartReportsPrevious();
    void stopWatchNeverStartedIsSilent();
};

void tst_LogSource::withoutSinkNothingIsDelivered()
{
    Speaker speaker;
    QSignalSpy spy(&speaker, qOverload<const QString &, int>(&LogSource::log));
    speaker.say("hello", LogWarning);
    QCOMPARE(spy.count(), 1); // emitted, only nobody is connected
    speaker.publishToLogSlot(nullptr);
    speaker.publishToLogSignal(nullptr);
}

void tst_LogSource::receiverWithBothSlotsGetsOnlyTheLevelledOne()
{
    TwoArgReceiver receiver;
    Speaker speaker(&receiver);
    speaker.say("disk full", LogError);
    QCOMPARE(receiver.messages, QStringList{"disk full"});
    QCOMPARE(receiver.levels, QList<int>{LogError});
    QCOMPARE(receiver.oneArgCalls, 0);
}

void tst_LogSource::oneArgumentReceiver()
{
    OneArgReceiver receiver;
    Speaker speaker;
    speaker.publishToLogSlot(&receiver);
    speaker.say("one", LogInfo);
    speaker.say("two", LogError);
    QCOMPARE(receiver.messages, (QStringList{"one", "two"}));
}

void tst_LogSource::chainingForwardsBothForms()
{
    Speaker inner;
    Speaker outer;
    inner.publishToLogSignal(&outer);
    OneArgReceiver plain;
    TwoArgReceiver levelled;
    outer.publishToLogSlot(&plain);
    outer.publishToLogSlot(&levelled);
    inner.say("from inside", LogWarning);
    QCOMPARE(plain.messages, QStringList{"from inside"});
    QCOMPARE(levelled.levels, QList<int>{LogWarning});
}

void tst_LogSource::stopWatchReportsOnce()
{
    OneArgReceiver receiver;
    StopWatch watch(&receiver);
    watch.start("parse");
    watch.stop();
    watch.stop();
    QCOMPARE(receiver.messages.size(), 1);
    QVERIFY2(QRegularExpression("^parse: \\d+\\.\\d\\ds\\n$").match(receiver.messages.first()).hasMatch(),
             qPrintable(receiver.messages.first()));
}

void tst_LogSource::stopWatchStartReportsPrevious_data()
{
    QTest::addColumn<bool>("discardPrevious");
    QTest::addColumn<int>("reports");
    QTest::addRow("restart reports the running measurement") << false << 2;
    QTest::addRow("restart discarding the running measurement") << true << 1;
}

void tst_LogSource::stopWatchStartReportsPrevious()
{
    QFETCH(bool, discardPrevious);
    QFETCH(int, reports);
    OneArgReceiver receiver;
    StopWatch watch(&receiver);
    watch.start("first");
    watch.start("second", discardPrevious);
    watch.stop();
    QCOMPARE(receiver.messages.size(), reports);
    QVERIFY(receiver.messages.last().startsWith("second: "));
}

void tst_LogSource::stopWatchNeverStartedIsSilent()
{
    OneArgReceiver receiver;
    StopWatch watch(&receiver);
    watch.stop(true);
    QVERIFY(receiver.messages.isEmpty());
    QVERIFY(!watch.isRunning());
}

QTEST_GUILESS_MAIN(tst_LogSource)
#include "tst_logsource.moc"
