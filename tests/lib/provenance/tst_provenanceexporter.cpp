#include "provenance/provenanceexporter.h"

#include "containerbuilder.h"
#include "provenance/provdocument.h"
#include "summary/summarywriter.h"
#include "testcommon.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace traxo;

namespace {

QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// A file as a step's summary declares it; with embed, also the container
// file that holds it, so that SummaryCreator ties the two.
FileSummary declare(const QString &name, const QByteArray &content, const QString &purpose, bool embed,
    QList<ContainerWriter::File> *embedded)
{
    FileSummary file;
    file.Filename = name;
    file.Filepath = QStringLiteral("/data/run");
    file.Filetype = QStringLiteral("text/plain");
    file.UncompressedSize = int(content.size());
    file.UncompressedMD5 = md5(content);
    file.FilePurpose = purpose;
    if (embed) {
        embedded->append(testcommon::embeddedFile(name, content));
        const QByteArray stored = ContainerWriter::compress(content);
        file.Embedded = true;
        file.CompressedMethod = QStringLiteral("flate");
        file.CompressedSize = int(stored.size());
        file.CompressedMD5 = md5(stored);
    }
    return file;
}

Summary step(const QString &title, const QString &tool, const QString &user, const QString &timestamp)
{
    Summary summary;
    summary.Title = title;
    summary.Tool = tool;
    summary.User = user;
    summary.Timestamp = timestamp;
    summary.Command = tool + QStringLiteral(" --run");
    summary.Host = QStringLiteral("lab-pc");
    return summary;
}

ContainerWriter::Section section(const Summary &summary, const QList<ContainerWriter::File> &files)
{
    return testcommon::containerSection(summary.Title, files, SummaryWriter::writeSummaryUtf8(summary));
}

const QByteArray Settings("gain=2\n");
const QByteArray Scan("SCAN0001 \x01\x02\x03 raw projections\n");
const QByteArray Slice("PNG slice 42\n");
const QByteArray Report("# Porosity\n12.5 %\n");

// Acquisition (settings -> scan), reconstruction (scan -> slice), analysis
// (slice -> report): the scan and the slice link the steps. Embedded: settings,
// scan and report; the slice, 5 GB, is recorded only.
QList<ContainerWriter::Section> linkedSteps()
{
    QList<ContainerWriter::File> files;
    Summary acquisition = step("Acquisition", "acquire 2.1", "alice", "2026-03-01T10:00:00+01:00");
    acquisition.files = { declare("settings.txt", Settings, "InFile", true, &files),
        declare("scan.dat", Scan, "OutFile", true, &files) };
    acquisition.userAttributeKeys = { "projections", "exposure time" };
    acquisition.userAttributeValues = { { "projections", "360" }, { "exposure time", "0.5" } };
    acquisition.userAttributeUnits = { { "exposure time", "s" } };
    const ContainerWriter::Section first = section(acquisition, files);

    files.clear();
    Summary reconstruction = step("Reconstruction", "recon", "alice", "yesterday");
    reconstruction.files
        = { declare("scan.dat", Scan, "InFile", false, &files), declare("slice.png", Slice, "OutFile", false, &files) };
    // Recorded only, so it may be larger than any int.
    reconstruction.files[1].UncompressedSize = Q_INT64_C(5000000000);
    const ContainerWriter::Section second = section(reconstruction, files);

    files.clear();
    Summary analysis = step("Analysis", "porosity", "bob", "2026-03-02T08:30:00Z");
    analysis.files = { declare("slice.png", Slice, "InFile", false, &files),
        declare("report.md", Report, "OutFile", true, &files) };
    return { first, second, section(analysis, files) };
}

QJsonObject readJson(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "invalid JSON:" << error.errorString() << "at" << error.offset;
    return document.object();
}

QList<QJsonObject> ofType(const QJsonArray &graph, const QString &type)
{
    QList<QJsonObject> found;
    for (const QJsonValue &entity : graph) {
        if (entity.toObject().value("@type").toString() == type)
            found.append(entity.toObject());
    }
    return found;
}

// Every {"@id": ...} reference below value.
void collectReferences(const QJsonValue &value, QStringList *references, bool top = true)
{
    if (value.isArray()) {
        for (const QJsonValue &item : value.toArray())
            collectReferences(item, references, false);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (!top && object.size() == 1 && object.contains("@id"))
            references->append(object.value("@id").toString());
        for (auto it = object.begin(); it != object.end(); ++it)
            collectReferences(it.value(), references, false);
    }
}

} // namespace

class tst_ProvenanceExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void provReadsWhatWeWrite_data();
    void provReadsWhatWeWrite();
    void recordedValuesKeepUnitsAndTypes();
    void roCrateDescribesAndHoldsTheFiles();
    void textsAreDecodedOnceAndEscaped_data();
    void textsAreDecodedOnceAndEscaped();
    void refusesWhatItCannotDo_data();
    void refusesWhatItCannotDo();

private:
    QString container(const QString &name, const QList<ContainerWriter::Section> &sections);
    QJsonObject readWithProv(const QString &base);

    QTemporaryDir m_dir;
    QString m_python;
};

void tst_ProvenanceExporter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The distribution's interpreter, which has python3-prov; a python3
    // earlier in PATH may be another installation without it.
    m_python = QStandardPaths::findExecutable("python3", { "/usr/bin" });
    if (m_python.isEmpty())
        m_python = QStandardPaths::findExecutable("python3");
    QVERIFY2(!m_python.isEmpty(), "python3 is needed to read the export with the W3C prov package");
}

QString tst_ProvenanceExporter::container(const QString &name, const QList<ContainerWriter::Section> &sections)
{
    const QString path = m_dir.filePath(name);
    QString error;
    if (!testcommon::buildContainer(path, sections, QByteArray(), &error))
        qWarning() << error;
    return path;
}

// Exports base.traxo as base.json and base.provn and lets the prov package
// read the one and compare the other with its own PROV-N.
QJsonObject tst_ProvenanceExporter::readWithProv(const QString &base)
{
    ProvenanceExporter exporter;
    const QString json = m_dir.filePath(base + ".json");
    const QString provn = m_dir.filePath(base + ".provn");
    if (!exporter.open(m_dir.filePath(base + ".traxo")) || !exporter.exportTo(ProvenanceExporter::ProvJson, json)
        || !exporter.exportTo(ProvenanceExporter::ProvN, provn))
        return QJsonObject();
    QProcess python;
    python.start(m_python, { QFINDTESTDATA("testdata/readprov.py"), json, provn });
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return QJsonObject();
    }
    return readJson(python.readAllStandardOutput());
}

void tst_ProvenanceExporter::provReadsWhatWeWrite_data()
{
    QTest::addColumn<QList<ContainerWriter::Section>>("sections");
    // ProvActivity, ProvEntity, ProvUsage, ProvGeneration, ProvAgent,
    // ProvAssociation, ProvCommunication
    QTest::addColumn<QList<int>>("counts");

    // Entities: settings, scan, slice, report (scan and slice shared by two
    // steps each); agents: three tools, two people; two informing links.
    QTest::addRow("three steps linked by their files") << linkedSteps() << QList<int> { 3, 4, 3, 3, 5, 6, 2 };

    ContainerWriter::Section markersOnly
        = testcommon::containerSection("Imported", { testcommon::embeddedFile("notes.txt", "n\n") }, QByteArray());
    markersOnly.withSummary = false;
    QTest::addRow("a section without summary is a step of its markers")
        << QList<ContainerWriter::Section> { linkedSteps().first(), markersOnly } << QList<int> { 2, 3, 1, 1, 2, 2, 1 };
    QTest::addRow("an empty container") << QList<ContainerWriter::Section>() << QList<int> { 0, 0, 0, 0, 0, 0, 0 };
}

void tst_ProvenanceExporter::provReadsWhatWeWrite()
{
    QFETCH(QList<ContainerWriter::Section>, sections);
    QFETCH(QList<int>, counts);
    container("history.traxo", sections);

    const QJsonObject read = readWithProv("history");
    QVERIFY(!read.isEmpty());
    const QJsonObject found = read.value("counts").toObject();
    const QStringList kinds { "ProvActivity", "ProvEntity", "ProvUsage", "ProvGeneration", "ProvAgent",
        "ProvAssociation", "ProvCommunication" };
    for (int i = 0; i < kinds.size(); ++i)
        QCOMPARE(QStringLiteral("%1 %2").arg(kinds.at(i)).arg(found.value(kinds.at(i)).toInt()),
            QStringLiteral("%1 %2").arg(kinds.at(i)).arg(counts.at(i)));
    QCOMPARE(read.value("differences").toArray(), QJsonArray());
}

void tst_ProvenanceExporter::recordedValuesKeepUnitsAndTypes()
{
    ProvenanceExporter exporter;
    QVERIFY(exporter.open(container("units.traxo", linkedSteps())));
    const QJsonObject activity = readJson(exporter.text(ProvenanceExporter::ProvJson))
                                     .value("activity")
                                     .toObject()
                                     .value("traxo:step-1")
                                     .toObject();
    QCOMPARE(activity.value("traxo:attribute_exposure%20time").toString(), QStringLiteral("0.5"));
    QCOMPARE(activity.value("traxo:unit_exposure%20time").toString(), QStringLiteral("s"));
    QCOMPARE(activity.value("traxo:attribute_projections").toString(), QStringLiteral("360"));
    QVERIFY(!activity.contains("traxo:unit_projections"));
    QCOMPARE(activity.value("prov:startTime").toString(), QStringLiteral("2026-03-01T10:00:00+01:00"));
    const QJsonObject slice = readJson(exporter.text(ProvenanceExporter::ProvJson))
                                  .value("entity")
                                  .toObject()
                                  .value("traxo:file-3")
                                  .toObject();
    QCOMPARE(slice.value("traxo:size").toObject(), (QJsonObject { { "$", "5000000000" }, { "type", "xsd:long" } }));
}

void tst_ProvenanceExporter::roCrateDescribesAndHoldsTheFiles()
{
    ProvenanceExporter exporter;
    QVERIFY(exporter.open(container("crate.traxo", linkedSteps())));
    const QString folder = m_dir.filePath("crate");
    QVERIFY2(exporter.exportTo(ProvenanceExporter::RoCrate, folder), qPrintable(exporter.errorString()));

    const QJsonObject metadata = readJson(testcommon::readFile(folder + "/ro-crate-metadata.json"));
    QCOMPARE(metadata.value("@context").toArray().first().toString(),
        QStringLiteral("https://w3id.org/ro/crate/1.1/context"));
    const QJsonArray graph = metadata.value("@graph").toArray();
    QHash<QString, QJsonObject> byId;
    for (const QJsonValue &entity : graph) {
        const QString id = entity.toObject().value("@id").toString();
        QVERIFY2(!byId.contains(id), qPrintable("twice in the graph: " + id));
        byId.insert(id, entity.toObject());
    }

    QCOMPARE(ofType(graph, "CreativeWork").size(), 2); // the descriptor and the profile
    QCOMPARE(
        byId.value("ro-crate-metadata.json").value("about").toObject().value("@id").toString(), QStringLiteral("./"));
    const QJsonObject root = byId.value("./");
    QCOMPARE(root.value("@type").toString(), QStringLiteral("Dataset"));
    QCOMPARE(root.value("conformsTo").toObject().value("@id").toString(),
        QStringLiteral("https://w3id.org/ro/wfrun/process/0.5"));

    QStringList references;
    collectReferences(QJsonValue(graph), &references);
    for (const QString &reference : references) {
        QVERIFY2(byId.contains(reference) || reference.startsWith("https://"),
            qPrintable("dangling reference " + reference));
    }

    const QList<QJsonObject> actions = ofType(graph, "CreateAction");
    QCOMPARE(actions.size(), 3);
    QStringList resultsOfFirstAction;
    for (const QJsonValue &result : actions.first().value("result").toArray())
        resultsOfFirstAction.append(result.toObject().value("@id").toString());
    QCOMPARE(resultsOfFirstAction, QStringList { "step-1/scan.dat" });
    for (const QJsonObject &action : actions) {
        QCOMPARE(byId.value(action.value("instrument").toObject().value("@id").toString()).value("@type").toString(),
            QStringLiteral("SoftwareApplication"));
        QCOMPARE(action.value("object").toArray().size(), 1);
        QCOMPARE(action.value("result").toArray().size(), 1);
        QCOMPARE(byId.value(action.value("agent").toObject().value("@id").toString()).value("@type").toString(),
            QStringLiteral("Person"));
    }
    // The second step's input is the first one's output, not a copy of it.
    QCOMPARE(actions.at(1).value("object").toArray().first().toObject().value("@id").toString(),
        QStringLiteral("step-1/scan.dat"));

    // Embedded files lie in the folder with the checksum their content has;
    // the recorded-only slice is described, not present.
    const QHash<QString, QByteArray> contents { { "step-1/settings.txt", Settings }, { "step-1/scan.dat", Scan },
        { "step-3/report.md", Report } };
    QStringList parts;
    for (const QJsonValue &part : root.value("hasPart").toArray())
        parts.append(part.toObject().value("@id").toString());
    parts.sort();
    QStringList expectedParts = contents.keys();
    expectedParts.sort();
    QCOMPARE(parts, expectedParts);
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        QCOMPARE(md5(testcommon::readFile(folder + '/' + it.key())), md5(it.value()));
        QCOMPARE(byId.value(it.key()).value("traxo:md5").toString(), md5(it.value()));
    }
    const QJsonObject slice = byId.value("#file-3");
    QCOMPARE(slice.value("name").toString(), QStringLiteral("slice.png"));
    QCOMPARE(slice.value("traxo:md5").toString(), md5(Slice));
    QCOMPARE(slice.value("contentSize").toString(), QStringLiteral("5000000000"));
    QCOMPARE(slice.value("traxo:recordedPath").toString(), QStringLiteral("/data/run"));
    QVERIFY(!QFile::exists(folder + "/step-2/slice.png"));
}

void tst_ProvenanceExporter::textsAreDecodedOnceAndEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("ampersand") << QStringLiteral("salt & pepper");
    QTest::addRow("angle brackets") << QStringLiteral("a<b> c</b>");
    QTest::addRow("quotes and backslash") << QStringLiteral("say \"hi\" to 'C:\\temp'");
    QTest::addRow("non-ASCII") << QStringLiteral("Größe µm – 測定");
    QTest::addRow("line breaks and tab") << QStringLiteral("first line\nsecond\r\nthird\tcolumn");
    QTest::addRow("an entity written as text stays text") << QStringLiteral("&amp; &lt; &#38;");
}

void tst_ProvenanceExporter::textsAreDecodedOnceAndEscaped()
{
    QFETCH(QString, text);
    Summary summary = step(text, "tool", "carol", QString());
    summary.userAttributeKeys = { text };
    summary.userAttributeValues = { { text, text } };
    QList<ContainerWriter::File> files;
    summary.files = { declare("out.txt", "x", "OutFile", true, &files) };
    summary.files.first().Description = text;
    container("texts.traxo", { section(summary, files) });

    // The prov package reads the labels from our JSON, and its PROV-N
    // agrees with ours record by record.
    const QJsonObject read = readWithProv("texts");
    QVERIFY(!read.isEmpty());
    QVERIFY(read.value("labels").toArray().contains(text));
    QCOMPARE(read.value("differences").toArray(), QJsonArray());

    ProvenanceExporter exporter;
    QVERIFY(exporter.open(m_dir.filePath("texts.traxo")));
    const QJsonObject prov = readJson(exporter.text(ProvenanceExporter::ProvJson));
    QCOMPARE(
        prov.value("activity").toObject().value("traxo:step-1").toObject().value(ProvDocument::userAttributeName(text)),
        QJsonValue(text));
    QCOMPARE(
        prov.value("entity").toObject().value("traxo:file-1").toObject().value("traxo:description"), QJsonValue(text));

    const QString folder = m_dir.filePath("texts-crate");
    QDir(folder).removeRecursively();
    QVERIFY(exporter.exportTo(ProvenanceExporter::RoCrate, folder));
    const QJsonArray graph
        = readJson(testcommon::readFile(folder + "/ro-crate-metadata.json")).value("@graph").toArray();
    QCOMPARE(ofType(graph, "CreateAction").first().value("name").toString(), text);
    QCOMPARE(ofType(graph, "PropertyValue").first().value("name").toString(), text);
}

void tst_ProvenanceExporter::refusesWhatItCannotDo_data()
{
    QTest::addColumn<QByteArray>("containerBytes");
    QTest::addColumn<QString>("existingFile"); // in the target folder
    QTest::addColumn<QString>("error");

    QTest::addRow("a file that is no container")
        << QByteArray("just text\n") << QString() << "is not a TRAXO container";
    QTest::addRow("a crate folder that holds other files")
        << QByteArray() << QStringLiteral("thesis.tex") << "exists and is not an empty folder";
}

void tst_ProvenanceExporter::refusesWhatItCannotDo()
{
    QFETCH(QByteArray, containerBytes);
    QFETCH(QString, existingFile);
    QFETCH(QString, error);
    const QString path
        = containerBytes.isEmpty() ? container("refused.traxo", linkedSteps()) : m_dir.filePath("refused.traxo");
    if (!containerBytes.isEmpty())
        QVERIFY(testcommon::writeFile(path, containerBytes));
    const QString folder = m_dir.filePath("refused-crate");
    QDir(folder).removeRecursively();
    if (!existingFile.isEmpty()) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(testcommon::writeFile(folder + '/' + existingFile, "keep me"));
    }

    ProvenanceExporter exporter;
    const bool done = exporter.open(path) && exporter.exportTo(ProvenanceExporter::RoCrate, folder);
    QVERIFY(!done);
    QVERIFY2(exporter.errorString().contains(error), qPrintable(exporter.errorString()));
    if (!existingFile.isEmpty()) {
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList { existingFile });
        QCOMPARE(testcommon::readFile(folder + '/' + existingFile), QByteArray("keep me"));
    }
}

QTEST_GUILESS_MAIN(tst_ProvenanceExporter)
#include "tst_provenanceexporter.moc"
