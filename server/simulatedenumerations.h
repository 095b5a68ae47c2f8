#ifndef STATIONSCOPE_SIMULATEDENUMERATIONS_H
#define STATIONSCOPE_SIMULATEDENUMERATIONS_H

// Gives every enumerated attribute of a simulated IED a value its EnumType
// lists: an attribute at 0 where its type has no ord 0 (a Health of 0, a
// SIUnit of 0) is a value no device sends. Fed the elements of one stream
// over the SCL file, then applied to the finished model before the DAI values.

#include "mmsservermodel.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <QXmlStreamAttributes>

class SimulatedEnumerations
{
public:
    explicit SimulatedEnumerations(const QString &iedName) : iedName(iedName) {}

    // Every start element of the file, in order; valText the element's text
    // for a Val or an EnumVal (read by the caller), empty otherwise.
    void element(const QStringRef &tag, const QXmlStreamAttributes &attributes,
                 const QString &valText = QString());
    static bool wantsText(const QStringRef &tag);
    // Closes the element named tag.
    void endElement(const QStringRef &tag);

    // Leaves whose value is no ord of their EnumType get the template's
    // default when it names one, else ord 0 when listed, else the lowest ord.
    void apply(const MmsServerModel &model) const;

private:
    struct Attribute
    {
        QString name;
        QString fc;      // empty on a sub data object or a BDA
        QString bType;   // "Enum", "Struct", ... ; empty on a sub data object
        QString type;    // EnumType, DAType or DOType id
        QString initial; // the template's Val
        bool array = false;
    };
    struct LogicalNode
    {
        QString domain;
        QString name;
        QString lnType;
    };

    // path: below the logical node without the constraint, "Beh" or "A$phsA".
    void applyBelow(const MmsServerModel &model, const QString &domain, const QString &node,
                    const QString &path, const QString &fc, const QString &typeId, int depth) const;
    int validOrd(const QString &enumType, const QString &initial, qint64 current) const;

    QString iedName;
    bool inIed = false;
    QString ldInst;
    QVector<LogicalNode> nodes;
    QHash<QString, QVector<Attribute>> types; // LNodeType, DOType and DAType ids
    QString currentType;
    bool inAttribute = false;                      // a DA or BDA of currentType, the last one
    QHash<QString, QHash<QString, int>> enumTypes; // id -> EnumVal text -> ord
    QString currentEnum;
};

#endif
