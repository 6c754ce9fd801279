#include "cnfevaluation.h"

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

std::optional<int> numberOf(const Candidate &c, Attribute attribute)
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
// Numbers are made as ReturnValue::fromNumber makes them; those below a
// million, all that the search reads in practice, without allocating.
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
        } else if (const std::optional<int> number = numberOf(c, attribute)) {
            if (*number > -1000000 && *number < 1000000) {
                ShortText text;
                text << qint64(*number);
                if (visit(text.view()))
                    return true;
            } else if (visit(QStringView(ReturnValue::fromNumber(float(*number)).value()))) {
                return true;
            }
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
    if (const std::optional<int> number = numberOf(c, attribute))
        return ReturnValue::fromNumber(float(*number));
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

struct StaticParams
{
    QStringList variableNames;
    QList<QList<CNFLiteralIndex>> variableLocations; // per variable index
    QList<Candidate> candidates;
    // Per variable, in candidate order, the candidates it may be bound to.
    std::vector<std::vector<int>> allowed;
    CandidateValues values;
    QList<QList<PreparedLiteral>> cnf;
};

// Counts the bindings tried, so that a join the search cannot decide in
// reasonable time ends as "no match" with a note instead of stalling.
struct SearchBudget
{
    qint64 trialsLeft = 0;
    bool exhausted = false;
};

struct DynamicParams
{
    QList<bool> used;
    QList<int> assignment;
    QList<QList<EvaluationResult>> results;
};

PreparedOperand prepareOperand(const CNFOperand &operand, const QStringList &variableNames, QStringList &slotNames)
{
    PreparedOperand prepared;
    if (operand.isVariable()) {
        prepared.kind = CNFOperand::Variable;
        prepared.variable = int(variableNames.indexOf(operand.variableName()));
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

int boundCandidate(const DynamicParams &d, const PreparedOperand &operand)
{
    return operand.variable >= 0 ? d.assignment.at(operand.variable) : -1;
}

// The value of an operand under the current binding; null while its variable
// is unbound.
const CachedValue *operandValue(const StaticParams &s, const DynamicParams &d, const PreparedOperand &operand)
{
    if (operand.kind != CNFOperand::Variable)
        return &operand.constant;
    const int candidate = boundCandidate(d, operand);
    if (candidate < 0)
        return nullptr;
    return &s.values.value(s.candidates.at(candidate), candidate, operand);
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

// "any %contains word", the free word: a word without a line break lies
// within one of the texts that "any" joins with line breaks, so they are
// searched one by one, without joining or lower-casing them.
std::optional<EvaluationResult> evaluateAnyContains(
    const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    if (literal.operation != Operation::Contains || literal.left.attribute != Attribute::Any)
        return std::nullopt;
    const int candidate = boundCandidate(d, literal.left);
    if (candidate < 0 || s.values.has(candidate, literal.left))
        return std::nullopt;
    const CachedValue *right = operandValue(s, d, literal.right);
    if (!right)
        return EvaluationResult::Undetermined;
    if (!right->value.isString())
        return EvaluationResult::False;
    const QString &needle = right->lowerText();
    if (needle.contains(QLatin1Char('\n')))
        return std::nullopt;
    const bool found = needle.isEmpty() || visitAnyTexts(s.candidates.at(candidate), [&needle](QStringView text) {
        return lowerCaseContains(text, needle);
    });
    return found ? EvaluationResult::True : EvaluationResult::False;
}

EvaluationResult evaluatePredicate(const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    if (const std::optional<EvaluationResult> result = evaluateAnyContains(s, d, literal))
        return *result;
    const CachedValue *left = operandValue(s, d, literal.left);
    const CachedValue *right = operandValue(s, d, literal.right);
    if (!left || !right)
        return EvaluationResult::Undetermined;
    return holds(literal, *left, *right) ? EvaluationResult::True : EvaluationResult::False;
}

EvaluationResult evaluateBoolVariable(const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    const CachedValue *value = operandValue(s, d, literal.left);
    if (!value)
        return EvaluationResult::Undetermined;
    return value->value.isBool() && value->value.toBool() ? EvaluationResult::True : EvaluationResult::False;
}

EvaluationResult evaluateLiteral(const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    // A comparison with an operator of no evaluator is false, negated or not:
    // an unknown test must never make a container match.
    if (literal.predicate && !literal.knownOperator)
        return EvaluationResult::False;
    const EvaluationResult result
        = literal.predicate ? evaluatePredicate(s, d, literal) : evaluateBoolVariable(s, d, literal);
    if (!literal.negated || result == EvaluationResult::Undetermined)
        return result;
    return result == EvaluationResult::True ? EvaluationResult::False : EvaluationResult::True;
}

bool disjunctionIsSatisfiable(const QList<EvaluationResult> &results)
{
    for (const EvaluationResult r : results) {
        if (r != EvaluationResult::False)
            return true;
    }
    return false;
}

QString getVariableValue(const Candidate &candidate)
{
    if (!candidate.file)
        return QStringLiteral("workflowstep: %1").arg(candidate.step->Title);
    return QStringLiteral("file: %1").arg(candidate.file->Filename);
}

QHash<QString, QString> getVariableAssociations(const StaticParams &s, const DynamicParams &d)
{
    QHash<QString, QString> associations;
    for (int v = 0; v < s.variableNames.size(); ++v) {
        const QString &name = s.variableNames.at(v);
        if (!name.startsWith(QLatin1Char('@')))
            associations.insert(name, getVariableValue(s.candidates.at(d.assignment.at(v))));
    }
    return associations;
}

// Evaluates the literals of the variable just bound; false as soon as one of
// its disjunctions has become false.
bool propagate(const StaticParams &s, DynamicParams &d, int variable)
{
    for (const CNFLiteralIndex &at : s.variableLocations.at(variable)) {
        QList<EvaluationResult> &results = d.results[at.disjunctionIndex];
        results[at.literalIndex] = evaluateLiteral(s, d, s.cnf.at(at.disjunctionIndex).at(at.literalIndex));
        if (!disjunctionIsSatisfiable(results))
            return false;
    }
    return true;
}

bool davisPutnam(const StaticParams &s, DynamicParams d, SearchBudget &budget, QHash<QString, QString> &bindings);

bool evaluateVariables(
    const StaticParams &s, DynamicParams d, int variable, SearchBudget &budget, QHash<QString, QString> &bindings)
{
    if (--budget.trialsLeft < 0) {
        budget.exhausted = true;
        return false;
    }
    if (!propagate(s, d, variable))
        return false;
    return davisPutnam(s, d, budget, bindings);
}

// Binds the variables in list order to the candidates in candidate order and
// backtracks when a disjunction has become false.
bool davisPutnam(const StaticParams &s, DynamicParams d, SearchBudget &budget, QHash<QString, QString> &bindings)
{
    const int variable = int(d.assignment.indexOf(-1));
    if (variable < 0) {
        bindings = getVariableAssociations(s, d);
        return true;
    }
    const bool unnamed = s.variableNames.at(variable).startsWith(QLatin1Char('@'));
    for (const int c : s.allowed.at(size_t(variable))) {
        if (budget.exhausted)
            break;
        if (unnamed) {
            d.assignment[variable] = c;
            if (evaluateVariables(s, d, variable, budget, bindings))
                return true;
            continue;
        }
        if (d.used.at(c))
            continue;
        d.assignment[variable] = c;
        d.used[c] = true;
        const bool found = evaluateVariables(s, d, variable, budget, bindings);
        d.used[c] = false;
        if (found)
            return true;
    }
    return false;
}

// Orders the results of one literal: a candidate that makes a literal truer
// can only help the disjunctions holding it.
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

bool readsVariable(const PreparedLiteral &literal)
{
    return literal.left.kind == CNFOperand::Variable || literal.right.kind == CNFOperand::Variable;
}

bool readsOtherThan(const PreparedLiteral &literal, int variable)
{
    const auto other = [variable](const PreparedOperand &operand) {
        return operand.kind == CNFOperand::Variable && operand.variable != variable;
    };
    return other(literal.left) || other(literal.right);
}

bool isIndependent(const StaticParams &s, int variable)
{
    if (!s.variableNames.at(variable).startsWith(QLatin1Char('@')))
        return false;
    const QList<CNFLiteralIndex> &locations = s.variableLocations.at(variable);
    return std::none_of(locations.cbegin(), locations.cend(), [&](const CNFLiteralIndex &at) {
        return readsOtherThan(s.cnf.at(at.disjunctionIndex).at(at.literalIndex), variable);
    });
}

// An unnamed variable whose literals name no other variable (a free word, a
// comparison with a constant) is bound before the search to a candidate that
// makes each of its literals at least as true as any other candidate does,
// when there is one: no solution is lost, and the search no longer tries
// every combination of such variables. Otherwise "nosuch1 || ... ||
// nosuch30" would take candidates to the thirtieth power to fail. False when
// one of them leaves a disjunction false whatever it is bound to.
bool bindIndependentVariables(const StaticParams &s, DynamicParams &d)
{
    for (int v = 0; v < s.variableNames.size(); ++v) {
        if (!isIndependent(s, v))
            continue;
        const QList<CNFLiteralIndex> &locations = s.variableLocations.at(v);
        // The ranks of candidate c are ranks[c * width, (c + 1) * width).
        const qsizetype width = locations.size();
        const int candidates = int(s.candidates.size());
        std::vector<int> ranks;
        ranks.reserve(size_t(candidates * width));
        for (int c = 0; c < candidates; ++c) {
            d.assignment[v] = c;
            for (const CNFLiteralIndex &at : locations)
                ranks.push_back(truthRank(evaluateLiteral(s, d, s.cnf.at(at.disjunctionIndex).at(at.literalIndex))));
        }
        const auto dominates = [&ranks, width](int a, int b) {
            for (qsizetype i = 0; i < width; ++i) {
                if (ranks[size_t(a * width + i)] < ranks[size_t(b * width + i)])
                    return false;
            }
            return true;
        };
        int best = 0;
        for (int c = 1; c < candidates; ++c) {
            if (dominates(c, best) && !dominates(best, c))
                best = c;
        }
        bool dominant = candidates > 0;
        for (int c = 0; c < candidates && dominant; ++c)
            dominant = dominates(best, c);

        if (dominant) {
            d.assignment[v] = best;
            if (!propagate(s, d, v))
                return false;
            continue;
        }
        d.assignment[v] = -1;
        bool satisfiable = false;
        for (int c = 0; c < s.candidates.size() && !satisfiable; ++c) {
            DynamicParams trial = d;
            trial.assignment[v] = c;
            satisfiable = propagate(s, trial, v);
        }
        if (!satisfiable)
            return false;
    }
    return true;
}

// Whether the disjunction reads this variable and no other one.
bool namesOnly(const QList<PreparedLiteral> &disjunction, int variable)
{
    return std::any_of(disjunction.cbegin(), disjunction.cend(), readsVariable)
        && std::none_of(disjunction.cbegin(), disjunction.cend(),
            [variable](const PreparedLiteral &literal) { return readsOtherThan(literal, variable); });
}

// The candidates a variable still to be searched may take: those that leave
// no disjunction naming only this variable false. The search would cut any
// other candidate as soon as it bound it, so skipping them loses no solution
// and changes none of the order; a selective test such as
// "y:filename %matches *.dat" then spares a join over every candidate. As in
// the search, a literal of constants alone is never evaluated and so never
// makes its disjunction false.
// Variables bound already are not searched and get no list. False when a
// variable can take no candidate at all: then nothing matches.
bool restrictCandidates(StaticParams &s, DynamicParams d)
{
    const int candidates = int(s.candidates.size());
    s.allowed.assign(size_t(s.variableNames.size()), {});
    for (int v = 0; v < s.variableNames.size(); ++v) {
        if (d.assignment.at(v) >= 0)
            continue;
        std::vector<int> &allowed = s.allowed[size_t(v)];
        QList<int> own;
        for (int i = 0; i < s.cnf.size(); ++i) {
            if (namesOnly(s.cnf.at(i), v))
                own.append(i);
        }
        for (int c = 0; c < candidates; ++c) {
            d.assignment[v] = c;
            const bool passes = std::all_of(own.cbegin(), own.cend(), [&](int i) {
                const QList<PreparedLiteral> &disjunction = s.cnf.at(i);
                return std::any_of(disjunction.cbegin(), disjunction.cend(), [&](const PreparedLiteral &literal) {
                    return !readsVariable(literal) || evaluateLiteral(s, d, literal) != EvaluationResult::False;
                });
            });
            if (passes)
                allowed.push_back(c);
        }
        d.assignment[v] = -1;
        if (allowed.empty())
            return false;
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

bool evaluateCNF(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings,
    bool *gaveUp, qint64 maxTrials)
{
    bindings.clear();
    if (gaveUp)
        *gaveUp = false;
    StaticParams s;
    for (const Summary &summary : summaries) {
        s.candidates.append(Candidate { &summary, nullptr, summary.TagID });
        for (const FileSummary &file : summary.files)
            s.candidates.append(Candidate { &summary, &file, summary.TagID });
    }

    s.variableNames = cnf.variableNames();
    s.variableLocations.resize(s.variableNames.size());
    const QHash<QString, OperatorEntry> &operators = operatorTable();
    QStringList slotNames;
    DynamicParams d;
    for (int i = 0; i < cnf.numDisjunctions(); ++i) {
        const CNFDisjunction &disjunction = cnf.disjunctionAt(i);
        QList<PreparedLiteral> literals;
        for (int j = 0; j < disjunction.numLiterals(); ++j) {
            const CNFLiteral &literal = disjunction.literalAt(j);
            PreparedLiteral prepared;
            prepared.predicate = literal.isPredicate();
            prepared.negated = literal.isNegated();
            const auto op = operators.constFind(literal.op());
            if (op != operators.constEnd()) {
                prepared.evaluator = op->evaluator;
                prepared.operation = op->operation;
                prepared.knownOperator = true;
            }
            prepared.left = prepareOperand(literal.left(), s.variableNames, slotNames);
            if (literal.isPredicate())
                prepared.right = prepareOperand(literal.right(), s.variableNames, slotNames);
            literals.append(prepared);
            // Each variable of the literal once, as CNFLiteral::variableNames
            // gives them, without building a set.
            if (prepared.left.kind == CNFOperand::Variable)
                s.variableLocations[prepared.left.variable].append(CNFLiteralIndex { i, j });
            if (prepared.right.kind == CNFOperand::Variable && prepared.right.variable != prepared.left.variable)
                s.variableLocations[prepared.right.variable].append(CNFLiteralIndex { i, j });
        }
        s.cnf.append(literals);
        d.results.append(QList<EvaluationResult>(disjunction.numLiterals(), EvaluationResult::Undetermined));
    }
    s.values.reset(s.candidates.size(), slotNames.size());
    d.used = QList<bool>(s.candidates.size(), false);
    d.assignment = QList<int>(s.variableNames.size(), -1);

    if (!bindIndependentVariables(s, d))
        return false;
    if (!restrictCandidates(s, d))
        return false;
    SearchBudget budget { maxTrials, false };
    const bool found = davisPutnam(s, d, budget, bindings);
    if (gaveUp)
        *gaveUp = budget.exhausted;
    return found;
}

} // namespace traxo
