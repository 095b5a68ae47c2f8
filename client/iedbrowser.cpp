#include "iedbrowser.h"

#include "iedconnection.h"

namespace {

void note(IedBrowseResult *result, IedClientError error, const QString &what)
{
    if (error != IedClientError::Ok && result->failure.isEmpty())
        result->failure = what + QStringLiteral(": ") + iedClientErrorName(error);
}

// "Oper[CO]" gives "Oper" and "CO".
void splitConstraint(const QString &name, QString *plain, QString *fc)
{
    const int open = name.indexOf(QLatin1Char('['));
    *plain = open < 0 ? name : name.left(open);
    *fc = open < 0 ? QString() : name.mid(open + 1, name.size() - open - 2);
}

QVector<BrowsedAttribute> attributesOf(IedConnection &connection, IedBrowseResult *result,
                                       const QString &reference, const QString &fc, int depth)
{
    QVector<BrowsedAttribute> attributes;
    if (depth > IedBrowser::MaxAttributeDepth)
        return attributes;
    const QString request =
        fc.isEmpty() ? reference : reference + QLatin1Char('[') + fc + QLatin1Char(']');
    IedClientError error = IedClientError::Ok;
    const QStringList names = connection.dataDirectoryFc(request, &error);
    // Answered from the logical node's type, already listed: only a name of
    // the device's that no reference can carry ("zeroDbRef ") is refused, and
    // it stays listed as it is.
    if (error != IedClientError::ObjectReferenceInvalid)
        note(result, error, request);
    for (const QString &name : names) {
        BrowsedAttribute attribute;
        QString plain;
        QString childFc;
        splitConstraint(name, &plain, &childFc);
        attribute.name = name;
        attribute.reference = reference + QLatin1Char('.') + plain;
        attribute.children =
            attributesOf(connection, result, attribute.reference, childFc, depth + 1);
        attributes.append(attribute);
    }
    return attributes;
}

QVector<BrowsedReport> reportsOf(IedConnection &connection, IedBrowseResult *result,
                                 const QString &lnReference, bool buffered)
{
    QVector<BrowsedReport> reports;
    const IedConnection::AcsiClass acsiClass =
        buffered ? IedConnection::AcsiClass::Brcb : IedConnection::AcsiClass::Urcb;
    const QString separator = buffered ? QStringLiteral("$BR$") : QStringLiteral("$RP$");
    IedClientError error = IedClientError::Ok;
    const QStringList names = connection.logicalNodeDirectory(lnReference, acsiClass, &error);
    note(result, error, lnReference);
    for (const QString &name : names) {
        BrowsedReport report;
        report.name = name;
        report.reference = lnReference + separator + name;
        report.buffered = buffered;
        report.values = connection.rcbValues(report.reference, &report.error);
        note(result, report.error, report.reference);
        reports.append(report);
    }
    return reports;
}

BrowsedLogicalNode logicalNodeOf(IedConnection &connection, IedBrowseResult *result,
                                 const QString &device, const QString &name)
{
    BrowsedLogicalNode node;
    node.name = name;
    node.reference = device + QLatin1Char('/') + name;
    IedClientError error = IedClientError::Ok;
    const QStringList dataObjects = connection.logicalNodeDirectory(
        node.reference, IedConnection::AcsiClass::DataObject, &error);
    note(result, error, node.reference);
    for (const QString &dataObject : dataObjects) {
        BrowsedDataObject object;
        object.name = dataObject;
        object.reference = node.reference + QLatin1Char('.') + dataObject;
        object.attributes = attributesOf(connection, result, object.reference, QString(), 0);
        node.dataObjects.append(object);
    }
    const QStringList dataSets =
        connection.logicalNodeDirectory(node.reference, IedConnection::AcsiClass::DataSet, &error);
    note(result, error, node.reference);
    for (const QString &dataSetName : dataSets) {
        BrowsedDataSet dataSet;
        dataSet.name = dataSetName;
        dataSet.reference = node.reference + QLatin1Char('.') + dataSetName;
        dataSet.members =
            connection.dataSetDirectory(dataSet.reference, &dataSet.deletable, &dataSet.error);
        note(result, dataSet.error, dataSet.reference);
        node.dataSets.append(dataSet);
    }
    node.unbufferedReports = reportsOf(connection, result, node.reference, false);
    node.bufferedReports = reportsOf(connection, result, node.reference, true);
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
        IedClientError error = IedClientError::Ok;
        const QStringList nodes = connection.logicalDeviceDirectory(deviceName, &error);
        note(&result, error, deviceName);
        for (const QString &nodeName : nodes) {
            if (progress)
                progress(deviceName + QLatin1Char('/') + nodeName);
            device.logicalNodes.append(logicalNodeOf(connection, &result, deviceName, nodeName));
        }
        result.logicalDevices.append(device);
    }
    return result;
}
