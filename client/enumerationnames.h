#ifndef STATIONSCOPE_ENUMERATIONNAMES_H
#define STATIONSCOPE_ENUMERATIONNAMES_H

// The names of enumerated values as IEC 61850-7-3 and 7-4 give them (Health,
// Beh, Mod, ctlModel, orCat, sboClass), so a value reads "Ok (1)" instead of
// "1". An attribute is found by its path below the logical node.

#include <QString>
#include <QStringList>

namespace EnumerationNames {

// path: the names below the logical node, "Health.stVal" or
// "Oper.origin.orCat"; "LD/LN.DO.DA[FC]" and "LD/LN$FC$DO$DA" are cut
// down to that. Empty when no enumeration is known there or the value
// has no name in it.
QString name(const QString &path, qint64 value);
// "Ok (1)", or the number alone when it has no name.
QString text(const QString &path, qint64 value);

// The names below the logical node of a reference or a path.
QStringList pathNames(const QString &path);
} // namespace EnumerationNames

#endif
