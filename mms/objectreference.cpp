#include "objectreference.h"

#include <QRegularExpression>

namespace {

// MMS identifiers carry at most 64 characters in IEC 61850-8-1 domains and
// items; longer parts cannot name anything on the wire.
constexpr int MaxDomainLength = 64;
constexpr int MaxItemLength = 255;

bool validPart(const QString &part)
{
    if (part.isEmpty())
        return false;
    for (const QChar c : part) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 0x7f)
            return false;
    }
    return true;
}

} // namespace

bool ObjectReference::parse(const QString &text, ObjectReference *reference)
{
    *reference = ObjectReference();
    // Names listed with their constraint may be joined into references as
    // they come ("LD/LN.DO.Oper[CO].ctlNum[CO]"): every constraint must agree.
    static const QRegularExpression constraint(QStringLiteral("\\[([A-Z]{2})\\]"));
    QString rest = text;
    QRegularExpressionMatchIterator matches = constraint.globalMatch(text);
    while (matches.hasNext()) {
        const QString fc = matches.next().captured(1);
        if (!reference->fc.isEmpty() && reference->fc != fc)
            return false;
        reference->fc = fc;
    }
    rest.remove(constraint);
    if (rest.contains(QLatin1Char('[')) || rest.contains(QLatin1Char(']')))
        return false;
    const int slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    reference->logicalDevice = rest.left(slash);
    if (reference->logicalDevice.size() > MaxDomainLength || !validPart(reference->logicalDevice))
        return false;
    QString objectPart = rest.mid(slash + 1);
    if (objectPart.size() > MaxItemLength)
        return false;
    objectPart.replace(QLatin1Char('$'), QLatin1Char('.'));
    const QStringList parts = objectPart.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        if (!validPart(part))
            return false;
    }
    reference->logicalNode = parts.first();
    reference->path = parts.mid(1);
    return true;
}

QString ObjectReference::mmsItem(const QString &functionalConstraint) const
{
    QStringList parts{logicalNode, functionalConstraint};
    parts += path;
    return parts.join(QLatin1Char('$'));
}

QString ObjectReference::plainItem() const
{
    QStringList parts{logicalNode};
    parts += path;
    return parts.join(QLatin1Char('$'));
}

namespace ObjectReferences {

bool isFunctionalConstraint(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Z]{2}$"));
    return pattern.match(text).hasMatch();
}

QString fromMmsName(const QString &domain, const QString &item)
{
    const QStringList parts = item.split(QLatin1Char('$'));
    if (parts.size() < 3)
        return domain + QLatin1Char('/') + parts.join(QLatin1Char('.'));
    return domain + QLatin1Char('/') + parts.first() + QLatin1Char('.') +
           parts.mid(2).join(QLatin1Char('.')) + QLatin1Char('[') + parts.at(1) + QLatin1Char(']');
}

} // namespace ObjectReferences

QString ObjectReferences::withoutFc(const QString &reference)
{
    const int bracket = reference.indexOf(QLatin1Char('['));
    return bracket < 0 ? reference : reference.left(bracket);
}
