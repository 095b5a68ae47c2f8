#include "sclfindinglocator.h"

#include "sclmodel.h"

#include <QStandardItemModel>

namespace {

QStandardItem *childNamed(const QStandardItem *parent, const QString &text)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        QStandardItem *child = parent->child(row);
        if (child && child->text() == text)
            return child;
    }
    return nullptr;
}

// Data objects sit below a constraint node; names are matched without the
// "{FC,type}" of leaves.
QStandardItem *dataObjectPath(QStandardItem *ln, const QStringList &names)
{
    QStandardItem *best = nullptr;
    int bestDepth = 0;
    for (int row = 0; row < ln->rowCount(); ++row) {
        QStandardItem *node = ln->child(row);
        int depth = 0;
        for (const QString &name : names) {
            QStandardItem *next = nullptr;
            for (int at = 0; node && at < node->rowCount() && !next; ++at) {
                if (nodeNamePart(node->child(at)->text()) == name)
                    next = node->child(at);
            }
            if (!next)
                break;
            node = next;
            ++depth;
        }
        if (depth > bestDepth) {
            best = node;
            bestDepth = depth;
        }
    }
    return best;
}

} // namespace

QModelIndex locateSclFinding(const QStandardItemModel &model, const SclFinding &finding)
{
    QStandardItem *ied = model.item(0);
    if (!ied || finding.ied.isEmpty() || ied->text() != finding.ied ||
        !finding.reference.startsWith(finding.ied))
        return QModelIndex();
    const QString path = finding.reference.mid(finding.ied.size());
    const int slash = path.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return QModelIndex();
    const QString ldInst = path.left(slash);
    const QStringList names = path.mid(slash + 1).split(QLatin1Char('.'));
    const QString lnRef = finding.ied + ldInst + QLatin1Char('/') + names.first();
    auto logicalNode = [&](const QString &branch) {
        return childNamed(childNamed(childNamed(childNamed(ied, branch), finding.ied), ldInst),
                          names.first());
    };
    if (names.size() >= 2) {
        if (QStandardItem *ln = logicalNode(SclBranch::Reports)) {
            for (const QString &kind : {QStringLiteral(".BR."), QStringLiteral(".RP.")}) {
                if (QStandardItem *block = childNamed(ln, lnRef + kind + names.at(1)))
                    return block->index();
            }
        }
        if (QStandardItem *ln = logicalNode(SclBranch::DataSets)) {
            if (QStandardItem *dataSet = childNamed(ln, lnRef + QLatin1Char('.') + names.at(1)))
                return dataSet->index();
        }
    }
    QStandardItem *ln = logicalNode(SclBranch::DataObjects);
    if (!ln)
        return QModelIndex();
    QStandardItem *node = names.size() >= 2 ? dataObjectPath(ln, names.mid(1)) : nullptr;
    return (node ? node : ln)->index();
}
