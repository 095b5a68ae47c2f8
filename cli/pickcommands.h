#ifndef STATIONSCOPE_PICKCOMMANDS_H
#define STATIONSCOPE_PICKCOMMANDS_H

// The subcommands that engineer a project without the window: pick nodes of
// its SCL model into the selections and bind signals to the picks.

#include <QString>

class QStringList;
class QTextStream;

namespace PickCommands {
QString pickSynopsis();
QString pickDescription();
QString bindSynopsis();
QString bindDescription();

// arguments: those after the command name. pick: 0 when everything matched
// is picked or was picked already, 1 when a query matched nothing or a rule
// refused a node; bind: 0 when every rule was applied, 1 (nothing written)
// otherwise; both 2 for usage errors.
int pick(const QStringList &arguments, QTextStream &out, QTextStream &err);
int bind(const QStringList &arguments, QTextStream &out, QTextStream &err);
} // namespace PickCommands

#endif
