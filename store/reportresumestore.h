#ifndef STATIONSCOPE_REPORTRESUMESTORE_H
#define STATIONSCOPE_REPORTRESUMESTORE_H

// Where each buffered report control block of a project stopped: the EntryID
// and time of entry of the last report shown, so the next watch resumes
// after it instead of receiving the whole buffer again. Kept outside the
// tables that make a project complete: the upgrade of a file opened for
// writing adds the table, and a file without it simply has no such points.

#include <QByteArray>
#include <QHash>
#include <QString>

class Iec61850DbManager;

struct ReportResumePoint
{
    QByteArray entryId;
    qint64 entryTimeMs = 0; // 0 when the report carried no time of entry

    bool operator==(const ReportResumePoint &other) const
    {
        return entryId == other.entryId && entryTimeMs == other.entryTimeMs;
    }
};

class ReportResumeStore
{
public:
    explicit ReportResumeStore(Iec61850DbManager *db) : db(db) {}

    // By block instance ("LD/LN$BR$name"); empty when the file has none.
    QHash<QString, ReportResumePoint> load() const;
    // Replaces the stored point of each block given; the others stay.
    bool save(const QHash<QString, ReportResumePoint> &points, QString *problem);

private:
    Iec61850DbManager *db;
};

#endif
