// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

/// The shell that runs every command line of the downloader.
QString shellProgram();

/// The argument list for shellProgram(): "-c" and the command line.
QStringList shellArguments(const QString &commandLine);

/// Quotes any text as one shell word: the shell hands it on unchanged and interprets none
/// of it (no expansion, no operator, no word splitting).
QString shellQuote(const QString &text);
