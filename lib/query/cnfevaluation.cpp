#include "cnfevaluation.h"

#include <QStringList>

namespace traxo {

namespace {

enum class EvaluationResult { Undetermined, True, False };

using Evaluator = ReturnValue (*)(const ReturnValue &, const ReturnValue &);

const QHash<QString, Evaluator> &evaluatorTable()
{
    static const QHash<QString, Evaluator> table {
        { QStringLiteral("=="), evaluateEq },
        { QStringLiteral("!="), evaluateNEq },
        { QStringLiteral("<"), evaluateLess },
        { QStringLiteral("<="), evaluateLessEq },
        { QStringLiteral(">"), evaluateGreater },
        { QStringLiteral(">="), evaluateGreaterEq },
        { QStringLiteral("%contains"), evaluateContains },
        { QStringLiteral("%matches"), evaluateMatches },
        { QStringLiteral("%isapprox"), evaluateIsApprox },
    };
    return table;
}

// A literal with its variables resolved to indices and its attribute names
// lower-cased once, rather than at every candidate.
struct PreparedOperand
{
    CNFOperand::Kind kind = CNFOperand::Invalid;
    int variable = -1;
    QString attribute;
    ReturnValue constant;
};

struct PreparedLiteral
{
    bool predicate = true;
    bool negated = false;
    bool knownOperator = false;
    Evaluator evaluator = nullptr;
    PreparedOperand left;
    PreparedOperand right;
};

struct StaticParams
{
    QStringList variableNames;
    QList<QList<CNFLiteralIndex>> variableLocations; // per variable index
    QList<QHash<QString, ReturnValue>> candidates;
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

PreparedOperand prepareOperand(const CNFOperand &operand, const QStringList &variableNames)
{
    PreparedOperand prepared;
    if (operand.isVariable()) {
        prepared.kind = CNFOperand::Variable;
        prepared.variable = int(variableNames.indexOf(operand.variableName()));
        prepared.attribute = operand.variableAttribute().toLower();
    } else if (operand.isString()) {
        prepared.kind = CNFOperand::String;
        prepared.constant = ReturnValue::fromString(operand.string());
    }
    return prepared;
}

ReturnValue operandToReturnValue(const StaticParams &s, const DynamicParams &d, const PreparedOperand &operand)
{
    switch (operand.kind) {
    case CNFOperand::String:
        return operand.constant;
    case CNFOperand::Invalid:
        return ReturnValue(ReturnValueType::InvalidOperand, QString());
    case CNFOperand::Variable:
        break;
    }
    const int candidate = operand.variable >= 0 ? d.assignment.at(operand.variable) : -1;
    if (candidate < 0)
        return ReturnValue(ReturnValueType::UnassignedVariable, QString());
    const QHash<QString, ReturnValue> &table = s.candidates.at(candidate);
    const auto it = table.constFind(operand.attribute);
    if (it == table.constEnd())
        return ReturnValue(ReturnValueType::MissingAttribute, QString());
    return it.value();
}

EvaluationResult evaluatePredicate(const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    const ReturnValue left = operandToReturnValue(s, d, literal.left);
    const ReturnValue right = operandToReturnValue(s, d, literal.right);
    if (left.isUnassignedVariable() || right.isUnassignedVariable())
        return EvaluationResult::Undetermined;
    const ReturnValue result = literal.evaluator(left, right);
    return result.isBool() && result.toBool() ? EvaluationResult::True : EvaluationResult::False;
}

EvaluationResult evaluateBoolVariable(const StaticParams &s, const DynamicParams &d, const PreparedLiteral &literal)
{
    const ReturnValue value = operandToReturnValue(s, d, literal.left);
    if (value.isUnassignedVariable())
        return EvaluationResult::Undetermined;
    return value.isBool() && value.toBool() ? EvaluationResult::True : EvaluationResult::False;
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

QString getVariableValue(const QHash<QString, ReturnValue> &candidate)
{
    if (candidate.value(QStringLiteral("iswfs")).toBool())
        return QStringLiteral("workflowstep: %1").arg(candidate.value(QStringLiteral("title")).value());
    if (candidate.value(QStringLiteral("isfile")).toBool())
        return QStringLiteral("file: %1").arg(candidate.value(QStringLiteral("filename")).value());
    return QStringLiteral("not a file of workflowstep ...");
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
    for (int c = 0; c < s.candidates.size() && !budget.exhausted; ++c) {
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

bool isIndependent(const StaticParams &s, int variable)
{
    if (!s.variableNames.at(variable).startsWith(QLatin1Char('@')))
        return false;
    for (const CNFLiteralIndex &at : s.variableLocations.at(variable)) {
        const PreparedLiteral &literal = s.cnf.at(at.disjunctionIndex).at(at.literalIndex);
        for (const PreparedOperand *operand : { &literal.left, &literal.right }) {
            if (operand->kind == CNFOperand::Variable && operand->variable != variable)
                return false;
        }
    }
    return true;
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
        QList<QList<int>> ranks;
        for (int c = 0; c < s.candidates.size(); ++c) {
            d.assignment[v] = c;
            QList<int> rank;
            for (const CNFLiteralIndex &at : locations)
                rank.append(truthRank(evaluateLiteral(s, d, s.cnf.at(at.disjunctionIndex).at(at.literalIndex))));
            ranks.append(rank);
        }
        const auto dominates = [&ranks](int a, int b) {
            for (int i = 0; i < ranks.at(a).size(); ++i) {
                if (ranks.at(a).at(i) < ranks.at(b).at(i))
                    return false;
            }
            return true;
        };
        int best = 0;
        for (int c = 1; c < ranks.size(); ++c) {
            if (dominates(c, best) && !dominates(best, c))
                best = c;
        }
        bool dominant = !ranks.isEmpty();
        for (int c = 0; c < ranks.size() && dominant; ++c)
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

void appendText(QHash<QString, ReturnValue> &table, QStringList &texts, const QString &key, const ReturnValue &value)
{
    table.insert(key, value);
    if (value.isString())
        texts.append(value.value());
}

void appendUserAttributes(QHash<QString, ReturnValue> &table, QStringList &texts, const QStringList &keys,
    const QHash<QString, QString> &values, const QString &separator)
{
    QStringList lowerKeys;
    for (const QString &key : keys)
        lowerKeys.append(key.toLower());
    appendText(table, texts, QStringLiteral("userattrs"), ReturnValue::fromString(lowerKeys.join(separator)));
    for (const QString &key : keys)
        appendText(table, texts, QLatin1String("user:") + key.toLower(), ReturnValue::fromString(values.value(key)));
}

} // namespace

// The keys are literals, which cost no allocation: a table is built for every
// step and file of every container a search reads.
QHash<QString, ReturnValue> convertStepToHash(const Workflowstep &step)
{
    QHash<QString, ReturnValue> table;
    QStringList texts;
    const auto text = [&](const QString &key, const QString &value) {
        appendText(table, texts, key, ReturnValue::fromString(value));
    };
    text(QStringLiteral("hash"), QStringLiteral("wfs:%1").arg(step.TagID));
    appendText(table, texts, QStringLiteral("tagid"), ReturnValue::fromNumber(float(step.TagID)));
    text(QStringLiteral("traxorootfile"), step.TraxoRootFile);
    text(QStringLiteral("timestamp"), step.Timestamp);
    text(QStringLiteral("title"), step.Title);
    text(QStringLiteral("description"), step.Description);
    text(QStringLiteral("comment"), step.Comment);
    text(QStringLiteral("command"), step.Command);
    text(QStringLiteral("tool"), step.Tool);
    text(QStringLiteral("toolpath"), step.ToolPath);
    text(QStringLiteral("host"), step.Host);
    text(QStringLiteral("user"), step.User);
    text(QStringLiteral("creator"), step.Creator);
    table.insert(QStringLiteral("iswfs"), ReturnValue::fromBool(true));
    table.insert(QStringLiteral("isfile"), ReturnValue::fromBool(false));
    appendUserAttributes(table, texts, step.userAttributeKeys, step.userAttributeValues, QStringLiteral("\n"));
    table.insert(QStringLiteral("any"), ReturnValue::fromString(texts.join(QLatin1Char('\n'))));
    return table;
}

QHash<QString, ReturnValue> convertFileToHash(const FileSummary &file, int stepTagId)
{
    QHash<QString, ReturnValue> table;
    QStringList texts;
    const auto text = [&](const QString &key, const QString &value) {
        appendText(table, texts, key, ReturnValue::fromString(value));
    };
    const auto flag = [&](const QString &key, bool value) { table.insert(key, ReturnValue::fromBool(value)); };
    const auto number
        = [&](const QString &key, int value) { appendText(table, texts, key, ReturnValue::fromNumber(float(value))); };
    const bool inFile = file.FilePurpose == QLatin1String("InFile");
    text(QStringLiteral("hash"), QStringLiteral("file:%1:%2").arg(stepTagId).arg(file.TagID));
    number(QStringLiteral("tagid"), file.TagID);
    text(QStringLiteral("filename"), file.Filename);
    text(QStringLiteral("filepath"), file.Filepath);
    text(QStringLiteral("filetype"), file.Filetype);
    text(QStringLiteral("description"), file.Description);
    text(QStringLiteral("comment"), file.Comment);
    text(QStringLiteral("lastmodified"), file.LastModified);
    flag(QStringLiteral("embedded"), file.Embedded);
    flag(QStringLiteral("compressed"), file.CompressedMethod == QLatin1String("flate"));
    text(QStringLiteral("filepurpose"), file.FilePurpose);
    flag(QStringLiteral("isinfile"), inFile);
    flag(QStringLiteral("isoutfile"), !inFile);
    number(QStringLiteral("filesize"), file.UncompressedSize);
    number(QStringLiteral("cfilesize"), file.CompressedSize);
    text(QStringLiteral("md5"), file.UncompressedMD5);
    text(QStringLiteral("cmd5"), file.CompressedMD5);
    flag(QStringLiteral("iswfs"), false);
    flag(QStringLiteral("isfile"), true);
    number(QStringLiteral("parentid"), stepTagId);
    appendUserAttributes(table, texts, file.userAttributeKeys, file.userAttributeValues, QStringLiteral(", "));
    table.insert(QStringLiteral("any"), ReturnValue::fromString(texts.join(QLatin1Char('\n'))));
    return table;
}

bool evaluateCNF(const QList<Summary> &summaries, const ConjunctiveNormalForm &cnf, QHash<QString, QString> &bindings,
    bool *gaveUp, qint64 maxTrials)
{
    bindings.clear();
    if (gaveUp)
        *gaveUp = false;
    StaticParams s;
    for (const Summary &summary : summaries) {
        s.candidates.append(convertStepToHash(summary));
        for (const FileSummary &file : summary.files)
            s.candidates.append(convertFileToHash(file, summary.TagID));
    }

    s.variableNames = cnf.variableNames();
    s.variableLocations.resize(s.variableNames.size());
    const QHash<QString, Evaluator> &evaluators = evaluatorTable();
    DynamicParams d;
    for (int i = 0; i < cnf.numDisjunctions(); ++i) {
        const CNFDisjunction &disjunction = cnf.disjunctionAt(i);
        QList<PreparedLiteral> literals;
        for (int j = 0; j < disjunction.numLiterals(); ++j) {
            const CNFLiteral &literal = disjunction.literalAt(j);
            PreparedLiteral prepared;
            prepared.predicate = literal.isPredicate();
            prepared.negated = literal.isNegated();
            prepared.evaluator = evaluators.value(literal.op(), nullptr);
            prepared.knownOperator = prepared.evaluator != nullptr;
            prepared.left = prepareOperand(literal.left(), s.variableNames);
            if (literal.isPredicate())
                prepared.right = prepareOperand(literal.right(), s.variableNames);
            literals.append(prepared);
            const QSet<QString> names = literal.variableNames();
            for (const QString &name : names)
                s.variableLocations[s.variableNames.indexOf(name)].append(CNFLiteralIndex { i, j });
        }
        s.cnf.append(literals);
        d.results.append(QList<EvaluationResult>(disjunction.numLiterals(), EvaluationResult::Undetermined));
    }
    d.used = QList<bool>(s.candidates.size(), false);
    d.assignment = QList<int>(s.variableNames.size(), -1);

    if (!bindIndependentVariables(s, d))
        return false;
    SearchBudget budget { maxTrials, false };
    const bool found = davisPutnam(s, d, budget, bindings);
    if (gaveUp)
        *gaveUp = budget.exhausted;
    return found;
}

} // namespace traxo
