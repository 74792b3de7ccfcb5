// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The downloader's options that its listing and its downloads both carry. Beside these,
/// both always carry "--ignore-config" (what Quorvel reads and where files land must not
/// depend on the user's own configuration) and "--no-playlist" (a video address that also
/// names its playlist gives that one video).
struct DownloaderOptions
{
    /// The value of "--js-runtimes"; empty: the option is left out (a downloader older than
    /// 2025.11 does not know it).
    QString javaScriptRuntimes;
};

/// The "--js-runtimes" option alone, after a space; empty when no runtime is named. A listing
/// of a whole list carries it without "--no-playlist".
QString composeJavaScriptRuntimeOption(const DownloaderOptions &options);

/// The options, the fixed ones included, as they follow the command's own ones, each word after a
/// space and every value one quoted shell word.
QString composeDownloaderOptions(const DownloaderOptions &options);
