#ifndef TRAXO_TEMPTRAXOFILE_H
#define TRAXO_TEMPTRAXOFILE_H

#include <QString>

namespace traxo {

// Owns a temporary file by its path: the file is removed when the owner goes.
// Not copyable, so a file is removed exactly once; share it through a
// pointer.
class TempTraxofile
{
public:
    explicit TempTraxofile(const QString &path);
    ~TempTraxofile();
    TempTraxofile(const TempTraxofile &) = delete;
    TempTraxofile &operator=(const TempTraxofile &) = delete;

    QString path() const { return m_path; }

    // A new, empty file with a unique name in the system's temporary
    // directory, left in place for a writer to replace; empty on failure.
    static QString createUniqueFile();

private:
    QString m_path;
};

} // namespace traxo

#endif
