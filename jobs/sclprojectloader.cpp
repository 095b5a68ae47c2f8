// SclDataExporter: loading the SCL model and the signal list of a project.

#include "scldataexporter.h"

#include "dbschema.h"
#include "iec61850dbmanager.h"
#include "olderprojectvalues.h"
#include "sclmodel.h"
#include "treeplacement.h"

#include <QStandardItem>
#include <QStandardItemModel>

namespace {

const QString DeviceIcon = QStringLiteral(":/images/DEVICE.png");
const QString LogicalNodeIcon = QStringLiteral(":/images/LN.png");
const QString SettingsIcon = QStringLiteral(":/images/settings.png");

// The connection tree: caption, icon and editor of each column of table 0.
struct ConnectionRow
{
    const char *caption;
    const char *icon;
    const char *editor;
};

const ConnectionRow ConnectionRows[] = {
    {QT_TRANSLATE_NOOP("SclDataExporter", "Id"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "IED Name"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "Ip Address"), ":/images/ip.png", nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "Port"), ":/images/port.png", nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "Interface"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "ConnectEnbl Signal"), nullptr, "SignalSelect"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "DevStatus Signal"), nullptr, "SignalSelect"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "NamPlt.configRev"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "NamPlt.check"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "ReportSets"), nullptr, "ReportSettingsDialog"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "CtlTestFlag Signal "), nullptr, "SignalSelect"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "CtlSyncCheck Signal"), nullptr, "SignalSelect"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "CtlInterlockCheck Signal"), nullptr, "SignalSelect"},
    {QT_TRANSLATE_NOOP("SclDataExporter", "ControlOrginatorCategory"), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "ControlOriginatorIdentification "), nullptr, nullptr},
    {QT_TRANSLATE_NOOP("SclDataExporter", "TimeSyncIndication Signal"), nullptr, "SignalSelect"},
};

QString iconOfKind(int table, int kind)
{
    switch (kind) {
    case IedKind:
    case LogicalDeviceKind:
        return DeviceIcon;
    case LogicalNodeKind:
        return LogicalNodeIcon;
    case FunctionalConstraintKind:
        return table == DataObjectsModelTable ? QStringLiteral(":/images/FC.png") : QString();
    case DataObjectKind:
        return table == ReportsModelTable ? QString() : QStringLiteral(":/images/DO.png");
    case DataSetKind:
        return table == DatasetsModelTable ? QStringLiteral(":/images/DS.png") : QString();
    case UnbufferedReportKind:
        return table == ReportsModelTable ? QStringLiteral(":/images/RP.png") : QString();
    case BufferedReportKind:
        return table == ReportsModelTable ? QStringLiteral(":/images/BR.png") : QString();
    case DataAttributeKind:
        return table == ReportsModelTable ? QString() : QStringLiteral(":/images/DA.png");
    default:
        return QString();
    }
}

// A stored number; NULL and texts that are no number read as 0.
int number(const QStringList &row, int column)
{
    return column < 0 ? 0 : row.value(column).trimmed().toInt();
}

// Roles the parsed model carries only on some nodes. A TEXT column is empty
// where the node had no value; an INTEGER column holds 0 there, so a 0 is
// restored only on the kinds of node that always carry the role.
struct RestoredRole
{
    int role;
    QList<int> alwaysOnKinds;
    bool boolean = false;
};

const QList<RestoredRole> &restoredRoles(int table)
{
    // Data set members are copies of DataObjects nodes and keep the same roles.
    static const QList<RestoredRole> objects{
        {TreeIndexRole, {}}, {BTypeRole, {}}, {MmsTypeRole, {DataObjectKind, DataAttributeKind}},
        {CtlModelRole, {}},  {DepthRole, {}},
    };
    static const QList<int> reportKinds{UnbufferedReportKind, BufferedReportKind};
    static const QList<RestoredRole> reports{
        {DatasetRefRole, {}},
        {IntgPdRole, reportKinds},
        {BufTimeRole, reportKinds},
        {ConfRevRole, reportKinds},
        {TrgOpsRole, reportKinds},
        {OptFieldsRole, reportKinds},
        {IndexedRole, reportKinds, true},
        {MaxIndexRole, reportKinds},
        {RptIdRole, {}},
        {DepthRole, {}},
    };
    static const QList<RestoredRole> none;
    switch (table) {
    case DataObjectsModelTable:
    case DatasetsModelTable:
        return objects;
    case ReportsModelTable:
        return reports;
    default:
        return none;
    }
}

// What a report control block's node says of itself in its kind and text.
void restoreReportIdentity(QStandardItem *node, int kind)
{
    if (kind != UnbufferedReportKind && kind != BufferedReportKind)
        return;
    node->setData(kind == BufferedReportKind, BufferedRole);
    const QString text = node->text();
    node->setData(text.mid(text.lastIndexOf(QLatin1Char('.')) + 1), ReportNameRole);
    if (node->data(DatasetRefRole).isValid())
        node->setData(node->data(DatasetRefRole), ReportDatasetRole);
}

} // namespace

QStandardItem *SclDataExporter::connectionNode(const QStringList &values)
{
    auto *node = new QStandardItem(tr("Connection"));
    node->setEditable(false);
    const int rowCount = int(sizeof(ConnectionRows) / sizeof(ConnectionRows[0]));
    for (int column = 0; column < rowCount; ++column) {
        const ConnectionRow &row = ConnectionRows[column];
        auto *caption = new QStandardItem(tr(row.caption));
        caption->setEditable(false);
        caption->setIcon(icon(row.icon ? QString::fromLatin1(row.icon) : SettingsIcon));
        auto *value = new QStandardItem(values.value(column));
        if (row.editor)
            value->setData(QString::fromLatin1(row.editor), EditorRole);
        if (column == 0 || column == 9)
            value->setEditable(false);
        node->appendRow({caption, value});
    }
    return node;
}

bool SclDataExporter::loadSclModel(QStandardItemModel *sclModel, Iec61850DbManager *db,
                                   QString *reason)
{
    if (!sclModel || !db) {
        emit progressFinished();
        return false;
    }
    sclModel->clear();
    QString error;
    const QVector<QStringList> connections = db->selectTexts(ConnectionsTable, QString(), &error);
    if (connections.isEmpty()) {
        if (reason)
            *reason = error.isEmpty() ? tr("no connection row") : error;
        emit progressFinished();
        return false;
    }
    const QStringList connection = connections.first();

    auto *ied = new QStandardItem(connection.value(1));
    ied->setData(connection.value(0), ConnectionIdRole);
    ied->setEditable(false);
    ied->appendRow(connectionNode(connection));

    sclModel->setColumnCount(2);
    sclModel->setHorizontalHeaderLabels({tr("Item"), tr("Value")});
    sclModel->appendRow(ied);

    QStandardItem *dataObjects = new QStandardItem(SclBranch::DataObjects);
    QStandardItem *dataSets = new QStandardItem(SclBranch::DataSets);
    QStandardItem *reports = new QStandardItem(SclBranch::Reports);
    for (QStandardItem *branch : {dataObjects, dataSets, reports}) {
        branch->setEditable(false);
        ied->appendRow(branch);
    }

    const QString condition = QStringLiteral("con_id=%1").arg(0);
    const QList<QPair<int, QStandardItem *>> trees{{DataObjectsModelTable, dataObjects},
                                                   {ReportsModelTable, reports},
                                                   {DatasetsModelTable, dataSets}};
    QHash<int, QVector<QStringList>> rows;
    int rowTotal = 0;
    for (const auto &tree : trees) {
        rows.insert(tree.first, db->selectTexts(tree.first, condition, &error));
        if (!error.isEmpty()) {
            // Half a model would read as an IED with less in it than it has.
            sclModel->clear();
            if (reason)
                *reason = error;
            emit progressFinished();
            return false;
        }
        rowTotal += rows.value(tree.first).size();
    }
    startProgress(rowTotal);
    for (const auto &tree : trees) {
        const DbTable table = db->schemaTable(tree.first);
        const int first = db->firstModelColumn(tree.first);
        const int idColumn = table.columnOfRole(NodeIdRole);
        const int kindColumn = table.columnOfRole(KindRole);
        const int parentColumn = table.columnOfRole(ParentIdRole);
        QList<QPair<int, int>> roleColumns;
        for (const RestoredRole &restored : restoredRoles(tree.first))
            roleColumns.append({table.columnOfRole(restored.role), restored.role});

        TreePlacement placement;
        QVector<QStringList> tableRows = rows.take(tree.first);
        for (QStringList &values : tableRows) {
            const int id = number(values, idColumn);
            const int kind = number(values, kindColumn);
            const QString parentText = values.value(parentColumn).trimmed();
            const int parentId = parentText.toInt();

            auto *node = new QStandardItem(values.value(first));
            node->setEditable(false);
            const QString iconPath = iconOfKind(tree.first, kind);
            if (!iconPath.isEmpty())
                node->setIcon(icon(iconPath));
            node->setData(kind, KindRole);
            node->setData(QString::number(id), NodeIdRole);
            node->setData(0, ConnectionIdRole);
            // As the parser gives it: the parent's id text, or the number -1.
            node->setData(parentId == -1 ? QVariant(-1) : QVariant(QString::number(parentId)),
                          ParentIdRole);
            const QList<RestoredRole> &restored = restoredRoles(tree.first);
            for (int i = 0; i < restored.size(); ++i) {
                const int column = roleColumns.at(i).first;
                if (column < 0)
                    continue;
                const QString text = values.value(column);
                if (text.isEmpty())
                    continue;
                bool ok = false;
                const int value = text.trimmed().toInt(&ok);
                if (!table.columns.at(column).isInteger()) {
                    // Tree positions are numbers in the model, other texts stay texts.
                    node->setData(ok && roleColumns.at(i).second == TreeIndexRole ? QVariant(value)
                                                                                  : QVariant(text),
                                  roleColumns.at(i).second);
                } else if (ok && (value != 0 || restored.at(i).alwaysOnKinds.contains(kind))) {
                    node->setData(restored.at(i).boolean ? QVariant(value != 0) : QVariant(value),
                                  roleColumns.at(i).second);
                }
            }
            if (tree.first == ReportsModelTable)
                restoreReportIdentity(node, kind);
            placeRow(tree.second, {node}, id, parentId, placement);
            // The texts of a row go as its node comes, so a large table does
            // not hold its texts and its items at once.
            values.clear();
            step();
        }
        attachWaiting(placement);
    }
    // Files written before the data set and report columns existed.
    deriveMemberTypes(dataObjects, dataSets);
    // Older versions stored no type, or an array's, for structures.
    deriveStructureTypes(dataObjects);
    deriveStructureTypes(dataSets);
    deriveReportIndexing(reports, db);
    deriveReportInstances(reports);
    emit progressFinished();
    return true;
}

bool SclDataExporter::loadSignals(QStandardItemModel *signalModel, Iec61850DbManager *db,
                                  QString *reason)
{
    if (!signalModel || !db)
        return false;
    signalModel->removeRows(0, signalModel->rowCount());
    QString error;
    const QVector<QStringList> rows = db->selectTexts(SignalsTable, QString(), &error);
    if (!error.isEmpty()) {
        if (reason)
            *reason = error;
        return false;
    }
    for (const QStringList &values : rows) {
        QList<QStandardItem *> row;
        for (int column = 1; column < values.size(); ++column) {
            auto *cell = new QStandardItem(values.at(column));
            cell->setEditable(false);
            row.append(cell);
        }
        signalModel->appendRow(row);
    }
    signalModel->setHorizontalHeaderLabels(
        {tr("Signal Number"), tr("Address"), tr("Label"), tr("Type")});
    signalModel->setColumnCount(4);
    return true;
}
