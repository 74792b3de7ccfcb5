// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include "tools/Cookies.h"

/// The downloader's options that its listing and its downloads both carry. Beside these,
/// both always carry "--ignore-config" (what Quorvel reads and where files land must not
/// depend on the user's own configuration) and "--no-playlist" (a video address that also
/// names its playlist gives that one video).
struct DownloaderOptions
{
    /// The value of "--js-runtimes"; empty: the option is left out (a downloader older than
    /// 2025.11 does not know it).
    QString javaScriptRuntimes;
    /// Where the downloader takes its cookies from, as chosen in the Preferences (a queued job
    /// keeps the choice it was made with).
    CookieChoice cookies {};
    /// With a cookies.txt: the private copy (CookieCopy) that this run passes with
    /// "--cookies"; the user's own file is never passed. Empty: no "--cookies".
    QString cookieCopy {};
};

/// The options that follow the user's choices, without the fixed ones: "--js-runtimes" when
/// a runtime is named, then the cookies ("--cookies" with the private copy, or
/// "--cookies-from-browser"), each word after a space and every value one quoted shell word;
/// empty when there is none. A reading of a whole list carries these without "--no-playlist".
QString composeChosenOptions(const DownloaderOptions &options);

/// The options, the chosen ones (composeChosenOptions()) and the fixed ones, as they follow the
/// command's own ones, each word after a space and every value one quoted shell word.
QString composeDownloaderOptions(const DownloaderOptions &options);
