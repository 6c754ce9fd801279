#include "shared/parsetemplate.h"

#include "shared/textformat.h"
#include "shared/traxobenchinfo.h"
#include "summary/summaryreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTemplate, "traxo.template", QtWarningMsg)

const QString ParseTemplate::m_szMarker = QStringLiteral("<!-- #");
const int ParseTemplate::m_iLenMarker = 6;
const QString ParseTemplate::m_szMEND = QStringLiteral(" -->");
const int ParseTemplate::m_iLenMEND = 4;
const QString ParseTemplate::m_szIFDEF = QStringLiteral("ifdef");
const QString ParseTemplate::m_szIFNDEF = QStringLiteral("ifndef");
const QString ParseTemplate::m_szIFEQUAL = QStringLiteral("ifequal");
const QString ParseTemplate::m_szELSE = QStringLiteral("else");
const QString ParseTemplate::m_szENDIF = QStringLiteral("endif");
const QString ParseTemplate::m_szBEGINBLOCK = QStringLiteral("begin");
const QString ParseTemplate::m_szENDBLOCK = QStringLiteral("end");
const QString ParseTemplate::m_szBracketOpen = QStringLiteral("(");
const QString ParseTemplate::m_szBracketClose = QStringLiteral(")");
const QString ParseTemplate::m_szEVENODDBEGIN = QStringLiteral("evenodd begin");
const QString ParseTemplate::m_szEVENODDEND = QStringLiteral("evenodd end");
const QString ParseTemplate::m_szEVEN = QStringLiteral("even");
const QString ParseTemplate::m_szODD = QStringLiteral("odd");
const QString ParseTemplate::m_szESCAPEBEGIN = QStringLiteral("escape begin");
const QString ParseTemplate::m_szESCAPEEND = QStringLiteral("escape end");
const QString ParseTemplate::m_szMAINBLOCKNAME = QStringLiteral("__main__");
const QString ParseTemplate::m_szFILESBLOCKNAME = QStringLiteral("__files__");
const QString ParseTemplate::m_szUSERATTRBLOCKNAME = QStringLiteral("__userattributes__");
const QString ParseTemplate::m_szUSERFILEATTRBLOCKNAME = QStringLiteral("__userfileattributes__");
const QString ParseTemplate::m_szPREVIEWWSBLOCKNAME = QStringLiteral("__previewsWS__");
const QString ParseTemplate::m_szPREVIEWFILEBLOCKNAME = QStringLiteral("__previewsFile__");
const QString ParseTemplate::m_szTOPBLOCKNAME = QStringLiteral("__top__");
const QString ParseTemplate::m_szBOTTOMBLOCKNAME = QStringLiteral("__bottom__");
const QString ParseTemplate::m_szDUMPALLBLOCKNAME = QStringLiteral("__dumpall__");
const QString ParseTemplate::m_szDUMPENTRYBLOCKNAME = QStringLiteral("__dumpentry__");
const QString ParseTemplate::m_szKeywordRegex = QStringLiteral("(\\$[A-Za-z_0-9#\\[\\*\\]]+)");
const QString ParseTemplate::m_szKeywordEvenOdd = QStringLiteral("$EVENODD");
const QString ParseTemplate::m_szKeywordUserKey = QStringLiteral("$USRKEY");

namespace {

const QString kTrue = QStringLiteral("TRUE");

// Summaries keep the entities they were written with; the variables hold the
// recorded text, which the escape switch makes safe for HTML exactly once.
QString recorded(const QString &text)
{
    return traxo::SummaryReader::decodeText(text);
}
const QString kFirstIndex = QStringLiteral("[*]");
const QString kSecondIndex = QStringLiteral("[**]");

const QRegularExpression &keywordRegex()
{
    static const QRegularExpression regex(ParseTemplate::m_szKeywordRegex);
    return regex;
}

// Offset and length of every $NAME in a text, left to right.
QVector<QPair<int, int>> findKeywords(const QString &text)
{
    QVector<QPair<int, int>> spans;
    if (!text.contains(QLatin1Char('$')))
        return spans;
    QRegularExpressionMatchIterator it = keywordRegex().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        spans.append(qMakePair(int(match.capturedStart()), int(match.capturedLength())));
    }
    return spans;
}

// A keyword counts only as a whole word: "endif" is not "end", and "endfoo"
// is no directive the parser knows.
bool startsWithKeyword(const QString &text, int pos, const QString &keyword)
{
    if (QStringView(text).mid(pos, keyword.size()) != keyword)
        return false;
    const int after = pos + keyword.size();
    if (after >= text.size())
        return true;
    const QChar next = text.at(after);
    return next == QLatin1Char(' ') || next == QLatin1Char('(') || text.mid(after).startsWith(ParseTemplate::m_szMEND);
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString sizeText(qint64 size)
{
    return size < 0 ? QString() : QString::number(size);
}

QString tagText(int tagId)
{
    return tagId < 0 ? QString() : QString::number(tagId);
}

QString indexed(const QString &name, int i)
{
    return name + QLatin1Char('[') + QString::number(i) + QLatin1Char(']');
}

QString indexed(const QString &name, int i, int k)
{
    return indexed(name, i) + QLatin1Char('[') + QString::number(k) + QLatin1Char(']');
}

// Attribute keys in document order; keys only the value table knows follow in
// sorted order, so no attribute of a hand-made record goes missing.
QStringList attributeKeys(const QStringList &keys, const QHash<QString, QString> &values)
{
    QStringList result = keys;
    QStringList extra;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!keys.contains(it.key()))
            extra << it.key();
    }
    std::sort(extra.begin(), extra.end());
    return result + extra;
}

QString thumbnailIcon(const QString &filetype)
{
    const QString type = filetype.toLower();
    QString icon = QStringLiteral("icon-file-32.png");
    if (type.contains(QLatin1String("txt")))
        icon = QStringLiteral("icon-txt-32.png");
    if (type.contains(QLatin1String("ecat")))
        icon = QStringLiteral("icon-pet-32.png");
    if (type.contains(QLatin1String("pdf")))
        icon = QStringLiteral("icon-pdf-32.png");
    if (type.contains(QLatin1String("xml")))
        icon = QStringLiteral("icon-txt-32.png");
    return icon;
}

QString seconds(const QElapsedTimer &timer)
{
    return QString::number(timer.nsecsElapsed() / 1e9, 'f', 2);
}

} // namespace

QString makeSectionAnchor(int sectionId)
{
    return QStringLiteral("sec:%1").arg(sectionId);
}

QString makeFileAnchor(int sectionId, int fileIndex)
{
    return QStringLiteral("file:%1:%2").arg(sectionId).arg(fileIndex);
}

ParseTemplate::ParseTemplate(QObject *listener)
    : traxo::LogSource(listener)
{
}

ParseTemplate::~ParseTemplate()
{
    cleanup();
}

void ParseTemplate::cleanup()
{
    m_blocksByName.clear();
    m_blocks.clear();
    m_depth = 0;
}

bool ParseTemplate::loadTemplateFile(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    qCDebug(lcTemplate) << "reading template file:" << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emitLog(
            QStringLiteral("*** ERROR: template file: %1 could not be opened for reading.").arg(path), traxo::LogError);
        cleanup();
        return false;
    }
    const bool parsed = parseTemplate(QString::fromUtf8(file.readAll()));
    if (parsed)
        emitLog(QStringLiteral("[loadTemplateFile] finished in: %1s").arg(seconds(timer)));
    else
        emitLog(QStringLiteral("*** ERROR: template file: %1 could not be parsed.").arg(path), traxo::LogError);
    return parsed;
}

bool ParseTemplate::parseTemplate(const QString &templateText)
{
    m_template = templateText;
    // Half a template would render as if it were whole: after a syntax error
    // every block is gone, and a rendering shows only the missing-block errors.
    const bool parsed = parser();
    if (!parsed)
        cleanup();
    return parsed;
}

bool ParseTemplate::parser()
{
    cleanup();
    auto main = std::make_unique<Block>();
    main->name = m_szMAINBLOCKNAME;
    m_blocksByName.insert(main->name, main.get());
    m_blocks.push_back(std::move(main));
    m_depth = 0;

    int pos = 0;
    for (;;) {
        const int markerPos = m_template.indexOf(m_szMarker, pos);
        if (markerPos < 0) {
            // A template may end right after its last directive: the empty
            // rest is simply one more (empty) content node.
            addContentNode(pos, m_template.size());
            return true;
        }
        addContentNode(pos, markerPos);

        const int keywordPos = markerPos + m_iLenMarker;
        const int directiveEnd = m_template.indexOf(m_szMEND, keywordPos);
        Block *current = m_blocks[m_depth].get();

        if (startsWithKeyword(m_template, keywordPos, m_szBEGINBLOCK)) {
            if (!addNamedBlock(markerPos, directiveEnd, &pos))
                return false;
            continue;
        }
        if (directiveEnd < 0) {
            qCDebug(lcTemplate).noquote() << "[addMarker]" << QLatin1Char('"') + m_szMEND + QLatin1Char('"')
                                          << "not found after pos:" << markerPos;
            return false;
        }
        if (startsWithKeyword(m_template, keywordPos, m_szIFDEF)
            || startsWithKeyword(m_template, keywordPos, m_szIFNDEF)
            || startsWithKeyword(m_template, keywordPos, m_szIFEQUAL)) {
            addDirectiveNode(markerPos, directiveEnd);
            ++current->level;
        } else if (startsWithKeyword(m_template, keywordPos, m_szENDIF)) {
            addDirectiveNode(markerPos, directiveEnd);
            --current->level;
        } else {
            addDirectiveNode(markerPos, directiveEnd);
            if (startsWithKeyword(m_template, keywordPos, m_szENDBLOCK)) {
                --m_depth;
                if (m_depth < 0) {
                    qCDebug(lcTemplate) << "[parser] iblock < 0: syntax error with named Groups"
                                        << "around markerpos:" << markerPos;
                    m_depth = 0;
                    return false;
                }
            }
        }
        pos = directiveEnd + m_iLenMEND;
    }
}

void ParseTemplate::addContentNode(int from, int to)
{
    Block *current = m_blocks[m_depth].get();
    HNode node;
    node.level = current->level;
    node.start = from;
    node.end = to;
    node.content = m_template.mid(from, to - from).trimmed();
    if (!node.content.isEmpty())
        node.content += QLatin1Char('\n');
    node.keywords = findKeywords(node.content);
    current->nodes.push_back(std::move(node));
}

void ParseTemplate::addDirectiveNode(int markerPos, int endPos)
{
    Block *current = m_blocks[m_depth].get();
    HNode node;
    node.level = current->level;
    node.start = markerPos;
    node.end = endPos + m_iLenMEND;
    const int keywordPos = markerPos + m_iLenMarker;
    node.directive = m_template.mid(keywordPos, endPos - keywordPos);
    node.words = node.directive.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    current->nodes.push_back(std::move(node));
}

bool ParseTemplate::addNamedBlock(int markerPos, int directiveEnd, int *resumePos)
{
    // The name's brackets must lie inside the directive itself, or a begin
    // without a name would borrow the brackets of a later directive.
    const int limit = directiveEnd < 0 ? m_template.size() : directiveEnd;
    const int open = m_template.indexOf(m_szBracketOpen, markerPos);
    if (open < 0 || open >= limit) {
        qCDebug(lcTemplate) << "[addNamedBlock] szBracketOpen not found after pos:" << markerPos;
        return false;
    }
    const int close = m_template.indexOf(m_szBracketClose, open + 1);
    if (close < 0 || close >= limit) {
        qCDebug(lcTemplate) << "[addNamedBlock] szBracketClose not found after pos:" << markerPos;
        return false;
    }
    if (directiveEnd < 0) {
        qCDebug(lcTemplate).noquote() << "[addNamedBlock]" << QLatin1Char('"') + m_szMEND + QLatin1Char('"')
                                      << "not found in szTemplate";
        return false;
    }

    auto block = std::make_unique<Block>();
    block->name = m_template.mid(open + 1, close - open - 1);
    Block *raw = block.get();
    m_blocks.insert(m_blocks.begin() + m_depth + 1, std::move(block));
    ++m_depth;
    m_blocksByName.insert(raw->name, raw);

    addDirectiveNode(markerPos, directiveEnd);
    raw->nodes.back().beginEnd = directiveEnd + m_iLenMEND;
    *resumePos = directiveEnd + m_iLenMEND;
    return true;
}

QString ParseTemplate::expandKeyword(const QString &keyword, const Variables &indexVars) const
{
    // Hand-written rather than a regular expression: this runs for every
    // indexed variable of every row, and the pattern is only "[" "*"+ "]".
    if (!keyword.contains(QLatin1Char('[')))
        return keyword;
    QString result;
    result.reserve(keyword.size() + 8);
    const int size = keyword.size();
    int copied = 0;
    for (int i = 0; i < size; ++i) {
        if (keyword.at(i) != QLatin1Char('['))
            continue;
        int j = i + 1;
        while (j < size && keyword.at(j) == QLatin1Char('*'))
            ++j;
        if (j == i + 1 || j >= size || keyword.at(j) != QLatin1Char(']'))
            continue;
        const QString key = keyword.mid(i, j - i + 1);
        const auto found = indexVars.constFind(key);
        result += QStringView(keyword).mid(copied, i - copied);
        result += QLatin1Char('[');
        result += found != indexVars.cend() ? found.value() : QStringLiteral("%1 NOT FOUND").arg(key);
        result += QLatin1Char(']');
        copied = j + 1;
        i = j;
    }
    result += QStringView(keyword).mid(copied);
    return result;
}

QString ParseTemplate::expandContents(const QString &text, const Variables &indexVars)
{
    return expandText(text, indexVars, m_escapeOn);
}

QString ParseTemplate::expandText(const QString &text, const Variables &indexVars, bool escape)
{
    QString result;
    appendExpansion(&result, text, findKeywords(text), indexVars, escape);
    return result;
}

void ParseTemplate::appendExpansion(
    QString *out, QStringView text, const QVector<QPair<int, int>> &keywords, const Variables &indexVars, bool escape)
{
    int last = 0;
    for (const auto &span : keywords) {
        out->append(text.mid(last, span.first - last));
        appendKeyword(out, text.mid(span.first, span.second), indexVars, escape);
        last = span.first + span.second;
    }
    out->append(text.mid(last));
}

void ParseTemplate::appendKeyword(QString *out, QStringView keyword, const Variables &indexVars, bool escape)
{
    const QString name = expandKeyword(keyword.toString(), indexVars);
    if (m_evenOddOn && name == m_szKeywordEvenOdd) {
        out->append(m_evenOddPhaseOdd ? m_szODD : m_szEVEN);
        m_evenOddPhaseOdd = !m_evenOddPhaseOdd;
        return;
    }
    const auto found = m_variables.constFind(name);
    if (found == m_variables.cend()) {
        out->append(QLatin1String("<i>"));
        out->append(name);
        out->append(QLatin1String("</i>"));
    } else {
        out->append(escape ? escapeHtml(found.value()) : found.value());
    }
}

QString ParseTemplate::showBlock(const QString &blockName, const QString &indexKey, int count, Variables indexVars)
{
    // A block that shows itself, directly or through another block, would
    // recurse until the stack runs out.
    if (m_blocksBeingShown.contains(blockName))
        return QStringLiteral("*** ERROR: Block \"%1\" shows itself.").arg(blockName);
    m_blocksBeingShown.insert(blockName);
    QString result;
    for (int i = 0; i < count; ++i) {
        indexVars.insert(indexKey, QString::number(i));
        result += generateOneBlock(blockName, indexVars, true);
    }
    m_blocksBeingShown.remove(blockName);
    return result;
}

QString ParseTemplate::generateOneBlock(const QString &blockName, const Variables &indexVars, bool nested)
{
    const Block *block = m_blocksByName.value(blockName);
    if (!block)
        return QStringLiteral("*** ERROR: Block \"%1\" not found.").arg(blockName);
    if (!nested) {
        m_evenOddOn = false;
        m_escapeOn = false;
    }
    // A nested block may switch escaping for itself; the caller's mode holds
    // again after it.
    const bool escapeOnEntry = m_escapeOn;

    QString result;
    int passDepth = 0;
    for (const HNode &node : block->nodes) {
        if (node.level == 0)
            passDepth = 0;
        const bool active = passDepth >= node.level;
        qCDebug(lcTemplate).noquote() << QLatin1Char('"') + (node.isContent() ? node.content : node.directive)
                + QLatin1Char('"')
                                      << "if/pass:" << node.level << passDepth;

        if (node.isContent()) {
            if (active)
                appendExpansion(&result, node.content, node.keywords, indexVars, m_escapeOn);
            continue;
        }

        const QStringList &words = node.words;
        const QString keyword = words.value(0);
        if (keyword == m_szELSE) {
            // The taken branch closes at its else; a failed condition opens
            // the else branch only when every enclosing condition passed.
            if (passDepth == node.level)
                --passDepth;
            else if (passDepth == node.level - 1)
                ++passDepth;
            continue;
        }
        if (!active)
            continue;

        const QString normalized = words.join(QLatin1Char(' '));
        if (keyword == m_szENDIF) {
            --passDepth;
        } else if (keyword == m_szIFDEF || keyword == m_szIFNDEF) {
            if (words.size() != 2) {
                const QString error = QStringLiteral("*** ERROR: [%1] needs one parameter: $keyword\n").arg(keyword);
                qCDebug(lcTemplate).noquote() << error;
                m_escapeOn = escapeOnEntry;
                return error;
            }
            const bool empty = m_variables.value(expandKeyword(words.at(1), indexVars)).isEmpty();
            if ((keyword == m_szIFDEF) != empty)
                ++passDepth;
        } else if (keyword == m_szIFEQUAL) {
            if (words.size() != 3) {
                const QString error = QStringLiteral("*** ERROR: [ifequal] needs parameters: $keyword test");
                qCDebug(lcTemplate).noquote() << error;
                m_escapeOn = escapeOnEntry;
                return error;
            }
            if (expandText(words.at(1), indexVars, false) == words.at(2))
                ++passDepth;
        } else if (normalized == m_szEVENODDBEGIN) {
            m_evenOddOn = true;
            m_evenOddPhaseOdd = true;
        } else if (normalized == m_szEVENODDEND) {
            m_evenOddOn = false;
        } else if (normalized == m_szESCAPEBEGIN) {
            m_escapeOn = true;
        } else if (normalized == m_szESCAPEEND) {
            m_escapeOn = false;
        } else if (node.directive == QLatin1String("showblock(__files__)")) {
            result += showBlock(m_szFILESBLOCKNAME, kFirstIndex, m_numFiles, indexVars);
        } else if (node.directive == QLatin1String("showblock(__userattributes__)")) {
            result += showBlock(m_szUSERATTRBLOCKNAME, kSecondIndex, m_numUserAttributes, indexVars);
        } else if (node.directive == QLatin1String("showblock(__previewsWS__)")) {
            result += showBlock(m_szPREVIEWWSBLOCKNAME, kSecondIndex, m_numWSPreviews, indexVars);
        } else if (node.directive == QLatin1String("showblock(__userfileattributes__)")) {
            bool ok = false;
            const int file = indexVars.value(kFirstIndex).toInt(&ok);
            const int count = ok ? m_fileUserAttributeCounts.value(file, 0) : 0;
            result += showBlock(m_szUSERFILEATTRBLOCKNAME, kSecondIndex, count, indexVars);
        } else if (node.directive == QLatin1String("showblock(__previewsFile__)")) {
            bool ok = false;
            const int file = indexVars.value(kFirstIndex).toInt(&ok);
            const int count = ok ? m_filePreviewCounts.value(file, 0) : 0;
            result += showBlock(m_szPREVIEWFILEBLOCKNAME, kSecondIndex, count, indexVars);
        }
        // Any other directive (begin, end, unknown words) renders nothing.
    }
    if (nested)
        m_escapeOn = escapeOnEntry;
    return result;
}

void ParseTemplate::setDocumentVariables(const QString &containerPath, bool generatePDF, bool withContainerFacts)
{
    for (auto it = m_documentVariables.cbegin(); it != m_documentVariables.cend(); ++it)
        m_variables.insert(it.key(), it.value());
    if (generatePDF)
        m_variables.insert(QStringLiteral("$ISPDFGEN"), kTrue);
    if (!withContainerFacts)
        return;
    const QFileInfo info(containerPath);
    m_variables.insert(QStringLiteral("$TRAXOFILELASTMODIFIED"), getDateTimeAsString(info.lastModified(), false));
    m_variables.insert(QStringLiteral("$TRAXOFILESIZEINBYTES"), QString::number(info.size()));
    m_variables.insert(
        QStringLiteral("$TRAXOFILESIZEINMB"), QString::number(double(info.size()) / 1024.0 / 1024.0, 'f', 2));
}

void ParseTemplate::setFileVariables(const traxo::FileSummary &file, int j)
{
    m_variables.insert(indexed(QStringLiteral("$FILENAME"), j), recorded(file.Filename));
    m_variables.insert(indexed(QStringLiteral("$FILEPATH"), j), recorded(file.Filepath));
    m_variables.insert(indexed(QStringLiteral("$FILETYPE"), j), recorded(file.Filetype));
    m_variables.insert(indexed(QStringLiteral("$FILEPURPOSE"), j), recorded(file.FilePurpose));
    m_variables.insert(indexed(QStringLiteral("$DESCRIPTION"), j), recorded(file.Description));
    m_variables.insert(indexed(QStringLiteral("$COMMENT"), j), recorded(file.Comment));
    m_variables.insert(indexed(QStringLiteral("$LASTMODIFIED"), j), recorded(file.LastModified));
    m_variables.insert(indexed(QStringLiteral("$UNCOMPRESSEDMD5"), j), recorded(file.UncompressedMD5));
    m_variables.insert(indexed(QStringLiteral("$COMPRESSEDMD5"), j), recorded(file.CompressedMD5));
    m_variables.insert(indexed(QStringLiteral("$COMPRESSIONMETHOD"), j), recorded(file.CompressedMethod));
    m_variables.insert(indexed(QStringLiteral("$GENERATEMD5"), j), yesNo(file.GenerateMD5));
    m_variables.insert(indexed(QStringLiteral("$EMBEDDED"), j), yesNo(file.Embedded));
    m_variables.insert(indexed(QStringLiteral("$UNCOMPRESSEDSIZE"), j), sizeText(file.UncompressedSize));
    m_variables.insert(indexed(QStringLiteral("$COMPRESSEDSIZE"), j), sizeText(file.CompressedSize));
    m_variables.insert(indexed(QStringLiteral("$POSINSECTION"), j), QString::number(j));
    m_variables.insert(indexed(QStringLiteral("$AUTOTHUMBNAIL32"), j), thumbnailIcon(recorded(file.Filetype)));

    const QStringList keys = attributeKeys(file.userAttributeKeys, file.userAttributeValues);
    if (!keys.isEmpty())
        m_variables.insert(indexed(QStringLiteral("$FILEHASUSRATTRIBUTES"), j), kTrue);
    for (int k = 0; k < keys.size(); ++k) {
        const QString &key = keys.at(k);
        m_variables.insert(indexed(m_szKeywordUserKey, j, k), recorded(key));
        m_variables.insert(indexed(QStringLiteral("$USRVALUE"), j, k), recorded(file.userAttributeValues.value(key)));
        m_variables.insert(indexed(QStringLiteral("$USRUNIT"), j, k), recorded(file.userAttributeUnits.value(key)));
    }
    m_fileUserAttributeCounts[j] = keys.size();
}

void ParseTemplate::setPreviewVariables(const QList<traxo::FileSummary> &files)
{
    // A preview belongs to the most recent earlier file that is itself no
    // preview or thumbnail; a preview with no such file is left out.
    int mainFile = -1;
    for (int j = 0; j < files.size(); ++j) {
        const traxo::FileSummary &file = files.at(j);
        if (!file.Preview && !file.PreviewWS && !file.Thumbnail && !file.ThumbnailOnly)
            mainFile = j;
        if (file.Preview && mainFile >= 0) {
            const int n = m_filePreviewCounts[mainFile]++;
            m_variables.insert(indexed(QStringLiteral("$PREVIEWID"), mainFile, n), tagText(file.TagID));
            m_variables.insert(indexed(QStringLiteral("$HASPREVIEWS"), mainFile), kTrue);
        } else if (file.Preview) {
            qCDebug(lcTemplate) << "preview without a file before it:" << file.Filename;
        }
        if (file.PreviewWS) {
            m_variables.insert(indexed(QStringLiteral("$WSPREVIEWID"), m_numWSPreviews), tagText(file.TagID));
            m_variables.insert(QStringLiteral("$HASWSPREVIEWS"), kTrue);
            ++m_numWSPreviews;
        }
        if (file.Thumbnail)
            m_variables.insert(indexed(QStringLiteral("$THUMBNAILID"), j), tagText(file.TagID));
        if (file.ThumbnailOnly) {
            m_variables.insert(indexed(QStringLiteral("$THUMBNAILONLY"), j), kTrue);
            m_variables.insert(indexed(QStringLiteral("$THUMBNAILID"), j + 1), tagText(file.TagID));
        }
    }
}

void ParseTemplate::setSectionVariables(const traxo::Summary &summary, int sectionNum, int sectionCount)
{
    if (sectionNum == 0)
        m_variables.insert(QStringLiteral("$ISFIRSTSECTION"), kTrue);
    if (sectionNum == sectionCount - 1 && sectionNum != 0)
        m_variables.insert(QStringLiteral("$ISLASTSECTION"), kTrue);
    m_variables.insert(QStringLiteral("$SECTIONNUM"), QString::number(sectionNum));
    m_variables.insert(QStringLiteral("$SECTIONID"), QString::number(summary.TagID));
    m_variables.insert(QStringLiteral("$TITLE"), recorded(summary.Title));
    m_variables.insert(QStringLiteral("$SECTION"), recorded(summary.Title));
    m_variables.insert(QStringLiteral("$DESCRIPTION"), recorded(summary.Description));
    m_variables.insert(QStringLiteral("$TIMESTAMP"), recorded(summary.Timestamp));
    m_variables.insert(QStringLiteral("$COMMENT"), recorded(summary.Comment));
    m_variables.insert(QStringLiteral("$COMMAND"), recorded(summary.Command));
    m_variables.insert(QStringLiteral("$TOOL"), recorded(summary.Tool));
    m_variables.insert(QStringLiteral("$TOOLPATH"), recorded(summary.ToolPath));
    m_variables.insert(QStringLiteral("$HOST"), recorded(summary.Host));
    m_variables.insert(QStringLiteral("$USER"), recorded(summary.User));
    m_variables.insert(QStringLiteral("$CREATOR"), recorded(summary.Creator));
    m_variables.insert(QStringLiteral("$PDFTITLE"), recorded(summary.PDFTitle));
    m_variables.insert(QStringLiteral("$PDFAUTHOR"), recorded(summary.PDFAuthor));
    m_variables.insert(QStringLiteral("$PDFSUBJECT"), recorded(summary.PDFSubject));
    m_variables.insert(QStringLiteral("$PDFKEYWORDS"), recorded(summary.PDFKeywords));
    m_variables.insert(QStringLiteral("$PDFPRODUCER"), recorded(summary.PDFProducer));
    m_variables.insert(QStringLiteral("$PDFCREATOR"), recorded(summary.PDFCreator));

    const QStringList keys = attributeKeys(summary.userAttributeKeys, summary.userAttributeValues);
    if (!keys.isEmpty())
        m_variables.insert(QStringLiteral("$WSHASUSRATTRIBUTES"), kTrue);
    for (int k = 0; k < keys.size(); ++k) {
        const QString &key = keys.at(k);
        m_variables.insert(indexed(m_szKeywordUserKey, k), recorded(key));
        m_variables.insert(indexed(QStringLiteral("$USRVALUE"), k), recorded(summary.userAttributeValues.value(key)));
        m_variables.insert(indexed(QStringLiteral("$USRUNIT"), k), recorded(summary.userAttributeUnits.value(key)));
    }
    m_numUserAttributes = keys.size();

    const QList<traxo::FileSummary> &files = summary.files;
    if (!files.isEmpty())
        m_variables.insert(QStringLiteral("$WSHASFILES"), kTrue);
    m_numFiles = files.size();
    m_numWSPreviews = 0;
    m_filePreviewCounts.fill(0, m_numFiles);
    m_fileUserAttributeCounts.fill(0, m_numFiles);
    for (int j = 0; j < files.size(); ++j)
        setFileVariables(files.at(j), j);
    setPreviewVariables(files);
}

QString ParseTemplate::dumpVariables()
{
    QStringList keys = m_variables.keys();
    std::sort(keys.begin(), keys.end());
    QString contents;
    for (const QString &key : keys) {
        const QString value = m_variables.value(key);
        m_variables.insert(QStringLiteral("$KEY"), key);
        m_variables.insert(QStringLiteral("$VALUE"), value);
        contents += generateOneBlock(m_szDUMPENTRYBLOCKNAME, Variables());
    }
    m_variables.insert(QStringLiteral("$DUMPTABLECONTENTS"), contents);
    return generateOneBlock(m_szDUMPALLBLOCKNAME, Variables());
}

QString ParseTemplate::generateHtml(
    const QString &containerPath, const QString &templatePath, const QList<traxo::Summary> &summaries, bool generatePDF)
{
    QElapsedTimer timer;
    timer.start();

    m_documentVariables.clear();
    m_documentVariables.insert(QStringLiteral("$TRAXOFILE"), QFileInfo(containerPath).fileName());
    m_documentVariables.insert(QStringLiteral("$TEMPLATEFILE"), QFileInfo(templatePath).fileName());
    m_documentVariables.insert(QStringLiteral("$UNTRAXOTIME"), getCurrentDateTimeAsString());
    m_documentVariables.insert(QStringLiteral("$TRAXOBENCHVERSION"), TRAXOBENCH_VERSION);

    m_variables.clear();
    m_numFiles = 0;
    m_numUserAttributes = 0;
    m_numWSPreviews = 0;
    m_filePreviewCounts.clear();
    m_fileUserAttributeCounts.clear();
    setDocumentVariables(containerPath, generatePDF, true);

    // One buffer, sized after the first section for all of them: a list of
    // parts joined at the end held the whole rendering twice at its peak,
    // hundreds of megabytes for a long history with the variable dump.
    QString html = generateOneBlock(m_szTOPBLOCKNAME, Variables());
    const qsizetype topSize = html.size();
    const bool dump = hasBlock(m_szDUMPALLBLOCKNAME);
    for (int i = 0; i < summaries.size(); ++i) {
        const traxo::Summary &summary = summaries.at(i);
        m_variables.clear();
        setDocumentVariables(containerPath, generatePDF, false);
        setSectionVariables(summary, i, summaries.size());
        qCDebug(lcTemplate) << "[generateHtml] Section:" << summary.TagID;
        html += generateOneBlock(m_szMAINBLOCKNAME, Variables());
        if (dump)
            html += dumpVariables();
        if (i == 0)
            html.reserve(topSize + (html.size() - topSize) * summaries.size() * 11 / 10 + 4096);
    }
    html += generateOneBlock(m_szBOTTOMBLOCKNAME, Variables());
    emitLog(QStringLiteral("[generateHtml] finished in: %1s").arg(seconds(timer)));
    return html;
}
