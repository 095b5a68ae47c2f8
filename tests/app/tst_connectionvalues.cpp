// The check of connection values before they reach the project file.
#include "connectionvaluerule.h"

#include <QtTest>

class ConnectionValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
};

void ConnectionValuesTest::rule_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");

    const int ip = ConnectionValueRule::IpAddressRow;
    const int port = ConnectionValueRule::PortRow;
    const int category = ConnectionValueRule::OriginatorCategoryRow;
    QTest::newRow("port") << port << "102" << true;
    QTest::newRow("port top") << port << "65535" << true;
    QTest::newRow("port zero") << port << "0" << false;
    QTest::newRow("port too high") << port << "70000" << false;
    QTest::newRow("port with letter") << port << "70000x" << false;
    QTest::newRow("port negative") << port << "-1" << false;
    QTest::newRow("ipv4") << ip << "192.168.1.10" << true;
    QTest::newRow("ipv6") << ip << "fe80::1" << true;
    QTest::newRow("host name") << ip << "bay1-prot.station.local" << true;
    QTest::newRow("ipv4 out of range") << ip << "10.0.0.300" << false;
    QTest::newRow("ipv4 short") << ip << "10.0.1" << false;
    QTest::newRow("blank inside") << ip << "bay 1" << false;
    QTest::newRow("empty address") << ip << "" << false;
    QTest::newRow("category") << category << "3" << true;
    QTest::newRow("category text") << category << "three" << false;
    QTest::newRow("interface fraction") << int(ConnectionValueRule::InterfaceRow) << "1.5" << false;
    QTest::newRow("report settings huge")
        << int(ConnectionValueRule::ReportSettingsRow) << "99999999999" << false;
    QTest::newRow("free text row") << 14 << "any text" << true;
}

void ConnectionValuesTest::rule()
{
    QFETCH(int, row);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    const QString refusal = ConnectionValueRule::refusal(row, value, QStringLiteral("Caption"));
    QCOMPARE(refusal.isEmpty(), accepted);
    if (!accepted)
        QVERIFY2(refusal.contains(QLatin1Char('"') + value + QLatin1Char('"')),
                 qPrintable(refusal));
}

QTEST_MAIN(ConnectionValuesTest)
#include "tst_connectionvalues.moc"
