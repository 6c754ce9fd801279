#include "editor/mimetypes.h"

#include <QtTest>

class tst_Mimetypes : public QObject
{
    Q_OBJECT

private slots:
    void table();
    void guessMimeType_data();
    void guessMimeType();
    void isKnownMimeType_data();
    void isKnownMimeType();
};

void tst_Mimetypes::table()
{
    QCOMPARE(Mimetypes::getTypeCount(), 28);
    QCOMPARE(Mimetypes::getType(0), QStringLiteral("application/msword"));
    QCOMPARE(Mimetypes::getType(14), QStringLiteral("binary/NiFTI Image"));
    QCOMPARE(Mimetypes::getType(27), QStringLiteral("xml/Lorpa Project File"));
    QCOMPARE(Mimetypes::getType(-1), QString());
    QCOMPARE(Mimetypes::getType(28), QString());
    // Every type appears once, so the selector never shows a duplicate.
    QSet<QString> seen;
    for (int i = 0; i < Mimetypes::getTypeCount(); ++i)
        seen.insert(Mimetypes::getType(i));
    QCOMPARE(seen.size(), 28);
}

void tst_Mimetypes::guessMimeType_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("type");

    QTest::addRow("upper-case JPEG") << "/data/SCAN.JPEG"
                                     << "image/jpg";
    QTest::addRow("lower-case jpeg") << "scan.jpeg"
                                     << "image/jpg";
    QTest::addRow("mixed-case Jpg") << "scan.Jpg"
                                    << "image/jpg";
    QTest::addRow("tar.gz knows only gzip") << "archive.tar.gz"
                                            << "";
    QTest::addRow("gzip spelt out") << "archive.gzip"
                                    << "application/x-gzip";
    QTest::addRow("no dot") << "/data/README"
                            << "";
    QTest::addRow("dot in the directory only") << "/data.d/README"
                                               << "";
    QTest::addRow("trailing dot") << "report."
                                  << "";
    QTest::addRow("tif and tiff") << "a.tif"
                                  << "image/tiff";
    QTest::addRow("tiff") << "a.TIFF"
                          << "image/tiff";
    QTest::addRow("htm") << "index.htm"
                         << "text/html";
    QTest::addRow("latex before tex") << "paper.latex"
                                      << "application/x-latex";
    QTest::addRow("tex") << "paper.tex"
                         << "application/x-tex";
    QTest::addRow("opendocument") << "notes.odt"
                                  << "application/vnd.oasis.opendocument.t";
    QTest::addRow("quicktime") << "clip.mov"
                               << "video/quicktime";
    QTest::addRow("unknown extension") << "volume.nii"
                                       << "";
}

void tst_Mimetypes::guessMimeType()
{
    QFETCH(QString, fileName);
    QFETCH(QString, type);
    QCOMPARE(Mimetypes::guessMimeType(fileName), type);
}

void tst_Mimetypes::isKnownMimeType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("known");

    QTest::addRow("first type") << "application/msword" << true;
    QTest::addRow("type with a space") << "text/microPET Header" << true;
    QTest::addRow("last type") << "xml/Lorpa Project File" << true;
    QTest::addRow("upper-case spelling") << "IMAGE/PNG" << false;
    QTest::addRow("mixed case of a known type") << "binary/nifti image" << false;
    QTest::addRow("trailing space") << "image/png " << false;
    QTest::addRow("selector's free entry") << "other (User Defined)" << false;
    QTest::addRow("empty") << "" << false;
    QTest::addRow("common type not in the table") << "image/jpeg" << false;
}

void tst_Mimetypes::isKnownMimeType()
{
    QFETCH(QString, text);
    QFETCH(bool, known);
    QCOMPARE(Mimetypes::isKnownMimeType(text), known);
}

QTEST_GUILESS_MAIN(tst_Mimetypes)
#include "tst_mimetypes.moc"
