#ifndef STATIONSCOPE_SERVERCONTROLS_H
#define STATIONSCOPE_SERVERCONTROLS_H

// The controllable data objects of a served model, each behaving by its
// ctlModel [CF]: status-only refuses; direct operates at once; select before
// operate with normal security needs a read of SBO, with enhanced security an
// SBOw whose values the Oper repeats, each within the select time-out;
// enhanced security ends every accepted Oper with a CommandTermination.
// Refusals carry a LastApplError with the standard's AddCause, sent before the
// write response. An operate writes stVal (with q, t, origin and ctlNum where
// the object has them) through the model, so report control blocks see it.

#include "controldefinitions.h"
#include "mmsservermodel.h"
#include "mmswrite.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QRandomGenerator>

#include <memory>

class ServerControls
{
public:
    explicit ServerControls(std::shared_ptr<const MmsServerModel> model);

    // The instance every connection to model shares, made on first use; it
    // lives while someone holds it.
    static std::shared_ptr<ServerControls>
    forModel(const std::shared_ptr<const MmsServerModel> &model);

    static constexpr int DefaultSelectTimeoutMs = 30000;
    // For objects without an sboTimeout [CF] of their own.
    void setSelectTimeout(int ms) { selectTimeoutMs = ms; }
    // This share of operates (0 to 100) is refused as blocked by the process.
    void setRefusalPercent(int percent) { refusalPercent = qBound(0, percent, 100); }
    void setSeed(quint32 seed) { random.seed(seed); }

    // "LN$CO$DO$Oper", "$SBOw", "$Cancel" written, "LN$CO$DO$SBO" read.
    static bool handlesWrite(const QString &item);
    static bool handlesRead(const QString &item);

    struct WriteOutcome
    {
        MmsWriteResult result;
        QList<QByteArray> before; // unconfirmed PDUs due before the write response
        QList<QByteArray> after;  // and after it
    };
    WriteOutcome write(int connection, const QString &domain, const QString &item,
                       const MmsValue &value, quint64 now);
    // The select of normal security: the object's reference when it is now
    // selected by connection, an empty string when not; object-non-existent
    // for an item the model lacks.
    MmsValue readSelect(int connection, const QString &domain, const QString &item, quint64 now);
    // Selections held by a closed connection end.
    void removeConnection(int connection);

private:
    struct Selection
    {
        int connection = 0;
        quint64 time = 0;
        MmsValue parameters; // the SBOw value; null for a read of SBO
        quint64 timeoutMs = DefaultSelectTimeoutMs;
    };
    struct Command
    {
        QString domain;
        QString object; // "LN$CO$DO"
        QString member; // "Oper", "SBOw", "Cancel"
        MmsValue value;
        ControlModel model = ControlModel::StatusOnly;
    };

    bool controlModel(const QString &domain, const QString &object, ControlModel *model) const;
    bool blockedByMode(const QString &domain, const QString &object) const;
    quint64 selectTimeout(const QString &domain, const QString &object) const;
    const Selection *selection(const QString &key, quint64 now);
    WriteOutcome operate(int connection, const Command &command, quint64 now);
    WriteOutcome selectWithValue(int connection, const Command &command, quint64 now);
    WriteOutcome cancel(int connection, const Command &command, quint64 now);
    // Writes the new state; false when the step would leave the position's range.
    bool execute(const Command &command, quint64 now) const;
    WriteOutcome refuse(const Command &command, int addCause, int dataAccessError) const;
    QByteArray lastApplError(const Command &command, int addCause) const;
    QByteArray termination(const Command &command, bool positive, int addCause) const;

    std::shared_ptr<const MmsServerModel> model;
    QMutex mutex;
    QHash<QString, Selection> selections; // "domain/LN$CO$DO"
    int selectTimeoutMs = DefaultSelectTimeoutMs;
    int refusalPercent = 0;
    QRandomGenerator random;
};

#endif
