#include "livevaluetext.h"

#include "enumerationnames.h"

namespace {

bool namesStructure(const MmsTypeSpec &type, const MmsValue &value)
{
    return type.type() == MmsType::Structure && type.componentCount() == value.elementCount();
}

QString joined(const QString &base, const QString &path)
{
    return base.isEmpty() ? path : path.isEmpty() ? base : base + QLatin1Char('.') + path;
}

// "path: type value" per leaf, or "path=value" when not typed; base: the
// value's own names below the logical node, for enumerations.
void collectLines(const MmsValue &value, const MmsTypeSpec *type, const QString &path,
                  const QString &base, bool typed, QStringList *lines)
{
    const bool structured = value.type() == MmsType::Structure || value.type() == MmsType::Array;
    if (!structured) {
        const QString name = path.section(QLatin1Char('.'), -1);
        if (typed)
            lines->append(path + QStringLiteral(": ") +
                          LiveValueText::typedValue(value, joined(base, path)));
        else if (value.type() == MmsType::BitString && name == QLatin1String("q"))
            lines->append(path + QLatin1Char('=') + Quality::text(value.toQuality()));
        else if (value.type() == MmsType::UtcTime)
            lines->append(path + QLatin1Char('=') + value.utcTimeText());
        else if (value.type() == MmsType::Integer)
            lines->append(path + QLatin1Char('=') +
                          EnumerationNames::text(joined(base, path), value.toInt64()));
        else
            lines->append(path + QLatin1Char('=') + value.toText());
        return;
    }
    const bool named = type && namesStructure(*type, value);
    for (int i = 0; i < value.elementCount(); ++i) {
        const QString part = named ? type->componentName(i) : QString::number(i);
        const MmsTypeSpec *inner = nullptr;
        if (named)
            inner = &type->component(i);
        else if (type && type->type() == MmsType::Array && type->elementCount() > 0)
            inner = &type->element();
        collectLines(value.element(i), inner,
                     path.isEmpty() ? part : path + QLatin1Char('.') + part, base, typed, lines);
    }
}

} // namespace

namespace LiveValueText {

QString typedValue(const MmsValue &value, const QString &path)
{
    const QString name = path.section(QLatin1Char('.'), -1);
    if (value.isNull())
        return QStringLiteral("-");
    switch (value.type()) {
    case MmsType::UtcTime:
        return QStringLiteral("utc-time ") + value.utcTimeText();
    case MmsType::BitString:
        if (name == QLatin1String("q"))
            return QStringLiteral("quality ") + Quality::text(value.toQuality());
        break;
    case MmsType::DataAccessError:
        return QStringLiteral("error %1").arg(value.dataAccessErrorCode());
    case MmsType::Integer: {
        // The name after the number: "integer 1 (Ok)" still starts as before.
        const QString known = EnumerationNames::name(path, value.toInt64());
        if (!known.isEmpty())
            return QStringLiteral("%1 %2 (%3)").arg(value.typeString(), value.toText(), known);
        break;
    }
    case MmsType::Structure:
    case MmsType::Array:
        return value.typeString() + QLatin1Char(' ') + value.toText();
    default:
        break;
    }
    return value.typeString() + QLatin1Char(' ') + value.toText();
}

QStringList attributeLines(const MmsValue &value, const MmsTypeSpec &type, const QString &base)
{
    QStringList lines;
    collectLines(value, &type, QString(), base, true, &lines);
    return lines;
}

MemberText member(const MmsValue &value, const MmsTypeSpec *type, const QString &path)
{
    const QString name = path.section(QLatin1Char('.'), -1);
    MemberText text;
    if (value.type() == MmsType::BitString && name == QLatin1String("q")) {
        text.value = QStringLiteral("-");
        text.quality = Quality::text(value.toQuality());
        return text;
    }
    if (value.type() == MmsType::UtcTime) {
        text.value = QStringLiteral("-");
        text.timestamp = value.utcTimeText();
        return text;
    }
    if (value.type() != MmsType::Structure || !type || !namesStructure(*type, value)) {
        text.value = value.isNull() ? QStringLiteral("-")
                     : value.type() == MmsType::Integer
                         ? EnumerationNames::text(path, value.toInt64())
                         : value.toText();
        return text;
    }
    QStringList parts;
    for (int i = 0; i < value.elementCount(); ++i) {
        const QString component = type->componentName(i);
        const MmsValue element = value.element(i);
        if (component == QLatin1String("q") && element.type() == MmsType::BitString) {
            text.quality = Quality::text(element.toQuality());
        } else if (component == QLatin1String("t") && element.type() == MmsType::UtcTime) {
            text.timestamp = element.utcTimeText();
        } else {
            collectLines(element, &type->component(i), component, path, false, &parts);
        }
    }
    text.value = parts.join(QLatin1Char(' '));
    return text;
}

} // namespace LiveValueText
