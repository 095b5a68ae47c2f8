#ifndef STATIONSCOPE_STAGEDFILE_H
#define STATIONSCOPE_STAGEDFILE_H

#include <QString>

// A file made whole or not at all: it is written under a temporary name beside
// its target and renamed into place once complete, so a write that fails or
// is killed leaves nothing under the target's name. A staging file that was
// not committed is removed with the StagedFile; one left by a killed process
// keeps its name "TARGET.XXXXXX.partial" until the next staging of the same
// target removes it. A live one is locked (flock) for as long as its writer
// lives, so that only the files of ended processes are taken.
class StagedFile
{
public:
    explicit StagedFile(const QString &target);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    enum class Target { New, Replaced };
    // Makes the empty staging file, refusing when the target exists unless
    // it is to be replaced.
    bool create(QString *problem, Target kind = Target::New);
    QString stagingPath() const { return staging; }
    QString targetPath() const { return target; }
    // Renames the staging file to the target. Never replaces a file (unless
    // made for Target::Replaced): one made under the target's name meanwhile
    // stays, and the commit fails.
    bool commit(QString *problem);
    // Why writing the staging file failed, in the file system's words ("No
    // space left on device", "File too large"), found by writing to it once
    // more; empty when that write succeeds. The staging file is to be
    // discarded after a failure anyway.
    QString writeProblem() const;
    void discard();

    // Why a file that was written in place could not be, as writeProblem()
    // tells it: the file size limit against the file and its journal, else a
    // probe beside it. Empty when nothing refuses.
    static QString writeProblemBeside(const QString &path);

private:
    void removeLeftovers() const;
    void unlock();

    QString target;
    QString staging;
    int lockDescriptor = -1;
    bool replacing = false;
    bool committed = false;
};

#endif
