#ifndef TRAXO_CONTAINERCHECK_H
#define TRAXO_CONTAINERCHECK_H

#include <QJsonObject>
#include <QList>
#include <QString>

// The checksums of one container checked: every section and embedded file
// against its MD5. Runs on any thread; each check has its own parser.
class ContainerCheck
{
public:
    enum Verdict { Valid, Invalid, Unreadable };

    struct Entry
    {
        bool isSection = false;
        int id = -1;
        QString name;
        bool valid = false;
    };

    // oneThread: the hashing runs on one thread, the checksums of the same
    // bytes paired, as suits checking several containers at once; else on
    // two worker lanes beside the reader.
    static ContainerCheck run(const QString &path, bool oneThread = false);

    QString path() const { return m_path; }
    Verdict verdict() const { return m_verdict; }
    const QList<Entry> &entries() const { return m_entries; }

    // "PATH: valid (2 sections, 3 files)", or the failing parts named.
    QString verdictLine() const;
    QJsonObject toJson() const;

private:
    QString m_path;
    Verdict m_verdict = Unreadable;
    QList<Entry> m_entries;
};

#endif
