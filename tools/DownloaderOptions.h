// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The downloader's options that its listing and its downloads both carry.
struct DownloaderOptions
{
    /// The value of "--js-runtimes"; empty: the option is left out (a downloader older than
    /// 2025.11 does not know it).
    QString javaScriptRuntimes;
};

/// The options as they follow the command's own ones, each word after a space and every
/// value one quoted shell word; empty when there is none.
QString composeDownloaderOptions(const DownloaderOptions &options);
