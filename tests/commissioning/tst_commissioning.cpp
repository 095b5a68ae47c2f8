// The commissioning record of the example station's protection IED, filled
// by a session against its simulator, saved, reopened and handed over.

#include "commandlinetool.h"
#include "commissioningpdf.h"
#include "commissioningplan.h"
#include "commissioningrecord.h"
#include "commissioningsession.h"
#include "commissioningstore.h"
#include "commissioningworkbook.h"
#include "dbschema.h"
#include "eventwait.h"
#include "iec61850dbmanager.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulator.h"
#include "iedsimulatormodel.h"
#include "mmsservermodel.h"
#include "packagepart.h"
#include "projectdocument.h"
#include "sqliteconnector.h"
#include "testpaths.h"
#include "workbook.h"

#include <QAbstractItemModelTester>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

const QString Ied = QStringLiteral("BAY1_PROT");

const QByteArray Bindings = "BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;BAY1_CB_POS\n"
                            "BAY1_PROTMEAS/MMXU1.TotW [MX];Status Signal;BAY1_P_TOT\n"
                            "BAY1_PROTCTRL/XCBR1.Pos [CO];Write Trig Signal;BAY1_CB_OPEN_CMD\n"
                            "BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST];Result Signal;BAY1_ALM_GAS_LOW\n"
                            "BAY1_PROTMEAS/MMXU1.PhV.phsA.cVal.mag.f[MX];Result Signal;"
                            "BAY1_UA_MAG\n"
                            "BAY1_PROTCTRL/Q0CSWI1.Pos.stVal[ST];Result Signal;BAY1_CB_SEL\n";

int runCli(const QStringList &arguments)
{
    QString text;
    QTextStream out(&text);
    QTextStream err(&text);
    const int code = CommandLineTool(out, err).run(arguments);
    if (code != 0)
        qWarning().noquote() << text;
    return code;
}

// The point of a signal label, or -1.
int rowOf(const CommissioningRecord &record, const QString &label)
{
    for (int row = 0; row < record.rowCount(); ++row) {
        if (record.point(row).signalLabel == label)
            return row;
    }
    return -1;
}

} // namespace

class TestCommissioning : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void planNamesEveryBinding();
    void sessionFillsTheRecord_data();
    void sessionFillsTheRecord();
    void verdictsAndSummary();
    void recordSaysWhatHappened_data();
    void recordSaysWhatHappened();
    void oneRecordPerDevice();
    void resumesAfterReopen();
    void olderProjectOpensWithoutTheTable();
    void workbookReadsBack();
    void pdfPagesKeepRowsWhole();

private:
    void fillFromSimulator();

    QTemporaryDir dir;
    QString projectPath;
    CommissioningRecord record;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

void TestCommissioning::initTestCase()
{
    projectPath = dir.filePath(QStringLiteral("station.sclpro"));
    const QString rules = dir.filePath(QStringLiteral("rules.csv"));
    QFile file(rules);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Bindings);
    file.close();
    QCOMPARE(runCli({"new", sourceFile("examples/substation.scd"), "--ied", Ied, "--out",
                     projectPath, "--signals", sourceFile("examples/signals.csv")}),
             0);
    QCOMPARE(runCli({"pick", projectPath, "--all"}), 0);
    QCOMPARE(runCli({"bind", projectPath, rules}), 0);
    tester = std::make_unique<QAbstractItemModelTester>(
        &record, QAbstractItemModelTester::FailureReportingMode::QtTest);

    ProjectDocument project;
    QString problem;
    QVERIFY2(project.loadProject(projectPath, &problem), qPrintable(problem));
    CommissioningPoints points = CommissioningPlan::fromProject(
        project.objects, project.datasets, project.reports, project.signalList);
    // One point the device does not have.
    CommissioningPoint ghost;
    ghost.signalLabel = QStringLiteral("GHOST");
    ghost.reference = QStringLiteral("BAY1_PROTCTRL/GGIO9.Ind1");
    ghost.fc = QStringLiteral("ST");
    ghost.bindingColumn = QStringLiteral("Data Signal");
    points << ghost;
    record.setPoints(points);
    record.setDeviceAddress(QStringLiteral("127.0.0.1"));
    fillFromSimulator();
}

void TestCommissioning::fillFromSimulator()
{
    std::shared_ptr<MmsServerModel> model =
        IedSimulatorModel::fromSclFile(sourceFile(QStringLiteral("examples/substation.scd")), Ied);
    QVERIFY(model);
    // Invalid on the device: bit 1 of the quality, validity "invalid".
    QCOMPARE(model->update(QStringLiteral("BAY1_PROTCTRL"), QStringLiteral("XCBR1$ST$Pos$q"),
                           MmsValue::bitString(QByteArray("\x40\x00", 2), 13)),
             MmsServerModel::Updated);
    IedServerThread server;
    QVERIFY(server.start(model, QHostAddress::LocalHost, 0));
    IedSimulator simulator(model);
    simulator.start(100);

    // On a thread of its own, as the window runs it.
    QThread thread;
    CommissioningSession session;
    session.setAddress(QStringLiteral("127.0.0.1"), server.serverPort());
    session.setPoints(record.points());
    session.setPollInterval(100);
    session.moveToThread(&thread);
    connect(&session, &CommissioningSession::observed, &record, &CommissioningRecord::observe);
    QSignalSpy finished(&session, &CommissioningSession::finished);
    QSignalSpy failed(&session, &CommissioningSession::failed);
    QSignalSpy statuses(&session, &CommissioningSession::status);
    QSignalSpy identified(&session, &CommissioningSession::identified);
    thread.start();
    QMetaObject::invokeMethod(&session, &CommissioningSession::run, Qt::QueuedConnection);
    const auto observed = [this](const char *label) {
        return record.observation(rowOf(record, QLatin1String(label)));
    };
    QTRY_VERIFY_WITH_TIMEOUT(
        observed("BAY1_P_TOT").changes >= 2 && observed("BAY1_UA_MAG").changes >= 2 &&
            observed("BAY1_CB_POS").seen() && observed("BAY1_ALM_GAS_LOW").seen(),
        EventTimeoutMs);
    session.stop();
    QVERIFY(finished.wait(EventTimeoutMs));
    thread.quit();
    thread.wait();
    simulator.stop();
    QCOMPARE(failed.count(), 0);
    QVERIFY(session.readCount() > 0 && session.reportCount() > 0);
    // The name plate, read before anything is enabled.
    QCOMPARE(identified.count(), 1);
    const auto device = identified.first().first().value<CommissioningDevice>();
    QCOMPARE(QStringList({device.address, device.configurationRevision, device.vendor, device.model,
                          device.serialNumber}),
             QStringList({QStringLiteral("127.0.0.1:%1").arg(server.serverPort()), "Rev 1.3",
                          "Example Automation", "BCU-400", "BCU400-000117"}));

    // What the session enabled it disabled, on the device's answer (our
    // simulator frees the blocks of a closed association anyway).
    QStringList told;
    for (const QList<QVariant> &arguments : qAsConst(statuses))
        told << arguments.first().toString();
    for (const char *block :
         {"BAY1_PROTCTRL/LLN0$BR$brcbStatus01", "BAY1_PROTCTRL/LLN0$RP$urcbMeas01"})
        QVERIFY2(told.contains(QStringLiteral("Disabled ") + QLatin1String(block)),
                 qPrintable(told.join('\n')));
}

void TestCommissioning::planNamesEveryBinding()
{
    QStringList rows;
    for (const CommissioningPoint &point : record.points())
        rows << QStringList{point.signalLabel,
                            point.signalNumber,
                            point.referenceWithFc(),
                            point.bindingColumn,
                            CommissioningPoint::arrivalText(point.arrival),
                            point.blockReference,
                            CommissioningPoint::directionText(point.direction)}
                    .join(QLatin1Char('|'));
    QCOMPARE(rows,
             QStringList({
                 "BAY1_CB_POS|1|BAY1_PROTCTRL/XCBR1.Pos[ST]|Status Signal|Read||Status",
                 "BAY1_CB_OPEN_CMD|8|BAY1_PROTCTRL/XCBR1.Pos[CO]|Write Trig Signal|Read||Command",
                 "BAY1_P_TOT|14|BAY1_PROTMEAS/MMXU1.TotW[MX]|Status Signal|Read||Measurand",
                 "BAY1_CB_SEL|2|BAY1_PROTCTRL/Q0CSWI1.Pos.stVal[ST]|Result Signal|Report|"
                 "BAY1_PROTCTRL/LLN0.BR.brcbStatus|Status",
                 "BAY1_ALM_GAS_LOW|4|BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST]|Result Signal|Report|"
                 "BAY1_PROTCTRL/LLN0.BR.brcbStatus|Status",
                 "BAY1_UA_MAG|15|BAY1_PROTMEAS/MMXU1.PhV.phsA.cVal.mag.f[MX]|Result Signal|"
                 "Report|BAY1_PROTCTRL/LLN0.RP.urcbMeas|Measurand",
                 "GHOST||BAY1_PROTCTRL/GGIO9.Ind1[ST]|Data Signal|Read||Status",
             }));
}

void TestCommissioning::sessionFillsTheRecord_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("seen");
    QTest::addColumn<QString>("changes"); // none, some, or any count
    QTest::addColumn<QString>("quality");
    QTest::addColumn<bool>("passable");
    QTest::newRow("read status, invalid on the device") << "BAY1_CB_POS" << true << "none"
                                                        << "invalid" << false;
    QTest::newRow("command: its status answers") << "BAY1_CB_OPEN_CMD" << true << "none"
                                                 << "invalid" << false;
    QTest::newRow("read measurand, polled") << "BAY1_P_TOT" << true << "some"
                                            << "good" << true;
    // The data set carries no quality for these attributes: never passable.
    QTest::newRow("reported status") << "BAY1_ALM_GAS_LOW" << true << "any"
                                     << "unknown" << false;
    QTest::newRow("reported attribute without quality") << "BAY1_UA_MAG" << true << "some"
                                                        << "unknown" << false;
    // The data set carries the quality of its data object beside it.
    QTest::newRow("reported attribute, quality of its data object")
        << "BAY1_CB_SEL" << true << "any"
        << "good" << false;
    QTest::newRow("absent on the device") << "GHOST" << false << "none"
                                          << "" << false;
}

void TestCommissioning::sessionFillsTheRecord()
{
    QFETCH(QString, label);
    QFETCH(bool, seen);
    QFETCH(QString, changes);
    QFETCH(QString, quality);
    QFETCH(bool, passable);
    const int row = rowOf(record, label);
    QVERIFY(row >= 0);
    const CommissioningObservation observation = record.observation(row);
    QCOMPARE(observation.seen(), seen);
    if (changes != QLatin1String("any"))
        QCOMPARE(observation.changes > 0, changes == QLatin1String("some"));
    QCOMPARE(observation.quality.left(quality.size()), quality);
    if (changes != QLatin1String("any"))
        QCOMPARE(record.isPassable(row), passable);
    QCOMPARE(record.index(row, CommissioningRecord::VerdictColumn).data().toString(),
             QStringLiteral("Not tested"));
    QCOMPARE(record.index(row, CommissioningRecord::LastValueColumn).data().toString(),
             observation.lastValue);
    QCOMPARE(observation.deviceAddress, seen ? QStringLiteral("127.0.0.1") : QString());
}

void TestCommissioning::verdictsAndSummary()
{
    const int total = rowOf(record, "BAY1_P_TOT");
    const int position = rowOf(record, "BAY1_CB_POS");
    const int ghost = rowOf(record, "GHOST");
    const int command = rowOf(record, "BAY1_CB_OPEN_CMD");
    QVERIFY(record.setVerdict(total, CommissioningRecord::Passed));
    QVERIFY(!record.setVerdict(ghost, CommissioningRecord::Passed));
    QVERIFY(record.setData(record.index(ghost, CommissioningRecord::VerdictColumn), "Failed"));
    QVERIFY(record.setData(record.index(ghost, CommissioningRecord::NoteColumn), "not wired"));
    // A command's outcome is its verdict, never one of its values.
    const CommissioningObservation beforeOperate = record.observation(command);
    QVERIFY(record.setCommandOutcome(command, true, QStringLiteral("Positive, terminated"),
                                     QStringLiteral("127.0.0.1:10602")));
    QCOMPARE(record.observation(command).lastValue, beforeOperate.lastValue);
    QCOMPARE(record.observation(command).changes, beforeOperate.changes);
    QCOMPARE(record.observation(command).lastSeen, beforeOperate.lastSeen);
    QCOMPARE(record.observation(command).note,
             QStringLiteral("Positive, terminated (at 127.0.0.1:10602)"));
    QVERIFY(!record.setCommandOutcome(total, true, QStringLiteral("no command"), QString()));
    QVERIFY(!record.setData(record.index(position, CommissioningRecord::VerdictColumn), "Maybe"));

    const CommissioningSummary summary = record.summary();
    QCOMPARE(summary.rows, 7);
    QCOMPARE(summary.passed, 2);
    QCOMPARE(summary.failed, 1);
    QCOMPARE(summary.notTested, 4);
    QCOMPARE(summary.neverSeen, 1);
    // The status of the commanded object was invalid, as the position's.
    QCOMPARE(summary.onlyBadQuality, 2);
    QCOMPARE(summary.qualityUnknown, 2);
    QCOMPARE(summary.silentBlocks, QStringList());
    QCOMPARE(record.index(ghost, CommissioningRecord::NoteColumn).data().toString(),
             QStringLiteral("not wired"));
}

void TestCommissioning::recordSaysWhatHappened_data()
{
    QTest::addColumn<QString>("device"); // none, listening, or a block held
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("voltageNote");
    QTest::newRow("before any session")
        << "none"
        << QStringList{"Blocks that delivered nothing: not known: no session ran",
                       "Blocks refused: none", "Last session: none ran"}
        << "";
    QTest::newRow("nobody listening")
        << "closed"
        << QStringList{"Never seen: 7", "Blocks that delivered nothing: not known: not connected",
                       "Last session: not connected: nothing observed"}
        << "";
    QTest::newRow("a block in use by another client")
        << "held"
        << QStringList{"Blocks that delivered nothing: none",
                       "Blocks refused: BAY1_PROTCTRL/LLN0$RP$urcbMeas01: in use by another "
                       "client",
                       "Last session: ran"}
        << "not enabled: BAY1_PROTCTRL/LLN0$RP$urcbMeas01: in use by another client";
}

void TestCommissioning::recordSaysWhatHappened()
{
    QFETCH(QString, device);
    QFETCH(QStringList, lines);
    QFETCH(QString, voltageNote);
    std::shared_ptr<MmsServerModel> model =
        IedSimulatorModel::fromSclFile(sourceFile(QStringLiteral("examples/substation.scd")), Ied);
    IedServerThread server;
    QVERIFY(server.start(model, QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    IedConnection other;
    if (device == QLatin1String("held")) {
        QCOMPARE(other.connect(QStringLiteral("127.0.0.1"), port), IedClientError::Ok);
        ClientReportControlBlock block =
            other.getRCBValues(QStringLiteral("BAY1_PROTCTRL/LLN0$RP$urcbMeas01"));
        block.setRptEna(true);
        QCOMPARE(other.setRCBValues(block, ClientReportControlBlock::ElementRptEna, true),
                 IedClientError::Ok);
    } else if (device == QLatin1String("closed")) {
        server.stop();
    }

    CommissioningRecord fresh;
    fresh.setPoints(record.points());
    if (device != QLatin1String("none")) {
        CommissioningSession session;
        session.setAddress(QStringLiteral("127.0.0.1"), port);
        session.setPoints(fresh.points());
        session.setPollInterval(50);
        session.setDuration(300);
        bool connected = false;
        QString failure;
        connect(&session, &CommissioningSession::identified, &fresh,
                [&](const CommissioningDevice &identified) {
                    connected = true;
                    fresh.setDevice(identified);
                });
        connect(&session, &CommissioningSession::observed, &fresh, &CommissioningRecord::observe);
        connect(&session, &CommissioningSession::blockRefused, &fresh,
                &CommissioningRecord::setBlockRefused);
        connect(&session, &CommissioningSession::failed, &fresh,
                [&failure](const QString &problem) { failure = problem; });
        session.run();
        fresh.sessionEnded(connected ? CommissioningSessionOutcome::Ran
                                     : CommissioningSessionOutcome::NotConnected,
                           failure);
    }
    const QStringList said = fresh.summary().lines();
    for (const QString &line : lines)
        QVERIFY2(said.contains(line), qPrintable(said.join('\n')));
    QCOMPARE(fresh.observation(rowOf(fresh, "BAY1_UA_MAG")).note, voltageNote);
}

void TestCommissioning::oneRecordPerDevice()
{
    CommissioningRecord taken;
    taken.setPoints(record.points());
    const int row = rowOf(taken, "BAY1_P_TOT");
    CommissioningDevice first;
    first.address = QStringLiteral("127.0.0.1:10601");
    first.iedName = Ied;
    first.configurationRevision = QStringLiteral("Rev 1.3");
    taken.setDevice(first);
    taken.observe(row, QStringLiteral("10"), QStringLiteral("good"), true, QDateTime());
    QVERIFY(taken.setVerdict(row, CommissioningRecord::Failed, QStringLiteral("wrong scale")));

    CommissioningDevice second = first;
    second.address = QStringLiteral("127.0.0.1:10602");
    second.configurationRevision = QStringLiteral("Rev 1.4");
    second.vendor = QStringLiteral("Someone else");
    QCOMPARE(first.differencesFrom(second),
             QStringList({QStringLiteral("address 127.0.0.1:10601 \u2192 127.0.0.1:10602"),
                          QStringLiteral("configuration revision Rev 1.3 \u2192 Rev 1.4")}));
    CommissioningDevice unread = first;
    unread.configurationRevision.clear();
    QVERIFY(first.differencesFrom(unread).isEmpty());

    // Going on with another device: its first value is a start, not a change.
    taken.setDevice(second);
    taken.markDeviceChange();
    taken.observe(row, QStringLiteral("20"), QStringLiteral("good"), true, QDateTime());
    QCOMPARE(taken.observation(row).changes, 0);
    QVERIFY(!taken.isPassable(row));
    taken.observe(row, QStringLiteral("21"), QStringLiteral("good"), true, QDateTime());
    QCOMPARE(taken.observation(row).changes, 1);

    // A new record keeps the old one as history in the project.
    const QString copy = dir.filePath(QStringLiteral("history.sclpro"));
    QVERIFY(QFile::copy(projectPath, copy));
    {
        ProjectDocument project;
        QString problem;
        QVERIFY(project.loadProject(copy, &problem, ProjectDocument::ReadWrite));
        CommissioningStore store(project.db.get());
        QVERIFY2(store.archive(taken, &problem), qPrintable(problem));
        taken.startOver();
        QVERIFY(store.save(taken, &problem));
        QCOMPARE(store.historyCount(), 1);
    }
    ProjectDocument project;
    QString problem;
    QVERIFY(project.loadProject(copy, &problem));
    CommissioningRecord reopened;
    reopened.setPoints(record.points());
    QVERIFY(CommissioningStore(project.db.get()).load(&reopened, &problem));
    QCOMPARE(reopened.observation(row).verdict, int(CommissioningRecord::NotTested));
    QCOMPARE(reopened.summary().outcome, CommissioningSessionOutcome::NoneRan);
    QSqlQuery history(project.db->connector()->database());
    QVERIFY(history.exec(QStringLiteral("SELECT note FROM iec61850_commissioning_history WHERE "
                                        "signal = 'BAY1_P_TOT'")) &&
            history.next());
    QCOMPARE(history.value(0).toString(), QStringLiteral("wrong scale"));
}

void TestCommissioning::resumesAfterReopen()
{
    {
        ProjectDocument project;
        QString problem;
        QVERIFY(project.loadProject(projectPath, &problem, ProjectDocument::ReadWrite));
        QVERIFY2(CommissioningStore(project.db.get()).save(record, &problem), qPrintable(problem));
    }
    ProjectDocument project;
    QString problem;
    QVERIFY(project.loadProject(projectPath, &problem));
    CommissioningRecord reopened;
    QAbstractItemModelTester check(&reopened,
                                   QAbstractItemModelTester::FailureReportingMode::QtTest);
    reopened.setPoints(record.points());
    QVERIFY2(CommissioningStore(project.db.get()).load(&reopened, &problem), qPrintable(problem));
    for (int row = 0; row < record.rowCount(); ++row) {
        for (int column = 0; column < CommissioningRecord::ColumnCount; ++column)
            QCOMPARE(reopened.index(row, column).data(), record.index(row, column).data());
    }
    QCOMPARE(reopened.deviceAddress(), record.deviceAddress());
}

void TestCommissioning::olderProjectOpensWithoutTheTable()
{
    const QString older = dir.filePath(QStringLiteral("older.sclpro"));
    QVERIFY(QFile::copy(projectPath, older));
    {
        SqliteConnector connector(nullptr, QStringLiteral("older"));
        connector.setDatabaseName(older);
        QVERIFY(connector.open());
        QSqlQuery(connector.database())
            .exec(QStringLiteral("DROP TABLE ") + DbSchema::CommissioningName);
        QVERIFY(!connector.tableExists(DbSchema::CommissioningName));
    }
    ProjectDocument project;
    QString problem;
    QVERIFY2(project.loadProject(older, &problem), qPrintable(problem));
    CommissioningRecord fresh;
    fresh.setPoints(record.points());
    CommissioningStore store(project.db.get());
    QVERIFY(store.load(&fresh, &problem));
    QVERIFY(!store.hasTable());
    QCOMPARE(fresh.summary().neverSeen, fresh.rowCount());
}

void TestCommissioning::workbookReadsBack()
{
    CommissioningCover cover;
    cover.project = QStringLiteral("station.sclpro");
    cover.ied = Ied;
    cover.address = QStringLiteral("127.0.0.1:10102");
    cover.configurationRevision = QStringLiteral("Rev 1.3");
    cover.date = QDateTime(QDate(2026, 12, 7), QTime(15, 30), Qt::UTC);
    cover.tester = QStringLiteral("A. Tester");
    cover.witness = QStringLiteral("W. Itness");
    cover.sclFile = QStringLiteral("substation.scd");
    cover.sclRevision = QStringLiteral("B");
    cover.vendor = QStringLiteral("Acme");
    cover.model = QStringLiteral("P-500");
    cover.serialNumber = QStringLiteral("SN 0042");
    cover.testingStarted = QDateTime(QDate(2026, 12, 7), QTime(14, 0), Qt::OffsetFromUTC, 3600);
    cover.rowFilter = QStringLiteral("Show: failed");
    const QString path = dir.filePath(QStringLiteral("record.xlsx"));
    const int ghost = rowOf(record, "GHOST");
    QString problem;
    QVERIFY2(CommissioningHandOver::write(path, record, cover, &problem, {ghost, 0}),
             qPrintable(problem));

    WorkbookReader book;
    QVERIFY(book.open(path));
    QCOMPARE(book.sheetNames(), QStringList({"Cover", "Record", "Summary"}));
    QCOMPARE(book.activeSheet(), QStringLiteral("Cover"));
    QVERIFY(book.selectSheet("Cover"));
    QHash<QString, QVariant> fields;
    for (int row = 2; row <= book.lastRow(); ++row)
        fields.insert(book.read(row, 1).toString(), book.read(row, 2));
    const CommissioningSummary summary = record.summary();
    QCOMPARE(fields.value("Result").toString(),
             QStringLiteral("%1 failed, %2 not tested").arg(summary.failed).arg(summary.notTested));
    QCOMPARE(fields.value("Rows"), QVariant(qlonglong(record.rowCount())));
    QCOMPARE(fields.value("Failed"), QVariant(qlonglong(summary.failed)));
    QCOMPARE(fields.value("Rows exported").toString(),
             QStringLiteral("2 of %1").arg(record.rowCount()));
    QCOMPARE(fields.value("Row filter").toString(), cover.rowFilter);
    for (const char *name :
         {"Project", "SCL file", "SCL revision", "IED", "Vendor", "Model", "Serial number",
          "Address", "Configuration revision", "Tester", "Witness"})
        QVERIFY2(!fields.value(name).toString().isEmpty(), name);
    QCOMPARE(fields.value("Serial number").toString(), cover.serialNumber);
    QCOMPARE(fields.value("Testing ended").toString(), QStringLiteral("no session ran"));
    // A date-time is a number of days since 1899-12-30, in the zone its format names.
    QCOMPARE(fields.value("Testing started").userType(), int(QMetaType::Double));
    const QDateTime shownStart = cover.testingStarted.toLocalTime();
    QCOMPARE(fields.value("Testing started").toDouble(),
             QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                     .secsTo(QDateTime(shownStart.date(), shownStart.time(), Qt::UTC)) /
                 86400.0);
    QVERIFY(fields.contains("Tester's signature"));
    QVERIFY(fields.contains("Witness's signature"));

    QVERIFY(book.selectSheet("Record"));
    QCOMPARE(book.lastRow(), 3);
    QCOMPARE(book.lastColumn(), int(CommissioningRecord::ColumnCount));
    QCOMPARE(book.read(1, CommissioningRecord::VerdictColumn + 1).toString(), "Verdict");
    QCOMPARE(book.read(2, CommissioningRecord::SignalColumn + 1).toString(), "GHOST");
    QCOMPARE(book.read(2, CommissioningRecord::NoteColumn + 1).toString(), "not wired");
    QCOMPARE(book.read(3, CommissioningRecord::LastValueColumn + 1).toString(),
             record.observation(0).lastValue);
    QCOMPARE(book.read(3, CommissioningRecord::FirstSeenColumn + 1).userType(),
             int(QMetaType::Double));
    QVERIFY(book.read(2, CommissioningRecord::FirstSeenColumn + 1).isNull());
    QVERIFY(book.selectSheet("Summary"));
    QCOMPARE(book.read(5, 1).toString(), QStringLiteral("Never seen"));
    QCOMPARE(book.read(8, 2).toString(), QStringLiteral("none"));
    QCOMPARE(book.read(5, 2).toLongLong(), 1);
    QCOMPARE(book.read(book.lastRow(), 1).toString(), QStringLiteral("Row filter"));
    QCOMPARE(book.read(book.lastRow(), 2).toString(), cover.rowFilter);

    // The cover prints on one portrait page; the record on landscape pages as wide as
    // one, with its header row on each and its rows named by the frozen first column.
    const QByteArray coverSheet = packagePart(path, "xl/worksheets/sheet1.xml");
    QVERIFY(coverSheet.contains("<pageSetUpPr fitToPage=\"1\"/>"));
    QVERIFY(coverSheet.contains("orientation=\"portrait\""));
    QVERIFY(!coverSheet.contains("fitToHeight=\"0\""));
    const QByteArray recordSheet = packagePart(path, "xl/worksheets/sheet2.xml");
    QVERIFY(recordSheet.contains("<pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\""));
    QVERIFY(recordSheet.contains("<autoFilter ref=\"A1:T3\"/>"));
    QVERIFY(recordSheet.contains("orientation=\"landscape\""));
    QVERIFY(recordSheet.contains("fitToHeight=\"0\""));
    QVERIFY(recordSheet.contains("<oddFooter>&amp;Cpage &amp;P of &amp;N</oddFooter>"));
    QVERIFY(recordSheet.contains("<oddHeader>&amp;Lstation.sclpro, IED BAY1_PROT&amp;C&amp;A"));
    const QByteArray workbook = packagePart(path, "xl/workbook.xml");
    QVERIFY(workbook.contains("name=\"_xlnm.Print_Titles\" localSheetId=\"1\">Record!$1:$1<"));
    QVERIFY(packagePart(path, "xl/styles.xml").contains("hh:mm:ss.000 &quot;UTC&quot;"));

    // The PDF beside it says the same.
    const QString pdf = dir.filePath(QStringLiteral("record.pdf"));
    QVERIFY(QFile::exists(pdf));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess text;
    text.start(pdftotext, {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(EventTimeoutMs));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString &expected :
         {fields.value("Result").toString(), cover.vendor, cover.serialNumber, cover.witness,
          cover.rowFilter, QStringLiteral("Tester's signature"), QStringLiteral("GHOST"),
          CommissioningWorkbook::zonedText(cover.date.toLocalTime()),
          CommissioningWorkbook::zonedText(shownStart), QStringLiteral("Blocks that delivered"),
          QStringLiteral("page 1 of 3")})
        QVERIFY2(printed.contains(expected), qPrintable(expected + "\n" + printed));
}

void TestCommissioning::pdfPagesKeepRowsWhole()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    // Rows of several lines each, many pages of them.
    CommissioningRecord many;
    CommissioningPoints points;
    for (int i = 0; i < 90; ++i) {
        CommissioningPoint point;
        point.signalLabel = QStringLiteral("ROW%1").arg(i);
        point.reference = QStringLiteral("LD/GGIO%1.Ind%1.stVal").arg(i);
        point.fc = QStringLiteral("ST");
        points << point;
    }
    many.setPoints(points);
    for (int i = 0; i < many.rowCount(); ++i)
        QVERIFY(many.setVerdict(
            i, CommissioningRecord::Failed,
            QStringLiteral("start%1 not wired to the terminal block of the bay end%1").arg(i)));
    const QString path = dir.filePath(QStringLiteral("many.pdf"));
    QString problem;
    QVERIFY2(
        CommissioningPdf::write(path, many, CommissioningCover(), &problem, {}, PaperSize::Letter),
        qPrintable(problem));

    QProcess text;
    text.start(pdftotext, {path, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(EventTimeoutMs));
    const QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split('\f');
    // The cover, the record's pages, the summary (and what follows the last form feed).
    QVERIFY(pages.size() > 5);
    for (int page = 1; page < pages.size() - 2; ++page)
        QVERIFY2(pages.at(page).contains("Reference"), qPrintable(pages.at(page)));
    for (int i = 0; i < many.rowCount(); ++i) {
        const QRegularExpression label(QStringLiteral("\\bROW%1\\b").arg(i));
        int found = 0;
        for (const QString &page : pages) {
            if (!page.contains(label))
                continue;
            ++found;
            QVERIFY2(page.contains(QStringLiteral("start%1 ").arg(i)) &&
                         page.contains(QStringLiteral("end%1\n").arg(i)),
                     qPrintable(QStringLiteral("row %1 is cut: %2").arg(i).arg(page)));
        }
        QCOMPARE(found, 1);
    }
}

QTEST_MAIN(TestCommissioning)
#include "tst_commissioning.moc"
