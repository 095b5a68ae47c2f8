#include "comparetesthelpers.h"
#include "projectupdate.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"

#include <QFile>
#include <QSqlQuery>

// A project of the first revision with picks and bindings, moved to the second.
class TestProjectUpdate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keepsBindingsAndRemovesVanishedPicks();
    void namesEveryDroppedBinding();
    void failedWriteChangesNothing();

private:
    bool runUpdate(const QString &file = fixture("station_v2.scd"));
    QVector<QStringList> tableTexts(int table)
    {
        return project->db->selectTexts(table, QString());
    }

    std::unique_ptr<ProjectFile> project;
    QVector<RemovedPick> removed;
    QVector<RemovedPick> dropped;
};

void TestProjectUpdate::init()
{
    ScriptedPrompt prompt;
    project = std::make_unique<ProjectFile>();
    QVERIFY(project->open(true));
    QStandardItemModel v1;
    QVERIFY(parseIed(fixture("station_v1.scd"), Ied, &v1));
    QVERIFY(SclDataExporter().writeSclModel(&v1, project->db.get()));
    Selections s;
    const QStringList lln0{Ied, "CTRL", "LLN0"};
    pick(s, v1, QStringList{SclBranch::DataObjects, Ied, "CTRL", "XCBR1", "ST", "OpCnt"});
    pick(s, v1,
         QStringList{SclBranch::DataSets} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.StatusDS"});
    pick(s, v1, QStringList{SclBranch::DataSets} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.MeasDS"});
    pick(s, v1,
         QStringList{SclBranch::Reports} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.BR.brcbStatus"});
    pick(s, v1,
         QStringList{SclBranch::Reports} + lln0 + QStringList{"BAY1_PROTCTRL/LLN0.RP.urcbStatus"});
    s.objects.item(0, 3)->setText(QStringLiteral("ReadOpCnt"));
    s.datasets.item(0, 1)->setText(QStringLiteral("StatusDsStatus"));
    // The member attribute Q0CSWI1.Pos.stVal moves to the front in the second file.
    s.datasets.item(0, 0)->child(1, 5)->setText(QStringLiteral("PosResult"));
    s.datasets.item(0, 0)->child(4, 5)->setText(QStringLiteral("Ind1Result"));
    // MeasDS is renamed in the second file, so its pick goes with its bindings.
    s.datasets.item(1, 1)->setText(QStringLiteral("MeasStatus"));
    s.datasets.item(1, 0)->child(1, 5)->setText(QStringLiteral("PhsAResult"));
    s.datasets.item(1, 0)->child(2, 5)->setText(NoSignalName);
    s.reports.item(0, 10)->setText(QStringLiteral("EnableBrcb"));
    s.reports.item(0, 2)->setText(QStringLiteral("3"));
    QVERIFY(
        SclDataExporter().writeSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
}

bool TestProjectUpdate::runUpdate(const QString &file)
{
    ScriptedPrompt prompt;
    QStandardItemModel scl;
    Selections s;
    SclDataExporter loader;
    if (!loader.loadSclModel(&scl, project->db.get()) ||
        !loader.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()))
        return false;
    const ProjectPicks picks = ProjectPicks::fromModels(&scl, &s.objects, &s.datasets, &s.reports);
    SclFileSource source(file, QString(), picks.iedName);
    ModelSnapshot found;
    QString problem;
    if (!source.fetch(&found, &problem))
        return false;
    ProjectUpdate update(source.model(), found, &s.objects, &s.datasets, &s.reports);
    removed = update.applyToSelections(picks, CompareEngine::compare(picks, found));
    dropped = update.droppedBindings();
    return update.writeProject(project->db.get());
}

void TestProjectUpdate::keepsBindingsAndRemovesVanishedPicks()
{
    QVERIFY(runUpdate());
    QCOMPARE(removed.size(), 2);
    QCOMPARE(removed.at(0).reference, QStringLiteral("BAY1_PROTCTRL/LLN0.MeasDS"));
    QCOMPARE(removed.at(1).reference, QStringLiteral("BAY1_PROTCTRL/LLN0.RP.urcbStatus"));

    ScriptedPrompt prompt;
    QStandardItemModel scl;
    Selections s;
    SclDataExporter loader;
    QVERIFY(project->open(false));
    QVERIFY(loader.loadSclModel(&scl, project->db.get()));
    QVERIFY(loader.loadSelections(&s.objects, &s.datasets, &s.reports, project->db.get()));
    QCOMPARE(s.objects.rowCount(), 1);
    QCOMPARE(s.objects.item(0, 3)->text(), QStringLiteral("ReadOpCnt"));
    QCOMPARE(s.objects.item(0, 0)->child(0, 2)->text(), QStringLiteral("MMS_UNSIGNED"));
    QCOMPARE(s.datasets.rowCount(), 1);
    QCOMPARE(s.datasets.item(0, 1)->text(), QStringLiteral("StatusDsStatus"));
    QCOMPARE(s.datasets.item(0, 0)->child(0, 0)->text(),
             QStringLiteral("BAY1_PROTCTRL/Q0CSWI1.Pos.stVal[ST]"));
    QCOMPARE(s.datasets.item(0, 0)->child(0, 5)->text(), QStringLiteral("PosResult"));
    QCOMPARE(s.reports.rowCount(), 1);
    QCOMPARE(s.reports.item(0, 10)->text(), QStringLiteral("EnableBrcb"));
    QCOMPARE(s.reports.item(0, 2)->text(), QStringLiteral("3"));
    QCOMPARE(s.reports.item(0, 6)->text(), QStringLiteral("2"));
    QCOMPARE(tableTexts(ConnectionsTable).first().value(7), QStringLiteral("Rev 1.4"));
    // The model tables hold the second file: its dropped block is gone.
    for (const QStringList &row : tableTexts(ReportsModelTable))
        QVERIFY(!row.last().endsWith(QLatin1String("urcbStatus")));

    // Checked again, the updated project has no error left.
    const ProjectPicks picks = ProjectPicks::fromModels(&scl, &s.objects, &s.datasets, &s.reports);
    SclFileSource source(fixture("station_v2.scd"), QString(), picks.iedName);
    ModelSnapshot found;
    QString problem;
    QVERIFY(source.fetch(&found, &problem));
    QVERIFY(!CompareEngine::compare(picks, found).hasErrors());
}

void TestProjectUpdate::namesEveryDroppedBinding()
{
    // A third revision: the data set member bound to "Ind1Result" is renamed.
    QFile second(fixture("station_v2.scd"));
    QVERIFY(second.open(QIODevice::ReadOnly));
    QByteArray content = second.readAll();
    const QByteArray member = "doName=\"Ind1\" daName=\"stVal\"";
    QVERIFY(content.contains(member));
    content.replace(member, "doName=\"Ind9\" daName=\"stVal\"");
    const QString third = project->dir.filePath(QStringLiteral("station_v3.scd"));
    QFile file(third);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    QVERIFY(runUpdate(third));
    QCOMPARE(removed.size(), 2);
    QStringList lines;
    for (const RemovedPick &binding : qAsConst(dropped))
        lines.append(ProjectUpdate::pickKindText(binding.kind) + QLatin1Char(' ') +
                     binding.reference + QStringLiteral(": ") + binding.reason);
    QCOMPARE(lines,
             QStringList({"Data set BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST]: \"Result Signal\" binding "
                          "\"Ind1Result\" dropped: the data set no longer has this member",
                          "Data set BAY1_PROTCTRL/LLN0.MeasDS: \"Status Signal\" binding "
                          "\"MeasStatus\" dropped: the pick was removed",
                          "Data set BAY1_PROTMEAS/MMXU1.PhV.phsA.cVal.mag.f[MX]: \"Result Signal\" "
                          "binding \"PhsAResult\" dropped: the pick was removed"}));
}

void TestProjectUpdate::failedWriteChangesNothing()
{
    QVector<QVector<QStringList>> before;
    for (int table = ConnectionsTable; table <= ReportsModelTable; ++table)
        before.append(tableTexts(table));
    // The last table the update writes refuses its rows.
    QSqlQuery query(project->connector->database());
    QVERIFY(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON iec61850_reports "
                                      "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    QVERIFY(!runUpdate());
    for (int table = ConnectionsTable; table <= ReportsModelTable; ++table)
        QCOMPARE(tableTexts(table), before.at(table));
}

QTEST_MAIN(TestProjectUpdate)
#include "tst_projectupdate.moc"
