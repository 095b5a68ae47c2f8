// stationscope-cli driven as a user drives it: as a process, on temporary files.

#include "clitestsupport.h"
#include "dbschema.h"
#include "eventwait.h"
#include "iedconnection.h"
#include "mainwindow.h"
#include "sclgenerator.h"
#include "sclparser.h"
#include "scriptedprompt.h"
#include "temporarysettings.h"
#include "testpaths.h"
#include "workbook.h"

#include <QAction>
#include <QDirIterator>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <signal.h>
#include <sys/stat.h>

namespace {

Run runProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run runCli(const QStringList &arguments)
{
    return runProgram(QStringLiteral(STATIONSCOPE_CLI), arguments);
}

bool firstLineNames(const Run &run, const QString &text)
{
    return run.err.count(QLatin1Char('\n')) == 1 && run.err.contains(text);
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void helpOnEveryCommand_data();
    void helpOnEveryCommand();
    void usageErrors_data();
    void usageErrors();
    void listsIeds();
    void newProjectMatchesTheMenu();
    void newRefuses_data();
    void newRefuses();
    void exportWritesTheWorkbook();
    void exportRefuses_data();
    void exportRefuses();
    void dumpsProjectAndWorkbook();
    void dumpRefuses_data();
    void dumpRefuses();
    void readingLeavesTheFileAsItWas_data();
    void readingLeavesTheFileAsItWas();
    void killedNewLeavesNoHalfProject_data();
    void killedNewLeavesNoHalfProject();
    void hostileSclFiles_data();
    void hostileSclFiles();
    void interruptedExportLeavesNothing();
    void pickAndBind_data();
    void pickAndBind();
    void everySharedSample();
    void serveAndBrowseTogether();
    void onlineRefusals_data();
    void onlineRefusals();
    void readAndWatchTheSimulator();
    void commissionTheSimulator_data();
    void commissionTheSimulator();
    void watchSharedRptIdAndBufferHistory();

private:
    QString example(const QString &name) const { return sourceFile("examples/" + name); }
    QString projectFromMenu(const QString &name);
    // p.sclpro of BAY1_PROT with the example signals, as `new` makes it; empty when it fails.
    QString newBay1Project();

    std::unique_ptr<QTemporaryDir> dir;
};

void CommandLineTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
}

void CommandLineTest::helpOnEveryCommand_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command : {"ieds", "new", "export", "dump", "pick", "bind", "browse", "serve",
                                "read", "watch", "commission"})
        QTest::newRow(command) << QString::fromLatin1(command);
}

void CommandLineTest::helpOnEveryCommand()
{
    QFETCH(QString, command);
    const Run run = runCli({command, "--help"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.startsWith("Usage: stationscope-cli " + command + ' '), qPrintable(run.out));
    QVERIFY(run.out.contains("--help"));
    QVERIFY(run.err.isEmpty());
}

void CommandLineTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("no command") << QStringList{} << QString("Usage");
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << QString("frobnicate");
    QTest::newRow("new without --ied")
        << QStringList{"new", "x.scd", "--out", "p.sclpro"} << QString("--ied");
    QTest::newRow("export without --out") << QStringList{"export", "p.sclpro"} << QString("--out");
    QTest::newRow("unknown option") << QStringList{"dump", "--colour", "x"} << QString("colour");
    QTest::newRow("two files") << QStringList{"ieds", "a.scd", "b.scd"} << QString("FILE.scd");
    QTest::newRow("pick without a query") << QStringList{"pick", "p.sclpro"} << QString("--all");
    QTest::newRow("pick with --all and a query")
        << QStringList{"pick", "p.sclpro", "--all", "Pos"} << QString("--all");
    QTest::newRow("bind without rules") << QStringList{"bind", "p.sclpro"} << QString("RULES.csv");
    QTest::newRow("commission without a project")
        << QStringList{"commission"} << QString("PROJECT.sclpro");
    QTest::newRow("commission for no time")
        << QStringList{"commission", "p.sclpro", "--seconds", "0"} << QString("--seconds");
    QTest::newRow("commission: no port")
        << QStringList{"commission", "p.sclpro", "--host", "127.0.0.1:x"} << QString("x");
}

void CommandLineTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2((run.err + run.out).contains(named), qPrintable(run.err + run.out));
}

void CommandLineTest::listsIeds()
{
    const Run run = runCli({"ieds", example("substation.scd")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("BAY1_PROT\nBAY2_MEAS\n"));
    QVERIFY(run.err.isEmpty());

    const Run missing = runCli({"ieds", dir->filePath("absent.scd")});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(firstLineNames(missing, "absent.scd"));

    const QString text = dir->filePath("notes.scd");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("just some notes, <not SCL");
    file.close();
    const Run garbage = runCli({"ieds", text});
    QCOMPARE(garbage.exitCode, 1);
    QVERIFY(firstLineNames(garbage, "notes.scd"));
}

QString CommandLineTest::projectFromMenu(const QString &name)
{
    TemporarySettings settings;
    ScriptedPrompt prompt;
    MainWindow window;
    QSettings().setValue("lastProjectPath", dir->path());
    prompt.fileAnswers << example("substation.scd");
    prompt.dialogHandler = [&](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEdit_projectName")->setText(name);
        dialog->findChild<QLineEdit *>("lineEdit_folderPath")->setText(dir->path());
        dialog->findChild<QPushButton *>("pushButton_createPro")->click();
        if (dialog->findChild<QStackedWidget *>("stackedWidget_buttons")->currentIndex() == 1)
            dialog->findChild<QPushButton *>("pushButton")->click();
        return dialog->result();
    };
    window.findChild<QAction *>("actionNew_Project")->trigger();
    prompt.fileAnswers << example("signals.csv");
    window.findChild<QPushButton *>("pushButton_ImportPLC")->click();
    return dir->filePath(name + ".sclpro");
}

QString CommandLineTest::newBay1Project()
{
    const QString project = dir->filePath("p.sclpro");
    const Run run = runCli({"new", example("substation.scd"), "--ied", "BAY1_PROT", "--out",
                            project, "--signals", example("signals.csv")});
    return run.exitCode == 0 ? project : QString();
}

void CommandLineTest::newProjectMatchesTheMenu()
{
    const QString fromMenu = projectFromMenu("menu");
    QVERIFY(QFileInfo::exists(fromMenu));
    const QString fromCli = dir->filePath("cli.sclpro");
    const Run run = runCli({"new", example("substation.scd"), "--ied", "BAY1_PROT", "--out",
                            fromCli, "--signals", example("signals.csv")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains("22 signals"));
    // Not a terminal: no progress bar in the error stream.
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));

    const QStringList menuRows = projectRows(fromMenu);
    const QStringList cliRows = projectRows(fromCli);
    QVERIFY(menuRows.size() > 500);
    for (int row = 0; row < qMin(menuRows.size(), cliRows.size()); ++row)
        QCOMPARE(cliRows.at(row), menuRows.at(row));
    QCOMPARE(cliRows.size(), menuRows.size());
}

void CommandLineTest::newRefuses_data()
{
    QTest::addColumn<QString>("case_");
    QTest::addColumn<QString>("named");
    QTest::newRow("existing output") << "existing"
                                     << "taken.sclpro";
    QTest::newRow("unknown IED") << "ied"
                                 << "NOPE";
    QTest::newRow("missing SCL file") << "scl"
                                      << "absent.scd";
    QTest::newRow("missing signal list") << "signals"
                                         << "absent.csv";
    QTest::newRow("signal list without a signal line") << "commas"
                                                       << "commas.csv";
    QTest::newRow("output folder missing") << "folder"
                                           << "nowhere";
    QTest::newRow("file size limit") << "limit"
                                     << "File too large";
    QTest::newRow("update --out past the file size limit") << "update"
                                                           << "File too large";
    QTest::newRow("update in place past the file size limit")
        << "in place"
        << "taken.sclpro could not be written: File too large; it was left as it was";
    QTest::newRow("export past the file size limit")
        << "export"
        << "a file grew past the file size limit (File too large); nothing was left";
}

void CommandLineTest::newRefuses()
{
    QFETCH(QString, case_);
    QFETCH(QString, named);
    QString out = dir->filePath("taken.sclpro");
    QString scl = example("substation.scd");
    QString ied = "BAY1_PROT";
    QStringList extra;
    if (case_ == "existing") {
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("somebody else's file");
    } else if (case_ == "ied") {
        ied = "NOPE";
    } else if (case_ == "scl") {
        scl = dir->filePath("absent.scd");
    } else if (case_ == "signals") {
        extra << "--signals" << dir->filePath("absent.csv");
    } else if (case_ == "commas") {
        QFile list(dir->filePath(named));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("1,10,Breaker open,DI\n2,20,Breaker closed,DI\n");
        extra << "--signals" << list.fileName();
    } else if (case_ == "folder") {
        out = dir->filePath("nowhere/p.sclpro");
    }
    QStringList arguments = QStringList{"new", scl, "--ied", ied, "--out", out} + extra;
    QStringList inPlace;
    if (case_ == "update") {
        const QString project = dir->filePath("source.sclpro");
        QCOMPARE(runCli({"new", scl, "--ied", ied, "--out", project}).exitCode, 0);
        arguments = QStringList{"update", project, "--scl", scl, "--out", out};
    } else if (case_ == "in place") {
        QCOMPARE(runCli({"new", scl, "--ied", ied, "--out", out}).exitCode, 0);
        QCOMPARE(runCli({"pick", out, "--all"}).exitCode, 0);
        inPlace = projectRows(out);
        arguments = QStringList{"update", out, "--scl", scl, "--force"};
    } else if (case_ == "export") {
        const QString project = dir->filePath("source.sclpro");
        QCOMPARE(runCli({"new", scl, "--ied", ied, "--out", project}).exitCode, 0);
        QCOMPARE(runCli({"pick", project, "--all"}).exitCode, 0);
        out = dir->filePath("taken.xlsx");
        arguments = QStringList{"export", project, "--out", out};
    }
    // Less than the project or the workbook needs.
    const QString limit = case_ == "export" ? "4" : "40";
    const Run run =
        case_ == "limit" || case_ == "update" || case_ == "in place" || case_ == "export"
            ? runProgram("/bin/sh", QStringList{"-c", "ulimit -f " + limit + "; exec \"$0\" \"$@\"",
                                                STATIONSCOPE_CLI} +
                                        arguments)
            : runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(firstLineNames(run, named), qPrintable(run.err));
    if (case_ == "existing") {
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("somebody else's file"));
    } else if (case_ == "in place") {
        QCOMPARE(projectRows(out), inPlace);
        QCOMPARE(QDir(dir->path()).entryList({"taken*"}, QDir::Files), QStringList{"taken.sclpro"});
    } else {
        QVERIFY(!QFileInfo::exists(out));
        // Nor anything beside it.
        QCOMPARE(QDir(dir->path()).entryList({"taken*"}, QDir::Files), QStringList());
    }
}

void CommandLineTest::exportWritesTheWorkbook()
{
    const QString project = dir->filePath("p.sclpro");
    QCOMPARE(
        runCli({"new", example("substation.scd"), "--ied", "BAY2_MEAS", "--out", project}).exitCode,
        0);
    const QString book = dir->filePath("p.xlsx");
    const Run run = runCli({"export", project, "--out", book});
    QCOMPARE(run.exitCode, 0);
    WorkbookReader reader;
    QVERIFY(reader.open(book));
    QCOMPARE(reader.sheetNames().size(), 4);
    QVERIFY(reader.selectSheet("Connections"));
    QCOMPARE(reader.read(2, 2).toString(), QStringLiteral("BAY2_MEAS"));

    QCOMPARE(runCli({"export", project, "--out", book}).exitCode, 1);
    QCOMPARE(runCli({"export", project, "--out", book, "--force"}).exitCode, 0);
}

void CommandLineTest::exportRefuses_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named");
    QTest::newRow("missing project") << QByteArray() << "absent.sclpro";
    QTest::newRow("text file") << QByteArray("not a project\n") << "p.sclpro";
    QTest::newRow("empty database") << QByteArray("") << "p.sclpro";
}

void CommandLineTest::exportRefuses()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    QString project = dir->filePath("absent.sclpro");
    if (!content.isNull()) {
        project = dir->filePath("p.sclpro");
        QFile file(project);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QString book = dir->filePath("out.xlsx");
    const Run run = runCli({"export", project, "--out", book});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(firstLineNames(run, named), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(book));
}

void CommandLineTest::dumpsProjectAndWorkbook()
{
    const QString project = newBay1Project();
    QVERIFY(!project.isEmpty());
    const Run dumped = runCli({"dump", project});
    QCOMPARE(dumped.exitCode, 0);
    QVERIFY(dumped.out.startsWith("Project " + project +
                                  "\nSCL model\n  BAY1_PROT\n"
                                  "    Connection\n      Id: 0\n      IED Name: BAY1_PROT\n"));
    QVERIFY(dumped.out.contains("\n    DataObjects\n      BAY1_PROT\n        CTRL\n"));
    QVERIFY(dumped.out.contains("\nData objects (0)\nData sets (0)\nReports (0)\nSignals (23)\n"));

    // A workbook with a pick and its binding, as a spreadsheet would hold it.
    WorkbookWriter writer;
    const QList<QPair<QString, int>> sheets{{"Connections", ConnectionsTable},
                                            {"DataObjects", DataObjectsTable},
                                            {"DataSetsAndObjects", DatasetsTable},
                                            {"Reports", ReportsTable}};
    for (const auto &sheet : sheets) {
        writer.addSheet(sheet.first);
        QStringList header = DbSchema::build().value(sheet.second).columnNames();
        header.removeAll("db_id");
        for (int column = 0; column < header.size(); ++column)
            writer.write(1, column + 1, header.at(column));
    }
    writer.selectSheet("Connections");
    writer.write(2, 1, "0");
    writer.write(2, 2, "IED_X");
    writer.selectSheet("DataObjects");
    const QVariantList object{1, 0, 4, -1, 0, QVariant(), "IED_XLD/GGIO1.Ind1", "ST", "", "RT_IND"};
    const QVariantList attribute{2,  0,  8,  "1", 1,          "0", "stVal", "ST", "MMS_BOOLEAN",
                                 "", "", "", "",  "IND_VALUE"};
    for (int column = 0; column < object.size(); ++column)
        writer.write(2, column + 1, object.at(column));
    for (int column = 0; column < attribute.size(); ++column)
        writer.write(3, column + 1, attribute.at(column));
    // Bound through its own cells only, none of its attributes present.
    const QVariantList status{3,    0,  4,        -1, 0,       QVariant(), "IED_XLD/XCBR1.Pos",
                              "ST", "", "RT_POS", "", "ST_POS"};
    for (int column = 0; column < status.size(); ++column)
        writer.write(4, column + 1, status.at(column));
    const QString book = dir->filePath("picks.xlsx");
    QVERIFY(writer.saveAs(book));
    const Run fromBook = runCli({"dump", book});
    QCOMPARE(fromBook.exitCode, 0);
    QVERIFY2(fromBook.out.contains("Data objects (3)\n  IED_XLD/GGIO1.Ind1  [Function=ST; "),
             qPrintable(fromBook.out));
    QVERIFY(fromBook.out.contains("Read Trig Signal=RT_IND"));
    QVERIFY(fromBook.out.contains("\n    stVal  [") && fromBook.out.contains("=IND_VALUE"));
    QVERIFY(fromBook.out.contains("\n  IED_XLD/XCBR1.Pos  [") && fromBook.out.contains("=ST_POS"));
    QVERIFY(!fromBook.out.contains("Signals ("));
}

void CommandLineTest::dumpRefuses_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing file") << QByteArray() << "absent.sclpro";
    QTest::newRow("neither project nor workbook") << QByteArray("hello") << "notes.txt";
    QTest::newRow("broken workbook") << QByteArray("PK\x03\x04 broken") << "broken.xlsx";
    QTest::newRow("project without connection") << QByteArray("") << "empty.sclpro";
}

void CommandLineTest::dumpRefuses()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, fileName);
    const QString path = dir->filePath(fileName);
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const Run run = runCli({"dump", path});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(firstLineNames(run, fileName), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void CommandLineTest::readingLeavesTheFileAsItWas_data()
{
    QTest::addColumn<bool>("fromProject");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("empty file") << false << QString() << 1 << "the file is empty";
    QTest::newRow("another application's database")
        << false << "CREATE TABLE notes(body TEXT)" << 1 << "no project table";
    QTest::newRow("project missing a table")
        << true << "DROP TABLE iec61850_reports" << 1 << "table iec61850_reports";
    QTest::newRow("project missing its connection table")
        << true << "DROP TABLE iec61850_connectionsv2" << 1 << "no connection row";
    // Every table and column is there, but its rows cannot be read.
    QTest::newRow("signal list that fails when read")
        << true
        << "DROP TABLE iec61850_signals_pro\nCREATE VIEW iec61850_signals_pro AS SELECT 1 AS "
           "db_id, 1 AS block_number, 1 AS address, 'Q1' AS label, 'DI' AS type WHERE "
           "abs(-9223372036854775807 - 1) > 0"
        << 1 << "the signal list cannot be read: The table iec61850_signals_pro could not be read";
    QTest::newRow("older project: the upgrade adds a column")
        << true << "ALTER TABLE iec61850_data_objects DROP COLUMN cmdtype_signal" << 0 << "";
    QTest::newRow("current project") << true << QString() << 0 << "";
}

void CommandLineTest::readingLeavesTheFileAsItWas()
{
    QFETCH(bool, fromProject);
    QFETCH(QString, sql);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    const QString path = dir->filePath("file.sclpro");
    if (fromProject) {
        QCOMPARE(runCli({"new", example("substation.scd"), "--ied", "BAY1_PROT", "--out", path})
                     .exitCode,
                 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (!sql.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            for (const QString &statement : sql.split('\n'))
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
            query = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase("setup");
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    for (const QStringList &command :
         {QStringList{"dump", path}, QStringList{"export", path, "--out", path + ".xlsx"},
          QStringList{"verify", path, "--scl", example("substation.scd")}}) {
        const Run run = runCli(command);
        if (command.first() != "verify")
            QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() == before, qPrintable(command.first()));
        file.close();
    }
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"file.sclpro"}) +
                 (exitCode == 0 ? QStringList{"file.sclpro.xlsx"} : QStringList()));
}

void CommandLineTest::killedNewLeavesNoHalfProject_data()
{
    QTest::addColumn<int>("killAfterMs");
    // Parsing takes the first few hundred milliseconds, writing the rest.
    for (int ms : {0, 300, 900, 1300, 1800})
        QTest::newRow(qPrintable(QStringLiteral("%1 ms").arg(ms))) << ms;
}

void CommandLineTest::killedNewLeavesNoHalfProject()
{
    QFETCH(int, killAfterMs);
    const QString scl = dir->filePath("large.scd");
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 32;
    QVERIFY(SclGenerator::write(scl, options));
    const QString project = dir->filePath("p.sclpro");

    QProcess process;
    process.start(QStringLiteral(STATIONSCOPE_CLI),
                  {"new", scl, "--ied", SclGenerator::iedName(0), "--out", project});
    QVERIFY(process.waitForStarted());
    const pid_t child = pid_t(process.processId());
    QVERIFY(child > 0);
    QTest::qWait(killAfterMs);
    // A child that has finished and been reaped has no id any more: kill(0)
    // would hit this whole process group, the test runner with it.
    if (process.state() != QProcess::NotRunning)
        ::kill(child, SIGKILL);
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(30000));

    // Either nothing under the name, so a retry can make it, or the whole project.
    if (QFileInfo::exists(project)) {
        const Run dumped = runCli({"dump", project});
        QVERIFY2(dumped.exitCode == 0, qPrintable(dumped.err));
        QVERIFY(dumped.out.contains("\n  " + SclGenerator::iedName(0) + '\n'));
        QVERIFY(dumped.out.contains("\n    DataObjects\n"));
    } else {
        QCOMPARE(runCli({"new", scl, "--ied", SclGenerator::iedName(0), "--out", project}).exitCode,
                 0);
    }
    // A killed write leaves its staging file beside the target, under a name
    // that says what it is, and the next run removes it.
    runCli({"new", scl, "--ied", SclGenerator::iedName(0), "--out", project});
    QCOMPARE(QDir(dir->path()).entryList({"p.sclpro.*"}, QDir::Files), QStringList());
}

void CommandLineTest::hostileSclFiles_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    const QStringList commands{"ieds", "check", "new"};
    for (const QString &command : commands) {
        const int unreadable = command == "check" ? 2 : 1;
        QTest::newRow(qPrintable(command + ": a link to /dev/zero"))
            << command << "zero" << unreadable << "not a regular file";
        QTest::newRow(qPrintable(command + ": a FIFO"))
            << command << "fifo" << unreadable << "not a regular file";
        QTest::newRow(qPrintable(command + ": 100000 attributes on an element"))
            << command << "attributes" << unreadable
            << "line 51: an element with more than 256 attributes";
        QTest::newRow(qPrintable(command + ": a 20 MB IED name"))
            << command << "name" << unreadable
            << "line 51: attribute \"name\" is longer than 65536 characters";
    }
    QTest::newRow("ieds: another document element")
        << "ieds"
        << "root" << 1 << "not an SCL file: the document element is <Substation>";
    QTest::newRow("check: another document element")
        << "check"
        << "root" << 2 << "not an SCL file: the document element is <Substation>";
    QTest::newRow("verify --scl: a FIFO") << "verify"
                                          << "fifo" << 1 << "not a regular file";
}

void CommandLineTest::hostileSclFiles()
{
    QFETCH(QString, command);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    const QString path = dir->filePath(file + ".scd");
    QFile source(example("substation.scd"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray content = source.readAll();
    if (file == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
    } else if (file == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QByteArray attributes;
        for (int i = 0; file == "attributes" && i < 100000; ++i)
            attributes += " a" + QByteArray::number(i) + "=\"x\"";
        if (file == "root")
            content.replace("<SCL ", "<Substation ").replace("</SCL>", "</Substation>");
        else
            content.replace("<IED name=\"BAY1_PROT\"",
                            "<IED" + attributes + " name=\"" +
                                (file == "name" ? QByteArray(20 << 20, 'N') : "BAY1_PROT") + "\"");
        QFile scl(path);
        QVERIFY(scl.open(QIODevice::WriteOnly));
        scl.write(content);
    }
    QStringList arguments{command, path};
    if (command == "new")
        arguments << "--ied"
                  << "BAY1_PROT"
                  << "--out" << dir->filePath("p.sclpro");
    if (command == "verify") {
        const QString project = newBay1Project();
        QVERIFY(!project.isEmpty());
        arguments = QStringList{"verify", project, "--scl", path};
    }
    QElapsedTimer timer;
    timer.start();
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(firstLineNames(run, said), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY2(timer.elapsed() < EventTimeoutMs, "a hostile file kept the command busy");
    if (command == "new")
        QVERIFY(!QFileInfo::exists(dir->filePath("p.sclpro")));
}

void CommandLineTest::interruptedExportLeavesNothing()
{
    const QString scl = dir->filePath("large.scd");
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 32;
    QVERIFY(SclGenerator::write(scl, options));
    const QString project = dir->filePath("p.sclpro");
    QCOMPARE(runCli({"new", scl, "--ied", SclGenerator::iedName(0), "--out", project}).exitCode, 0);
    QCOMPARE(runCli({"pick", project, "--all"}).exitCode, 0);
    {
        // An older project: the export reads an upgraded copy in the temporary folder.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(project);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("ALTER TABLE iec61850_data_objects DROP COLUMN cmdtype_signal"));
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    const QString temporary = dir->filePath("tmp");
    QVERIFY(QDir().mkpath(temporary));
    const QString book = dir->filePath("p.xlsx");

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(STATIONSCOPE_CLI), {"export", project, "--out", book});
    QVERIFY(process.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    const auto working = [&]() {
        return !QDir(temporary).entryList({"stationscope-cli-*"}, QDir::Dirs).isEmpty();
    };
    while (!working() && process.state() == QProcess::Running && timer.elapsed() < EventTimeoutMs)
        QTest::qWait(1);
    QVERIFY2(process.state() == QProcess::Running, "the export ended before it could be stopped");
    ::kill(pid_t(process.processId()), SIGTERM);
    QVERIFY(process.waitForFinished(EventTimeoutMs));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QVERIFY(QString::fromUtf8(process.readAllStandardError())
                .contains("interrupted by SIGTERM; its temporary files were removed"));
    QCOMPARE(QDir(temporary).entryList({"stationscope-cli-*"}, QDir::Dirs), QStringList());
    QCOMPARE(QDir(dir->path()).entryList({"p.xlsx*"}, QDir::Files), QStringList());
}

void CommandLineTest::pickAndBind_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("rules");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<bool>("written");
    QTest::newRow("pick: picked already")
        << QStringList{"pick", "PROJECT", "--objects", "ln:XCBR Pos"} << QByteArray() << 0
        << "skipped: BAY1_PROTCTRL/XCBR1.Pos [CO]: already picked\n"
        << false;
    QTest::newRow("pick: every report")
        << QStringList{"pick", "PROJECT", "--reports", "--all"} << QByteArray() << 0
        << "picked: BAY1_PROTCTRL/LLN0.BR.brcbStatus\n"
        << true;
    QTest::newRow("pick: a query matches nothing")
        << QStringList{"pick", "PROJECT", "ln:XCBR Pos", "Nowhere"} << QByteArray() << 1
        << "no match: Nowhere\n"
        << false;
    QTest::newRow("pick: the rule refuses a logical node")
        << QStringList{"pick", "PROJECT", "--objects", "ln:CSWI", "TotW"} << QByteArray() << 1
        << "refused: Q0CSWI1: only data objects" << true;
    QTest::newRow("pick: no expression")
        << QStringList{"pick", "PROJECT", "Pos["} << QByteArray() << 2 << "" << false;
    QTest::newRow("bind") << QStringList{"bind", "PROJECT", "RULES"}
                          << QByteArray(
                                 "BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;BAY1_CB_POS\n"
                                 "BAY1_PROTCTRL/XCBR1.Pos[CO];Write Trig Signal;BAY1_CB_SEL\n"
                                 "\n"
                                 "BAY1_PROTCTRL/XCBR1.Pos [CO];Data Signal;"
                                 "BAY1_CB_SEL::Bay 1 circuit breaker selected for operation\n"
                                 "fc:CF;Read Trig Signal;NoRef\n")
                          << 0
                          << "bound: BAY1_PROTCTRL/XCBR1.Pos [CO] / Data Signal = BAY1_CB_SEL\n"
                          << true;
    QTest::newRow("bind: every bad line, nothing written")
        << QStringList{"bind", "PROJECT", "RULES"}
        << QByteArray("BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;BAY1_CB_POS\n"
                      "BAY1_PROTCTRL/XCBR1.Pos;Status Signal;BAY1_CB_POS\n"
                      "BAY1_PROTCTRL/XCBR1.Pos [ST];Colour;BAY1_CB_POS\n"
                      "BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;NO_SUCH_LABEL\n"
                      "Nowhere;Status Signal;BAY1_CB_POS\n"
                      "BAY1_PROTCTRL/XCBR1.Pos [CO];Data Signal;BAY1_CB_SEL\n"
                      "just text\n")
        << 1
        << "RULES:2: \"BAY1_PROTCTRL/XCBR1.Pos\" names 3 picks; add the constraint, as in "
           "\"BAY1_PROTCTRL/XCBR1.Pos [ST]\"\n"
           "RULES:3: unknown column \"Colour\"\n"
           "RULES:4: unknown label \"NO_SUCH_LABEL\": not in the project's signal list\n"
           "RULES:5: unknown pick \"Nowhere\""
        << false;
    QTest::newRow("bind: control characters of a rule escaped")
        << QStringList{"bind", "PROJECT", "RULES"}
        << QByteArray("Now\x1b[2J\x07here;Status Signal;BAY1_CB_POS\n") << 1
        << "RULES:1: unknown pick \"Now\\x1B[2J\\x07here\"" << false;
    QTest::newRow("bind: 150 failing lines, the first 100 listed")
        << QStringList{"bind", "PROJECT", "RULES"}
        << QByteArray("Nowhere;Status Signal;BAY1_CB_POS\n").repeated(150) << 1
        << "RULES:100: unknown pick \"Nowhere\" (no pick with a \"Status Signal\" signal cell is "
           "named or found so)\n(50 more lines failed, not listed)\n"
        << false;
}

void CommandLineTest::pickAndBind()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, rules);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(bool, written);
    const QString project = newBay1Project();
    QVERIFY(!project.isEmpty());
    const Run first = runCli({"pick", project, "--objects", "ln:XCBR Pos"});
    QCOMPARE(first.exitCode, 0);
    QVERIFY2(first.out.endsWith("3 of 3 matched nodes picked, 0 already picked, 0 refused\n"),
             qPrintable(first.out));
    const QString rulesFile = dir->filePath("rules.csv");
    QFile file(rulesFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(rules);
    file.close();
    const QStringList before =
        projectRows(project, {DataObjectsTable, DatasetsTable, ReportsTable});

    arguments.replaceInStrings("PROJECT", project);
    arguments.replaceInStrings("RULES", rulesFile);
    printed.replace("RULES", rulesFile);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(printed), qPrintable(run.out));
    QVERIFY(!run.out.contains(QChar(0x1b)) && !run.out.contains(QChar(0x07)));
    if (exitCode != 0)
        QVERIFY2(run.err.count('\n') == 1, qPrintable(run.err));
    const QStringList after = projectRows(project, {DataObjectsTable, DatasetsTable, ReportsTable});
    QCOMPARE(after != before, written);
    if (arguments.first() == "bind" && written) {
        const Run dumped = runCli({"dump", project});
        QVERIFY(dumped.out.contains("Status Signal=BAY1_CB_POS]"));
        QVERIFY2(dumped.out.contains("Write Trig Signal=BAY1_CB_SEL; CtlModel=DO; Data "
                                     "Signal=BAY1_CB_SEL;"),
                 qPrintable(dumped.out));
    }
}

void CommandLineTest::everySharedSample()
{
    QSKIP_WITHOUT_SHARED();
    QDirIterator files(sharedDir() + "/scl-samples", QDir::Files, QDirIterator::Subdirectories);
    int projects = 0;
    while (files.hasNext()) {
        const QString file = files.next();
        if (file.endsWith(".md"))
            continue;
        SclParser parser;
        const QStringList names = parser.loadIedNames(file);
        const Run listed = runCli({"ieds", file});
        if (names.isEmpty()) {
            QCOMPARE(listed.exitCode, 1);
            continue;
        }
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, names.join('\n') + '\n');
        for (const QString &ied : names) {
            const QString project = dir->filePath(QStringLiteral("s%1.sclpro").arg(projects++));
            const Run created = runCli({"new", file, "--ied", ied, "--out", project});
            QStandardItemModel model;
            if (!parser.parse(ied, &model)) {
                // An IED without logical nodes makes no project.
                QCOMPARE(created.exitCode, 1);
                QVERIFY(!QFileInfo::exists(project));
                continue;
            }
            QVERIFY2(created.exitCode == 0, qPrintable(file + ' ' + ied + ' ' + created.err));
            const Run dumped = runCli({"dump", project});
            QVERIFY2(dumped.exitCode == 0, qPrintable(file + ' ' + ied + ' ' + dumped.err));
            QVERIFY(dumped.out.contains("\n  " + ied + '\n'));
            const QString book = project + ".xlsx";
            QCOMPARE(runCli({"export", project, "--out", book}).exitCode, 0);
            QCOMPARE(runCli({"dump", book}).exitCode, 0);
        }
    }
    QVERIFY(projects > 10);
}

void CommandLineTest::serveAndBrowseTogether()
{
    QProcess serve;
    serve.start(QStringLiteral(STATIONSCOPE_CLI),
                {"serve", example("substation.scd"), "--ied", "BAY2_MEAS", "--port", "0", "--bind",
                 "127.0.0.1"});
    QVERIFY(serve.waitForReadyRead(EventTimeoutMs));
    const QString banner = QString::fromUtf8(serve.readLine());
    const QRegularExpressionMatch match =
        QRegularExpression("^Serving BAY2_MEAS of .*substation.scd on 127.0.0.1 port (\\d+); ")
            .match(banner);
    QVERIFY2(match.hasMatch(), qPrintable(banner));
    const QString address = "127.0.0.1:" + match.captured(1);

    const Run browse = runCli({"browse", address});
    QCOMPARE(browse.exitCode, 0);
    QVERIFY2(browse.out.startsWith("Please Wait ...\nGet logical device list...\nBAY2_MEASMEAS/"),
             qPrintable(browse.out.left(300)));
    QVERIFY(browse.out.contains("\nTree\n  BAY2_MEASMEAS\n    BAY2_MEASMEAS/LLN0\n"));
    QVERIFY(browse.out.contains("   RP: BAY2_MEASMEAS/LLN0$RP$urcbMeas01 -> DS: "));

    QTRY_VERIFY_WITH_TIMEOUT(serve.bytesAvailable() > 0 || serve.waitForReadyRead(100),
                             EventTimeoutMs);
    const QString associations = QString::fromUtf8(serve.readAll());
    QVERIFY2(associations.contains(" association from 127.0.0.1:"), qPrintable(associations));
    serve.terminate();
    QVERIFY(serve.waitForFinished(EventTimeoutMs));
    QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
    QCOMPARE(serve.exitCode(), 0);
    QVERIFY(QString::fromUtf8(serve.readAll()).contains("Stopped"));
}

void CommandLineTest::onlineRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("named");
    QTest::newRow("browse: nobody listening")
        << QStringList{"browse", "127.0.0.1:1"} << 1 << QString("127.0.0.1");
    QTest::newRow("browse: no port") << QStringList{"browse", "127.0.0.1:x"} << 2 << QString("x");
    QTest::newRow("browse: address too long")
        << QStringList{"browse", QString(200, 'a')} << 1 << QString("127");
    QTest::newRow("serve: missing file")
        << QStringList{"serve", "absent.scd"} << 1 << QString("absent.scd");
    QTest::newRow("serve: unknown IED")
        << QStringList{"serve", "EXAMPLE", "--ied", "NOPE"} << 1 << QString("NOPE");
    QTest::newRow("read: nobody listening")
        << QStringList{"read", "127.0.0.1:1", "LD/LLN0.Mod[ST]"} << 1 << QString("127.0.0.1");
    QTest::newRow("watch: no control block")
        << QStringList{"watch", "127.0.0.1:1", "LD/LLN0.XX.rcb"} << 2 << QString("LD/LLN0.XX.rcb");
    QTest::newRow("watch: no reference")
        << QStringList{"watch", "127.0.0.1:1"} << 2 << QString("RCB");
    QTest::newRow("serve: bad port")
        << QStringList{"serve", "EXAMPLE", "--port", "70000"} << 2 << QString("--port");
}

void CommandLineTest::onlineRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, named);
    arguments.replaceInStrings("EXAMPLE", example("substation.scd"));
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
}

void CommandLineTest::readAndWatchTheSimulator()
{
    QProcess serve;
    serve.start(QStringLiteral(STATIONSCOPE_CLI),
                {"serve", example("substation.scd"), "--ied", "BAY2_MEAS", "--port", "0", "--bind",
                 "127.0.0.1"});
    QVERIFY(serve.waitForReadyRead(EventTimeoutMs));
    const QString address =
        "127.0.0.1:" + QString::fromUtf8(serve.readLine()).section(" port ", 1).section(';', 0, 0);
    const QString rcb = QStringLiteral("BAY2_MEASMEAS/LLN0$RP$urcbMeas01");

    const Run read =
        runCli({"read", address, "BAY2_MEASMEAS/LLN0.Mod[ST]", "BAY2_MEASMEAS/MMXU1.TotW.mag.f[MX]",
                "BAY2_MEASMEAS/LLN0.Health.stVal[ST]"});
    QCOMPARE(read.exitCode, 0);
    // An enumeration's name after its number, where scripts read no further.
    QVERIFY2(
        read.out.startsWith("BAY2_MEASMEAS/LLN0.Mod[ST]: structure\n  stVal: integer 1 (on)\n"),
        qPrintable(read.out));
    QVERIFY(read.out.contains("\nBAY2_MEASMEAS/LLN0.Health.stVal[ST]: integer 1 (Ok)\n"));
    QVERIFY(read.out.contains("\n  q: quality good\n  t: utc-time "));
    QVERIFY(read.out.contains("\nBAY2_MEASMEAS/MMXU1.TotW.mag.f[MX]: float "));

    // Stopped with Ctrl+C while a second client is refused the same block.
    QProcess watch;
    watch.start(QStringLiteral(STATIONSCOPE_CLI),
                {"watch", address, "BAY2_MEASMEAS/LLN0.RP.urcbMeas01", "--gi", "--intgpd", "300"});
    QString watched;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (watched += QString::fromUtf8(watch.readAll())).contains("Enabled " + rcb),
        qPrintable(watched + watch.readAllStandardError()), EventTimeoutMs);
    // The refused block is named; the other one asked for is watched all the same.
    const QString free = QStringLiteral("BAY2_MEASMEAS/LLN0$RP$urcbMeas02");
    const Run refused = runCli({"watch", address, rcb, free, "--seconds", "1"});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(firstLineNames(refused, rcb), qPrintable(refused.err));
    QVERIFY2(refused.out.contains("Enabled " + free) && refused.out.contains("Disabled " + free),
             qPrintable(refused.out));
    QTRY_VERIFY_WITH_TIMEOUT((watched += QString::fromUtf8(watch.readAll())).contains("integrity"),
                             EventTimeoutMs);
    QVERIFY(watch.processId() > 0);
    ::kill(pid_t(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(EventTimeoutMs));
    QCOMPARE(watch.exitCode(), 0);
    QVERIFY(QString::fromUtf8(watch.readAll()).contains("Disabled " + rcb + '\n'));

    // A project's pick with its settings, bound to a signal of the RTU.
    const QString project = dir->filePath("live.sclpro");
    QCOMPARE(
        runCli({"new", example("substation.scd"), "--ied", "BAY2_MEAS", "--out", project}).exitCode,
        0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "picks");
        db.setDatabaseName(project);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("INSERT INTO iec61850_reports VALUES (NULL, 1, 0, 6, "
                           "'BAY2_MEASMEAS/LLN0.RP.urcbMeas', 'BAY2_MEASMEAS/LLN0.Measurands', 25, "
                           "1, 3, 0, 1, 500, 50, 159, '-', '-', '-', '-', '-')"));
        QVERIFY(query.exec("INSERT INTO iec61850_datasets_and_objects VALUES (NULL, 1, 0, 5, -1, "
                           "0, '0', 'BAY2_MEASMEAS/LLN0.Measurands', '-', '-', '-', '-', '-', 0, "
                           "'-')"));
        QVERIFY(query.exec("INSERT INTO iec61850_datasets_and_objects VALUES (NULL, 2, 0, 8, 1, 1, "
                           "'0', 'BAY2_MEASMEAS/MMXU1.TotW.mag.f[MX]', '-', '-', '-', '-', "
                           "'AI_TOTW', 7, '-')"));
        db.close();
    }
    QSqlDatabase::removeDatabase("picks");
    const Run picked = runCli({"watch", project, "--host", address, "--seconds", "1"});
    QCOMPARE(picked.exitCode, 0);
    QVERIFY2(picked.out.contains("\n  [0] BAY2_MEASMEAS/MMXU1.TotW.mag.f[MX] = ") &&
                 picked.out.contains("  q=-  t=-  reason=GI  -> AI_TOTW\n"),
             qPrintable(picked.out));
    QVERIFY(picked.out.contains("Disabled " + rcb + '\n'));
    serve.terminate();
    QVERIFY(serve.waitForFinished(EventTimeoutMs));
}

void CommandLineTest::commissionTheSimulator_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("heldBlock"); // enabled by another client first
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<int>("recordRows"); // in the project afterwards
    const QStringList session{"commission", "PROJECT", "--host", "ADDRESS", "--seconds", "2"};
    QTest::newRow("every row seen")
        << session + QStringList{"--out", "BOOK", "--tester", "T. Ester"} << QString() << QString()
        << 0 << "Never seen: 0\n"
        << 5;
    QTest::newRow("an object the device lacks")
        << session
        << "UPDATE iec61850_data_objects SET attr_reference = 'BAY1_PROTCTRL/XCBR9.Pos' "
           "WHERE attr_reference = 'BAY1_PROTCTRL/XCBR1.Pos' AND function = 'ST'"
        << QString() << 1 << "Never seen: 1\n"
        << 4;
    QTest::newRow("nobody listening")
        << QStringList{"commission", "PROJECT", "--host", "127.0.0.1:1",
                       "--seconds",  "1",       "--out",  "BOOK"}
        << QString() << QString() << 1 << "127.0.0.1 port 1\nNot connected: nothing observed ("
        << 0;
    QTest::newRow("a block in use by another client")
        << session + QStringList{"--out", "BOOK"} << QString() << "BAY1_PROTCTRL/LLN0$RP$urcbMeas01"
        << 1 << "Refused: BAY1_PROTCTRL/LLN0$RP$urcbMeas01: in use by another client\n"
        << 5;
    QTest::newRow("the workbook exists") << session + QStringList{"--out", "PROJECT"} << QString()
                                         << QString() << 1 << "--force" << 0;
}

void CommandLineTest::commissionTheSimulator()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, sql);
    QFETCH(QString, heldBlock);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QFETCH(int, recordRows);
    const QString project = newBay1Project();
    QVERIFY(!project.isEmpty());
    QCOMPARE(runCli({"pick", project, "--all"}).exitCode, 0);
    const QString rules = dir->filePath("rules.csv");
    QFile file(rules);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BAY1_PROTCTRL/XCBR1.Pos [ST];Status Signal;BAY1_CB_POS\n"
               "BAY1_PROTMEAS/MMXU1.TotW [MX];Status Signal;BAY1_P_TOT\n"
               "BAY1_PROTCTRL/XCBR1.Pos [CO];Write Trig Signal;BAY1_CB_OPEN_CMD\n"
               "BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST];Result Signal;BAY1_ALM_GAS_LOW\n"
               "BAY1_PROTMEAS/MMXU1.PhV.phsA.cVal.mag.f[MX];Result Signal;BAY1_UA_MAG\n");
    file.close();
    QCOMPARE(runCli({"bind", project, rules}).exitCode, 0);
    if (!sql.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
            db.setDatabaseName(project);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql) && query.numRowsAffected() == 1,
                     qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase("setup");
    }

    QProcess serve;
    serve.start(QStringLiteral(STATIONSCOPE_CLI),
                {"serve", example("substation.scd"), "--ied", "BAY1_PROT", "--port", "0", "--bind",
                 "127.0.0.1", "--simulate", "--step", "200"});
    QVERIFY(serve.waitForReadyRead(EventTimeoutMs));
    const QString address =
        "127.0.0.1:" + QString::fromUtf8(serve.readLine()).section(" port ", 1).section(',', 0, 0);
    IedConnection other;
    if (!heldBlock.isEmpty()) {
        QCOMPARE(other.connect("127.0.0.1", quint16(address.section(':', 1).toInt())),
                 IedClientError::Ok);
        ClientReportControlBlock block = other.getRCBValues(heldBlock);
        block.setRptEna(true);
        QCOMPARE(other.setRCBValues(block, ClientReportControlBlock::ElementRptEna, true),
                 IedClientError::Ok);
    }
    const QString book = dir->filePath("record.xlsx");
    arguments.replaceInStrings("PROJECT", project);
    arguments.replaceInStrings("ADDRESS", address);
    arguments.replaceInStrings("BOOK", book);
    const Run run = runCli(arguments);
    serve.terminate();
    QVERIFY(serve.waitForFinished(EventTimeoutMs));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2((run.out + run.err).contains(printed), qPrintable(run.out + run.err));
    if (exitCode != 0)
        QVERIFY2(run.err.count('\n') == 1, qPrintable(run.err));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "record");
        db.setDatabaseName(project);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT COUNT(*) FROM " + DbSchema::CommissioningName) && query.next());
        QCOMPARE(query.value(0).toInt(), recordRows);
    }
    QSqlDatabase::removeDatabase("record");
    // A hand-over of what was observed; none of a session that observed nothing.
    QCOMPARE(QFile::exists(book), arguments.contains(book) && recordRows > 0);
    if (QFile::exists(book)) {
        WorkbookReader reader;
        QVERIFY(reader.open(book));
        QCOMPARE(reader.sheetNames(), QStringList({"Cover", "Record", "Summary"}));
        QVERIFY(reader.selectSheet("Cover"));
        int testerRow = 0;
        for (int row = 1; row <= reader.lastRow() && testerRow == 0; ++row) {
            if (reader.read(row, 1).toString() == QLatin1String("Tester"))
                testerRow = row;
        }
        if (arguments.contains("T. Ester"))
            QCOMPARE(reader.read(testerRow, 2).toString(), QStringLiteral("T. Ester"));
        // The PDF of the same record beside it.
        QVERIFY(QFile::exists(QFileInfo(book).path() + '/' + QFileInfo(book).completeBaseName() +
                              ".pdf"));
        QVERIFY(reader.selectSheet("Summary"));
        QString summary;
        for (int row = 1; row <= reader.lastRow(); ++row)
            summary +=
                reader.read(row, 1).toString() + ": " + reader.read(row, 2).toString() + '\n';
        QVERIFY2(summary.contains("Blocks refused: " +
                                  (heldBlock.isEmpty() ? QString("none")
                                                       : heldBlock + ": in use by another client")),
                 qPrintable(summary));
    }
}

void CommandLineTest::watchSharedRptIdAndBufferHistory()
{
    // The example with its buffered and unbuffered status blocks sharing one RptID.
    QFile original(example("substation.scd"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QString scl = dir->filePath("shared.scd");
    QFile shared(scl);
    QVERIFY(shared.open(QIODevice::WriteOnly));
    shared.write(
        original.readAll().replace("rptID=\"BAY1_PROT_StatusU\"", "rptID=\"BAY1_PROT_Status\""));
    shared.close();
    QProcess serve;
    serve.start(QStringLiteral(STATIONSCOPE_CLI),
                {"serve", scl, "--ied", "BAY1_PROT", "--port", "0", "--bind", "127.0.0.1",
                 "--simulate", "--step", "20"});
    QVERIFY(serve.waitForReadyRead(30000));
    const QString address =
        "127.0.0.1:" + QString::fromUtf8(serve.readLine()).section(" port ", 1).section(',', 0, 0);
    const QString brcb = QStringLiteral("BAY1_PROTCTRL/LLN0$BR$brcbStatus01");
    const QString urcb = QStringLiteral("BAY1_PROTCTRL/LLN0$RP$urcbStatus");
    const QStringList watch{"watch", address, "--seconds", "1", "--trgops", "dchg"};
    const QString withEntryId = QStringLiteral("seqNum,timeStamp,entryID");

    // EntryID tells the buffered block's reports from the other's.
    const Run both = runCli(watch + QStringList{brcb, urcb, "--optflds", withEntryId});
    QCOMPARE(both.exitCode, 0);
    const QRegularExpression urcbLine(" " + QRegularExpression::escape(urcb) + " RptID=[^\n]*");
    const QString firstUrcb = urcbLine.match(both.out).captured();
    QVERIFY2(!firstUrcb.isEmpty() && !firstUrcb.contains("EntryID") &&
                 both.out.contains(" " + brcb + " RptID=BAY1_PROT_Status SeqNum="),
             qPrintable(both.out));
    // Without it nothing does once both are enabled: said once, never shown
    // under the unbuffered block (before that is enabled, its reports can
    // only be the buffered block's).
    const Run blind = runCli(watch + QStringList{brcb, urcb, "--optflds", "seqNum,timeStamp"});
    QCOMPARE(blind.exitCode, 0);
    QCOMPARE(blind.out.count("Note: reports with RptID BAY1_PROT_Status fit " + brcb + ", " + urcb +
                             " alike"),
             1);
    QVERIFY2(!blind.out.contains(" " + urcb + " RptID="), qPrintable(blind.out));

    // What the buffered block kept meanwhile comes first, marked; a resume
    // starts after the entry named, a purge drops the lot.
    const Run history = runCli(watch + QStringList{brcb, "--optflds", withEntryId});
    QCOMPARE(history.exitCode, 0);
    const QRegularExpression oldEntry("EntryID=([0-9a-f]+) from-buffer");
    const QString resumeFrom = oldEntry.match(history.out).captured(1);
    QVERIFY2(!resumeFrom.isEmpty() && history.out.contains(" from the buffer)"),
             qPrintable(history.out));
    const Run resumed =
        runCli(watch + QStringList{brcb, "--optflds", withEntryId, "--resume", resumeFrom});
    QCOMPARE(resumed.exitCode, 0);
    QVERIFY2(resumed.out.contains(" from-buffer") && !resumed.out.contains("EntryID=" + resumeFrom),
             qPrintable(resumed.out));
    const Run purged = runCli(watch + QStringList{brcb, "--optflds", withEntryId, "--purge"});
    QCOMPARE(purged.exitCode, 0);
    QVERIFY2(purged.out.contains(" EntryID=") && !purged.out.contains("from-buffer"),
             qPrintable(purged.out));
    serve.terminate();
    QVERIFY(serve.waitForFinished(10000));
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
