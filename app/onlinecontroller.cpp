#include "onlinecontroller.h"

#include "livereportcontroller.h"
#include "objectreadcontroller.h"
#include "onlinebrowse.h"
#include "onlinesession.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "treeviewcontainer.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>

namespace {
constexpr int StatusMessageMs = 15000;
}

OnlineController::OnlineController(const OnlineWindowParts &parts, QObject *parent)
    : QObject(parent), parts(parts), onlineSession(new OnlineSession(this)),
      cancel(new QPushButton(tr("Cancel")))
{
    cancel->setObjectName(QStringLiteral("pushButton_cancelOnline"));
    cancel->hide();
    // Beside the online buttons, in their row.
    if (auto *row = qobject_cast<QBoxLayout *>(parts.testReadButton->parentWidget()->layout()))
        row->addWidget(cancel);
    else
        cancel->setParent(parts.testReadButton->parentWidget());
    connect(cancel, &QPushButton::clicked, this, &OnlineController::cancelWork);

    reader = new ObjectReadController(this);
    watcher = new LiveReportController(this);

    OnlineWorker *worker = onlineSession->worker();
    connect(onlineSession, &OnlineSession::busyChanged, this, &OnlineController::onBusyChanged);
    connect(worker, &OnlineWorker::infoLine, parts.infoScreen, &QPlainTextEdit::appendPlainText);
    connect(worker, &OnlineWorker::connectFailed, this, &OnlineController::onConnectFailed);
    connect(worker, &OnlineWorker::browseFinished, this, &OnlineController::onBrowseFinished);
    connect(worker, &OnlineWorker::finished, this, &OnlineController::onFinished);
    connect(parts.readObjectButton, &QPushButton::clicked, reader,
            &ObjectReadController::readSelected);
    connect(parts.readReportButton, &QPushButton::clicked, watcher, &LiveReportController::start);
    // The picks go away with the project: so does the watch of its reports.
    connect(parts.datasets, &QAbstractItemModel::modelAboutToBeReset, watcher,
            &LiveReportController::stop);
}

OnlineController::~OnlineController()
{
    // The worker may hold items of a browse: it is joined before they go.
    delete onlineSession;
}

QString OnlineController::projectConnectionValue(int row) const
{
    const QStandardItem *ied = parts.scl->item(0);
    if (!ied || ied->data(KindRole).toInt() != IedKind)
        return QString();
    const QStandardItem *connection = ied->child(SclBranch::ConnectionRow);
    const QStandardItem *value = connection ? connection->child(row, 1) : nullptr;
    return value ? value->text().trimmed() : QString();
}

QString OnlineController::host() const
{
    const QString typed = parts.host->text().trimmed();
    return typed.isEmpty() ? projectConnectionValue(2) : typed;
}

int OnlineController::port() const
{
    const QString typed = parts.port->text().trimmed();
    return OnlineBrowse::portFromText(typed.isEmpty() ? projectConnectionValue(3) : typed);
}

bool OnlineController::hasAddress() const
{
    if (!host().isEmpty() && port() > 0)
        return true;
    parts.statusBar->showMessage(tr("No IED address: fill in the address and port."),
                                 StatusMessageMs);
    return false;
}

QString OnlineController::connectFailure(IedClientError error)
{
    switch (error) {
    case IedClientError::Timeout:
        return tr("no answer");
    case IedClientError::ConnectionRejected:
        return tr("refused (nothing listens there, or the IED rejected the association)");
    case IedClientError::InvalidArgument:
        return tr("the address or port is not valid");
    case IedClientError::ConnectionLost:
        return tr("the connection was lost");
    default:
        return iedClientErrorName(error);
    }
}

void OnlineController::browse()
{
    if (onlineSession->isBusy())
        return;
    parts.trees->setSclModel(nullptr);
    parts.scl->clearSelection();
    parts.scl->setHorizontalHeaderLabels({QStringLiteral("CID")});
    parts.onlineDataSets->clear();
    parts.onlineReports->clear();
    browsing = true;
    onlineSession->browse(parts.host->text(), OnlineBrowse::portFromText(parts.port->text()));
}

void OnlineController::testRead()
{
    onlineSession->testRead(parts.host->text(), OnlineBrowse::portFromText(parts.port->text()));
}

void OnlineController::cancelWork()
{
    if (onlineSession->currentJob() == OnlineSession::Job::WatchReports)
        watcher->stop();
    else
        onlineSession->cancel();
}

void OnlineController::onBusyChanged(bool busy)
{
    for (QPushButton *button : {parts.connectButton, parts.readObjectButton, parts.readReportButton,
                                parts.testReadButton})
        button->setEnabled(!busy);
    cancel->setText(onlineSession->currentJob() == OnlineSession::Job::WatchReports ? tr("Stop")
                                                                                    : tr("Cancel"));
    cancel->setVisible(busy);
    if (busy)
        parts.statusBar->showMessage(tr("Working with %1:%2 ...").arg(host()).arg(port()));
    else if (parts.statusBar->currentMessage().startsWith(tr("Working with")))
        parts.statusBar->clearMessage();
}

void OnlineController::onConnectFailed(IedClientError error)
{
    parts.statusBar->showMessage(tr("Connection failed: %1").arg(connectFailure(error)),
                                 StatusMessageMs);
}

void OnlineController::onBrowseFinished(const OnlineTrees &trees)
{
    struct Target
    {
        QStandardItemModel *from;
        QStandardItemModel *to;
    };
    for (const Target &target : {Target{trees.complete.get(), parts.scl},
                                 Target{trees.dataSets.get(), parts.onlineDataSets},
                                 Target{trees.reports.get(), parts.onlineReports}}) {
        OnlineBrowse::addIcons(target.from);
        while (target.from->rowCount() > 0)
            target.to->appendRow(target.from->takeRow(0));
    }
    if (!trees.failure.isEmpty()) {
        parts.statusBar->showMessage(
            tr("Browse incomplete, the tree shows what was listed. %1").arg(trees.failure));
    }
}

void OnlineController::onFinished()
{
    if (!browsing)
        return;
    browsing = false;
    parts.trees->setSclModel(parts.scl);
}
