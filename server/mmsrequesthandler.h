#ifndef STATIONSCOPE_MMSREQUESTHANDLER_H
#define STATIONSCOPE_MMSREQUESTHANDLER_H

// Answers the MMS PDUs of an associated client from a server model:
// getNameList (with continuation, within the negotiated PDU size), read,
// write, getVariableAccessAttributes and getNamedVariableListAttributes; a
// reject for any other service and for PDUs that do not parse. Writes to
// report control blocks go to the reporting engine, when there is one, in the
// name of this handler's connection.

#include "mmspdu.h"
#include "mmsservermodel.h"
#include "mmswrite.h"

#include <QByteArray>
#include <QList>

#include <memory>

class ReportControlEngine;
class ServerControls;

class MmsRequestHandler
{
public:
    explicit MmsRequestHandler(std::shared_ptr<const MmsServerModel> model,
                               ReportControlEngine *reports = nullptr, int connection = 0);

    ~MmsRequestHandler();
    MmsRequestHandler(const MmsRequestHandler &) = delete;
    MmsRequestHandler &operator=(const MmsRequestHandler &) = delete;

    // The answer to one received MMS PDU (empty when none is due).
    QByteArray answer(const QByteArray &pduBytes, int maxPduSize) const;
    // The unconfirmed PDUs a control command brought about (LastApplError,
    // CommandTermination), due before the answer and after it; each call
    // empties its list.
    QList<QByteArray> takeUnconfirmedBefore() const;
    QList<QByteArray> takeUnconfirmedAfter() const;

private:
    QByteArray confirmed(const MmsPdu &pdu, int maxPduSize) const;
    QByteArray getNameList(const MmsPdu &pdu, int maxPduSize) const;
    // The variables a request names: its own list, or the members of the
    // named variable list it names; false when that list does not exist.
    bool requestedVariables(bool namedList, const MmsObjectName &listName,
                            QList<MmsObjectName> *variables) const;
    QByteArray read(const MmsPdu &pdu, int maxPduSize) const;
    QByteArray write(const MmsPdu &pdu, int maxPduSize) const;
    MmsWriteResult writeVariable(const MmsObjectName &name, const MmsValue &value) const;
    QByteArray variableAccessAttributes(const MmsPdu &pdu, int maxPduSize) const;
    QByteArray variableListAttributes(const MmsPdu &pdu, int maxPduSize) const;
    // The response, or a PDU-size error when it would not fit.
    QByteArray fitted(quint32 invokeId, const QByteArray &service, int maxPduSize) const;

    std::shared_ptr<const MmsServerModel> model;
    ReportControlEngine *reports;
    int connection;
    std::shared_ptr<ServerControls> controls;
    mutable QList<QByteArray> unconfirmedBefore;
    mutable QList<QByteArray> unconfirmedAfter;
};

#endif
