// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

/// The names of the two tools in the tool folder, without extension.
inline constexpr char16_t downloaderToolName[] = u"youtube-dl";
inline constexpr char16_t converterToolName[] = u"ffmpeg";

/// The tool folder of the installed application: Contents/Resources inside the macOS
/// bundle, ../libexec/quorvel beside the executable elsewhere. Needs a QCoreApplication.
QString defaultToolFolder();

/// The full path of the executable file named `name` (no extension) in `folder`, or
/// nothing when there is no such executable file.
std::optional<QString> resourcePath(const QString &name, const QString &folder);
