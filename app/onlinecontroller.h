#ifndef STATIONSCOPE_ONLINECONTROLLER_H
#define STATIONSCOPE_ONLINECONTROLLER_H

// The window's online work: the Connect To IED buttons, the browse into the
// CID tree, the test read, Read Object and Read Rapor. The work runs on the
// session's thread; meanwhile only the online buttons are disabled and a
// Cancel (Stop while reports are watched) button ends it.

#include "iedclienterror.h"
#include "onlineworker.h"

#include <QObject>
#include <QPointer>

class CidTreeSource;
class LiveReportController;
class ObjectReadController;
class OnlineSession;
class QLineEdit;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QStandardItemModel;
class QStatusBar;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedReportsModel;
class TreeviewContainer;

// What of the window the online work uses.
struct OnlineWindowParts
{
    QMainWindow *window = nullptr;
    QPushButton *connectButton = nullptr;
    QPushButton *readObjectButton = nullptr;
    QPushButton *readReportButton = nullptr;
    QPushButton *testReadButton = nullptr;
    QLineEdit *host = nullptr;
    QLineEdit *port = nullptr;
    QPlainTextEdit *infoScreen = nullptr;
    QStatusBar *statusBar = nullptr;
    TreeviewContainer *trees = nullptr;
    SelectedItemsModel *scl = nullptr;
    SelectedItemsModel *onlineTree = nullptr;
    QStandardItemModel *onlineDataSets = nullptr;
    QStandardItemModel *onlineReports = nullptr;
    SelectedDatasetsModel *datasets = nullptr;
    SelectedReportsModel *reports = nullptr;
};

class OnlineController : public QObject
{
    Q_OBJECT

public:
    explicit OnlineController(const OnlineWindowParts &parts, QObject *parent = nullptr);
    ~OnlineController() override;

    OnlineSession *session() const { return onlineSession; }
    ObjectReadController *objectReader() const { return reader; }
    LiveReportController *liveReports() const { return watcher; }
    CidTreeSource *cidSource() const { return source; }
    QPushButton *cancelButton() const { return cancel; }
    const OnlineWindowParts &windowParts() const { return parts; }

    // The address to talk to: the top panel's fields when filled, else the
    // open project's connection rows.
    QString host() const;
    int port() const;
    // False, saying so on the status bar, when neither gives an address.
    bool hasAddress() const;

    // Why a connection failed, in words.
    static QString connectFailure(IedClientError error);
    // Why a browse failed, in words, with the client library's error.
    static QString browseFailure(const OnlineBrowse::Result &result);

public slots:
    void browse();
    void testRead();
    void cancelWork();

private:
    void onBusyChanged(bool busy);
    void onConnectFailed(IedClientError error);
    void onBrowseFinished(const OnlineTrees &trees);
    void onFinished(bool cancelled);
    void showBrowseFailure(const QString &text);
    void dropEarlierBrowse();
    QString projectConnectionValue(int row) const;

    OnlineWindowParts parts;
    OnlineSession *onlineSession;
    ObjectReadController *reader;
    LiveReportController *watcher;
    QPushButton *cancel;
    CidTreeSource *source;
    QString browsedAddress;
};

#endif
