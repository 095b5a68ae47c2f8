#ifndef STATIONSCOPE_SQLTEXT_H
#define STATIONSCOPE_SQLTEXT_H

// Literals and names put into SQL texts. Every text that reaches a statement
// goes through one of these, so no value can end its literal early.

#include <QString>

namespace SqlText {
// 'text' with each apostrophe doubled.
QString literal(const QString &text);
// `name` with each backtick doubled. Backticks, not double quotes: SQLite
// reads an unknown double-quoted name as a string, which would make a probe
// for a missing column succeed.
QString identifier(const QString &name);
} // namespace SqlText

#endif
