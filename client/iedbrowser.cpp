#include "iedbrowser.h"

#include "iedconnection.h"

namespace {

// "Oper[CO]" gives "Oper" and "CO".
void splitConstraint(const QString &name, QString *plain, QString *fc)
{
    const int open = name.indexOf(QLatin1Char('['));
    *plain = open < 0 ? name : name.left(open);
    *fc = open < 0 ? QString() : name.mid(open + 1, name.size() - open - 2);
}

QVector<BrowsedAttribute> attributesOf(IedConnection &connection, const QString &reference,
                                       const QString &fc, int depth)
{
    QVector<BrowsedAttribute> attributes;
    if (depth > IedBrowser::MaxAttributeDepth)
        return attributes;
    const QString request =
        fc.isEmpty() ? reference : reference + QLatin1Char('[') + fc + QLatin1Char(']');
    for (const QString &name : connection.dataDirectoryFc(request)) {
        BrowsedAttribute attribute;
        QString plain;
        QString childFc;
        splitConstraint(name, &plain, &childFc);
        attribute.name = name;
        attribute.reference = reference + QLatin1Char('.') + plain;
        attribute.children = attributesOf(connection, attribute.reference, childFc, depth + 1);
        attributes.append(attribute);
    }
    return attributes;
}

QVector<BrowsedReport> reportsOf(IedConnection &connection, const QString &lnReference,
                                 bool buffered)
{
    QVector<BrowsedReport> reports;
    const IedConnection::AcsiClass acsiClass =
        buffered ? IedConnection::AcsiClass::Brcb : IedConnection::AcsiClass::Urcb;
    const QString separator = buffered ? QStringLiteral("$BR$") : QStringLiteral("$RP$");
    for (const QString &name : connection.logicalNodeDirectory(lnReference, acsiClass)) {
        BrowsedReport report;
        report.name = name;
        report.reference = lnReference + separator + name;
        report.buffered = buffered;
        report.values = connection.rcbValues(report.reference, &report.error);
        reports.append(report);
    }
    return reports;
}

BrowsedLogicalNode logicalNodeOf(IedConnection &connection, const QString &device,
                                 const QString &name)
{
    BrowsedLogicalNode node;
    node.name = name;
    node.reference = device + QLatin1Char('/') + name;
    for (const QString &dataObject :
         connection.logicalNodeDirectory(node.reference, IedConnection::AcsiClass::DataObject)) {
        BrowsedDataObject object;
        object.name = dataObject;
        object.reference = node.reference + QLatin1Char('.') + dataObject;
        object.attributes = attributesOf(connection, object.reference, QString(), 0);
        node.dataObjects.append(object);
    }
    for (const QString &dataSetName :
         connection.logicalNodeDirectory(node.reference, IedConnection::AcsiClass::DataSet)) {
        BrowsedDataSet dataSet;
        dataSet.name = dataSetName;
        dataSet.reference = node.reference + QLatin1Char('.') + dataSetName;
        dataSet.members =
            connection.dataSetDirectory(dataSet.reference, &dataSet.deletable, &dataSet.error);
        node.dataSets.append(dataSet);
    }
    node.unbufferedReports = reportsOf(connection, node.reference, false);
    node.bufferedReports = reportsOf(connection, node.reference, true);
    return node;
}

} // namespace

IedBrowseResult IedBrowser::browse(IedConnection &connection,
                                   const std::function<void(const QString &)> &progress)
{
    IedBrowseResult result;
    for (const QString &deviceName : connection.logicalDeviceList(&result.error)) {
        BrowsedLogicalDevice device;
        device.name = deviceName;
        for (const QString &nodeName : connection.logicalDeviceDirectory(deviceName)) {
            if (progress)
                progress(deviceName + QLatin1Char('/') + nodeName);
            device.logicalNodes.append(logicalNodeOf(connection, deviceName, nodeName));
        }
        result.logicalDevices.append(device);
    }
    return result;
}
