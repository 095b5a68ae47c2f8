#include "livereportpanel.h"

#include "boundsignalmodel.h"
#include "elidedlabel.h"
#include "filekinds.h"
#include "livereportmodel.h"
#include "userprompt.h"
#include "visiblerows.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableView>
#include <QTextStream>
#include <QVBoxLayout>

namespace {

void setUpTable(QTableView *table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
}

} // namespace

LiveReportPanel::LiveReportPanel(LiveReportModel *model, BoundSignalModel *bound, QWidget *parent)
    : QWidget(parent), model(model), view(new QTableView), boundView(new QTableView),
      status(new ElidedLabel(this)), stopButton(new QPushButton(tr("Stop"), this))
{
    setObjectName(QStringLiteral("liveReportPanel"));
    view->setObjectName(QStringLiteral("tableView_liveReports"));
    view->setModel(model);
    setUpTable(view);
    boundView->setObjectName(QStringLiteral("tableView_boundSignals"));
    boundView->setModel(bound);
    setUpTable(boundView);
    const int boundWidths[] = {150, 120, 90, 250};
    for (int column = 0; column < int(sizeof boundWidths / sizeof *boundWidths); ++column)
        boundView->setColumnWidth(column, boundWidths[column]);
    const int widths[] = {100, 250, 60, 300, 150, 120, 290, 110};
    for (int column = 0; column < int(sizeof widths / sizeof *widths); ++column)
        view->setColumnWidth(column, widths[column]);

    stopButton->setObjectName(QStringLiteral("pushButton_stopReports"));
    auto *copyButton = new QPushButton(tr("Copy"), this);
    copyButton->setObjectName(QStringLiteral("pushButton_copyReports"));
    auto *saveButton = new QPushButton(tr("Save CSV..."), this);
    saveButton->setObjectName(QStringLiteral("pushButton_saveReports"));
    status->setObjectName(QStringLiteral("label_liveReportStatus"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(stopButton);
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(boundView);
    splitter->addWidget(view);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({620, 980});
    layout->addWidget(splitter, 1);

    connect(stopButton, &QPushButton::clicked, this, &LiveReportPanel::stopRequested);
    connect(copyButton, &QPushButton::clicked, this, &LiveReportPanel::copyToClipboard);
    connect(saveButton, &QPushButton::clicked, this, &LiveReportPanel::saveCsv);
    // Follow the newest report unless the engineer scrolled away from it.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (view->selectionModel()->selectedRows().isEmpty())
            view->scrollToBottom();
    });
    VisibleRows::keep(view);
    VisibleRows::keep(boundView);
    setWatching(false);
}

void LiveReportPanel::setWatching(bool watching)
{
    stopButton->setEnabled(watching);
}

void LiveReportPanel::setStatus(const QString &text)
{
    status->setText(text);
}

QString LiveReportPanel::selectedCsv() const
{
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    const QString all = model->toCsv();
    if (selected.isEmpty())
        return all;
    // The header line and the chosen rows of the whole table, in table order.
    const QStringList lines = all.split(QLatin1Char('\n'));
    QList<int> rows;
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text = lines.value(0) + QLatin1Char('\n');
    for (int row : qAsConst(rows))
        text += lines.value(row + 1) + QLatin1Char('\n');
    return text;
}

void LiveReportPanel::copyToClipboard()
{
    QApplication::clipboard()->setText(selectedCsv());
}

bool LiveReportPanel::saveCsv()
{
    const QString path = UserPrompt::saveFileName(
        this, tr("Save Reports"), UserPrompt::startFile(QString(), tr("reports.csv")),
        FileKinds::csvFiles());
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << model->toCsv();
        out.flush();
        if (file.commit())
            return true;
    }
    UserPrompt::warning(this, QStringLiteral("Stationscope"),
                        tr("The reports could not be saved to %1.").arg(path));
    return false;
}
