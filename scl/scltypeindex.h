#ifndef STATIONSCOPE_SCLTYPEINDEX_H
#define STATIONSCOPE_SCLTYPEINDEX_H

// The type templates of a document, by id: the first DOType or DAType with an
// id wins; every LNodeType with an id counts.

#include <QDomElement>
#include <QHash>
#include <QString>
#include <QVector>

class SclTypeIndex
{
public:
    void build(const QDomElement &root);
    void clear();

    // Every LNodeType with the id, in document order.
    QVector<QDomElement> lnodeTypes(const QString &id) const;
    // Every child node of the DOType (elements of any tag, comments, text).
    const QVector<QDomNode> &doTypeChildren(const QString &id) const;
    // The BDA child elements of the DAType.
    const QVector<QDomNode> &dataTypeChildren(const QString &id) const;

private:
    QHash<QString, QVector<QDomElement>> lnodeTypeIndex;
    QHash<QString, QVector<QDomNode>> doTypeIndex;
    QHash<QString, QVector<QDomNode>> daTypeIndex;
    QVector<QDomNode> none;
};

#endif
