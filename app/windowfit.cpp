#include "app/windowfit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace nimbra {

QRect fitWindowGeometry(const QRect &remembered, const QRect &available, QSize design, QSize minimum)
{
    const bool known = remembered.isValid() && !remembered.isEmpty();
    const QSize size = (known ? remembered.size() : design).boundedTo(available.size()).expandedTo(minimum);
    QRect placed(QPoint(), size);
    if (known)
        placed.moveTopLeft(remembered.topLeft());
    else
        placed.moveCenter(available.center());
    // std::max last: a window larger than the area keeps its title bar on screen.
    placed.moveLeft(
        std::max(available.left(), std::min(placed.left(), available.right() + 1 - size.width())));
    placed.moveTop(std::max(available.top(), std::min(placed.top(), available.bottom() + 1 - size.height())));
    return placed;
}

QRect startWindowGeometry(const QRect &remembered)
{
    QScreen *screen = remembered.isValid() ? QGuiApplication::screenAt(remembered.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? fitWindowGeometry(remembered, screen->availableGeometry()) : QRect();
}

} // namespace nimbra
