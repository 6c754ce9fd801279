#include "preferences.h"

#include "vsettings.h"

#include <QDir>
#include <QSettings>

namespace {

QString homeDirectory()
{
    return QDir::toNativeSeparators(QDir::homePath());
}

// Integers are stored unsigned; a negative value (the zoom level) is stored
// as its unsigned bit pattern and read back as the same int.
QVariant storedInt(int value)
{
    return QVariant(static_cast<unsigned int>(value));
}

} // namespace

int Preferences::getInt(const QString &key, unsigned int defaultValue)
{
    const QVariant value
        = QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key, defaultValue);
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok)
        return static_cast<int>(defaultValue);
    return static_cast<int>(static_cast<unsigned int>(number));
}

double Preferences::getReal(const QString &key, double defaultValue)
{
    bool ok = false;
    const double value
        = QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key, defaultValue).toDouble(&ok);
    return ok ? value : defaultValue;
}

QString Preferences::getString(const QString &key, const QString &defaultValue)
{
    return QSettings(VSettings::getOrganization(), VSettings::getApplication()).value(key, defaultValue).toString();
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    QSettings(VSettings::getOrganization(), VSettings::getApplication()).setValue(key, value);
}

int Preferences::extrDefaultDirectory()
{
    return getInt(QStringLiteral("Extraction/UseDefaultDirectory"), 0);
}

void Preferences::setExtrDefaultDirectory(int value)
{
    setValue(QStringLiteral("Extraction/UseDefaultDirectory"), storedInt(value));
}

QString Preferences::extrLastDirectory()
{
    return getString(QStringLiteral("Extraction/LastDirectory"), homeDirectory());
}

void Preferences::setExtrLastDirectory(const QString &value)
{
    setValue(QStringLiteral("Extraction/LastDirectory"), value);
}

int Preferences::extrVAELimit()
{
    return getInt(QStringLiteral("Extraction/VAELimit"), 8);
}

void Preferences::setExtrVAELimit(int value)
{
    setValue(QStringLiteral("Extraction/VAELimit"), storedInt(value));
}

int Preferences::extrValidateAfter()
{
    return getInt(QStringLiteral("Extraction/ValidateAfterExtraction"), ActionAlways);
}

void Preferences::setExtrValidateAfter(int value)
{
    setValue(QStringLiteral("Extraction/ValidateAfterExtraction"), storedInt(value));
}

int Preferences::extrNumberFiles()
{
    return getInt(QStringLiteral("Extraction/NumberFiles"), 1);
}

void Preferences::setExtrNumberFiles(int value)
{
    setValue(QStringLiteral("Extraction/NumberFiles"), storedInt(value));
}

int Preferences::extrValidateFiles()
{
    return getInt(QStringLiteral("Extraction/ValidateExtractedFiles"), 1);
}

void Preferences::setExtrValidateFiles(int value)
{
    setValue(QStringLiteral("Extraction/ValidateExtractedFiles"), storedInt(value));
}

int Preferences::extrAskBeforeOverwrite()
{
    return getInt(QStringLiteral("Extraction/AskBeforeOverwrite"), 1);
}

void Preferences::setExtrAskBeforeOverwrite(int value)
{
    setValue(QStringLiteral("Extraction/AskBeforeOverwrite"), storedInt(value));
}

QString Preferences::extrDirectory()
{
    return extrDefaultDirectory() == 1 ? extrLastDirectory() : homeDirectory();
}

int Preferences::valASVLimit()
{
    return getInt(QStringLiteral("Validation/ASVLimit"), 8);
}

void Preferences::setValASVLimit(int value)
{
    setValue(QStringLiteral("Validation/ASVLimit"), storedInt(value));
}

int Preferences::valAutomaticSectionValidation()
{
    return getInt(QStringLiteral("Validation/AutomaticSectionValidation"), ActionAlways);
}

void Preferences::setValAutomaticSectionValidation(int value)
{
    setValue(QStringLiteral("Validation/AutomaticSectionValidation"), storedInt(value));
}

int Preferences::valAFVLimit()
{
    return getInt(QStringLiteral("Validation/AFVLimit"), 8);
}

void Preferences::setValAFVLimit(int value)
{
    setValue(QStringLiteral("Validation/AFVLimit"), storedInt(value));
}

int Preferences::valAutomaticFileValidation()
{
    return getInt(QStringLiteral("Validation/AutomaticFileValidation"), ActionAlways);
}

void Preferences::setValAutomaticFileValidation(int value)
{
    setValue(QStringLiteral("Validation/AutomaticFileValidation"), storedInt(value));
}

int Preferences::valPerformance()
{
    return getInt(QStringLiteral("Validation/Performance"), SizeMedium);
}

void Preferences::setValPerformance(int value)
{
    setValue(QStringLiteral("Validation/Performance"), storedInt(value));
}

int Preferences::browZoomLevel()
{
    return getInt(QStringLiteral("Browser/ZoomLevel"), 0);
}

void Preferences::setBrowZoomLevel(int value)
{
    setValue(QStringLiteral("Browser/ZoomLevel"), storedInt(value));
}

QString Preferences::browTemplate()
{
    return getString(QStringLiteral("Browser/Template"), QStringLiteral("orange.htm"));
}

void Preferences::setBrowTemplate(const QString &value)
{
    setValue(QStringLiteral("Browser/Template"), value);
}

int Preferences::logShow()
{
    return getInt(QStringLiteral("Log/Show"), 0);
}

void Preferences::setLogShow(int value)
{
    setValue(QStringLiteral("Log/Show"), storedInt(value));
}

double Preferences::logFontPointSize()
{
    return getReal(QStringLiteral("Log/FontPointSize"), 12.0);
}

void Preferences::setLogFontPointSize(double value)
{
    setValue(QStringLiteral("Log/FontPointSize"), value);
}

QString Preferences::logFontFamily()
{
    return getString(QStringLiteral("Log/FontFamily"), QStringLiteral("Lucida Grande"));
}

void Preferences::setLogFontFamily(const QString &value)
{
    setValue(QStringLiteral("Log/FontFamily"), value);
}
