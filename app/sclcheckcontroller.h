#ifndef STATIONSCOPE_SCLCHECKCONTROLLER_H
#define STATIONSCOPE_SCLCHECKCONTROLLER_H

// File > Check SCL File...: checks a whole SCL file in the background and
// lists the findings in the Findings dock; a double-click on a finding that
// names a node of the open model selects that node.

#include "sclchecker.h"

#include <QObject>

class FindingsModel;
class FindingsPanel;
class QAction;
class QMainWindow;
class QMenu;
class QStandardItemModel;
class QTreeView;
class SclCheckRun;

struct SclCheckParts
{
    QMainWindow *window = nullptr;
    // The action goes into this menu before that action.
    QMenu *fileMenu = nullptr;
    QAction *before = nullptr;
    QStandardItemModel *scl = nullptr;
    // Shows scl.
    QTreeView *modelView = nullptr;
    FindingsModel *findings = nullptr;
    FindingsPanel *panel = nullptr;
};

class SclCheckController : public QObject
{
    Q_OBJECT

public:
    explicit SclCheckController(const SclCheckParts &parts, QObject *parent = nullptr);

    QAction *action() const { return checkAction; }
    bool isChecking() const;

public slots:
    void checkSclFile();
    void check(const QString &fileName);
    // Selects the node a finding row names, when the open model holds it.
    void showFindingNode(int row);

signals:
    void checkFinished();

private:
    void onFinished(const SclCheckResult &result);
    void status(const QString &text);

    SclCheckParts parts;
    QAction *checkAction;
    SclCheckRun *run;
};

#endif
