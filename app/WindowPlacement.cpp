// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/WindowPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void fitIntoScreen(QWidget *window)
{
    const QRect frame = window->frameGeometry();
    QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen) {
        screen = window->screen();
    }
    const QRect available = screen->availableGeometry();
    if (available.contains(frame)) {
        return;
    }
    // The frame (title bar and borders, once known) takes its share of the room.
    const QSize decoration = frame.size() - window->size();
    window->resize(window->size().boundedTo(available.size() - decoration));
    // The window may not shrink below its layout's minimum: placed from its actual size.
    const QSize fitted = window->frameGeometry().size();
    window->move(std::clamp(frame.left(), available.left(),
                            std::max(available.left(), available.right() + 1 - fitted.width())),
                 std::clamp(frame.top(), available.top(),
                            std::max(available.top(), available.bottom() + 1 - fitted.height())));
}
