#ifndef TRAXO_PREFERENCES_H
#define TRAXO_PREFERENCES_H

#include <QString>
#include <QVariant>

// What to do automatically, for validation and extraction.
enum ActionChoice { ActionAlways = 0, ActionNever = 1, ActionDependsOnSize = 2 };
// Buffer size of the background validation.
enum SizeChoice { SizeSmall = 0, SizeMedium = 1, SizeLarge = 2 };

// Typed access to the viewer's persistent settings. Every call opens the
// settings store of VSettings afresh, so windows always see what another
// window stored last; a missing key gives its default.
class Preferences
{
public:
    static int getInt(const QString &key, unsigned int defaultValue);
    static double getReal(const QString &key, double defaultValue);
    static QString getString(const QString &key, const QString &defaultValue);
    static void setValue(const QString &key, const QVariant &value);

    static int extrDefaultDirectory();
    static void setExtrDefaultDirectory(int value);
    static QString extrLastDirectory();
    static void setExtrLastDirectory(const QString &value);
    static int extrVAELimit();
    static void setExtrVAELimit(int value);
    static int extrValidateAfter();
    static void setExtrValidateAfter(int value);
    static int extrNumberFiles();
    static void setExtrNumberFiles(int value);
    static int extrValidateFiles();
    static void setExtrValidateFiles(int value);
    static int extrAskBeforeOverwrite();
    static void setExtrAskBeforeOverwrite(int value);
    // The stored directory when the user chose to use it, else the home folder.
    static QString extrDirectory();

    static int valASVLimit();
    static void setValASVLimit(int value);
    static int valAutomaticSectionValidation();
    static void setValAutomaticSectionValidation(int value);
    static int valAFVLimit();
    static void setValAFVLimit(int value);
    static int valAutomaticFileValidation();
    static void setValAutomaticFileValidation(int value);
    static int valPerformance();
    static void setValPerformance(int value);

    static int browZoomLevel();
    static void setBrowZoomLevel(int value);
    static QString browTemplate();
    static void setBrowTemplate(const QString &value);

    static int logShow();
    static void setLogShow(int value);
    static double logFontPointSize();
    static void setLogFontPointSize(double value);
    static QString logFontFamily();
    static void setLogFontFamily(const QString &value);
};

#endif
