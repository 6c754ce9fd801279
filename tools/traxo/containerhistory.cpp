#include "containerhistory.h"

#include "container/traxoparser.h"
#include "summary/summarycreator.h"
#include "summary/summaryreader.h"

#include <QJsonArray>
#include <QStringList>

namespace {

QJsonArray attributesToJson(
    const QStringList &keys, const QHash<QString, QString> &values, const QHash<QString, QString> &units)
{
    QJsonArray attributes;
    for (const QString &key : keys) {
        QJsonObject attribute { { QStringLiteral("name"), ContainerHistory::text(key) },
            { QStringLiteral("value"), ContainerHistory::text(values.value(key)) } };
        attribute.insert(QStringLiteral("unit"),
            units.contains(key) ? QJsonValue(ContainerHistory::text(units.value(key))) : QJsonValue());
        attributes.append(attribute);
    }
    return attributes;
}

QString role(const traxo::FileSummary &file)
{
    if (file.FilePurpose == QLatin1String("InFile"))
        return QStringLiteral("input");
    if (file.FilePurpose == QLatin1String("OutFile"))
        return QStringLiteral("output");
    return QStringLiteral("unknown");
}

bool embedded(const traxo::FileSummary &file)
{
    return file.TagID >= 0;
}

QJsonValue numberOrNull(int value)
{
    return value >= 0 ? QJsonValue(value) : QJsonValue();
}

QJsonObject fileToJson(const traxo::FileSummary &file)
{
    const QString md5 = file.UncompressedMD5.isEmpty() ? file.CompressedMD5 : file.UncompressedMD5;
    return QJsonObject {
        { QStringLiteral("role"), role(file) },
        { QStringLiteral("name"), ContainerHistory::text(file.Filename) },
        { QStringLiteral("path"), ContainerHistory::recordedPath(file) },
        { QStringLiteral("type"), ContainerHistory::text(file.Filetype) },
        { QStringLiteral("size"), numberOrNull(file.UncompressedSize) },
        { QStringLiteral("md5"), md5.isEmpty() ? QJsonValue() : QJsonValue(md5) },
        { QStringLiteral("embedded"), embedded(file) },
        { QStringLiteral("id"), numberOrNull(file.TagID) },
        { QStringLiteral("description"), ContainerHistory::text(file.Description) },
        { QStringLiteral("comment"), ContainerHistory::text(file.Comment) },
        { QStringLiteral("attributes"),
            attributesToJson(file.userAttributeKeys, file.userAttributeValues, file.userAttributeUnits) },
    };
}

QString attributesToText(const QStringList &keys, const QHash<QString, QString> &values,
    const QHash<QString, QString> &units, const QString &indent)
{
    QString out;
    for (const QString &key : keys) {
        out += indent + ContainerHistory::text(key) + QStringLiteral(" = ") + ContainerHistory::text(values.value(key));
        const QString unit = ContainerHistory::text(units.value(key));
        if (!unit.isEmpty())
            out += QLatin1Char(' ') + unit;
        out += QLatin1Char('\n');
    }
    return out;
}

void appendField(QString *out, const QString &label, const QString &value, const QString &indent)
{
    if (value.isEmpty())
        return;
    // A text of several lines keeps its shape under the label.
    QString shaped = value;
    shaped.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent + QString(13, QLatin1Char(' ')));
    *out += indent + (label + QLatin1Char(':')).leftJustified(13) + shaped + QLatin1Char('\n');
}

QString fileToText(const traxo::FileSummary &file)
{
    QString out = QStringLiteral("  %1 %2").arg(role(file).leftJustified(7), ContainerHistory::recordedPath(file));
    QStringList facts;
    if (file.UncompressedSize >= 0)
        facts << QStringLiteral("%1 bytes").arg(file.UncompressedSize);
    const QString md5 = file.UncompressedMD5.isEmpty() ? file.CompressedMD5 : file.UncompressedMD5;
    if (!md5.isEmpty())
        facts << QStringLiteral("md5 ") + md5;
    facts << (embedded(file) ? QStringLiteral("embedded") : QStringLiteral("not embedded"));
    out += QStringLiteral(" (") + facts.join(QStringLiteral(", ")) + QStringLiteral(")\n");
    appendField(&out, QStringLiteral("type"), ContainerHistory::text(file.Filetype), QStringLiteral("    "));
    appendField(&out, QStringLiteral("description"), ContainerHistory::text(file.Description), QStringLiteral("    "));
    appendField(&out, QStringLiteral("comment"), ContainerHistory::text(file.Comment), QStringLiteral("    "));
    out += attributesToText(
        file.userAttributeKeys, file.userAttributeValues, file.userAttributeUnits, QStringLiteral("    "));
    return out;
}

} // namespace

QString ContainerHistory::text(const QString &stored)
{
    return traxo::SummaryReader::decodeText(stored);
}

QString ContainerHistory::recordedPath(const traxo::FileSummary &file)
{
    QString directory = text(file.Filepath);
    if (directory == QLatin1String(".") || directory == QLatin1String("./"))
        directory.clear();
    if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/')) && !directory.endsWith(QLatin1Char('\\')))
        directory += QLatin1Char('/');
    return directory + text(file.Filename);
}

QSet<int> ContainerHistory::summaryFileIds(const traxo::TraxoParser &parser)
{
    QSet<int> ids;
    for (int i = 0; i < parser.getNumSections(); ++i) {
        const QList<traxo::FileTag> inSection = parser.getFilesInSection(i);
        if (!inSection.isEmpty() && inSection.last().filename == QLatin1String("ws_summary.xml"))
            ids.insert(inSection.last().id);
    }
    return ids;
}

bool ContainerHistory::read(const QString &path)
{
    m_path = path;
    m_steps.clear();
    m_looseFiles.clear();
    traxo::TraxoParser parser(traxo::ParseTolerant);
    if (!parser.open(path))
        return false;
    traxo::SummaryCreator creator;
    const QList<traxo::Summary> summaries = creator.createSummaries(parser);
    const QSet<int> stored = summaryFileIds(parser);
    const int numSections = parser.getNumSections();
    for (int i = 0; i < summaries.size(); ++i) {
        traxo::Summary step = summaries.at(i);
        step.files.removeIf([&stored](const traxo::FileSummary &file) { return stored.contains(file.TagID); });
        if (i < numSections)
            m_steps.append(step);
        else
            m_looseFiles += step.files;
    }
    return true;
}

QJsonObject ContainerHistory::toJson() const
{
    QJsonArray steps;
    for (const traxo::Summary &step : m_steps) {
        QJsonArray files;
        for (const traxo::FileSummary &file : step.files)
            files.append(fileToJson(file));
        steps.append(QJsonObject {
            { QStringLiteral("id"), step.TagID },
            { QStringLiteral("title"), text(step.Title) },
            { QStringLiteral("time"), text(step.Timestamp) },
            { QStringLiteral("tool"), text(step.Tool) },
            { QStringLiteral("toolPath"), text(step.ToolPath) },
            { QStringLiteral("command"), text(step.Command) },
            { QStringLiteral("user"), text(step.User) },
            { QStringLiteral("host"), text(step.Host) },
            { QStringLiteral("creator"), text(step.Creator) },
            { QStringLiteral("description"), text(step.Description) },
            { QStringLiteral("comment"), text(step.Comment) },
            { QStringLiteral("attributes"),
                attributesToJson(step.userAttributeKeys, step.userAttributeValues, step.userAttributeUnits) },
            { QStringLiteral("files"), files },
        });
    }
    QJsonArray loose;
    for (const traxo::FileSummary &file : m_looseFiles)
        loose.append(fileToJson(file));
    return QJsonObject {
        { QStringLiteral("file"), m_path },
        { QStringLiteral("steps"), steps },
        { QStringLiteral("looseFiles"), loose },
    };
}

QString ContainerHistory::toText() const
{
    QString out = m_path + QLatin1Char('\n');
    for (int i = 0; i < m_steps.size(); ++i) {
        const traxo::Summary &step = m_steps.at(i);
        out += QStringLiteral("\nStep %1 of %2: %3\n").arg(i + 1).arg(m_steps.size()).arg(text(step.Title));
        appendField(&out, QStringLiteral("time"), text(step.Timestamp), QString());
        appendField(&out, QStringLiteral("tool"), text(step.Tool), QString());
        appendField(&out, QStringLiteral("tool path"), text(step.ToolPath), QString());
        appendField(&out, QStringLiteral("command"), text(step.Command), QString());
        appendField(&out, QStringLiteral("user"), text(step.User), QString());
        appendField(&out, QStringLiteral("host"), text(step.Host), QString());
        appendField(&out, QStringLiteral("description"), text(step.Description), QString());
        appendField(&out, QStringLiteral("comment"), text(step.Comment), QString());
        out += attributesToText(step.userAttributeKeys, step.userAttributeValues, step.userAttributeUnits, QString());
        if (!step.files.isEmpty())
            out += QStringLiteral("files:\n");
        for (const traxo::FileSummary &file : step.files)
            out += fileToText(file);
    }
    if (!m_looseFiles.isEmpty())
        out += QStringLiteral("\nFiles outside every step:\n");
    for (const traxo::FileSummary &file : m_looseFiles)
        out += fileToText(file);
    return out;
}
