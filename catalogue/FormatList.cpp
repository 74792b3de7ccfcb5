// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "catalogue/FormatList.h"

// A function-local static: initialised once, on first use, safely from any thread.
QList<formatYoutube> &formatList()
{
    static QList<formatYoutube> list;
    return list;
}
