#ifndef STATIONSCOPE_COMMISSIONINGSTORE_H
#define STATIONSCOPE_COMMISSIONINGSTORE_H

// The commissioning record in the project file: a table of its own, keyed by
// point, so that a test spread over several days resumes.

#include <QString>

class CommissioningRecord;
class Iec61850DbManager;

class CommissioningStore
{
public:
    // The manager stays the caller's.
    explicit CommissioningStore(Iec61850DbManager *db);

    // Whether the file holds a record table (files from before it do not).
    bool hasTable() const;
    // Gives the record's points what the file holds for their keys; a file
    // without the table leaves the record as it is. Never writes.
    bool load(CommissioningRecord *record, QString *problem) const;
    // Replaces the saved record with this one in one transaction, creating
    // the table when the file has none.
    bool save(const CommissioningRecord &record, QString *problem);
    // Saves the record, then keeps it in the file as history (rows and
    // properties under a number of their own) and empties the current one,
    // in one transaction. The caller starts the record over.
    bool archive(const CommissioningRecord &record, QString *problem);
    // How many records the file keeps as history.
    int historyCount() const;

private:
    bool loadRecordProperties(CommissioningRecord *record, QString *problem) const;

    Iec61850DbManager *db;
};

#endif
