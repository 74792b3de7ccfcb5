// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/DownloaderOptions.h"

#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

QString composeChosenOptions(const DownloaderOptions &options)
{
    QString words;
    if (!options.javaScriptRuntimes.isEmpty()) {
        words += u" --js-runtimes "_s + shellQuote(options.javaScriptRuntimes);
    }
    switch (options.cookies.source) {
    case CookieSource::File:
        // Only the private copy: the downloader writes its cookies back into the file it is
        // given, and the user's own file must stay as it is.
        if (!options.cookieCopy.isEmpty()) {
            words += u" --cookies "_s + shellQuote(options.cookieCopy);
        }
        break;
    case CookieSource::Browser:
        if (const QString value = cookiesFromBrowserValue(options.cookies); !value.isEmpty()) {
            words += u" --cookies-from-browser "_s + shellQuote(value);
        }
        break;
    case CookieSource::None:
        break;
    }
    return words;
}

QString composeDownloaderOptions(const DownloaderOptions &options)
{
    const QString words = composeChosenOptions(options);
    // Options that a configuration file could override, such as "--quiet", "--print" or
    // "-o", change with the downloader's versions, and the one of March 2023 cannot undo all
    // of them: not reading the configuration is the only way that holds for every version.
    return words + u" --ignore-config --no-playlist"_s;
}
