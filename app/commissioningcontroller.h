#ifndef STATIONSCOPE_COMMISSIONINGCONTROLLER_H
#define STATIONSCOPE_COMMISSIONINGCONTROLLER_H

// The commissioning record of the open project in a dock of its own: built
// from the project's bindings with what the project file kept of earlier
// sessions, filled by a live session against the IED (on a thread of its
// own, at the Connect panel's address or else the project's), judged by the
// tester and saved back into the project whenever a verdict changes and when
// a session stops. Command rows are tested through the Test control dialog.

#include <QObject>
#include <QPointer>

#include <functional>

class CommissioningPanel;
struct CommissioningDevice;
class CommissioningRecord;
class CommissioningSession;
class ControlTestController;
class Iec61850DbManager;
class OnlineController;
class QDockWidget;
class QMenu;
class QStandardItemModel;
class QThread;
class SelectedObjectsModel;
class UnsavedChangesTracker;
enum class ControlOutcome;

// What of the window the record uses beyond the online work's parts.
struct CommissioningParts
{
    OnlineController *online = nullptr;
    ControlTestController *controls = nullptr;
    QMenu *menu = nullptr;
    SelectedObjectsModel *objects = nullptr;
    QStandardItemModel *signalList = nullptr;
    UnsavedChangesTracker *unsavedChanges = nullptr;
    std::function<QString()> projectPath;
    std::function<Iec61850DbManager *()> project;
    // Saves the project's selections; false when that failed.
    std::function<bool()> saveProject;
};

class CommissioningController : public QObject
{
    Q_OBJECT

public:
    static const QString PollIntervalKey;
    static const QString TesterKey;

    explicit CommissioningController(const CommissioningParts &parts, QObject *parent = nullptr);
    ~CommissioningController() override;

    CommissioningRecord *record() const { return rows; }
    CommissioningPanel *panel() const { return recordPanel; }
    QDockWidget *dock() const { return recordDock; }
    bool isRunning() const { return thread != nullptr; }

public slots:
    // The open project's record: its bound points with what the file kept.
    void projectOpened();
    // Ends a running session at once and saves what it saw while the
    // project's file is still open.
    void projectClosing();
    void start();
    void stop();
    bool exportRecord();

signals:
    // A session ended and what it saw was saved.
    void sessionFinished();

private:
    bool rebuildPoints();
    bool settleUnsavedChanges();
    bool save();
    void setVerdicts(const QVector<int> &rows, int verdict, const QString &note, bool noteTyped);
    void pass(const QVector<int> &rows);
    bool agreeToPassWithoutQuality(int count);
    void testControl(int row);
    void landOutcome(const QString &key, ControlOutcome outcome, const QString &text,
                     const QString &testedAddress);
    void onIdentified(const CommissioningDevice &device);
    // The tester's answer when the device is not the record's: false ends
    // the session before anything is observed.
    bool settleDeviceChange(const CommissioningDevice &device);
    void onBlockRefused(const QString &block, const QString &reason);
    void onObserved(int row, const QString &value, const QString &quality, bool good,
                    const QDateTime &time);
    void onFailed(const QString &problem);
    void onFinished();
    void clearForNextProject();
    // Stops the session and waits for its thread, in order if the device
    // lets it.
    void joinSession();
    void tell(const QString &text);

    CommissioningParts parts;
    CommissioningRecord *rows;
    QDockWidget *recordDock;
    CommissioningPanel *recordPanel;
    QThread *thread = nullptr;
    CommissioningSession *session = nullptr;
    int observations = 0;
    QString failure;
    // The session reached the device / the tester would not go on with it.
    bool connected = false;
    bool declined = false;
    // The tester agreed, once for the open project, to pass rows whose
    // device sends no quality on their change alone.
    bool passWithoutQuality = false;
    // The project the session ran for closed meanwhile.
    bool projectGone = false;
};

#endif
