// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

/// A failure as the user is told of it: the cause and the way out in French, with the
/// downloader's own line kept for the tooltip and the log.
struct Failure
{
    QString message;
    QString detail;
};

/// The cause and the way out, in French, for the downloader's common failures ("Sign in to
/// confirm you're not a bot", "HTTP Error 403", "No space left on device", ...); empty for
/// any other line.
QString explainFailure(const QString &downloaderLine);

/// `prefix` followed by the explanation of the line, or by the line itself when there is
/// none; the line is the detail and goes to the log.
Failure describeFailure(const QString &prefix, const QString &downloaderLine);

/// Whether a download that failed with this downloader line (an "ERROR:" line without the
/// prefix, or the exit status when there was none) may succeed if tried again soon: a network
/// error, a time-out, HTTP 403, 429 or 5xx. An unavailable video, a sign-in asked, a format
/// gone or a full disk are lasting.
bool isPassingFailure(const QString &downloaderLine);

/// Whether the failure says that the site wants to know who asks: a sign-in, a bot check,
/// "login required", "use --cookies", "members-only", or HTTP 401, 403 or 429 (read in the
/// downloader's own words, not in a server's reason phrase). Cookies from the browser are then
/// the way out.
bool asksForSignIn(const QString &downloaderLine);

/// Whether `line` is the last line of a Python traceback ("FileNotFoundError: could not find
/// firefox cookies database in /x"): the downloader's failure when it ends before it can
/// write an "ERROR:" line, as when it cannot read a browser's cookies.
bool isTracebackEnd(QByteArrayView line);
