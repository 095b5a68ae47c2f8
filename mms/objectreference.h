#ifndef STATIONSCOPE_OBJECTREFERENCE_H
#define STATIONSCOPE_OBJECTREFERENCE_H

// IEC 61850 object references and the MMS names they map to (IEC 61850-8-1):
// "LD/LN.DO.DA" with a functional constraint FC is item "LN$FC$DO$DA" of
// domain "LD".

#include <QString>
#include <QStringList>

struct ObjectReference
{
    QString logicalDevice;
    QString logicalNode;
    QStringList path; // data object, then attributes
    QString fc;       // from "[FC]", or empty

    // Accepts "LD/LN", "LD/LN.DO.DA", "LD/LN$DO$DA", each with an optional
    // "[FC]" (after any part, the same each time). False for anything else,
    // and for parts that are empty or too long.
    static bool parse(const QString &text, ObjectReference *reference);
    // The MMS item with the functional constraint after the logical node.
    QString mmsItem(const QString &functionalConstraint) const;
    // The MMS item without a functional constraint: "LN$name" (data sets,
    // control blocks written "LN.RP.name").
    QString plainItem() const;
};

namespace ObjectReferences {
bool isFunctionalConstraint(const QString &text);
// "GGIO1$ST$SPCSO1$stVal" of domain "LD" gives "LD/GGIO1.SPCSO1.stVal[ST]";
// an item of fewer parts gives "LD/" and the item with dots.
QString fromMmsName(const QString &domain, const QString &item);
// A reference as a data set directory names its member: without its "[FC]".
QString withoutFc(const QString &reference);
} // namespace ObjectReferences

#endif
