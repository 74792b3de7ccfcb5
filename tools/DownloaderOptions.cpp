// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/DownloaderOptions.h"

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

QString composeDownloaderOptions(const DownloaderOptions &options)
{
    QString words;
    if (!options.javaScriptRuntimes.isEmpty()) {
        words += u" --js-runtimes "_s + shellQuote(options.javaScriptRuntimes);
    }
    return words;
}
