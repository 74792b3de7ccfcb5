// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

class AddressBar;
class FormatPanel;
class PlaylistPanel;
class Session;

/// Offers the list choice for each listed address that is a list, reads the whole list on
/// request, and hands the tick commands to the list while it is shown in the formats' place.
void connectPlaylist(PlaylistPanel *panel, FormatPanel *formats, AddressBar *address,
                     Session *session);
