#ifndef STATIONSCOPE_MMSSERVERMODEL_H
#define STATIONSCOPE_MMSSERVERMODEL_H

// What an MMS server serves: domains (logical devices), their named variables
// (logical nodes, each a structure of functional constraints, data objects and
// attributes, with values) and named variable lists (data sets). Filled once,
// then finish() indexes it. The structure of a finished model is fixed; its
// values stay live: update() changes them under a lock from any thread and
// tells the change listeners, which is why it is const like every read.

#include "mmsservices.h"
#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <map>

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

// One changed attribute: the leaf's item ("GGIO1$MX$AnIn1$mag$f") and why it
// counts, as trigger option bits (data change 1, quality change 2, data
// update 4).
struct MmsValueChange
{
    QString domain;
    QString item;
    int reasons = 0;
};

// Where an attribute of a finished model lives: its domain and the component
// positions down to it. The structure is fixed, so a handle stays good.
struct MmsValueHandle
{
    int domain = -1;
    QVector<int> path; // variable, then components
    bool isValid() const { return domain >= 0 && !path.isEmpty(); }
};

struct MmsValueUpdate
{
    QString domain;
    QString item;
    MmsValue value;
};

class MmsServerModel
{
public:
    // The domain of that name, added when new.
    MmsServerDomain &domain(const QString &name);
    // Names and types; once served, read values through find().
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
    // The handle of "LN$FC$DO..." in domain; invalid when there is none.
    MmsValueHandle handle(const QString &domain, const QString &item) const;
    // The values at the handles picked by positions, under one lock, as
    // find() gives them (null for an invalid handle); for report entries.
    QList<MmsValue> values(const QVector<MmsValueHandle> &handles,
                           const QVector<int> &positions) const;

    // Run-time values of a finished model, safe from any thread.
    enum UpdateResult { Updated, NoSuchObject, TypeMismatch };
    // Replaces the value at item (an attribute or a whole structure) with one of
    // its type; listeners hear of the changed leaves unless quiet.
    UpdateResult update(const QString &domain, const QString &item, const MmsValue &value,
                        bool quiet = false) const;
    // Several updates, one notification.
    void update(const QVector<MmsValueUpdate> &updates) const;
    // Whether value has the shape of type (kinds, components, fixed sizes).
    static bool fits(const MmsTypeSpec &type, const MmsValue &value);

    // Listeners run on the updating thread, outside the value lock; removing
    // one waits for a notification in progress.
    using ChangeListener = std::function<void(const QVector<MmsValueChange> &)>;
    int addChangeListener(ChangeListener listener) const;
    void removeChangeListener(int id) const;

private:
    // The value node of item (null when the model holds none there) and its
    // type (null when there is no such item); call under the value lock.
    MmsValue *locate(const QString &domain, const QString &item, const MmsTypeSpec **type) const;
    MmsValue *at(const MmsValueHandle &handle, const MmsTypeSpec **type) const;
    UpdateResult apply(const MmsValueUpdate &update, QVector<MmsValueChange> *changes) const;
    void notify(const QVector<MmsValueChange> &changes) const;

    struct Index
    {
        QStringList variableNames;
        QStringList dataSetNames;
        QHash<QString, int> variables;
        QHash<QString, QVector<int>> paths; // every flattened name: variable, then components
        QHash<QString, int> dataSets;
    };

    mutable QVector<MmsServerDomain> domainList; // values change under valueLock
    QStringList sortedDomains;
    QHash<QString, int> domainIndex;
    QHash<QString, Index> indexes;

    mutable QReadWriteLock valueLock;
    mutable QMutex listenerLock;
    mutable std::map<int, ChangeListener> listeners;
    mutable int nextListener = 1;
};

#endif
