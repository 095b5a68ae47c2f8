#ifndef STATIONSCOPE_SELECTEDOBJECTSMODEL_H
#define STATIONSCOPE_SELECTEDOBJECTSMODEL_H

#include "selecteditemsmodel.h"

// The picked data objects and data attributes, each bound to the signals the
// RTU/PLC reads, writes and controls them with.
class SelectedObjectsModel : public SelectedItemsModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        FunctionColumn,
        MmsTypeColumn,
        ReadTrigSignalColumn,
        WriteTrigSignalColumn,
        StatusSignalColumn,
        CtlModelColumn,
        DataSignalColumn,
        TimeActivatedCtrlColumn,
        EnhCtrlCmdTermSignalColumn,
        CtrlErrCodeSignalColumn,
        SelectionTypeColumn,
        CommandTypeSignalColumn,
        ColumnCount
    };

    explicit SelectedObjectsModel(QObject *parent = nullptr);

    void setupRow(const QList<QStandardItem *> &row, bool topLevel) override;
    bool acceptsNode(QStandardItem *source, const QString &name, const QString &group) override;
    void itemEdited(QStandardItem *item) override;

    // Fills the cells of a newly added row that come from the picked node:
    // its functional constraint, control model and the MMS types of its subtree.
    void fillAddedRow(QStandardItem *node);
    // Every row below a picked control object shows and stores the object's
    // control model: a write to Oper or one of its members operates with it.
    void carryControlModel(QStandardItem *node);
    void carryControlModels();

private:
    // A control object's data signal is open only while its write trigger is set.
    void applyWriteRule(QStandardItem *first, QStandardItem *writeTrig,
                        QStandardItem *dataSignal) const;
};

#endif
