#include "dbschema.h"

#include "sclmodel.h"

QStringList DbTable::columnNames() const
{
    QStringList names;
    names.reserve(columns.size());
    for (const DbColumn &column : columns)
        names.append(QString::fromLatin1(column.name));
    return names;
}

int DbTable::columnOfRole(int role) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).itemRole == role)
            return i;
    }
    return -1;
}

int DbTable::columnOfName(const QByteArray &columnName) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).name.compare(columnName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

namespace {

const QByteArray Key = "INTEGER PRIMARY KEY";
const QByteArray Integer = "INTEGER";
const QByteArray Text = "TEXT";

DbColumn roleColumn(const char *name, const QByteArray &type, int role)
{
    return DbColumn{name, type, -1, role};
}

DbColumn modelColumn(const char *name, const QByteArray &type, int column)
{
    return DbColumn{name, type, column, -1};
}

// db_id, id, con_id, type, and as many of parent_id, depth, treeindex as the
// table keeps.
QVector<DbColumn> treeColumns(int count)
{
    const QVector<DbColumn> all{
        DbColumn{"db_id", Key, -1, -1},
        roleColumn("id", Integer, NodeIdRole),
        roleColumn("con_id", Integer, ConnectionIdRole),
        roleColumn("type", Integer, KindRole),
        roleColumn("parent_id", Integer, ParentIdRole),
        roleColumn("depth", Integer, DepthRole),
        roleColumn("treeindex", Text, TreeIndexRole),
    };
    return all.mid(0, count);
}

// The values a node of the DataObjects branch carries beyond its place.
QVector<DbColumn> attributeRoleColumns()
{
    return {roleColumn("sclbtype", Text, BTypeRole), roleColumn("mms_type", Integer, MmsTypeRole),
            roleColumn("ctlmodel", Integer, CtlModelRole)};
}

DbTable table(const QString &name, QVector<DbColumn> columns)
{
    return DbTable{name.toLatin1(), std::move(columns)};
}

// Columns bound to model columns 0, 1, ... in the order given.
void appendModelColumns(QVector<DbColumn> &columns,
                        const QVector<QPair<const char *, QByteArray>> &names)
{
    for (int i = 0; i < names.size(); ++i)
        columns.append(modelColumn(names.at(i).first, names.at(i).second, i));
}

} // namespace

QHash<int, DbTable> DbSchema::build()
{
    QHash<int, DbTable> schema;

    QVector<DbColumn> connections;
    appendModelColumns(connections, {{"id", Key},
                                     {"name", Text},
                                     {"ip_address", Text},
                                     {"port_number", Integer},
                                     {"interface_type", Integer},
                                     {"connect_enable", Text},
                                     {"dev_status", Text},
                                     {"nplateConfRev", Text},
                                     {"nplateChk", Integer},
                                     {"reportSettings", Integer},
                                     {"ctrlTestFlg", Text},
                                     {"ctrlSyncChkFlg", Text},
                                     {"ctrlIntlckChkFlg", Text},
                                     {"ctrlOrigCat", Integer},
                                     {"ctrlOrigIden", Text},
                                     {"timesycIndication", Text}});
    schema.insert(ConnectionsTable, table(ConnectionsName, connections));

    QVector<DbColumn> objects = treeColumns(7);
    appendModelColumns(objects, {{"attr_reference", Text},
                                 {"function", Text},
                                 {"mms_type", Integer},
                                 {"readtrig_signal", Text},
                                 {"writetrig_signal", Text},
                                 {"status_block", Text},
                                 {"ctlModel", Integer},
                                 {"result_block", Text},
                                 {"timeact_ctrl", Text},
                                 {"enhctrlsmdterm_block", Text},
                                 {"ctrlerrcode_block", Text},
                                 {"selection_type", Integer},
                                 {"cmdtype_signal", Text}});
    schema.insert(DataObjectsTable, table(DataObjectsName, objects));

    QVector<DbColumn> datasets = treeColumns(7);
    appendModelColumns(datasets, {{"dataset_name", Text},
                                  {"status_block", Text},
                                  {"trig_signal", Text},
                                  {"rx_time", Text},
                                  {"rx_count", Text},
                                  {"result_block", Text},
                                  {"mms_type", Integer},
                                  {"datafrom_repflag_block", Text}});
    schema.insert(DatasetsTable, table(DatasetsName, datasets));

    QVector<DbColumn> reports = treeColumns(4);
    appendModelColumns(reports, {{"report_refpath", Text},
                                 {"dataset_refpath", Text},
                                 {"trigger_type", Integer},
                                 {"is_indexed", Integer},
                                 {"max_index", Integer},
                                 {"confrev_endis", Integer},
                                 {"confrev", Integer},
                                 {"intgpd", Integer},
                                 {"buftime", Integer},
                                 {"options", Integer},
                                 {"report_endis", Text},
                                 {"report_statsig", Text},
                                 {"repgi_sndtrg", Text},
                                 {"repprgbug_sndtrg", Text},
                                 {"ignore_repcont", Text}});
    schema.insert(ReportsTable, table(ReportsName, reports));

    QVector<DbColumn> objectsModel = treeColumns(7) + attributeRoleColumns();
    objectsModel.append(modelColumn("attr_reference", Text, 0));
    schema.insert(DataObjectsModelTable, table(DataObjectsModelName, objectsModel));

    // Data set members are copies of data objects and attributes and keep
    // the same values, so picks of them read the same after a reopen.
    QVector<DbColumn> datasetsModel = treeColumns(7) + attributeRoleColumns();
    datasetsModel.append(modelColumn("dataset_name", Text, 0));
    schema.insert(DatasetsModelTable, table(DatasetsModelName, datasetsModel));

    QVector<DbColumn> reportsModel = treeColumns(6);
    reportsModel.append(roleColumn("dataset_refpath", Text, DatasetRefRole));
    reportsModel.append(roleColumn("intgpd", Integer, IntgPdRole));
    reportsModel.append(roleColumn("buftime", Integer, BufTimeRole));
    reportsModel.append(roleColumn("confrev", Integer, ConfRevRole));
    reportsModel.append(roleColumn("trigger_type", Integer, TrgOpsRole));
    reportsModel.append(roleColumn("options", Integer, OptFieldsRole));
    reportsModel.append(roleColumn("is_indexed", Integer, IndexedRole));
    reportsModel.append(roleColumn("max_index", Integer, MaxIndexRole));
    reportsModel.append(roleColumn("rpt_id", Text, RptIdRole));
    reportsModel.append(modelColumn("report_refpath", Text, 0));
    schema.insert(ReportsModelTable, table(ReportsModelName, reportsModel));

    // The signal list counts its key as column 0 of a loaded row.
    QVector<DbColumn> signalList;
    appendModelColumns(signalList, {{"db_id", Key},
                                    {"block_number", Integer},
                                    {"address", Integer},
                                    {"label", Text},
                                    {"type", Text}});
    schema.insert(SignalsTable, table(SignalsName, signalList));

    return schema;
}

DbTable DbSchema::commissioningTable()
{
    DbTable record;
    record.name = CommissioningName.toLatin1();
    const QList<QPair<const char *, QByteArray>> columns{
        {"point_key", Text},    {"signal", Text},        {"reference", Text},
        {"first_value", Text},  {"last_value", Text},    {"quality", Text},
        {"last_good", Integer}, {"ever_good", Integer},  {"quality_known", Integer},
        {"last_change", Text},  {"changes", Integer},    {"first_seen", Text},
        {"last_seen", Text},    {"verdict", Integer},    {"note", Text},
        {"touched", Text},      {"device_address", Text}};
    for (const auto &column : columns)
        record.columns.append(DbColumn{column.first, column.second, -1, -1});
    return record;
}

DbTable DbSchema::reportResumeTable()
{
    DbTable points;
    points.name = ReportResumeName.toLatin1();
    points.columns = {DbColumn{"rcb", Text, -1, -1}, DbColumn{"entry_id", Text, -1, -1},
                      DbColumn{"entry_time", Integer, -1, -1}};
    return points;
}

QString DbSchema::createStatement(const DbTable &table)
{
    QStringList definitions;
    definitions.reserve(table.columns.size());
    for (const DbColumn &column : table.columns) {
        definitions.append(QLatin1Char('`') + QString::fromLatin1(column.name) +
                           QStringLiteral("` ") + QString::fromLatin1(column.sqlType));
    }
    return QStringLiteral("CREATE TABLE `%1` (%2)")
        .arg(QString::fromLatin1(table.name), definitions.join(QStringLiteral(", ")));
}
