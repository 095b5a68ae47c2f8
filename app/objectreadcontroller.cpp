#include "objectreadcontroller.h"

#include "ciditemstree.h"
#include "enumerationnames.h"
#include "livevalues.h"
#include "objectreference.h"
#include "onlinecontroller.h"
#include "onlinesession.h"
#include "referencepath.h"
#include "sclmodel.h"
#include "selecteditemsmodel.h"
#include "treeviewcontainer.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>

namespace {

constexpr int StatusMessageMs = 10000;

// A browsed row's text is its reference, constraints in brackets:
// "LD/LN.DO.mag.f[MX]".
bool parseBrowsed(const QStandardItem *item, ObjectReference *reference)
{
    return ObjectReference::parse(item->text(), reference) && !reference->path.isEmpty();
}

QString plainReference(const ObjectReference &reference)
{
    return reference.logicalDevice + QLatin1Char('/') + reference.logicalNode + QLatin1Char('.') +
           reference.path.join(QLatin1Char('.'));
}

QString browsedName(const QStandardItem *item)
{
    ObjectReference reference;
    return parseBrowsed(item, &reference) ? reference.path.last() : QString();
}

QString browsedFc(const QStandardItem *item)
{
    ObjectReference reference;
    return parseBrowsed(item, &reference) ? reference.fc : QString();
}

QString sclName(const QStandardItem *item)
{
    return nodeNamePart(item->text());
}

QString noFc(const QStandardItem *)
{
    return QString();
}

} // namespace

ObjectReadController::ObjectReadController(OnlineController *controller)
    : QObject(controller), controller(controller)
{
    connect(controller->session()->worker(), &OnlineWorker::objectsRead, this,
            &ObjectReadController::onObjectsRead);
    const OnlineWindowParts &parts = controller->windowParts();
    for (QLineEdit *field : {parts.host, parts.port})
        connect(field, &QLineEdit::textChanged, this, &ObjectReadController::clearValues);
}

QStandardItemModel *ObjectReadController::shownModel() const
{
    return qobject_cast<QStandardItemModel *>(controller->windowParts().trees->cidTree()->model());
}

void ObjectReadController::clearValues()
{
    target = QPersistentModelIndex();
    const OnlineWindowParts &parts = controller->windowParts();
    LiveValues::clearReadValues(parts.scl);
    LiveValues::clearReadValues(parts.onlineTree);
}

bool ObjectReadController::isBrowsedNode(const QStandardItem *item)
{
    const QStandardItem *top = item;
    while (top->parent())
        top = top->parent();
    return top->data(KindRole).toInt() != IedKind;
}

QVector<ObjectRead> ObjectReadController::readsFor(const QStandardItem *item)
{
    QVector<ObjectRead> reads;
    const int kind = item ? item->data(KindRole).toInt() : -1;
    if (kind != DataObjectKind && kind != DataAttributeKind)
        return reads;
    if (!isBrowsedNode(item)) {
        const ReferencePath path = referencePath(item);
        if (path.constraint >= 0 && !path.path.isEmpty())
            reads.append({path.path, FunctionalConstraintList().at(path.constraint)});
        return reads;
    }
    ObjectReference reference;
    if (!parseBrowsed(item, &reference))
        return reads;
    if (!reference.fc.isEmpty()) {
        reads.append({plainReference(reference), reference.fc});
        return reads;
    }
    // A data object without a constraint of its own: one read per constraint
    // of its attributes.
    QStringList constraints;
    for (int row = 0; row < item->rowCount(); ++row) {
        const QString fc = browsedFc(item->child(row));
        if (!fc.isEmpty() && !constraints.contains(fc))
            constraints << fc;
    }
    for (const QString &fc : qAsConst(constraints))
        reads.append({plainReference(reference), fc});
    return reads;
}

void ObjectReadController::readSelected()
{
    const OnlineWindowParts &parts = controller->windowParts();
    const QModelIndex current = parts.trees->cidTree()->currentIndex();
    QStandardItemModel *model = shownModel();
    QStandardItem *item = current.isValid() && model
                              ? model->itemFromIndex(current.sibling(current.row(), 0))
                              : nullptr;
    const QVector<ObjectRead> reads = readsFor(item);
    if (reads.isEmpty()) {
        parts.statusBar->showMessage(
            tr("Select a data object or data attribute in the CID tree to read it."),
            StatusMessageMs);
        return;
    }
    if (!controller->hasAddress())
        return;
    target = QPersistentModelIndex(item->index());
    if (!controller->session()->readObjects(controller->host(), controller->port(), reads))
        target = QPersistentModelIndex();
}

void ObjectReadController::onObjectsRead(const QVector<ObjectReadResult> &results)
{
    const QPersistentModelIndex index = target;
    target = QPersistentModelIndex();
    const OnlineWindowParts &parts = controller->windowParts();
    QStandardItemModel *model = shownModel();
    // The tree may show the other model by now: nothing to write into.
    QStandardItem *item = index.isValid() && model ? model->itemFromIndex(index) : nullptr;
    if (!item)
        return;
    if (!model->horizontalHeaderItem(LiveValues::ValueColumn))
        model->setHorizontalHeaderItem(LiveValues::ValueColumn, new QStandardItem(tr("Value")));
    const bool browsed = isBrowsedNode(item);
    const LiveValues::NameOf nameOf = browsed ? LiveValues::NameOf(browsedName) : sclName;
    const LiveValues::NameOf fcOf = browsed ? LiveValues::NameOf(browsedFc) : noFc;
    for (const ObjectReadResult &result : results) {
        if (result.error != IedClientError::Ok) {
            LiveValues::setValueText(item, tr("Error: %1").arg(iedClientErrorName(result.error)));
            continue;
        }
        LiveValues::fill(
            item, result.value, result.type, result.request.fc, nameOf, fcOf,
            EnumerationNames::pathNames(result.request.reference).join(QLatin1Char('.')));
    }
    // The tree's first column is sized to its texts: bring the values into view.
    CidItemsTree *tree = parts.trees->cidTree();
    tree->expand(index);
    tree->resizeColumnToContents(LiveValues::ValueColumn);
    const int valueStart = tree->header()->sectionPosition(LiveValues::ValueColumn);
    const int half = tree->viewport()->width() / 2;
    if (valueStart > half)
        tree->horizontalScrollBar()->setValue(valueStart - half);
}
