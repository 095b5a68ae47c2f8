#ifndef STATIONSCOPE_CHECKCOMMAND_H
#define STATIONSCOPE_CHECKCOMMAND_H

// The check subcommand: what of an SCL file breaks or misleads an RTU's
// integration, one finding a line.

#include <QString>

class QStringList;
class QTextStream;

namespace CheckCommand {
QString synopsis();
QString description();
// Exit code 0 without error findings, 1 with one, 2 when the file cannot be
// read at all or for usage errors.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
} // namespace CheckCommand

#endif
