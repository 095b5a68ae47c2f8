#include "ciditemstree.h"

#include "userprompt.h"

#include <QContextMenuEvent>

CidItemsTree::CidItemsTree(QWidget *parent) : SelectedItemsTree(parent) {}

void CidItemsTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (isReadOnly() || !selectionModel())
        return;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    if (connectionsOnlyMenu && selected.first().parent().isValid())
        return;
    showDeleteMenu(event->globalPos());
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
