#ifndef STATIONSCOPE_ONLINEBROWSE_H
#define STATIONSCOPE_ONLINEBROWSE_H

// Lists a live IED over MMS into item trees and info-screen lines: the
// logical devices and nodes, data objects with their attributes, data sets
// with their members and the report control blocks. Also the fixed test read.
// Each call makes its own connection and ends it before returning.

#include "iedclienterror.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>

class IedConnection;
class QStandardItem;
class QStandardItemModel;

class OnlineBrowse
{
public:
    // Tree A: everything; tree B: data sets; tree C: report control blocks.
    struct Trees
    {
        QStandardItemModel *complete = nullptr;
        QStandardItemModel *dataSets = nullptr;
        QStandardItemModel *reports = nullptr;
    };

    // How a browse ended: the failure in words and the client's error code
    // (Ok with an empty failure when the whole IED was listed).
    struct Result
    {
        IedClientError error = IedClientError::Ok;
        QString failure;
        // False when the connection itself could not be made.
        bool connected = false;
        explicit operator bool() const { return failure.isEmpty(); }
    };

    using LineSink = std::function<void(const QString &)>;

    // Attribute trees nested deeper than this cut the browse short.
    static constexpr int MaxAttributeDepth = 32;

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

    // Fails when the address is refused, the connection fails, the logical
    // device list cannot be read, or a request ends short of an answer (the
    // connection lost, no answer, a bound of the client exceeded): the trees
    // then hold what came before.
    Result browseIed(const QString &host, int port, const Trees &trees);
    void addDataAttributes(const QString &reference, IedConnection &connection, int indent,
                           QStandardItem *parent);
    // Reads TestReadReference [MX] and writes what it found to the debug output.
    void testRead(const QString &host, int port);

    // The port text of the window as a number: 0 when it is not one.
    static int portFromText(const QString &text);
    // "CONNECTION_REJECTED (5)": the client library's name and number.
    static QString errorText(IedClientError error);

private:
    bool acceptHost(const QString &host);
    bool open(IedConnection &connection, const QString &host, int port);

    QStandardItem *makeItem(const QString &text, int kind) const;
    QString requestErrorText(IedClientError error) const;
    // Keeps the first error after which the listing cannot be trusted whole:
    // for a directory (names left out of the tree) any error at all.
    void noteRequest(IedClientError error, const QString &what);
    void noteDirectory(IedClientError error, const QString &what);
    Result fail(IedClientError error, const QString &failure, bool connected);
    void setActive(IedConnection *connection);

    LineSink infoScreen;
    std::function<void()> eventPump;
    bool withIcons = true;
    std::atomic<bool> cancelled{false};
    QMutex activeMutex;
    IedConnection *active = nullptr;
    IedClientError lastConnectError = IedClientError::Ok;
    Result walk;
    int connectTimeoutMs = -1;
    int requestTimeoutMs = -1;
};

#endif
