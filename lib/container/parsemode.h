#ifndef TRAXO_PARSEMODE_H
#define TRAXO_PARSEMODE_H

namespace traxo {

// ParseTolerant also accepts a section marker that starts inside a line and
// searches a few lines around a chain link that does not land on a marker.
enum ParseMode { ParseStrict = 0, ParseTolerant = 1 };

} // namespace traxo

#endif
