#include "../compare/comparetesthelpers.h"
#include "commandlinetool.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "verifycommands.h"

#include <QHostAddress>
#include <QTextStream>

// Exit codes of verify and update on a project of the first station revision.
class TestVerifyCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitCodes_data();
    void exitCodes();
    void updatedCopyVerifiesClean();

private:
    int run(const QStringList &arguments);
    QTemporaryDir dir;
    // The simulated IED of each station revision.
    IedServerThread servers[2];
    QString projectPath;
    QString output;
};

void TestVerifyCommands::initTestCase()
{
    ScriptedPrompt prompt;
    ProjectFile project;
    QVERIFY(project.open(true));
    QStandardItemModel v1;
    QVERIFY(parseIed(fixture("station_v1.scd"), Ied, &v1));
    QVERIFY(SclDataExporter().writeSclModel(&v1, project.db.get()));
    Selections s;
    pick(s, v1, {SclBranch::Reports, Ied, "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.RP.urcbStatus"});
    pick(s, v1, {SclBranch::Reports, Ied, "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.BR.brcbStatus"});
    QVERIFY(
        SclDataExporter().writeSelections(&s.objects, &s.datasets, &s.reports, project.db.get()));
    project.close();
    projectPath = dir.filePath(QStringLiteral("station.sclpro"));
    QVERIFY(QFile::copy(project.path, projectPath));
    for (int revision = 0; revision < 2; ++revision) {
        const QString file = fixture(revision == 0 ? "station_v1.scd" : "station_v2.scd");
        QVERIFY(servers[revision].start(IedSimulatorModel::fromSclFile(file, Ied),
                                        QHostAddress::LocalHost, 0));
    }
}

int TestVerifyCommands::run(const QStringList &arguments)
{
    output.clear();
    QString errors;
    QTextStream out(&output);
    QTextStream err(&errors);
    const QString command = arguments.first();
    const int code = command == QLatin1String("verify")
                         ? VerifyCommands::verify(arguments.mid(1), out, err)
                         : VerifyCommands::update(arguments.mid(1), out, err);
    output += errors;
    return code;
}

void TestVerifyCommands::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("same file") << QStringList{"verify", "@", "--scl", fixture("station_v1.scd")}
                               << 0;
    QTest::newRow("dropped block")
        << QStringList{"verify", "@", "--scl", fixture("station_v2.scd")} << 1;
    QTest::newRow("no source") << QStringList{"verify", "@"} << 2;
    QTest::newRow("live, same revision") << QStringList{"verify", "@", "--host", "@v1"} << 0;
    QTest::newRow("live, dropped block") << QStringList{"verify", "@", "--host", "@v2"} << 1;
    QTest::newRow("live, nobody listening")
        << QStringList{"verify", "@", "--host", "127.0.0.1:1"} << 1;
    QTest::newRow("both sources") << QStringList{"verify", "@",     "--host",
                                                 "@v1",    "--scl", fixture("station_v1.scd")}
                                  << 2;
    QTest::newRow("no project") << QStringList{"verify", "missing.sclpro", "--scl",
                                               fixture("station_v1.scd")}
                                << 1;
    QTest::newRow("in place without --force")
        << QStringList{"update", "@", "--scl", fixture("station_v2.scd")} << 2;
    QTest::newRow("--out naming the project")
        << QStringList{"update", "@", "--scl", fixture("station_v2.scd"), "--out", "@"} << 2;
    QTest::newRow("unknown IED") << QStringList{"update", "@",
                                                "--scl",  fixture("station_v2.scd"),
                                                "--ied",  "NONE",
                                                "--force"}
                                 << 1;
}

void TestVerifyCommands::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@$")), projectPath);
    for (int revision = 0; revision < 2; ++revision)
        arguments.replaceInStrings(
            QStringLiteral("@v%1").arg(revision + 1),
            QStringLiteral("127.0.0.1:%1").arg(servers[revision].serverPort()));
    QCOMPARE(run(arguments), exitCode);
}

void TestVerifyCommands::updatedCopyVerifiesClean()
{
    const QString updated = dir.filePath(QStringLiteral("updated.sclpro"));
    const QString list = dir.filePath(QStringLiteral("removed.csv"));
    QCOMPARE(run({"update", projectPath, "--scl", fixture("station_v2.scd"), "--out", updated,
                  "--removed", list}),
             0);
    QVERIFY2(output.contains(QLatin1String("removed: Report BAY1_PROTCTRL/LLN0.RP.urcbStatus")),
             qPrintable(output));
    QFile csv(list);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count('\n'), 2);
    QCOMPARE(run({"verify", updated, "--scl", fixture("station_v2.scd")}), 0);
    // The original stays as it was.
    QCOMPARE(run({"verify", projectPath, "--scl", fixture("station_v2.scd")}), 1);
}

QTEST_MAIN(TestVerifyCommands)
#include "tst_verifycommands.moc"
