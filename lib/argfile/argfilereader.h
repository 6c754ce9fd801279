#ifndef TRAXO_ARGFILEREADER_H
#define TRAXO_ARGFILEREADER_H

#include "argfile/argfile.h"
#include "logging/logsource.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace traxo {

// Turns arg-file text (or command-line words) into an ArgFile. The words are
// first checked against the option signatures, then interpreted option by
// option; problems are logged and whatever could be read is returned.
class ArgfileReader : public LogSource
{
    Q_OBJECT

public:
    ArgfileReader();

    // text is the content of an arg-file, not its name. Without a variable
    // table, references stay in the words as they are.
    ArgFile readArgfile(const QString &text, const QHash<QString, QString> *variables = nullptr);

    // The words up to the first unknown option or incomplete option group.
    QStringList checkOptionSignatures(const QStringList &words);
    // Interprets words that passed the signature check.
    ArgFile parseCommandline(const QStringList &words);

    // index points at the option's first parameter.
    void saveStepAttr(const QString &option, const QStringList &words, int index, ArgFile &argfile);
    void saveDocAttr(const QString &option, const QStringList &words, int index, ArgFile &argfile);
    void saveFileAttr(const QString &option, const QStringList &words, int index, WSFile &file);
    void saveFileFlag(const QString &option, const QStringList &words, int index, WSFile &file);

    // Option word to its number of parameters: traxoadd's vocabulary.
    static const QHash<QString, int> &optionSignatures();

private:
    void reportInvalidKey(const QString &key, const QString &option);
};

} // namespace traxo

#endif
