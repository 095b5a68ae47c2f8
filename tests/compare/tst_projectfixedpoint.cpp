// A project with everything picked is a fixed point: saved again after a
// reopen it holds the same rows, checked against its own SCL file it has no
// finding, and updated from that file it changes nothing.

#include "comparetesthelpers.h"
#include "projectupdate.h"
#include "scldataexporter.h"
#include "scriptedprompt.h"
#include "testpaths.h"

#include <QDir>

class TestProjectFixedPoint : public QObject
{
    Q_OBJECT

private slots:
    void everythingPicked_data();
    void everythingPicked();
};

namespace {

using Tables = QVector<QVector<QStringList>>;

// Every table of the project, rows without their keys.
Tables tables(ProjectFile &project)
{
    Tables all;
    for (int table = ConnectionsTable; table < DbSchema::TableCount; ++table) {
        QVector<QStringList> rows = project.db->selectTexts(table, QString());
        if (table != ConnectionsTable) {
            for (QStringList &row : rows)
                row.removeFirst();
        }
        all.append(rows);
    }
    return all;
}

// The first row that differs, or an empty text.
QString difference(const Tables &actual, const Tables &expected)
{
    for (int table = 0; table < expected.size(); ++table) {
        const QVector<QStringList> &rows = actual.value(table);
        const QVector<QStringList> &wanted = expected.at(table);
        for (int row = 0; row < qMax(rows.size(), wanted.size()); ++row) {
            if (rows.value(row) != wanted.value(row))
                return QStringLiteral("table %1 row %2: %3 instead of %4")
                    .arg(table)
                    .arg(row)
                    .arg(rows.value(row).join(QLatin1Char('|')),
                         wanted.value(row).join(QLatin1Char('|')));
        }
    }
    return QString();
}

bool loadProject(ProjectFile &project, QStandardItemModel &scl, Selections &s)
{
    SclDataExporter loader;
    return project.open(false) && loader.loadSclModel(&scl, project.db.get()) &&
           loader.loadSelections(&s.objects, &s.datasets, &s.reports, project.db.get());
}

} // namespace

void TestProjectFixedPoint::everythingPicked_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");
    QStringList files{sourceFile(QStringLiteral("examples/substation.scd"))};
    if (!sharedDir().isEmpty()) {
        const QDir samples(sharedDir() + QStringLiteral("/scl-samples/libiec61850"));
        for (const QString &name : samples.entryList({QStringLiteral("*.cid")}, QDir::Files))
            files.append(samples.filePath(name));
    }
    for (const QString &file : qAsConst(files)) {
        SclParser parser(nullptr, nullptr, nullptr, nullptr);
        for (const QString &ied : parser.loadIedNames(file))
            QTest::addRow("%s %s", qPrintable(QFileInfo(file).fileName()), qPrintable(ied))
                << file << ied;
    }
}

void TestProjectFixedPoint::everythingPicked()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);
    ScriptedPrompt prompt;
    QStandardItemModel parsed;
    if (!parseIed(file, ied, &parsed))
        QSKIP("the IED has no logical node to store");
    ProjectFile project;
    {
        QVERIFY(project.open(true));
        SclDataExporter writer;
        QVERIFY(writer.writeSclModel(&parsed, project.db.get()));
        Selections s;
        pickEverything(s, parsed.item(0));
        QVERIFY(writer.writeSelections(&s.objects, &s.datasets, &s.reports, project.db.get()));
    }
    const Tables saved = tables(project);

    QStandardItemModel scl;
    Selections s;
    QVERIFY(loadProject(project, scl, s));
    QVERIFY(
        SclDataExporter().writeSelections(&s.objects, &s.datasets, &s.reports, project.db.get()));
    QEXPECT_FAIL("mhai_array.cid test",
                 "the parse gives HA.phsAHar under CF a node without children, which the "
                 "loader removes as a data object left empty",
                 Abort);
    const QString afterReopen = difference(tables(project), saved);
    QVERIFY2(afterReopen.isEmpty(), qPrintable(afterReopen));

    const ProjectPicks picks = ProjectPicks::fromModels(&scl, &s.objects, &s.datasets, &s.reports);
    SclFileSource source(file, ied, picks.iedName);
    ModelSnapshot found;
    QString problem;
    QVERIFY2(source.fetch(&found, &problem), qPrintable(problem));
    const ComparisonResult result = CompareEngine::compare(picks, found);
    for (const CompareFinding &finding : result.findings)
        qWarning().noquote() << findingLine(finding);
    QVERIFY(result.findings.isEmpty());

    ProjectUpdate update(source.model(), found, &s.objects, &s.datasets, &s.reports);
    QVERIFY(update.applyToSelections(picks, result).isEmpty());
    QVERIFY(update.droppedBindings().isEmpty());
    QVERIFY(update.writeProject(project.db.get()));
    const QString afterUpdate = difference(tables(project), saved);
    QVERIFY2(afterUpdate.isEmpty(), qPrintable(afterUpdate));
}

QTEST_MAIN(TestProjectFixedPoint)
#include "tst_projectfixedpoint.moc"
