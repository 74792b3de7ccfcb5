// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "download/DownloadOutputMonitor.h"

namespace {

struct Event
{
    enum class Kind { Destination, Conversion, Progress, Error };
    Kind kind = Kind::Destination;
    QByteArray text;
    double percent = 0;

    friend bool operator==(const Event &, const Event &) = default;
};

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_downloadoutputmonitor: %s\n", what);
        std::abort();
    }
}

// A monitor with every signal recorded, in order. The connections are direct (one thread),
// so no event loop and no application object are needed.
class Recorder final
{
public:
    Recorder()
    {
        QObject::connect(&monitor, &DownloadOutputMonitor::destinationAnnounced, &monitor,
                         [this](const QByteArray &path) {
                             events.append({Event::Kind::Destination, path});
                         });
        QObject::connect(&monitor, &DownloadOutputMonitor::conversionAnnounced, &monitor,
                         [this](const QByteArray &path) {
                             events.append({Event::Kind::Conversion, path});
                         });
        QObject::connect(&monitor, &DownloadOutputMonitor::progressChanged, &monitor,
                         [this](const DownloadProgress &progress) {
                             const double percent = progress.percent;
                             require(std::isfinite(percent) && percent >= 0,
                                     "progress is not a finite, non-negative number");
                             events.append({Event::Kind::Progress,
                                            progress.speed + ' ' + progress.timeLeft, percent});
                         });
        for (const auto signal : {&DownloadOutputMonitor::fileAlreadyPresent,
                                  &DownloadOutputMonitor::originalDeleted}) {
            QObject::connect(&monitor, signal, &monitor, [this](const QByteArray &path) {
                events.append({Event::Kind::Conversion, "other " + path});
            });
        }
        QObject::connect(&monitor, &DownloadOutputMonitor::filesAnnounced, &monitor,
                         [this](int count) {
                             require(count > 0, "no file announced");
                             events.append({Event::Kind::Progress, "files", double(count)});
                         });
        QObject::connect(&monitor, &DownloadOutputMonitor::errorReported, &monitor,
                         [this](const QString &line) {
                             events.append({Event::Kind::Error, line.toUtf8()});
                         });
    }

    DownloadOutputMonitor monitor;
    QList<Event> events;
};

} // namespace

// Input: one byte (low 4 bits: a count n; high 4 bits 1: lengthen the first line), n chunk
// lengths of one byte each, then the stream. One monitor reads the stream whole; another reads
// it in chunks of those lengths, taken in turn (zero gives an empty read). Both must report the
// same events in the same order. A lengthened first line is repeated past the monitor's 64 KiB
// line limit, which inputs of a few KiB cannot reach otherwise.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const auto lengthCount = static_cast<std::size_t>(data[0] & 0x0f);
    if (size < 1 + lengthCount) {
        return 0;
    }
    const std::uint8_t *lengths = data + 1;
    QByteArray stream
        = QByteArray::fromRawData(reinterpret_cast<const char *>(lengths + lengthCount),
                                  static_cast<qsizetype>(size - 1 - lengthCount));
    // A lengthened stream is read in longer chunks too: some of them hold a whole long line,
    // and there are a few hundred reads instead of tens of thousands. The odd unit moves the
    // chunk ends across the line limit.
    qsizetype lengthUnit = 1;
    if ((data[0] & 0xf0) == 0x10) {
        lengthUnit = 257;
        const auto lineEnd = std::find_if(stream.cbegin(), stream.cend(),
                                          [](char c) { return c == '\n' || c == '\r'; });
        const auto firstLineSize = static_cast<qsizetype>(lineEnd - stream.cbegin());
        if (firstLineSize > 0) {
            stream = stream.first(firstLineSize).repeated(68 * 1024 / firstLineSize + 1)
                + stream.sliced(firstLineSize);
        }
    }

    Recorder whole;
    whole.monitor.feed(stream);
    whole.monitor.finish();

    Recorder split;
    qsizetype position = 0;
    qsizetype cycleStart = 0;
    for (std::size_t i = 0; lengthCount > 0 && position < stream.size(); ++i) {
        if (i > 0 && i % lengthCount == 0) {
            // Lengths that are all zero would never get anywhere.
            if (position == cycleStart) {
                break;
            }
            cycleStart = position;
        }
        const qsizetype length
            = qMin<qsizetype>(lengths[i % lengthCount] * lengthUnit, stream.size() - position);
        // A copy of its own for each read, as the process hands them out.
        split.monitor.feed(QByteArray(stream.constData() + position, length));
        position += length;
    }
    split.monitor.feed(stream.sliced(position));
    split.monitor.finish();
    require(split.events == whole.events, "a split stream reports other events than the whole");

    // After finish() the monitor starts afresh: the same stream again gives the same events.
    const QList<Event> first = split.events;
    split.monitor.feed(stream);
    split.monitor.finish();
    require(split.events == first + first, "a reused monitor reports other events");
    return 0;
}
