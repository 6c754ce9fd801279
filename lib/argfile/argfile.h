#ifndef TRAXO_ARGFILE_H
#define TRAXO_ARGFILE_H

#include "argfile/wsfile.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace traxo {

// One workflow step that traxoadd is to append: its texts, the document
// properties, the containers to write and the step's files. It renders itself
// as the tool's command line; ArgfileReader fills it from one.
class ArgFile
{
public:
    enum Verbosity { Quiet = 0, Normal = 1, Verbose = 2 };

    ArgFile() = default;
    ArgFile(const QString &outputTraxofile, const QString &rootfile);

    bool operator==(const ArgFile &other) const;
    bool operator!=(const ArgFile &other) const { return !(*this == other); }

    QString title() const { return m_title; }
    QString description() const { return m_description; }
    QString comment() const { return m_comment; }
    QString tool() const { return m_tool; }
    QString toolpath() const { return m_toolpath; }
    QString host() const { return m_host; }
    QString user() const { return m_user; }
    QString command() const { return m_command; }
    QString readme() const { return m_readme; }
    QString firstpage() const { return m_firstpage; }
    QString rootfile() const { return m_rootfile; }
    QString pdfTitle() const { return m_pdfTitle; }
    QString pdfProducer() const { return m_pdfProducer; }
    QString pdfCreator() const { return m_pdfCreator; }
    QString pdfAuthor() const { return m_pdfAuthor; }
    QString pdfKeywords() const { return m_pdfKeywords; }
    QString pdfSubject() const { return m_pdfSubject; }

    void setTitle(const QString &text) { m_title = text; }
    void setDescription(const QString &text) { m_description = text; }
    void setComment(const QString &text) { m_comment = text; }
    void setTool(const QString &text) { m_tool = text; }
    void setToolpath(const QString &text) { m_toolpath = text; }
    void setHost(const QString &text) { m_host = text; }
    void setUser(const QString &text) { m_user = text; }
    void setCommand(const QString &text) { m_command = text; }
    void setReadme(const QString &text) { m_readme = text; }
    void setFirstpage(const QString &text) { m_firstpage = text; }
    void setRootfile(const QString &text) { m_rootfile = text; }
    void setPdfTitle(const QString &text) { m_pdfTitle = text; }
    void setPdfProducer(const QString &text) { m_pdfProducer = text; }
    void setPdfCreator(const QString &text) { m_pdfCreator = text; }
    void setPdfAuthor(const QString &text) { m_pdfAuthor = text; }
    void setPdfKeywords(const QString &text) { m_pdfKeywords = text; }
    void setPdfSubject(const QString &text) { m_pdfSubject = text; }

    bool pretend() const { return m_pretend; }
    bool debugMode() const { return m_debugMode; }
    bool showHelp() const { return m_showHelp; }
    bool showVersion() const { return m_showVersion; }
    bool rootIsOptional() const { return m_rootIsOptional; }
    Verbosity verbosity() const { return m_verbosity; }
    void setPretend(bool on) { m_pretend = on; }
    void setDebugMode(bool on) { m_debugMode = on; }
    void setShowHelp(bool on) { m_showHelp = on; }
    void setShowVersion(bool on) { m_showVersion = on; }
    void setRootIsOptional(bool on) { m_rootIsOptional = on; }
    void setVerbosity(Verbosity verbosity) { m_verbosity = verbosity; }

    // Pointers into the file list stay valid only until the list changes.
    int numFiles() const { return m_files.size(); }
    WSFile *getFile(int i);
    WSFile getConstFile(int i) const;
    WSFile *lastFile();
    WSFile *addFile(const WSFile &file);
    void removeFile(int i);
    void clearFilelist() { m_files.clear(); }

    int numOutputTraxofiles() const { return m_outputTraxofiles.size(); }
    QString outputTraxofile(int i) const { return m_outputTraxofiles.value(i); }
    void addOutputTraxofile(const QString &name) { m_outputTraxofiles << name; }
    void clearOutputTraxofiles() { m_outputTraxofiles.clear(); }
    void clearRootTraxofiles() { m_rootfile.clear(); }

    // Adding a name twice overwrites the value and lists the name twice.
    void addUserAttribute(const QString &name, const QString &value);
    QString userAttribute(const QString &name) const { return m_userAttributes.value(name); }
    QStringList userAttributeKeys() const { return m_userAttributeKeys; }
    void clearUserAttributes();

    // Resets flags and texts; rootfile, files, containers and user
    // attributes stay.
    void clearVariables();

    // "<DelWorkflowStep>container</DelWorkflowStep>" per output container:
    // what traxodel needs to take this step back out again.
    QString getUndoWorkflowStep() const;

    // The whole step as one command line, the files' words last.
    QString toCommandline(bool keepVariables) const;

private:
    QHash<QString, QString> m_userAttributes;
    QStringList m_userAttributeKeys;
    QList<WSFile> m_files;
    QStringList m_outputTraxofiles;
    Verbosity m_verbosity = Normal;
    bool m_rootIsOptional = false;
    bool m_pretend = false;
    bool m_debugMode = false;
    bool m_showHelp = false;
    bool m_showVersion = false;
    QString m_firstpage;
    QString m_readme;
    QString m_rootfile;
    QString m_title;
    QString m_description;
    QString m_comment;
    QString m_tool;
    QString m_toolpath;
    QString m_host;
    QString m_user;
    QString m_command;
    QString m_pdfTitle;
    QString m_pdfProducer;
    QString m_pdfCreator;
    QString m_pdfAuthor;
    QString m_pdfKeywords;
    QString m_pdfSubject;
};

} // namespace traxo

#endif
