#include "sclelements.h"

#include "sclmodel.h"

#include <QDomNodeList>

namespace SclElements {

QVector<QDomElement> descendants(const QDomElement &element, const QString &tag)
{
    const QDomNodeList list = element.elementsByTagName(tag);
    QVector<QDomElement> result;
    result.reserve(list.size());
    for (int i = 0; i < list.size(); ++i)
        result.append(list.at(i).toElement());
    return result;
}

QVector<QDomElement> logicalNodes(const QDomElement &lDevice)
{
    QVector<QDomElement> result;
    for (QDomElement child = lDevice.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        const QString tag = child.tagName();
        if (tag == QLatin1String("LN0") || tag == QLatin1String("LN"))
            result.append(child);
    }
    return result;
}

QString LnIdentity::name() const
{
    return lnName(prefix, lnClass, inst);
}

QString LnIdentity::reference(const QString &iedName, const QString &ldInst) const
{
    return lnReference(iedName, ldInst, prefix, lnClass, inst);
}

LnIdentity lnIdentity(const QDomElement &ln)
{
    return {ln.attribute(QStringLiteral("prefix")), ln.attribute(QStringLiteral("lnClass")),
            ln.attribute(QStringLiteral("inst"))};
}

} // namespace SclElements
