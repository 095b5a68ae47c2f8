#ifndef STATIONSCOPE_SCLMODEL_H
#define STATIONSCOPE_SCLMODEL_H

// Definitions shared by everything that builds, shows, stores or exchanges the
// SCL model of one IED: item roles, node kinds, reference texts, value lists.

#include <QString>
#include <QStringList>
#include <Qt>

// Roles that carry a node's values. The numbers are stored in project files and
// exchanged with workbooks, so they must never change.
enum SclItemRole {
    KindRole = Qt::UserRole + 10,
    TreeIndexRole,
    GroupRole,
    DatasetRefRole,
    NodeIdRole,
    ParentIdRole,
    ConnectionIdRole,
    DepthRole,
    CtlModelRole,
    IntgPdRole,
    BufTimeRole,
    ConfRevRole,
    TrgOpsRole,
    OptFieldsRole,
    MaxIndexRole,
    ReportNameRole,
    RptIdRole,
    BufferedRole,
    ReportDatasetRole,
    IndexedRole,
    EditorRole,
    MmsTypeRole,
    BTypeRole,
    SclKindRole,
    ReportSettingsRole,
};
static_assert(ReportSettingsRole == 290, "item role numbers are part of the file format");

// Values of KindRole.
enum NodeKind {
    IedKind = 0,
    LogicalDeviceKind = 1,
    LogicalNodeKind = 2,
    FunctionalConstraintKind = 3,
    DataObjectKind = 4, // also sub data objects, structured attributes and array elements
    DataSetKind = 5,
    UnbufferedReportKind = 6,
    BufferedReportKind = 7,
    DataAttributeKind = 8,        // a leaf of a basic type
    DataSetMemberKind = 9,        // a member reference of a data set listed by a live IED
    GooseControlKind = 10,        // a GOOSE control block listed by a live IED
    SampledValueControlKind = 11, // a sampled-value control block (MS or US) listed by a live IED
};

// Values of SclKindRole: which SCL element a DataObjects node was made for.
enum SclElementKind {
    SclIedKind = 0,
    SclLogicalDeviceKind = 1,
    SclLogicalNodeKind = 2,
    SclFunctionalConstraintKind = 3,
    SclDataObjectKind = 4,
    SclSubDataObjectKind = 5,
    SclDataAttributeKind = 6,
};

// Texts of the project root's children, found by other code by text and row.
namespace SclBranch {
inline const QString Connection = QStringLiteral("Connection");
inline const QString DataObjects = QStringLiteral("DataObjects");
inline const QString DataSets = QStringLiteral("DataSets");
inline const QString Reports = QStringLiteral("Reports");
enum Row { ConnectionRow = 0, DataObjectsRow = 1, DataSetsRow = 2, ReportsRow = 3 };
} // namespace SclBranch

// Texts held in EditorRole: which editor a cell opens.
namespace EditorKind {
inline const QString SignalSelect = QStringLiteral("SignalSelect");
inline const QString Combo = QStringLiteral("Combo");
inline const QString CheckBox = QStringLiteral("CheckBox");
inline const QString TrigTypeDialog = QStringLiteral("TrigTypeDialog");
inline const QString ReportOptionsDialog = QStringLiteral("ReportOptionsDialog");
inline const QString ReportSettingsDialog = QStringLiteral("ReportSettingsDialog");
} // namespace EditorKind

// Placeholder signal name that stands for "bound to no signal".
inline const QString NoSignalName = QStringLiteral("NoRef");

// The functional constraints in the order the DataObjects branch lists them.
const QStringList &FunctionalConstraintList();

// MMS data type codes as the MMS client numbers them.
enum MmsTypeCode {
    MmsArray = 0,
    MmsStructure = 1,
    MmsBoolean = 2,
    MmsBitString = 3,
    MmsInteger = 4,
    MmsUnsigned = 5,
    MmsFloat = 6,
    MmsOctetString = 7,
    MmsVisibleString = 8,
    MmsGeneralizedTime = 9,
    MmsBinaryTime = 10,
    MmsBcd = 11,
    MmsObjId = 12,
    MmsString = 13,
    MmsUtcTime = 14,
    MmsDataAccessError = 15,
};

// Lists whose code is the position and whose cells show the name. Models show
// names, project files hold codes, workbooks hold names.
enum class ValueList { MmsType, ControlModel, SelectionType };

const QStringList &valueListNames(ValueList list);
// The code of a name; a name not in the list gives 0, as stored files expect.
int valueListCode(ValueList list, const QString &name);
// The name of a code; a code not in the list gives an empty text.
QString valueListName(ValueList list, int code);

// Code of an SCL ctlModel value ("status-only" … "sbo-with-enhanced-security");
// any other text, compared exactly, gives 0.
int ctlModelCode(const QString &sclValue);

// Reference texts. Every part is inserted literally, so a part that is empty
// vanishes and a part that contains "%1" stays as it is.
QString lnName(const QString &prefix, const QString &lnClass, const QString &inst);
QString lnReference(const QString &iedName, const QString &ldInst, const QString &prefix,
                    const QString &lnClass, const QString &lnInst);
QString dataSetReference(const QString &lnRef, const QString &dataSetName);
QString dataSetMemberAttributeReference(const QString &iedName, const QString &ldInst,
                                        const QString &prefix, const QString &lnClass,
                                        const QString &lnInst, const QString &doName,
                                        const QString &daName, const QString &fc);
QString reportControlReference(const QString &lnRef, const QString &name, bool buffered);
QString reportDataSetReference(const QString &lnRef, const QString &datSet);
QString leafAttributeText(const QString &name, const QString &fc, const QString &bType);
QString arrayElementText(int index);
// The name part of a node text: a leaf's "stVal{ST,BOOLEAN}" gives "stVal".
QString nodeNamePart(const QString &nodeText);

#endif
