#ifndef STATIONSCOPE_PROJECTPICKS_H
#define STATIONSCOPE_PROJECTPICKS_H

// What a project expects of its IED: the picks of the three selections with
// the values the engineer relies on, read from the selection models.

#include <QString>
#include <QStringList>
#include <QVector>

class QStandardItemModel;

struct AttributePick
{
    // Below the picked object: "q", "cVal.mag.f".
    QString path;
    int mmsType = -1;
};

struct ObjectPick
{
    int row = -1;
    QString reference;
    QString constraint;
    int kind = -1;
    // -1 when the row shows no MMS type.
    int mmsType = -1;
    // The leaf attributes the pick holds; empty for a pick stored without them.
    QVector<AttributePick> attributes;
};

struct DataSetPick
{
    int row = -1;
    QString reference;
    QStringList members;
};

struct ReportPick
{
    int row = -1;
    QString reference;
    bool buffered = false;
    QString dataSetReference;
    // Null when the project does not hold it.
    QString reportId;
    int confRev = 0;
    bool confRevChecked = false;
    int triggerOptions = 0;
};

struct ProjectPicks
{
    QString iedName;
    QString namePlateRevision;
    QVector<ObjectPick> objects;
    QVector<DataSetPick> dataSets;
    QVector<ReportPick> reports;

    // sclModel: the project's model (IED node on top, connection rows first).
    static ProjectPicks fromModels(const QStandardItemModel *sclModel,
                                   const QStandardItemModel *objects,
                                   const QStandardItemModel *dataSets,
                                   const QStandardItemModel *reports);
    int count() const { return objects.size() + dataSets.size() + reports.size(); }
};

#endif
