// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

namespace {
// The embeddings, overrides and isolates: U+202E alone shows "exe.gpj" as "jpg.exe".
bool isDirectionControl(QChar character)
{
    const char16_t code = character.unicode();
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}
} // namespace

QString shownText(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        if (!isDirectionControl(character)) {
            shown += character.category() == QChar::Other_Control ? QChar(u' ') : character;
        }
    }
    return shown;
}

QString plainToolTip(QStringView text)
{
    const QString shown = shownText(text);
    if (shown.isEmpty()) {
        return {};
    }
    // A tooltip guesses whether its text is rich from its first tag: escaped text alone could
    // be taken as plain and show its entities. Said rich, the escaped text reads as written.
    return u"<qt><p style=\"white-space:pre-wrap\">"_s + shown.toHtmlEscaped() + u"</p></qt>"_s;
}
