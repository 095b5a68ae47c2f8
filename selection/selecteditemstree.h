#ifndef STATIONSCOPE_SELECTEDITEMSTREE_H
#define STATIONSCOPE_SELECTEDITEMSTREE_H

#include <QColor>
#include <QTimer>
#include <QTreeView>

class QMenu;
class QStandardItem;
class TagSelector;

// The base view of every tree the program shows: opens the editor a cell names,
// deletes selected rows of a selection model, and carries a colour theme.
class SelectedItemsTree : public QTreeView
{
    Q_OBJECT

public:
    explicit SelectedItemsTree(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void setTagSelector(TagSelector *selector);
    TagSelector *tagSelector() const { return selector; }
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly; }
    QColor disabledColor() const { return disabledCellColor; }

    // Style sheet and disabled-cell colour derived from one base colour; the
    // second colour, when valid, is the text colour.
    void applyTheme(const QColor &base, const QColor &second);
    static QString themeStyleSheet(const QColor &base, const QColor &second);
    static QColor themeDisabledColor(const QColor &base) { return base.darker(170); }

    void openEditor(QStandardItem *cell);

public slots:
    void onItemDoubleClicked(const QModelIndex &index);
    void adjustFirstColumnSize();
    // Sizes the first columns once the current burst of expansions or
    // insertions is over; sizing lays the whole tree out, so doing it per
    // expanded branch made expanding a large model quadratic.
    void scheduleColumnSizing();
    virtual void deleteSelectedItems();

signals:
    // Before a context menu of the tree is shown, with the row it was asked
    // for: connected directly, a receiver may add its own actions.
    void contextMenuAboutToShow(QMenu *menu, const QModelIndex &index);

protected:
    // Cells whose value comes from a selector or a dialog open no text editor.
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showDeleteMenu(const QPoint &globalPos);

private:
    TagSelector *selector = nullptr;
    bool readOnly = false;
    QColor disabledCellColor;
    QTimer columnSizing;
};

#endif
