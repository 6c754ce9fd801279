#include "container/traxoparser.h"
#include "query/traxofindquery.h"
#include "query/wordprefilter.h"
#include "summary/summarycreator.h"
#include "summary/summarywriter.h"

#include "containerbuilder.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace traxo;
using testcommon::ContainerFile;
using testcommon::ContainerSection;

namespace {

QByteArray summaryXml(const QString &title, const QString &description, const QString &fileName)
{
    Summary summary;
    summary.Title = title;
    summary.Description = description;
    summary.Tool = QStringLiteral("reduce");
    summary.userAttributeKeys = QStringList { QStringLiteral("Lab"), QStringLiteral("Site") };
    summary.userAttributeValues.insert(QStringLiteral("Lab"), QStringLiteral("Bonn"));
    summary.userAttributeValues.insert(QStringLiteral("Site"), QStringLiteral("North"));
    FileSummary file;
    file.Filename = fileName;
    file.Filetype = QStringLiteral("csv");
    file.FilePurpose = QStringLiteral("OutFile");
    file.Embedded = true;
    summary.files.append(file);
    return SummaryWriter::writeSummaryUtf8(summary);
}

ContainerSection step(const QString &title, const QByteArray &summary, ContainerWriter::Compression compression)
{
    ContainerSection section = testcommon::containerSection(
        title, { testcommon::embeddedFile(QStringLiteral("values.csv"), "1,2\n") }, summary);
    section.summaryCompression = compression;
    section.withSummary = !summary.isEmpty();
    return section;
}

} // namespace

class TestWordPrefilter : public QObject
{
    Q_OBJECT

private slots:
    void decidableWord_data();
    void decidableWord();
    void agreesWithFullEvaluation();
};

void TestWordPrefilter::decidableWord_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QByteArray>("decidable");

    QTest::addRow("plain word, lower-cased") << "PostProcessing" << QByteArray("postprocessing");
    QTest::addRow("blank and punctuation") << "run [a" << QByteArray("run [a");
    QTest::addRow("empty word is in every text") << "" << QByteArray();
    QTest::addRow("kelvin sign outside ASCII") << QString::fromUtf8("300 \u212A") << QByteArray();
    QTest::addRow("bracket changes under marker escapes") << "a]" << QByteArray();
    QTest::addRow("backslash changes under marker escapes") << "a\\b" << QByteArray();
    QTest::addRow("comma joins user attribute names") << "lab, site" << QByteArray();
    QTest::addRow("line break joins texts") << "lab\nsite" << QByteArray();
    QTest::addRow("digits of an id or size") << "240" << QByteArray();
    QTest::addRow("step hash") << "WFS:1" << QByteArray();
    QTest::addRow("file hash letters") << "file" << QByteArray();
    QTest::addRow("default purpose") << "undef" << QByteArray();
    QTest::addRow("title of files outside steps") << "unmatched" << QByteArray();
}

void TestWordPrefilter::decidableWord()
{
    QFETCH(QString, word);
    QFETCH(QByteArray, decidable);
    QCOMPARE(WordPrefilter::decidableWord(word), decidable);
}

// The filter may only save work: over containers whose texts hide words
// behind case mapping, marker escapes, compression, fallbacks to markers
// and made-up texts, every query gives the result of the full evaluation,
// and the bytes of a container rule out only what the evaluation does.
void TestWordPrefilter::agreesWithFullEvaluation()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray notUtf8("<?xml version=\"1.0\"?><trxchange><Workflowstep><Title>\xff\xfe hidden"
                             "</Title></Workflowstep></trxchange>");
    const QList<QList<ContainerSection>> containers {
        { step(QStringLiteral("calibration"),
            summaryXml(QString::fromUtf8("Calibration at 300 \u212A"), QString::fromUtf8("TAX\u0130 to Bonn"),
                QStringLiteral("R&D.csv")),
            ContainerWriter::Flate) },
        { step(QStringLiteral("stored"), summaryXml(QStringLiteral("Postprocessing"), QString(), "out.csv"),
              ContainerWriter::None),
            step(QStringLiteral("later"), summaryXml(QStringLiteral("Plotting"), QString(), "plot.pdf"),
                ContainerWriter::Flate) },
        { step(QStringLiteral("Run [A]\\b"), QByteArray(), ContainerWriter::Flate) },
        { step(QStringLiteral("broken"), notUtf8, ContainerWriter::None) },
        { step(QStringLiteral("calibration"),
              summaryXml(QString::fromUtf8("Calibration at 300 \u212A"), QString::fromUtf8("TAX\u0130 to Bonn"),
                  QStringLiteral("R&D.csv")),
              ContainerWriter::None),
            step(QStringLiteral("Run [A]\\b"), summaryXml(QStringLiteral("Postprocessing"), QString(), "out.csv"),
                ContainerWriter::None) },
    };
    QStringList paths;
    for (int i = 0; i < containers.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("c%1.traxo").arg(i));
        QString error;
        QVERIFY2(testcommon::buildContainer(path, containers.at(i), QByteArray(), &error), qPrintable(error));
        paths.append(path);
    }
    ContainerWriter writer;
    QVERIFY(writer.appendFiles(paths.at(2), { testcommon::embeddedFile(QStringLiteral("loose.dat"), "x") }));

    // A checksum of a file that only its marker describes.
    const QString checksumPiece = QCryptographicHash::hash("x", QCryptographicHash::Md5).toHex().left(6);
    const QStringList queries {
        QStringLiteral("f:md5 %contains \"%1\"").arg(checksumPiece),
        "postprocessing",
        "PLOTTING",
        "taxi",
        "istanbul",
        "\"300 k\"",
        "kelvin",
        "\"run [a\"",
        "\"a]\"",
        "loose",
        "unmatched",
        "undefined",
        "\"r&d\"",
        "amp",
        "bonn",
        "hidden",
        "\"lab, site\"",
        "nosuchword",
        "nosuchword || taxi",
        "taxi && nosuchword",
        "s.title %contains \"calibration\"",
        "!(s.title %contains \"calibration\")",
        "f.filename %contains \"LOOSE\" && f.filename %contains \"dat\"",
        // One variable: the summaries are searched one at a time.
        "s.title %contains \"plotting\"",
        "!(s.title %contains \"postprocessing\")",
        "f.filename %contains \"plot\"",
        "s.title %contains \"plotting\" || s.title %contains \"postprocessing\"",
    };
    int rejected = 0;
    int rejectedByBytes = 0;
    int matched = 0;
    for (const QString &path : std::as_const(paths)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (const QString &text : queries) {
            const TraxoFindQuery query(text);
            QVERIFY2(query.isValid(), qPrintable(text));
            TraxoParser parser(ParseTolerant);
            QVERIFY(parser.open(path));
            SummaryCreator creator;
            QHash<QString, QString> expectedBindings;
            const bool expected = query.matches(creator.createSummaries(parser), &expectedBindings);
            QHash<QString, QString> bindings;
            const bool actual = query.matches(parser, &bindings);
            QVERIFY2(actual == expected, qPrintable(QStringLiteral("%1 in %2").arg(text, path)));
            QCOMPARE(bindings, expectedBindings);
            rejected += !WordPrefilter(query.cnf()).mayMatch(parser);
            if (!query.mayMatch(bytes)) {
                QVERIFY2(!expected, qPrintable(QStringLiteral("%1 in the bytes of %2").arg(text, path)));
                ++rejectedByBytes;
            }
            matched += expected;
        }
    }
    // Both outcomes occur, so the comparison above covered the filter's
    // rejections and not only the evaluation.
    QVERIFY(rejected > 20);
    QVERIFY(rejectedByBytes > 10);
    QVERIFY(matched > 20);
}

QTEST_GUILESS_MAIN(TestWordPrefilter)
#include "tst_wordprefilter.moc"
