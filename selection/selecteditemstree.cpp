#include "selecteditemstree.h"

#include "reportoptionsdialog.h"
#include "reportsettingsdialog.h"
#include "sclmodel.h"
#include "selecteditemsmodel.h"
#include "tagselector.h"
#include "trigtypedialog.h"
#include "userprompt.h"
#include "visiblerows.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMap>
#include <QMenu>
#include <QSet>

SelectedItemsTree::SelectedItemsTree(QWidget *parent) : QTreeView(parent)
{
    setAlternatingRowColors(true);
    resizeColumnToContents(0);
    columnSizing.setSingleShot(true);
    columnSizing.setInterval(0);
    connect(&columnSizing, &QTimer::timeout, this, &SelectedItemsTree::adjustFirstColumnSize);
    connect(this, &QTreeView::doubleClicked, this, &SelectedItemsTree::onItemDoubleClicked);
    connect(this, &QTreeView::expanded, this, &SelectedItemsTree::scheduleColumnSizing);
    connect(this, &QTreeView::collapsed, this, &SelectedItemsTree::scheduleColumnSizing);
}

void SelectedItemsTree::setModel(QAbstractItemModel *model)
{
    QTreeView::setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsInserted, this,
            &SelectedItemsTree::scheduleColumnSizing);
    if (auto *selectionModel = qobject_cast<SelectedItemsModel *>(model);
        selectionModel && disabledCellColor.isValid())
        selectionModel->setDisabledColor(disabledCellColor);
}

void SelectedItemsTree::setTagSelector(TagSelector *tagSelector)
{
    selector = tagSelector;
}

void SelectedItemsTree::setReadOnly(bool value)
{
    readOnly = value;
}

QString SelectedItemsTree::themeStyleSheet(const QColor &base, const QColor &second)
{
    const auto name = [](const QColor &color) {
        return color.name(QColor::HexArgb);
    };
    const QColor text = second.isValid() ? second : base.darker(170);
    const QString tree =
        QStringLiteral(
            "QHeaderView::section { background-color: %1; padding: 0px; border: 1px solid %2; "
            "font-size: 9pt; color: %7; }\n"
            "QTreeView { gridline-color: %3; font-size: 10pt; alternate-background-color: %4; "
            "background-color: %5; border: 1px solid %6; border-radius: 4px; }\n"
            "QTreeView::item { color: %7; }\n"
            "QTreeView::item:selected { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, "
            "stop: 0 %1, stop: 1 %5); color: %7; }\n"
            "QTreeView::item:disabled, QTreeView::item:selected:disabled { background: %7; "
            "color: %7; }\n")
            .arg(name(base), name(base.darker(150)), name(base.darker(125)),
                 name(base.lighter(170)), name(base.lighter(150)), name(base.lighter(170)),
                 name(text));
    const QString combo =
        QStringLiteral("QComboBox { border: 1px solid %1; background: %2; color: %1; }\n")
            .arg(name(base.darker(150)), name(base.lighter(150)));
    return tree + combo;
}

void SelectedItemsTree::applyTheme(const QColor &base, const QColor &second)
{
    setStyleSheet(themeStyleSheet(base, second));
    // Measured in the theme's font.
    ensurePolished();
    VisibleRows::keep(this);
    disabledCellColor = themeDisabledColor(base);
    if (auto *selectionModel = qobject_cast<SelectedItemsModel *>(model()))
        selectionModel->setDisabledColor(disabledCellColor);
}

template <typename Dialog, typename Value>
static bool editBitSet(QWidget *parent, QStandardItem *cell)
{
    Dialog dialog(parent);
    // A cell that holds no number opens with every box clear.
    dialog.setValue(Value(cell->text().toUInt()));
    if (UserPrompt::exec(&dialog) != QDialog::Accepted)
        return false;
    cell->setData(QString::number(dialog.value()), Qt::EditRole);
    return true;
}

void SelectedItemsTree::openEditor(QStandardItem *cell)
{
    if (!cell)
        return;
    const QString editor = cell->data(EditorRole).toString();
    if (editor == EditorKind::SignalSelect) {
        if (!selector)
            return;
        const QString tag = selector->selectTag();
        if (!tag.isEmpty())
            cell->setData(tag, Qt::EditRole);
    } else if (editor == EditorKind::TrigTypeDialog) {
        editBitSet<TrigTypeDialog, quint8>(this, cell);
    } else if (editor == EditorKind::ReportOptionsDialog) {
        editBitSet<ReportOptionsDialog, quint8>(this, cell);
    } else if (editor == EditorKind::ReportSettingsDialog) {
        editBitSet<ReportSettingsDialog, quint16>(this, cell);
    }
}

void SelectedItemsTree::onItemDoubleClicked(const QModelIndex &index)
{
    auto *itemModel = qobject_cast<SelectedItemsModel *>(model());
    if (!selector || !index.isValid() || !itemModel)
        return;
    openEditor(itemModel->itemFromIndex(index));
}

void SelectedItemsTree::adjustFirstColumnSize()
{
    columnSizing.stop();
    resizeColumnToContents(1);
    resizeColumnToContents(0);
    // Rows with icons are higher than a line of text.
    VisibleRows::keep(this);
}

void SelectedItemsTree::scheduleColumnSizing()
{
    columnSizing.start();
}

static bool opensOwnEditor(const QString &editorKind)
{
    return editorKind == EditorKind::SignalSelect || editorKind == EditorKind::TrigTypeDialog ||
           editorKind == EditorKind::ReportOptionsDialog ||
           editorKind == EditorKind::ReportSettingsDialog;
}

bool SelectedItemsTree::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (index.isValid() && opensOwnEditor(index.data(EditorRole).toString())) {
        // F2 opens the selector or dialog, as a double-click does.
        if (trigger == EditKeyPressed)
            onItemDoubleClicked(index);
        return false;
    }
    return QTreeView::edit(index, trigger, event);
}

void SelectedItemsTree::deleteSelectedItems()
{
    auto *itemModel = qobject_cast<SelectedItemsModel *>(model());
    if (readOnly || !itemModel || !selectionModel())
        return;
    // Rows by parent, without repeats; removing from the highest row down keeps
    // the lower row numbers valid.
    QMap<QPersistentModelIndex, QSet<int>> rowsByParent;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rowsByParent[QPersistentModelIndex(index.parent())].insert(index.row());
    for (auto it = rowsByParent.cbegin(); it != rowsByParent.cend(); ++it) {
        QList<int> rows = it.value().values();
        std::sort(rows.begin(), rows.end(), std::greater<int>());
        for (int row : rows)
            itemModel->removeNode(row, it.key());
    }
}

void SelectedItemsTree::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && !readOnly) {
        deleteSelectedItems();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void SelectedItemsTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (readOnly)
        return;
    showDeleteMenu(event->globalPos());
}

void SelectedItemsTree::showDeleteMenu(const QPoint &globalPos)
{
    QMenu menu(this);
    QAction *remove = menu.addAction(tr("Delete"));
    connect(remove, &QAction::triggered, this, &SelectedItemsTree::deleteSelectedItems);
    emit contextMenuAboutToShow(&menu, indexAt(viewport()->mapFromGlobal(globalPos)));
    UserPrompt::exec(&menu, globalPos);
}
