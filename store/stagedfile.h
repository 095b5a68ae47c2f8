#ifndef STATIONSCOPE_STAGEDFILE_H
#define STATIONSCOPE_STAGEDFILE_H

#include <QString>

// A file made whole or not at all: it is written under a temporary name beside
// its target and renamed into place once complete, so a write that fails or
// is killed leaves nothing under the target's name. A staging file that was
// not committed is removed with the StagedFile; one left by a killed process
// keeps its name "TARGET.XXXXXX.partial".
class StagedFile
{
public:
    explicit StagedFile(const QString &target);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Makes the empty staging file, refusing when the target exists.
    bool create(QString *problem);
    QString stagingPath() const { return staging; }
    QString targetPath() const { return target; }
    // Renames the staging file to the target. Never replaces a file: one made
    // under the target's name meanwhile stays, and the commit fails.
    bool commit(QString *problem);
    // Why writing the staging file failed, in the file system's words ("No
    // space left on device", "File too large"), found by writing to it once
    // more; empty when that write succeeds. The staging file is to be
    // discarded after a failure anyway.
    QString writeProblem() const;
    void discard();

private:
    QString target;
    QString staging;
    bool committed = false;
};

#endif
