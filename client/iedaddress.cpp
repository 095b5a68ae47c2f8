#include "iedaddress.h"

bool splitIedAddress(const QString &text, QString *host, int *port)
{
    *port = 102;
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        *host = rest.mid(1, close - 1);
        rest = rest.mid(close + 1);
        if (rest.isEmpty())
            return !host->isEmpty();
        if (!rest.startsWith(QLatin1Char(':')))
            return false;
        rest = rest.mid(1);
    } else {
        const int colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0 || rest.count(QLatin1Char(':')) > 1) {
            *host = rest;
            return !host->isEmpty();
        }
        *host = rest.left(colon);
        rest = rest.mid(colon + 1);
    }
    bool ok = false;
    *port = rest.toInt(&ok);
    return ok && !host->isEmpty() && *port > 0 && *port <= 65535;
}
