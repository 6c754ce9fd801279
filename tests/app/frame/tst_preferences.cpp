#include "frame/preferences.h"
#include "frame/untraxopreferenceswindow.h"
#include "frame/vsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

class tst_Preferences : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void defaults_data();
    void defaults();
    void roundTrips_data();
    void roundTrips();
    void unreadableNumbersGiveTheDefault();
    void extractionDirectory();
    void hostsKeepSeparateSettings();

    void dialogLabels();
    void dialogShowsStoredValues();
    void okStoresEveryKey();
    void okWithDefaultTemplate();
    void templatePathRule_data();
    void templatePathRule();
    void cancelLeavesSettingsAlone();
    void checkBoxesLockTheirEdits();

private:
    // Runs the dialog modally; action sees it open and must close it.
    void runDialog(const std::function<void(UnTRAXOPreferencesWindow &)> &action);
    template<class T>
    static T *child(QWidget &dialog, const char *name)
    {
        T *widget = dialog.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("missing widget %s", name);
        return widget;
    }

    QTemporaryDir m_settingsDir;
};

void tst_Preferences::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_Preferences::init()
{
    VSettings::overrideComputerName(QStringLiteral("testhost"));
    QSettings(VSettings::getOrganization(), VSettings::getApplication()).clear();
}

namespace {

// Reads one preference through its typed getter, named by its key.
QVariant readPreference(const QString &key)
{
    const QHash<QString, std::function<QVariant()>> getters = {
        { "Extraction/UseDefaultDirectory", [] { return QVariant(Preferences::extrDefaultDirectory()); } },
        { "Extraction/LastDirectory", [] { return QVariant(Preferences::extrLastDirectory()); } },
        { "Extraction/VAELimit", [] { return QVariant(Preferences::extrVAELimit()); } },
        { "Extraction/ValidateAfterExtraction", [] { return QVariant(Preferences::extrValidateAfter()); } },
        { "Extraction/NumberFiles", [] { return QVariant(Preferences::extrNumberFiles()); } },
        { "Extraction/ValidateExtractedFiles", [] { return QVariant(Preferences::extrValidateFiles()); } },
        { "Extraction/AskBeforeOverwrite", [] { return QVariant(Preferences::extrAskBeforeOverwrite()); } },
        { "Validation/ASVLimit", [] { return QVariant(Preferences::valASVLimit()); } },
        { "Validation/AutomaticSectionValidation",
            [] { return QVariant(Preferences::valAutomaticSectionValidation()); } },
        { "Validation/AFVLimit", [] { return QVariant(Preferences::valAFVLimit()); } },
        { "Validation/AutomaticFileValidation", [] { return QVariant(Preferences::valAutomaticFileValidation()); } },
        { "Validation/Performance", [] { return QVariant(Preferences::valPerformance()); } },
        { "Browser/ZoomLevel", [] { return QVariant(Preferences::browZoomLevel()); } },
        { "Browser/Template", [] { return QVariant(Preferences::browTemplate()); } },
        { "Log/Show", [] { return QVariant(Preferences::logShow()); } },
        { "Log/FontPointSize", [] { return QVariant(Preferences::logFontPointSize()); } },
        { "Log/FontFamily", [] { return QVariant(Preferences::logFontFamily()); } },
    };
    return getters.contains(key) ? getters.value(key)() : QVariant();
}

// Writes one preference through its typed setter.
void writePreference(const QString &key, const QVariant &value)
{
    const QHash<QString, std::function<void(const QVariant &)>> setters = {
        { "Extraction/UseDefaultDirectory",
            [](const QVariant &v) { Preferences::setExtrDefaultDirectory(v.toInt()); } },
        { "Extraction/LastDirectory", [](const QVariant &v) { Preferences::setExtrLastDirectory(v.toString()); } },
        { "Extraction/VAELimit", [](const QVariant &v) { Preferences::setExtrVAELimit(v.toInt()); } },
        { "Extraction/ValidateAfterExtraction",
            [](const QVariant &v) { Preferences::setExtrValidateAfter(v.toInt()); } },
        { "Extraction/NumberFiles", [](const QVariant &v) { Preferences::setExtrNumberFiles(v.toInt()); } },
        { "Extraction/ValidateExtractedFiles",
            [](const QVariant &v) { Preferences::setExtrValidateFiles(v.toInt()); } },
        { "Extraction/AskBeforeOverwrite",
            [](const QVariant &v) { Preferences::setExtrAskBeforeOverwrite(v.toInt()); } },
        { "Validation/ASVLimit", [](const QVariant &v) { Preferences::setValASVLimit(v.toInt()); } },
        { "Validation/AutomaticSectionValidation",
            [](const QVariant &v) { Preferences::setValAutomaticSectionValidation(v.toInt()); } },
        { "Validation/AFVLimit", [](const QVariant &v) { Preferences::setValAFVLimit(v.toInt()); } },
        { "Validation/AutomaticFileValidation",
            [](const QVariant &v) { Preferences::setValAutomaticFileValidation(v.toInt()); } },
        { "Validation/Performance", [](const QVariant &v) { Preferences::setValPerformance(v.toInt()); } },
        { "Browser/ZoomLevel", [](const QVariant &v) { Preferences::setBrowZoomLevel(v.toInt()); } },
        { "Browser/Template", [](const QVariant &v) { Preferences::setBrowTemplate(v.toString()); } },
        { "Log/Show", [](const QVariant &v) { Preferences::setLogShow(v.toInt()); } },
        { "Log/FontPointSize", [](const QVariant &v) { Preferences::setLogFontPointSize(v.toDouble()); } },
        { "Log/FontFamily", [](const QVariant &v) { Preferences::setLogFontFamily(v.toString()); } },
    };
    if (setters.contains(key))
        setters.value(key)(value);
}

} // namespace

void tst_Preferences::defaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("expected");

    QTest::addRow("use default directory off") << "Extraction/UseDefaultDirectory" << QVariant(0);
    QTest::addRow("last directory is home")
        << "Extraction/LastDirectory" << QVariant(QDir::toNativeSeparators(QDir::homePath()));
    QTest::addRow("validate after extraction limit 8 MB") << "Extraction/VAELimit" << QVariant(8);
    QTest::addRow("validate after extraction always") << "Extraction/ValidateAfterExtraction" << QVariant(0);
    QTest::addRow("number files on") << "Extraction/NumberFiles" << QVariant(1);
    QTest::addRow("validate extracted files on") << "Extraction/ValidateExtractedFiles" << QVariant(1);
    QTest::addRow("ask before overwrite on") << "Extraction/AskBeforeOverwrite" << QVariant(1);
    QTest::addRow("section limit 8 MB") << "Validation/ASVLimit" << QVariant(8);
    QTest::addRow("sections validated always") << "Validation/AutomaticSectionValidation" << QVariant(0);
    QTest::addRow("file limit 8 MB") << "Validation/AFVLimit" << QVariant(8);
    QTest::addRow("files validated always") << "Validation/AutomaticFileValidation" << QVariant(0);
    QTest::addRow("medium buffers") << "Validation/Performance" << QVariant(1);
    QTest::addRow("zoom 0") << "Browser/ZoomLevel" << QVariant(0);
    QTest::addRow("template orange") << "Browser/Template" << QVariant(QStringLiteral("orange.htm"));
    QTest::addRow("log hidden") << "Log/Show" << QVariant(0);
    QTest::addRow("log font 12 pt") << "Log/FontPointSize" << QVariant(12.0);
    QTest::addRow("log font Lucida Grande") << "Log/FontFamily" << QVariant(QStringLiteral("Lucida Grande"));
}

void tst_Preferences::defaults()
{
    QFETCH(QString, key);
    QFETCH(QVariant, expected);
    QCOMPARE(readPreference(key), expected);
}

void tst_Preferences::roundTrips_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QTest::addRow("use default directory") << "Extraction/UseDefaultDirectory" << QVariant(1);
    QTest::addRow("last directory") << "Extraction/LastDirectory" << QVariant(QStringLiteral("/data/out"));
    QTest::addRow("validate-after limit") << "Extraction/VAELimit" << QVariant(123);
    QTest::addRow("validate after depends on size") << "Extraction/ValidateAfterExtraction" << QVariant(2);
    QTest::addRow("number files off") << "Extraction/NumberFiles" << QVariant(0);
    QTest::addRow("validate files off") << "Extraction/ValidateExtractedFiles" << QVariant(0);
    QTest::addRow("overwrite silently") << "Extraction/AskBeforeOverwrite" << QVariant(0);
    QTest::addRow("section limit") << "Validation/ASVLimit" << QVariant(64);
    QTest::addRow("sections never") << "Validation/AutomaticSectionValidation" << QVariant(1);
    QTest::addRow("file limit") << "Validation/AFVLimit" << QVariant(1);
    QTest::addRow("files depend on size") << "Validation/AutomaticFileValidation" << QVariant(2);
    QTest::addRow("large buffers") << "Validation/Performance" << QVariant(2);
    QTest::addRow("zoom out fully") << "Browser/ZoomLevel" << QVariant(-3);
    QTest::addRow("zoom in") << "Browser/ZoomLevel" << QVariant(3);
    QTest::addRow("template") << "Browser/Template" << QVariant(QStringLiteral("black-and-white.htm"));
    QTest::addRow("log shown") << "Log/Show" << QVariant(1);
    QTest::addRow("fractional font size") << "Log/FontPointSize" << QVariant(10.5);
    QTest::addRow("font family") << "Log/FontFamily" << QVariant(QStringLiteral("DejaVu Sans Mono"));
}

void tst_Preferences::roundTrips()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    writePreference(key, value);
    QCOMPARE(readPreference(key), value);
    // Stored under the key itself, where other windows and later runs look.
    QVERIFY(QSettings(VSettings::getOrganization(), VSettings::getApplication()).contains(key));
}

void tst_Preferences::unreadableNumbersGiveTheDefault()
{
    Preferences::setValue(QStringLiteral("Validation/AFVLimit"), QStringLiteral("lots"));
    QCOMPARE(Preferences::valAFVLimit(), 8);
    Preferences::setValue(QStringLiteral("Log/FontPointSize"), QStringLiteral("big"));
    QCOMPARE(Preferences::logFontPointSize(), 12.0);
}

void tst_Preferences::extractionDirectory()
{
    const QString home = QDir::toNativeSeparators(QDir::homePath());
    Preferences::setExtrLastDirectory(QStringLiteral("/data/extracted"));
    QCOMPARE(Preferences::extrDirectory(), home);
    Preferences::setExtrDefaultDirectory(1);
    QCOMPARE(Preferences::extrDirectory(), QStringLiteral("/data/extracted"));
}

void tst_Preferences::hostsKeepSeparateSettings()
{
    VSettings::overrideComputerName(QStringLiteral("hostA"));
    Preferences::setBrowTemplate(QStringLiteral("a.htm"));
    Preferences::setBrowZoomLevel(2);

    VSettings::overrideComputerName(QStringLiteral("hostB"));
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("orange.htm"));
    QCOMPARE(Preferences::browZoomLevel(), 0);
    Preferences::setBrowTemplate(QStringLiteral("b.htm"));

    VSettings::overrideComputerName(QStringLiteral("hostA"));
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("a.htm"));
    QCOMPARE(Preferences::browZoomLevel(), 2);
    // One store shared by both hosts, one file each below the organisation.
    QVERIFY(QFileInfo::exists(m_settingsDir.filePath(QStringLiteral("Pelmix/traxo.hostA.conf"))));
    QVERIFY(QFileInfo::exists(m_settingsDir.filePath(QStringLiteral("Pelmix/traxo.hostB.conf"))));
}

void tst_Preferences::runDialog(const std::function<void(UnTRAXOPreferencesWindow &)> &action)
{
    UnTRAXOPreferencesWindow dialog(nullptr);
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        ran = true;
        action(dialog);
        if (dialog.isVisible())
            dialog.reject();
    });
    dialog.exec();
    QVERIFY(ran);
}

void tst_Preferences::dialogLabels()
{
    UnTRAXOPreferencesWindow dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Preferences"));
    auto *tabs = child<QTabWidget>(dialog, "m_tabs");
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Browser"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Validation"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Extraction"));
    QCOMPARE(child<QCheckBox>(dialog, "m_defaultTemplate")->text(), QStringLiteral("Default template"));
    QCOMPARE(child<QPushButton>(dialog, "m_changeFontButton")->text(), QStringLiteral("Change font..."));
    QCOMPARE(child<QRadioButton>(dialog, "m_dependsAutomaticFileValidation")->text(),
        QStringLiteral("If file is smaller than"));
    QCOMPARE(child<QCheckBox>(dialog, "m_validateExtractedFiles")->text(), QStringLiteral("Validate extracted Files"));
    QCOMPARE(child<QPushButton>(dialog, "cancelButton")->text(), QStringLiteral("Cancel"));
    auto *zoom = child<QComboBox>(dialog, "m_zoomLevelBox");
    QStringList entries;
    for (int i = 0; i < zoom->count(); ++i)
        entries.append(zoom->itemText(i));
    QCOMPARE(entries, QStringList({ "-3", "-2", "-1", "0", "1", "2", "3" }));
}

void tst_Preferences::dialogShowsStoredValues()
{
    Preferences::setBrowZoomLevel(2);
    Preferences::setLogFontFamily(QStringLiteral("Courier"));
    Preferences::setLogFontPointSize(9);
    Preferences::setLogShow(1);
    Preferences::setValPerformance(SizeLarge);
    Preferences::setExtrValidateAfter(ActionDependsOnSize);
    Preferences::setExtrVAELimit(42);
    Preferences::setExtrNumberFiles(0);
    runDialog([this](UnTRAXOPreferencesWindow &dialog) {
        QCOMPARE(child<QComboBox>(dialog, "m_zoomLevelBox")->currentText(), QStringLiteral("2"));
        QCOMPARE(child<QLabel>(dialog, "m_currentFontLabel")->text(), QStringLiteral("Courier, 9 pt"));
        QVERIFY(child<QRadioButton>(dialog, "m_showLog")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "m_largeValidationPerformance")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "m_dependsValidateAfterExtraction")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "m_alwaysAutomaticFileValidation")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "m_VAELimit")->text(), QStringLiteral("42"));
        QVERIFY(!child<QCheckBox>(dialog, "m_numberFiles")->isChecked());
        QVERIFY(child<QCheckBox>(dialog, "m_askBeforeOverwrite")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "m_templateLineEdit")->text(), QStringLiteral("orange.htm"));
        QVERIFY(!child<QCheckBox>(dialog, "m_defaultTemplate")->isChecked());
        child<QPushButton>(dialog, "m_okButton")->click();
    });
    // OK keeps what was shown.
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("orange.htm"));
    QCOMPARE(Preferences::browZoomLevel(), 2);
    QCOMPARE(Preferences::logFontFamily(), QStringLiteral("Courier"));
}

void tst_Preferences::okStoresEveryKey()
{
    runDialog([this](UnTRAXOPreferencesWindow &dialog) {
        child<QComboBox>(dialog, "m_zoomLevelBox")->setCurrentIndex(0);
        child<QRadioButton>(dialog, "m_showLog")->setChecked(true);
        child<QRadioButton>(dialog, "m_smallValidationPerformance")->setChecked(true);
        child<QRadioButton>(dialog, "m_neverAutomaticFileValidation")->setChecked(true);
        child<QRadioButton>(dialog, "m_dependsAutomaticSectionValidation")->setChecked(true);
        child<QSpinBox>(dialog, "m_AFVLimit")->setValue(16);
        child<QSpinBox>(dialog, "m_ASVLimit")->setValue(32);
        child<QCheckBox>(dialog, "m_askBeforeOverwrite")->setChecked(false);
        child<QLineEdit>(dialog, "m_VAELimit")->setText(QStringLiteral("not a number"));
        child<QLineEdit>(dialog, "m_defaultExtractionDirectory")->setText(QStringLiteral("/data/x"));
        child<QCheckBox>(dialog, "m_defaultExtractionDirectoryCheckBox")->setChecked(true);
        child<QPushButton>(dialog, "m_okButton")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    });
    QCOMPARE(Preferences::browZoomLevel(), -3);
    QCOMPARE(Preferences::logShow(), 1);
    QCOMPARE(Preferences::valPerformance(), int(SizeSmall));
    QCOMPARE(Preferences::valAutomaticFileValidation(), int(ActionNever));
    QCOMPARE(Preferences::valAutomaticSectionValidation(), int(ActionDependsOnSize));
    QCOMPARE(Preferences::valAFVLimit(), 16);
    QCOMPARE(Preferences::valASVLimit(), 32);
    QCOMPARE(Preferences::extrAskBeforeOverwrite(), 0);
    QCOMPARE(Preferences::extrValidateFiles(), 1);
    QCOMPARE(Preferences::extrVAELimit(), 0);
    QCOMPARE(Preferences::extrLastDirectory(), QStringLiteral("/data/x"));
    QCOMPARE(Preferences::extrDefaultDirectory(), 1);
    QCOMPARE(Preferences::logFontFamily(), QStringLiteral("Lucida Grande"));
    QCOMPARE(Preferences::logFontPointSize(), 12.0);
}

void tst_Preferences::okWithDefaultTemplate()
{
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("orange.htm"));
    runDialog([this](UnTRAXOPreferencesWindow &dialog) {
        child<QCheckBox>(dialog, "m_defaultTemplate")->setChecked(true);
        child<QPushButton>(dialog, "m_okButton")->click();
    });
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("black-and-white.htm"));
}

void tst_Preferences::templatePathRule_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("useDefault");
    QTest::addColumn<QString>("stored"); // "<name>": the name of the file made in the templates folder

    QTest::addRow("default box wins") << "<path>" << true << "black-and-white.htm";
    QTest::addRow("the bare name the dialog shows is kept") << "mine.htm" << false << "<name>";
    QTest::addRow("a bare name not in the templates folder") << "orange.htm" << false << "black-and-white.htm";
    QTest::addRow("file in the templates folder") << "<path>" << false << "<name>";
    QTest::addRow("missing file") << "/elsewhere/missing-template.htm" << false << "black-and-white.htm";
    QTest::addRow("folder path without a name") << "/elsewhere/" << false << "black-and-white.htm";
}

void tst_Preferences::templatePathRule()
{
    QFETCH(QString, path);
    QFETCH(bool, useDefault);
    QFETCH(QString, stored);

    QTemporaryDir templates;
    const QString name = QStringLiteral("mine.htm");
    QFile own(templates.filePath(name));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.close();
    // Chosen elsewhere, but with the same name: only the name counts.
    path.replace(QStringLiteral("<path>"), QStringLiteral("/some/other/place/") + name);
    stored.replace(QStringLiteral("<name>"), name);
    QCOMPARE(UnTRAXOPreferencesWindow::templateForPath(path, useDefault, templates.path()), stored);
}

void tst_Preferences::cancelLeavesSettingsAlone()
{
    Preferences::setBrowZoomLevel(1);
    runDialog([this](UnTRAXOPreferencesWindow &dialog) {
        child<QComboBox>(dialog, "m_zoomLevelBox")->setCurrentIndex(6);
        child<QCheckBox>(dialog, "m_defaultTemplate")->setChecked(true);
        child<QPushButton>(dialog, "cancelButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    });
    QCOMPARE(Preferences::browZoomLevel(), 1);
    QCOMPARE(Preferences::browTemplate(), QStringLiteral("orange.htm"));
}

void tst_Preferences::checkBoxesLockTheirEdits()
{
    runDialog([this](UnTRAXOPreferencesWindow &dialog) {
        auto *templateBox = child<QCheckBox>(dialog, "m_defaultTemplate");
        templateBox->setChecked(true);
        QVERIFY(!child<QLineEdit>(dialog, "m_templateLineEdit")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "m_setPathButton")->isEnabled());
        templateBox->setChecked(false);
        QVERIFY(child<QLineEdit>(dialog, "m_templateLineEdit")->isEnabled());

        auto *dirBox = child<QCheckBox>(dialog, "m_defaultExtractionDirectoryCheckBox");
        dirBox->setChecked(true);
        QVERIFY(!child<QLineEdit>(dialog, "m_defaultExtractionDirectory")->isEnabled());
        dirBox->setChecked(false);
        QVERIFY(child<QPushButton>(dialog, "m_setExtractionPathButton")->isEnabled());
    });
}

QTEST_MAIN(tst_Preferences)
#include "tst_preferences.moc"
