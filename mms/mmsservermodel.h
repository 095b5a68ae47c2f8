#ifndef STATIONSCOPE_MMSSERVERMODEL_H
#define STATIONSCOPE_MMSSERVERMODEL_H

// What an MMS server serves: domains (logical devices), their named variables
// (logical nodes, each a structure of functional constraints, data objects and
// attributes, with values) and named variable lists (data sets). Filled once,
// then finish() indexes it; a finished model is only read, so one model can
// serve connections on any thread.

#include "mmsservices.h"
#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

struct MmsServerVariable
{
    QString name;
    MmsTypeSpec type;
    MmsValue value;
};

struct MmsServerDataSet
{
    QString name; // item name, "LLN0$Events"
    QList<MmsObjectName> members;
    bool deletable = false;
};

struct MmsServerDomain
{
    QString name;
    QVector<MmsServerVariable> variables;
    QVector<MmsServerDataSet> dataSets;
};

class MmsServerModel
{
public:
    // The domain of that name, added when new.
    MmsServerDomain &domain(const QString &name);
    const QVector<MmsServerDomain> &domains() const { return domainList; }

    // Builds the sorted name lists and the indexes. Call once, after filling.
    void finish();

    // Sorted as the servers we mirror list names: case-insensitive, "$"
    // before everything, letters before digits.
    static bool nameLessThan(const QString &a, const QString &b);

    QStringList domainNames() const { return sortedDomains; }
    // Every flattened name of a domain: "LN", "LN$FC", "LN$FC$DO" ...
    QStringList variableNames(const QString &domain) const;
    QStringList dataSetNames(const QString &domain) const;

    // The type and value of "LN$FC$DO..." in domain; false when there is none.
    bool find(const QString &domain, const QString &item, MmsTypeSpec *type, MmsValue *value) const;
    const MmsServerDataSet *dataSet(const QString &domain, const QString &item) const;

private:
    struct Index
    {
        QStringList variableNames;
        QStringList dataSetNames;
        QHash<QString, int> variables;
        QHash<QString, int> dataSets;
    };

    QVector<MmsServerDomain> domainList;
    QStringList sortedDomains;
    QHash<QString, int> domainIndex;
    QHash<QString, Index> indexes;
};

#endif
