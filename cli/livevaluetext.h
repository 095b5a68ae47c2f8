#ifndef STATIONSCOPE_LIVEVALUETEXT_H
#define STATIONSCOPE_LIVEVALUETEXT_H

// Values read from or reported by a live IED as one engineer-readable line:
// the type, the value, a quality and time stamp decoded.

#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QString>
#include <QStringList>

namespace LiveValueText {

// "float 0.783327", "quality invalid|oldData", "utc-time 2026-12-07 15:17:02.939
// UTC", "integer 1 (Ok)"; an attribute named "q" that is a bit string is a
// quality. path: the name, or the names below the logical node
// ("Health.stVal"), which tell an enumeration.
QString typedValue(const MmsValue &value, const QString &path);
// One line per attribute of a structured value ("origin.orCat: integer 3
// (remote-control)"), named after type when it describes the value, by
// position otherwise; base: the value's names below the logical node.
QStringList attributeLines(const MmsValue &value, const MmsTypeSpec &type,
                           const QString &base = QString());

struct MemberText
{
    QString value;
    QString quality = QStringLiteral("-");
    QString timestamp = QStringLiteral("-");
};
// A data set member's value: a data object's q and t come out of its
// structure by their names in type (when given).
// path: as typedValue's; enumerations read "Ok (1)".
MemberText member(const MmsValue &value, const MmsTypeSpec *type, const QString &path);

} // namespace LiveValueText

#endif
