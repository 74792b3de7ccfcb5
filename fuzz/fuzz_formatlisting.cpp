// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "catalogue/FormatListing.h"

namespace {

void require(bool condition, const char *what, const QString &text)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_formatlisting: %s: \"%s\"\n", what, qUtf8Printable(text));
        std::abort();
    }
}

bool isDigits(QStringView text, qsizetype minimum, qsizetype maximum)
{
    if (text.size() < minimum || text.size() > maximum) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// "<width>x<height>", one to four ASCII digits each.
bool isDimension(QStringView text)
{
    const qsizetype x = text.indexOf(u'x');
    return x >= 0 && isDigits(text.first(x), 1, 4) && isDigits(text.sliced(x + 1), 1, 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Raw data: no terminating NUL, so a read past the end is the sanitizer's to see.
    const QByteArray output = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                      static_cast<qsizetype>(size));
    for (const formatYoutube &format : parseFormatListing(output)) {
        // The format code is what the download command receives: one whole column.
        require(!format.formatID.isEmpty()
                    && std::none_of(format.formatID.cbegin(), format.formatID.cend(),
                                    [](QChar c) { return c.isSpace() && c != QChar(0x180E); }),
                "format code is not one column", format.formatID);
        require(!format.note.contains(u'|') && !format.note.contains(u'\u2502'),
                "the note shows the table's separators", format.note);
        // The codec keeps the white space around its word.
        require(format.codec.isEmpty()
                    || (format.codec.size() >= 3 && format.codec.front().isSpace()
                        && format.codec.back().isSpace()),
                "codec is not a word between white space", format.codec);
        require(format.dimension.isEmpty() || isDimension(format.dimension),
                "dimension is not <digits>x<digits>", format.dimension);
        require(!format.dimension.isEmpty() || format.info.isEmpty(), "a note without a dimension",
                format.info);
        require(format.isChecked == ControlState::Off, "a new record is ticked", format.formatID);
    }
    const QString error = lastErrorLine(output);
    require(error == error.trimmed(), "error line not trimmed", error);
    return 0;
}
