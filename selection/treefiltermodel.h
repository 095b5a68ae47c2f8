#ifndef STATIONSCOPE_TREEFILTERMODEL_H
#define STATIONSCOPE_TREEFILTERMODEL_H

// The rules of the filter field: which nodes of a tree match a query, and
// which stay visible (the matches, their ancestors and everything below a
// match).
//
// A query is free text plus optional words: "fc:ST" (functional constraint),
// "ln:XCBR" (logical node class; prefix and instance ignored) and "ld:CTRL"
// (logical device). The text matches case-insensitively as a substring, or as
// a regular expression when it holds any of its special characters. Text with
// a "/", "." or "$" is also looked for in the whole text a node shows, so a
// reference typed as a browsed tree shows it is found. The words
// and the text must all hold; words alone match the nodes on the level they
// name (the logical nodes of "ln:XCBR", the constraint nodes of "fc:ST").

#include <QHash>
#include <QModelIndex>
#include <QModelIndexList>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

class TreeFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TreeFilterModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;

    void setQuery(const QString &query);
    QString query() const { return queryText; }
    // When true, the text is looked for in every column of a row (tables);
    // otherwise in the node's own name in column 0 (model trees).
    void setMatchAllColumns(bool all);

    // A query with neither text nor words filters nothing.
    bool isActive() const;
    // False for text that is meant as a regular expression but is none; such a
    // query is not applied.
    bool isQueryValid() const { return queryError.isEmpty(); }
    QString queryErrorString() const { return queryError; }

    // Source indexes (column 0) of the matching nodes, in tree order.
    QModelIndexList matches() const;
    // The matches of each query in a model tree (not all columns), as
    // matches() would give them, from one walk of the tree: a name is
    // compared once per query however many nodes carry it, so thousands of
    // queries on a large IED cost seconds, not a walk each. An invalid query
    // gets its error instead.
    struct QueryMatches
    {
        QModelIndexList matches;
        QString error;
    };
    QVector<QueryMatches> matchesOfEach(const QStringList &queries) const;
    bool isMatch(const QModelIndex &sourceIndex) const;
    // True when the node has a match below it.
    bool hasMatchBelow(const QModelIndex &sourceIndex) const;
    bool acceptsSource(const QModelIndex &sourceIndex) const;

    // The class of a logical node name: "Q0CSWI1" gives "CSWI".
    static QString logicalNodeClass(const QString &name);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    struct Scope
    {
        QString device;
        QString nodeClass;
        QString constraint;
        bool ownDevice = false;
        bool ownNode = false;
        bool ownConstraint = false;
    };
    enum State : char { MatchState = 1, AncestorState = 2 };

    void markDirty();
    void refresh() const;
    void compute() const;
    Scope scopeOf(const QModelIndex &index, const Scope &parentScope) const;
    bool scopeHolds(const Scope &scope) const;
    bool textMatches(const QModelIndex &index) const;
    bool matchesText(const QString &text) const;

    QString queryText;
    QString pattern;
    QString wantedConstraint;
    QString wantedNodeClass;
    QString wantedDevice;
    QRegularExpression expression;
    bool useExpression = false;
    bool spansLevels = false;
    QString queryError;
    bool allColumns = false;

    mutable bool dirty = true;
    mutable QModelIndexList matchList;
    mutable QHash<QModelIndex, char> states;
};

#endif
