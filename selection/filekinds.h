#ifndef STATIONSCOPE_FILEKINDS_H
#define STATIONSCOPE_FILEKINDS_H

// The name filters of the program's file dialogs, one per kind of file it
// reads or writes, so that every dialog lists every file of its kind.

#include <QString>

namespace FileKinds {

// Every SCL file kind the parser reads, then all files.
QString sclFiles();
QString projectFiles();
QString workbooks();
QString csvFiles();
// The file patterns a dialog filter lists, as the file dialog reads them:
// "Name (*.a *.b);;Other (*)" gives *.a, *.b and *.
QStringList patterns(const QString &filter);

} // namespace FileKinds

#endif
