// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

QString shellProgram()
{
    return u"/bin/bash"_s;
}

QStringList shellArguments(const QString &commandLine)
{
    return {u"-c"_s, commandLine};
}

QString shellQuote(const QString &text)
{
    // Inside single quotes bash interprets nothing, not even a backslash; an apostrophe
    // closes the quote, is written escaped, and the quote opens again.
    QString quoted = text;
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}
