#include "onlinecontroller.h"

#include "cidtreesource.h"
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
      cancel(new QPushButton(tr("Cancel"))),
      source(new CidTreeSource(parts.trees, parts.scl, parts.onlineTree, this))
{
    auto *showDocument = new QPushButton(tr("Show Project Model"));
    showDocument->setObjectName(QStringLiteral("pushButton_showProjectModel"));
    // Beside the online buttons, in their row.
    for (QPushButton *button : {cancel, showDocument}) {
        if (auto *row = qobject_cast<QBoxLayout *>(parts.testReadButton->parentWidget()->layout()))
            row->addWidget(button);
        else
            button->setParent(parts.testReadButton->parentWidget());
    }
    cancel->setObjectName(QStringLiteral("pushButton_cancelOnline"));
    cancel->hide();
    connect(cancel, &QPushButton::clicked, this, &OnlineController::cancelWork);
    source->setDocumentButton(showDocument);
    connect(parts.datasets, &QAbstractItemModel::modelAboutToBeReset, source,
            &CidTreeSource::documentAboutToChange);

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

QString OnlineController::browseFailure(const OnlineBrowse::Result &result)
{
    if (!result.connected)
        return tr("Connection failed: %1; %2").arg(connectFailure(result.error), result.failure);
    return tr("Browse failed: %1").arg(result.failure);
}

// Nothing of the window changes until a browse has gone through.
void OnlineController::browse()
{
    if (onlineSession->isBusy())
        return;
    const QString portText = parts.port->text().trimmed();
    const int port = OnlineBrowse::portFromText(portText);
    if (port <= 0 || port > 65535) {
        dropEarlierBrowse();
        showBrowseFailure(
            tr("Connection failed: the port \"%1\" is not a number from 1 to 65535").arg(portText));
        return;
    }
    browsedAddress = QStringLiteral("%1:%2").arg(parts.host->text().trimmed()).arg(port);
    onlineSession->browse(parts.host->text(), port);
}

void OnlineController::showBrowseFailure(const QString &text)
{
    parts.infoScreen->appendPlainText(text);
    // Until the next action replaces it.
    parts.statusBar->showMessage(text);
}

void OnlineController::dropEarlierBrowse()
{
    // What the tree showed came from the device browsed before, which is not
    // the one just asked for.
    source->showDocument();
    parts.onlineTree->clearSelection();
    parts.onlineDataSets->clear();
    parts.onlineReports->clear();
    reader->clearValues();
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
    parts.statusBar->showMessage(
        tr("Connection failed: %1; %2").arg(connectFailure(error), OnlineBrowse::errorText(error)));
}

void OnlineController::onFinished(bool cancelled)
{
    if (cancelled)
        parts.statusBar->showMessage(tr("Cancelled"));
}

void OnlineController::onBrowseFinished(const OnlineTrees &trees)
{
    if (!trees.result) {
        dropEarlierBrowse();
        showBrowseFailure(browseFailure(trees.result));
        return;
    }
    parts.onlineTree->clearSelection();
    parts.onlineTree->setHorizontalHeaderLabels({QStringLiteral("CID")});
    parts.onlineDataSets->clear();
    parts.onlineReports->clear();
    struct Target
    {
        QStandardItemModel *from;
        QStandardItemModel *to;
    };
    for (const Target &target : {Target{trees.complete.get(), parts.onlineTree},
                                 Target{trees.dataSets.get(), parts.onlineDataSets},
                                 Target{trees.reports.get(), parts.onlineReports}}) {
        OnlineBrowse::addIcons(target.from);
        while (target.from->rowCount() > 0)
            target.to->appendRow(target.from->takeRow(0));
    }
    // Values read before came from the device shown before.
    reader->clearValues();
    source->showOnline(browsedAddress);
}
