#ifndef STATIONSCOPE_SELECTEDITEMSMODEL_H
#define STATIONSCOPE_SELECTEDITEMSMODEL_H

// The model behind every tree the program shows: picks copied in from the SCL
// model as top-level rows, the registry of picked names and the cell states
// (editor kind or disabled) that decide how each cell is edited.

#include "sclmodel.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>

class QStandardItem;

class SelectedItemsModel : public QStandardItemModel
{
    Q_OBJECT

public:
    // Registry group of picks made without a group.
    static const QString DefaultGroup;

    explicit SelectedItemsModel(QObject *parent = nullptr);
    ~SelectedItemsModel() override;

    // Copies source with its whole subtree into a new top-level row whose
    // column 0 reads name. False when the pick is refused or source is null.
    bool addNode(QStandardItem *source, const QString &name, const QString &group);
    // Counts name as picked under group ("Default" when empty).
    void registerName(const QString &name, const QString &group);
    // Removes a row; a top-level row also gives back one registration of its name.
    void removeNode(int row, const QModelIndex &parent = QModelIndex());
    // Empties model and registry; header labels and the id counter stay.
    void clearSelection();

    void setNodeChangedSuppressed(bool suppressed);
    bool isNodeChangedSuppressed() const { return nodeChangedSuppressed; }
    void setDisabledColor(const QColor &color);
    QColor disabledColor() const { return disabledCellColor; }

    const QHash<QString, QStringList> &registeredNames() const { return namesByGroup; }
    QStringList columnLabels() const { return headerLabels; }
    // The id the next row built by addNode gets.
    int nodeIdCounter() const { return nextNodeId; }

    // The registry key of a group.
    static QString groupKey(const QString &group);

    // Sets the cell states of a freshly built row (also for rows rebuilt by a loader).
    virtual void setupRow(const QList<QStandardItem *> &row, bool topLevel);
    // The selection rule; a refusal has already been told to the user.
    virtual bool acceptsNode(QStandardItem *source, const QString &name, const QString &group);
    // Runs after any cell of the model changed.
    virtual void itemEdited(QStandardItem *item);

signals:
    void nodeAdded(QStandardItem *node);
    void nodeChanged(QStandardItem *item);

public slots:
    void onNodeChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);

protected:
    void setHeaderLabels(const QStringList &labels);

    // Empty, filled with the disabled colour, neither editable nor enabled.
    void disableCell(QStandardItem *cell) const;
    // Enabled and editable, opening the editor of the given kind.
    static void enableCell(QStandardItem *cell, const QString &editorKind);
    static void makeReadOnly(QStandardItem *cell);
    // Enabled and shown, but not for editing: a value the row carries from
    // what it copies.
    static void showReadOnly(QStandardItem *cell);
    // The cell in the given column of the row that item belongs to, once the
    // row is in the model.
    QStandardItem *rowCell(const QStandardItem *item, int column) const;
    // The kind of a node, or -1 for none.
    static int nodeKind(const QStandardItem *node);
    // The name of the code a node holds in role (none reads as 0); empty for a
    // code outside the list.
    static QString roleValueName(const QStandardItem *node, int role, ValueList list);
    // Shows the MMS type name of node and of everything below it in column.
    void showMmsTypes(QStandardItem *node, int column);

    QHash<QString, QStringList> namesByGroup;

private:
    QList<QStandardItem *> buildRow(QStandardItem *first, bool topLevel);
    void copyChildren(const QStandardItem *source, QStandardItem *target);

    bool nodeChangedSuppressed = false;
    QColor disabledCellColor = QColor(Qt::green);
    QStringList headerLabels;
    int nextNodeId = 0;
};

#endif
