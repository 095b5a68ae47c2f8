#include "olderprojectvalues.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "referencepath.h"
#include "sclmodel.h"

#include <QHash>
#include <QMultiHash>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

const QList<int> CopiedRoles{BTypeRole, MmsTypeRole, CtlModelRole};

int kindOf(const QStandardItem *node)
{
    bool ok = false;
    const int kind = node->data(KindRole).toInt(&ok);
    return ok ? kind : -1;
}

// The DataObjects branch by the reference texts data set members carry: an
// attribute as "IEDLD/LN.DO.DA[FC]", a data object as "IEDLD/LN.DO".
struct DataObjectIndex
{
    QHash<QString, const QStandardItem *> attributes;
    QMultiHash<QString, const QStandardItem *> dataObjects;

    void add(const QStandardItem *node)
    {
        if (kindOf(node) == DataObjectKind || kindOf(node) == DataAttributeKind) {
            const ReferencePath reference = referencePath(node);
            const QString constraint = FunctionalConstraintList().value(reference.constraint);
            attributes.insert(reference.path + QLatin1Char('[') + constraint + QLatin1Char(']'),
                              node);
            if (kindOf(node) == DataObjectKind)
                dataObjects.insert(reference.path, node);
        }
        for (int row = 0; row < node->rowCount(); ++row)
            add(node->child(row));
    }
};

// The same texts at every level below: sub data objects have the same names
// under every constraint, only the leaves name theirs.
bool sameSubtree(const QStandardItem *a, const QStandardItem *b)
{
    if (a->rowCount() != b->rowCount())
        return false;
    for (int row = 0; row < a->rowCount(); ++row) {
        if (!a->child(row) || !b->child(row) || a->child(row)->text() != b->child(row)->text() ||
            !sameSubtree(a->child(row), b->child(row)))
            return false;
    }
    return true;
}

void copyMissingRoles(const QStandardItem *source, QStandardItem *member)
{
    for (int role : CopiedRoles) {
        if (!member->data(role).isValid() && source->data(role).isValid())
            member->setData(source->data(role), role);
    }
    for (int row = 0; row < member->rowCount() && row < source->rowCount(); ++row) {
        if (member->child(row) && source->child(row))
            copyMissingRoles(source->child(row), member->child(row));
    }
}

void deriveMember(const DataObjectIndex &index, QStandardItem *member)
{
    if (member->data(MmsTypeRole).isValid())
        return;
    if (kindOf(member) == DataAttributeKind) {
        const QStandardItem *source = index.attributes.value(member->text());
        if (!source)
            return;
        if (kindOf(source) == DataAttributeKind) {
            copyMissingRoles(source, member);
        } else {
            // A member naming a structured attribute is read as the structure.
            member->setData(QStringLiteral("Struct"), BTypeRole);
            member->setData(int(MmsStructure), MmsTypeRole);
        }
        return;
    }
    // The member's text lacks the constraint; the copied subtree's leaf texts
    // carry it, so the candidate with the same subtree is the copied one.
    for (const QStandardItem *candidate : index.dataObjects.values(member->text())) {

        if (sameSubtree(candidate, member)) {
            copyMissingRoles(candidate, member);
            return;
        }
    }
}

void deriveBelow(const DataObjectIndex &index, QStandardItem *node)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        QStandardItem *child = node->child(row);
        if (!child)
            continue;
        if (kindOf(node) == DataSetKind)
            deriveMember(index, child);
        else
            deriveBelow(index, child);
    }
}

bool lacksIndexing(const QStandardItem *node)
{
    const int kind = kindOf(node);
    if ((kind == UnbufferedReportKind || kind == BufferedReportKind) &&
        !node->data(IndexedRole).isValid())
        return true;
    for (int row = 0; row < node->rowCount(); ++row) {
        if (node->child(row) && lacksIndexing(node->child(row)))
            return true;
    }
    return false;
}

void setIndexing(QStandardItem *node, const QHash<QString, QPair<bool, int>> &picked)
{
    const int kind = kindOf(node);
    if ((kind == UnbufferedReportKind || kind == BufferedReportKind) &&
        !node->data(IndexedRole).isValid() && picked.contains(node->text())) {
        node->setData(picked.value(node->text()).first, IndexedRole);
        node->setData(picked.value(node->text()).second, MaxIndexRole);
    }
    for (int row = 0; row < node->rowCount(); ++row) {
        if (node->child(row))
            setIndexing(node->child(row), picked);
    }
}

bool isArray(const QStandardItem *node)
{
    const QStandardItem *first = node->child(0);
    return first && first->text().startsWith(QLatin1Char('['));
}

} // namespace

void deriveStructureTypes(QStandardItem *branch)
{
    if (!branch)
        return;
    for (int row = 0; row < branch->rowCount(); ++row) {
        QStandardItem *node = branch->child(row);
        if (!node)
            continue;
        const QVariant type = node->data(MmsTypeRole);
        if (kindOf(node) == DataObjectKind && (!type.isValid() || type.toInt() == MmsArray)) {
            if (node->rowCount() > 0)
                node->setData(int(isArray(node) ? MmsArray : MmsStructure), MmsTypeRole);
            else if (kindOf(branch) == DataAttributeKind && branch->data(MmsTypeRole).isValid())
                node->setData(branch->data(MmsTypeRole), MmsTypeRole);
        }
        deriveStructureTypes(node);
    }
}

void deriveStructureTypeCells(QStandardItem *selectionRoot, int column)
{
    if (!selectionRoot)
        return;
    static const QString arrayName = valueListName(ValueList::MmsType, MmsArray);
    static const QString structureName = valueListName(ValueList::MmsType, MmsStructure);
    for (int row = 0; row < selectionRoot->rowCount(); ++row) {
        QStandardItem *node = selectionRoot->child(row, 0);
        QStandardItem *cell = selectionRoot->child(row, column);
        if (!node)
            continue;
        if (cell && cell->isEnabled() && kindOf(node) == DataObjectKind) {
            if (node->rowCount() > 0) {
                const bool array = isArray(node);
                if (cell->text().isEmpty() || (!array && cell->text() == arrayName))
                    cell->setText(array ? arrayName : structureName);
            } else if ((cell->text().isEmpty() || cell->text() == arrayName) &&
                       kindOf(selectionRoot) == DataAttributeKind) {
                const QStandardItem *parentCell =
                    selectionRoot->parent()
                        ? selectionRoot->parent()->child(selectionRoot->row(), column)
                    : selectionRoot->model()
                        ? selectionRoot->model()->item(selectionRoot->row(), column)
                        : nullptr;
                if (parentCell)
                    cell->setText(parentCell->text());
            }
        }
        deriveStructureTypeCells(node, column);
    }
}

void deriveReportInstances(QStandardItem *reports)
{
    if (!reports)
        return;
    for (int row = 0; row < reports->rowCount(); ++row) {
        QStandardItem *node = reports->child(row);
        if (!node)
            continue;
        const int kind = kindOf(node);
        if ((kind == UnbufferedReportKind || kind == BufferedReportKind) &&
            node->data(MaxIndexRole).isValid() && node->data(MaxIndexRole).toInt() < 1)
            node->setData(1, MaxIndexRole);
        deriveReportInstances(node);
    }
}

void deriveMemberTypes(const QStandardItem *dataObjects, QStandardItem *dataSets)
{
    if (!dataObjects || !dataSets)
        return;
    DataObjectIndex index;
    for (int row = 0; row < dataObjects->rowCount(); ++row) {
        if (dataObjects->child(row))
            index.add(dataObjects->child(row));
    }
    deriveBelow(index, dataSets);
}

void deriveReportIndexing(QStandardItem *reports, Iec61850DbManager *db)
{
    if (!reports || !db || !lacksIndexing(reports))
        return;
    const DbTable table = db->schemaTable(ReportsTable);
    const int reference = table.columnOfName("report_refpath");
    const int indexed = table.columnOfName("is_indexed");
    const int maxIndex = table.columnOfName("max_index");
    QHash<QString, QPair<bool, int>> picked;
    for (const QStringList &row : db->selectTexts(ReportsTable, QString())) {
        bool indexedOk = false;
        bool maxOk = false;
        const int indexedValue = row.value(indexed).trimmed().toInt(&indexedOk);
        const int maxValue = row.value(maxIndex).trimmed().toInt(&maxOk);
        if (indexedOk && maxOk && !picked.contains(row.value(reference)))
            picked.insert(row.value(reference), {indexedValue != 0, maxValue});
    }
    setIndexing(reports, picked);
}
