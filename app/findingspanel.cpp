#include "findingspanel.h"

#include "filekinds.h"
#include "findingsmodel.h"
#include "userprompt.h"
#include "visiblerows.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

FindingsPanel::FindingsPanel(FindingsModel *model, QWidget *parent)
    : QDockWidget(tr("Findings"), parent), model(model), sorted(new QSortFilterProxyModel(this)),
      summary(new QLabel), view(new QTreeView), saveButton(new QPushButton(tr("Save as CSV...")))
{
    setObjectName(QStringLiteral("dockWidget_findings"));
    summary->setObjectName(QStringLiteral("label_findings"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view->setObjectName(QStringLiteral("treeView_findings"));
    sorted->setSourceModel(model);
    sorted->setSortRole(FindingsModel::SortRole);
    view->setModel(sorted);
    // The model's order (by line, or as the check found) until a header is clicked.
    view->header()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->setRootIsDecorated(false);
    view->setAlternatingRowColors(true);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->header()->setStretchLastSection(true);
    VisibleRows::keep(view);
    saveButton->setObjectName(QStringLiteral("pushButton_saveFindings"));
    saveButton->setEnabled(false);

    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *top = new QHBoxLayout;
    top->addWidget(summary, 1);
    top->addWidget(saveButton);
    layout->addLayout(top);
    layout->addWidget(view);
    setWidget(body);

    connect(saveButton, &QPushButton::clicked, this, &FindingsPanel::saveAsCsv);
    connect(view, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        emit rowActivated(sorted->mapToSource(index).row());
    });
    connect(model, &QAbstractItemModel::modelReset, this,
            [this] { saveButton->setEnabled(this->model->rowCount() > 0); });
}

void FindingsPanel::showList(const QString &caption)
{
    summary->setText(caption);
    for (int column = 0; column + 1 < model->columnCount(); ++column)
        view->resizeColumnToContents(column);
    show();
    raise();
}

void FindingsPanel::clear()
{
    model->clear();
    summary->clear();
}

QString FindingsPanel::caption() const
{
    return summary->text();
}

void FindingsPanel::saveAsCsv()
{
    const QString path = UserPrompt::saveFileName(
        this, tr("Save list as CSV"),
        UserPrompt::startFile(QString(), QStringLiteral("findings.csv")), FileKinds::csvFiles());
    if (path.isEmpty())
        return;
    QString problem;
    // The rows as the list shows them, sorted by whatever header was clicked.
    QVector<int> shown;
    for (int row = 0; row < sorted->rowCount(); ++row)
        shown.append(sorted->mapToSource(sorted->index(row, 0)).row());
    if (!model->writeCsv(path, &problem, shown))
        UserPrompt::warning(
            this, tr("Save list as CSV"),
            tr("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), problem));
}
