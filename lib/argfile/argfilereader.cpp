#include "argfile/argfilereader.h"

#include "argfile/argfileparser.h"

namespace traxo {

ArgfileReader::ArgfileReader()
    : LogSource(nullptr)
{
}

const QHash<QString, int> &ArgfileReader::optionSignatures()
{
    static const QHash<QString, int> signatures = [] {
        QHash<QString, int> table;
        for (const char *option : { "--debug", "--stdin", "--verbose", "-v", "--quiet", "-q", "--pretend", "-p",
                 "--sync-cwd", "--version", "-V", "--help", "-h" })
            table.insert(QLatin1String(option), 0);
        for (const char *option : { "-c", "-1", "--firstpage", "-r", "--readme", "--file-flag", "-f",
                 "--append-to-traxofile", "-A", "-O", "-J", "-I", "--outfile", "-o", "--infile", "-i" })
            table.insert(QLatin1String(option), 1);
        for (const char *option :
            { "--file-user", "-u", "--file-attr", "-a", "--step-user", "-U", "--step", "-s", "--doc", "-d" })
            table.insert(QLatin1String(option), 2);
        return table;
    }();
    return signatures;
}

ArgFile ArgfileReader::readArgfile(const QString &text, const QHash<QString, QString> *variables)
{
    const QStringList words = ArgfileParser::parseArgfile(text, variables);
    return parseCommandline(checkOptionSignatures(words));
}

QStringList ArgfileReader::checkOptionSignatures(const QStringList &words)
{
    const QHash<QString, int> &signatures = optionSignatures();
    QStringList valid;
    int i = 0;
    while (i < words.size()) {
        const QString &option = words.at(i);
        const auto found = signatures.constFind(option);
        if (found == signatures.constEnd()) {
            emitLog(QStringLiteral("unknown option found: %1").arg(option), LogError);
            break;
        }
        const int count = found.value();
        if (i + count >= words.size()) {
            emitLog(QStringLiteral("not enough parameters for option: %1").arg(option), LogError);
            break;
        }
        valid << words.mid(i, count + 1);
        i += count + 1;
    }
    return valid;
}

ArgFile ArgfileReader::parseCommandline(const QStringList &words)
{
    ArgFile argfile;
    int current = -1; // index of the file that -a, -f and -u refer to

    auto param = [&words](int index) { return words.value(index); };

    int i = 0;
    while (i < words.size()) {
        const QString option = words.at(i);
        const int count = optionSignatures().value(option, -1);
        // Option groups were checked, but a caller may hand in any words:
        // an option cut short is treated like an unknown word.
        if (count >= 0 && i + count >= words.size()) {
            emitLog(QStringLiteral("invalid option (%1) found").arg(option), LogInfo);
            ++i;
            continue;
        }
        const QString p1 = param(i + 1);
        const QString p2 = param(i + 2);

        if (option == QLatin1String("-I")) {
            argfile.setRootfile(p1);
            argfile.setRootIsOptional(false);
        } else if (option == QLatin1String("-J")) {
            argfile.setRootfile(p1);
            argfile.setRootIsOptional(true);
        } else if (option == QLatin1String("-O")) {
            argfile.addOutputTraxofile(p1);
        } else if (option == QLatin1String("--append-to-traxofile") || option == QLatin1String("-A")) {
            argfile.addOutputTraxofile(p1);
            argfile.setRootfile(p1);
            argfile.setRootIsOptional(true);
        } else if (option == QLatin1String("--doc") || option == QLatin1String("-d")) {
            saveDocAttr(option, words, i + 1, argfile);
        } else if (option == QLatin1String("--step") || option == QLatin1String("-s")) {
            saveStepAttr(option, words, i + 1, argfile);
        } else if (option == QLatin1String("--step-user") || option == QLatin1String("-U")) {
            argfile.addUserAttribute(p1, p2);
        } else if (option == QLatin1String("--infile") || option == QLatin1String("-i")
            || option == QLatin1String("--outfile") || option == QLatin1String("-o")) {
            WSFile file;
            file.setInputFile(option == QLatin1String("--infile") || option == QLatin1String("-i"));
            file.setFilenameAndPath(p1);
            argfile.addFile(file);
            current = argfile.numFiles() - 1;
        } else if (option == QLatin1String("--file-attr") || option == QLatin1String("-a")) {
            if (WSFile *file = argfile.getFile(current))
                saveFileAttr(option, words, i + 1, *file);
        } else if (option == QLatin1String("--file-flag") || option == QLatin1String("-f")) {
            if (WSFile *file = argfile.getFile(current))
                saveFileFlag(option, words, i + 1, *file);
        } else if (option == QLatin1String("--file-user") || option == QLatin1String("-u")) {
            if (WSFile *file = argfile.getFile(current))
                file->addUserAttribute(p1, p2);
        } else if (option == QLatin1String("--pretend") || option == QLatin1String("-p")) {
            argfile.setPretend(true);
        } else if (option == QLatin1String("--verbose") || option == QLatin1String("-v")) {
            argfile.setVerbosity(ArgFile::Verbose);
        } else if (option == QLatin1String("--quiet") || option == QLatin1String("-q")) {
            argfile.setVerbosity(ArgFile::Quiet);
        } else if (option == QLatin1String("--readme") || option == QLatin1String("-r")) {
            argfile.setReadme(p1);
        } else if (option == QLatin1String("--firstpage") || option == QLatin1String("-1")) {
            argfile.setFirstpage(p1);
        } else if (option == QLatin1String("--stdin")) {
            // Where the words came from does not matter to the model.
        } else if (option == QLatin1String("--debug")) {
            argfile.setDebugMode(true);
        } else if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            argfile.setShowHelp(true);
        } else if (option == QLatin1String("--version") || option == QLatin1String("-V")) {
            argfile.setShowVersion(true);
        } else {
            // "-c" and "--sync-cwd" mean something to the tool only; "-c"'s
            // parameter then comes up as a word of its own.
            emitLog(QStringLiteral("invalid option (%1) found").arg(option), LogInfo);
            ++i;
            continue;
        }
        i += count + 1;
    }
    return argfile;
}

void ArgfileReader::saveStepAttr(const QString &option, const QStringList &words, int index, ArgFile &argfile)
{
    const QString key = words.value(index);
    const QString value = words.value(index + 1);
    if (key == QLatin1String("comment"))
        argfile.setComment(value);
    else if (key == QLatin1String("description"))
        argfile.setDescription(value);
    else if (key == QLatin1String("title"))
        argfile.setTitle(value);
    else if (key == QLatin1String("tool") || key == QLatin1String("toolversion"))
        argfile.setTool(value); // the model keeps no separate tool version
    else if (key == QLatin1String("toolpath"))
        argfile.setToolpath(value);
    else if (key == QLatin1String("host"))
        argfile.setHost(value);
    else if (key == QLatin1String("command"))
        argfile.setCommand(value);
    else if (key == QLatin1String("user"))
        argfile.setUser(value);
    else
        reportInvalidKey(key, option);
}

void ArgfileReader::saveDocAttr(const QString &option, const QStringList &words, int index, ArgFile &argfile)
{
    const QString key = words.value(index);
    const QString value = words.value(index + 1);
    if (key == QLatin1String("producer"))
        argfile.setPdfProducer(value);
    else if (key == QLatin1String("creator"))
        argfile.setPdfCreator(value);
    else if (key == QLatin1String("author"))
        argfile.setPdfAuthor(value);
    else if (key == QLatin1String("keywords"))
        argfile.setPdfKeywords(value);
    else if (key == QLatin1String("title"))
        argfile.setPdfTitle(value);
    else if (key == QLatin1String("subject"))
        argfile.setPdfSubject(value);
    else
        reportInvalidKey(key, option);
}

void ArgfileReader::saveFileAttr(const QString &option, const QStringList &words, int index, WSFile &file)
{
    const QString key = words.value(index);
    const QString value = words.value(index + 1);
    if (key == QLatin1String("comment"))
        file.setComment(value);
    else if (key == QLatin1String("md5file"))
        file.setMD5File(value);
    else if (key == QLatin1String("filetype"))
        file.setFiletype(value);
    else if (key == QLatin1String("description"))
        file.setDescription(value);
    else
        reportInvalidKey(key, option);
}

void ArgfileReader::saveFileFlag(const QString &option, const QStringList &words, int index, WSFile &file)
{
    const QString word = words.value(index);
    QString name = word;
    const bool on = !name.startsWith(QLatin1String("no-"));
    if (!on)
        name.remove(0, 3);

    if (name == QLatin1String("optional"))
        file.setOptional(on);
    else if (name == QLatin1String("compress"))
        file.setCompress(on);
    else if (name == QLatin1String("thumbnailonly"))
        file.setThumbnailOnly(on);
    else if (name == QLatin1String("previewws"))
        file.setPreviewWS(on);
    else if (name == QLatin1String("embed"))
        file.setEmbed(on);
    else if (name == QLatin1String("preview"))
        file.setPreview(on);
    else if (name == QLatin1String("automd5"))
        file.setAutoMD5(on);
    else if (name == QLatin1String("thumbnail"))
        file.setThumbnail(on);
    else
        emitLog(QStringLiteral("\"%1\" is no valid parameter for option %2").arg(word, option), LogError);
}

void ArgfileReader::reportInvalidKey(const QString &key, const QString &option)
{
    emitLog(QStringLiteral("first parameter (%1) of option %2 is invalid").arg(key, option), LogError);
}

} // namespace traxo
