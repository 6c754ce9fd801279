#include "argfile/argfile.h"

#include "argfile/quoting.h"

namespace traxo {

ArgFile::ArgFile(const QString &outputTraxofile, const QString &rootfile)
    : m_outputTraxofiles { outputTraxofile }
    , m_rootfile(rootfile)
{
}

bool ArgFile::operator==(const ArgFile &other) const
{
    return m_userAttributes == other.m_userAttributes && m_userAttributeKeys == other.m_userAttributeKeys
        && m_files == other.m_files && m_outputTraxofiles == other.m_outputTraxofiles
        && m_verbosity == other.m_verbosity && m_rootIsOptional == other.m_rootIsOptional
        && m_pretend == other.m_pretend && m_debugMode == other.m_debugMode && m_showHelp == other.m_showHelp
        && m_showVersion == other.m_showVersion && m_firstpage == other.m_firstpage && m_readme == other.m_readme
        && m_rootfile == other.m_rootfile && m_title == other.m_title && m_description == other.m_description
        && m_comment == other.m_comment && m_tool == other.m_tool && m_toolpath == other.m_toolpath
        && m_host == other.m_host && m_user == other.m_user && m_command == other.m_command
        && m_pdfTitle == other.m_pdfTitle && m_pdfProducer == other.m_pdfProducer && m_pdfCreator == other.m_pdfCreator
        && m_pdfAuthor == other.m_pdfAuthor && m_pdfKeywords == other.m_pdfKeywords
        && m_pdfSubject == other.m_pdfSubject;
}

WSFile *ArgFile::getFile(int i)
{
    if (i < 0 || i >= m_files.size())
        return nullptr;
    return &m_files[i];
}

WSFile ArgFile::getConstFile(int i) const
{
    return m_files.value(i);
}

WSFile *ArgFile::lastFile()
{
    return m_files.isEmpty() ? nullptr : &m_files.last();
}

WSFile *ArgFile::addFile(const WSFile &file)
{
    m_files.append(file);
    return &m_files.last();
}

void ArgFile::removeFile(int i)
{
    if (i >= 0 && i < m_files.size())
        m_files.removeAt(i);
}

void ArgFile::addUserAttribute(const QString &name, const QString &value)
{
    m_userAttributes.insert(name, value);
    m_userAttributeKeys << name;
}

void ArgFile::clearUserAttributes()
{
    m_userAttributes.clear();
    m_userAttributeKeys.clear();
}

void ArgFile::clearVariables()
{
    m_verbosity = Normal;
    m_rootIsOptional = false;
    m_pretend = false;
    m_debugMode = false;
    m_showHelp = false;
    m_showVersion = false;
    for (QString *text :
        { &m_firstpage, &m_readme, &m_title, &m_description, &m_comment, &m_tool, &m_toolpath, &m_host, &m_user,
            &m_command, &m_pdfTitle, &m_pdfProducer, &m_pdfCreator, &m_pdfAuthor, &m_pdfKeywords, &m_pdfSubject })
        text->clear();
}

QString ArgFile::getUndoWorkflowStep() const
{
    QString undo;
    for (const QString &container : m_outputTraxofiles)
        undo += QStringLiteral("<DelWorkflowStep>%1</DelWorkflowStep>").arg(container);
    return undo;
}

QString ArgFile::toCommandline(bool keepVariables) const
{
    QStringList words;
    if (m_verbosity == Quiet)
        words << QStringLiteral("--quiet");
    else if (m_verbosity == Verbose)
        words << QStringLiteral("--verbose");
    if (m_pretend)
        words << QStringLiteral("--pretend");
    if (m_debugMode)
        words << QStringLiteral("--debug");
    if (m_showHelp)
        words << QStringLiteral("--help");
    if (m_showVersion)
        words << QStringLiteral("--version");
    if (!m_firstpage.isEmpty())
        words << QStringLiteral("--firstpage") << m_firstpage;
    if (!m_readme.isEmpty())
        words << QStringLiteral("--readme") << m_readme;
    for (const QString &container : m_outputTraxofiles)
        words << QStringLiteral("-O") << container;
    if (!m_rootfile.isEmpty())
        words << (m_rootIsOptional ? QStringLiteral("-J") : QStringLiteral("-I")) << m_rootfile;

    const QString step = QStringLiteral("-s");
    appendAttributeToList(m_title, step, QStringLiteral("title"), words);
    appendAttributeToList(m_description, step, QStringLiteral("description"), words);
    appendAttributeToList(m_comment, step, QStringLiteral("comment"), words);
    appendAttributeToList(m_tool, step, QStringLiteral("tool"), words);
    appendAttributeToList(m_toolpath, step, QStringLiteral("toolpath"), words);
    appendAttributeToList(m_host, step, QStringLiteral("host"), words);
    appendAttributeToList(m_user, step, QStringLiteral("user"), words);
    appendAttributeToList(m_command, step, QStringLiteral("command"), words);

    const QString doc = QStringLiteral("-d");
    appendAttributeToList(m_pdfTitle, doc, QStringLiteral("title"), words);
    appendAttributeToList(m_pdfProducer, doc, QStringLiteral("producer"), words);
    appendAttributeToList(m_pdfCreator, doc, QStringLiteral("creator"), words);
    appendAttributeToList(m_pdfAuthor, doc, QStringLiteral("author"), words);
    appendAttributeToList(m_pdfKeywords, doc, QStringLiteral("keywords"), words);
    appendAttributeToList(m_pdfSubject, doc, QStringLiteral("subject"), words);

    for (const QString &name : m_userAttributeKeys)
        appendAttributeToList(userAttribute(name), QStringLiteral("-U"), name, words);

    QString line = joinCommandlineWords(words, keepVariables);
    for (const WSFile &file : m_files)
        line += QLatin1Char(' ') + file.toCommandline(keepVariables);
    return line;
}

} // namespace traxo
