#include "servercontrols.h"

#include "mmsreport.h"

#include <QMutexLocker>

namespace {

constexpr int TemporarilyUnavailable = 2;
constexpr int ObjectAccessDenied = 3;
constexpr int TypeInconsistent = 7;
constexpr int ObjectNonExistent = 10;
// Beh and Mod "off".
constexpr int ModeOff = 5;
// The position range of a step position (valWTr.posVal).
constexpr int MinPosition = -64;
constexpr int MaxPosition = 63;
// Time stamps of executed commands: accuracy of 10 bits of the fraction.
constexpr quint8 TimeAccuracy = 0x0a;

const QString Co = QStringLiteral("$CO$");

QString logicalNode(const QString &object)
{
    return object.section(QLatin1Char('$'), 0, 0);
}

// "LN$CO$DO" with another constraint and an attribute: "LN$ST$DO$stVal".
QString attributeOf(const QString &object, const QString &fc, const QString &attribute)
{
    return logicalNode(object) + QLatin1Char('$') + fc + QLatin1Char('$') +
           object.section(QLatin1Char('$'), 2) + QLatin1Char('$') + attribute;
}

MmsValue memberOf(const MmsServerModel &model, const QString &domain, const QString &item,
                  const MmsValue &value, const QString &name)
{
    MmsTypeSpec type;
    MmsValue current;
    if (!model.find(domain, item, &type, &current))
        return MmsValue();
    const int index = type.indexOf(name);
    return index >= 0 ? value.element(index) : MmsValue();
}

} // namespace

ServerControls::ServerControls(std::shared_ptr<const MmsServerModel> model)
    : model(std::move(model)), random(QRandomGenerator::securelySeeded())
{
}

std::shared_ptr<ServerControls>
ServerControls::forModel(const std::shared_ptr<const MmsServerModel> &model)
{
    static QMutex registryLock;
    static QHash<const MmsServerModel *, std::weak_ptr<ServerControls>> registry;
    QMutexLocker lock(&registryLock);
    for (auto it = registry.begin(); it != registry.end();) {
        if (it->expired())
            it = registry.erase(it);
        else
            ++it;
    }
    // Controls hold their model, so a live entry cannot name a model that died.
    std::shared_ptr<ServerControls> controls = registry.value(model.get()).lock();
    if (!controls) {
        controls = std::make_shared<ServerControls>(model);
        registry.insert(model.get(), controls);
    }
    return controls;
}

bool ServerControls::handlesWrite(const QString &item)
{
    return item.contains(Co) &&
           (item.endsWith(QLatin1String("$Oper")) || item.endsWith(QLatin1String("$SBOw")) ||
            item.endsWith(QLatin1String("$Cancel")));
}

bool ServerControls::handlesRead(const QString &item)
{
    return item.contains(Co) && item.endsWith(QLatin1String("$SBO"));
}

bool ServerControls::controlModel(const QString &domain, const QString &object,
                                  ControlModel *controlModel) const
{
    MmsTypeSpec type;
    MmsValue value;
    if (!model->find(domain, attributeOf(object, QStringLiteral("CF"), QStringLiteral("ctlModel")),
                     &type, &value) ||
        value.type() != MmsType::Integer || value.toInt32() < 0 || value.toInt32() > 4)
        return false;
    *controlModel = ControlModel(value.toInt32());
    return true;
}

bool ServerControls::blockedByMode(const QString &domain, const QString &object) const
{
    for (const char *name : {"Beh", "Mod"}) {
        MmsTypeSpec type;
        MmsValue value;
        const QString item = logicalNode(object) + QStringLiteral("$ST$") + QLatin1String(name) +
                             QStringLiteral("$stVal");
        if (model->find(domain, item, &type, &value) && value.type() == MmsType::Integer)
            return value.toInt32() == ModeOff;
    }
    return false;
}

quint64 ServerControls::selectTimeout(const QString &domain, const QString &object) const
{
    MmsTypeSpec type;
    MmsValue value;
    if (model->find(domain, attributeOf(object, QStringLiteral("CF"), QStringLiteral("sboTimeout")),
                    &type, &value) &&
        (value.type() == MmsType::Unsigned || value.type() == MmsType::Integer) &&
        value.toInt64() > 0)
        return quint64(value.toInt64());
    return quint64(qMax(0, selectTimeoutMs));
}

const ServerControls::Selection *ServerControls::selection(const QString &key, quint64 now)
{
    const auto found = selections.constFind(key);
    if (found == selections.constEnd())
        return nullptr;
    if (now >= found->time + found->timeoutMs) {
        selections.erase(found);
        return nullptr;
    }
    return &found.value();
}

ServerControls::WriteOutcome ServerControls::write(int connection, const QString &domain,
                                                   const QString &item, const MmsValue &value,
                                                   quint64 now)
{
    WriteOutcome outcome;
    MmsTypeSpec type;
    MmsValue current;
    Command command;
    command.domain = domain;
    command.object = item.section(QLatin1Char('$'), 0, -2);
    command.member = item.section(QLatin1Char('$'), -1);
    command.value = value;
    if (!model->find(domain, item, &type, &current) ||
        !controlModel(domain, command.object, &command.model)) {
        outcome.result = MmsWriteResult::failure(ObjectNonExistent);
        return outcome;
    }
    if (!MmsServerModel::fits(type, value)) {
        outcome.result = MmsWriteResult::failure(TypeInconsistent);
        return outcome;
    }
    if (command.model == ControlModel::StatusOnly) {
        outcome.result = MmsWriteResult::failure(ObjectAccessDenied);
        return outcome;
    }
    QMutexLocker lock(&mutex);
    if (command.member == QLatin1String("SBOw"))
        return selectWithValue(connection, command, now);
    if (command.member == QLatin1String("Cancel"))
        return cancel(connection, command, now);
    return operate(connection, command, now);
}

MmsValue ServerControls::readSelect(int connection, const QString &domain, const QString &item,
                                    quint64 now)
{
    const QString object = item.section(QLatin1Char('$'), 0, -2);
    const MmsValue refused = MmsValue::visibleString(QByteArray());
    MmsTypeSpec type;
    MmsValue current;
    if (!model->find(domain, item, &type, &current))
        return MmsValue::dataAccessError(ObjectNonExistent);
    ControlModel controlModelValue = ControlModel::StatusOnly;
    if (!controlModel(domain, object, &controlModelValue) ||
        controlModelValue != ControlModel::SboNormal || blockedByMode(domain, object))
        return refused;
    QMutexLocker lock(&mutex);
    const QString key = domain + QLatin1Char('/') + object;
    const Selection *held = selection(key, now);
    if (held && held->connection != connection)
        return refused;
    selections.insert(key, {connection, now, MmsValue(), selectTimeout(domain, object)});
    return MmsValue::visibleString(key.toLatin1());
}

void ServerControls::removeConnection(int connection)
{
    QMutexLocker lock(&mutex);
    for (auto it = selections.begin(); it != selections.end();) {
        if (it->connection == connection)
            it = selections.erase(it);
        else
            ++it;
    }
}

ServerControls::WriteOutcome ServerControls::operate(int connection, const Command &command,
                                                     quint64 now)
{
    if (blockedByMode(command.domain, command.object))
        return refuse(command, ControlAddCause::BlockedByMode, ObjectAccessDenied);
    const QString key = command.domain + QLatin1Char('/') + command.object;
    if (ControlModels::isSelectBeforeOperate(command.model)) {
        const Selection *held = selection(key, now);
        if (!held)
            return refuse(command, ControlAddCause::ObjectNotSelected, ObjectAccessDenied);
        if (held->connection != connection)
            return refuse(command, ControlAddCause::LockedByOtherClient, TemporarilyUnavailable);
        const bool consistent =
            command.model != ControlModel::SboEnhanced || held->parameters == command.value;
        // A failed operate ends the selection as a successful one does.
        selections.remove(key);
        if (!consistent)
            return refuse(command, ControlAddCause::InconsistentParameters, ObjectAccessDenied);
    }
    const bool enhanced = ControlModels::isEnhanced(command.model);
    int failure = ControlAddCause::None;
    if (refusalPercent > 0 && int(random.bounded(100)) < refusalPercent)
        failure = ControlAddCause::BlockedByProcess;
    else if (!execute(command, now))
        failure = ControlAddCause::StepLimit;
    if (failure != ControlAddCause::None && !enhanced)
        return refuse(command, failure, ObjectAccessDenied);
    WriteOutcome outcome;
    if (enhanced)
        outcome.after << termination(command, failure == ControlAddCause::None, failure);
    return outcome;
}

ServerControls::WriteOutcome ServerControls::selectWithValue(int connection, const Command &command,
                                                             quint64 now)
{
    if (command.model != ControlModel::SboEnhanced) {
        WriteOutcome outcome;
        outcome.result = MmsWriteResult::failure(ObjectAccessDenied);
        return outcome;
    }
    if (blockedByMode(command.domain, command.object))
        return refuse(command, ControlAddCause::BlockedByMode, ObjectAccessDenied);
    const QString key = command.domain + QLatin1Char('/') + command.object;
    if (selection(key, now))
        return refuse(command, ControlAddCause::ObjectAlreadySelected, ObjectAccessDenied);
    selections.insert(
        key, {connection, now, command.value, selectTimeout(command.domain, command.object)});
    return WriteOutcome();
}

ServerControls::WriteOutcome ServerControls::cancel(int connection, const Command &command,
                                                    quint64 now)
{
    if (!ControlModels::isSelectBeforeOperate(command.model))
        return WriteOutcome();
    const QString key = command.domain + QLatin1Char('/') + command.object;
    const Selection *held = selection(key, now);
    if (!held)
        return refuse(command, ControlAddCause::ObjectNotSelected, ObjectAccessDenied);
    if (held->connection != connection)
        return refuse(command, ControlAddCause::LockedByOtherClient, TemporarilyUnavailable);
    selections.remove(key);
    return WriteOutcome();
}

bool ServerControls::execute(const Command &command, quint64 now) const
{
    const QString item = command.object + QLatin1Char('$') + command.member;
    const MmsValue ctlVal =
        memberOf(*model, command.domain, item, command.value, QStringLiteral("ctlVal"));
    QVector<MmsValueUpdate> updates;
    auto attribute = [&](const QString &fc, const QString &name, MmsValue *value) {
        MmsTypeSpec type;
        return model->find(command.domain, attributeOf(command.object, fc, name), &type, value);
    };
    auto set = [&](const QString &fc, const QString &name, const MmsValue &value) {
        MmsValue current;
        if (attribute(fc, name, &current))
            updates.append({command.domain, attributeOf(command.object, fc, name), value});
    };
    const QString st = QStringLiteral("ST");
    MmsValue stVal;
    MmsValue position;
    QString changedFc = st;
    if (attribute(st, QStringLiteral("valWTr$posVal"), &position) &&
        ctlVal.type() == MmsType::Integer) {
        // A step command (1 lower, 2 higher, 0 stop) moves one step.
        const qint64 step = ctlVal.toInt64() == 2 ? 1 : ctlVal.toInt64() == 1 ? -1 : 0;
        const qint64 target = position.toInt64() + step;
        if (target < MinPosition || target > MaxPosition)
            return false;
        set(st, QStringLiteral("valWTr$posVal"), MmsValue::integer(target));
    } else if (attribute(st, QStringLiteral("stVal"), &stVal)) {
        if (stVal.type() == MmsType::BitString && ctlVal.type() == MmsType::Boolean)
            set(st, QStringLiteral("stVal"),
                MmsValue::bitString(QByteArray(1, char(ctlVal.boolean() ? 0x80 : 0x40)), 2));
        else if (stVal.type() == ctlVal.type())
            set(st, QStringLiteral("stVal"), ctlVal);
    } else {
        changedFc = QStringLiteral("MX");
        set(changedFc, QStringLiteral("mxVal"), ctlVal);
    }
    set(changedFc, QStringLiteral("q"), MmsValue::bitString(QByteArray(2, '\0'), 13));
    set(changedFc, QStringLiteral("t"), MmsValue::utcTimeFromMs(now, TimeAccuracy));
    set(st, QStringLiteral("origin"),
        memberOf(*model, command.domain, item, command.value, QStringLiteral("origin")));
    set(st, QStringLiteral("ctlNum"),
        memberOf(*model, command.domain, item, command.value, QStringLiteral("ctlNum")));
    for (int i = updates.size() - 1; i >= 0; --i) {
        if (updates.at(i).value.isNull())
            updates.removeAt(i);
    }
    model->update(updates);
    return true;
}

ServerControls::WriteOutcome ServerControls::refuse(const Command &command, int addCause,
                                                    int dataAccessError) const
{
    WriteOutcome outcome;
    outcome.result = MmsWriteResult::failure(dataAccessError);
    outcome.before << lastApplError(command, addCause);
    return outcome;
}

namespace {

LastApplError applErrorOf(const MmsServerModel &model, const QString &domain, const QString &item,
                          const MmsValue &value, int addCause)
{
    LastApplError error;
    error.controlObject = domain + QLatin1Char('/') + item;
    error.addCause = addCause;
    ControlOrigin::fromValue(memberOf(model, domain, item, value, QStringLiteral("origin")),
                             &error.origin);
    error.ctlNum = memberOf(model, domain, item, value, QStringLiteral("ctlNum")).toUint32();
    return error;
}

const MmsObjectName LastApplErrorName{MmsObjectName::VmdSpecific, QString(),
                                      QStringLiteral("LastApplError")};

} // namespace

QByteArray ServerControls::lastApplError(const Command &command, int addCause) const
{
    const QString item = command.object + QLatin1Char('$') + command.member;
    MmsInformationReport report;
    report.namedList = false;
    report.variables << LastApplErrorName;
    report.values << applErrorOf(*model, command.domain, item, command.value, addCause).toValue();
    return MmsReportCodec::informationReportPdu(report);
}

QByteArray ServerControls::termination(const Command &command, bool positive, int addCause) const
{
    const QString item = command.object + QStringLiteral("$Oper");
    MmsInformationReport report;
    report.namedList = false;
    if (!positive) {
        report.variables << LastApplErrorName;
        report.values
            << applErrorOf(*model, command.domain, item, command.value, addCause).toValue();
    }
    report.variables << MmsObjectName{MmsObjectName::DomainSpecific, command.domain, item};
    report.values << command.value;
    return MmsReportCodec::informationReportPdu(report);
}
