#include "elidedlabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {
// Room asked for beyond the minimum, so a short text shows whole.
constexpr int PreferredCharacters = 60;
} // namespace

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

QString ElidedLabel::shownText() const
{
    // One line: line breaks of the text would be cut off by the height anyway.
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("W...")) + margins.left() +
                     margins.right(),
                 QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const
{
    const QSize full = QLabel::sizeHint();
    const int preferred = fontMetrics().averageCharWidth() * PreferredCharacters;
    return QSize(qMin(full.width(), preferred), full.height());
}

bool ElidedLabel::event(QEvent *event)
{
    // Without a tooltip of its own, a cut text shows whole on hover.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (isElided())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextSingleLine,
                          palette(), isEnabled(), shownText(), foregroundRole());
}
