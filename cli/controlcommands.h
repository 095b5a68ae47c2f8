#ifndef STATIONSCOPE_CONTROLCOMMANDS_H
#define STATIONSCOPE_CONTROLCOMMANDS_H

// The subcommand that tests a control object of a live IED: operate.

#include <QString>

class QStringList;
class QTextStream;

namespace ControlCommands {
QString operateSynopsis();
QString operateDescription();
// arguments: those after the command name. Reads the object's ctlModel,
// then selects, operates or cancels as it needs, printing each step with its
// outcome. Exit code 0 on a positive outcome, 1 otherwise, 2 for usage errors.
int operate(const QStringList &arguments, QTextStream &out, QTextStream &err);
} // namespace ControlCommands

#endif
