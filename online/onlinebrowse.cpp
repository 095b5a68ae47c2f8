#include "onlinebrowse.h"

#include "iedconnection.h"
#include "sclmodel.h"
#include "stationscoperesources.h"

#include <QCoreApplication>
#include <QDebug>
#include <QIcon>
#include <QStandardItem>
#include <QStandardItemModel>

namespace {

const char *iconOf(int kind)
{
    switch (kind) {
    case LogicalDeviceKind:
        return ":/images/DEVICE.png";
    case LogicalNodeKind:
        return ":/images/LN.png";
    case DataObjectKind:
        return ":/images/DO.png";
    case DataAttributeKind:
        return ":/images/DA.png";
    case DataSetKind:
        return ":/images/DS.png";
    case UnbufferedReportKind:
        return ":/images/RP.png";
    case BufferedReportKind:
        return ":/images/BR.png";
    case GooseControlKind:
        return ":/images/GO.png";
    case SampledValueControlKind:
        return ":/images/SV.png";
    default:
        return nullptr;
    }
}

void addIconsBelow(QStandardItem *parent)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        QStandardItem *item = parent->child(row);
        if (const char *icon = iconOf(item->data(KindRole).toInt()))
            item->setIcon(QIcon(QString::fromLatin1(icon)));
        addIconsBelow(item);
    }
}

QStandardItem *appendTo(QStandardItemModel *model, QStandardItem *parent, QStandardItem *item)
{
    if (parent)
        parent->appendRow(item);
    else if (model)
        model->appendRow(item);
    else
        delete item;
    return item;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("OnlineBrowse", text);
}

// Errors after which the answers so far are not the whole IED: the
// connection went, the IED did not answer, or an answer broke a bound.
bool cutsShort(IedClientError error)
{
    switch (error) {
    case IedClientError::NotConnected:
    case IedClientError::ConnectionLost:
    case IedClientError::Timeout:
    case IedClientError::MalformedMessage:
    case IedClientError::UnexpectedValueReceived:
        return true;
    default:
        return false;
    }
}

// Forgets the connection before it goes, so a late cancel cannot reach it.
class ActiveReset
{
public:
    explicit ActiveReset(std::function<void()> reset) : reset(std::move(reset)) {}
    ~ActiveReset() { reset(); }
    ActiveReset(const ActiveReset &) = delete;
    ActiveReset &operator=(const ActiveReset &) = delete;

private:
    std::function<void()> reset;
};

} // namespace

OnlineBrowse::OnlineBrowse(LineSink infoScreen)
    : infoScreen(std::move(infoScreen)), eventPump([] { QCoreApplication::processEvents(); })
{
    initStationscopeResources();
}

// Nothing browsed from a live IED can be renamed: the texts are its references.
QStandardItem *OnlineBrowse::makeItem(const QString &text, int kind) const
{
    auto *item = new QStandardItem(text);
    if (withIcons) {
        if (const char *icon = iconOf(kind))
            item->setIcon(QIcon(QString::fromLatin1(icon)));
    }
    item->setData(kind, KindRole);
    item->setEditable(false);
    return item;
}

void OnlineBrowse::addIcons(QStandardItemModel *model)
{
    if (model)
        addIconsBelow(model->invisibleRootItem());
}

void OnlineBrowse::cancel()
{
    QMutexLocker lock(&activeMutex);
    cancelled = true;
    if (active)
        active->cancel();
}

void OnlineBrowse::setActive(IedConnection *connection)
{
    QMutexLocker lock(&activeMutex);
    active = connection;
    if (active && cancelled)
        active->cancel();
}

void OnlineBrowse::setTimeouts(int connectMs, int requestMs)
{
    connectTimeoutMs = connectMs;
    requestTimeoutMs = requestMs;
}

int OnlineBrowse::portFromText(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok, 10);
    return ok ? port : 0;
}

bool OnlineBrowse::acceptHost(const QString &host)
{
    const QByteArray latin1 = host.toLatin1();
    if (latin1.size() <= MaxHostLength)
        return true;
    infoScreen(tr("The address is too long (%1 characters, at most %2).")
                   .arg(latin1.size())
                   .arg(MaxHostLength));
    return false;
}

bool OnlineBrowse::open(IedConnection &connection, const QString &host, int port)
{
    if (connectTimeoutMs > 0)
        connection.setConnectTimeout(connectTimeoutMs);
    if (requestTimeoutMs > 0)
        connection.setRequestTimeout(requestTimeoutMs);
    if (port <= 0 || port > 65535) {
        lastConnectError = IedClientError::InvalidArgument;
        return false;
    }
    setActive(&connection);
    lastConnectError = connection.connect(QString::fromLatin1(host.toLatin1()), quint16(port));
    return lastConnectError == IedClientError::Ok;
}

QString OnlineBrowse::errorText(IedClientError error)
{
    return QStringLiteral("%1 (%2)").arg(iedClientErrorName(error)).arg(int(error));
}

OnlineBrowse::Result OnlineBrowse::fail(IedClientError error, const QString &failure,
                                        bool connected)
{
    Result result;
    result.error = error;
    result.failure = failure;
    result.connected = connected;
    return result;
}

// A name list that broke a bound says which.
QString OnlineBrowse::requestErrorText(IedClientError error) const
{
    if (error == IedClientError::UnexpectedValueReceived && active &&
        !active->nameListBound().isEmpty())
        return tr("%1, %2").arg(errorText(error), active->nameListBound());
    return errorText(error);
}

void OnlineBrowse::noteDirectory(IedClientError error, const QString &what)
{
    if (error != IedClientError::Ok && walk.failure.isEmpty()) {
        walk.error = error;
        walk.failure = tr("%1: %2").arg(what, requestErrorText(error));
    }
}

void OnlineBrowse::noteRequest(IedClientError error, const QString &what)
{
    if (cutsShort(error))
        noteDirectory(error, what);
}

OnlineBrowse::Result OnlineBrowse::browseIed(const QString &host, int port, const Trees &trees)
{
    infoScreen(QStringLiteral("Please Wait ..."));
    eventPump();
    if (!acceptHost(host)) {
        return fail(IedClientError::InvalidArgument,
                    tr("the address is longer than %1 characters").arg(MaxHostLength), false);
    }

    IedConnection connection;
    const ActiveReset reset([this] { setActive(nullptr); });
    if (!open(connection, host, port)) {
        infoScreen(QStringLiteral("Connection failed!\n"));
        if (port <= 0 || port > 65535) {
            return fail(lastConnectError, tr("the port %1 is not between 1 and 65535").arg(port),
                        false);
        }
        return fail(
            lastConnectError,
            tr("connect to %1 port %2: %3").arg(host).arg(port).arg(errorText(lastConnectError)),
            false);
    }
    walk = fail(IedClientError::Ok, QString(), true);

    infoScreen(QStringLiteral("Get logical device list..."));
    IedClientError error = IedClientError::Ok;
    const QStringList devices = connection.logicalDeviceList(&error);
    if (error != IedClientError::Ok)
        walk = fail(error, tr("logical device list: %1").arg(requestErrorText(error)), true);
    if (error == IedClientError::Ok) {
        for (const QString &device : devices) {
            if (cancelled || !walk)
                break;
            QStandardItem *deviceA =
                appendTo(trees.complete, nullptr, makeItem(device, LogicalDeviceKind));
            QStandardItem *deviceB =
                appendTo(trees.dataSets, nullptr, makeItem(device, LogicalDeviceKind));
            QStandardItem *deviceC =
                appendTo(trees.reports, nullptr, makeItem(device, LogicalDeviceKind));
            const QStringList nodes = connection.logicalDeviceDirectory(device, &error);
            noteDirectory(error, device);
            for (const QString &node : nodes) {
                if (cancelled || !walk)
                    break;
                const QString nodeReference = device + QLatin1Char('/') + node;
                eventPump();
                infoScreen(nodeReference);
                auto nodeItem = [&] {
                    return makeItem(nodeReference, LogicalNodeKind);
                };
                QStandardItem *nodeA = appendTo(trees.complete, deviceA, nodeItem());
                QStandardItem *nodeB = appendTo(trees.dataSets, deviceB, nodeItem());
                QStandardItem *nodeC = appendTo(trees.reports, deviceC, nodeItem());

                const QStringList objects = connection.logicalNodeDirectory(
                    nodeReference, IedConnection::AcsiClass::DataObject, &error);
                noteDirectory(error, nodeReference);
                for (const QString &object : objects) {
                    if (!walk)
                        break;
                    const QString objectReference = nodeReference + QLatin1Char('.') + object;
                    infoScreen(QStringLiteral("   ") + objectReference);
                    QStandardItem *objectItem =
                        appendTo(trees.complete, nodeA, makeItem(objectReference, DataObjectKind));
                    addDataAttributes(objectReference, connection, 6, objectItem);
                }

                const QStringList dataSets = connection.logicalNodeDirectory(
                    nodeReference, IedConnection::AcsiClass::DataSet, &error);
                noteDirectory(error, nodeReference);
                for (const QString &dataSet : dataSets) {
                    const QString dataSetReference = nodeReference + QLatin1Char('.') + dataSet;
                    QStandardItem *dataSetA =
                        appendTo(trees.complete, nodeA, makeItem(dataSetReference, DataSetKind));
                    QStandardItem *dataSetB =
                        appendTo(trees.dataSets, nodeB, makeItem(dataSetReference, DataSetKind));
                    bool deletable = false;
                    const QStringList members =
                        connection.dataSetDirectory(dataSetReference, &deletable, &error);
                    noteRequest(error, dataSetReference);
                    infoScreen(QStringLiteral("   ") + QStringLiteral("    Data set: %1 (%2)\n")
                                                           .arg(dataSet)
                                                           .arg(deletable ? 1 : 0));
                    for (const QString &member : members) {
                        infoScreen(QStringLiteral("      ") + member);
                        appendTo(trees.complete, dataSetA, makeItem(member, DataSetMemberKind));
                        appendTo(trees.dataSets, dataSetB, makeItem(member, DataSetMemberKind));
                    }
                }

                // Report blocks go to tree C too, with their data set on the info
                // screen; GOOSE and sampled-value blocks are served and readable,
                // but nothing a project binds: tree A only.
                struct BlockClass
                {
                    IedConnection::AcsiClass acsiClass;
                    const char *separator;
                    int kind;
                    const char *line;
                    bool report;
                };
                const BlockClass blockClasses[] = {
                    {IedConnection::AcsiClass::Urcb, "$RP$", UnbufferedReportKind,
                     "RP: %2 -> DS: %1", true},
                    {IedConnection::AcsiClass::Brcb, "$BR$", BufferedReportKind, "BR: %2 -> DS: %1",
                     true},
                    {IedConnection::AcsiClass::Gocb, "$GO$", GooseControlKind, "GO: %1", false},
                    {IedConnection::AcsiClass::Msvcb, "$MS$", SampledValueControlKind, "MS: %1",
                     false},
                    {IedConnection::AcsiClass::Usvcb, "$US$", SampledValueControlKind, "US: %1",
                     false},
                };
                for (const BlockClass &blockClass : blockClasses) {
                    const QStringList blocks = connection.logicalNodeDirectory(
                        nodeReference, blockClass.acsiClass, &error);
                    noteDirectory(error, nodeReference);
                    for (const QString &block : blocks) {
                        const QString blockReference =
                            nodeReference + QLatin1String(blockClass.separator) + block;
                        auto blockItem = [&] {
                            return makeItem(blockReference, blockClass.kind);
                        };
                        appendTo(trees.complete, nodeA, blockItem());
                        const QString line = QString::fromLatin1(blockClass.line);
                        if (!blockClass.report) {
                            infoScreen(QStringLiteral("   ") + line.arg(blockReference));
                            continue;
                        }
                        appendTo(trees.reports, nodeC, blockItem());
                        IedClientError rcbError = IedClientError::Ok;
                        const ClientReportControlBlock values =
                            connection.rcbValues(blockReference, &rcbError);
                        noteRequest(rcbError, blockReference);
                        if (rcbError == IedClientError::Ok) {
                            infoScreen(QStringLiteral("   ") +
                                       line.arg(values.dataSetReference(), blockReference));
                        }
                    }
                }

                if (nodeB && nodeB->rowCount() == 0 && deviceB)
                    deviceB->removeRow(deviceB->rowCount() - 1);
            }
        }
    }
    if (cancelled && walk)
        walk = fail(IedClientError::Unknown, tr("cancelled"), true);
    connection.close();
    return walk;
}

void OnlineBrowse::addDataAttributes(const QString &reference, IedConnection &connection,
                                     int indent, QStandardItem *parent)
{
    if (!walk)
        return;
    QString base = reference;
    const int brace = base.indexOf(QLatin1Char('{'));
    if (brace >= 0)
        base.truncate(brace);
    if ((indent - 6) / 2 >= MaxAttributeDepth) {
        walk =
            fail(IedClientError::UnexpectedValueReceived,
                 tr("%1: attributes nested deeper than %2 levels").arg(base).arg(MaxAttributeDepth),
                 true);
        return;
    }
    IedClientError error = IedClientError::Ok;
    const QStringList names = connection.dataDirectoryFc(base, &error);
    noteRequest(error, base);
    // "AnIn1.mag[MX]" lists "f[MX]": the child is "AnIn1.mag.f[MX]".
    const int bracket = base.indexOf(QLatin1Char('['));
    const QString parentPath = bracket >= 0 ? base.left(bracket) : base;
    for (const QString &name : names) {
        const QString childReference = parentPath + QLatin1Char('.') + name;
        auto *item = makeItem(childReference, DataAttributeKind);
        if (parent)
            parent->appendRow(item);
        else
            delete item;
        addDataAttributes(childReference, connection, indent + 2, parent ? item : nullptr);
    }
}

void OnlineBrowse::testRead(const QString &host, int port)
{
    infoScreen(QStringLiteral("Please Wait ..."));
    eventPump();
    if (!acceptHost(host))
        return;
    IedConnection connection;
    const ActiveReset reset([this] { setActive(nullptr); });
    if (!open(connection, host, port))
        return;
    IedClientError error = IedClientError::Ok;
    const MmsValue value =
        connection.readObject(QString::fromLatin1(TestReadReference), QStringLiteral("MX"), &error);
    if (error == IedClientError::Ok && !value.isNull()) {
        const MmsValue element = value.element(1).element(0);
        if (!element.isNull()) {
            qDebug().noquote()
                << QStringLiteral("Found element, type: %1\n").arg(element.typeString());
            float number = 0;
            const char *typeName = nullptr;
            switch (element.type()) {
            case MmsType::Boolean:
                number = element.boolean() ? 1 : 0;
                typeName = "MMS_BOOLEAN";
                break;
            case MmsType::Integer:
                number = float(element.toInt32());
                typeName = "MMS_INTEGER";
                break;
            case MmsType::Unsigned:
                number = float(element.toUint32());
                typeName = "MMS_UNSIGNED";
                break;
            case MmsType::Float:
                number = element.toFloat();
                typeName = "MMS_FLOAT";
                break;
            case MmsType::BitString:
                number = float(element.bitStringAsInteger());
                typeName = "MMS_BIT_STRING";
                break;
            default:
                break;
            }
            if (typeName) {
                qDebug().noquote()
                    << QString::asprintf(" element type: %s :%f \n", typeName, double(number));
            }
        }
    }
    connection.close();
}
