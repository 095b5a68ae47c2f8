#ifndef STATIONSCOPE_VERIFYCOMMANDS_H
#define STATIONSCOPE_VERIFYCOMMANDS_H

// The subcommands that check a project against its IED's SCL file and move
// it to a newer one: verify and update.

#include <QString>

class QStringList;
class QTextStream;

namespace VerifyCommands {
QString verifySynopsis();
QString verifyDescription();
QString updateSynopsis();
QString updateDescription();

// arguments: those after the command name. Exit codes as every command's:
// verify 0 without an error finding, 1 with one or when the check cannot
// run, 2 for usage errors; update 0 when the project was written.
int verify(const QStringList &arguments, QTextStream &out, QTextStream &err);
int update(const QStringList &arguments, QTextStream &out, QTextStream &err);
} // namespace VerifyCommands

#endif
