#ifndef STATIONSCOPE_CONTROLOBJECTCLIENT_H
#define STATIONSCOPE_CONTROLOBJECTCLIENT_H

// The client side of one controllable data object, meant as libiec61850's
// ControlObjectClient: it learns the object's ctlModel [CF] and the members
// of its Oper structure, then selects (reading SBO, or writing SBOw with the
// command's values), operates and cancels with blocking calls on a connection
// it does not own. Each command leaves its write result, the LastApplError a
// server sent for it, and for enhanced security the CommandTermination.

#include "controldefinitions.h"
#include "iedconnection.h"

#include <QString>

#include <functional>

class ControlObjectClient
{
public:
    // Unknown: a termination of this command came whose outcome cannot be
    // established (its LastApplError does not decode or names another object).
    enum class Termination { NotExpected, Positive, Negative, TimedOut, Unknown };

    // reference: "LD/LN.DO" (dots or dollars, without a constraint).
    ControlObjectClient(IedConnection &connection, const QString &reference);

    // Reads ctlModel [CF] and the CO type; every command needs it first.
    IedClientError load();
    bool isLoaded() const { return loaded; }
    QString reference() const { return objectReference; }
    ControlModel controlModel() const { return model; }
    MmsTypeSpec ctlValType() const;
    bool hasMember(const QString &name) const { return operType.indexOf(name) >= 0; }
    bool canCancel() const { return cancelType.componentCount() > 0; }

    void setOrigin(const ControlOrigin &newOrigin) { origin = newOrigin; }
    ControlOrigin originValue() const { return origin; }
    void setTestMode(bool on) { test = on; }
    void setSynchroCheck(bool on) { synchroCheck = on; }
    void setInterlockCheck(bool on) { interlockCheck = on; }
    void setTerminationTimeout(int ms) { terminationTimeoutMs = ms; }
    // Stands in for the clock in tests: ms since 1970.
    void setClock(std::function<quint64()> clock) { now = std::move(clock); }

    // Normal security: a read of SBO that names the object. Enhanced: SBOw
    // with ctlVal and the command's parameters.
    bool select();
    bool selectWithValue(const MmsValue &ctlVal);
    // For enhanced security also waits for the CommandTermination.
    bool operate(const MmsValue &ctlVal);
    bool cancel();

    // Outcome of the last command.
    IedClientError lastError() const { return error; }
    bool hasLastApplError() const { return applErrorReceived; }
    LastApplError lastApplError() const { return applError; }
    Termination termination() const { return terminationState; }
    quint32 ctlNum() const { return counter; }
    // The write went through and no negative or missing termination followed.
    bool succeeded() const;
    // "LastApplError ctlNum 1, AddCause 18 (Object-not-selected)" (with ", Error 1
    // (Unknown)" after the ctlNum when the Error is not 0);
    // empty when none came.
    QString lastApplErrorText() const;
    // "CommandTermination+", "CommandTermination-", "outcome unknown: ..." ...;
    // empty when none is due.
    QString terminationText() const;
    // Terminations that came during the last command but were not its own.
    QStringList ignoredTerminations() const { return ignored; }
    // "LD/LN$DO" for every form devices give CntrlObj in.
    static QString objectKey(const QString &controlObject);

private:
    MmsValue commandValue(const MmsTypeSpec &type, const MmsValue &ctlVal, quint64 time) const;
    bool write(const QString &member, const MmsTypeSpec &type, const MmsValue &ctlVal,
               quint64 time);
    void startCommand();
    // ctlNum is an INT8U: it wraps.
    void nextCtlNum() { counter = (counter + 1) & 0xff; }
    bool checkReady();
    void takeInformation(const MmsInformationReport &report);
    bool namesThisObject(const QString &controlObject) const;
    bool ctlNumOf(const MmsValue &oper, quint32 *number) const;
    void unknownOutcome(const QString &arrived);
    void awaitTermination();
    QString mmsPrefix() const; // "LD/LN$CO$DO$"

    IedConnection &connection;
    QString objectReference;
    QString domain;
    QString coItem; // "LN$CO$DO"
    bool loaded = false;
    ControlModel model = ControlModel::StatusOnly;
    MmsTypeSpec operType;
    MmsTypeSpec sbowType;
    MmsTypeSpec cancelType;
    MmsValue lastCtlVal;
    ControlOrigin origin;
    bool test = false;
    bool synchroCheck = false;
    bool interlockCheck = false;
    int terminationTimeoutMs = 10000;
    std::function<quint64()> now;
    quint32 counter = 0;
    quint64 selectTime = 0; // T of the last SBOw, reused by its Oper

    IedClientError error = IedClientError::Ok;
    bool applErrorReceived = false;
    LastApplError applError;
    Termination terminationState = Termination::NotExpected;
    QString unknownDetail;
    QStringList ignored;
    bool awaiting = false;
};

#endif
