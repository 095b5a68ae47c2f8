#include "commissioningpoint.h"

QString CommissioningPoint::referenceWithFc() const
{
    return fc.isEmpty() ? reference : reference + QLatin1Char('[') + fc + QLatin1Char(']');
}

QString CommissioningPoint::key() const
{
    return bindingColumn + QLatin1Char('|') + referenceWithFc() + QLatin1Char('|') + signalLabel;
}

QString CommissioningPoint::arrivalText(Arrival arrival)
{
    return arrival == Arrival::Report ? QStringLiteral("Report") : QStringLiteral("Read");
}

QString CommissioningPoint::directionText(Direction direction)
{
    switch (direction) {
    case Direction::Measurand:
        return QStringLiteral("Measurand");
    case Direction::Command:
        return QStringLiteral("Command");
    case Direction::Status:
        break;
    }
    return QStringLiteral("Status");
}
