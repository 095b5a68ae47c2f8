#ifndef STATIONSCOPE_CONNECTIONVALUERULE_H
#define STATIONSCOPE_CONNECTIONVALUERULE_H

#include <QCoreApplication>
#include <QString>

// What the value cells of the connection node accept before a value reaches
// the project file: the port, the IED's address and the number columns.
class ConnectionValueRule
{
    Q_DECLARE_TR_FUNCTIONS(ConnectionValueRule)

public:
    // Rows of the connection node whose values are checked.
    enum Row {
        IpAddressRow = 2,
        PortRow = 3,
        InterfaceRow = 4,
        NamePlateCheckRow = 8,
        ReportSettingsRow = 9,
        OriginatorCategoryRow = 13
    };

    // Empty when value may be stored in the given row; otherwise why not,
    // naming the value. caption is the row's label.
    static QString refusal(int row, const QString &value, const QString &caption);

    static bool isPort(const QString &value);
    static bool isWholeNumber(const QString &value);
    // An IPv4 or IPv6 address, or a host name.
    static bool isHostAddress(const QString &value);
};

#endif
