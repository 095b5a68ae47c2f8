#ifndef STATIONSCOPE_SCLELEMENTS_H
#define STATIONSCOPE_SCLELEMENTS_H

// Small element queries that every pass over one IED shares.

#include <QDomElement>
#include <QString>
#include <QVector>

namespace SclElements {

// Descendants of element with the tag, in document order (element excluded).
QVector<QDomElement> descendants(const QDomElement &element, const QString &tag);
// The logical nodes of an LDevice: its LN0 and LN child elements. Comments,
// Private or other elements beside them are no logical nodes.
QVector<QDomElement> logicalNodes(const QDomElement &lDevice);

// The naming attributes of a logical node.
struct LnIdentity
{
    QString prefix;
    QString lnClass;
    QString inst;

    QString name() const;
    QString reference(const QString &iedName, const QString &ldInst) const;
};
LnIdentity lnIdentity(const QDomElement &ln);

} // namespace SclElements

#endif
