#include "iedcheckcounts.h"

#include "sclcheckrun.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

constexpr int CountsColumn = 1;

} // namespace

IedCheckCounts::IedCheckCounts(const QString &sclFile, QComboBox *iedList, QBoxLayout *layout,
                               QPlainTextEdit *infoScreen, QObject *parent)
    : QObject(parent), file(sclFile), iedList(iedList), infoScreen(infoScreen),
      checkButton(new QPushButton(tr("Check"))), countsLabel(new QLabel), run(new SclCheckRun(this))
{
    checkButton->setObjectName(QStringLiteral("pushButton_checkScl"));
    checkButton->setToolTip(tr("Checks the file for what would break or mislead the RTU's "
                               "integration and counts the findings of each IED"));
    countsLabel->setObjectName(QStringLiteral("label_iedCounts"));
    layout->addWidget(countsLabel);
    layout->addWidget(checkButton);

    // A list of two columns: the name (what the combo box shows and gives as
    // its text) and the counts.
    auto *view = new QTreeView;
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setAllColumnsShowFocus(true);
    iedList->setView(view);

    connect(checkButton, &QPushButton::clicked, this, &IedCheckCounts::check);
    connect(run, &SclCheckRun::finished, this, &IedCheckCounts::onFinished);
    connect(iedList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &IedCheckCounts::showCurrent);
}

QString IedCheckCounts::countsText(const QString &iedName) const
{
    const int row = iedList->findText(iedName, Qt::MatchExactly);
    if (row < 0 || iedList->model()->columnCount() <= CountsColumn)
        return QString();
    return iedList->model()->index(row, CountsColumn).data().toString();
}

void IedCheckCounts::check()
{
    if (!run->start(file))
        return;
    checkButton->setEnabled(false);
    countsLabel->setText(tr("Checking..."));
}

void IedCheckCounts::onFinished(const SclCheckResult &result)
{
    checkButton->setEnabled(true);
    if (!result.readable) {
        countsLabel->clear();
        infoScreen->appendPlainText(tr("Check: %1").arg(result.problem));
        emit checked();
        return;
    }
    auto *model = qobject_cast<QStandardItemModel *>(iedList->model());
    if (model) {
        model->setColumnCount(CountsColumn + 1);
        for (int row = 0; row < model->rowCount(); ++row) {
            const SclSeverityCounts counts = result.countsOf(model->item(row)->text());
            auto *item = new QStandardItem(
                tr("%1 errors, %2 warnings").arg(counts.errors).arg(counts.warnings));
            item->setForeground(counts.errors > 0 ? QColor(Qt::darkRed) : QColor(Qt::darkGray));
            model->setItem(row, CountsColumn, item);
        }
        if (auto *view = qobject_cast<QTreeView *>(iedList->view())) {
            view->resizeColumnToContents(0);
            view->resizeColumnToContents(CountsColumn);
            view->setMinimumWidth(view->header()->length() + 24);
        }
    }
    const SclSeverityCounts all = countSeverities(result.findings);
    infoScreen->appendPlainText(
        tr("Check: %1 errors, %2 warnings, %3 infos in the file (File > Check SCL File... "
           "lists them)")
            .arg(all.errors)
            .arg(all.warnings)
            .arg(all.infos));
    showCurrent();
    emit checked();
}

void IedCheckCounts::showCurrent()
{
    countsLabel->setText(countsText(iedList->currentText()));
}
