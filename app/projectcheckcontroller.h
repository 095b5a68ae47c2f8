#ifndef STATIONSCOPE_PROJECTCHECKCONTROLLER_H
#define STATIONSCOPE_PROJECTCHECKCONTROLLER_H

// The Project menu's checks: the open project's picks against the live IED
// or an SCL file, and the move to a newer SCL file. Findings go to a dock
// and mark the selection rows; the live check runs on a thread of its own.

#include "compareengine.h"
#include "selectionmarks.h"

#include <QObject>

#include <functional>
#include <memory>

class FindingsModel;
class FindingsPanel;
class Iec61850DbManager;
class OnlineController;
class QAction;
class QMainWindow;
class QMenu;
class QThread;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;
struct LiveCheckRun;

// What of the window the checks use.
struct ProjectCheckParts
{
    QMainWindow *window = nullptr;
    SelectedItemsModel *scl = nullptr;
    SelectedObjectsModel *objects = nullptr;
    SelectedDatasetsModel *datasets = nullptr;
    SelectedReportsModel *reports = nullptr;
    // Gives the address to check against.
    OnlineController *online = nullptr;
    std::function<QString()> projectPath;
    std::function<Iec61850DbManager *()> project;
    // Closes the open project and opens it again from its file.
    std::function<void()> reopen;
};

class ProjectCheckController : public QObject
{
    Q_OBJECT

public:
    explicit ProjectCheckController(const ProjectCheckParts &parts, QObject *parent = nullptr);
    ~ProjectCheckController() override;

    QMenu *menu() const { return projectMenu; }
    FindingsModel *findings() const { return findingsModel; }
    FindingsPanel *panel() const { return findingsPanel; }
    SelectionMarks *marks() const { return rowMarks; }
    bool isChecking() const { return running != nullptr; }

public slots:
    void checkAgainstIed();
    void checkAgainstSclFile();
    void updateFromSclFile();

signals:
    // A live check ended, with or without findings.
    void liveCheckFinished();

private:
    bool hasModel() const;
    // The IED of the file to use: the project's, the only one, or the
    // engineer's choice; empty when the choice was cancelled.
    QString chooseIed(const QString &fileName, const QString &projectIed, bool *cancelled);
    QString chooseSclFile(const QString &caption);
    void showFindings(const ComparisonResult &result, int pickCount, const QString &source,
                      const SelectionMarks::Rows &rows);
    void onLiveFinished();
    void onProjectReset();
    void updateActions();
    void status(const QString &text);

    ProjectCheckParts parts;
    QMenu *projectMenu;
    QAction *iedAction;
    QAction *fileAction;
    QAction *updateAction;
    FindingsModel *findingsModel;
    FindingsPanel *findingsPanel;
    SelectionMarks *rowMarks;
    std::shared_ptr<LiveCheckRun> running;
    QThread *thread = nullptr;
    bool reopening = false;
};

#endif
