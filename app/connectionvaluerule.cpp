#include "connectionvaluerule.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <limits>

namespace {
bool isDigits(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

bool isIpv4(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        if (!isDigits(part) || part.size() > 3 || part.toInt() > 255)
            return false;
    }
    return true;
}

bool isIpv6(const QString &text)
{
    QHostAddress address;
    return text.contains(QLatin1Char(':')) && address.setAddress(text) &&
           address.protocol() == QAbstractSocket::IPv6Protocol;
}

bool isHostName(QString text)
{
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty() || text.size() > 253)
        return false;
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QStringList labels = text.split(QLatin1Char('.'));
    for (const QString &part : labels) {
        if (!label.match(part).hasMatch())
            return false;
    }
    // A numeric last label is a mistyped IPv4 address, never a domain.
    return !isDigits(labels.last());
}
} // namespace

bool ConnectionValueRule::isWholeNumber(const QString &value)
{
    bool ok = false;
    return isDigits(value) && value.toLongLong(&ok) <= std::numeric_limits<int>::max() && ok;
}

bool ConnectionValueRule::isPort(const QString &value)
{
    if (!isWholeNumber(value))
        return false;
    const int port = value.toInt();
    return port >= 1 && port <= 65535;
}

bool ConnectionValueRule::isHostAddress(const QString &value)
{
    return isIpv4(value) || isIpv6(value) || isHostName(value);
}

QString ConnectionValueRule::refusal(int row, const QString &value, const QString &caption)
{
    switch (row) {
    case IpAddressRow:
        if (!isHostAddress(value))
            return tr("\"%1\" is no IP address or host name. Type an IPv4 address (e.g. "
                      "192.168.1.10), an IPv6 address or a host name.")
                .arg(value);
        break;
    case PortRow:
        if (!isPort(value))
            return tr("\"%1\" is no port. The port is a whole number from 1 to 65535.").arg(value);
        break;
    case InterfaceRow:
    case NamePlateCheckRow:
    case ReportSettingsRow:
    case OriginatorCategoryRow:
        if (!isWholeNumber(value))
            return tr("\"%1\" is no whole number. %2 takes whole numbers only.")
                .arg(value, caption.trimmed());
        break;
    default:
        break;
    }
    return QString();
}
