#include "scltypeindex.h"

void SclTypeIndex::clear()
{
    lnodeTypeIndex.clear();
    doTypeIndex.clear();
    daTypeIndex.clear();
}

void SclTypeIndex::build(const QDomElement &root)
{
    clear();
    // Document order below root, the root itself excluded.
    QDomElement element = root.firstChildElement();
    while (!element.isNull()) {
        const QString tag = element.tagName();
        if (tag == QLatin1String("LNodeType")) {
            lnodeTypeIndex[element.attribute(QStringLiteral("id"))].append(element);
        } else if (tag == QLatin1String("DOType")) {
            const QString id = element.attribute(QStringLiteral("id"));
            if (!doTypeIndex.contains(id)) {
                QVector<QDomNode> children;
                for (QDomNode child = element.firstChild(); !child.isNull();
                     child = child.nextSibling())
                    children.append(child);
                doTypeIndex.insert(id, children);
            }
        } else if (tag == QLatin1String("DAType")) {
            const QString id = element.attribute(QStringLiteral("id"));
            if (!daTypeIndex.contains(id)) {
                QVector<QDomNode> children;
                for (QDomElement bda = element.firstChildElement(QStringLiteral("BDA"));
                     !bda.isNull(); bda = bda.nextSiblingElement(QStringLiteral("BDA")))
                    children.append(bda);
                daTypeIndex.insert(id, children);
            }
        }
        // Next element in document order.
        QDomElement next = element.firstChildElement();
        if (next.isNull()) {
            QDomElement up = element;
            while (!up.isNull() && up != root) {
                next = up.nextSiblingElement();
                if (!next.isNull())
                    break;
                up = up.parentNode().toElement();
            }
        }
        element = next;
    }
}

QVector<QDomElement> SclTypeIndex::lnodeTypes(const QString &id) const
{
    return lnodeTypeIndex.value(id);
}

const QVector<QDomNode> &SclTypeIndex::doTypeChildren(const QString &id) const
{
    const auto it = doTypeIndex.constFind(id);
    return it == doTypeIndex.constEnd() ? none : it.value();
}

const QVector<QDomNode> &SclTypeIndex::dataTypeChildren(const QString &id) const
{
    const auto it = daTypeIndex.constFind(id);
    return it == daTypeIndex.constEnd() ? none : it.value();
}
