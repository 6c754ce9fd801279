#include "argfile/wsfile.h"

#include "argfile/quoting.h"

#include <QDir>
#include <QFileInfo>

namespace traxo {

bool WSFile::operator==(const WSFile &other) const
{
    return m_filetype == other.m_filetype && m_filename == other.m_filename && m_filepath == other.m_filepath
        && m_md5File == other.m_md5File && m_autoMD5 == other.m_autoMD5 && m_embed == other.m_embed
        && m_optional == other.m_optional && m_compress == other.m_compress && m_previewWS == other.m_previewWS
        && m_preview == other.m_preview && m_thumbnail == other.m_thumbnail && m_thumbnailOnly == other.m_thumbnailOnly
        && m_filePurpose == other.m_filePurpose && m_description == other.m_description && m_comment == other.m_comment
        && m_userAttributes == other.m_userAttributes && m_userAttributeKeys == other.m_userAttributeKeys;
}

void WSFile::setFilepath(const QString &path)
{
    m_filepath = path;
    if (!m_filepath.endsWith(QLatin1Char('/')))
        m_filepath += QLatin1Char('/');
}

void WSFile::setFilenameAndPath(const QString &path)
{
    const QFileInfo info(path);
    setFilepath(info.path());
    m_filename = info.fileName();
}

void WSFile::addUserAttribute(const QString &name, const QString &value)
{
    m_userAttributes.insert(name, value);
    m_userAttributeKeys << name;
}

void WSFile::clearUserAttributes()
{
    m_userAttributes.clear();
    m_userAttributeKeys.clear();
}

QString WSFile::pathWord() const
{
    // A path ending in "/" has no name part; QFileInfo would drop the slash
    // and the word would read back as a file of that name.
    if (m_filename.isEmpty() && !m_filepath.isEmpty())
        return m_filepath;
    const QDir dir(m_filepath);
    // Qt takes a name beginning with ":" for a resource path and would drop
    // the directory; on disk it is an ordinary relative name.
    if (m_filename.startsWith(QLatin1Char(':'))) {
        const QString dirPath = dir.path();
        return dirPath.endsWith(QLatin1Char('/')) ? dirPath + m_filename : dirPath + QLatin1Char('/') + m_filename;
    }
    return QFileInfo(dir, m_filename).filePath();
}

QString WSFile::toCommandline(bool keepVariables) const
{
    QStringList words;
    words << (m_filePurpose == Input ? QStringLiteral("-i") : QStringLiteral("-o"));
    words << pathWord();

    const QString attr = QStringLiteral("-a");
    appendAttributeToList(m_filetype, attr, QStringLiteral("filetype"), words);
    appendAttributeToList(m_description, attr, QStringLiteral("description"), words);
    appendAttributeToList(m_comment, attr, QStringLiteral("comment"), words);
    appendAttributeToList(m_md5File, attr, QStringLiteral("md5file"), words);

    const QString flag = QStringLiteral("-f");
    appendFlagToList(m_optional, flag, QStringLiteral("optional"), words);
    appendFlagToList(m_compress, flag, QStringLiteral("compress"), words);
    appendFlagToList(m_embed, flag, QStringLiteral("embed"), words);
    appendFlagToList(m_autoMD5, flag, QStringLiteral("automd5"), words);
    appendFlagToList(m_previewWS, flag, QStringLiteral("previewws"), words);
    appendFlagToList(m_preview, flag, QStringLiteral("preview"), words);
    appendFlagToList(m_thumbnail, flag, QStringLiteral("thumbnail"), words);
    appendFlagToList(m_thumbnailOnly, flag, QStringLiteral("thumbnailonly"), words);

    for (const QString &name : m_userAttributeKeys)
        appendAttributeToList(userAttribute(name), QStringLiteral("-u"), name, words);
    return joinCommandlineWords(words, keepVariables);
}

} // namespace traxo
