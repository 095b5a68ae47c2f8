#ifndef STATIONSCOPE_IEDSIMULATORMODEL_H
#define STATIONSCOPE_IEDSIMULATORMODEL_H

// The MMS server model of one IED of an SCL file, for a simulated device:
// domains named IED name + LD inst, one variable per logical node (its data
// objects by functional constraint, report control block instances under RP
// and BR), data sets as named variable lists. Values are those the file
// configures (DAI Val, control models), else the defaults of their types.

#include "mmsservermodel.h"

#include <QString>

#include <memory>

class QStandardItemModel;

class IedSimulatorModel
{
public:
    // The model of iedName (the file's first IED when empty); null, with a
    // reason in *errorText, when the file or the IED cannot be used.
    static std::shared_ptr<MmsServerModel> fromSclFile(const QString &fileName,
                                                       const QString &iedName = QString(),
                                                       QString *errorText = nullptr);

    // From an SCL model SclParser built for iedName out of fileName; the file
    // is read again for what that model leaves out (data set members'
    // constraints, report control defaults and reservations).
    static std::shared_ptr<MmsServerModel> fromSclModel(const QStandardItemModel &sclModel,
                                                        const QString &iedName,
                                                        const QString &fileName);
};

#endif
