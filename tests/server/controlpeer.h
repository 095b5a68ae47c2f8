#ifndef STATIONSCOPE_CONTROLPEER_H
#define STATIONSCOPE_CONTROLPEER_H

// A fake IED on 127.0.0.1 for control tests: one connection served from a
// model, its control objects behaving as ServerControls makes them, with the
// LastApplError before and the CommandTermination after the write response.

#include "scriptedpeer.h"
#include "servercontrols.h"

#include <memory>

class ControlPeer
{
public:
    explicit ControlPeer(std::shared_ptr<const MmsServerModel> model);

    // Domain "IEDLD", logical node GGIO1: SPCSO0 to SPCSO4 with the control
    // models 0 to 4 (boolean ctlVal and stVal), Beh on.
    static std::shared_ptr<MmsServerModel> exampleModel();

    quint16 port() const { return peer.port(); }
    ServerControls &controls() { return serverControls; }
    bool waitForFinished(int timeoutMs) { return peer.waitForFinished(timeoutMs); }
    // The control variables written and read, in order ("GGIO1$CO$SPCSO4$SBOw").
    QStringList commands() const { return peer.notes(); }

private:
    void serve(QTcpSocket &socket, ScriptedPeer &peer);
    bool answerControl(QTcpSocket &socket, ScriptedPeer &peer, const QByteArray &mms,
                       const std::function<QByteArray(const QByteArray &)> &frame);

    std::shared_ptr<const MmsServerModel> model;
    ServerControls serverControls;
    ScriptedPeer peer;
};

#endif
