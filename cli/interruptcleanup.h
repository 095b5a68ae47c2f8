#ifndef STATIONSCOPE_INTERRUPTCLEANUP_H
#define STATIONSCOPE_INTERRUPTCLEANUP_H

// Temporary files a command makes (an upgraded copy of an older project, a
// workbook being written) are removed when SIGTERM, SIGHUP or Ctrl+C ends the
// process, which then names the signal on the error stream and ends by it.
// Files are removed first, then folders. Where a StopSignal watches SIGINT
// and SIGTERM, the command ends in order itself and removes them on its way.
// A write past the file size limit (SIGXFSZ) ends the process the same way
// with exit code 1 and "File too large": the workbook writer does not check
// every write, so carrying on could pass a truncated workbook as written.
// Commands whose writers check every write (SQLite) ignore SIGXFSZ instead.

#include <QString>

class InterruptCleanup
{
public:
    // Installs the handlers where a signal still has its default action.
    static void install();
    // Returns a token for forget(); the path must stay valid text until then.
    static int addFile(const QString &path);
    // The folder with what it holds, a few levels down.
    static int addFolder(const QString &path);
    static void forget(int token);
};

#endif
