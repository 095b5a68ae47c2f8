#include "commissioningnameplate.h"

#include "iedconnection.h"

CommissioningDevice CommissioningNamePlate::read(IedConnection &connection, const QString &host,
                                                 int port, const CommissioningPoints &points)
{
    CommissioningDevice device;
    device.address = port == 102 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
    if (host.contains(QLatin1Char(':')))
        device.address = port == 102 ? QStringLiteral("[%1]").arg(host)
                                     : QStringLiteral("[%1]:%2").arg(host).arg(port);
    // The name plate of the first logical device the points name that has one.
    QStringList devices;
    for (const CommissioningPoint &point : points) {
        const QString logical = point.reference.section(QLatin1Char('/'), 0, 0);
        if (!logical.isEmpty() && !devices.contains(logical))
            devices << logical;
    }
    const auto text = [&connection](const QString &reference) {
        IedClientError error = IedClientError::Ok;
        const MmsValue value = connection.readObject(reference, QStringLiteral("DC"), &error);
        return error == IedClientError::Ok && !value.isNull() ? value.toString().trimmed()
                                                              : QString();
    };
    for (const QString &logicalDevice : qAsConst(devices)) {
        if (!connection.isConnected())
            break;
        if (device.configurationRevision.isEmpty())
            device.configurationRevision =
                text(logicalDevice + QStringLiteral("/LLN0.NamPlt.configRev"));
        if (device.vendor.isEmpty() && device.model.isEmpty() && device.serialNumber.isEmpty()) {
            const QString plate = logicalDevice + QStringLiteral("/LPHD1.PhyNam.");
            device.vendor = text(plate + QStringLiteral("vendor"));
            device.model = text(plate + QStringLiteral("model"));
            device.serialNumber = text(plate + QStringLiteral("serNum"));
        }
        if (!device.configurationRevision.isEmpty() && !device.vendor.isEmpty())
            break;
    }
    return device;
}
