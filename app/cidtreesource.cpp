#include "cidtreesource.h"

#include "ciditemstree.h"
#include "sclmodel.h"
#include "selecteditemsmodel.h"
#include "treeviewcontainer.h"

#include <QPushButton>

CidTreeSource::CidTreeSource(TreeviewContainer *trees, SelectedItemsModel *document,
                             SelectedItemsModel *online, QObject *parent)
    : QObject(parent), trees(trees), document(document), online(online)
{
    connect(document, &QAbstractItemModel::modelAboutToBeReset, this,
            &CidTreeSource::documentAboutToChange);
    auto topLevel = [this](const QModelIndex &parent) {
        if (!parent.isValid())
            refresh();
    };
    connect(document, &QAbstractItemModel::rowsInserted, this, topLevel);
    connect(document, &QAbstractItemModel::rowsRemoved, this, topLevel);
    connect(document, &QAbstractItemModel::modelReset, this, &CidTreeSource::refresh);
    connect(document, &QAbstractItemModel::dataChanged, this,
            [topLevel](const QModelIndex &topLeft) { topLevel(topLeft.parent()); });
}

void CidTreeSource::setDocumentButton(QPushButton *button)
{
    documentButton = button;
    documentButton->hide();
    connect(documentButton, &QPushButton::clicked, this, &CidTreeSource::showDocument);
}

bool CidTreeSource::showsOnline() const
{
    return trees->cidTree()->model() == online;
}

void CidTreeSource::showOnline(const QString &address)
{
    onlineAddress = address;
    trees->setSclModel(online);
    refresh();
}

void CidTreeSource::showDocument()
{
    trees->setSclModel(document);
    refresh();
}

void CidTreeSource::documentAboutToChange()
{
    if (showsOnline())
        showDocument();
}

QString CidTreeSource::documentTitle(const SelectedItemsModel *document)
{
    const QStandardItem *root = document->item(0);
    if (!root)
        return TreeviewContainer::tr("No CID selected");
    return QStringLiteral("%1 (id:%2)").arg(root->text()).arg(root->data(ConnectionIdRole).toInt());
}

void CidTreeSource::refresh()
{
    // A detached tree (a New project parses so) gets the document back.
    trees->setCidTitle(showsOnline() ? tr("%1 (online)").arg(onlineAddress)
                                     : documentTitle(document));
    if (documentButton)
        documentButton->setVisible(showsOnline() && document->rowCount() > 0);
}
