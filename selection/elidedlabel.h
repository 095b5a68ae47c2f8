#ifndef STATIONSCOPE_ELIDEDLABEL_H
#define STATIONSCOPE_ELIDEDLABEL_H

// A one-line label for text of any length (a list of watched blocks, a
// failure): it asks for no more width than a few characters, shows what fits
// with "..." at the end, and has the whole text as its tooltip while cut.

#include <QLabel>

class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as it fits the label's width now.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

#endif
