#include "controldefinitions.h"

#include <QStringList>

QString ControlModels::name(int model)
{
    static const char *const names[] = {"status-only", "direct-with-normal-security",
                                        "sbo-with-normal-security", "direct-with-enhanced-security",
                                        "sbo-with-enhanced-security"};
    if (model < 0 || model > 4)
        return QStringLiteral("unknown(%1)").arg(model);
    return QString::fromLatin1(names[model]);
}

QString ControlAddCause::name(int addCause)
{
    static const char *const names[] = {"Unknown",
                                        "Not-supported",
                                        "Blocked-by-switching-hierarchy",
                                        "Select-failed",
                                        "Invalid-position",
                                        "Position-reached",
                                        "Parameter-change-in-execution",
                                        "Step-limit",
                                        "Blocked-by-mode",
                                        "Blocked-by-process",
                                        "Blocked-by-interlocking",
                                        "Blocked-by-synchrocheck",
                                        "Command-already-in-execution",
                                        "Blocked-by-health",
                                        "1-of-n-control",
                                        "Abortion-by-cancel",
                                        "Time-limit-over",
                                        "Abortion-by-trip",
                                        "Object-not-selected",
                                        "Object-already-selected",
                                        "No-access-authority",
                                        "Ended-with-overshoot",
                                        "Abortion-due-to-deviation",
                                        "Abortion-by-communication-loss",
                                        "Abortion-by-command",
                                        "None",
                                        "Inconsistent-parameters",
                                        "Locked-by-other-client"};
    if (addCause < 0 || addCause > LockedByOtherClient)
        return QString::fromLatin1(names[0]);
    return QString::fromLatin1(names[addCause]);
}

QString ControlError::name(int error)
{
    switch (error) {
    case NoError:
        return QStringLiteral("No-error");
    case TimeoutTest:
        return QStringLiteral("Timeout-test-not-ok");
    case OperatorTest:
        return QStringLiteral("Operator-test-not-ok");
    default:
        return QStringLiteral("Unknown");
    }
}

MmsValue ControlOrigin::toValue() const
{
    return MmsValue::structure({MmsValue::integer(category), MmsValue::octetString(identity)});
}

bool ControlOrigin::fromValue(const MmsValue &value, ControlOrigin *origin)
{
    if (value.type() != MmsType::Structure || value.elementCount() != 2 ||
        value.element(0).type() != MmsType::Integer ||
        value.element(1).type() != MmsType::OctetString)
        return false;
    origin->category = value.element(0).toInt32();
    origin->identity = value.element(1).octets();
    return true;
}

MmsValue LastApplError::toValue() const
{
    return MmsValue::structure({MmsValue::visibleString(controlObject.toLatin1()),
                                MmsValue::integer(error), origin.toValue(),
                                MmsValue::unsignedInteger(ctlNum), MmsValue::integer(addCause)});
}

bool LastApplError::fromValue(const MmsValue &value, LastApplError *lastApplError)
{
    if (value.type() != MmsType::Structure || value.elementCount() != 5)
        return false;
    const MmsValue object = value.element(0);
    const MmsValue error = value.element(1);
    const MmsValue ctlNum = value.element(3);
    const MmsValue addCause = value.element(4);
    LastApplError decoded;
    if (object.type() != MmsType::VisibleString || error.type() != MmsType::Integer ||
        (ctlNum.type() != MmsType::Unsigned && ctlNum.type() != MmsType::Integer) ||
        addCause.type() != MmsType::Integer ||
        !ControlOrigin::fromValue(value.element(2), &decoded.origin))
        return false;
    decoded.controlObject = object.toString();
    decoded.error = error.toInt32();
    decoded.ctlNum = ctlNum.toUint32();
    decoded.addCause = addCause.toInt32();
    *lastApplError = decoded;
    return true;
}

namespace {

MmsValue scalarFromText(const MmsTypeSpec &type, const QString &text)
{
    const QString word = text.trimmed().toLower();
    bool ok = false;
    switch (type.type()) {
    case MmsType::Boolean:
        if (word == QLatin1String("true") || word == QLatin1String("on") ||
            word == QLatin1String("1"))
            return MmsValue::boolean(true);
        if (word == QLatin1String("false") || word == QLatin1String("off") ||
            word == QLatin1String("0"))
            return MmsValue::boolean(false);
        return MmsValue();
    case MmsType::Integer: {
        const qint64 number = word.toLongLong(&ok);
        return ok ? MmsValue::integer(number) : MmsValue();
    }
    case MmsType::Unsigned: {
        const quint64 number = word.toULongLong(&ok);
        return ok ? MmsValue::unsignedInteger(number) : MmsValue();
    }
    case MmsType::Float: {
        const double number = word.toDouble(&ok);
        if (!ok)
            return MmsValue();
        return type.size() == 64 ? MmsValue::doubleFloatingPoint(number)
                                 : MmsValue::floatingPoint(float(number));
    }
    default:
        return MmsValue();
    }
}

} // namespace

MmsValue ControlValues::fromText(const MmsTypeSpec &type, const QString &text)
{
    if (type.type() != MmsType::Structure)
        return scalarFromText(type, text);
    std::vector<MmsValue> members;
    for (int i = 0; i < type.componentCount(); ++i) {
        MmsValue member = scalarFromText(type.component(i), text);
        if (member.isNull())
            return MmsValue();
        members.push_back(member);
    }
    return members.empty() ? MmsValue() : MmsValue::structure(std::move(members));
}

QString ControlValues::kind(const MmsTypeSpec &type)
{
    switch (type.type()) {
    case MmsType::Boolean:
        return QStringLiteral("boolean");
    case MmsType::Integer:
    case MmsType::Unsigned:
        return QStringLiteral("integer");
    case MmsType::Float:
    case MmsType::Structure:
        return QStringLiteral("analogue");
    default:
        return mmsTypeName(type.type());
    }
}
