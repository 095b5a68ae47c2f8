#ifndef STATIONSCOPE_CHECKBOXDELEGATE_H
#define STATIONSCOPE_CHECKBOXDELEGATE_H

#include <QItemDelegate>

// Edits a boolean cell with a check box.
class CheckBoxDelegateate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit CheckBoxDelegateate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // A click on the indicator, or Space on the cell, toggles an editable cell
    // without opening an editor.
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private slots:
    void commitToggle();

private:
    QRect indicatorRect(const QStyleOptionViewItem &option) const;
};

#endif
