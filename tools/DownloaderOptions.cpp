// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/DownloaderOptions.h"

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

QString composeJavaScriptRuntimeOption(const DownloaderOptions &options)
{
    if (options.javaScriptRuntimes.isEmpty()) {
        return {};
    }
    return u" --js-runtimes "_s + shellQuote(options.javaScriptRuntimes);
}

QString composeDownloaderOptions(const DownloaderOptions &options)
{
    const QString words = composeJavaScriptRuntimeOption(options);
    // Options that a configuration file could override, such as "--quiet", "--print" or
    // "-o", change with the downloader's versions, and the one of March 2023 cannot undo all
    // of them: not reading the configuration is the only way that holds for every version.
    return words + u" --ignore-config --no-playlist"_s;
}
