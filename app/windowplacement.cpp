#include "windowplacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
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

// Splitters are told apart by the names of the widgets they sit in.
QString splitterPath(const QSplitter *splitter, const QWidget *window)
{
    QStringList names;
    for (const QObject *object = splitter; object && object != window; object = object->parent()) {
        if (!object->objectName().isEmpty())
            names.prepend(object->objectName());
    }
    return names.join(QLatin1Char('.'));
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

void WindowPlacement::saveLayout(const QMainWindow *window, const QString &settingsKey)
{
    QSettings settings;
    settings.setValue(settingsKey, window->saveState());
    settings.beginGroup(settingsKey + QStringLiteral("Splitters"));
    for (const QSplitter *splitter : window->findChildren<QSplitter *>())
        settings.setValue(splitterPath(splitter, window), splitter->saveState());
}

bool WindowPlacement::restoreLayout(QMainWindow *window, const QString &settingsKey)
{
    QSettings settings;
    const bool restored = window->restoreState(settings.value(settingsKey).toByteArray());
    settings.beginGroup(settingsKey + QStringLiteral("Splitters"));
    for (QSplitter *splitter : window->findChildren<QSplitter *>()) {
        const QByteArray state = settings.value(splitterPath(splitter, window)).toByteArray();
        if (!state.isEmpty())
            splitter->restoreState(state);
    }
    return restored;
}
