#ifndef STATIONSCOPE_IEDBROWSER_H
#define STATIONSCOPE_IEDBROWSER_H

// Lists everything a client can see of an IED: logical devices, logical nodes,
// data objects with their attribute trees, data sets with their members, and
// unbuffered and buffered report control blocks with their values. The calls
// and their order are those of the online browse. A failed call gives no
// entries and the browse goes on, but the result names the first one: a
// listing with a hole is no picture of the IED to compare with.

#include "clientreportcontrolblock.h"
#include "iedclienterror.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class IedConnection;

struct BrowsedAttribute
{
    QString name; // as the server lists it, with its constraint: "stVal[ST]"
    QString reference;
    QVector<BrowsedAttribute> children;
};

struct BrowsedDataObject
{
    QString name;
    QString reference; // "LD/LN.DO"
    QVector<BrowsedAttribute> attributes;
};

struct BrowsedDataSet
{
    QString name;
    QString reference; // "LD/LN.Name"
    bool deletable = false;
    QStringList members;
    IedClientError error = IedClientError::Ok;
};

struct BrowsedReport
{
    QString name;
    QString reference; // "LD/LN$RP$name" or "LD/LN$BR$name"
    bool buffered = false;
    ClientReportControlBlock values;
    IedClientError error = IedClientError::Ok;
};

struct BrowsedLogicalNode
{
    QString name;
    QString reference; // "LD/LN"
    QVector<BrowsedDataObject> dataObjects;
    QVector<BrowsedDataSet> dataSets;
    QVector<BrowsedReport> unbufferedReports;
    QVector<BrowsedReport> bufferedReports;
};

struct BrowsedLogicalDevice
{
    QString name;
    QVector<BrowsedLogicalNode> logicalNodes;
};

struct IedBrowseResult
{
    IedClientError error = IedClientError::Ok; // of the logical device list
    QVector<BrowsedLogicalDevice> logicalDevices;
    // The first call after the device list that failed, "LD/LN: ERROR";
    // empty when every call was answered.
    QString failure;
    bool isComplete() const { return error == IedClientError::Ok && failure.isEmpty(); }
};

class IedBrowser
{
public:
    // Attribute trees deeper than this are cut; IEC 61850 models nest a few levels.
    static constexpr int MaxAttributeDepth = 16;

    // progress, when set, hears each logical node reference before it is listed.
    static IedBrowseResult browse(IedConnection &connection,
                                  const std::function<void(const QString &)> &progress = {});
};

#endif
