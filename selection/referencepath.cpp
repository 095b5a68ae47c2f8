#include "referencepath.h"

#include "sclmodel.h"

#include <QStandardItem>

namespace {
// Nodes without a kind (branch and project roots) count as below the LN level.
int kindOf(const QStandardItem *node)
{
    bool ok = false;
    const int kind = node->data(KindRole).toInt(&ok);
    return ok ? kind : -1;
}
} // namespace

ReferencePath referencePath(const QStandardItem *item)
{
    ReferencePath result;
    // The branch root and the project root above it are not part of the path.
    for (const QStandardItem *node = item; node && node->parent() && node->parent()->parent();
         node = node->parent()) {
        const int kind = kindOf(node);
        if (kind == FunctionalConstraintKind) {
            result.constraint = FunctionalConstraintList().indexOf(node->text());
            continue;
        }
        result.path.prepend(node->text());
        const int parentKind = kindOf(node->parent());
        if (kind >= LogicalNodeKind)
            result.path.prepend(parentKind < LogicalNodeKind ? QLatin1Char('/') : QLatin1Char('.'));
    }
    // A leaf's text carries its constraint and bType in braces.
    result.path = nodeNamePart(result.path);
    return result;
}
