#include "commissioningpanel.h"

#include "commissioningfilter.h"
#include "commissioningrecord.h"
#include "elidedlabel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *made = new QPushButton(text, parent);
    made->setObjectName(QLatin1String(name));
    made->setAutoDefault(false);
    return made;
}

} // namespace

const QString CommissioningPanel::SortColumnKey = QStringLiteral("commissioningSortColumn");
const QString CommissioningPanel::SortOrderKey = QStringLiteral("commissioningSortOrder");

CommissioningPanel::CommissioningPanel(CommissioningRecord *record, QWidget *parent)
    : QWidget(parent), record(record), rowFilter(new CommissioningFilter(this)),
      view(new QTableView(this)), status(new ElidedLabel(this)), summary(new QLabel(this)),
      interval(new QDoubleSpinBox(this)),
      startButton(button(tr("Start"), "pushButton_startCommissioning", this)),
      stopButton(button(tr("Stop"), "pushButton_stopCommissioning", this)),
      note(new QLineEdit(this)), passedButton(button(tr("Passed"), "pushButton_passed", this)),
      failedButton(button(tr("Failed"), "pushButton_failed", this)),
      notTestedButton(button(tr("Not tested"), "pushButton_notTested", this)),
      controlButton(button(tr("Test control..."), "pushButton_testControl", this))
{
    setObjectName(QStringLiteral("commissioningPanel"));
    rowFilter->setSourceModel(record);
    view->setObjectName(QStringLiteral("tableView_commissioning"));
    view->setModel(rowFilter);
    view->setSortingEnabled(true);
    // The sort the tester chose last, shown and applied alike.
    const QSettings settings;
    view->sortByColumn(settings.value(SortColumnKey, -1).toInt(),
                       Qt::SortOrder(settings.value(SortOrderKey, Qt::AscendingOrder).toInt()));
    connect(view->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [](int column, Qt::SortOrder order) {
                QSettings settings;
                settings.setValue(SortColumnKey, column);
                settings.setValue(SortOrderKey, int(order));
            });
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setWordWrap(false);
    view->setMinimumHeight(80);
    view->installEventFilter(this);
    view->setToolTip(tr("Space marks the selected rows that changed with good quality "
                        "\"Passed\""));

    status->setObjectName(QStringLiteral("label_commissioningStatus"));
    summary->setObjectName(QStringLiteral("label_commissioningSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    interval->setObjectName(QStringLiteral("spinBox_pollInterval"));
    interval->setRange(0.0, 3600.0);
    interval->setDecimals(1);
    interval->setSingleStep(0.5);
    interval->setSuffix(tr(" s"));
    interval->setToolTip(tr("The pause between two rounds of reads of the signals that come "
                            "only by read"));
    auto *exportButton = button(tr("Export Record..."), "pushButton_exportRecord", this);

    auto *words = new QLineEdit(this);
    words->setObjectName(QStringLiteral("lineEdit_commissioningFilter"));
    words->setPlaceholderText(tr("Filter rows"));
    words->setClearButtonEnabled(true);
    auto *show = new QComboBox(this);
    show->setObjectName(QStringLiteral("comboBox_commissioningShow"));
    show->addItems(CommissioningFilter::showTexts());
    note->setObjectName(QStringLiteral("lineEdit_verdictNote"));
    note->setPlaceholderText(tr("Note (optional)"));

    auto *session = new QHBoxLayout;
    session->addWidget(status, 1);
    session->addWidget(new QLabel(tr("Poll every"), this));
    session->addWidget(interval);
    session->addWidget(startButton);
    session->addWidget(stopButton);
    session->addWidget(exportButton);
    auto *filtering = new QHBoxLayout;
    filtering->addWidget(words, 1);
    filtering->addWidget(show);
    auto *verdicts = new QHBoxLayout;
    verdicts->addWidget(note, 1);
    for (QPushButton *verdictButton : {passedButton, failedButton, notTestedButton, controlButton})
        verdicts->addWidget(verdictButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(session);
    layout->addLayout(filtering);
    layout->addWidget(view, 1);
    layout->addLayout(verdicts);
    layout->addWidget(summary);

    connect(startButton, &QPushButton::clicked, this, &CommissioningPanel::startRequested);
    connect(stopButton, &QPushButton::clicked, this, &CommissioningPanel::stopRequested);
    connect(exportButton, &QPushButton::clicked, this, &CommissioningPanel::exportRequested);
    connect(interval, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            [this] { emit pollIntervalChanged(pollIntervalMs()); });
    connect(words, &QLineEdit::textChanged, rowFilter, &CommissioningFilter::setWords);
    connect(show, QOverload<int>::of(&QComboBox::currentIndexChanged), rowFilter,
            [this](int index) { rowFilter->setShow(CommissioningFilter::Show(index)); });
    connect(passedButton, &QPushButton::clicked, this,
            [this] { requestVerdict(CommissioningRecord::Passed); });
    connect(failedButton, &QPushButton::clicked, this,
            [this] { requestVerdict(CommissioningRecord::Failed); });
    connect(notTestedButton, &QPushButton::clicked, this,
            [this] { requestVerdict(CommissioningRecord::NotTested); });
    connect(controlButton, &QPushButton::clicked, this, [this] {
        const QVector<int> rows = selectedRows();
        if (rows.size() == 1)
            emit testControlRequested(rows.first());
    });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CommissioningPanel::updateSelectionButtons);
    // The note field shows the note of the row the tester selected.
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CommissioningPanel::showNoteOfSelection);
    connect(record, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                if (noteRow >= from.row() && noteRow <= to.row() && !noteEdited())
                    showNoteOfSelection();
            });
    connect(record, &QAbstractItemModel::modelReset, this, [this] {
        rowFilter->refresh();
        showNoteOfSelection();
    });
    // Values arrive many times a second: the summary follows once per burst.
    connect(record, &QAbstractItemModel::modelReset, this, &CommissioningPanel::updateSummary);
    connect(record, &CommissioningRecord::propertiesChanged, this,
            &CommissioningPanel::updateSummary);
    connect(record, &QAbstractItemModel::dataChanged, this, [this] {
        if (summaryDue)
            return;
        summaryDue = true;
        QTimer::singleShot(0, this, &CommissioningPanel::updateSummary);
    });
    connect(record, &QAbstractItemModel::dataChanged, this,
            &CommissioningPanel::updateSelectionButtons);
    connect(record, &QAbstractItemModel::modelReset, this,
            &CommissioningPanel::updateSelectionButtons);

    const int widths[] = {150, 60, 70, 60, 240, 40, 110, 70, 200, 80, 90, 90, 90, 170, 60};
    for (int column = 0; column < int(sizeof widths / sizeof *widths); ++column)
        view->setColumnWidth(column, widths[column]);
    // The verdict beside the signal: the tester sees it without scrolling.
    view->horizontalHeader()->moveSection(CommissioningRecord::VerdictColumn, 1);
    view->setColumnWidth(CommissioningRecord::VerdictColumn, 80);
    setRunning(false);
    updateSummary();
    updateSelectionButtons();
}

QVector<int> CommissioningPanel::selectedRows() const
{
    QModelIndexList selected = view->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QVector<int> rows;
    for (const QModelIndex &index : qAsConst(selected))
        rows.append(rowFilter->mapToSource(index).row());
    return rows;
}

void CommissioningPanel::selectRow(int recordRow)
{
    const QModelIndex shown = rowFilter->mapFromSource(record->index(recordRow, 0));
    if (shown.isValid())
        view->selectRow(shown.row());
}

int CommissioningPanel::pollIntervalMs() const
{
    return qRound(interval->value() * 1000);
}

void CommissioningPanel::setPollIntervalMs(int ms)
{
    interval->setValue(ms / 1000.0);
}

void CommissioningPanel::setRunning(bool running)
{
    // Start goes grey under the tester's hand: the table, where Space passes rows, takes the keys.
    if (running && startButton->hasFocus())
        view->setFocus();
    startButton->setEnabled(!running);
    stopButton->setEnabled(running);
    interval->setEnabled(!running);
}

void CommissioningPanel::setStatus(const QString &text)
{
    status->setText(text);
}

QString CommissioningPanel::statusText() const
{
    return status->text();
}

QString CommissioningPanel::summaryText() const
{
    return summary->text();
}

bool CommissioningPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space &&
        static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        const QVector<int> rows = selectedRows();
        if (!rows.isEmpty())
            emit passRequested(rows);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CommissioningPanel::requestVerdict(int verdict)
{
    const QVector<int> rows = selectedRows();
    if (!rows.isEmpty())
        emit verdictRequested(rows, verdict, note->text().trimmed(), noteEdited());
    showNoteOfSelection();
}

void CommissioningPanel::showNoteOfSelection()
{
    const QVector<int> rows = selectedRows();
    noteRow = rows.isEmpty() ? -1 : rows.first();
    shownNote = noteRow < 0 ? QString() : record->observation(noteRow).note;
    note->setText(shownNote);
}

bool CommissioningPanel::noteEdited() const
{
    return note->text().trimmed() != shownNote.trimmed();
}

void CommissioningPanel::updateSelectionButtons()
{
    const QVector<int> rows = selectedRows();
    for (QPushButton *verdictButton : {passedButton, failedButton, notTestedButton})
        verdictButton->setEnabled(!rows.isEmpty());
    controlButton->setEnabled(rows.size() == 1 && record->point(rows.first()).direction ==
                                                      CommissioningPoint::Direction::Command);
}

void CommissioningPanel::updateSummary()
{
    summaryDue = false;
    summary->setText(record->rowCount() == 0
                         ? tr("No record: open a project with bound signals.")
                         : record->summary().lines().join(QStringLiteral(" · ")));
}
