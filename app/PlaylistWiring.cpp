// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/PlaylistWiring.h"

#include "app/AddressBar.h"
#include "app/FormatPanel.h"
#include "app/PlaylistPanel.h"
#include "download/Session.h"

void connectPlaylist(PlaylistPanel *panel, FormatPanel *formats, AddressBar *address,
                     Session *session)
{
    const auto showReading
        = [panel, session] { panel->setReading(session->isReadingList(), session->canList()); };
    // A new listing is of another address: the last list is no longer on offer.
    QObject::connect(session, &Session::started, panel,
                     [panel, session, showReading](Session::Work work) {
                         if (work == Session::Work::Listing) {
                             session->cancelList();
                             panel->withdraw();
                         }
                         showReading();
                     });
    QObject::connect(session, &Session::ended, panel, showReading);
    QObject::connect(session, &Session::videoDescribed, panel,
                     [panel, address](const VideoDescription &video) {
                         panel->offer(address->address(), video);
                     });
    QObject::connect(panel, &PlaylistPanel::wholeListRequested, session,
                     [session, address] { session->readList(address->address()); });
    QObject::connect(panel, &PlaylistPanel::cancelRequested, session, &Session::cancelList);
    QObject::connect(session, &Session::listStarted, panel,
                     [panel] { panel->setReading(true, false); });
    QObject::connect(session, &Session::listEnded, panel, showReading);
    QObject::connect(panel, &PlaylistPanel::listShownChanged, formats, [formats](bool shown) {
        formats->setTicksDiverted(shown);
        formats->setVisible(!shown);
    });
    QObject::connect(formats, &FormatPanel::tickCommanded, panel, &PlaylistPanel::runTickCommand);
}
