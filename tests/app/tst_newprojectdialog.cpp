#include "eventwait.h"
#include "newprojectdialog.h"
#include "scriptedprompt.h"
#include "selecteditemsmodel.h"
#include "temporarysettings.h"
#include "testpaths.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QStandardItem *)

class NewProjectDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void form();
    void widgets_data();
    void widgets();
    void gridPositions_data();
    void gridPositions();
    void sizePolicies();
    void startFolder_data();
    void startFolder();
    void listsIedNamesInFileOrder();
    void missingFileRejects_data();
    void missingFileRejects();
    void missingFileDialogIsNeverShown();
    void createEnabledExactlyWhenNameNotEmpty_data();
    void createEnabledExactlyWhenNameNotEmpty();
    void states_data();
    void states();
    void successFillsModelWithoutNodeChanged_data();
    void successFillsModelWithoutNodeChanged();
    void successWritesTimedDebugLines();
    void existingProjectFileIsRefusedBeforeTheParse();
    void projectNameIsAsTyped_data();
    void projectNameIsAsTyped();
    void failedParseLeavesOnlyCancel_data();
    void failedParseLeavesOnlyCancel();
    void unreadableFileSaysWhy();
    void failedParseIgnoresLaterNameEdits();
    void folderButtonAsksForDirectory();
    void folderButtonStoresChoice_data();
    void folderButtonStoresChoice();
    void chosenFolderIsShownByNextDialog();
    void typedFolderIsTheProjectFolder();
    void endings_data();
    void endings();

private:
    enum Ending { CancelClicked, CloseClicked, WindowClosed };
    template <typename T> static T *child(QWidget *dialog, const QString &name)
    {
        T *found = dialog->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    // The controls the engineer can use: enabled, and on the page shown.
    static QStringList usable(NewProjectDialog *dialog);
    static QString exampleFile() { return sourceFile(QStringLiteral("examples/substation.scd")); }
    static QString bareIedFile()
    {
        return sourceFile(QStringLiteral("tests/app/fixtures/noldevice.scd"));
    }
    std::unique_ptr<NewProjectDialog> makeDialog(const QString &file);
    static void typeName(NewProjectDialog *dialog, const QString &name);
    static void chooseIed(NewProjectDialog *dialog, const QString &ied);
    static void clickCreate(NewProjectDialog *dialog);

    TemporarySettings settings;
    std::unique_ptr<ScriptedPrompt> prompt;
    std::unique_ptr<SelectedItemsModel> model;
    std::unique_ptr<QTemporaryDir> projectDir;
};

void NewProjectDialogTest::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tessarin"));
    QCoreApplication::setApplicationName(QStringLiteral("Stationscope"));
    qRegisterMetaType<QStandardItem *>();
}

void NewProjectDialogTest::init()
{
    QSettings().clear();
    // Creating writes the project: into a folder of each test's own.
    projectDir = std::make_unique<QTemporaryDir>();
    QSettings().setValue(QStringLiteral("lastProjectPath"), projectDir->path());
    prompt = std::make_unique<ScriptedPrompt>();
    model = std::make_unique<SelectedItemsModel>();
}

void NewProjectDialogTest::cleanup()
{
    model.reset();
    prompt.reset();
}

QStringList NewProjectDialogTest::usable(NewProjectDialog *dialog)
{
    const auto *stack = child<QStackedWidget>(dialog, QStringLiteral("stackedWidget_buttons"));
    QStringList names;
    for (const char *name :
         {"lineEdit_projectName", "lineEdit_folderPath", "toolButton_folderSelect",
          "pushButton_createPro", "pushButton_cancel", "pushButton"}) {
        auto *widget = child<QWidget>(dialog, QString::fromLatin1(name));
        bool shown = true;
        if (stack->isAncestorOf(widget))
            shown = stack->currentWidget()->isAncestorOf(widget);
        if (shown && widget->isEnabledTo(dialog))
            names << widget->objectName();
    }
    return names;
}

std::unique_ptr<NewProjectDialog> NewProjectDialogTest::makeDialog(const QString &file)
{
    return std::make_unique<NewProjectDialog>(file, model.get(), nullptr);
}

void NewProjectDialogTest::typeName(NewProjectDialog *dialog, const QString &name)
{
    auto *edit = child<QLineEdit>(dialog, QStringLiteral("lineEdit_projectName"));
    edit->clear();
    QTest::keyClicks(edit, name);
}

void NewProjectDialogTest::chooseIed(NewProjectDialog *dialog, const QString &ied)
{
    auto *combo = child<QComboBox>(dialog, QStringLiteral("comboBox_IED"));
    if (combo->findText(ied) < 0)
        combo->addItem(ied);
    combo->setCurrentIndex(combo->findText(ied));
}

void NewProjectDialogTest::clickCreate(NewProjectDialog *dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, QStringLiteral("pushButton_createPro")),
                      Qt::LeftButton);
}

void NewProjectDialogTest::form()
{
    auto dialog = makeDialog(exampleFile());
    QCOMPARE(dialog->objectName(), QStringLiteral("NewProjectDialog"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("New Project"));
    QCOMPARE(dialog->size(), QSize(540, 380));
    QCOMPARE(dialog->layout()->objectName(), QStringLiteral("gridLayout"));

    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    QVERIFY(grid);
    // Rows 2 and 3 hold nothing.
    for (int i = 0; i < grid->count(); ++i) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        QVERIFY(row + rowSpan <= 2 || row >= 4);
    }

    auto *groupBox = child<QGroupBox>(dialog.get(), QStringLiteral("groupBox_2"));
    QCOMPARE(groupBox->layout()->objectName(), QStringLiteral("horizontalLayout_3"));
    QVERIFY(qobject_cast<QHBoxLayout *>(groupBox->layout()));
    QCOMPARE(groupBox->layout()->indexOf(child<QWidget>(dialog.get(), "lineEdit_SclFile")), 0);
    QCOMPARE(groupBox->layout()->indexOf(child<QWidget>(dialog.get(), "comboBox_IED")), 1);

    auto *stack = child<QStackedWidget>(dialog.get(), QStringLiteral("stackedWidget_buttons"));
    QCOMPARE(stack->count(), 2);
    QCOMPARE(stack->widget(0)->objectName(), QStringLiteral("page_initial"));
    QCOMPARE(stack->widget(1)->objectName(), QStringLiteral("page_final"));
    QCOMPARE(stack->currentIndex(), 0);
    QCOMPARE(stack->widget(0)->layout()->objectName(), QStringLiteral("gridLayout_3"));
    QCOMPARE(stack->widget(1)->layout()->objectName(), QStringLiteral("gridLayout_4"));
    QCOMPARE(child<QWidget>(dialog.get(), "widget_loading")->layout()->objectName(),
             QStringLiteral("gridLayout_2"));

    auto *sclFile = child<QLineEdit>(dialog.get(), QStringLiteral("lineEdit_SclFile"));
    QVERIFY(!sclFile->isEnabled());
    QVERIFY(sclFile->isReadOnly());
    QCOMPARE(child<QComboBox>(dialog.get(), "comboBox_IED")->minimumWidth(), 80);
    QCOMPARE(child<QProgressBar>(dialog.get(), "progressBar")->value(), 0);
    QCOMPARE(child<QLineEdit>(dialog.get(), "lineEdit_projectName")->placeholderText(),
             QStringLiteral("Write the project name here..."));
    QVERIFY(child<QPlainTextEdit>(dialog.get(), "plainTextEdit_2")->toPlainText().isEmpty());
}

void NewProjectDialogTest::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");

    // A null text: the widget shows no text of its own.
    const auto row = [](const char *name, const char *className, const QString &text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className) << text;
    };
    row("label", "QLabel", QStringLiteral("Project Name: "));
    row("lineEdit_projectName", "QLineEdit", QStringLiteral(""));
    row("label_4", "QLabel", QStringLiteral("Create in folder:"));
    row("lineEdit_folderPath", "QLineEdit", QString());
    row("toolButton_folderSelect", "QToolButton", QStringLiteral("..."));
    row("groupBox_2", "QGroupBox", QStringLiteral("Select IED"));
    row("lineEdit_SclFile", "QLineEdit", QString());
    row("comboBox_IED", "QComboBox", QStringLiteral("BAY1_PROT"));
    row("widget_loading", "QWidget", QString());
    row("progressBar", "QProgressBar", QString());
    row("label_progress", "QLabel", QStringLiteral("Loading"));
    row("label_3", "QLabel", QStringLiteral("Info Screen"));
    row("plainTextEdit_2", "QPlainTextEdit", QStringLiteral(""));
    row("stackedWidget_buttons", "QStackedWidget", QString());
    row("page_initial", "QWidget", QString());
    row("pushButton_createPro", "QPushButton", QStringLiteral("Create Project"));
    row("pushButton_cancel", "QPushButton", QStringLiteral("Cancel"));
    row("page_final", "QWidget", QString());
    row("label_2", "QLabel", QStringLiteral("Project Created"));
    row("pushButton", "QPushButton", QStringLiteral("Close"));
}

void NewProjectDialogTest::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);

    auto dialog = makeDialog(exampleFile());
    auto *widget = child<QWidget>(dialog.get(), name);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    if (text.isNull())
        return;
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(edit->text(), text);
    else if (auto *box = qobject_cast<QGroupBox *>(widget))
        QCOMPARE(box->title(), text);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        QCOMPARE(combo->currentText(), text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget))
        QCOMPARE(plain->toPlainText(), text);
    else
        QFAIL("no text to compare");
}

void NewProjectDialogTest::gridPositions_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("columnSpan");

    const auto cell = [](const char *layout, const char *name, int row, int column, int span) {
        QTest::newRow(name) << QString::fromLatin1(layout) << QString::fromLatin1(name) << row
                            << column << span;
    };
    cell("gridLayout", "label", 0, 0, 1);
    cell("gridLayout", "lineEdit_projectName", 0, 1, 2);
    cell("gridLayout", "label_4", 1, 0, 1);
    cell("gridLayout", "lineEdit_folderPath", 1, 1, 1);
    cell("gridLayout", "toolButton_folderSelect", 1, 2, 1);
    cell("gridLayout", "groupBox_2", 4, 0, 3);
    cell("gridLayout", "widget_loading", 5, 0, 3);
    cell("gridLayout", "stackedWidget_buttons", 6, 0, 3);
    cell("gridLayout_2", "progressBar", 0, 0, 1);
    cell("gridLayout_2", "label_progress", 0, 1, 1);
    cell("gridLayout_2", "label_3", 1, 0, 2);
    cell("gridLayout_2", "plainTextEdit_2", 2, 0, 2);
    cell("gridLayout_3", "pushButton_createPro", 0, 0, 1);
    cell("gridLayout_3", "pushButton_cancel", 0, 1, 1);
    cell("gridLayout_4", "label_2", 0, 0, 1);
    cell("gridLayout_4", "pushButton", 0, 1, 1);
}

void NewProjectDialogTest::gridPositions()
{
    QFETCH(QString, layout);
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, columnSpan);

    auto dialog = makeDialog(exampleFile());
    auto *grid = dialog->findChild<QGridLayout *>(layout);
    QVERIFY(grid);
    const int index = grid->indexOf(child<QWidget>(dialog.get(), name));
    QVERIFY(index >= 0);
    int actualRow, actualColumn, rowSpan, actualColumnSpan;
    grid->getItemPosition(index, &actualRow, &actualColumn, &rowSpan, &actualColumnSpan);
    QCOMPARE(actualRow, row);
    QCOMPARE(actualColumn, column);
    QCOMPARE(rowSpan, 1);
    QCOMPARE(actualColumnSpan, columnSpan);
}

void NewProjectDialogTest::sizePolicies()
{
    auto dialog = makeDialog(exampleFile());
    const QSizePolicy name =
        child<QWidget>(dialog.get(), QStringLiteral("lineEdit_projectName"))->sizePolicy();
    QCOMPARE(name.horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(name.verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(name.horizontalStretch(), 1);
    const QSizePolicy progress =
        child<QWidget>(dialog.get(), QStringLiteral("progressBar"))->sizePolicy();
    QCOMPARE(progress.horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(progress.verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(progress.horizontalStretch(), 1);
}

void NewProjectDialogTest::startFolder_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing stored: home") << QVariant() << QDir::homePath();
    QTest::newRow("last folder") << QVariant(QStringLiteral("/srv/projects"))
                                 << QStringLiteral("/srv/projects");
}

void NewProjectDialogTest::startFolder()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, expected);

    if (stored.isValid())
        QSettings().setValue(QStringLiteral("lastProjectPath"), stored);
    else
        QSettings().remove(QStringLiteral("lastProjectPath"));
    auto dialog = makeDialog(exampleFile());
    QCOMPARE(child<QLineEdit>(dialog.get(), "lineEdit_folderPath")->text(), expected);
    QCOMPARE(dialog->projectFolder(), expected);
    QCOMPARE(dialog->projectName(), QString());
}

void NewProjectDialogTest::listsIedNamesInFileOrder()
{
    auto dialog = makeDialog(exampleFile());
    auto *combo = child<QComboBox>(dialog.get(), QStringLiteral("comboBox_IED"));
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names << combo->itemText(i);
    QCOMPARE(names, QStringList({"BAY1_PROT", "BAY2_MEAS"}));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(child<QLineEdit>(dialog.get(), "lineEdit_SclFile")->text(), exampleFile());
    QCOMPARE(model->rowCount(), 0);
}

void NewProjectDialogTest::missingFileRejects_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("null") << QString();
    QTest::newRow("empty") << QStringLiteral("");
}

void NewProjectDialogTest::missingFileRejects()
{
    QFETCH(QString, file);

    QSettings().setValue(QStringLiteral("lastProjectPath"), QStringLiteral("/srv/projects"));
    auto dialog = makeDialog(file);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(child<QComboBox>(dialog.get(), "comboBox_IED")->count(), 0);
    QVERIFY(child<QLineEdit>(dialog.get(), "lineEdit_SclFile")->text().isEmpty());
    QCOMPARE(dialog->projectFolder(), QStringLiteral("/srv/projects"));

    // Even a click on Create cannot reach a parser or the model.
    model->appendRow(new QStandardItem(QStringLiteral("kept")));
    typeName(dialog.get(), QStringLiteral("P"));
    clickCreate(dialog.get());
    QCOMPARE(usable(dialog.get()), QStringList({"toolButton_folderSelect", "pushButton_cancel"}));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->item(0)->text(), QStringLiteral("kept"));
    QVERIFY(dialog->projectName().isEmpty());
}

void NewProjectDialogTest::missingFileDialogIsNeverShown()
{
    auto dialog = makeDialog(QString());
    bool shown = false;
    // Safety net: should the dialog show after all, end its loop at once.
    QTimer::singleShot(0, dialog.get(), [&shown, &dialog] {
        if (dialog->isVisible()) {
            shown = true;
            dialog->done(QDialog::Accepted);
        }
    });
    const int result = dialog->exec();
    QVERIFY(!shown);
    QCOMPARE(result, int(QDialog::Rejected));
}

void NewProjectDialogTest::createEnabledExactlyWhenNameNotEmpty_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("backspaces");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("nothing typed") << "" << 0 << false;
    QTest::newRow("one letter") << "P" << 0 << true;
    QTest::newRow("blank only") << " " << 0 << true;
    QTest::newRow("characters no file name holds") << "a/b:c*?" << 0 << true;
    QTest::newRow("typed then all deleted") << "Bay1" << 4 << false;
    QTest::newRow("typed then partly deleted") << "Bay1" << 3 << true;
}

void NewProjectDialogTest::createEnabledExactlyWhenNameNotEmpty()
{
    QFETCH(QString, typed);
    QFETCH(int, backspaces);
    QFETCH(bool, enabled);

    auto dialog = makeDialog(exampleFile());
    auto *edit = child<QLineEdit>(dialog.get(), QStringLiteral("lineEdit_projectName"));
    QTest::keyClicks(edit, typed);
    for (int i = 0; i < backspaces; ++i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(child<QPushButton>(dialog.get(), "pushButton_createPro")->isEnabled(), enabled);
}

void NewProjectDialogTest::states_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("whileParsing");
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("after");

    const QStringList parsing{"toolButton_folderSelect"};
    QTest::newRow("editing, no name")
        << exampleFile() << "" << false << QStringList() << 0
        << QStringList{"lineEdit_projectName", "lineEdit_folderPath", "toolButton_folderSelect",
                       "pushButton_cancel"};
    QTest::newRow("editing, named")
        << exampleFile() << "P" << false << QStringList() << 0
        << QStringList{"lineEdit_projectName", "lineEdit_folderPath", "toolButton_folderSelect",
                       "pushButton_createPro", "pushButton_cancel"};
    QTest::newRow("created") << exampleFile() << "P" << true << parsing << 1
                             << QStringList{"pushButton"};
    QTest::newRow("failed") << bareIedFile() << "P" << true << parsing << 0
                            << QStringList{"toolButton_folderSelect", "pushButton_cancel"};
}

void NewProjectDialogTest::states()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(bool, create);
    QFETCH(QStringList, whileParsing);
    QFETCH(int, page);
    QFETCH(QStringList, after);

    auto dialog = makeDialog(file);
    typeName(dialog.get(), name);

    // The parser appends the IED node first: what is usable at that moment is
    // what the engineer can reach while the parse runs.
    QList<QStringList> seen;
    connect(model.get(), &QAbstractItemModel::rowsInserted, dialog.get(),
            [&seen, &dialog](const QModelIndex &parent) {
                if (!parent.isValid())
                    seen << usable(dialog.get());
            });
    if (create)
        clickCreate(dialog.get());

    if (create) {
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first(), whileParsing);
    }
    QCOMPARE(child<QStackedWidget>(dialog.get(), "stackedWidget_buttons")->currentIndex(), page);
    QCOMPARE(usable(dialog.get()), after);
}

void NewProjectDialogTest::successFillsModelWithoutNodeChanged_data()
{
    QTest::addColumn<QString>("ied");
    QTest::newRow("first IED") << "BAY1_PROT";
    QTest::newRow("second IED") << "BAY2_MEAS";
}

void NewProjectDialogTest::successFillsModelWithoutNodeChanged()
{
    QFETCH(QString, ied);

    auto dialog = makeDialog(exampleFile());
    chooseIed(dialog.get(), ied);
    typeName(dialog.get(), QStringLiteral("Station"));

    // A pick left over from before must go: the parse starts from a clear model.
    model->appendRow(new QStandardItem(QStringLiteral("stale")));
    model->registerName(QStringLiteral("stale"), QString());

    QSignalSpy nodeChanged(model.get(), &SelectedItemsModel::nodeChanged);
    QList<bool> suppressedOnChange;
    const auto record = [&suppressedOnChange, this] {
        suppressedOnChange << model->isNodeChangedSuppressed();
    };
    connect(model.get(), &QAbstractItemModel::rowsInserted, dialog.get(), record);
    connect(model.get(), &QAbstractItemModel::dataChanged, dialog.get(), record);

    clickCreate(dialog.get());

    QCOMPARE(nodeChanged.count(), 0);
    QVERIFY(!suppressedOnChange.isEmpty());
    QVERIFY(!suppressedOnChange.contains(false));
    QVERIFY(!model->isNodeChangedSuppressed());

    QCOMPARE(model->rowCount(), 1);
    QStandardItem *root = model->item(0);
    QCOMPARE(root->text(), ied);
    QStringList branches;
    for (int i = 0; i < root->rowCount(); ++i)
        branches << root->child(i)->text();
    QCOMPARE(branches, QStringList({"Connection", "DataObjects", "DataSets", "Reports"}));
    QVERIFY(root->child(1)->hasChildren());
    QVERIFY(model->registeredNames().isEmpty());

    QCOMPARE(child<QLabel>(dialog.get(), "label_progress")->text(), QStringLiteral("Finished"));
    QCOMPARE(dialog->projectName(), QStringLiteral("Station"));

    // Once the suppression ended, edits are announced again.
    root->child(0)->setText(QStringLiteral("edited"));
    QCOMPARE(nodeChanged.count(), 1);
}

void NewProjectDialogTest::successWritesTimedDebugLines()
{
    auto dialog = makeDialog(exampleFile());
    typeName(dialog.get(), QStringLiteral("P"));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(
                                         "^Parsing started at : \\d\\d:\\d\\d:\\d\\d$")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(
                                         "^Parsing completed at : \\d\\d:\\d\\d:\\d\\d$")));
    clickCreate(dialog.get());
}

void NewProjectDialogTest::existingProjectFileIsRefusedBeforeTheParse()
{
    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("Station.sclpro")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    auto dialog = makeDialog(exampleFile());
    child<QLineEdit>(dialog.get(), "lineEdit_folderPath")->setText(dir.path());
    typeName(dialog.get(), QStringLiteral("Station"));

    clickCreate(dialog.get());
    QCOMPARE(prompt->messages.size(), 1);
    QCOMPARE(prompt->messages.first().kind, PromptMessage::Warning);
    QVERIFY(prompt->messages.first().text.contains(QDir::toNativeSeparators(existing.fileName())));
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(child<QStackedWidget>(dialog.get(), "stackedWidget_buttons")->currentIndex(), 0);

    // Another name is accepted at once.
    typeName(dialog.get(), QStringLiteral("Station 2"));
    clickCreate(dialog.get());
    QCOMPARE(child<QStackedWidget>(dialog.get(), "stackedWidget_buttons")->currentIndex(), 1);
    QCOMPARE(dialog->projectFilePath(), dir.filePath(QStringLiteral("Station 2.sclpro")));
}

void NewProjectDialogTest::projectNameIsAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << "Substation North";
    QTest::newRow("blanks around") << "  Bay 1  ";
    QTest::newRow("blank only") << " ";
    QTest::newRow("path characters") << "a/b:c";
}

void NewProjectDialogTest::projectNameIsAsTyped()
{
    QFETCH(QString, typed);

    // A slash in the name reaches into a folder, which has to be there.
    QVERIFY(QDir().mkpath(QFileInfo(projectDir->filePath(typed)).absolutePath()));
    auto dialog = makeDialog(exampleFile());
    typeName(dialog.get(), typed);
    QCOMPARE(dialog->projectName(), QString());
    clickCreate(dialog.get());
    QCOMPARE(dialog->projectName(), typed);
    QVERIFY(QFileInfo::exists(dialog->createdProjectPath()));
}

void NewProjectDialogTest::failedParseLeavesOnlyCancel_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ied");

    QTest::newRow("IED without logical device") << bareIedFile() << "BARE_IED";
    QTest::newRow("IED not in the file") << exampleFile() << "BAY9_GONE";
}

void NewProjectDialogTest::failedParseLeavesOnlyCancel()
{
    QFETCH(QString, file);
    QFETCH(QString, ied);

    auto dialog = makeDialog(file);
    chooseIed(dialog.get(), ied);
    typeName(dialog.get(), QStringLiteral("P"));
    QSignalSpy nodeChanged(model.get(), &SelectedItemsModel::nodeChanged);
    clickCreate(dialog.get());

    QCOMPARE(child<QLabel>(dialog.get(), "label_progress")->text(), QStringLiteral("Error"));
    const QStringList lines =
        child<QPlainTextEdit>(dialog.get(), "plainTextEdit_2")->toPlainText().split('\n');
    QCOMPARE(lines.last(), QStringLiteral("Error: Cannot parse file"));
    QCOMPARE(usable(dialog.get()), QStringList({"toolButton_folderSelect", "pushButton_cancel"}));
    QVERIFY(dialog->projectName().isEmpty());
    QCOMPARE(nodeChanged.count(), 0);
    QVERIFY(!model->isNodeChangedSuppressed());

    QTest::mouseClick(child<QPushButton>(dialog.get(), "pushButton_cancel"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void NewProjectDialogTest::unreadableFileSaysWhy()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("cut.scd")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?>\n<SCL>\n<IED name=\"A\">\n</SCL>\n");
    file.close();

    auto dialog = makeDialog(file.fileName());
    QCOMPARE(child<QComboBox>(dialog.get(), "comboBox_IED")->count(), 0);
    QCOMPARE(child<QLabel>(dialog.get(), "label_progress")->text(), QStringLiteral("Error"));
    const QString log = child<QPlainTextEdit>(dialog.get(), "plainTextEdit_2")->toPlainText();
    QVERIFY2(log.contains(QStringLiteral("is not a readable SCL file (line 4, column 6")),
             qPrintable(log));
}

void NewProjectDialogTest::failedParseIgnoresLaterNameEdits()
{
    auto dialog = makeDialog(bareIedFile());
    typeName(dialog.get(), QStringLiteral("P"));
    clickCreate(dialog.get());

    auto *edit = child<QLineEdit>(dialog.get(), QStringLiteral("lineEdit_projectName"));
    QTest::keyClicks(edit, QStringLiteral("Q"));
    edit->setText(QStringLiteral("Other"));
    QCOMPARE(edit->text(), QStringLiteral("Other"));
    QVERIFY(!child<QPushButton>(dialog.get(), "pushButton_createPro")->isEnabled());
    QVERIFY(dialog->projectName().isEmpty());
}

void NewProjectDialogTest::folderButtonAsksForDirectory()
{
    auto dialog = makeDialog(exampleFile());
    auto *folder = child<QLineEdit>(dialog.get(), QStringLiteral("lineEdit_folderPath"));
    folder->setText(QStringLiteral("/typed/start"));
    QTest::mouseClick(child<QToolButton>(dialog.get(), "toolButton_folderSelect"), Qt::LeftButton);

    QCOMPARE(prompt->fileRequests.size(), 1);
    const FileRequest request = prompt->fileRequests.first();
    QCOMPARE(request.mode, FileRequest::ExistingDirectory);
    QCOMPARE(request.parent, static_cast<QWidget *>(dialog.get()));
    QCOMPARE(request.caption, QStringLiteral("Select Project Path"));
    QCOMPARE(request.directory, QStringLiteral("/typed/start"));
    QCOMPARE(request.options, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void NewProjectDialogTest::folderButtonStoresChoice_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QVariant>("stored");

    const QString chosen = QStringLiteral("/data/projects");
    const QString start = QStringLiteral("/srv/start");
    QTest::newRow("chosen") << chosen << chosen << QVariant(chosen);
    QTest::newRow("cancelled") << QString() << start << QVariant(start);
}

void NewProjectDialogTest::folderButtonStoresChoice()
{
    QFETCH(QString, answer);
    QFETCH(QString, folder);
    QFETCH(QVariant, stored);

    QSettings().setValue(QStringLiteral("lastProjectPath"), QStringLiteral("/srv/start"));
    auto dialog = makeDialog(exampleFile());
    prompt->fileAnswers.enqueue(answer);
    QTest::mouseClick(child<QToolButton>(dialog.get(), "toolButton_folderSelect"), Qt::LeftButton);

    QCOMPARE(child<QLineEdit>(dialog.get(), "lineEdit_folderPath")->text(), folder);
    QCOMPARE(dialog->projectFolder(), folder);
    QCOMPARE(QSettings().value(QStringLiteral("lastProjectPath")), stored);
}

void NewProjectDialogTest::chosenFolderIsShownByNextDialog()
{
    {
        auto first = makeDialog(exampleFile());
        prompt->fileAnswers.enqueue(QStringLiteral("/data/chosen"));
        QTest::mouseClick(child<QToolButton>(first.get(), "toolButton_folderSelect"),
                          Qt::LeftButton);
    }
    auto second = makeDialog(exampleFile());
    QCOMPARE(child<QLineEdit>(second.get(), "lineEdit_folderPath")->text(),
             QStringLiteral("/data/chosen"));
    QCOMPARE(second->projectFolder(), QStringLiteral("/data/chosen"));
}

void NewProjectDialogTest::typedFolderIsTheProjectFolder()
{
    auto dialog = makeDialog(exampleFile());
    auto *folder = child<QLineEdit>(dialog.get(), QStringLiteral("lineEdit_folderPath"));
    const QString typed = projectDir->filePath(QStringLiteral("typed"));
    QVERIFY(QDir().mkpath(typed));
    folder->clear();
    QTest::keyClicks(folder, typed);
    typeName(dialog.get(), QStringLiteral("P"));
    clickCreate(dialog.get());

    QCOMPARE(dialog->projectFolder(), typed);
    QCOMPARE(dialog->createdProjectPath(), typed + QStringLiteral("/P.sclpro"));
    QVERIFY(QFileInfo::exists(dialog->createdProjectPath()));
    // Only a folder chosen with the button is remembered.
    QCOMPARE(QSettings().value(QStringLiteral("lastProjectPath")).toString(), projectDir->path());
    // The written file cannot be moved by another folder any more.
    QVERIFY(!child<QToolButton>(dialog.get(), "toolButton_folderSelect")->isEnabled());
}

void NewProjectDialogTest::endings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("create");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("result");

    QTest::newRow("Cancel while editing")
        << exampleFile() << false << int(CancelClicked) << int(QDialog::Rejected);
    QTest::newRow("window closed while editing")
        << exampleFile() << false << int(WindowClosed) << int(QDialog::Rejected);
    QTest::newRow("Cancel after failure")
        << bareIedFile() << true << int(CancelClicked) << int(QDialog::Rejected);
    QTest::newRow("window closed after failure")
        << bareIedFile() << true << int(WindowClosed) << int(QDialog::Rejected);
    QTest::newRow("Close after success")
        << exampleFile() << true << int(CloseClicked) << int(QDialog::Accepted);
    QTest::newRow("window closed after success")
        << exampleFile() << true << int(WindowClosed) << int(QDialog::Rejected);
}

void NewProjectDialogTest::endings()
{
    QFETCH(QString, file);
    QFETCH(bool, create);
    QFETCH(int, ending);
    QFETCH(int, result);

    auto dialog = makeDialog(file);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get(), EventTimeoutMs));
    typeName(dialog.get(), QStringLiteral("P"));
    if (create)
        clickCreate(dialog.get());

    QSignalSpy finished(dialog.get(), &QDialog::finished);
    switch (Ending(ending)) {
    case CancelClicked:
        QTest::mouseClick(child<QPushButton>(dialog.get(), "pushButton_cancel"), Qt::LeftButton);
        break;
    case CloseClicked:
        QTest::mouseClick(child<QPushButton>(dialog.get(), "pushButton"), Qt::LeftButton);
        break;
    case WindowClosed:
        dialog->close();
        break;
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), result);
    QVERIFY(!dialog->isVisible());
}

QTEST_MAIN(NewProjectDialogTest)
#include "tst_newprojectdialog.moc"
