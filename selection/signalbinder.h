#ifndef STATIONSCOPE_SIGNALBINDER_H
#define STATIONSCOPE_SIGNALBINDER_H

// Binds RTU/PLC signals to picks from written rules instead of clicks: each
// rule names a pick (its reference as the selection shows it, or the find
// field's words), a signal column by its header text and a label of the
// signal list. A cell takes a signal only where the window would open the
// signal selector on it.

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

class QAbstractItemModel;
class QStandardItem;
class SelectedDatasetsModel;
class SelectedItemsModel;
class SelectedObjectsModel;
class SelectedReportsModel;
class TreeFilterModel;

struct BindingRule
{
    int line = 0;
    QString reference;
    QString column;
    QString label;
};

struct BindingProblem
{
    int line = 0;
    QString text;
};

class SignalBinder
{
public:
    SignalBinder(SelectedObjectsModel *objects, SelectedDatasetsModel *datasets,
                 SelectedReportsModel *reports, const QAbstractItemModel *signalList);
    ~SignalBinder();
    SignalBinder(const SignalBinder &) = delete;
    SignalBinder &operator=(const SignalBinder &) = delete;

    // "REFERENCE;COLUMN;LABEL" lines; blank lines are skipped, others of
    // another shape are problems.
    static QVector<BindingRule> readRules(const QString &text, QVector<BindingProblem> *problems);

    struct Binding
    {
        int line = 0;
        QString reference;
        QString column;
        QString label;
    };
    // Applies the rules in order (a control object's data signal opens with
    // its write trigger). Every rule that cannot be applied is a problem; the
    // caller keeps the models only when there is none.
    QVector<Binding> apply(const QVector<BindingRule> &rules, QVector<BindingProblem> *problems);

private:
    struct Cell
    {
        SelectedItemsModel *model = nullptr;
        QStandardItem *row = nullptr;
        QStandardItem *cell = nullptr;
    };
    struct Row
    {
        SelectedItemsModel *model = nullptr;
        QStandardItem *row = nullptr;
    };
    struct Found
    {
        QVector<Row> rows;
        QString problem;
    };
    bool labelText(const QString &label, QString *cellText);
    QVector<Cell> rowsNamed(const QString &reference, const QString &column);
    QVector<Cell> rowsFound(const QString &query, const QString &column, QString *problem);
    static bool takesSignal(const QStandardItem *cell);
    void indexRows();

    QList<SelectedItemsModel *> models;
    const QAbstractItemModel *signalList;
    // Built once per apply: looking every rule up in the lists and
    // selections again made many rules cost the square of their count.
    QHash<QString, QString> labels; // a label or its name: the text a cell takes
    bool labelsRead = false;
    QHash<QString, QVector<Row>> rowsByText; // in model and tree order
    QHash<QString, Found> queries;           // the find field's matches, by query
    // One filter per selection, its query set per rule: a filter made anew
    // for every rule costs more than the rule.
    QList<TreeFilterModel *> filters;
};

#endif
