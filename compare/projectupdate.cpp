#include "projectupdate.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "sqltext.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStandardItemModel>
#include <QTextStream>

#include <QPersistentModelIndex>

#include <functional>

namespace {

QString renamed(const QString &reference, const QString &oldIed, const QString &newIed)
{
    if (oldIed == newIed || !reference.startsWith(oldIed))
        return reference;
    return newIed + reference.mid(oldIed.size());
}

void setCellText(QStandardItemModel *model, QStandardItem *parent, int row, int column,
                 const QString &text)
{
    QStandardItem *cell = parent ? parent->child(row, column) : model->item(row, column);
    if (cell && cell->text() != text)
        cell->setText(text);
}

using CellTexts = QHash<QString, QPair<QString, QString>>;

bool isBinding(const QStandardItem *cell)
{
    return cell && cell->isEnabled() &&
           cell->data(EditorRole).toString() == EditorKind::SignalSelect &&
           !cell->text().trimmed().isEmpty() && cell->text().trimmed() != NoSignalName;
}

QString droppedReason(const QStandardItemModel *model, int column, const QString &signal,
                      const char *why)
{
    return QCoreApplication::translate("ProjectUpdate", "\"%1\" binding \"%2\" dropped: %3")
        .arg(model->headerData(column, Qt::Horizontal).toString(), signal,
             QCoreApplication::translate("ProjectUpdate", why));
}

const char *const PickRemoved = QT_TRANSLATE_NOOP("ProjectUpdate", "the pick was removed");
const char *const MemberGone =
    QT_TRANSLATE_NOOP("ProjectUpdate", "the data set no longer has this member");

// The bindings of a row and the rows below it; reference names the row.
void collectBindings(const QStandardItemModel *model, const QStandardItem *parent, int row,
                     const QString &reference, PickKind kind, QVector<RemovedPick> *bindings)
{
    for (int column = 1; column < model->columnCount(); ++column) {
        const QStandardItem *cell = parent->child(row, column);
        if (isBinding(cell))
            bindings->append({kind, reference,
                              droppedReason(model, column, cell->text().trimmed(), PickRemoved)});
    }
    const QStandardItem *first = parent->child(row, 0);
    for (int child = 0; first && child < first->rowCount(); ++child) {
        const QStandardItem *node = first->child(child, 0);
        if (!node)
            continue;
        // Data set members carry their full reference, attributes only their name.
        const QString childReference =
            kind == PickKind::DataSet && parent == model->invisibleRootItem()
                ? node->text()
                : reference + QLatin1Char('.') + nodeNamePart(node->text());
        collectBindings(model, first, child, childReference, kind, bindings);
    }
}

// The result signal and MMS type of every row below a data set, keyed by the
// texts on the way to it, the member's own without the IED name.
void collectMemberCells(const QStandardItem *node, const QString &key, const QString &iedName,
                        CellTexts *cells, QStringList *boundKeys)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        const QStandardItem *child = node->child(row, 0);
        if (!child)
            continue;
        const QString text =
            key.isNull() ? ModelSnapshot::relative(child->text(), iedName) : child->text();
        const QString childKey = key + QLatin1Char('\n') + text;
        const QStandardItem *result = node->child(row, SelectedDatasetsModel::ResultSignalColumn);
        const QStandardItem *type = node->child(row, SelectedDatasetsModel::MmsTypeColumn);
        cells->insert(childKey,
                      {result ? result->text() : QString(), type ? type->text() : QString()});
        if (isBinding(result))
            boundKeys->append(childKey);
        collectMemberCells(child, childKey, iedName, cells, boundKeys);
    }
}

void restoreMemberCells(QStandardItem *node, const QString &key, const QString &iedName,
                        const CellTexts &cells, QSet<QString> *placed)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        QStandardItem *child = node->child(row, 0);
        if (!child)
            continue;
        const QString text =
            key.isNull() ? ModelSnapshot::relative(child->text(), iedName) : child->text();
        const QString childKey = key + QLatin1Char('\n') + text;
        const auto old = cells.constFind(childKey);
        if (old != cells.constEnd()) {
            QStandardItem *result = node->child(row, SelectedDatasetsModel::ResultSignalColumn);
            if (result && result->isEnabled()) {
                result->setText(old->first);
                placed->insert(childKey);
            }
            QStandardItem *type = node->child(row, SelectedDatasetsModel::MmsTypeColumn);
            if (type && type->isEnabled() && !old->second.isEmpty())
                type->setText(old->second);
        }
        restoreMemberCells(child, childKey, iedName, cells, placed);
    }
}

// "IED/LD/LN.DO.da" of a member cell key: the member's reference, then the
// names on the way down to the row.
QString memberReference(const QString &key, const QString &iedName)
{
    QStringList parts = key.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    QString reference = iedName + parts.takeFirst();
    for (const QString &part : qAsConst(parts))
        reference += QLatin1Char('.') + nodeNamePart(part);
    return reference;
}

} // namespace

ProjectUpdate::ProjectUpdate(const QStandardItemModel *newModel, const ModelSnapshot &found,
                             SelectedObjectsModel *objects, SelectedDatasetsModel *dataSets,
                             SelectedReportsModel *reports)
    : newModel(newModel), found(found), objects(objects), dataSets(dataSets), reports(reports)
{
}

QString ProjectUpdate::pickKindText(PickKind kind)
{
    switch (kind) {
    case PickKind::Ied:
        return QCoreApplication::translate("ProjectUpdate", "IED");
    case PickKind::DataObject:
        return QCoreApplication::translate("ProjectUpdate", "Data object");
    case PickKind::DataSet:
        return QCoreApplication::translate("ProjectUpdate", "Data set");
    case PickKind::Report:
        break;
    }
    return QCoreApplication::translate("ProjectUpdate", "Report");
}

QVector<RemovedPick> ProjectUpdate::applyToSelections(const ProjectPicks &picks,
                                                      const ComparisonResult &comparison)
{
    QHash<QPair<int, int>, QString> reasons;
    for (const CompareFinding &finding : comparison.findings) {
        const QPair<int, int> key(int(finding.pickKind), finding.pickRow);
        if (!reasons.contains(key))
            reasons.insert(key, finding.what);
    }
    // Rows move while picks are rebuilt and removed; persistent indexes follow them.
    const auto rowsOf = [](QStandardItemModel *model, auto &list) {
        QVector<QPersistentModelIndex> rows;
        for (const auto &pick : list)
            rows.append(model ? QPersistentModelIndex(model->index(pick.row, 0))
                              : QPersistentModelIndex());
        return rows;
    };
    const QVector<QPersistentModelIndex> objectRows = rowsOf(objects, picks.objects);
    const QVector<QPersistentModelIndex> dataSetRows = rowsOf(dataSets, picks.dataSets);
    const QVector<QPersistentModelIndex> reportRows = rowsOf(reports, picks.reports);

    dropped.clear();
    const QString oldIed = picks.iedName;
    for (int i = 0; i < picks.objects.size(); ++i) {
        if (comparison.objectResolved.value(i) && objectRows.at(i).isValid())
            refreshObject(picks.objects.at(i), objectRows.at(i).row(), oldIed);
    }
    for (int i = 0; i < picks.dataSets.size(); ++i) {
        if (comparison.dataSetResolved.value(i) && dataSetRows.at(i).isValid())
            refreshDataSet(picks.dataSets.at(i), dataSetRows.at(i).row(), oldIed);
    }
    for (int i = 0; i < picks.reports.size(); ++i) {
        if (comparison.reportResolved.value(i) && reportRows.at(i).isValid())
            refreshReport(picks.reports.at(i), reportRows.at(i).row(), oldIed);
    }

    QVector<RemovedPick> removed;
    const auto removeUnresolved = [&](SelectedItemsModel *model, PickKind kind, const auto &list,
                                      const QVector<bool> &resolved,
                                      const QVector<QPersistentModelIndex> &rows) {
        for (int i = 0; i < list.size(); ++i) {
            if (resolved.value(i, true))
                continue;
            removed.append(
                {kind, list.at(i).reference, reasons.value({int(kind), list.at(i).row})});
            if (model && rows.at(i).isValid()) {
                collectBindings(model, model->invisibleRootItem(), rows.at(i).row(),
                                list.at(i).reference, kind, &dropped);
                model->removeNode(rows.at(i).row());
            }
        }
    };
    removeUnresolved(objects, PickKind::DataObject, picks.objects, comparison.objectResolved,
                     objectRows);
    removeUnresolved(dataSets, PickKind::DataSet, picks.dataSets, comparison.dataSetResolved,
                     dataSetRows);
    removeUnresolved(reports, PickKind::Report, picks.reports, comparison.reportResolved,
                     reportRows);
    if (dataSets)
        dataSets->emitDatasetUpdate();
    return removed;
}

void ProjectUpdate::refreshObject(const ObjectPick &pick, int row, const QString &oldIed)
{
    QStandardItem *first = objects ? objects->item(row, 0) : nullptr;
    if (!first)
        return;
    first->setText(renamed(first->text(), oldIed, found.iedName));
    const QString path = ModelSnapshot::relative(pick.reference, oldIed);
    const SnapshotObject object = found.objects.value(found.objectKey(path, pick.constraint));
    if (object.mmsType >= 0 && pick.mmsType >= 0)
        setCellText(objects, nullptr, row, SelectedObjectsModel::MmsTypeColumn,
                    valueListName(ValueList::MmsType, object.mmsType));
    // Attribute rows: the same walk as the picks were read with.
    std::function<void(QStandardItem *, const QString &)> walk = [&](QStandardItem *node,
                                                                     const QString &base) {
        for (int childRow = 0; childRow < node->rowCount(); ++childRow) {
            QStandardItem *child = node->child(childRow, 0);
            if (!child)
                continue;
            const QString childPath = base + QLatin1Char('.') + nodeNamePart(child->text());
            const SnapshotObject leaf =
                found.objects.value(found.objectKey(childPath, pick.constraint));
            const QStandardItem *type = node->child(childRow, SelectedObjectsModel::MmsTypeColumn);
            if (leaf.mmsType >= 0 && type && !type->text().isEmpty())
                setCellText(objects, node, childRow, SelectedObjectsModel::MmsTypeColumn,
                            valueListName(ValueList::MmsType, leaf.mmsType));
            walk(child, childPath);
        }
    };
    walk(first, path);
}

const QStandardItem *ProjectUpdate::newDataSetNode(const QString &relativeReference) const
{
    const QStandardItem *ied = newModel ? newModel->item(0, 0) : nullptr;
    const QStandardItem *branch = ied ? ied->child(SclBranch::DataSetsRow, 0) : nullptr;
    const QStandardItem *root = branch ? branch->child(0, 0) : nullptr;
    const QString text = found.iedName + relativeReference;
    for (int d = 0; root && d < root->rowCount(); ++d) {
        const QStandardItem *device = root->child(d, 0);
        for (int n = 0; device && n < device->rowCount(); ++n) {
            const QStandardItem *node = device->child(n, 0);
            for (int s = 0; node && s < node->rowCount(); ++s) {
                if (node->child(s, 0) && node->child(s, 0)->text() == text)
                    return node->child(s, 0);
            }
        }
    }
    return nullptr;
}

void ProjectUpdate::refreshDataSet(const DataSetPick &pick, int row, const QString &oldIed)
{
    if (!dataSets)
        return;
    const QString reference = ModelSnapshot::relative(pick.reference, oldIed);
    const QStandardItem *source = newDataSetNode(reference);
    if (!source)
        return;
    QStringList newMembers;
    for (int member = 0; member < source->rowCount(); ++member)
        newMembers.append(source->child(member, 0) ? source->child(member, 0)->text() : QString());
    if (source->text() == pick.reference && newMembers == pick.members)
        return;

    // The pick is rebuilt from the new data set; its own signals and those of
    // members that remain are carried over.
    QStandardItem *oldFirst = dataSets->item(row, 0);
    if (!oldFirst)
        return;
    QStringList topCells;
    for (int column = 1; column < dataSets->columnCount(); ++column)
        topCells.append(dataSets->item(row, column) ? dataSets->item(row, column)->text()
                                                    : QString());
    CellTexts memberCells;
    QStringList boundMembers;
    collectMemberCells(oldFirst, QString(), oldIed, &memberCells, &boundMembers);
    dataSets->removeNode(row);
    if (!dataSets->addNode(const_cast<QStandardItem *>(source), source->text(), QString()))
        return;
    const int added = dataSets->rowCount() - 1;
    dataSets->fillAddedRow(dataSets->item(added, 0));
    for (int column = 1; column < dataSets->columnCount(); ++column) {
        QStandardItem *cell = dataSets->item(added, column);
        if (cell && cell->isEnabled())
            cell->setText(topCells.value(column - 1));
    }
    QSet<QString> placed;
    restoreMemberCells(dataSets->item(added, 0), QString(), found.iedName, memberCells, &placed);
    dataSets->insertRow(row, dataSets->takeRow(added));
    for (const QString &key : qAsConst(boundMembers)) {
        if (placed.contains(key))
            continue;
        dropped.append({PickKind::DataSet, memberReference(key, oldIed),
                        droppedReason(dataSets, SelectedDatasetsModel::ResultSignalColumn,
                                      memberCells.value(key).first.trimmed(), MemberGone)});
    }
}

void ProjectUpdate::refreshReport(const ReportPick &pick, int row, const QString &oldIed)
{
    QStandardItem *first = reports ? reports->item(row, 0) : nullptr;
    if (!first)
        return;
    const QString key = ModelSnapshot::reportKey(ModelSnapshot::relative(pick.reference, oldIed));
    const SnapshotReport report = found.reports.value(key);
    // What the IED's configuration states follows the new file; the options
    // the client writes stay the engineer's.
    if (first->text() != report.reference) {
        first->setText(report.reference);
        reports->registerName(report.reference, QString());
    }
    first->setData(report.buffered ? BufferedReportKind : UnbufferedReportKind, KindRole);
    // A block without a data set names none.
    setCellText(reports, nullptr, row, SelectedReportsModel::DatasetRefPathColumn,
                report.dataSetReference.isEmpty() ? QString()
                                                  : found.iedName + report.dataSetReference);
    setCellText(reports, nullptr, row, SelectedReportsModel::ConfRevNumberColumn,
                QString::number(report.confRev));
}

bool ProjectUpdate::writeProject(Iec61850DbManager *db) const
{
    const QStandardItem *ied = newModel ? newModel->item(0, 0) : nullptr;
    if (!db || !ied)
        return false;
    const QVector<QStringList> connections = db->selectTexts(ConnectionsTable, QString());
    if (connections.isEmpty())
        return false;

    db->deleteRows(DbSchema::DataObjectsModelName, {}, true);
    db->deleteRows(DbSchema::DatasetsModelName, {}, true);
    db->deleteRows(DbSchema::ReportsModelName, {}, true);
    SclDataExporter writer;
    writer.queueModelBranches(ied, db);
    QString assignments = QStringLiteral("name=%1").arg(SqlText::literal(found.iedName));
    if (!found.namePlateRevision.isNull())
        assignments +=
            QStringLiteral(", nplateConfRev=%1").arg(SqlText::literal(found.namePlateRevision));
    db->queueStatement(QStringLiteral("UPDATE %1 SET %2 WHERE id=%3;")
                           .arg(SqlText::identifier(DbSchema::ConnectionsName), assignments,
                                QString::number(connections.first().value(0).toInt())));

    writer.queueSelections(objects, dataSets, reports, db);
    return db->commitQueued();
}

bool ProjectUpdate::writeRemovedCsv(const QString &path, const QVector<RemovedPick> &removed,
                                    QString *problem)
{
    const auto quoted = [](QString text) {
        return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
               QLatin1Char('"');
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    stream << "Selection,Reference,Reason\n";
    for (const RemovedPick &pick : removed)
        stream << quoted(pickKindText(pick.kind)) << ',' << quoted(pick.reference) << ','
               << quoted(pick.reason) << '\n';
    stream.flush();
    if (!file.commit()) {
        *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
