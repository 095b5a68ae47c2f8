#ifndef STATIONSCOPE_COMMISSIONINGFILTER_H
#define STATIONSCOPE_COMMISSIONINGFILTER_H

// The commissioning record as the dock's table shows it: sorted by the
// record's sort values, narrowed to the rows whose texts hold the filter
// words and to one kind of row (a verdict, passable, never seen).

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVector>

class CommissioningFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum Show { AllRows, NotTestedRows, PassedRows, FailedRows, PassableRows, NeverSeenRows };

    explicit CommissioningFilter(QObject *parent = nullptr);

    // Words separated by blanks; a row shows when each is in one of its cells.
    void setWords(const QString &text);
    void setShow(Show show);
    Show show() const { return shown; }

    // The record's rows in the order the table shows them.
    QVector<int> shownRows() const;
    // "Show: Failed; Filter: XCBR", empty while every row shows.
    QString description() const;
    // Filters and sorts again after the record changed (sorting follows
    // values only when asked to).
    void refresh();

    static QStringList showTexts();

    // Rows tinted by verdict; a passable row stands out until it is passed.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool fitsShow(int sourceRow) const;

    QStringList words;
    Show shown = AllRows;
};

#endif
