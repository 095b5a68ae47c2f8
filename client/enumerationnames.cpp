#include "enumerationnames.h"

#include <QHash>
#include <QRegularExpression>

namespace {

using Names = QHash<qint64, QString>;

const Names &healthKind()
{
    static const Names names{
        {1, QStringLiteral("Ok")}, {2, QStringLiteral("Warning")}, {3, QStringLiteral("Alarm")}};
    return names;
}

const Names &behaviourModeKind()
{
    static const Names names{{1, QStringLiteral("on")},
                             {2, QStringLiteral("blocked")},
                             {3, QStringLiteral("test")},
                             {4, QStringLiteral("test/blocked")},
                             {5, QStringLiteral("off")}};
    return names;
}

const Names &controlModelKind()
{
    static const Names names{{0, QStringLiteral("status-only")},
                             {1, QStringLiteral("direct-with-normal-security")},
                             {2, QStringLiteral("sbo-with-normal-security")},
                             {3, QStringLiteral("direct-with-enhanced-security")},
                             {4, QStringLiteral("sbo-with-enhanced-security")}};
    return names;
}

const Names &originatorCategoryKind()
{
    static const Names names{
        {0, QStringLiteral("not-supported")},    {1, QStringLiteral("bay-control")},
        {2, QStringLiteral("station-control")},  {3, QStringLiteral("remote-control")},
        {4, QStringLiteral("automatic-bay")},    {5, QStringLiteral("automatic-station")},
        {6, QStringLiteral("automatic-remote")}, {7, QStringLiteral("maintenance")},
        {8, QStringLiteral("process")}};
    return names;
}

const Names &sboClassKind()
{
    static const Names names{{0, QStringLiteral("operate-once")},
                             {1, QStringLiteral("operate-many")}};
    return names;
}

// The standard enumeration an attribute holds, by its data object and its name.
const Names *standardNames(const QStringList &names)
{
    if (names.isEmpty())
        return nullptr;
    const QString &last = names.last();
    if (last == QLatin1String("ctlModel"))
        return &controlModelKind();
    if (last == QLatin1String("orCat"))
        return &originatorCategoryKind();
    if (last == QLatin1String("sboClass"))
        return &sboClassKind();
    if (names.size() < 2)
        return nullptr;
    // The status, the substituted and the commanded value of the data object.
    if (last != QLatin1String("stVal") && last != QLatin1String("subVal") &&
        last != QLatin1String("ctlVal"))
        return nullptr;
    const QString &object = names.first();
    if (object == QLatin1String("Health") || object == QLatin1String("EEHealth") ||
        object == QLatin1String("PhyHealth"))
        return &healthKind();
    if (object == QLatin1String("Beh") || object == QLatin1String("Mod"))
        return &behaviourModeKind();
    return nullptr;
}

} // namespace

QStringList EnumerationNames::pathNames(const QString &path)
{
    QString text = path;
    static const QRegularExpression constraint(QStringLiteral("\\[[A-Z]{2}\\]"));
    text.remove(constraint);
    const int slash = text.indexOf(QLatin1Char('/'));
    if (text.contains(QLatin1Char('$'))) {
        // "LD/LN$FC$DO$DA": the constraint follows the node.
        QStringList parts = text.mid(slash + 1).split(QLatin1Char('$'), Qt::SkipEmptyParts);
        if (slash >= 0 && !parts.isEmpty())
            parts.removeFirst();
        if (parts.size() > 1 && parts.first().size() == 2 &&
            parts.first() == parts.first().toUpper())
            parts.removeFirst();
        return parts;
    }
    if (slash >= 0) {
        const int dot = text.indexOf(QLatin1Char('.'), slash);
        text = dot < 0 ? QString() : text.mid(dot + 1);
    }
    return text.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

QString EnumerationNames::name(const QString &path, qint64 value)
{
    const QStringList names = pathNames(path);
    const Names *known = standardNames(names);
    return known ? known->value(value) : QString();
}

QString EnumerationNames::text(const QString &path, qint64 value)
{
    const QString known = name(path, value);
    return known.isEmpty() ? QString::number(value)
                           : QStringLiteral("%1 (%2)").arg(known).arg(value);
}
