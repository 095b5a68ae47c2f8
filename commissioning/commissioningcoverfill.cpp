#include "commissioningcoverfill.h"

#include "commissioningrecord.h"

CommissioningCover CommissioningCoverFill::fromRecord(const CommissioningRecord &record,
                                                      const QStandardItemModel &scl,
                                                      const QString &projectPath)
{
    CommissioningCover cover = CommissioningCover::fromProject(scl, projectPath);
    const CommissioningDevice device = record.device();
    // The device tested, where a session reached it; else what the project names.
    if (!device.address.isEmpty())
        cover.address = device.address;
    if (!device.configurationRevision.isEmpty())
        cover.configurationRevision = device.configurationRevision;
    cover.vendor = device.vendor;
    cover.model = device.model;
    cover.serialNumber = device.serialNumber;
    cover.testingStarted = record.testingStarted();
    cover.testingEnded = record.testingEnded();
    return cover;
}
