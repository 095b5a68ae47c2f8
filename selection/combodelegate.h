#ifndef STATIONSCOPE_COMBODELEGATE_H
#define STATIONSCOPE_COMBODELEGATE_H

#include <QItemDelegate>
#include <QStringList>

// Edits a cell by choosing from a fixed list of texts; an entry "-----" is
// shown as a separator.
class ComboDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    ComboDelegate(const QStringList &items, QObject *parent = nullptr);

    static const QString Separator;

    QStringList items() const { return texts; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private slots:
    void commitChoice();

private:
    QStringList texts;
};

#endif
