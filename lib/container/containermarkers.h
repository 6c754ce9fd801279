#ifndef TRAXO_CONTAINERMARKERS_H
#define TRAXO_CONTAINERMARKERS_H

#include <QByteArray>
#include <QString>

// The text of the three marker lines that structure a container, shared by
// the parser and the writer so that both speak exactly the same format.
namespace traxo {

// Value expressions of the marker fields: text (with the escapes \\ \] \n),
// integer (decimal digits, possibly none) and MD5 (empty or 32 lower-case
// hex digits).
extern const QString strRegex;
extern const QString intRegex;
extern const QString md5Regex;

// Marker templates: %1 stands for strRegex, %2 for intRegex, %3 for md5Regex.
extern const QString sectionRegexStr;
extern const QString fileRegexStr;

// The line prefixes that announce each marker.
inline constexpr char TRAXO_HEADER_LINE[] = "%<--! $TRAXO_PDF [version:1.0]";
inline constexpr char TRAXO_SECTION_PREFIX[] = "%<--! $TRAXO_SECTION";
inline constexpr char TRAXO_EMBEDDEDFILE_PREFIX[] = "%<--! $TRAXO_EMBEDDEDFILE_BEGIN";

// The value that stands in md5section while the section checksum is taken.
inline constexpr char TRAXO_ZERO_MD5[] = "00000000000000000000000000000000";

// Escapes backslash, "]" and line feed so that any text fits a marker field.
QString escapeMarkerText(const QString &text);
// Undoes escapeMarkerText; a lone backslash before any other character is
// kept as it stands.
QString unescapeMarkerText(const QString &text);

} // namespace traxo

#endif
