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

} // namespace SclElements

#endif
