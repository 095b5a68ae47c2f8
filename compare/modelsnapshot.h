#ifndef STATIONSCOPE_MODELSNAPSHOT_H
#define STATIONSCOPE_MODELSNAPSHOT_H

// What a model source shows of one IED, flattened into hashes so that
// thousands of picks are looked up without walking the tree. References are
// kept without the IED name ("CTRL/XCBR1.Pos"), so a renamed IED still
// matches its picks.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class QStandardItem;

struct SnapshotObject
{
    int kind = -1;
    // -1 when the node carries no MMS type.
    int mmsType = -1;
    // Leaf attributes (kind 8) below the node.
    int leafCount = 0;
};

struct SnapshotReport
{
    // The node text: "<LN reference>.RP.<name>" or "....BR.<name>".
    QString reference;
    bool buffered = false;
    // Without the IED name, as every key here.
    QString dataSetReference;
    // Null when the source does not know it.
    QString reportId;
    int confRev = 0;
    int triggerOptions = 0;
    int optionalFields = 0;
    int integrityPeriod = 0;
    int bufferTime = 0;
};

class ModelSnapshot
{
public:
    // projectRoot: the IED node of a model of the SCL model's shape, with its
    // DataObjects, DataSets and Reports branches (Connection optional).
    static ModelSnapshot fromProjectRoot(const QStandardItem *projectRoot);

    // reference without a leading iedName; unchanged when it does not start so.
    static QString relative(const QString &reference, const QString &iedName);
    // Data set members as a device lists them, each named as in named when
    // that names it without its constraint: a device gives every member its
    // constraint ("MEAS/MMXU1.PhV.phsA[MX]"), while the SCL file names a data
    // object member, a sub data object's too, without it ("MEAS/MMXU1.PhV.phsA").
    static QStringList membersAsNamed(const QStringList &listed, const QSet<QString> &named);
    // "CTRL/LLN0.RP.urcbA" gives "CTRL/LLN0.urcbA"; buffered tells which it was.
    static QString reportKey(const QString &reportReference, bool *buffered = nullptr);

    QString iedName;
    // Null when the source does not show the name plate.
    QString namePlateRevision;
    // "LD/LN.DO.da[FC]" of every node under a functional constraint.
    QHash<QString, SnapshotObject> objects;
    // "LD/LN.DO.da" to the constraints it occurs under.
    QHash<QString, QStringList> constraints;
    // "LD/LN.DataSet" to its members in order, each without the IED name.
    QHash<QString, QStringList> dataSets;
    // reportKey of each report control block.
    QHash<QString, SnapshotReport> reports;
    int nodeCount = 0;

    QString objectKey(const QString &path, const QString &constraint) const
    {
        return path + QLatin1Char('[') + constraint + QLatin1Char(']');
    }

private:
    // The count of leaf attributes at and below node.
    int addObjects(const QStandardItem *node, const QString &path, const QString &constraint);
    void addBranch(const QStandardItem *iedNode, int branch);
};

#endif
