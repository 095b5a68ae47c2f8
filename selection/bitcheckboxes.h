#ifndef STATIONSCOPE_BITCHECKBOXES_H
#define STATIONSCOPE_BITCHECKBOXES_H

#include <QCheckBox>
#include <QList>

// The bit-set dialogs show one check box per bit; box i stands for bit i.
inline void showBits(const QList<QCheckBox *> &boxes, quint32 value)
{
    for (int bit = 0; bit < boxes.size(); ++bit)
        boxes.at(bit)->setChecked(value & (1u << bit));
}

inline quint32 checkedBits(const QList<QCheckBox *> &boxes)
{
    quint32 value = 0;
    for (int bit = 0; bit < boxes.size(); ++bit) {
        if (boxes.at(bit)->isChecked())
            value |= 1u << bit;
    }
    return value;
}

#endif
