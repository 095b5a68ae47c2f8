#ifndef STATIONSCOPE_CONTROLTESTCONTROLLER_H
#define STATIONSCOPE_CONTROLTESTCONTROLLER_H

// Adds "Test control..." to the context menu of a control object (a CO data
// object of the Data Objects selection or of the CID tree) and opens the Test
// control dialog for it, addressed as the online work is.

#include <QObject>
#include <QSet>

class ControlTestDialog;
class OnlineController;
class QMenu;
class QModelIndex;
class QStandardItem;

class ControlTestController : public QObject
{
    Q_OBJECT

public:
    explicit ControlTestController(OnlineController *online);

    // "LD/LN.DO" of a control object's node; empty for any other node.
    static QString controlReference(const QStandardItem *item);
    // The control object a command names: "LD/LN.DO" of "LD/LN.DO.Oper",
    // ".SBOw", ".SBO", ".Cancel" or an attribute below them; any other
    // reference as it is.
    static QString controlObject(const QString &reference);

    // Opens the dialog for the control object of reference (controlObject)
    // at the online work's address; null,
    // said on the status bar, when there is no address.
    ControlTestDialog *openDialog(const QString &reference);

private:
    void addActions(QMenu *menu, const QModelIndex &index);

    OnlineController *online;
    QSet<QString> confirmedAddresses;
};

#endif
