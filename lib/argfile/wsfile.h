#ifndef TRAXO_WSFILE_H
#define TRAXO_WSFILE_H

#include <QHash>
#include <QString>
#include <QStringList>

namespace traxo {

// One input or output file of a workflow step as an arg-file describes it:
// where it is, what it is, and how traxoadd is to record it.
class WSFile
{
public:
    enum FilePurpose { Input = 0, Output = 1 };

    WSFile() = default;

    bool operator==(const WSFile &other) const;
    bool operator!=(const WSFile &other) const { return !(*this == other); }

    QString filetype() const { return m_filetype; }
    // The full path: the directory (ending in "/") followed by the name.
    QString filename() const { return m_filepath + m_filename; }
    QString filepath() const { return m_filepath; }
    QString md5File() const { return m_md5File; }
    QString description() const { return m_description; }
    QString comment() const { return m_comment; }
    bool autoMD5() const { return m_autoMD5; }
    bool embed() const { return m_embed; }
    bool optional() const { return m_optional; }
    bool compress() const { return m_compress; }
    bool previewWS() const { return m_previewWS; }
    bool preview() const { return m_preview; }
    bool thumbnail() const { return m_thumbnail; }
    bool thumbnailOnly() const { return m_thumbnailOnly; }
    FilePurpose filePurpose() const { return m_filePurpose; }
    bool inputFile() const { return m_filePurpose == Input; }

    void setFiletype(const QString &filetype) { m_filetype = filetype; }
    void setFilename(const QString &filename) { m_filename = filename; }
    // Stores the directory so that it always ends with "/" ("" becomes "/").
    void setFilepath(const QString &path);
    // Splits a path into directory ("." for a bare name) and file name.
    void setFilenameAndPath(const QString &path);
    void setMD5File(const QString &md5File) { m_md5File = md5File; }
    void setDescription(const QString &description) { m_description = description; }
    void setComment(const QString &comment) { m_comment = comment; }
    void setAutoMD5(bool on) { m_autoMD5 = on; }
    void setEmbed(bool on) { m_embed = on; }
    void setOptional(bool on) { m_optional = on; }
    void setCompress(bool on) { m_compress = on; }
    void setPreviewWS(bool on) { m_previewWS = on; }
    void setPreview(bool on) { m_preview = on; }
    void setThumbnail(bool on) { m_thumbnail = on; }
    void setThumbnailOnly(bool on) { m_thumbnailOnly = on; }
    void setFilePurpose(FilePurpose purpose) { m_filePurpose = purpose; }
    void setInputFile(bool input) { m_filePurpose = input ? Input : Output; }

    // Adding a name twice overwrites the value and lists the name twice.
    void addUserAttribute(const QString &name, const QString &value);
    QString userAttribute(const QString &name) const { return m_userAttributes.value(name); }
    QStringList userAttributeKeys() const { return m_userAttributeKeys; }
    void clearUserAttributes();

    // The words "-i"/"-o" path, attributes, every flag and the user
    // attributes, quoted and joined into one line.
    QString toCommandline(bool keepVariables) const;

private:
    // The file's path as written on the command line.
    QString pathWord() const;

    QString m_filetype;
    QString m_filename;
    QString m_filepath;
    QString m_md5File;
    bool m_autoMD5 = true;
    bool m_embed = true;
    bool m_optional = false;
    bool m_compress = false;
    bool m_previewWS = false;
    bool m_preview = false;
    bool m_thumbnail = false;
    bool m_thumbnailOnly = false;
    FilePurpose m_filePurpose = Input;
    QString m_description;
    QString m_comment;
    QHash<QString, QString> m_userAttributes;
    QStringList m_userAttributeKeys;
};

} // namespace traxo

#endif
