#ifndef STATIONSCOPE_SELECTEDREPORTSMODEL_H
#define STATIONSCOPE_SELECTEDREPORTSMODEL_H

#include "selecteditemsmodel.h"

// The picked report control blocks with the parameters the client writes and
// the signals that enable and supervise each report.
class SelectedReportsModel : public SelectedItemsModel
{
    Q_OBJECT

public:
    enum Column {
        ReportRefPathColumn,
        DatasetRefPathColumn,
        TriggerTypeColumn,
        IsIndexedColumn,
        MaxIndexColumn,
        ConfRevCheckColumn,
        ConfRevNumberColumn,
        IntPeriodColumn,
        BufferingTimeColumn,
        OptFieldsColumn,
        EnableSignalColumn,
        StatusSignalColumn,
        SendGISignalColumn,
        PurgeBufferSignalColumn,
        IgnoredReportCountSignalColumn,
        ColumnCount
    };

    explicit SelectedReportsModel(QObject *parent = nullptr);

    bool acceptsNode(QStandardItem *source, const QString &name, const QString &group) override;
    void setupRow(const QList<QStandardItem *> &row, bool topLevel) override;

    // Fills a newly added report's row with the parameters its control block
    // carries in the SCL model.
    void fillAddedRow(QStandardItem *node);

public slots:
    // Marks the reports whose data set is not among dsnames.
    void onDataSetUpdate(const QStringList &dsnames);
};

#endif
