// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "catalogue/formatYoutube.h"

/// One line of the downloader's format listing: a record when the line begins with a
/// format code (an ASCII digit at its first character), nothing otherwise. The code is the
/// whole first column ("18", "30216", "140-4", "139-drc").
std::optional<formatYoutube> parseFormatLine(const QString &line);

/// A whole listing as the downloader wrote it: decoded as UTF-8 (invalid bytes become
/// replacement characters), cut into lines (LF or CR LF, blank lines skipped), one record
/// per format line in output order. After the table's head line, every line of the table
/// is a format, whatever its code's first character ("hls-1080p"), but storyboards and a
/// JSON object (a line that begins with "{"); before it, none is. Without a head,
/// parseFormatLine() decides alone. `interrupted`, when given, is asked before each line:
/// once it says so, the formats read until then are returned.
QList<formatYoutube> parseFormatListing(const QByteArray &output,
                                        const std::function<bool()> &interrupted = {});

/// The text of the last line of `output` that begins with "ERROR:", without that prefix
/// and its blank; empty when there is none.
QString lastErrorLine(const QByteArray &output);
