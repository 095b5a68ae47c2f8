#ifndef STATIONSCOPE_LIVEIEDSOURCE_H
#define STATIONSCOPE_LIVEIEDSOURCE_H

// The model a live IED shows a client: the browse gives the devices, data
// sets and report control blocks, one type description per logical node
// and functional constraint gives the MMS types, and a read gives the name
// plate's configuration revision. Blocking; run it off the GUI thread.

#include "comparesource.h"

#include <QMutex>

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

struct BrowsedLogicalNode;
class IedConnection;
struct ProjectPicks;

class LiveIedSource : public CompareSource
{
public:
    // projectIed and projectDevices (LD insts such as "CTRL") tell where the
    // IED name ends in the server's domain names, which join the two.
    LiveIedSource(const QString &host, int port, const QString &projectIed,
                  const QStringList &projectDevices);
    ~LiveIedSource() override;

    bool fetch(ModelSnapshot *snapshot, QString *problem) override;
    QString description() const override;

    void setTimeouts(int connectMs, int requestMs);
    // Hears each logical node reference before it is listed.
    void setProgress(std::function<void(const QString &)> progress);
    // Thread-safe: ends the check in progress.
    void cancel();

    // The LD insts the picks name, for the constructor.
    static QStringList devicesOf(const ProjectPicks &picks);

private:
    QString iedNameOf(const QStringList &domains) const;
    bool fetchFrom(IedConnection &connection, ModelSnapshot *snapshot, QString *problem);
    void addObjects(IedConnection &connection, ModelSnapshot *snapshot,
                    const BrowsedLogicalNode &node, const QString &lnPath);
    QString readNamePlate(IedConnection &connection, const QStringList &domains);

    QString host;
    int port;
    QString projectIed;
    QStringList projectDevices;
    std::function<void(const QString &)> progress;
    int connectTimeout = 10000;
    int requestTimeout = 5000;
    // The connection lives on the thread that fetches; cancel() reaches it here.
    QMutex activeLock;
    IedConnection *active = nullptr;
    std::atomic_bool cancelled{false};
};

#endif
