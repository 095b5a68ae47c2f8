#include "windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace {

// The frame a window manager adds is unknown before the first show.
constexpr int FrameAllowanceX = 16;
constexpr int FrameAllowanceY = 48;

QRect availableArea(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

QRect WindowPlacement::fitted(const QSize &wanted, const QSize &minimum, const QRect &available)
{
    const QSize room(available.width() - FrameAllowanceX, available.height() - FrameAllowanceY);
    QRect placed(QPoint(), wanted.boundedTo(room).expandedTo(minimum));
    placed.moveCenter(available.center());
    // A window larger than the area keeps its title bar on the screen.
    placed.moveTopLeft(
        QPoint(qMax(placed.left(), available.left()), qMax(placed.top(), available.top())));
    return placed;
}

QRect WindowPlacement::opening(const QRect &saved, const QSize &wanted, const QSize &minimum,
                               const QRect &available)
{
    const QRect framed =
        saved.adjusted(-FrameAllowanceX / 2, -FrameAllowanceY + FrameAllowanceX / 2,
                       FrameAllowanceX / 2, FrameAllowanceX / 2);
    if (saved.isValid() && available.contains(framed) && saved.width() >= minimum.width() &&
        saved.height() >= minimum.height())
        return saved;
    return fitted(wanted, minimum, available);
}

void WindowPlacement::place(QWidget *window, const QString &settingsKey)
{
    const QRect available = availableArea(window);
    if (available.isEmpty())
        return;
    const QRect saved = QSettings().value(settingsKey).toRect();
    window->setGeometry(opening(saved, window->size(),
                                window->minimumSizeHint().expandedTo(window->minimumSize()),
                                available));
}

void WindowPlacement::save(const QWidget *window, const QString &settingsKey)
{
    QSettings().setValue(settingsKey, window->normalGeometry());
}
