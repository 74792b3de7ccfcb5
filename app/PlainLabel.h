// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QLabel;
class QWidget;

/// A label for text from outside (a title, a file name, a folder): plain text only, wrapped
/// in the width it is given, never widening the window, with a name for screen readers.
QLabel *plainWrappingLabel(const QString &objectName, const QString &accessibleName,
                           QWidget *parent);
