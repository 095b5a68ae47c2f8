#include "controltestcontroller.h"

#include "controltestdialog.h"
#include "controltestsession.h"
#include "objectreadcontroller.h"
#include "onlinecontroller.h"
#include "sclmodel.h"
#include "selecteditemstree.h"
#include "treeviewcontainer.h"

#include <QAbstractProxyModel>
#include <QMainWindow>
#include <QMenu>
#include <QStandardItemModel>

ControlTestController::ControlTestController(OnlineController *online)
    : QObject(online), online(online)
{
    const OnlineWindowParts &parts = online->windowParts();
    for (SelectedItemsTree *tree : parts.trees->findChildren<SelectedItemsTree *>()) {
        connect(tree, &SelectedItemsTree::contextMenuAboutToShow, this,
                &ControlTestController::addActions, Qt::DirectConnection);
    }
}

QString ControlTestController::controlReference(const QStandardItem *item)
{
    if (!item || item->data(KindRole).toInt() != DataObjectKind)
        return QString();
    // A pick of the Data Objects selection is named by its reference.
    if (!item->parent())
        return item->data(GroupRole).toString() == QLatin1String("CO") ? item->text() : QString();
    // A browsed data object reads once per constraint of its attributes.
    for (const ObjectRead &read : ObjectReadController::readsFor(item)) {
        if (read.fc == QLatin1String("CO"))
            return read.reference;
    }
    return QString();
}

QString ControlTestController::controlObject(const QString &reference)
{
    const int slash = reference.indexOf(QLatin1Char('/'));
    QStringList parts = reference.mid(slash + 1).split(QLatin1Char('.'));
    // LN, DO and at least one service structure after them.
    for (int i = 2; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part == QLatin1String("Oper") || part == QLatin1String("SBOw") ||
            part == QLatin1String("SBO") || part == QLatin1String("Cancel")) {
            parts = parts.mid(0, i);
            return reference.left(slash + 1) + parts.join(QLatin1Char('.'));
        }
    }
    return reference;
}

void ControlTestController::addActions(QMenu *menu, const QModelIndex &index)
{
    QModelIndex source = index;
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(source.model()))
        source = proxy->mapToSource(source);
    const auto *model = qobject_cast<const QStandardItemModel *>(source.model());
    if (!model)
        return;
    const QString reference =
        controlReference(model->itemFromIndex(source.sibling(source.row(), 0)));
    if (reference.isEmpty())
        return;
    menu->addSeparator();
    connect(menu->addAction(tr("Test control...")), &QAction::triggered, this,
            [this, reference] { openDialog(reference); });
}

ControlTestDialog *ControlTestController::openDialog(const QString &command)
{
    const QString reference = controlObject(command);
    const OnlineWindowParts &parts = online->windowParts();
    if (!online->hasAddress())
        return nullptr;
    const QString host = online->host();
    const int port = online->port();
    auto *dialog =
        new ControlTestDialog(reference, ControlTestSession::address(host, port), parts.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    new ControlTestSession(dialog, host, port, reference, &confirmedAddresses);
    dialog->show();
    return dialog;
}
