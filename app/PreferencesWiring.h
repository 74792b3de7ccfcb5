// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>

class DownloadPanel;
class QSettings;
class QWidget;
class Session;
class ViewController;
class preferenceViewController;

/// Raises the Preferences window that `open` holds, or makes and shows one over `window`,
/// the number of simultaneous downloads changed there handed to `session`; returns it.
preferenceViewController *showPreferences(QPointer<preferenceViewController> &open,
                                          QSettings &store, Session *session, QWidget *window);

/// The button beside the message line that offers the cookies opens the Preferences at them.
void connectSignIn(DownloadPanel *panel, ViewController *window);
