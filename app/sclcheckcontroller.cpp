#include "sclcheckcontroller.h"

#include "filekinds.h"
#include "findingsmodel.h"
#include "findingspanel.h"
#include "sclcheckrun.h"
#include "sclfindinglocator.h"
#include "userprompt.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTreeView>

namespace {

constexpr int StatusMessageMs = 15000;

} // namespace

SclCheckController::SclCheckController(const SclCheckParts &parts, QObject *parent)
    : QObject(parent), parts(parts), checkAction(new QAction(tr("Check SCL File..."), this)),
      run(new SclCheckRun(this))
{
    checkAction->setObjectName(QStringLiteral("actionCheck_SCL_File"));
    checkAction->setStatusTip(
        tr("Lists what of an SCL file would break or mislead the RTU's integration"));
    parts.fileMenu->insertAction(parts.before, checkAction);
    parts.fileMenu->insertSeparator(parts.before);
    connect(checkAction, &QAction::triggered, this, &SclCheckController::checkSclFile);
    connect(run, &SclCheckRun::finished, this, &SclCheckController::onFinished);
    connect(parts.panel, &FindingsPanel::rowActivated, this, &SclCheckController::showFindingNode);
}

bool SclCheckController::isChecking() const
{
    return run->isRunning();
}

void SclCheckController::status(const QString &text)
{
    parts.window->statusBar()->showMessage(text, StatusMessageMs);
}

void SclCheckController::checkSclFile()
{
    QSettings settings;
    const QString path = UserPrompt::openFileName(
        parts.window, tr("Check SCL File"),
        UserPrompt::startFolder(settings.value(QStringLiteral("lastConfigPath")).toString()),
        FileKinds::sclFiles());
    if (path.isEmpty())
        return;
    settings.setValue(QStringLiteral("lastConfigPath"), QFileInfo(path).absolutePath());
    check(path);
}

void SclCheckController::check(const QString &fileName)
{
    if (!run->start(fileName))
        return;
    checkAction->setEnabled(false);
    status(tr("Checking %1 ...").arg(QFileInfo(fileName).fileName()));
}

void SclCheckController::onFinished(const SclCheckResult &result)
{
    checkAction->setEnabled(true);
    const QString name = QFileInfo(run->fileName()).fileName();
    if (!result.readable) {
        status(QString());
        UserPrompt::warning(parts.window, tr("Check SCL File"), result.problem);
        emit checkFinished();
        return;
    }
    const SclSeverityCounts counts = countSeverities(result.findings);
    const int ieds = result.iedNames.size();
    const QString summary = tr("%1 (%2): %3 errors, %4 warnings, %5 infos")
                                .arg(name)
                                .arg(ieds == 1 ? tr("1 IED") : tr("%1 IEDs").arg(ieds))
                                .arg(counts.errors)
                                .arg(counts.warnings)
                                .arg(counts.infos);
    parts.findings->setSclFindings(result.findings);
    parts.panel->showList(tr("SCL check of %1").arg(summary));
    status(summary);
    emit checkFinished();
}

void SclCheckController::showFindingNode(int row)
{
    const SclFinding *finding = parts.findings->sclFinding(row);
    if (!finding)
        return;
    const QModelIndex index = locateSclFinding(*parts.scl, *finding);
    if (!index.isValid()) {
        status(tr("%1 is not in the open model").arg(finding->reference));
        return;
    }
    parts.modelView->setCurrentIndex(index);
    parts.modelView->scrollTo(index);
    parts.modelView->setFocus();
}
