#ifndef STATIONSCOPE_FILTERFIELD_H
#define STATIONSCOPE_FILTERFIELD_H

// A filter line above a tree or table view: hides what does not match, opens
// the branches that lead to matches, counts them and steps through them.
// Enter and F3 go to the next match, Shift+F3 to the previous one (both
// wrap), Esc empties the field. The view keeps its own model; rows are hidden
// in the view, so everything that works on the model stays as it is.

#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class QTreeView;
class TreeFilterModel;

class FilterField : public QWidget
{
    Q_OBJECT

public:
    explicit FilterField(QWidget *parent = nullptr);
    ~FilterField() override;

    // Filters view from now on, following the model it shows.
    void setView(QTreeView *view);
    QTreeView *view() const { return target; }
    void setMatchAllColumns(bool all);
    // Shows the button that selects every match in the view.
    void setSelectAllVisible(bool visible);

    QLineEdit *lineEdit() const { return edit; }
    TreeFilterModel *filterModel() const { return engine; }
    QString countText() const;

    // Milliseconds between the last keystroke and the filtering.
    static constexpr int DebounceMs = 80;

public slots:
    void setText(const QString &text);
    void clear();
    // Runs a pending filtering at once.
    void applyNow();
    void nextMatch();
    void previousMatch();
    // Selects every match and gives the view the focus, so that Enter acts
    // on the selection.
    void selectAllMatches();
    void focusField();

signals:
    void applied(int matchCount);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void schedule();
    void showMatch(int step);
    void unhideRows();
    void hideRows();
    void attachModel();

    QLineEdit *edit = nullptr;
    QToolButton *clearButton = nullptr;
    QLabel *count = nullptr;
    QToolButton *selectAll = nullptr;
    TreeFilterModel *engine = nullptr;
    QPointer<QTreeView> target;
    QTimer debounce;
    QList<QPersistentModelIndex> hiddenRows;
    int cursor = -1;
};

#endif
