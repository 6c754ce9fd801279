#include "argfile/libraryinfo.h"
#include "container/traxoparser.h"

#include "testcommon.h"

#include <QMimeDatabase>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
    const QString &directory = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted(10000) || !process.waitForFinished(240000)) {
        result.err = program.toUtf8() + " did not run: " + process.errorString().toUtf8();
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// Width and height from the IHDR chunk of a PNG file.
QSize pngSize(const QString &path)
{
    const QByteArray bytes = testcommon::readFile(path);
    if (bytes.size() < 24 || !bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QSize();
    auto bigEndian = [&](int at) {
        return int(
            quint8(bytes[at]) << 24 | quint8(bytes[at + 1]) << 16 | quint8(bytes[at + 2]) << 8 | quint8(bytes[at + 3]));
    };
    return QSize(bigEndian(16), bigEndian(20));
}

} // namespace

class tst_Install : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void consumerReadsTheDemo_data();
    void consumerReadsTheDemo();
    void installedTraxoRenders_data();
    void installedTraxoRenders();
    void desktopFilesAreValid_data();
    void desktopFilesAreValid();
    void mimeTypesRecogniseFiles_data();
    void mimeTypesRecogniseFiles();
    void iconsFitTheirFolders();
    void manPagesRender_data();
    void manPagesRender();

private:
    QString m_prefix;
    QString m_demo;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QTemporaryDir m_root;
};

void tst_Install::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_prefix = m_root.filePath(QStringLiteral("prefix"));
    m_demo = QStringLiteral(TRAXO_BUILD_DIR "/examples/demo.traxo");
    QVERIFY2(QFileInfo::exists(m_demo), "the demo container is built with the tree");

    const Run install = run(QStringLiteral(TRAXO_CMAKE),
        { QStringLiteral("--install"), QStringLiteral(TRAXO_BUILD_DIR), QStringLiteral("--prefix"), m_prefix },
        m_environment);
    QVERIFY2(install.exitCode == 0, install.err.constData());

    // The MIME database of the test is made as the system's is after the
    // package is installed: the system's types and the installed ones merged
    // into one cache, so that magic priorities are weighed against each other.
    const QString mime = m_root.filePath(QStringLiteral("data/mime"));
    QVERIFY(QDir().mkpath(mime + QStringLiteral("/packages")));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/mime/packages/freedesktop.org.xml"),
        mime + QStringLiteral("/packages/freedesktop.org.xml")));
    QVERIFY(QFile::copy(m_prefix + QStringLiteral("/share/mime/packages/traxobench.xml"),
        mime + QStringLiteral("/packages/traxobench.xml")));
    const Run update = run(QStringLiteral("update-mime-database"), { mime }, m_environment);
    QVERIFY2(update.exitCode == 0, update.err.constData());
    qputenv("XDG_DATA_HOME", m_root.filePath(QStringLiteral("nohome")).toUtf8());
    qputenv("XDG_DATA_DIRS", m_root.filePath(QStringLiteral("data")).toUtf8());
}

void tst_Install::consumerReadsTheDemo_data()
{
    QTest::addColumn<bool>("withPkgConfig");
    QTest::addRow("found with find_package") << false;
    QTest::addRow("found with pkg-config") << true;
}

void tst_Install::consumerReadsTheDemo()
{
    QFETCH(bool, withPkgConfig);
    const QString source = QStringLiteral(TRAXO_SOURCE_DIR "/examples/consumer");
    const QString build = m_root.filePath(withPkgConfig ? QStringLiteral("pc") : QStringLiteral("cmake"));
    QVERIFY(QDir().mkpath(build));
    QProcessEnvironment environment = m_environment;
    QString program = build + QStringLiteral("/traxo-history");

    if (withPkgConfig) {
        environment.insert(QStringLiteral("PKG_CONFIG_PATH"), m_prefix + QStringLiteral("/" TRAXO_LIBDIR "/pkgconfig"));
        const Run flags = run(QStringLiteral("pkg-config"),
            { QStringLiteral("--cflags"), QStringLiteral("--libs"), QStringLiteral("traxolib") }, environment);
        QVERIFY2(flags.exitCode == 0, flags.err.constData());
        QStringList arguments = { QStringLiteral("-std=c++17"), QStringLiteral("-fPIC"),
            source + QStringLiteral("/main.cpp"), QStringLiteral("-o"), program };
        arguments += QString::fromUtf8(flags.out).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const Run compile = run(QStringLiteral(TRAXO_CXX), arguments, environment);
        QVERIFY2(compile.exitCode == 0, compile.err.constData());
        // pkg-config gives no run path; the loader is told where the library is.
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), m_prefix + QStringLiteral("/" TRAXO_LIBDIR));
    } else {
        const Run configure = run(QStringLiteral(TRAXO_CMAKE),
            { QStringLiteral("-S"), source, QStringLiteral("-B"), build, QStringLiteral("-G"), QStringLiteral("Ninja"),
                QStringLiteral("-DCMAKE_MAKE_PROGRAM=" TRAXO_MAKE_PROGRAM),
                QStringLiteral("-DCMAKE_PREFIX_PATH=") + m_prefix },
            environment);
        QVERIFY2(configure.exitCode == 0, (configure.out + configure.err).constData());
        const Run compile = run(QStringLiteral(TRAXO_CMAKE), { QStringLiteral("--build"), build }, environment);
        QVERIFY2(compile.exitCode == 0, (compile.out + compile.err).constData());
    }

    // Nothing may come from the build tree: the consumer must run on the
    // installed library alone.
    const Run history = run(program, { m_demo }, environment);
    QVERIFY2(history.exitCode == 0, history.err.constData());
    traxo::TraxoParser parser;
    QVERIFY(parser.open(m_demo));
    QStringList expected = { traxo::getVersion(), QStringLiteral("%1 steps").arg(parser.getNumSections()) };
    for (const traxo::SectionTag &step : parser.getSections())
        expected << QStringLiteral("%1\t%2 files\t%3")
                        .arg(step.id)
                        .arg(parser.getFilesInSection(step.id).size())
                        .arg(step.title);
    QVERIFY(parser.getNumSections() > 1);
    QCOMPARE(QString::fromUtf8(history.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);

    const Run broken = run(program, { QStringLiteral(TRAXO_SOURCE_DIR "/examples/consumer/main.cpp") }, environment);
    QCOMPARE(broken.exitCode, 1);
}

// traxo hands rendering to traxo-render in the helper folder, which must
// find the library and the installed templates from there.
void tst_Install::installedTraxoRenders_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("text with the default template")
        << QStringList { "--format", "text" } << QByteArray("PROCESSING HISTORY");
    QTest::addRow("HTML with an installed template named without suffix")
        << QStringList { "--template", "black-and-white" } << QByteArray("<html");
}

void tst_Install::installedTraxoRenders()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    const Run render = run(m_prefix + QStringLiteral("/bin/traxo"), QStringList { "render", m_demo } + options,
        m_environment, m_root.path());
    QVERIFY2(render.exitCode == 0, render.err.constData());
    QVERIFY2(render.out.contains(expected), render.out.left(300).constData());
}

void tst_Install::desktopFilesAreValid_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addRow("menu entry") << "desktop-file-validate" << QStringList() << "share/applications/traxobench.desktop";
    QTest::addRow("file types") << "xmllint" << QStringList({ "--noout" }) << "share/mime/packages/traxobench.xml";
}

void tst_Install::desktopFilesAreValid()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    const Run check = run(program, arguments << m_prefix + QLatin1Char('/') + file, m_environment);
    QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    // desktop-file-validate reports hints and warnings with exit code 0.
    QVERIFY2(check.out.isEmpty() && check.err.isEmpty(), (check.out + check.err).constData());
}

void tst_Install::mimeTypesRecogniseFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QByteArray header = "%<--! $TRAXO_PDF [version:1.0]\n";
    QTest::addRow("container by its extension") << "run.traxo" << QByteArray("anything") << "application/x-traxo";
    QTest::addRow("container without extension, by its header line")
        << "run" << header + "%<--! $TRAXO_EMBEDDEDFILE_BEGIN ...\n"
        << "application/x-traxo";
    QTest::addRow("header line a few lines down") << "run"
                                                  << "\n\n" + header << "application/x-traxo";
    QTest::addRow("PDF holding a history stays a PDF") << "report"
                                                       << "%PDF-1.5\n%\xe2\xe3\xcf\xd3\n" + header << "application/pdf";
    QTest::addRow("arg-file by its extension") << "step.vcmd" << QByteArray("-s title x\n") << "text/x-traxo-vcmd";
}

void tst_Install::mimeTypesRecogniseFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    const QString path = m_root.filePath(name);
    QVERIFY(testcommon::writeFile(path, content));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QCOMPARE(type.name(), expected);
    if (expected == QLatin1String("text/x-traxo-vcmd"))
        QVERIFY(type.inherits(QStringLiteral("text/plain")));
}

void tst_Install::iconsFitTheirFolders()
{
    // Every icon the menu entry and the file types name, each in a folder
    // whose name says its size.
    const QStringList icons = { "64x64/apps/traxobench.png", "128x128/apps/traxobench.png",
        "64x64/mimetypes/application-x-traxo.png", "64x64/mimetypes/text-x-traxo-vcmd.png" };
    for (const QString &icon : icons) {
        const int side = icon.section(QLatin1Char('x'), 0, 0).toInt();
        QCOMPARE(pngSize(m_prefix + QStringLiteral("/share/icons/hicolor/") + icon), QSize(side, side));
    }
}

void tst_Install::manPagesRender_data()
{
    QTest::addColumn<QString>("page");
    const QDir pages(m_prefix + QStringLiteral("/share/man/man1"));
    const QStringList names = pages.entryList({ QStringLiteral("*.1.gz") });
    QVERIFY(names.contains(QStringLiteral("traxoadd.1.gz")));
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << pages.filePath(name);
}

void tst_Install::manPagesRender()
{
    QFETCH(QString, page);
    QProcessEnvironment environment = m_environment;
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const Run man
        = run(QStringLiteral("man"), { QStringLiteral("--warnings"), QStringLiteral("-l"), page }, environment);
    QVERIFY2(man.exitCode == 0, man.err.constData());
    QVERIFY2(man.err.isEmpty(), man.err.constData());
    for (const char *section : { "SYNOPSIS", "EXIT STATUS", "EXAMPLES" })
        QVERIFY2(man.out.contains(QByteArray("\n") + section + "\n"), section);
}

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
