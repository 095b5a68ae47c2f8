// The File menu driven as the engineer drives it: real project and CSV files
// in a temporary folder, the prompt seam answering dialogs and questions.
#include "filekinds.h"
#include "mainwindow.h"
#include "sclmodel.h"
#include "scriptedprompt.h"
#include "temporarysettings.h"
#include "testpaths.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

class ProjectLifecycleTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainRoadSurvivesSaveCloseAndReopen();
    void newProjectNeverOverwritesAFile();
    void newProjectGivenUpKeepsTheOpenOne_data();
    void newProjectGivenUpKeepsTheOpenOne();
    void newProjectInAMissingFolderOpensNothing();
    void openingAMissingFileCreatesNothing();
    void declinedCloseKeepsTheProject();
    void recentListKeepsTenWithoutRepeats();
    void clearMenuEmptiesTheList();
    void unreadableSignalListChangesNothing();
    void exportNameCarriesIedAndTime();
    void workbookExportAndImportThroughTheMenus();
    void unreadableWorkbookOpensNothing();
    void unsavedChangesAreAskedFor();
    void fileThatIsNoProjectKeepsTheOpenOne_data();
    void fileThatIsNoProjectKeepsTheOpenOne();
    void refusedConnectionValueIsNotWritten();
    void fileDialogsListTheirKindsBesideTheProject_data();
    void fileDialogsListTheirKindsBesideTheProject();
    void damagedProjectIsRefusedWithTheReason();
    void failedConnectionWriteIsShown();

private:
    template <typename T> T *child(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    QStandardItemModel *modelOf(const QString &view) const;
    // Creates a project named name from the example station through the menu.
    void createProject(const QString &name, const QString &folder);
    static QStandardItem *find(QStandardItem *parent, const QString &text);
    void pick(const QStringList &path);

    // The title as the window shows it, with Qt's modified marker resolved.
    QString shownTitle() const
    {
        return window->windowTitle().replace(QLatin1String("[*]"),
                                             window->isWindowModified() ? "*" : "");
    }

    TemporarySettings settings;
    QTemporaryDir dir;
    MainWindow *window = nullptr;
    ScriptedPrompt *prompt = nullptr;
};

void ProjectLifecycleTest::initTestCase()
{
    QVERIFY(dir.isValid());
}

void ProjectLifecycleTest::init()
{
    QSettings().clear();
    prompt = new ScriptedPrompt;
    window = new MainWindow;
    window->show();
}

void ProjectLifecycleTest::cleanup()
{
    delete window;
    delete prompt;
}

QStandardItemModel *ProjectLifecycleTest::modelOf(const QString &view) const
{
    return qobject_cast<QStandardItemModel *>(child<QTreeView>(view)->model());
}

void ProjectLifecycleTest::createProject(const QString &name, const QString &folder)
{
    QSettings().setValue("lastProjectPath", folder);
    prompt->fileAnswers << sourceFile("examples/substation.scd");
    prompt->dialogHandler = [name](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEdit_projectName")->setText(name);
        dialog->findChild<QPushButton *>("pushButton_createPro")->click();
        dialog->grab().save(QDir::current().filePath("mainroad-0-newproject.png"));
        // "Close" is on the page shown after a successful parse.
        if (dialog->findChild<QStackedWidget *>("stackedWidget_buttons")->currentIndex() == 1)
            dialog->findChild<QPushButton *>("pushButton")->click();
        return dialog->result();
    };
    child<QAction>("actionNew_Project")->trigger();
    prompt->dialogHandler = nullptr;
}

QStandardItem *ProjectLifecycleTest::find(QStandardItem *parent, const QString &text)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        if (parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

void ProjectLifecycleTest::pick(const QStringList &path)
{
    QStandardItemModel *scl = modelOf("treeView_CID");
    QStandardItem *node = scl->item(0);
    for (const QString &text : path)
        node = find(node, text);
    QVERIFY2(node, qPrintable(path.join('/')));
    QTreeView *cid = child<QTreeView>("treeView_CID");
    emit cid->doubleClicked(node->index());
}

void ProjectLifecycleTest::mainRoadSurvivesSaveCloseAndReopen()
{
    createProject("plant", dir.path());
    const QString file = dir.filePath("plant.sclpro");
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(shownTitle(), QStringLiteral("plant.sclpro - Tessarin Stationscope v3.52"));
    QCOMPARE(
        prompt->fileRequests.first().filter,
        QStringLiteral("IEC61850 Conf files (*.scd *.cid *.icd *.iid *.sed *.ssd *.scl *.xml);;"
                       "All files (*)"));
    QVERIFY(child<QAction>("actionSave_Project")->isEnabled());
    QCOMPARE(child<QLabel>("label_cidName")->text(), QStringLiteral("BAY1_PROT (id:0)"));
    window->grab().save(QDir::current().filePath("mainroad-1-created.png"));

    prompt->fileAnswers << sourceFile("examples/signals.csv");
    child<QPushButton>("pushButton_ImportPLC")->click();
    QStandardItemModel *signalList = modelOf("treeView_signals");
    QCOMPARE(signalList->rowCount(), 23);
    QCOMPARE(signalList->item(0, 2)->text(), QStringLiteral("NoRef"));

    pick({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    pick({"DataSets", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.StatusDS"});
    pick({"Reports", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.RP.urcbMeas"});
    QStandardItemModel *objects = modelOf("treeView_SelectedDataObjects");
    QStandardItemModel *datasets = modelOf("treeView_SelectedDatasets");
    QStandardItemModel *reports = modelOf("treeView_SelectedReports");
    QCOMPARE(objects->rowCount(), 1);
    QCOMPARE(datasets->rowCount(), 1);
    QCOMPARE(reports->rowCount(), 1);

    // A binding made through the tag selector, as a double-click does.
    prompt->dialogHandler = [](QDialog *dialog) {
        auto *list = dialog->findChild<QListView *>("listView_tagList");
        QMetaObject::invokeMethod(dialog, "itemDoubleClicked",
                                  Q_ARG(QModelIndex, list->model()->index(1, 0)));
        return dialog->result();
    };
    QTreeView *objectsView = child<QTreeView>("treeView_SelectedDataObjects");
    emit objectsView->doubleClicked(objects->index(0, 5));
    prompt->dialogHandler = nullptr;
    QCOMPARE(objects->item(0, 5)->text(), QStringLiteral("BAY1_CB_POS"));
    datasets->item(0, 1)->setText("BAY1_IED_OK");
    reports->item(0, 10)->setText("BAY1_CB_SEL");

    QStandardItem *port = modelOf("treeView_CID")->item(0)->child(0)->child(3, 1);
    QCOMPARE(port->text(), QStringLiteral("102"));
    port->setText("10102");

    window->grab().save(QDir::current().filePath("mainroad-2-picked.png"));
    QCOMPARE(shownTitle(), QStringLiteral("plant.sclpro* - Tessarin Stationscope v3.52"));
    child<QAction>("actionSave_Project")->trigger();
    QCOMPARE(shownTitle(), QStringLiteral("plant.sclpro - Tessarin Stationscope v3.52"));
    QVERIFY2(window->statusBar()->currentMessage().startsWith("Saved 3 picks ("),
             qPrintable(window->statusBar()->currentMessage()));
    QVERIFY(window->statusBar()->currentMessage().endsWith(" rows) to plant.sclpro."));
    child<QAction>("actionClose_Project")->trigger();
    QCOMPARE(shownTitle(), QStringLiteral("Tessarin Stationscope v3.52"));
    QCOMPARE(objects->rowCount(), 0);
    QCOMPARE(modelOf("treeView_CID")->rowCount(), 0);
    QCOMPARE(child<QLabel>("label_cidName")->text(), QStringLiteral("No CID selected"));
    QCOMPARE(signalList->rowCount(), 0);
    QVERIFY(!child<QAction>("actionSave_Project")->isEnabled());
    // Nothing of the closed project stays on screen.
    QCOMPARE(child<QPlainTextEdit>("plainTextEdit_2")->toPlainText(), QString());
    QCOMPARE(child<QLineEdit>("lineEdit_Labels")->text(), QString());
    for (const char *table :
         {"tableView_liveReports", "tableView_boundSignals", "tableView_commissioning"})
        QCOMPARE(child<QTableView>(table)->model()->rowCount(), 0);

    QMenu *recent = child<QMenu>("menuRecent_Projects");
    QCOMPARE(recent->actions().first()->text(), file);
    recent->actions().first()->trigger();

    QCOMPARE(shownTitle(), QStringLiteral("plant.sclpro - Tessarin Stationscope v3.52"));
    QVERIFY(child<QLabel>("label_cidName")->text().startsWith("BAY1_PROT (id:"));
    QCOMPARE(objects->rowCount(), 1);
    QCOMPARE(objects->item(0, 0)->text(), QStringLiteral("BAY1_PROTCTRL/XCBR1.Pos"));
    QCOMPARE(objects->item(0, 5)->text(), QStringLiteral("BAY1_CB_POS"));
    QCOMPARE(datasets->rowCount(), 1);
    QCOMPARE(datasets->item(0, 1)->text(), QStringLiteral("BAY1_IED_OK"));
    QCOMPARE(reports->rowCount(), 1);
    QCOMPARE(reports->item(0, 10)->text(), QStringLiteral("BAY1_CB_SEL"));
    QCOMPARE(modelOf("treeView_CID")->item(0)->child(0)->child(3, 1)->text(),
             QStringLiteral("10102"));
    QCOMPARE(signalList->rowCount(), 23);
    QVERIFY(prompt->messages.isEmpty());
    child<QTreeView>("treeView_SelectedDataObjects")->expandAll();
    window->grab().save(QDir::current().filePath("mainroad-3-reopened.png"));
}

void ProjectLifecycleTest::newProjectNeverOverwritesAFile()
{
    const QString file = dir.filePath("taken.sclpro");
    {
        QFile existing(file);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("somebody else's file");
    }
    createProject("taken", dir.path());
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(file)));
    QFile existing(file);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("somebody else's file"));
    QCOMPARE(shownTitle(), QStringLiteral("Tessarin Stationscope v3.52"));
    QVERIFY(!child<QAction>("actionSave_Project")->isEnabled());
}

void ProjectLifecycleTest::newProjectGivenUpKeepsTheOpenOne_data()
{
    QTest::addColumn<QString>("sclFile");
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<QString>("title");
    const QString example = sourceFile("examples/substation.scd");
    const QString kept = QStringLiteral("kept.sclpro* - Tessarin Stationscope v3.52");
    QTest::newRow("Esc before creating") << example << false << true << kept;
    QTest::newRow("Cancel after a failed parse")
        << sourceFile("tests/app/fixtures/noldevice.scd") << true << false << kept;
    QTest::newRow("Esc after \"Project Created\"")
        << example << true << true << QStringLiteral("next.sclpro - Tessarin Stationscope v3.52");
}

void ProjectLifecycleTest::newProjectGivenUpKeepsTheOpenOne()
{
    QFETCH(QString, sclFile);
    QFETCH(bool, create);
    QFETCH(bool, escape);
    QFETCH(QString, title);
    QTemporaryDir folder;
    createProject("kept", folder.path());
    pick({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    const QString keptIed = modelOf("treeView_CID")->item(0)->text();

    // Asked before the dialog; the open project is closed only for a created one.
    prompt->buttonAnswers << QMessageBox::Discard;
    prompt->fileAnswers << sclFile;
    QString shownPage;
    prompt->dialogHandler = [&](QDialog *dialog) {
        dialog->findChild<QComboBox *>("comboBox_IED")->setCurrentIndex(1);
        dialog->findChild<QLineEdit *>("lineEdit_projectName")->setText("next");
        if (create)
            dialog->findChild<QPushButton *>("pushButton_createPro")->click();
        auto *stack = dialog->findChild<QStackedWidget *>("stackedWidget_buttons");
        if (stack->currentIndex() == 1)
            shownPage = stack->currentWidget()->findChild<QLabel *>()->text();
        if (escape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->findChild<QPushButton *>("pushButton_cancel")->click();
        return dialog->result();
    };
    child<QAction>("actionNew_Project")->trigger();
    prompt->dialogHandler = nullptr;

    QCOMPARE(shownTitle(), title);
    QStandardItemModel *objects = modelOf("treeView_SelectedDataObjects");
    const bool created = title.startsWith("next");
    QCOMPARE(QFileInfo::exists(folder.filePath("next.sclpro")), created);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), created ? 2 : 1);
    QCOMPARE(shownPage, created ? QStringLiteral("Project Created") : QString());
    QCOMPARE(objects->rowCount(), created ? 0 : 1);
    QCOMPARE(modelOf("treeView_CID")->rowCount(), 1);
    QCOMPARE(modelOf("treeView_CID")->item(0)->text() == keptIed, !created);
    QCOMPARE(child<QAction>("actionSave_Project")->isEnabled(), true);
    if (!created) {
        prompt->buttonAnswers << QMessageBox::Discard;
        QVERIFY(window->close());
    }
}

void ProjectLifecycleTest::newProjectInAMissingFolderOpensNothing()
{
    const QString missing = dir.filePath("no/such/folder");
    createProject("plant", missing);
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().title, QStringLiteral("Stationscope"));
    QVERIFY(prompt->messages.first().text.startsWith("Cannot open/create project data table."));
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(!child<QAction>("actionSave_Project")->isEnabled());
    QVERIFY(QSettings().value("recentSclProFiles").toStringList().isEmpty());
}

void ProjectLifecycleTest::openingAMissingFileCreatesNothing()
{
    const QString stale = dir.filePath("deleted.sclpro");
    window->openRecent(stale, "SclPro");
    QCOMPARE(prompt->messages.size(), 1);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(stale)));
    QVERIFY(!QFileInfo::exists(stale));
    QCOMPARE(shownTitle(), QStringLiteral("Tessarin Stationscope v3.52"));
}

void ProjectLifecycleTest::declinedCloseKeepsTheProject()
{
    createProject("first", dir.path());
    prompt->buttonAnswers << QMessageBox::Ok;
    createProject("second", dir.path());
    QCOMPARE(shownTitle(), QStringLiteral("second.sclpro - Tessarin Stationscope v3.52"));

    prompt->buttonAnswers << QMessageBox::Cancel;
    window->openRecent(dir.filePath("first.sclpro"), "SclPro");
    QCOMPARE(prompt->messages.last().title, QStringLiteral("Close Project/File"));
    QCOMPARE(prompt->messages.last().text,
             QStringLiteral("This will close the current project/file."));
    QCOMPARE(shownTitle(), QStringLiteral("second.sclpro - Tessarin Stationscope v3.52"));

    prompt->buttonAnswers << QMessageBox::Ok;
    window->openRecent(dir.filePath("first.sclpro"), "SclPro");
    QCOMPARE(shownTitle(), QStringLiteral("first.sclpro - Tessarin Stationscope v3.52"));
}

void ProjectLifecycleTest::recentListKeepsTenWithoutRepeats()
{
    for (int n = 0; n < 12; ++n)
        window->addRecent(QStringLiteral("/p/%1.sclpro").arg(n), "SclPro");
    window->addRecent("/p/5.sclpro", "SclPro");
    const QStringList list = QSettings().value("recentSclProFiles").toStringList();
    QCOMPARE(list.size(), 10);
    QCOMPARE(list.first(), QStringLiteral("/p/5.sclpro"));
    QCOMPARE(list.count("/p/5.sclpro"), 1);
    QVERIFY(!list.contains("/p/0.sclpro"));
    QVERIFY(!list.contains("/p/1.sclpro"));
    QVERIFY(QSettings().value("recentXlsImportFiles").toStringList().isEmpty());
}

void ProjectLifecycleTest::clearMenuEmptiesTheList()
{
    window->addRecent("/p/a.sclpro", "SclPro");
    window->addRecent("/p/b.sclpro", "SclPro");
    QMenu *menu = child<QMenu>("menuRecent_Projects");
    window->buildRecentMenu(menu, "SclPro");
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    QCOMPARE(texts, QStringList({"/p/b.sclpro", "/p/a.sclpro", "|", "Clear Menu"}));

    menu->actions().last()->trigger();
    QVERIFY(menu->actions().isEmpty());
    QVERIFY(!QSettings().contains("recentSclProFiles"));
    window->addRecent("/p/c.sclpro", "SclPro");
    QCOMPARE(QSettings().value("recentSclProFiles").toStringList(), QStringList{"/p/c.sclpro"});
}

void ProjectLifecycleTest::unreadableSignalListChangesNothing()
{
    prompt->fileAnswers << sourceFile("examples/signals.csv");
    child<QPushButton>("pushButton_ImportPLC")->click();
    QStandardItemModel *signalList = modelOf("treeView_signals");
    QCOMPARE(signalList->rowCount(), 23);

    const QString missing = dir.filePath("missing.csv");
    prompt->fileAnswers << missing;
    child<QPushButton>("pushButton_ImportPLC")->click();
    QCOMPARE(prompt->messages.size(), 1);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(missing)));
    QCOMPARE(signalList->rowCount(), 23);
}

void ProjectLifecycleTest::exportNameCarriesIedAndTime()
{
    QCOMPARE(MainWindow::proposedExportName("IED1", QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))),
             QStringLiteral("Kel61850Export-IED1-20240305_140709.xlsx"));
}

void ProjectLifecycleTest::workbookExportAndImportThroughTheMenus()
{
    createProject("book", dir.path());
    pick({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    pick({"Reports", "BAY1_PROT", "CTRL", "LLN0", "BAY1_PROTCTRL/LLN0.RP.urcbMeas"});
    QStandardItemModel *objects = modelOf("treeView_SelectedDataObjects");
    QStandardItemModel *reports = modelOf("treeView_SelectedReports");
    objects->item(0, 3)->setText("READ_TRIGGER");
    // Only bound attributes travel; an object left without any is pruned.
    QStandardItem *pos = objects->item(0);
    int stVal = 0;
    while (stVal < pos->rowCount() && !pos->child(stVal)->text().startsWith("stVal"))
        ++stVal;
    QVERIFY(stVal < pos->rowCount());
    QCOMPARE(pos->child(stVal)->data(KindRole).toInt(), int(DataAttributeKind));
    pos->child(stVal, 7)->setText("POS_VALUE");

    QTemporaryDir exports;
    QSettings().setValue("lastExportPath", exports.path());
    const QString workbook = exports.filePath("review.xlsx");
    prompt->fileAnswers << workbook;
    child<QAction>("actionExport_to_excell")->trigger();
    QVERIFY(QFileInfo::exists(workbook));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Exported 2 picks to review.xlsx."));
    const FileRequest request = prompt->fileRequests.last();
    QCOMPARE(request.caption, QStringLiteral("Save File"));
    QVERIFY2(request.directory.startsWith(exports.path() + "/Kel61850Export-BAY1_PROT-"),
             qPrintable(request.directory));
    QVERIFY(request.directory.endsWith(".xlsx"));

    // The import closes the project first, after asking about its changes.
    prompt->buttonAnswers << QMessageBox::Discard;
    prompt->fileAnswers << workbook;
    child<QAction>("actionImport_from_excell")->trigger();
    QCOMPARE(prompt->fileRequests.last().caption, QStringLiteral("Open IEC61850 Import Data"));
    QCOMPARE(shownTitle(), QStringLiteral("review.xlsx - Tessarin Stationscope v3.52"));
    QVERIFY(!child<QAction>("actionSave_Project")->isEnabled());
    QCOMPARE(prompt->messages.last().text, QStringLiteral("Save changes to book.sclpro?"));
    QVERIFY(child<QAction>("actionExport_to_excell")->isEnabled());
    QCOMPARE(objects->rowCount(), 1);
    QCOMPARE(objects->item(0, 3)->text(), QStringLiteral("READ_TRIGGER"));
    QCOMPARE(objects->item(0)->rowCount(), 1);
    QCOMPARE(objects->item(0)->child(0, 7)->text(), QStringLiteral("POS_VALUE"));
    QCOMPARE(reports->rowCount(), 1);
    // The report's data set is not among the imported ones.
    QCOMPARE(reports->item(0, 1)->toolTip(),
             QStringLiteral("This dataset does not exist in model !"));
    QStandardItemModel *cid = modelOf("treeView_CID");
    QCOMPARE(cid->rowCount(), 1);
    QCOMPARE(cid->item(0)->rowCount(), 1);
    QCOMPARE(cid->item(0)->child(0)->rowCount(), 16);
    QCOMPARE(child<QMenu>("menuRecent_Excell_imports")->actions().first()->text(), workbook);
    QCOMPARE(QSettings().value("lastExportPath").toString(), exports.path());

    // The imported selections export again.
    const QString again = exports.filePath("again.xlsx");
    prompt->fileAnswers << again;
    child<QAction>("actionExport_to_excell")->trigger();
    QVERIFY(QFileInfo::exists(again));
    QVERIFY(prompt->messages.size() == 1); // the close question only

    // An imported workbook cannot be saved as a project: its changes are only dropped.
    objects->item(0, 3)->setText("OTHER_TRIGGER");
    prompt->buttonAnswers << QMessageBox::Cancel;
    child<QAction>("actionClose_Project")->trigger();
    QCOMPARE(prompt->messages.last().buttons, QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(shownTitle(), QStringLiteral("review.xlsx* - Tessarin Stationscope v3.52"));
}

void ProjectLifecycleTest::unreadableWorkbookOpensNothing()
{
    createProject("kept", dir.path());
    const QString broken = dir.filePath("broken.xlsx");
    {
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a workbook");
    }
    prompt->fileAnswers << broken;
    child<QAction>("actionImport_from_excell")->trigger();
    // Refused before the open project is closed, so nothing asks about closing it.
    QCOMPARE(shownTitle(), QStringLiteral("kept.sclpro - Tessarin Stationscope v3.52"));
    QVERIFY(child<QAction>("actionSave_Project")->isEnabled());
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(broken)));
}

void ProjectLifecycleTest::unsavedChangesAreAskedFor()
{
    createProject("unsaved", dir.path());
    pick({"DataObjects", "BAY1_PROT", "CTRL", "XCBR1", "ST", "Pos"});
    QCOMPARE(shownTitle(), QStringLiteral("unsaved.sclpro* - Tessarin Stationscope v3.52"));

    prompt->buttonAnswers << QMessageBox::Cancel;
    QVERIFY(!window->close());
    QCOMPARE(prompt->messages.last().text, QStringLiteral("Save changes to unsaved.sclpro?"));
    QCOMPARE(prompt->messages.last().buttons,
             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);

    prompt->buttonAnswers << QMessageBox::Save;
    child<QAction>("actionClose_Project")->trigger();
    window->openRecent(dir.filePath("unsaved.sclpro"), "SclPro");
    QStandardItemModel *objects = modelOf("treeView_SelectedDataObjects");
    QCOMPARE(objects->rowCount(), 1);
    QCOMPARE(shownTitle(), QStringLiteral("unsaved.sclpro - Tessarin Stationscope v3.52"));

    // A deletion that is discarded leaves the saved pick in the file.
    objects->removeRow(0);
    prompt->buttonAnswers << QMessageBox::Discard;
    child<QAction>("actionClose_Project")->trigger();
    window->openRecent(dir.filePath("unsaved.sclpro"), "SclPro");
    QCOMPARE(objects->rowCount(), 1);
    QCOMPARE(prompt->messages.size(), 3);
    QVERIFY(window->close());
}

void ProjectLifecycleTest::fileThatIsNoProjectKeepsTheOpenOne_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text file") << QByteArray("just some notes\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("sqlite without project tables") << QByteArray("create table other(a);");
}

void ProjectLifecycleTest::fileThatIsNoProjectKeepsTheOpenOne()
{
    QFETCH(QByteArray, content);
    createProject(QTest::currentDataTag(), dir.path());
    const QString other = dir.filePath(QStringLiteral("other-%1.sclpro").arg(qHash(content)));
    if (content.startsWith("create")) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
        db.setDatabaseName(other);
        QVERIFY(db.open());
        QSqlQuery(db).exec(QString::fromLatin1(content));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("foreign");
    } else {
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    window->openRecent(other, "SclPro");
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(other)));
    QCOMPARE(
        shownTitle(),
        QStringLiteral("%1.sclpro - Tessarin Stationscope v3.52").arg(QTest::currentDataTag()));
    QVERIFY(child<QAction>("actionSave_Project")->isEnabled());
    QCOMPARE(modelOf("treeView_CID")->rowCount(), 1);
}

void ProjectLifecycleTest::refusedConnectionValueIsNotWritten()
{
    createProject("values", dir.path());
    QStandardItem *connection = modelOf("treeView_CID")->item(0)->child(0);
    connection->child(3, 1)->setText("70000x");
    QCOMPARE(prompt->messages.size(), 1);
    QVERIFY(prompt->messages.first().text.contains("\"70000x\""));
    QCOMPARE(connection->child(3, 1)->text(), QStringLiteral("102"));
    connection->child(13, 1)->setText("4");
    QCOMPARE(shownTitle(), QStringLiteral("values.sclpro - Tessarin Stationscope v3.52"));

    child<QAction>("actionClose_Project")->trigger();
    window->openRecent(dir.filePath("values.sclpro"), "SclPro");
    connection = modelOf("treeView_CID")->item(0)->child(0);
    QCOMPARE(connection->child(3, 1)->text(), QStringLiteral("102"));
    QCOMPARE(connection->child(13, 1)->text(), QStringLiteral("4"));
}

void ProjectLifecycleTest::damagedProjectIsRefusedWithTheReason()
{
    createProject("damaged", dir.path());
    child<QAction>("actionClose_Project")->trigger();
    const QString path = dir.filePath("damaged.sclpro");
    {
        // The tables are all there; the rows of one of them cannot be read.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT rootpage FROM sqlite_master WHERE "
                           "name='iec61850_datasets_and_objects_pro'"));
        QVERIFY(query.next());
        const int rootPage = query.value(0).toInt();
        QVERIFY(query.exec("PRAGMA page_size") && query.next());
        const int pageSize = query.value(0).toInt();
        query = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("damage");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(qint64(rootPage - 1) * pageSize));
        file.write(QByteArray(pageSize, '\xff'));
    }
    prompt->messages.clear();
    QSignalSpy loaded(window, SIGNAL(projectLoaded()));
    window->openRecent(path, "SclPro");
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY2(prompt->messages.first().text.contains("malformed"),
             qPrintable(prompt->messages.first().text));
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(path)));
    QCOMPARE(loaded.count(), 0);
    QCOMPARE(modelOf("treeView_CID")->rowCount(), 0);
    QVERIFY(!shownTitle().contains("damaged"));
}

void ProjectLifecycleTest::failedConnectionWriteIsShown()
{
    createProject("lost", dir.path());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "behind");
        db.setDatabaseName(dir.filePath("lost.sclpro"));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("DROP TABLE iec61850_connectionsv2"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("behind");
    }
    prompt->messages.clear();
    QStandardItem *connection = modelOf("treeView_CID")->item(0)->child(0);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^UPDATE"));
    connection->child(3, 1)->setText("2404");
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    const QString text = prompt->messages.first().text;
    QVERIFY2(text.contains("\"2404\" was not written") && text.contains("no such table"),
             qPrintable(text));
    QCOMPARE(window->statusBar()->currentMessage(), text);
}

QTEST_MAIN(ProjectLifecycleTest)
void ProjectLifecycleTest::fileDialogsListTheirKindsBesideTheProject_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("listed");
    const QStringList scl{"a.scd", "b.cid", "c.icd", "d.iid", "e.ssd", "f.sed", "g.scl", "h.xml"};
    QTest::newRow("open project") << "actionOpen_Project"
                                  << "Scl Project" << QStringList{"plant.sclpro"};
    QTest::newRow("new project") << "actionNew_Project"
                                 << "Select Config file for the project" << scl;
    QTest::newRow("check scl file") << "actionCheck_SCL_File"
                                    << "Check SCL File" << scl;
    QTest::newRow("check against file") << "actionCheckAgainstSclFile"
                                        << "Check against SCL file" << scl;
    QTest::newRow("import workbook") << "actionImport_from_excell"
                                     << "Open IEC61850 Import Data" << QStringList{"book.xlsx"};
    QTest::newRow("export workbook") << "actionExport_to_excell"
                                     << "Save File" << QStringList{"book.xlsx"};
    QTest::newRow("signal list") << "pushButton_ImportPLC"
                                 << "Scl" << QStringList{"signals.csv"};
    QTest::newRow("live reports") << "pushButton_saveReports"
                                  << "Save Reports" << QStringList{"reports.csv"};
    QTest::newRow("findings") << "dockWidget_findings"
                              << "Save list as CSV" << QStringList{"findings.csv"};
}

void ProjectLifecycleTest::fileDialogsListTheirKindsBesideTheProject()
{
    QFETCH(QString, trigger);
    QFETCH(QString, caption);
    QFETCH(QStringList, listed);
    QTemporaryDir projectFolder;
    createProject("plant", projectFolder.path());
    // Nothing remembered: the dialogs open where the project is.
    for (const char *key : {"lastConfigPath", "lastProjectPath", "lastExportPath", "lastSclPath"})
        QSettings().remove(key);
    prompt->buttonAnswers << QMessageBox::Ok;
    if (auto *action = window->findChild<QAction *>(trigger))
        action->trigger();
    else if (auto *button = window->findChild<QPushButton *>(trigger))
        button->click();
    else
        QVERIFY(QMetaObject::invokeMethod(child<QWidget>(trigger), "saveAsCsv"));

    QVERIFY(!prompt->fileRequests.isEmpty());
    const FileRequest request = prompt->fileRequests.last();
    QCOMPARE(request.caption, caption);
    QVERIFY2(request.directory.startsWith(projectFolder.path()), qPrintable(request.directory));
    const QStringList patterns = FileKinds::patterns(request.filter);
    for (const QString &file : listed)
        QVERIFY2(QDir::match(patterns, file), qPrintable(file + " in " + request.filter));
}

#include "tst_projectlifecycle.moc"
