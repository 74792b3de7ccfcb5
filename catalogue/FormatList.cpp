// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatList.h"

// Function-local statics: initialised once, on first use, safely from any thread.
QList<formatYoutube> &formatList()
{
    static QList<formatYoutube> list;
    return list;
}

std::optional<QString> &youtubeDLPath()
{
    static std::optional<QString> path;
    return path;
}

std::optional<QString> &ffmpegPath()
{
    static std::optional<QString> path;
    return path;
}
