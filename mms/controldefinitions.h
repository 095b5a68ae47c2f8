#ifndef STATIONSCOPE_CONTROLDEFINITIONS_H
#define STATIONSCOPE_CONTROLDEFINITIONS_H

// IEC 61850-7-2 control service terms shared by the control client and the
// simulated server, numbered as libiec61850's ControlModel, ControlAddCause and
// ControlLastApplError.

#include "mmstypespec.h"
#include "mmsvalue.h"

#include <QString>

enum class ControlModel {
    StatusOnly = 0,
    DirectNormal = 1,
    SboNormal = 2,
    DirectEnhanced = 3,
    SboEnhanced = 4,
};

namespace ControlModels {
// "status-only", "direct-with-normal-security" ... as SCL writes them.
QString name(int model);
inline bool isSelectBeforeOperate(ControlModel model)
{
    return model == ControlModel::SboNormal || model == ControlModel::SboEnhanced;
}
inline bool isEnhanced(ControlModel model)
{
    return model == ControlModel::DirectEnhanced || model == ControlModel::SboEnhanced;
}
} // namespace ControlModels

namespace ControlAddCause {
enum : int {
    Unknown = 0,
    NotSupported = 1,
    BlockedBySwitchingHierarchy = 2,
    SelectFailed = 3,
    InvalidPosition = 4,
    PositionReached = 5,
    ParameterChangeInExecution = 6,
    StepLimit = 7,
    BlockedByMode = 8,
    BlockedByProcess = 9,
    BlockedByInterlocking = 10,
    BlockedBySynchrocheck = 11,
    CommandAlreadyInExecution = 12,
    BlockedByHealth = 13,
    OneOfNControl = 14,
    AbortionByCancel = 15,
    TimeLimitOver = 16,
    AbortionByTrip = 17,
    ObjectNotSelected = 18,
    ObjectAlreadySelected = 19,
    NoAccessAuthority = 20,
    EndedWithOvershoot = 21,
    AbortionDueToDeviation = 22,
    AbortionByCommunicationLoss = 23,
    AbortionByCommand = 24,
    None = 25,
    InconsistentParameters = 26,
    LockedByOtherClient = 27,
};
// "Object-not-selected", "Blocked-by-mode" ...; "Unknown" outside the list.
QString name(int addCause);
} // namespace ControlAddCause

namespace ControlError {
enum : int { NoError = 0, Unknown = 1, TimeoutTest = 2, OperatorTest = 3 };
QString name(int error);
} // namespace ControlError

// The originator of a command (orCat, orIdent).
struct ControlOrigin
{
    int category = 3; // remote-control
    QByteArray identity = "stationscope";

    MmsValue toValue() const;
    static bool fromValue(const MmsValue &value, ControlOrigin *origin);
    bool operator==(const ControlOrigin &other) const
    {
        return category == other.category && identity == other.identity;
    }
};

// The LastApplError variable a server reports for a refused or failed command.
struct LastApplError
{
    QString controlObject; // "LD/LN$CO$DO$Oper"
    int error = ControlError::NoError;
    ControlOrigin origin;
    quint32 ctlNum = 0;
    int addCause = ControlAddCause::Unknown;

    MmsValue toValue() const;
    static bool fromValue(const MmsValue &value, LastApplError *lastApplError);
};

namespace ControlValues {
// A value of ctlVal's type from text: "true"/"on"/"1" and "false"/"off"/"0"
// for booleans, numbers for integers and floats; an AnalogueValue structure
// takes its "f" or "i" member. A null value when the text does not fit.
MmsValue fromText(const MmsTypeSpec &type, const QString &text);
// "boolean", "integer", "analogue" ... for a ctlVal type.
QString kind(const MmsTypeSpec &type);
} // namespace ControlValues

#endif
