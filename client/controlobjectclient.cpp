#include "controlobjectclient.h"

#include "objectreference.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QRegularExpression>

namespace {

const QString LastApplErrorName = QStringLiteral("LastApplError");

// The information report handler belongs to the command in progress only.
class InformationScope
{
public:
    InformationScope(IedConnection &connection,
                     const IedConnection::InformationReportHandler &handler)
        : connection(connection)
    {
        connection.setInformationReportHandler(handler);
    }
    ~InformationScope() { connection.setInformationReportHandler(nullptr); }

private:
    IedConnection &connection;
};

} // namespace

ControlObjectClient::ControlObjectClient(IedConnection &connection, const QString &reference)
    : connection(connection), objectReference(reference),
      now([] { return quint64(QDateTime::currentMSecsSinceEpoch()); })
{
    ObjectReference parsed;
    if (ObjectReference::parse(reference, &parsed) && !parsed.path.isEmpty() &&
        parsed.fc.isEmpty()) {
        objectReference = parsed.logicalDevice + QLatin1Char('/') + parsed.logicalNode +
                          QLatin1Char('.') + parsed.path.join(QLatin1Char('.'));
        domain = parsed.logicalDevice;
        coItem = parsed.mmsItem(QStringLiteral("CO"));
    }
}

QString ControlObjectClient::mmsPrefix() const
{
    return domain + QLatin1Char('/') + coItem + QLatin1Char('$');
}

IedClientError ControlObjectClient::load()
{
    loaded = false;
    if (domain.isEmpty())
        return error = IedClientError::ObjectReferenceInvalid;
    IedClientError code = IedClientError::Ok;
    const MmsValue ctlModel = connection.readObject(objectReference + QStringLiteral(".ctlModel"),
                                                    QStringLiteral("CF"), &code);
    if (code != IedClientError::Ok)
        return error = code;
    if (ctlModel.type() != MmsType::Integer || ctlModel.toInt32() < 0 || ctlModel.toInt32() > 4)
        return error = IedClientError::UnexpectedValueReceived;
    model = ControlModel(ctlModel.toInt32());
    if (model != ControlModel::StatusOnly) {
        const MmsTypeSpec co =
            connection.variableSpecification(objectReference, QStringLiteral("CO"), &code);
        if (code != IedClientError::Ok)
            return error = code;
        const int oper = co.indexOf(QStringLiteral("Oper"));
        if (oper < 0 || co.component(oper).type() != MmsType::Structure)
            return error = IedClientError::ObjectDoesNotExist;
        operType = co.component(oper);
        const int sbow = co.indexOf(QStringLiteral("SBOw"));
        sbowType = sbow >= 0 ? co.component(sbow) : operType;
        const int cancelIndex = co.indexOf(QStringLiteral("Cancel"));
        cancelType = cancelIndex >= 0 ? co.component(cancelIndex) : MmsTypeSpec();
    }
    loaded = true;
    return error = IedClientError::Ok;
}

MmsTypeSpec ControlObjectClient::ctlValType() const
{
    const int index = operType.indexOf(QStringLiteral("ctlVal"));
    return index >= 0 ? operType.component(index) : MmsTypeSpec();
}

MmsValue ControlObjectClient::commandValue(const MmsTypeSpec &type, const MmsValue &ctlVal,
                                           quint64 time) const
{
    std::vector<MmsValue> members;
    for (int i = 0; i < type.componentCount(); ++i) {
        const QString name = type.componentName(i);
        const MmsTypeSpec &member = type.component(i);
        if (name == QLatin1String("ctlVal")) {
            members.push_back(ctlVal.isNull() ? member.defaultValue() : ctlVal);
        } else if (name == QLatin1String("origin")) {
            members.push_back(origin.toValue());
        } else if (name == QLatin1String("ctlNum")) {
            members.push_back(MmsValue::unsignedInteger(counter));
        } else if (name == QLatin1String("T") || name == QLatin1String("operTm")) {
            members.push_back(member.type() == MmsType::BinaryTime
                                  ? MmsValue::binaryTimeFromMs(time)
                                  : MmsValue::utcTimeFromMs(time, 0));
        } else if (name == QLatin1String("Test")) {
            members.push_back(MmsValue::boolean(test));
        } else if (name == QLatin1String("Check")) {
            const char bits = char((synchroCheck ? 0x80 : 0) | (interlockCheck ? 0x40 : 0));
            members.push_back(MmsValue::bitString(QByteArray(1, bits), 2));
        } else {
            members.push_back(member.defaultValue());
        }
    }
    return MmsValue::structure(std::move(members));
}

void ControlObjectClient::startCommand()
{
    error = IedClientError::Ok;
    applErrorReceived = false;
    applError = LastApplError();
    terminationState = Termination::NotExpected;
    unknownDetail.clear();
    ignored.clear();
    awaiting = false;
}

bool ControlObjectClient::checkReady()
{
    if (!loaded) {
        error = IedClientError::ObjectUndefined;
        return false;
    }
    if (model == ControlModel::StatusOnly) {
        error = IedClientError::ObjectAccessUnsupported;
        return false;
    }
    return true;
}

bool ControlObjectClient::write(const QString &member, const MmsTypeSpec &type,
                                const MmsValue &ctlVal, quint64 time)
{
    const InformationScope scope(
        connection, [this](const MmsInformationReport &report) { takeInformation(report); });
    error = connection.writeObject(objectReference + QLatin1Char('.') + member,
                                   QStringLiteral("CO"), commandValue(type, ctlVal, time));
    // A refusal's LastApplError comes before the write response: it is queued.
    connection.processIncoming(0);
    return error == IedClientError::Ok;
}

// Devices name the object in CntrlObj as "LD/LN$CO$DO$Oper", "LD/LN$CO$DO",
// with dots, or without the constraint; all of them are "LD/LN$DO" here.
QString ControlObjectClient::objectKey(const QString &controlObject)
{
    const int slash = controlObject.indexOf(QLatin1Char('/'));
    QStringList parts =
        controlObject.mid(slash + 1).split(QRegularExpression(QStringLiteral("[.$]")));
    if (parts.size() > 2 && parts.at(1) == QLatin1String("CO"))
        parts.removeAt(1);
    static const QStringList services{QStringLiteral("Oper"), QStringLiteral("SBOw"),
                                      QStringLiteral("SBO"), QStringLiteral("Cancel")};
    if (parts.size() > 2 && services.contains(parts.last()))
        parts.removeLast();
    return controlObject.left(slash + 1) + parts.join(QLatin1Char('$'));
}

bool ControlObjectClient::namesThisObject(const QString &controlObject) const
{
    return !domain.isEmpty() &&
           objectKey(controlObject) == objectKey(mmsPrefix() + QStringLiteral("Oper"));
}

bool ControlObjectClient::ctlNumOf(const MmsValue &oper, quint32 *number) const
{
    const int index = operType.indexOf(QStringLiteral("ctlNum"));
    if (oper.type() != MmsType::Structure || index < 0 || index >= oper.elementCount())
        return false;
    const MmsValue value = oper.element(index);
    if (value.type() != MmsType::Unsigned && value.type() != MmsType::Integer)
        return false;
    *number = value.toUint32();
    return true;
}

void ControlObjectClient::takeInformation(const MmsInformationReport &report)
{
    if (report.namedList)
        return;
    int applErrorIndex = -1;
    int operIndex = -1;
    for (int i = 0; i < report.variables.size() && i < report.values.size(); ++i) {
        const MmsObjectName &name = report.variables.at(i);
        if (name.scope == MmsObjectName::VmdSpecific && name.item == LastApplErrorName)
            applErrorIndex = i;
        else if (name.scope == MmsObjectName::DomainSpecific && name.domain == domain &&
                 name.item == coItem + QStringLiteral("$Oper"))
            operIndex = i;
    }
    LastApplError decoded;
    const bool applErrorDecodes =
        applErrorIndex >= 0 && LastApplError::fromValue(report.values.at(applErrorIndex), &decoded);
    if (operIndex < 0) {
        // A refused write's LastApplError, sent before the write response.
        if (applErrorDecodes && namesThisObject(decoded.controlObject)) {
            applErrorReceived = true;
            applError = decoded;
        }
        return;
    }

    quint32 number = 0;
    const bool numbered = ctlNumOf(report.values.at(operIndex), &number);
    const QString sign = applErrorIndex >= 0 ? QStringLiteral("-") : QStringLiteral("+");
    // Only a termination that follows this command's Oper response and
    // carries its ctlNum is its own; an earlier one may sit in the queue.
    if (!awaiting || connection.informationPrecedesLastAnswer() ||
        (numbered && number != counter)) {
        ignored << QStringLiteral("ignored: CommandTermination%1 ctlNum %2 (%3)")
                       .arg(sign, numbered ? QString::number(number) : QStringLiteral("?"),
                            !awaiting || connection.informationPrecedesLastAnswer()
                                ? QStringLiteral("not after this command's Oper response")
                                : QStringLiteral("not this command's ctlNum %1").arg(counter));
        return;
    }
    awaiting = false;
    if (!numbered) {
        unknownOutcome(
            QStringLiteral("a CommandTermination%1 whose Oper carries no ctlNum").arg(sign));
    } else if (applErrorIndex < 0) {
        terminationState = Termination::Positive;
    } else if (!applErrorDecodes) {
        unknownOutcome(
            QStringLiteral("a CommandTermination whose LastApplError does not decode (%1)")
                .arg(report.values.at(applErrorIndex).toText()));
    } else if (!namesThisObject(decoded.controlObject)) {
        unknownOutcome(QStringLiteral("a CommandTermination whose LastApplError names \"%1\"")
                           .arg(decoded.controlObject));
    } else {
        // Its Error and AddCause may both be zero: it is negative all the same.
        applErrorReceived = true;
        applError = decoded;
        terminationState = Termination::Negative;
    }
}

void ControlObjectClient::unknownOutcome(const QString &arrived)
{
    terminationState = Termination::Unknown;
    unknownDetail = arrived;
}

void ControlObjectClient::awaitTermination()
{
    if (!awaiting)
        return;
    const QDeadlineTimer deadline(terminationTimeoutMs);
    while (awaiting && !deadline.hasExpired()) {
        const InformationScope scope(
            connection, [this](const MmsInformationReport &report) { takeInformation(report); });
        if (connection.processIncoming(int(qMin<qint64>(deadline.remainingTime(), 20))) !=
            IedClientError::Ok)
            break;
    }
    if (awaiting) {
        awaiting = false;
        terminationState = Termination::TimedOut;
    }
}

bool ControlObjectClient::select()
{
    startCommand();
    if (!checkReady())
        return false;
    nextCtlNum();
    const InformationScope scope(
        connection, [this](const MmsInformationReport &report) { takeInformation(report); });
    const MmsValue sbo = connection.readObject(objectReference + QStringLiteral(".SBO"),
                                               QStringLiteral("CO"), &error);
    connection.processIncoming(0);
    if (error != IedClientError::Ok)
        return false;
    if (sbo.type() != MmsType::VisibleString) {
        error = IedClientError::UnexpectedValueReceived;
        return false;
    }
    // An empty SBO is a refused select.
    if (sbo.octets().isEmpty()) {
        error = IedClientError::AccessDenied;
        return false;
    }
    return true;
}

bool ControlObjectClient::selectWithValue(const MmsValue &ctlVal)
{
    startCommand();
    if (!checkReady())
        return false;
    nextCtlNum();
    selectTime = now();
    lastCtlVal = ctlVal;
    if (!write(QStringLiteral("SBOw"), sbowType, ctlVal, selectTime)) {
        selectTime = 0;
        return false;
    }
    return true;
}

bool ControlObjectClient::operate(const MmsValue &ctlVal)
{
    startCommand();
    if (!checkReady())
        return false;
    if (!ControlModels::isSelectBeforeOperate(model))
        nextCtlNum();
    // Enhanced security checks the Oper against its SBOw, T included.
    const quint64 time = model == ControlModel::SboEnhanced && selectTime != 0 ? selectTime : now();
    selectTime = 0;
    lastCtlVal = ctlVal;
    awaiting = ControlModels::isEnhanced(model);
    const bool written = write(QStringLiteral("Oper"), operType, ctlVal, time);
    if (!written) {
        awaiting = false;
        return false;
    }
    awaitTermination();
    return true;
}

bool ControlObjectClient::cancel()
{
    startCommand();
    if (!checkReady())
        return false;
    if (!canCancel()) {
        error = IedClientError::ObjectAccessUnsupported;
        return false;
    }
    const quint64 time = selectTime != 0 ? selectTime : now();
    selectTime = 0;
    return write(QStringLiteral("Cancel"), cancelType, lastCtlVal, time);
}

bool ControlObjectClient::succeeded() const
{
    return error == IedClientError::Ok && terminationState != Termination::Negative &&
           terminationState != Termination::TimedOut && terminationState != Termination::Unknown;
}

QString ControlObjectClient::lastApplErrorText() const
{
    if (!applErrorReceived)
        return QString();
    // Error 0 says nothing beside the AddCause that says why.
    const QString errorPart = applError.error == 0 ? QString()
                                                   : QStringLiteral(", Error %1 (%2)")
                                                         .arg(applError.error)
                                                         .arg(ControlError::name(applError.error));
    return QStringLiteral("LastApplError ctlNum %1%2, AddCause %3 (%4)")
        .arg(applError.ctlNum)
        .arg(errorPart)
        .arg(applError.addCause)
        .arg(ControlAddCause::name(applError.addCause));
}

QString ControlObjectClient::terminationText() const
{
    switch (terminationState) {
    case Termination::Positive:
        return QStringLiteral("CommandTermination+");
    case Termination::Negative:
        return QStringLiteral("CommandTermination-");
    case Termination::TimedOut:
        return QStringLiteral("no CommandTermination within %1 ms").arg(terminationTimeoutMs);
    case Termination::Unknown:
        return QStringLiteral("outcome unknown: %1").arg(unknownDetail);
    case Termination::NotExpected:
        break;
    }
    return QString();
}
