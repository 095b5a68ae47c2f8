#ifndef STATIONSCOPE_SCLRECORDS_H
#define STATIONSCOPE_SCLRECORDS_H

// Plain records that the parse run keeps beside the model, for later passes and
// for the caller.

#include <QString>
#include <QStringList>

class QStandardItem;

// One logical node of the chosen IED, in document order.
struct LnRecord
{
    QString iedName;
    QString ldInst;
    QString lnClass;
    QString lnType;
    QString lnInst;
    QString prefix;
};

// A ctlModel value found in the instance data of a logical node, applied to the
// data object under "CF" and to the one under "CO" once the DataObjects branch
// is complete.
struct CtlModelRecord
{
    QStandardItem *lnNode = nullptr;
    QStringList path; // from the data object down to "ctlModel"
    QString constraint;
    QString value;
};

// The configuration of one ReportControl element.
struct ReportControlRecord
{
    QString name;
    QString rptId;
    int confRev = 0;
    bool buffered = false;
    int bufTime = 0;
    int intgPd = 0;
    bool indexed = true;
    QString dataSetReference;
    int trgOps = 0;
    int optFields = 0;
    int maxIndex = 0;
};

// Where the RTU reaches the IED.
struct SclConnectionInfo
{
    QString port;
    QString ipAddress;
};

#endif
