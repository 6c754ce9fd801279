#include "summary/summary.h"

namespace traxo {

bool operator==(const FileSummary &a, const FileSummary &b)
{
    return a.TagID == b.TagID && a.Filename == b.Filename && a.Filepath == b.Filepath && a.Filetype == b.Filetype
        && a.Description == b.Description && a.Comment == b.Comment && a.LastModified == b.LastModified
        && a.GenerateMD5 == b.GenerateMD5 && a.Embedded == b.Embedded && a.Preview == b.Preview
        && a.PreviewWS == b.PreviewWS && a.Thumbnail == b.Thumbnail && a.ThumbnailOnly == b.ThumbnailOnly
        && a.UncompressedSize == b.UncompressedSize && a.UncompressedMD5 == b.UncompressedMD5
        && a.CompressedMethod == b.CompressedMethod && a.CompressedSize == b.CompressedSize
        && a.CompressedMD5 == b.CompressedMD5 && a.userAttributeValues == b.userAttributeValues
        && a.userAttributeUnits == b.userAttributeUnits && a.userAttributeKeys == b.userAttributeKeys
        && a.FilePurpose == b.FilePurpose;
}

bool operator==(const Workflowstep &a, const Workflowstep &b)
{
    return a.TagID == b.TagID && a.TraxoRootFile == b.TraxoRootFile && a.Timestamp == b.Timestamp && a.Title == b.Title
        && a.Description == b.Description && a.Comment == b.Comment && a.Command == b.Command && a.Tool == b.Tool
        && a.ToolPath == b.ToolPath && a.Host == b.Host && a.User == b.User && a.Creator == b.Creator
        && a.PDFTitle == b.PDFTitle && a.PDFAuthor == b.PDFAuthor && a.PDFSubject == b.PDFSubject
        && a.PDFKeywords == b.PDFKeywords && a.PDFProducer == b.PDFProducer && a.PDFCreator == b.PDFCreator
        && a.files == b.files && a.userAttributeValues == b.userAttributeValues
        && a.userAttributeUnits == b.userAttributeUnits && a.userAttributeKeys == b.userAttributeKeys;
}

bool operator==(const Summary &a, const Summary &b)
{
    return static_cast<const Workflowstep &>(a) == static_cast<const Workflowstep &>(b)
        && a.md5Signature == b.md5Signature && a.valid == b.valid;
}

} // namespace traxo
