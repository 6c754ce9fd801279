#include "cnfevaluation.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace traxo {

namespace {

enum class EvaluationResult { Undetermined, True, False };

using Evaluator = ReturnValue (*)(const ReturnValue &, const ReturnValue &);

// The text comparisons are evaluated on cached lower-case texts; the others
// go through their evaluator.
enum class Operation { Equal, NotEqual, Contains, Matches, Other };

struct OperatorEntry
{
    Evaluator evaluator;
    Operation operation;
};

const QHash<QString, OperatorEntry> &operatorTable()
{
    static const QHash<QString, OperatorEntry> table {
        { QStringLiteral("=="), { evaluateEq, Operation::Equal } },
        { QStringLiteral("!="), { evaluateNEq, Operation::NotEqual } },
        { QStringLiteral("<"), { evaluateLess, Operation::Other } },
        { QStringLiteral("<="), { evaluateLessEq, Operation::Other } },
        { QStringLiteral(">"), { evaluateGreater, Operation::Other } },
        { QStringLiteral(">="), { evaluateGreaterEq, Operation::Other } },
        { QStringLiteral("%contains"), { evaluateContains, Operation::Contains } },
        { QStringLiteral("%matches"), { evaluateMatches, Operation::Matches } },
        { QStringLiteral("%isapprox"), { evaluateIsApprox, Operation::Other } },
    };
    return table;
}

// The attributes of steps and files. A name the kind of candidate lacks reads
// as a missing attribute.
enum class Attribute {
    Hash,
    TagId,
    TraxoRootFile,
    Timestamp,
    Title,
    Description,
    Comment,
    Command,
    Tool,
    ToolPath,
    Host,
    User,
    Creator,
    Filename,
    Filepath,
    Filetype,
    LastModified,
    Embedded,
    Compressed,
    FilePurpose,
    IsInFile,
    IsOutFile,
    FileSize,
    CFileSize,
    Md5,
    CMd5,
    ParentId,
    IsWfs,
    IsFile,
    UserAttrs,
    Any,
    UserAttribute, // "user:<key>"
    Unknown,
};

// Literal texts, which cost no allocation as the keys of a table.
QString attributeName(Attribute attribute)
{
    switch (attribute) {
    case Attribute::Hash:
        return QStringLiteral("hash");
    case Attribute::TagId:
        return QStringLiteral("tagid");
    case Attribute::TraxoRootFile:
        return QStringLiteral("traxorootfile");
    case Attribute::Timestamp:
        return QStringLiteral("timestamp");
    case Attribute::Title:
        return QStringLiteral("title");
    case Attribute::Description:
        return QStringLiteral("description");
    case Attribute::Comment:
        return QStringLiteral("comment");
    case Attribute::Command:
        return QStringLiteral("command");
    case Attribute::Tool:
        return QStringLiteral("tool");
    case Attribute::ToolPath:
        return QStringLiteral("toolpath");
    case Attribute::Host:
        return QStringLiteral("host");
    case Attribute::User:
        return QStringLiteral("user");
    case Attribute::Creator:
        return QStringLiteral("creator");
    case Attribute::Filename:
        return QStringLiteral("filename");
    case Attribute::Filepath:
        return QStringLiteral("filepath");
    case Attribute::Filetype:
        return QStringLiteral("filetype");
    case Attribute::LastModified:
        return QStringLiteral("lastmodified");
    case Attribute::Embedded:
        return QStringLiteral("embedded");
    case Attribute::Compressed:
        return QStringLiteral("compressed");
    case Attribute::FilePurpose:
        return QStringLiteral("filepurpose");
    case Attribute::IsInFile:
        return QStringLiteral("isinfile");
    case Attribute::IsOutFile:
        return QStringLiteral("isoutfile");
    case Attribute::FileSize:
        return QStringLiteral("filesize");
    case Attribute::CFileSize:
        return QStringLiteral("cfilesize");
    case Attribute::Md5:
        return QStringLiteral("md5");
    case Attribute::CMd5:
        return QStringLiteral("cmd5");
    case Attribute::ParentId:
        return QStringLiteral("parentid");
    case Attribute::IsWfs:
        return QStringLiteral("iswfs");
    case Attribute::IsFile:
        return QStringLiteral("isfile");
    case Attribute::UserAttrs:
        return QStringLiteral("userattrs");
    case Attribute::Any:
        return QStringLiteral("any");
    case Attribute::UserAttribute:
    case Attribute::Unknown:
        break;
    }
    return QString();
}

Attribute attributeFromName(const QString &lowerName)
{
    for (int a = 0; a < int(Attribute::UserAttribute); ++a) {
        if (lowerName == attributeName(Attribute(a)))
            return Attribute(a);
    }
    return lowerName.startsWith(QLatin1String("user:")) ? Attribute::UserAttribute : Attribute::Unknown;
}

// The attributes of each kind in table order, which is also the order in
// which their texts are joined into "any", before the user attributes.
constexpr Attribute StepAttributes[] = {
    Attribute::Hash,
    Attribute::TagId,
    Attribute::TraxoRootFile,
    Attribute::Timestamp,
    Attribute::Title,
    Attribute::Description,
    Attribute::Comment,
    Attribute::Command,
    Attribute::Tool,
    Attribute::ToolPath,
    Attribute::Host,
    Attribute::User,
    Attribute::Creator,
    Attribute::IsWfs,
    Attribute::IsFile,
};

constexpr Attribute FileAttributes[] = {
    Attribute::Hash,
    Attribute::TagId,
    Attribute::Filename,
    Attribute::Filepath,
    Attribute::Filetype,
    Attribute::Description,
    Attribute::Comment,
    Attribute::LastModified,
    Attribute::Embedded,
    Attribute::Compressed,
    Attribute::FilePurpose,
    Attribute::IsInFile,
    Attribute::IsOutFile,
    Attribute::FileSize,
    Attribute::CFileSize,
    Attribute::Md5,
    Attribute::CMd5,
    Attribute::IsWfs,
    Attribute::IsFile,
    Attribute::ParentId,
};

// A short text made on the stack: the made-up hashes and the numbers, which
// a search for a free word reads from every candidate.
class ShortText
{
public:
    ShortText &operator<<(QLatin1String text)
    {
        for (const char c : text)
            m_text[m_size++] = char16_t(c);
        return *this;
    }
    ShortText &operator<<(qint64 number)
    {
        char16_t digits[20];
        int n = 0;
        quint64 magnitude = number < 0 ? 0 - quint64(number) : quint64(number);
        do {
            digits[n++] = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (number < 0)
            m_text[m_size++] = u'-';
        while (n > 0)
            m_text[m_size++] = digits[--n];
        return *this;
    }
    QStringView view() const { return QStringView(m_text, m_size); }

private:
    char16_t m_text[64];
    qsizetype m_size = 0;
};

// One step or one file of a step: what a variable can be bound to.
struct Candidate
{
    const Workflowstep *step = nullptr; // null for a file
    const FileSummary *file = nullptr; // null for a step
    int stepTagId = 0; // of the step, or of the step holding the file
};

// The attributes of a candidate's kind, in table order.
class AttributeList
{
public:
    template<size_t N>
    explicit AttributeList(const Attribute (&attributes)[N])
        : m_begin(attributes)
        , m_end(attributes + N)
    {
    }
    const Attribute *begin() const { return m_begin; }
    const Attribute *end() const { return m_end; }

private:
    const Attribute *m_begin;
    const Attribute *m_end;
};

AttributeList attributesOf(const Candidate &c)
{
    return c.file ? AttributeList(FileAttributes) : AttributeList(StepAttributes);
}

const QString *fieldOf(const Candidate &c, Attribute attribute)
{
    if (!c.file) {
        const Workflowstep &step = *c.step;
        switch (attribute) {
        case Attribute::TraxoRootFile:
            return &step.TraxoRootFile;
        case Attribute::Timestamp:
            return &step.Timestamp;
        case Attribute::Title:
            return &step.Title;
        case Attribute::Description:
            return &step.Description;
        case Attribute::Comment:
            return &step.Comment;
        case Attribute::Command:
            return &step.Command;
        case Attribute::Tool:
            return &step.Tool;
        case Attribute::ToolPath:
            return &step.ToolPath;
        case Attribute::Host:
            return &step.Host;
        case Attribute::User:
            return &step.User;
        case Attribute::Creator:
            return &step.Creator;
        default:
            return nullptr;
        }
    }
    const FileSummary &file = *c.file;
    switch (attribute) {
    case Attribute::Filename:
        return &file.Filename;
    case Attribute::Filepath:
        return &file.Filepath;
    case Attribute::Filetype:
        return &file.Filetype;
    case Attribute::Description:
        return &file.Description;
    case Attribute::Comment:
        return &file.Comment;
    case Attribute::LastModified:
        return &file.LastModified;
    case Attribute::FilePurpose:
        return &file.FilePurpose;
    case Attribute::Md5:
        return &file.UncompressedMD5;
    case Attribute::CMd5:
        return &file.CompressedMD5;
    default:
        return nullptr;
    }
}

std::optional<qint64> numberOf(const Candidate &c, Attribute attribute)
{
    if (attribute == Attribute::TagId)
        return c.file ? c.file->TagID : c.stepTagId;
    if (!c.file)
        return std::nullopt;
    switch (attribute) {
    case Attribute::FileSize:
        return c.file->UncompressedSize;
    case Attribute::CFileSize:
        return c.file->CompressedSize;
    case Attribute::ParentId:
        return c.stepTagId;
    default:
        return std::nullopt;
    }
}

std::optional<bool> flagOf(const Candidate &c, Attribute attribute)
{
    if (attribute == Attribute::IsWfs)
        return !c.file;
    if (attribute == Attribute::IsFile)
        return c.file != nullptr;
    if (!c.file)
        return std::nullopt;
    const bool inFile = c.file->FilePurpose == QLatin1String("InFile");
    switch (attribute) {
    case Attribute::Embedded:
        return c.file->Embedded;
    case Attribute::Compressed:
        return c.file->CompressedMethod == QLatin1String("flate");
    case Attribute::IsInFile:
        return inFile;
    case Attribute::IsOutFile:
        return !inFile;
    default:
        return std::nullopt;
    }
}

const QStringList &userKeysOf(const Candidate &c)
{
    return c.file ? c.file->userAttributeKeys : c.step->userAttributeKeys;
}

const QHash<QString, QString> &userValuesOf(const Candidate &c)
{
    return c.file ? c.file->userAttributeValues : c.step->userAttributeValues;
}

QString userAttrsOf(const Candidate &c)
{
    QStringList lowerKeys;
    for (const QString &key : userKeysOf(c))
        lowerKeys.append(key.toLower());
    return lowerKeys.join(c.file ? QStringLiteral(", ") : QStringLiteral("\n"));
}

QString userAttributeKey(const QString &key)
{
    return QLatin1String("user:") + key.toLower();
}

// The value of "user:<key>" under the lower-cased key; of keys that differ in
// case only, the last one listed wins.
std::optional<QString> userAttributeOf(const Candidate &c, const QString &name)
{
    const QStringList &keys = userKeysOf(c);
    for (qsizetype i = keys.size() - 1; i >= 0; --i) {
        if (userAttributeKey(keys.at(i)) == name)
            return userValuesOf(c).value(keys.at(i));
    }
    return std::nullopt;
}

ShortText hashOf(const Candidate &c)
{
    ShortText text;
    if (c.file)
        text << QLatin1String("file:") << qint64(c.stepTagId) << QLatin1String(":") << qint64(c.file->TagID);
    else
        text << QLatin1String("wfs:") << qint64(c.stepTagId);
    return text;
}

// Calls visit with each text of "any" in order, until it returns true.
// Numbers are made as ReturnValue::fromInteger makes them, without
// allocating.
template<typename Visit>
bool visitAnyTexts(const Candidate &c, Visit &&visit)
{
    for (const Attribute attribute : attributesOf(c)) {
        if (const QString *field = fieldOf(c, attribute)) {
            if (visit(QStringView(*field)))
                return true;
        } else if (attribute == Attribute::Hash) {
            if (visit(hashOf(c).view()))
                return true;
        } else if (const std::optional<qint64> number = numberOf(c, attribute)) {
            ShortText text;
            text << *number;
            if (visit(text.view()))
                return true;
        }
    }
    if (visit(QStringView(userAttrsOf(c))))
        return true;
    const QHash<QString, QString> &values = userValuesOf(c);
    for (const QString &key : userKeysOf(c)) {
        if (visit(QStringView(values.value(key))))
            return true;
    }
    return false;
}

QString anyTextOf(const Candidate &c)
{
    QString any;
    bool first = true;
    visitAnyTexts(c, [&](QStringView text) {
        if (!first)
            any += QLatin1Char('\n');
        any += text;
        first = false;
        return false;
    });
    return any;
}

ReturnValue missingAttribute()
{
    return ReturnValue(ReturnValueType::MissingAttribute, QString());
}

// The value of one attribute of a candidate, as the attribute table holds it.
ReturnValue valueOf(const Candidate &c, Attribute attribute, const QString &name)
{
    if (const QString *field = fieldOf(c, attribute))
        return ReturnValue::fromString(*field);
    if (const std::optional<qint64> number = numberOf(c, attribute))
        return ReturnValue::fromInteger(*number);
    if (const std::optional<bool> flag = flagOf(c, attribute))
        return ReturnValue::fromBool(*flag);
    switch (attribute) {
    case Attribute::Hash:
        return ReturnValue::fromString(hashOf(c).view().toString());
    case Attribute::UserAttrs:
        return ReturnValue::fromString(userAttrsOf(c));
    case Attribute::Any:
        return ReturnValue::fromString(anyTextOf(c));
    case Attribute::UserAttribute:
        if (const std::optional<QString> value = userAttributeOf(c, name))
            return ReturnValue::fromString(*value);
        break;
    default:
        break;
    }
    return missingAttribute();
}

QHash<QString, ReturnValue> attributeTable(const Candidate &c)
{
    QHash<QString, ReturnValue> table;
    for (const Attribute attribute : attributesOf(c))
        table.insert(attributeName(attribute), valueOf(c, attribute, QString()));
    table.insert(attributeName(Attribute::UserAttrs), valueOf(c, Attribute::UserAttrs, QString()));
    for (const QString &key : userKeysOf(c))
        table.insert(userAttributeKey(key), ReturnValue::fromString(userValuesOf(c).value(key)));
    table.insert(attributeName(Attribute::Any), valueOf(c, Attribute::Any, QString()));
    return table;
}

// A value with its lower-case text, made when a comparison first needs it.
struct CachedValue
{
    ReturnValue value;
    mutable std::optional<QString> lower;

    const QString &lowerText() const
    {
        if (!lower)
            lower = value.value().toLower();
        return *lower;
    }
};

// A literal with its variables resolved to indices and its attribute names
// resolved once, rather than at every candidate. slot numbers the distinct
// attributes the form reads.
struct PreparedOperand
{
    CNFOperand::Kind kind = CNFOperand::Invalid;
    int variable = -1;
    Attribute attribute = Attribute::Unknown;
    QString attributeName;
    int slot = -1;
    CachedValue constant;
};

struct PreparedLiteral
{
    bool predicate = true;
    bool negated = false;
    bool knownOperator = false;
    Evaluator evaluator = nullptr;
    Operation operation = Operation::Other;
    PreparedOperand left;
    PreparedOperand right;
};

// The attribute values of the candidates that the form reads, each made at
// its first reading and kept for the rest of the search.
class CandidateValues
{
public:
    void reset(qsizetype candidates, qsizetype slotCount)
    {
        m_slots = slotCount;
        m_values.assign(size_t(candidates * slotCount), std::nullopt);
    }
    const CachedValue &value(const Candidate &c, int candidate, const PreparedOperand &operand) const
    {
        std::optional<CachedValue> &cached = m_values[size_t(candidate * m_slots + operand.slot)];
        if (!cached)
            cached = CachedValue { valueOf(c, operand.attribute, operand.attributeName), std::nullopt };
        return *cached;
    }
    bool has(int candidate, const PreparedOperand &operand) const
    {
        return m_values[size_t(candidate * m_slots + operand.slot)].has_value();
    }

private:
    qsizetype m_slots = 0;
    mutable std::vector<std::optional<CachedValue>> m_values;
};

PreparedOperand prepareOperand(
    const CNFOperand &operand, const QHash<QString, int> &variableIndex, QStringList &slotNames)
{
    PreparedOperand prepared;
    if (operand.isVariable()) {
        prepared.kind = CNFOperand::Variable;
        prepared.variable = variableIndex.value(operand.variableName(), -1);
        prepared.attributeName = operand.variableAttribute().toLower();
        prepared.attribute = attributeFromName(prepared.attributeName);
        prepared.slot = int(slotNames.indexOf(prepared.attributeName));
        if (prepared.slot < 0) {
            prepared.slot = int(slotNames.size());
            slotNames.append(prepared.attributeName);
        }
    } else if (operand.isString()) {
        prepared.kind = CNFOperand::String;
        prepared.constant.value = ReturnValue::fromString(operand.string());
    } else {
        prepared.constant.value = ReturnValue(ReturnValueType::InvalidOperand, QString());
    }
    return prepared;
}

bool holds(const PreparedLiteral &literal, const CachedValue &left, const CachedValue &right)
{
    if (literal.operation == Operation::Other) {
        const ReturnValue result = literal.evaluator(left.value, right.value);
        return result.isBool() && result.toBool();
    }
    // The text comparisons answer a type error, which is not true, for
    // anything but two texts.
    if (!left.value.isString() || !right.value.isString())
        return false;
    switch (literal.operation) {
    case Operation::Equal:
        return left.lowerText() == right.lowerText();
    case Operation::NotEqual:
        return left.lowerText() != right.lowerText();
    case Operation::Matches:
        return wildcardMatches(right.lowerText(), left.lowerText());
    case Operation::Contains:
        if (left.lower)
            return left.lower->contains(right.lowerText());
        return lowerCaseContains(left.value.value(), right.lowerText());
    case Operation::Other:
        break;
    }
    return false;
}

QString getVariableValue(const Candidate &candidate)
{
    if (!candidate.file)
        return QStringLiteral("workflowstep: %1").arg(candidate.step->Title);
    return QStringLiteral("file: %1").arg(candidate.file->Filename);
}

// The search: binds the variables in the formula's order to the candidates in
// list order, so the first solution it meets is the first in that order, and
// backtracks as soon as the formula is false. Truth values are kept in three
// values, a literal on an unbound variable being undetermined, and every node
// counts its true and false operands, so binding a variable updates only the
// literals that name it and the nodes above them, and unbinding undoes that.
// A conjunction is false when one operand is, a disjunction when all are;
// that cuts exactly where the normal form has a disjunction all of whose
// literals are false, without building it.
class Search
{
public:
    Search(const QList<Summary> &summaries, const QueryFormula &formula);
    bool run(QHash<QString, QString> &bindings, bool *gaveUp, qint64 maxTrials, int maxMilliseconds);

private:
    struct Node
    {
        QueryFormula::Kind kind = QueryFormula::Kind::And;
        int parent = -1;
        int size = 0;
        int trueCount = 0;
        int falseCount = 0;
        EvaluationResult value = EvaluationResult::Undetermined;
    };
    // An equality "v:a == w:b" the query requires: once w is bound, only
    // the candidates of v in the bucket of w's value can satisfy it.
    struct Join
    {
        const PreparedOperand *own = nullptr;
        const PreparedOperand *other = nullptr;
        int otherVariable = -1;
        std::optional<QHash<QString, std::vector<int>>> index; // own's texts, made when first needed
    };

    bool unnamed(int variable) const { return variableNames.at(variable).startsWith(QLatin1Char('@')); }
    bool rootFalse() const { return nodes.front().value == EvaluationResult::False; }
    const CachedValue *operandValue(const PreparedOperand &operand) const;
    std::optional<EvaluationResult> evaluateAnyContains(const PreparedLiteral &literal) const;
    EvaluationResult evaluateLiteral(const PreparedLiteral &literal) const;
    void update(int node, EvaluationResult from, EvaluationResult to);
    // Binds and evaluates; false when the formula has become false. Every
    // bind is undone by unbind, also a failed one.
    bool bind(int variable, int candidate);
    void unbind(int variable);
    bool tick();
    bool outOfTime();
    bool independent(int variable) const;
    bool bindIndependentVariables();
    bool restrictCandidates();
    const std::vector<int> &candidatesOf(int variable);
    bool hasSupport(int variable);
    bool search();

    QStringList variableNames;
    QList<Candidate> candidates;
    CandidateValues values;
    std::vector<PreparedLiteral> literals;
    std::vector<int> literalNodes;
    std::vector<bool> required; // per literal, QueryFormula::isRequired
    std::vector<std::vector<int>> variableLiterals; // per variable, the literals naming it
    std::vector<std::vector<Join>> joins; // per variable
    std::vector<Node> nodes;
    std::vector<EvaluationResult> literalValues;
    std::vector<int> assignment;
    std::vector<char> used;
    std::vector<int> trail; // literals set, in order
    std::vector<std::vector<int>> trailMarks; // per variable, trail size before its bind
    std::vector<std::vector<int>> allowed; // per variable, in candidate order
    std::vector<int> support; // per variable, the candidate that passed its last check
    std::vector<int> noCandidates;
    QElapsedTimer timer;
    qint64 trialsLeft = -1;
    int milliseconds = 0;
    qint64 trials = 0;
    bool exhausted = false;
};

Search::Search(const QList<Summary> &summaries, const QueryFormula &formula)
{
    for (const Summary &summary : summaries) {
        candidates.append(Candidate { &summary, nullptr, summary.TagID });
        for (const FileSummary &file : summary.files)
            candidates.append(Candidate { &summary, &file, summary.TagID });
    }
    variableNames = formula.variableNames();
    const int variables = int(variableNames.size());
    variableLiterals.resize(size_t(variables));
    joins.resize(size_t(variables));

    QHash<QString, int> variableIndex;
    for (int v = 0; v < variables; ++v)
        variableIndex.insert(variableNames.at(v), v);
    const QHash<QString, OperatorEntry> &operators = operatorTable();
    QStringList slotNames;
    const QList<CNFLiteral> &cnfLiterals = formula.literals();
    literals.reserve(size_t(cnfLiterals.size()));
    for (const CNFLiteral &literal : cnfLiterals) {
        PreparedLiteral prepared;
        prepared.predicate = literal.isPredicate();
        prepared.negated = literal.isNegated();
        const auto op = operators.constFind(literal.op());
        if (op != operators.constEnd()) {
            prepared.evaluator = op->evaluator;
            prepared.operation = op->operation;
            prepared.knownOperator = true;
        }
        prepared.left = prepareOperand(literal.left(), variableIndex, slotNames);
        if (literal.isPredicate())
            prepared.right = prepareOperand(literal.right(), variableIndex, slotNames);
        literals.push_back(prepared);
    }
    for (int i = 0; i < int(literals.size()); ++i)
        required.push_back(formula.isRequired(i));
    for (int i = 0; i < int(literals.size()); ++i) {
        const PreparedLiteral &literal = literals[size_t(i)];
        if (literal.left.kind == CNFOperand::Variable)
            variableLiterals[size_t(literal.left.variable)].push_back(i);
        if (literal.right.kind == CNFOperand::Variable && literal.right.variable != literal.left.variable)
            variableLiterals[size_t(literal.right.variable)].push_back(i);
        const bool join = literal.right.kind == CNFOperand::Variable && literal.left.kind == CNFOperand::Variable
            && literal.right.variable != literal.left.variable && literal.operation == Operation::Equal
            && !literal.negated && literal.knownOperator && required[size_t(i)];
        if (join) {
            joins[size_t(literal.left.variable)].push_back(
                Join { &literal.left, &literal.right, literal.right.variable, std::nullopt });
            joins[size_t(literal.right.variable)].push_back(
                Join { &literal.right, &literal.left, literal.left.variable, std::nullopt });
        }
    }

    const QList<QueryFormula::Node> &formulaNodes = formula.nodes();
    nodes.resize(size_t(formulaNodes.size()));
    literalNodes.resize(literals.size());
    for (int i = 0; i < int(formulaNodes.size()); ++i) {
        const QueryFormula::Node &from = formulaNodes.at(i);
        Node &node = nodes[size_t(i)];
        node.kind = from.kind;
        node.parent = from.parent;
        node.size = int(from.children.size());
        if (from.kind == QueryFormula::Kind::Literal)
            literalNodes[size_t(from.literal)] = i;
        else if (from.kind == QueryFormula::Kind::And && node.size == 0)
            node.value = EvaluationResult::True;
    }
    literalValues.assign(literals.size(), EvaluationResult::Undetermined);
    values.reset(candidates.size(), slotNames.size());
    assignment.assign(size_t(variables), -1);
    used.assign(size_t(candidates.size()), 0);
    trailMarks.resize(size_t(variables));
    allowed.resize(size_t(variables));
    support.assign(size_t(variables), -1);
}

const CachedValue *Search::operandValue(const PreparedOperand &operand) const
{
    if (operand.kind != CNFOperand::Variable)
        return &operand.constant;
    const int candidate = operand.variable >= 0 ? assignment[size_t(operand.variable)] : -1;
    if (candidate < 0)
        return nullptr;
    return &values.value(candidates.at(candidate), candidate, operand);
}

// "any %contains word", the free word: a word without a line break lies
// within one of the texts that "any" joins with line breaks, so they are
// searched one by one, without joining or lower-casing them.
std::optional<EvaluationResult> Search::evaluateAnyContains(const PreparedLiteral &literal) const
{
    if (literal.operation != Operation::Contains || literal.left.attribute != Attribute::Any)
        return std::nullopt;
    const int candidate = literal.left.variable >= 0 ? assignment[size_t(literal.left.variable)] : -1;
    if (candidate < 0 || values.has(candidate, literal.left))
        return std::nullopt;
    const CachedValue *right = operandValue(literal.right);
    if (!right)
        return EvaluationResult::Undetermined;
    if (!right->value.isString())
        return EvaluationResult::False;
    const QString &needle = right->lowerText();
    if (needle.contains(QLatin1Char('\n')))
        return std::nullopt;
    const bool found = needle.isEmpty() || visitAnyTexts(candidates.at(candidate), [&needle](QStringView text) {
        return lowerCaseContains(text, needle);
    });
    return found ? EvaluationResult::True : EvaluationResult::False;
}

EvaluationResult Search::evaluateLiteral(const PreparedLiteral &literal) const
{
    // A comparison with an operator of no evaluator is false, negated or not:
    // an unknown test must never make a container match.
    if (literal.predicate && !literal.knownOperator)
        return EvaluationResult::False;
    EvaluationResult result = EvaluationResult::Undetermined;
    if (!literal.predicate) {
        if (const CachedValue *value = operandValue(literal.left))
            result = value->value.isBool() && value->value.toBool() ? EvaluationResult::True : EvaluationResult::False;
    } else if (const std::optional<EvaluationResult> any = evaluateAnyContains(literal)) {
        result = *any;
    } else {
        const CachedValue *left = operandValue(literal.left);
        const CachedValue *right = operandValue(literal.right);
        if (left && right)
            result = holds(literal, *left, *right) ? EvaluationResult::True : EvaluationResult::False;
    }
    if (!literal.negated || result == EvaluationResult::Undetermined)
        return result;
    return result == EvaluationResult::True ? EvaluationResult::False : EvaluationResult::True;
}

// The operand at node changed its value from one to the other: the counts
// of the nodes above follow, as far as their values change.
void Search::update(int node, EvaluationResult from, EvaluationResult to)
{
    for (int parent = nodes[size_t(node)].parent; parent >= 0 && from != to; parent = nodes[size_t(parent)].parent) {
        Node &p = nodes[size_t(parent)];
        p.trueCount += (to == EvaluationResult::True) - (from == EvaluationResult::True);
        p.falseCount += (to == EvaluationResult::False) - (from == EvaluationResult::False);
        EvaluationResult value = EvaluationResult::Undetermined;
        if (p.kind == QueryFormula::Kind::And) {
            if (p.falseCount > 0)
                value = EvaluationResult::False;
            else if (p.trueCount == p.size)
                value = EvaluationResult::True;
        } else if (p.trueCount > 0) {
            value = EvaluationResult::True;
        } else if (p.falseCount == p.size && p.size > 0) {
            value = EvaluationResult::False;
        }
        from = p.value;
        to = value;
        p.value = value;
    }
}

bool Search::bind(int variable, int candidate)
{
    assignment[size_t(variable)] = candidate;
    trailMarks[size_t(variable)].push_back(int(trail.size()));
    for (const int literal : variableLiterals[size_t(variable)]) {
        // A literal whose conjunction is false or whose disjunction is true
        // already cannot change anything above it; it stays undetermined
        // until this binding, or the one that decided its parent, is undone.
        const Node &parent = nodes[size_t(nodes[size_t(literalNodes[size_t(literal)])].parent)];
        if (parent.value == (parent.kind == QueryFormula::Kind::And ? EvaluationResult::False : EvaluationResult::True))
            continue;
        const EvaluationResult value = evaluateLiteral(literals[size_t(literal)]);
        if (value == EvaluationResult::Undetermined)
            continue;
        literalValues[size_t(literal)] = value;
        trail.push_back(literal);
        update(literalNodes[size_t(literal)], EvaluationResult::Undetermined, value);
    }
    return !rootFalse();
}

void Search::unbind(int variable)
{
    const size_t mark = size_t(trailMarks[size_t(variable)].back());
    trailMarks[size_t(variable)].pop_back();
    while (trail.size() > mark) {
        const int literal = trail.back();
        trail.pop_back();
        const EvaluationResult value = literalValues[size_t(literal)];
        literalValues[size_t(literal)] = EvaluationResult::Undetermined;
        update(literalNodes[size_t(literal)], value, EvaluationResult::Undetermined);
    }
    assignment[size_t(variable)] = -1;
}

// Counts one binding of the search; false once the budget in bindings or
// time is spent.
bool Search::tick()
{
    if (exhausted)
        return false;
    ++trials;
    if ((trialsLeft >= 0 && trials > trialsLeft) || ((trials & 15) == 0 && outOfTime()))
        exhausted = true;
    return !exhausted;
}

bool Search::outOfTime()
{
    if (milliseconds >= 0 && timer.elapsed() > milliseconds)
        exhausted = true;
    return exhausted;
}

// Orders the results of one literal: a candidate that makes a literal truer
// can only help the formula.
int truthRank(EvaluationResult result)
{
    switch (result) {
    case EvaluationResult::False:
        return 0;
    case EvaluationResult::Undetermined:
        return 1;
    case EvaluationResult::True:
        break;
    }
    return 2;
}

bool Search::independent(int variable) const
{
    if (!unnamed(variable))
        return false;
    const std::vector<int> &own = variableLiterals[size_t(variable)];
    return std::all_of(own.cbegin(), own.cend(), [&](int literal) {
        const PreparedLiteral &l = literals[size_t(literal)];
        const auto other
            = [variable](const PreparedOperand &o) { return o.kind == CNFOperand::Variable && o.variable != variable; };
        return !other(l.left) && !other(l.right);
    });
}

// An unnamed variable whose literals name no other variable (a free word, a
// comparison with a constant) is bound before the search to a candidate that
// makes each of its literals at least as true as any other candidate does,
// when there is one: the formula has no negation above its literals, so no
// solution is lost, and the search no longer tries every combination of
// such variables ("nosuch1 || ... || nosuch30" would take candidates to the
// thirtieth power). False when the formula is false already.
bool Search::bindIndependentVariables()
{
    const int count = int(candidates.size());
    int lastNamed = -1;
    for (int v = 0; v < int(variableNames.size()); ++v) {
        if (!unnamed(v))
            lastNamed = v;
    }
    for (int v = 0; v < int(variableNames.size()); ++v) {
        // Before a named variable, the candidate chosen here could change
        // the first solution reported, unless the query requires each of its
        // literals to hold, which makes every choice that satisfies them alike.
        const std::vector<int> &literalsOfV = variableLiterals[size_t(v)];
        const bool alike = v > lastNamed || std::all_of(literalsOfV.cbegin(), literalsOfV.cend(), [this](int literal) {
            return required[size_t(literal)];
        });
        if (!independent(v) || count == 0 || !alike)
            continue;
        const std::vector<int> &own = variableLiterals[size_t(v)];
        const size_t width = own.size();
        std::vector<int> ranks;
        ranks.reserve(size_t(count) * width);
        int best = -1;
        for (int c = 0; c < count; ++c) {
            if ((c & 63) == 63 && outOfTime()) {
                assignment[size_t(v)] = -1;
                return false;
            }
            assignment[size_t(v)] = c;
            bool allTrue = true;
            for (const int literal : own) {
                ranks.push_back(truthRank(evaluateLiteral(literals[size_t(literal)])));
                allTrue = allTrue && ranks.back() == 2;
            }
            // Nothing beats a candidate that makes every literal true.
            if (allTrue) {
                best = c;
                break;
            }
        }
        assignment[size_t(v)] = -1;
        const int ranked = int(ranks.size() / std::max<size_t>(width, 1));
        const auto dominates = [&ranks, width](int a, int b) {
            for (size_t i = 0; i < width; ++i) {
                if (ranks[size_t(a) * width + i] < ranks[size_t(b) * width + i])
                    return false;
            }
            return true;
        };
        if (best < 0) {
            best = 0;
            for (int c = 1; c < ranked; ++c) {
                if (dominates(c, best) && !dominates(best, c))
                    best = c;
            }
            for (int c = 0; c < ranked && best >= 0; ++c) {
                if (!dominates(best, c))
                    best = -1;
            }
        }
        if (best < 0)
            continue;
        if (!bind(v, best))
            return false;
    }
    return true;
}

// The candidates each variable may take: those that do not make the formula
// false when bound alone. The search would cut any other candidate as soon
// as it bound it, so skipping them loses no solution and changes none of the
// order; a selective test such as "y:filename %matches *.dat" then spares a
// join over every candidate. False when some variable can take none.
bool Search::restrictCandidates()
{
    for (int v = 0; v < int(variableNames.size()); ++v) {
        if (assignment[size_t(v)] >= 0)
            continue;
        std::vector<int> &list = allowed[size_t(v)];
        for (int c = 0; c < int(candidates.size()); ++c) {
            if ((c & 63) == 63 && outOfTime())
                return false;
            if (bind(v, c))
                list.push_back(c);
            unbind(v);
        }
        if (list.empty())
            return false;
    }
    return true;
}

// The candidates to try for a variable in the current state, in candidate
// order: through a join with a bound variable only those with its value,
// looked up in a hash of the allowed candidates by the compared text.
const std::vector<int> &Search::candidatesOf(int variable)
{
    for (Join &join : joins[size_t(variable)]) {
        if (assignment[size_t(join.otherVariable)] < 0)
            continue;
        const CachedValue *key = operandValue(*join.other);
        if (!key || !key->value.isString())
            return noCandidates;
        if (!join.index) {
            join.index.emplace();
            for (const int c : allowed[size_t(variable)]) {
                const CachedValue &value = values.value(candidates.at(c), c, *join.own);
                if (value.value.isString())
                    (*join.index)[value.lowerText()].push_back(c);
            }
        }
        const auto it = join.index->constFind(key->lowerText());
        return it == join.index->constEnd() ? noCandidates : *it;
    }
    return allowed[size_t(variable)];
}

bool Search::hasSupport(int variable)
{
    const bool named = !unnamed(variable);
    const auto tryOne = [&](int c) {
        if (named && used[size_t(c)])
            return false;
        const bool ok = bind(variable, c);
        unbind(variable);
        return ok;
    };
    const int last = support[size_t(variable)];
    if (last >= 0 && tryOne(last))
        return true;
    int tried = 0;
    for (const int c : candidatesOf(variable)) {
        // Counted as support: the search stops at its next binding.
        if ((++tried & 255) == 0 && outOfTime())
            return true;
        if (c != last && tryOne(c)) {
            support[size_t(variable)] = c;
            return true;
        }
    }
    return false;
}

bool Search::search()
{
    int variable = 0;
    while (variable < int(variableNames.size()) && assignment[size_t(variable)] >= 0)
        ++variable;
    if (variable == int(variableNames.size()))
        return true;
    const bool named = !unnamed(variable);
    // Neither the allowed lists nor a join index, once made, change.
    const std::vector<int> &list = candidatesOf(variable);
    for (const int c : list) {
        if (named && used[size_t(c)])
            continue;
        if (!tick())
            return false;
        bool ok = bind(variable, c);
        if (named)
            used[size_t(c)] = 1;
        // Every variable still to bind must have a candidate left; else no
        // extension of this binding can hold.
        for (int w = variable + 1; ok && w < int(variableNames.size()); ++w) {
            if (assignment[size_t(w)] < 0)
                ok = hasSupport(w);
        }
        ok = ok && search();
        if (ok)
            return true;
        if (named)
            used[size_t(c)] = 0;
        unbind(variable);
    }
    return false;
}

bool Search::run(QHash<QString, QString> &bindings, bool *gaveUp, qint64 maxTrials, int maxMilliseconds)
{
    timer.start();
    trialsLeft = maxTrials;
    milliseconds = maxMilliseconds;
    bool found = !rootFalse() && bindIndependentVariables() && restrictCandidates() && search();
    if (gaveUp)
        *gaveUp = exhausted;
    if (!found)
        return false;
    for (int v = 0; v < int(variableNames.size()); ++v) {
        if (!unnamed(v))
            bindings.insert(variableNames.at(v), getVariableValue(candidates.at(assignment[size_t(v)])));
    }
    return true;
}

} // namespace

QHash<QString, ReturnValue> convertStepToHash(const Workflowstep &step)
{
    return attributeTable(Candidate { &step, nullptr, step.TagID });
}

QHash<QString, ReturnValue> convertFileToHash(const FileSummary &file, int stepTagId)
{
    return attributeTable(Candidate { nullptr, &file, stepTagId });
}

bool evaluateFormula(const QList<Summary> &summaries, const QueryFormula &formula, QHash<QString, QString> &bindings,
    bool *gaveUp, qint64 maxTrials, int maxMilliseconds)
{
    bindings.clear();
    if (gaveUp)
        *gaveUp = false;
    Search search(summaries, formula);
    return search.run(bindings, gaveUp, maxTrials, maxMilliseconds);
}

bool evaluateCNF(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings,
    bool *gaveUp, qint64 maxTrials, int maxMilliseconds)
{
    return evaluateFormula(summaries, QueryFormula::fromCNF(cnf), bindings, gaveUp, maxTrials, maxMilliseconds);
}

} // namespace traxo
