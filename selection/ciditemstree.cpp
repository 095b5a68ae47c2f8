#include "ciditemstree.h"

#include "sclmodel.h"
#include "userprompt.h"

#include <QContextMenuEvent>
#include <QMenu>

#include <algorithm>

CidItemsTree::CidItemsTree(QWidget *parent) : SelectedItemsTree(parent) {}

QModelIndexList CidItemsTree::selectedNodes() const
{
    if (!selectionModel())
        return {};
    QModelIndexList nodes;
    for (const QModelIndex &index : selectionModel()->selectedIndexes()) {
        if (index.column() == 0)
            nodes.append(index);
    }
    // Rows as they stand in the tree, whatever order they were clicked in.
    auto path = [](QModelIndex index) {
        QList<int> rows;
        for (; index.isValid(); index = index.parent())
            rows.prepend(index.row());
        return rows;
    };
    std::sort(nodes.begin(), nodes.end(),
              [&path](const QModelIndex &a, const QModelIndex &b) { return path(a) < path(b); });
    return nodes;
}

void CidItemsTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (!selectionModel())
        return;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    QMenu menu(this);
    // Nodes below a branch of a project's model can be picked; the project
    // root, the branch roots and a browsed tree (logical devices on top)
    // cannot.
    const bool pickable = std::any_of(selected.cbegin(), selected.cend(), [](const QModelIndex &i) {
        QModelIndex top = i;
        while (top.parent().isValid())
            top = top.parent();
        return i.parent().isValid() && i.parent().parent().isValid() &&
               top.data(KindRole).toInt() == IedKind;
    });
    if (pickable) {
        connect(menu.addAction(tr("Pick Selected")), &QAction::triggered, this,
                &CidItemsTree::pickRequested);
    }
    if (!isReadOnly() && !(connectionsOnlyMenu && selected.first().parent().isValid())) {
        connect(menu.addAction(tr("Delete")), &QAction::triggered, this,
                &CidItemsTree::deleteSelectedItems);
    }
    emit contextMenuAboutToShow(&menu, indexAt(event->pos()));
    if (!menu.actions().isEmpty())
        UserPrompt::exec(&menu, event->globalPos());
}

void CidItemsTree::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        state() != EditingState && selectionModel() && selectionModel()->hasSelection()) {
        emit pickRequested();
        return;
    }
    SelectedItemsTree::keyPressEvent(event);
}

void CidItemsTree::deleteSelectedItems()
{
    if (isReadOnly() || !selectionModel() || selectionModel()->selectedIndexes().isEmpty())
        return;
    PromptMessage question;
    question.kind = PromptMessage::Question;
    question.parent = this;
    question.title = tr("Delete Confirmation");
    question.text = tr("Are you sure you want to delete the connection and all its objects?");
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    if (UserPrompt::current().message(question) != QMessageBox::Yes)
        return;

    QModelIndex top = selectionModel()->selectedIndexes().first();
    while (top.parent().isValid())
        top = top.parent();
    // The "Id" setting: column 1 of the first row under the first branch.
    const QModelIndex settings = model()->index(0, 0, top);
    const QModelIndex id = model()->index(0, 1, settings);
    emit connectionRemoved(id.data().toInt());
}
