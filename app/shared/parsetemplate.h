#ifndef TRAXO_PARSETEMPLATE_H
#define TRAXO_PARSETEMPLATE_H

#include "logging/logsource.h"
#include "summary/summary.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

// One parsed piece of a template block: either content (directive empty) or a
// directive, the text between "<!-- #" and " -->".
struct HNode
{
    // Number of if-directives enclosing the node when it was parsed.
    int level = 0;
    QString directive;
    QString content;
    // Offsets of the piece in the template text.
    int start = 0;
    int end = 0;
    // End offset of a block's begin directive (begin nodes only).
    int beginEnd = 0;
    // Filled by the parser so that rendering never scans a node twice: the
    // directive's words, and the offset and length of every $NAME in content.
    QStringList words;
    QVector<QPair<int, int>> keywords;

    bool isContent() const { return directive.isEmpty(); }
};

// A named block of nodes in template order.
struct Block
{
    std::vector<HNode> nodes;
    QString name;
    // Depth of if-directives open at the end of what has been parsed so far.
    int level = 0;
};

// Renders a container's history as HTML through a template: an HTML file with
// directives in comments ("<!-- #ifdef $TITLE -->") and variables ("$TITLE").
// Template errors never abort: parsing failures make loadTemplateFile() false,
// rendering errors appear as "*** ERROR" texts in place, so the template's
// author sees them where they happen.
class ParseTemplate : public traxo::LogSource
{
    Q_OBJECT

public:
    static const QString m_szMarker;
    static const int m_iLenMarker;
    static const QString m_szMEND;
    static const int m_iLenMEND;
    static const QString m_szIFDEF;
    static const QString m_szIFNDEF;
    static const QString m_szIFEQUAL;
    static const QString m_szELSE;
    static const QString m_szENDIF;
    static const QString m_szBEGINBLOCK;
    static const QString m_szENDBLOCK;
    static const QString m_szBracketOpen;
    static const QString m_szBracketClose;
    static const QString m_szEVENODDBEGIN;
    static const QString m_szEVENODDEND;
    static const QString m_szEVEN;
    static const QString m_szODD;
    static const QString m_szESCAPEBEGIN;
    static const QString m_szESCAPEEND;
    static const QString m_szMAINBLOCKNAME;
    static const QString m_szFILESBLOCKNAME;
    static const QString m_szUSERATTRBLOCKNAME;
    static const QString m_szUSERFILEATTRBLOCKNAME;
    static const QString m_szPREVIEWWSBLOCKNAME;
    static const QString m_szPREVIEWFILEBLOCKNAME;
    static const QString m_szTOPBLOCKNAME;
    static const QString m_szBOTTOMBLOCKNAME;
    static const QString m_szDUMPALLBLOCKNAME;
    static const QString m_szDUMPENTRYBLOCKNAME;
    static const QString m_szKeywordRegex;
    static const QString m_szKeywordEvenOdd;
    static const QString m_szKeywordUserKey;

    using Variables = QHash<QString, QString>;

    // The engine has no parent: its messages reach the listener's log slot.
    explicit ParseTemplate(QObject *listener = nullptr);
    ~ParseTemplate() override;

    ParseTemplate(const ParseTemplate &) = delete;
    ParseTemplate &operator=(const ParseTemplate &) = delete;

    // Reads the file as UTF-8 and parses it; false when it cannot be read or
    // parsed.
    bool loadTemplateFile(const QString &path);
    // Parses a template given as text; false on a syntax error (details go
    // to the debug output).
    bool parseTemplate(const QString &templateText);

    QString generateHtml(const QString &containerPath, const QString &templatePath,
        const QList<traxo::Summary> &summaries, bool generatePDF);
    QString generateOneBlock(const QString &blockName, const Variables &indexVars, bool nested = false);
    QString expandContents(const QString &text, const Variables &indexVars);
    QString expandKeyword(const QString &keyword, const Variables &indexVars) const;

    bool hasBlock(const QString &name) const { return m_blocksByName.contains(name); }
    const Block *block(const QString &name) const { return m_blocksByName.value(name); }
    QString templateText() const { return m_template; }

    // The variable table as filled by generateHtml(); settable so that single
    // blocks can be rendered against a table of one's own.
    const Variables &variables() const { return m_variables; }
    void setVariables(const Variables &variables) { m_variables = variables; }

    void cleanup();

private:
    bool parser();
    void addContentNode(int from, int to);
    void addDirectiveNode(int markerPos, int endPos);
    bool addNamedBlock(int markerPos, int directiveEnd, int *resumePos);

    QString expandText(const QString &text, const Variables &indexVars, bool escape);
    void appendExpansion(QString *out, QStringView text, const QVector<QPair<int, int>> &keywords,
        const Variables &indexVars, bool escape);
    void appendKeyword(QString *out, QStringView keyword, const Variables &indexVars, bool escape);
    QString showBlock(const QString &blockName, const QString &indexKey, int count, Variables indexVars);

    void setDocumentVariables(const QString &containerPath, bool generatePDF, bool withContainerFacts);
    void setSectionVariables(const traxo::Summary &summary, int sectionNum, int sectionCount);
    void setFileVariables(const traxo::FileSummary &file, int j);
    void setPreviewVariables(const QList<traxo::FileSummary> &files);
    QString dumpVariables();

    QString m_template;
    std::vector<std::unique_ptr<Block>> m_blocks;
    // While parsing, m_blocks[0..m_depth] is the stack of open blocks.
    int m_depth = 0;
    QHash<QString, Block *> m_blocksByName;

    Variables m_variables;
    bool m_evenOddOn = false;
    bool m_evenOddPhaseOdd = true;
    // Variable values are HTML-escaped while an "escape begin" is in force.
    bool m_escapeOn = false;
    // The show-block directives being rendered, innermost last.
    QSet<QString> m_blocksBeingShown;

    // Loop bounds of the show-block directives for the section being drawn.
    int m_numFiles = 0;
    int m_numUserAttributes = 0;
    int m_numWSPreviews = 0;
    QVector<int> m_filePreviewCounts;
    QVector<int> m_fileUserAttributeCounts;

    // Document facts that stay the same for every section of one rendering.
    Variables m_documentVariables;
};

// Anchor names shared by the templates and the viewer's outline.
QString makeSectionAnchor(int sectionId);
QString makeFileAnchor(int sectionId, int fileIndex);

#endif
