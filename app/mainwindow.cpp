#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ciditemstree.h"
#include "commissioningcontroller.h"
#include "commissioningpanel.h"
#include "connectioneditguard.h"
#include "controltestcontroller.h"
#include "filterfield.h"
#include "iec61850dbmanager.h"
#include "livereportcontroller.h"
#include "objectreadcontroller.h"
#include "onlinecontroller.h"
#include "onlinesession.h"
#include "projectcheckcontroller.h"
#include "recentfiles.h"
#include "sclcheckcontroller.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sidewaysscroll.h"
#include "sqliteconnector.h"
#include "stationscoperesources.h"
#include "unsavedchangestracker.h"
#include "userprompt.h"
#include "visiblerows.h"
#include "windowplacement.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDockWidget>
#include <QScrollArea>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QSysInfo>
#include <QTableView>

const QString MainWindow::Version = QStringLiteral(STATIONSCOPE_VERSION);

namespace {
const QString GeometryKey = QStringLiteral("mainWindowGeometry");
const QString LayoutKey = QStringLiteral("mainWindowState");
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>())
{
    initStationscopeResources();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/stationscope.png")));

    QCoreApplication::setOrganizationName(QStringLiteral("Tessarin"));
    QCoreApplication::setApplicationName(QStringLiteral("Stationscope"));

    sclModel = std::make_unique<SelectedItemsModel>();
    signalModel = std::make_unique<QStandardItemModel>();
    onlineTreeModel = std::make_unique<SelectedItemsModel>();
    onlineDataSetsModel = std::make_unique<QStandardItemModel>();
    onlineReportsModel = std::make_unique<QStandardItemModel>();

    ui->widget_treeContainer->setSclModel(sclModel.get());
    ui->widget_treeContainer->setTagSelector(ui->widget_tagSelect->tagSelector());
    ui->widget_treeContainer->cidTree()->setReadOnly(true);

    objectsModel = std::make_unique<SelectedObjectsModel>();
    datasetsModel = std::make_unique<SelectedDatasetsModel>();
    reportsModel = std::make_unique<SelectedReportsModel>();
    ui->widget_treeContainer->setSelectionModels(objectsModel.get(), datasetsModel.get(),
                                                 reportsModel.get());

    ui->treeView_signals->setModel(signalModel.get());
    ui->filterField_signals->setView(ui->treeView_signals);
    ui->filterField_signals->setMatchAllColumns(true);
    connect(new QShortcut(QKeySequence::Find, ui->tab_2), &QShortcut::activated,
            ui->filterField_signals, &FilterField::focusField);

    unsavedChanges = new UnsavedChangesTracker(this);
    unsavedChanges->watch(objectsModel.get());
    unsavedChanges->watch(datasetsModel.get());
    unsavedChanges->watch(reportsModel.get());
    connect(unsavedChanges, &UnsavedChangesTracker::modifiedChanged, this, [this](bool modified) {
        setWindowModified(modified);
        // What the last save or export wrote is no longer what the window shows.
        if (modified)
            statusBar()->clearMessage();
    });

    buildRecentMenu(ui->menuRecent_Projects, RecentFiles::Projects);
    buildRecentMenu(ui->menuRecent_Excell_imports, RecentFiles::Workbooks);

    new SidewaysScroll(ui->widget_topPanel);
    ui->widget_topPanel->hide();
    connect(ui->togglePanelButton, &QPushButton::clicked, this, &MainWindow::toggleTopPanel);
    connect(ui->actionQuit, &QAction::triggered, this, &QWidget::close);

    setTitle(QString());

    qRegisterMetaType<Qt::Orientation>("Qt::Orientation");
    qRegisterMetaType<QVector<int>>("QVector<int>");

    connectionGuard = new ConnectionEditGuard(sclModel.get(), this, this);
    connect(connectionGuard, &ConnectionEditGuard::valueAccepted, this,
            &MainWindow::onNodeDataChanged);

    onlineController = std::make_unique<OnlineController>(onlineWindowParts());
    // Values read before may come from another device now.
    connect(connectionGuard, &ConnectionEditGuard::valueAccepted, onlineController->objectReader(),
            &ObjectReadController::clearValues);
    // The bar runs while online work does; idle, it is hidden, with its label.
    ui->progressBar->hide();
    ui->label_Progress->hide();
    connect(onlineController->session(), &OnlineSession::busyChanged, this, [this](bool busy) {
        ui->progressBar->setRange(0, busy ? 0 : 100);
        ui->progressBar->setVisible(busy);
    });
    auto *controls = new ControlTestController(onlineController.get());
    QAction *liveReports = onlineController->liveReports()->dock()->toggleViewAction();
    liveReports->setObjectName(QStringLiteral("actionLiveReports"));
    ui->menuView->addAction(liveReports);
    onlineController->liveReports()->setProject([this] { return dbManager.get(); });
    connect(this, &MainWindow::projectClosing, onlineController->liveReports(),
            &LiveReportController::projectClosing);
    commissioningController = new CommissioningController(
        {onlineController.get(), controls, ui->menuView, objectsModel.get(), signalModel.get(),
         unsavedChanges, [this] { return projectPath; }, [this] { return dbManager.get(); },
         [this] {
             return saveProject();
         }},
        this);
    connect(this, &MainWindow::projectLoaded, commissioningController,
            &CommissioningController::projectOpened);
    connect(this, &MainWindow::projectClosing, commissioningController,
            &CommissioningController::projectClosing);
    auto *projectChecks = new ProjectCheckController(projectCheckParts(), this);
    new SclCheckController({this, ui->menuFile, ui->actionClose_Project, sclModel.get(),
                            ui->widget_treeContainer->cidTree(), projectChecks->findings(),
                            projectChecks->panel()},
                           this);
    arrangeDocks();
}

void MainWindow::arrangeDocks()
{
    // The bottom docks are tabs of one area: each has all of its room.
    QList<QDockWidget *> bottom;
    for (QDockWidget *dock : findChildren<QDockWidget *>()) {
        if (dockWidgetArea(dock) == Qt::BottomDockWidgetArea)
            bottom.append(dock);
    }
    for (int i = 1; i < bottom.size(); ++i)
        tabifyDockWidget(bottom.first(), bottom.at(i));
    VisibleRows::keep(commissioningController->panel()->table());
    // Short of room, a dock scrolls: its tables keep their rows and the
    // window stays within the screen.
    for (QDockWidget *dock : qAsConst(bottom)) {
        auto *scroller = new QScrollArea;
        scroller->setObjectName(dock->widget()->objectName() + QStringLiteral("Scroller"));
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setWidgetResizable(true);
        scroller->setWidget(dock->widget());
        dock->setWidget(scroller);
        // The first time the area opens it gets what its rows need, as far
        // as the window allows; after that it is as the engineer leaves it.
        connect(dock, &QDockWidget::visibilityChanged, this, [this, dock, scroller](bool shown) {
            if (!shown || dockAreaSized)
                return;
            dockAreaSized = true;
            resizeDocks({dock}, {scroller->widget()->minimumSizeHint().height()}, Qt::Vertical);
        });
    }
}

MainWindow::~MainWindow() = default;

ProjectCheckParts MainWindow::projectCheckParts()
{
    return {this,
            sclModel.get(),
            objectsModel.get(),
            datasetsModel.get(),
            reportsModel.get(),
            onlineController.get(),
            [this] { return projectPath; },
            [this] { return dbManager.get(); },
            [this] {
                const QString path = projectPath;
                closeProject();
                if (connectProject(path))
                    loadProject(path);
            }};
}

QString MainWindow::baseTitle()
{
    return tr("Tessarin Stationscope v%1").arg(Version);
}

void MainWindow::setTitle(const QString &name)
{
    const QString base = baseTitle();
    setWindowTitle(name.isEmpty() ? base : tr("%1 - ").arg(name + QStringLiteral("[*]")) + base);

    const bool documentOpen = !projectPath.isEmpty() || !workbookPath.isEmpty();
    ui->actionSave_Project->setEnabled(!projectPath.isEmpty());
    ui->actionExport_to_excell->setEnabled(documentOpen);
    ui->actionClose_Project->setEnabled(documentOpen);
}

QString MainWindow::aboutText()
{
    const QString qtVersion = QStringLiteral("Qt Version: ") + QLatin1String(QT_VERSION_STR) +
                              QStringLiteral(" %1-bit").arg(QSysInfo::WordSize);
    return tr("Tessarin Stationscope Version: %1 \n %2").arg(Version, qtVersion);
}

void MainWindow::setVisible(bool visible)
{
    if (visible && !placed) {
        placed = true;
        WindowPlacement::place(this, GeometryKey);
        dockAreaSized = WindowPlacement::restoreLayout(this, LayoutKey);
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::saveGeometryOnClose()
{
    WindowPlacement::save(this, GeometryKey);
    WindowPlacement::saveLayout(this, LayoutKey);
}

void MainWindow::toggleTopPanel()
{
    const bool show = !ui->widget_topPanel->isVisible();
    ui->widget_topPanel->setVisible(show);
    ui->togglePanelButton->setText(show ? tr("Hide Top Panel") : tr("Show Top Panel"));
}

void MainWindow::on_pushButton_2_clicked()
{
    ui->plainTextEdit_2->clear();
}

void MainWindow::on_groupBox_clicked()
{
    ui->groupBox_2->setChecked(!ui->groupBox->isChecked());
}

void MainWindow::on_groupBox_2_clicked()
{
    ui->groupBox->setChecked(!ui->groupBox_2->isChecked());
}

void MainWindow::on_actionAbout_triggered()
{
    UserPrompt::about(this, tr("About"), aboutText());
}

void MainWindow::updateProgress(int progress)
{
    qDebug() << "Writedb progress:" << progress;
}

void MainWindow::onNodeDataChanged(QStandardItem *node)
{
    // Checked connection edits reach the project file at once; without an open
    // project (e.g. after a workbook import) there is nowhere to write them.
    if (!dbManager || !node)
        return;
    QString reason;
    if (dbManager->updateCell(QStringLiteral("iec61850_connectionsv2"), node, &reason))
        return;
    const QString message = tr("The connection value \"%1\" was not written to the project "
                               "file: %2")
                                .arg(node->text(), reason);
    statusBar()->showMessage(message);
    UserPrompt::warning(this, QStringLiteral("Stationscope"), message);
}
