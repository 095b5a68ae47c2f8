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
    enum class Termination { NotExpected, Positive, Negative, TimedOut };

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
    // "LastApplError ctlNum 1, Error 0 (No-error), AddCause 18 (Object-not-selected)";
    // empty when none came.
    QString lastApplErrorText() const;
    // "CommandTermination+", "CommandTermination-" ...; empty when none is due.
    QString terminationText() const;

private:
    MmsValue commandValue(const MmsTypeSpec &type, const MmsValue &ctlVal, quint64 time) const;
    bool write(const QString &member, const MmsTypeSpec &type, const MmsValue &ctlVal,
               quint64 time);
    void startCommand();
    // ctlNum is an INT8U: it wraps.
    void nextCtlNum() { counter = (counter + 1) & 0xff; }
    bool checkReady();
    void takeInformation(const MmsInformationReport &report);
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
    bool awaiting = false;
};

#endif
