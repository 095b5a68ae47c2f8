#include "filterfield.h"

#include "stationscoperesources.h"
#include "treefiltermodel.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

FilterField::FilterField(QWidget *parent)
    : QWidget(parent), edit(new QLineEdit(this)), clearButton(new QToolButton(this)),
      count(new QLabel(this)), selectAll(new QToolButton(this)), engine(new TreeFilterModel(this))
{
    initStationscopeResources();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    edit->setObjectName(QStringLiteral("lineEdit_filter"));
    edit->setPlaceholderText(tr("Filter (Ctrl+F)"));
    edit->setToolTip(
        tr("Text or regular expression, with fc:ST, ln:XCBR or ld:CTRL to narrow it down.\n"
           "Enter or F3: next match, Shift+F3: previous match, Esc: clear."));
    clearButton->setObjectName(QStringLiteral("toolButton_clearFilter"));
    clearButton->setIcon(QIcon(QStringLiteral(":/images/clean_pane_small.png")));
    clearButton->setToolTip(tr("Clear the filter (Esc)"));
    count->setObjectName(QStringLiteral("label_filterCount"));
    selectAll->setObjectName(QStringLiteral("toolButton_selectMatches"));
    selectAll->setText(tr("Select all"));
    selectAll->setToolTip(tr("Select all matches"));
    selectAll->setVisible(false);
    layout->addWidget(edit, 1);
    layout->addWidget(clearButton);
    layout->addWidget(count);
    layout->addWidget(selectAll);

    debounce.setSingleShot(true);
    debounce.setInterval(DebounceMs);
    connect(&debounce, &QTimer::timeout, this, &FilterField::applyNow);
    connect(edit, &QLineEdit::textChanged, this, [this] {
        cursor = -1;
        schedule();
    });
    connect(clearButton, &QToolButton::clicked, this, &FilterField::clear);
    connect(selectAll, &QToolButton::clicked, this, &FilterField::selectAllMatches);
    edit->installEventFilter(this);
}

FilterField::~FilterField() = default;

void FilterField::setView(QTreeView *view)
{
    if (target)
        target->removeEventFilter(this);
    unhideRows();
    target = view;
    if (target)
        target->installEventFilter(this);
    attachModel();
}

void FilterField::setMatchAllColumns(bool all)
{
    engine->setMatchAllColumns(all);
    schedule();
}

void FilterField::setSelectAllVisible(bool visible)
{
    selectAll->setVisible(visible);
}

void FilterField::setText(const QString &text)
{
    edit->setText(text);
}

void FilterField::clear()
{
    edit->clear();
    applyNow();
}

void FilterField::focusField()
{
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
}

void FilterField::schedule()
{
    debounce.start();
}

void FilterField::attachModel()
{
    QAbstractItemModel *model = target ? target->model() : nullptr;
    if (engine->sourceModel() == model)
        return;
    if (QAbstractItemModel *old = engine->sourceModel())
        disconnect(old, nullptr, this, nullptr);
    hiddenRows.clear();
    engine->setSourceModel(model);
    if (!model)
        return;
    // Rows that arrive or change are filtered again once the burst is over.
    auto follow = [this] {
        if (engine->isActive())
            schedule();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(model, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(model, &QAbstractItemModel::dataChanged, this, follow);
    connect(model, &QAbstractItemModel::modelReset, this, follow);
    connect(model, &QAbstractItemModel::layoutChanged, this, follow);
}

void FilterField::applyNow()
{
    debounce.stop();
    attachModel();
    engine->setQuery(edit->text());
    unhideRows();
    const bool valid = engine->isQueryValid();
    edit->setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { color: #c62828; }"));
    edit->setToolTip(valid ? QString()
                           : tr("Invalid regular expression: %1").arg(engine->queryErrorString()));
    int found = 0;
    if (target && engine->sourceModel() && engine->isActive() && valid) {
        hideRows();
        found = engine->matches().size();
    }
    count->setText(countText());
    emit applied(found);
}

void FilterField::unhideRows()
{
    if (target) {
        for (const QPersistentModelIndex &row : qAsConst(hiddenRows)) {
            if (row.isValid() && row.model() == target->model())
                target->setRowHidden(row.row(), row.parent(), false);
        }
    }
    hiddenRows.clear();
}

void FilterField::hideRows()
{
    const QAbstractItemModel *model = engine->sourceModel();
    // Only the children of nodes that lead to a match need a look: below a
    // hidden node nothing shows, below a match everything does.
    QList<QModelIndex> open{QModelIndex()};
    while (!open.isEmpty()) {
        const QModelIndex parent = open.takeLast();
        const int rows = model->rowCount(parent);
        for (int row = 0; row < rows; ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            const bool match = engine->isMatch(index);
            const bool leads = engine->hasMatchBelow(index);
            if (!match && !leads) {
                target->setRowHidden(row, parent, true);
                hiddenRows.append(QPersistentModelIndex(index));
                continue;
            }
            if (leads) {
                target->expand(index);
                if (!match)
                    open.append(index);
            }
        }
    }
}

QString FilterField::countText() const
{
    if (!engine->isQueryValid())
        return tr("Invalid expression");
    if (!engine->isActive())
        return QString();
    const int found = engine->matches().size();
    if (found == 0)
        return tr("No match");
    if (cursor >= 0 && cursor < found)
        return tr("%1 of %2").arg(cursor + 1).arg(found);
    return found == 1 ? tr("1 match") : tr("%1 matches").arg(found);
}

void FilterField::showMatch(int step)
{
    if (debounce.isActive())
        applyNow();
    if (!target || !engine->isActive() || !engine->isQueryValid())
        return;
    const QModelIndexList found = engine->matches();
    if (found.isEmpty())
        return;
    const int size = found.size();
    if (cursor < 0 || cursor >= size)
        cursor = step > 0 ? 0 : size - 1;
    else
        cursor = (cursor + step + size) % size;
    const QModelIndex index = found.at(cursor);
    target->setCurrentIndex(index);
    target->scrollTo(index, QAbstractItemView::PositionAtCenter);
    count->setText(countText());
}

void FilterField::nextMatch()
{
    showMatch(1);
}

void FilterField::previousMatch()
{
    showMatch(-1);
}

void FilterField::selectAllMatches()
{
    if (debounce.isActive())
        applyNow();
    if (!target || !target->selectionModel() || !engine->isActive() || !engine->isQueryValid())
        return;
    const QModelIndexList found = engine->matches();
    QItemSelection selection;
    for (const QModelIndex &index : found)
        selection.append(QItemSelectionRange(index));
    target->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    if (!found.isEmpty()) {
        target->selectionModel()->setCurrentIndex(found.first(), QItemSelectionModel::NoUpdate);
        target->scrollTo(found.first());
        // Enter in the field would step to the next match and drop the
        // selection; in the view it acts on the selection (picks, in the CID tree).
        target->setFocus(Qt::OtherFocusReason);
    }
}

bool FilterField::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_F3) {
        if (key->modifiers() & Qt::ShiftModifier)
            previousMatch();
        else
            nextMatch();
        return true;
    }
    if (watched == edit) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            nextMatch();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            clear();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
