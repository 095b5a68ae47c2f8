#ifndef STATIONSCOPE_LIVEVALUES_H
#define STATIONSCOPE_LIVEVALUES_H

// Texts of values read from a live IED as the engineer reads them: quality as
// words, time stamps in ISO 8601 UTC with their time quality, data access
// errors by name; and the distribution of a read value over the tree rows of
// the attributes it holds.

#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QString>
#include <Qt>

#include <functional>

class QStandardItem;
class QStandardItemModel;

namespace LiveValues {

// path: the attribute's name, or its names below the logical node
// ("Health.stVal"), which name an enumeration's value ("Ok (1)"); a bit
// string named "q" is a quality.
QString text(const MmsValue &value, const QString &path = QString());
QString timeText(const MmsValue &value);
QString qualityText(const MmsValue &value);

// A data object's or attribute's value split into its parts for one line:
// the value (a single leaf plainly, else "name=value" pairs), its q and t.
struct Parts
{
    QString value;
    QString quality;
    QString timestamp;
};
// name: as path above, of the value itself.
Parts parts(const MmsValue &value, const MmsTypeSpec &type, const QString &name);

// The ReasonForInclusion bits as words ("data-change|GI"), empty for none.
QString reasonText(int reasons);

// The column the values are shown in.
constexpr int ValueColumn = 1;

// Writes into the value column of item and of the rows below it the parts of
// value that their names (nameOf) select; rows whose constraint (fcOf, empty
// when the tree has none) is not fc are left alone. Returns the rows written.
// path: item's names below the logical node ("Health"), for enumerations.
using NameOf = std::function<QString(const QStandardItem *)>;
int fill(QStandardItem *item, const MmsValue &value, const MmsTypeSpec &type, const QString &fc,
         const NameOf &nameOf, const NameOf &fcOf, const QString &path = QString());
// Writes one text into item's value column.
void setValueText(QStandardItem *item, const QString &text);

// On a value cell written above: the text the cell held before (empty for a
// cell made for the value). Never stored.
constexpr int ReadValueRole = Qt::UserRole + 200;
// Gives every cell of model written above its text from before; returns the
// cells restored.
int clearReadValues(QStandardItemModel *model);

} // namespace LiveValues

#endif
