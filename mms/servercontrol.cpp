#include "servercontrol.h"

namespace {

constexpr int DirectWithNormalSecurity = 1;
constexpr int ObjectAccessDenied = 3;
constexpr int TypeInconsistent = 7;
constexpr int ObjectNonExistent = 10;

// The status a control value stands for: double points take on (10) or off (01).
MmsValue statusOf(const MmsValue &ctlVal, const MmsTypeSpec &statusType)
{
    if (statusType.type() == MmsType::BitString && ctlVal.type() == MmsType::Boolean)
        return MmsValue::bitString(QByteArray(1, char(ctlVal.boolean() ? 0x80 : 0x40)), 2);
    return ctlVal;
}

} // namespace

bool ServerControl::isOperate(const QString &item)
{
    return item.section(QLatin1Char('$'), 1, 1) == QLatin1String("CO") &&
           item.section(QLatin1Char('$'), -1) == QLatin1String("Oper");
}

MmsWriteResult ServerControl::operate(const MmsServerModel &model, const QString &domain,
                                      const QString &item, const MmsValue &value, quint64 now)
{
    MmsTypeSpec type;
    MmsValue current;
    if (!model.find(domain, item, &type, &current))
        return MmsWriteResult::failure(ObjectNonExistent);
    if (!MmsServerModel::fits(type, value) || value.elementCount() == 0)
        return MmsWriteResult::failure(TypeInconsistent);
    // "LN$CO$DO$Oper": the object's configuration and status sit beside it.
    const QString ln = item.section(QLatin1Char('$'), 0, 0);
    const QString object = item.section(QLatin1Char('$'), 2, -2);
    MmsValue ctlModel;
    if (!model.find(domain, ln + QStringLiteral("$CF$") + object + QStringLiteral("$ctlModel"),
                    &type, &ctlModel) ||
        ctlModel.toInt32() != DirectWithNormalSecurity)
        return MmsWriteResult::failure(ObjectAccessDenied);
    const QString status = ln + QStringLiteral("$ST$") + object;
    MmsTypeSpec statusType;
    MmsValue stVal;
    if (!model.find(domain, status + QStringLiteral("$stVal"), &statusType, &stVal))
        return MmsWriteResult::failure(ObjectAccessDenied);
    const MmsValue next = statusOf(value.element(0), statusType);
    if (!MmsServerModel::fits(statusType, next))
        return MmsWriteResult::failure(TypeInconsistent);
    QVector<MmsValueUpdate> updates{{domain, status + QStringLiteral("$stVal"), next}};
    MmsValue stamp;
    if (model.find(domain, status + QStringLiteral("$q"), &type, &stamp))
        updates.append(
            {domain, status + QStringLiteral("$q"), MmsValue::bitString(QByteArray(2, '\0'), 13)});
    if (model.find(domain, status + QStringLiteral("$t"), &type, &stamp))
        updates.append({domain, status + QStringLiteral("$t"), MmsValue::utcTimeFromMs(now, 0x0a)});
    model.update(updates);
    return MmsWriteResult::ok();
}
