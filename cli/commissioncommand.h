#ifndef STATIONSCOPE_COMMISSIONCOMMAND_H
#define STATIONSCOPE_COMMISSIONCOMMAND_H

// The commission subcommand: an unattended commissioning session against a
// project's IED that updates the record kept in the project.

#include <QString>

class QStringList;
class QTextStream;

namespace CommissionCommand {
QString synopsis();
QString description();
// Exit code 0 when every row of the record has been seen, 1 otherwise or
// when the session cannot run, 2 for usage errors.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
} // namespace CommissionCommand

#endif
