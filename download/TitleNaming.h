// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

/// The output template of a download named by the title alone. The downloader cannot number
/// a name that is taken, so it writes "<id>#<code>#<title>.<ext>", a name no other file has,
/// and Quorvel gives the file its title afterwards with moveToFreeName(). The restricted
/// file-name form never leaves a "#" inside a field.
QString titleOnlyTemplate();

/// The name without the mark: "Clip.mp4" for "abc#18#Clip.mp4"; empty when unmarked.
QByteArray unmarkedName(const QByteArray &name);

/// Renames the marked file at `path` in its folder to its unmarked name, or when that is
/// taken to "<title>-2.<ext>", "<title>-3.<ext>"…: never over another file. Returns the new
/// path; `path` itself when unmarked or when the file cannot be renamed (logged).
QByteArray moveToFreeName(const QByteArray &path);
