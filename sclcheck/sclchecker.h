#ifndef STATIONSCOPE_SCLCHECKER_H
#define STATIONSCOPE_SCLCHECKER_H

// Checks one SCL file, all IEDs or one, for what breaks or misleads the
// integration of its IEDs into an RTU acting as client. The file is streamed:
// the type templates are read first (found by a byte scan where the markup
// allows it), then one pass checks each IED as it ends and drops it, so memory
// grows with the templates and one IED, not with the file.

#include "sclfinding.h"

#include <QString>
#include <QStringList>

#include <atomic>

struct SclCheckResult
{
    // False when the file could not be read at all (then problem says why).
    bool readable = false;
    QString problem;
    QStringList iedNames;
    // In the order of their lines.
    SclFindings findings;

    // The findings of one IED (those of the file and the templates left out).
    SclSeverityCounts countsOf(const QString &iedName) const;
};

class SclChecker
{
public:
    // Only this IED (with the file, templates and the communication entries
    // that name it); empty for all.
    void setIed(const QString &name) { iedFilter = name; }
    // Set from another thread to end a check early; the result then says so.
    void setCancelFlag(const std::atomic<bool> *flag) { cancel = flag; }

    SclCheckResult check(const QString &fileName) const;

private:
    QString iedFilter;
    const std::atomic<bool> *cancel = nullptr;
};

#endif
