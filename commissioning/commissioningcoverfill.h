#ifndef STATIONSCOPE_COMMISSIONINGCOVERFILL_H
#define STATIONSCOPE_COMMISSIONINGCOVERFILL_H

// The cover of a record's hand-over: what the project names, with what the
// sessions learnt of the device (address, name plate) and when they ran.

#include "commissioningworkbook.h"

class CommissioningRecord;
class QStandardItemModel;

namespace CommissioningCoverFill {

// Tester, witness and row filter are the caller's to add.
CommissioningCover fromRecord(const CommissioningRecord &record, const QStandardItemModel &scl,
                              const QString &projectPath);

} // namespace CommissioningCoverFill

#endif
