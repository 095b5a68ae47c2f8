#include "../compare/comparetesthelpers.h"
#include "commandlinetool.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "verifycommands.h"

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
