// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/PreferencesWiring.h"

#include "app/DownloadPanel.h"
#include "app/ViewController.h"
#include "settings/preferenceViewController.h"

preferenceViewController *showPreferences(QPointer<preferenceViewController> &open,
                                          QSettings &store, Session *session, QWidget *window)
{
    if (open) {
        open->raise();
        open->activateWindow();
        return open;
    }
    open = new preferenceViewController(store, window);
    open->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(open, &preferenceViewController::simultaneousDownloadsChanged, session,
                     &Session::setSimultaneousDownloads);
    open->show();
    return open;
}

void connectSignIn(DownloadPanel *panel, ViewController *window)
{
    QObject::connect(panel, &DownloadPanel::signInRequested, window,
                     [window] { window->openPreferences()->showCookies(); });
}
