#include "mimetypes.h"

#include <iterator>

namespace {

const char *const fileTypes[] = {
    "application/msword",
    "application/octet-stream",
    "application/pdf",
    "application/postscript",
    "application/vnd.oasis.opendocument.t",
    "application/x-latex",
    "application/x-tex",
    "application/x-gzip",
    "application/zip",
    "binary/Analyze Header",
    "binary/Analyze Image",
    "binary/ECAT Image",
    "binary/Interfile Image",
    "binary/microPET Image",
    "binary/NiFTI Image",
    "image/bmp",
    "image/gif",
    "image/tiff",
    "image/jpg",
    "image/png",
    "text/html",
    "text/Interfile Header",
    "text/microPET Header",
    "text/rtf",
    "text/plain",
    "video/x-msvideo",
    "video/quicktime",
    "xml/Lorpa Project File",
};

struct Extension
{
    const char *extension;
    const char *type;
};

// Searched in order; the first match wins.
const Extension extensions[] = {
    { "DOC", "application/msword" },
    { "EXE", "application/octet-stream" },
    { "PDF", "application/pdf" },
    { "EPS", "application/postscript" },
    { "ODT", "application/vnd.oasis.opendocument.t" },
    { "LATEX", "application/x-latex" },
    { "TEX", "application/x-tex" },
    { "GZIP", "application/x-gzip" },
    { "ZIP", "application/zip" },
    { "BMP", "image/bmp" },
    { "GIF", "image/gif" },
    { "TIF", "image/tiff" },
    { "TIFF", "image/tiff" },
    { "JPG", "image/jpg" },
    { "JPEG", "image/jpg" },
    { "PNG", "image/png" },
    { "HTM", "text/html" },
    { "HTML", "text/html" },
    { "RTF", "text/rtf" },
    { "TXT", "text/plain" },
    { "AVI", "video/x-msvideo" },
    { "MOV", "video/quicktime" },
};

} // namespace

int Mimetypes::getTypeCount()
{
    return int(std::size(fileTypes));
}

QString Mimetypes::getType(int i)
{
    if (i < 0 || i >= getTypeCount())
        return QString();
    return QString::fromLatin1(fileTypes[i]);
}

bool Mimetypes::isKnownMimeType(const QString &text)
{
    for (const char *type : fileTypes) {
        if (text == QLatin1String(type))
            return true;
    }
    return false;
}

QString Mimetypes::guessMimeType(const QString &fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return QString();
    const QString extension = fileName.mid(dot + 1);
    for (const Extension &entry : extensions) {
        if (extension.compare(QLatin1String(entry.extension), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(entry.type);
    }
    return QString();
}
