// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
//
// Throughput of the two line parsers: the format listing, and the download monitor fed the
// way the runner feeds it (fresh chunks of a fixed size, lines split anywhere). Then the
// video's description: its parse, and the main thread's longest gap while one is listed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QByteArrayList>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include "catalogue/FormatListing.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/VideoDescriptionParser.h"
#include "download/DownloadOutputMonitor.h"
#include "tools/ShellCommand.h"

using namespace Qt::StringLiterals;

namespace {
constexpr qsizetype listingLineCount = 10'000;
constexpr qsizetype logLineCount = 1'000'000;
// A long video's description: 300 formats, each with its fragments, about 5 MB.
constexpr int describedFormatCount = 300;
constexpr int fragmentsPerFormat = 370;

QByteArray readRecording(const QString &name)
{
    QFile file(QStringLiteral(QUORVEL_TEST_DATA_DIR) + u'/' + name);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        std::exit(EXIT_FAILURE);
    }
    return file.readAll();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The lines the monitor sees: pieces between LF, CR LF or a lone CR, empty ones left out.
qsizetype countLines(const QByteArray &text)
{
    qsizetype lines = 0;
    bool inLine = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            lines += inLine ? 1 : 0;
            inLine = false;
        } else {
            inLine = true;
        }
    }
    return lines + (inLine ? 1 : 0);
}

// A listing of a page with very many formats: the preamble and table head of the recorded
// box-drawing listing, then the table rows of every recorded listing (format lines and the
// storyboard rows that are no format) in turn, up to the line count.
const QByteArray &longListing()
{
    static const QByteArray listing = [] {
        QByteArrayList preamble;
        QByteArrayList rows;
        bool inTable = false;
        for (const QByteArray &line :
             readRecording(u"listing-ytdlp-youtube-box.txt"_s).split('\n')) {
            if (line.isEmpty()) {
                continue;
            }
            if (!inTable) {
                preamble << line;
                // The row of box-drawing characters under the column heads ends the head.
                inTable = line.startsWith("\xe2\x94\x80");
            } else {
                rows << line;
            }
        }
        for (const QString &name :
             {u"listing-youtube-dl-columns.txt"_s, u"listing-ytdlp-dash-fixture.txt"_s}) {
            for (const QByteArray &line : readRecording(name).split('\n')) {
                if (!line.isEmpty() && isDigit(line.front())) {
                    rows << line;
                }
            }
        }
        QByteArray text = preamble.join('\n') + '\n';
        for (qsizetype i = 0; i < listingLineCount - preamble.size(); ++i) {
            text += rows.at(i % rows.size()) + '\n';
        }
        return text;
    }();
    return listing;
}

// A plain download of a large two-format presentation, shaped like the recorded one: per
// format a fragment count, the destination and a long run of progress lines rewritten
// with CR, closed by the final line; formats repeat up to the line count.
const QByteArray &stretchedDownloadLog()
{
    static const QByteArray log = [] {
        constexpr int fragments = 120;
        constexpr qsizetype progressLinesPerFile = 99'997;
        const QByteArrayList destinations = {
            "/home/user/Vid\xc3\xa9os/large137137_-_1280x720_DASH_video.mp4",
            "/home/user/Vid\xc3\xa9os/large140140_-_audio_only_DASH_audio.m4a",
        };
        QByteArray text;
        qsizetype lines = 0;
        char line[160];
        for (qsizetype file = 0; lines < logLineCount; ++file) {
            text += "[dashsegments] Total fragments: " + QByteArray::number(fragments) + '\n';
            text += "[download] Destination: " + destinations.at(file % destinations.size()) + '\n';
            lines += 2;
            for (qsizetype i = 0; i < progressLinesPerFile && lines < logLineCount - 1; ++i) {
                const double percent = 100.0 * static_cast<double>(i) / progressLinesPerFile;
                const int fragment = static_cast<int>(i * fragments / progressLinesPerFile);
                std::snprintf(line, sizeof line,
                              "\r[download] %5.1f%% of ~ 229.37MiB at %7.2fMiB/s ETA 00:%02d "
                              "(frag %d/%d)",
                              percent, 40.0 + static_cast<double>(i % 4000) / 100.0,
                              static_cast<int>(59 - i % 60), fragment, fragments);
                text += line;
                ++lines;
            }
            text += "\r[download] 100% of  229.37MiB in 00:00:03 at 68.12MiB/s               \n";
            ++lines;
        }
        return text;
    }();
    return log;
}

// The two recorded download logs verbatim, repeated: few progress lines per file, so the
// destination and error lines (decoded and handed on) weigh much more than in a long run.
const QByteArray &repeatedRecordedLog()
{
    static const QByteArray log = [] {
        const QByteArray recording = readRecording(u"download-plain-137-140.log"_s)
            + readRecording(u"download-audio-mp3-137-140.log"_s);
        const qsizetype linesPerCopy = countLines(recording);
        return recording.repeated((logLineCount + linesPerCopy - 1) / linesPerCopy);
    }();
    return log;
}

// The edited recording's description, its formats repeated with new codes, each given the
// fragment list of a long video.
const QByteArray &longDescription()
{
    static const QByteArray json = [] {
        const QByteArray recording = readRecording(u"listing-ytdlp-json-dubbed-drm.txt"_s);
        QJsonObject video
            = QJsonDocument::fromJson(recording.sliced(recording.lastIndexOf("\n{") + 1)).object();
        const QJsonArray recorded = video.value("formats"_L1).toArray();
        QJsonArray fragments;
        for (int fragment = 0; fragment < fragmentsPerFormat; ++fragment) {
            fragments.append(
                QJsonObject {{u"path"_s, u"chunk-137-%1.m4s"_s.arg(fragment, 5, 10, QChar(u'0'))},
                             {u"duration"_s, 2.0}});
        }
        QJsonArray formats;
        for (int code = 0; code < describedFormatCount; ++code) {
            QJsonObject format = recorded.at(code % recorded.size()).toObject();
            format.insert("format_id"_L1, QString::number(1000 + code));
            format.insert("fragments"_L1, fragments);
            formats.append(format);
        }
        video.insert("formats"_L1, formats);
        return QJsonDocument(video).toJson(QJsonDocument::Compact);
    }();
    return json;
}

// The table that goes with it: one line per described format.
QByteArray describedTable()
{
    QByteArray table = "ID   EXT RESOLUTION |  TBR PROTO | VCODEC ACODEC MORE INFO\n";
    for (int code = 0; code < describedFormatCount; ++code) {
        table += QByteArray::number(1000 + code)
            + " mp4 1920x1080    | 4000k dash  | avc1.640028 video only DASH video\n";
    }
    return table;
}

void parseDescription(benchmark::State &state)
{
    const QByteArray &json = longDescription();
    const QList<formatYoutube> table = parseFormatListing(describedTable());
    for ([[maybe_unused]] auto _ : state) {
        const auto described = parseVideoDescription(json);
        const QList<formatYoutube> records = completedFormats(table, described->formats);
        benchmark::DoNotOptimize(records.constData());
    }
    state.counters["MB"] = static_cast<double>(json.size()) / 1e6;
    state.SetBytesProcessed(state.iterations() * json.size());
}

// The longest time between two ticks of a 1 ms timer on the main thread while a query lists
// the table and the description from a stand-in that prints them: what a repaint would wait.
void listDescription(benchmark::State &state)
{
    static int argc = 1;
    static char name[] = "bench_parsers";
    static char *argv[] = {name, nullptr};
    static const QCoreApplication application(argc, argv);
    const QTemporaryDir folder;
    QFile output(folder.filePath(u"output"_s));
    QFile tool(folder.filePath(u"youtube-dl"_s));
    if (!output.open(QIODevice::WriteOnly) || !tool.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the stand-in");
        return;
    }
    output.write(describedTable() + longDescription() + '\n');
    tool.write("#!/bin/bash\nexec cat " + shellQuote(output.fileName()).toUtf8() + '\n');
    output.close();
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    double longest = 0;
    qsizetype formats = 0;
    for ([[maybe_unused]] auto _ : state) {
        FormatQuery query;
        QEventLoop loop;
        QObject::connect(&query, &FormatQuery::formatsListed, &loop,
                         [&](const QList<formatYoutube> &listed) {
                             formats = listed.size();
                             loop.quit();
                         });
        QObject::connect(&query, &FormatQuery::failed, &loop, &QEventLoop::quit);
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        ticks.setInterval(1);
        QElapsedTimer clock;
        qint64 last = 0;
        const auto tick = [&] {
            longest = std::max(longest, static_cast<double>(clock.nsecsElapsed() - last) / 1e6);
            last = clock.nsecsElapsed();
        };
        QObject::connect(&ticks, &QTimer::timeout, &loop, tick);
        clock.start();
        ticks.start();
        query.start(tool.fileName(), u"http://127.0.0.1:1/long"_s);
        loop.exec();
        tick();
    }
    state.counters["longest_gap_ms"] = longest;
    state.counters["formats"] = static_cast<double>(formats);
}

void parseListing(benchmark::State &state)
{
    const QByteArray &listing = longListing();
    qsizetype formats = 0;
    for ([[maybe_unused]] auto _ : state) {
        const QList<formatYoutube> records = parseFormatListing(listing);
        formats = records.size();
        benchmark::DoNotOptimize(records.constData());
    }
    const auto lines = static_cast<double>(countLines(listing));
    state.counters["lines"] = lines;
    state.counters["formats"] = static_cast<double>(formats);
    state.counters["lines/s"] = benchmark::Counter(lines * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * listing.size());
}

// A listing of one format line whose note holds `run` repeated to the benchmark's size in
// bytes, before the columns that the parser looks for: the shapes that a parser which tries
// again from every position, or copies the note once per character, takes minutes over.
void parseLongLine(benchmark::State &state, const QByteArray &run)
{
    const auto size = static_cast<qsizetype>(state.range(0));
    const QByteArray listing = "ID  EXT RESOLUTION\n137 mp4 1920x1080 "
        + run.repeated(size / run.size())
        + " | ~ 3.28MiB 4200k https | avc1.640028 video only [en] original, 720p\n";
    qsizetype noteSize = 0;
    for ([[maybe_unused]] auto _ : state) {
        const QList<formatYoutube> records = parseFormatListing(listing);
        noteSize = records.isEmpty() ? -1 : records.first().note.size();
        benchmark::DoNotOptimize(records.constData());
    }
    state.counters["note"] = static_cast<double>(noteSize);
    state.SetBytesProcessed(state.iterations() * listing.size());
}

// 4 MiB: as much as the query keeps of a listing; 64 KiB shows how the time grows with it.
const bool longLinesRegistered = [] {
    for (const auto &[name, run] : std::initializer_list<std::pair<const char *, QByteArray>> {
             {"commas", ","},
             {"digits", "7"},
             {"blanks", " "},
             {"dots", "."},
             {"x", "x"},
             {"brackets", "["},
             {"bars", "|"},
             {"digitsAndBlanks", "1 "},
             {"words", "audio only, [en-US-x] 7.5 MiB|"},
             {"note", ", avc1.4d401f, 30fps, mp4a.40.2 (44100Hz)"}}) {
        benchmark::RegisterBenchmark((std::string("parseLongLine/") + name).c_str(), parseLongLine,
                                     run)
            ->Arg(64 * 1024)
            ->Arg(4 * 1024 * 1024)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

// Each chunk is a fresh copy, as QProcess::readAllStandardOutput() hands it to the runner,
// and the signals reach a receiver, as they reach the runner.
void feedMonitor(benchmark::State &state, const QByteArray &log)
{
    const auto chunkSize = static_cast<qsizetype>(state.range(0));
    DownloadOutputMonitor monitor;
    QObject receiver;
    double percent = 0.0;
    qsizetype progressCount = 0;
    qsizetype destinationCount = 0;
    QObject::connect(&monitor, &DownloadOutputMonitor::progressChanged, &receiver,
                     [&](const DownloadProgress &progress) {
                         percent = progress.percent;
                         ++progressCount;
                     });
    QObject::connect(&monitor, &DownloadOutputMonitor::destinationAnnounced, &receiver,
                     [&](const QByteArray &path) { destinationCount += path.isEmpty() ? 0 : 1; });

    for ([[maybe_unused]] auto _ : state) {
        for (qsizetype offset = 0; offset < log.size(); offset += chunkSize) {
            monitor.feed(
                QByteArray(log.constData() + offset, std::min(chunkSize, log.size() - offset)));
        }
        monitor.finish();
    }
    benchmark::DoNotOptimize(percent);
    const auto lines = static_cast<double>(countLines(log));
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["lines"] = lines;
    state.counters["progress"] = static_cast<double>(progressCount) / iterations;
    state.counters["destinations"] = static_cast<double>(destinationCount) / iterations;
    state.counters["lines/s"] = benchmark::Counter(lines * iterations, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * log.size());
}

void monitorStretchedLog(benchmark::State &state)
{
    feedMonitor(state, stretchedDownloadLog());
}

void monitorRecordedLog(benchmark::State &state)
{
    feedMonitor(state, repeatedRecordedLog());
}
} // namespace

BENCHMARK(parseListing)->Unit(benchmark::kMillisecond);
BENCHMARK(parseDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(listDescription)->Iterations(10)->Unit(benchmark::kMillisecond);
// 4 KiB: a downloader writing line by line; 64 KiB: a full pipe read at once.
BENCHMARK(monitorStretchedLog)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(monitorRecordedLog)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
