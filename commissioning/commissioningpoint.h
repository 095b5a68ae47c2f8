#ifndef STATIONSCOPE_COMMISSIONINGPOINT_H
#define STATIONSCOPE_COMMISSIONINGPOINT_H

// One binding of a project to test on site: the RTU/PLC signal, the IED data
// it is bound to, and how its values reach the RTU.

#include <QMetaType>
#include <QString>
#include <QVector>

struct CommissioningPoint
{
    enum class Arrival {
        Report, // a member of a data set that a picked report control block sends
        Read,   // read by the RTU: polled during a session
    };
    enum class Direction { Status, Measurand, Command };

    // From the project's signal list; the label as the bound cell names it.
    QString signalLabel;
    QString signalNumber;
    QString signalAddress;
    QString signalType;

    // "LD/LN.DO[.DA]" and its functional constraint, as the selection names them.
    QString reference;
    QString fc;
    // The header text of the signal column that binds the signal ("Data Signal").
    QString bindingColumn;

    Arrival arrival = Arrival::Read;
    // Report: the block as picked ("LD/LLN0$BR$name", the base name of an
    // indexed one) and its data set ("LD/LLN0$Name").
    QString blockReference;
    // > 0: an indexed block, whose instances name01 ... are tried in turn.
    int blockInstances = 0;
    QString dataSetReference;
    Direction direction = Direction::Status;

    // Stays the same while the project keeps the binding: what a saved record
    // is matched by.
    QString key() const;
    // "LD/LN.DO.DA[FC]".
    QString referenceWithFc() const;

    static QString arrivalText(Arrival arrival);
    static QString directionText(Direction direction);
};

using CommissioningPoints = QVector<CommissioningPoint>;

Q_DECLARE_METATYPE(CommissioningPoint)

#endif
