#ifndef STATIONSCOPE_ONLINEBROWSE_H
#define STATIONSCOPE_ONLINEBROWSE_H

// Lists a live IED over MMS into item trees and info-screen lines: the
// logical devices and nodes, data objects with their attributes, data sets
// with their members and the report control blocks. Also the fixed test read.
// Each call makes its own connection and ends it before returning.

#include "iedclienterror.h"

#include <QCoreApplication>
#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>

class IedConnection;
class QStandardItem;
class QStandardItemModel;

class OnlineBrowse
{
    Q_DECLARE_TR_FUNCTIONS(OnlineBrowse)

public:
    // Tree A: everything; tree B: data sets; tree C: report control blocks.
    struct Trees
    {
        QStandardItemModel *complete = nullptr;
        QStandardItemModel *dataSets = nullptr;
        QStandardItemModel *reports = nullptr;
    };

    using LineSink = std::function<void(const QString &)>;

    // Longest address text accepted: the connection's host buffer holds 128
    // bytes with the terminating zero.
    static constexpr int MaxHostLength = 127;
    static constexpr const char *TestReadReference = "IED1LD1/AnInGGIO1.AnIn1";

    explicit OnlineBrowse(LineSink infoScreen);

    // Time-outs of the connections made (the client's defaults otherwise).
    void setTimeouts(int connectMs, int requestMs);
    // Called once after "Please Wait ..." and before each logical node, so a
    // window can paint its lines; by default processes pending events.
    void setEventPump(std::function<void()> pump) { eventPump = std::move(pump); }

    // Off the GUI thread items must be made without icons; addIcons gives
    // them theirs once the trees are back on it.
    void setIconsEnabled(bool enabled) { withIcons = enabled; }
    static void addIcons(QStandardItemModel *model);

    // Callable from any thread: the call in progress ends soon, its trees
    // as far as they got.
    void cancel();
    bool isCancelled() const { return cancelled; }
    // Why the last connection failed (Ok when it did not).
    IedClientError connectError() const { return lastConnectError; }
    // What the last browse could not list, its first failure ("" when complete).
    QString failure() const { return firstFailure; }
    int failedCalls() const { return failedCallCount; }

    // Attribute trees nested deeper than this are cut (and said so).
    static constexpr int MaxAttributeDepth = 32;

    // False when the address is refused, the connection fails or a call of
    // the browse fails; the trees hold what was listed until then.
    bool browseIed(const QString &host, int port, const Trees &trees);
    void addDataAttributes(const QString &reference, IedConnection &connection, int indent,
                           QStandardItem *parent);
    // Reads TestReadReference [MX] and writes what it found to the debug output.
    void testRead(const QString &host, int port);

    // The port text of the window as a number: 0 when it is not one.
    static int portFromText(const QString &text);

private:
    bool acceptHost(const QString &host);
    bool open(IedConnection &connection, const QString &host, int port);

    struct NodeItems
    {
        QStandardItem *complete;
        QStandardItem *dataSets;
        QStandardItem *reports;
    };
    void browseNode(IedConnection &connection, const Trees &trees, const QString &nodeReference,
                    const NodeItems &node);
    static QString describeFailure(const IedConnection &connection, IedClientError error);
    // Says on the info screen what failed; false when the browse cannot go on.
    bool succeeded(IedConnection &connection, const QString &call, IedClientError error);
    bool goesOn() const { return !cancelled && !stopped; }

    QStandardItem *makeItem(const QString &text, int kind) const;
    void setActive(IedConnection *connection);

    LineSink infoScreen;
    std::function<void()> eventPump;
    bool withIcons = true;
    std::atomic<bool> cancelled{false};
    QMutex activeMutex;
    IedConnection *active = nullptr;
    IedClientError lastConnectError = IedClientError::Ok;
    QString firstFailure;
    int failedCallCount = 0;
    bool stopped = false;
    int connectTimeoutMs = -1;
    int requestTimeoutMs = -1;
};

#endif
