// The check of connection values before they reach the project file.
#include "connectioneditguard.h"
#include "connectionvaluerule.h"
#include "scriptedprompt.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

Q_DECLARE_METATYPE(QStandardItem *)

class ConnectionValuesTest : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void guardUndoesRefusedEdits();
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

void ConnectionValuesTest::guardUndoesRefusedEdits()
{
    qRegisterMetaType<QStandardItem *>();
    ScriptedPrompt prompt;
    QStandardItemModel model;
    ConnectionEditGuard guard(&model, nullptr);
    QAbstractItemModelTester tester(&model);
    QSignalSpy accepted(&guard, &ConnectionEditGuard::valueAccepted);
    auto *ied = new QStandardItem(QStringLiteral("IED1"));
    auto *connection = new QStandardItem(QStringLiteral("Connection"));
    model.appendRow(ied);
    ied->appendRow(connection);
    for (const char *value : {"0", "IED1", "10.0.0.5", "102"})
        connection->appendRow({new QStandardItem(QStringLiteral("caption")),
                               new QStandardItem(QString::fromLatin1(value))});
    QStandardItem *port = connection->child(ConnectionValueRule::PortRow, 1);

    port->setText(QStringLiteral("70000x"));
    QCOMPARE(port->text(), QStringLiteral("102"));
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(accepted.count(), 0);

    port->setText(QStringLiteral("10102"));
    port->setText(QStringLiteral("x"));
    QCOMPARE(port->text(), QStringLiteral("10102"));
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(accepted.first().first().value<QStandardItem *>(), port);
}

QTEST_MAIN(ConnectionValuesTest)
#include "tst_connectionvalues.moc"
