// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
//
// Throughput of the two line parsers: the format listing, and the download monitor fed the
// way the runner feeds it (fresh chunks of a fixed size, lines split anywhere). Then the
// video's description: its parse, and the main thread's longest gap while one is listed.
// Last, a list of 5,000 entries read as the downloader writes it, at once or slowly: how
// soon the entries are reported, the main thread's longest gap, and the memory it costs.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include "catalogue/FormatListing.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/PlaylistEntry.h"
#include "catalogue/PlaylistReader.h"
#include "catalogue/VideoDescriptionParser.h"
#include "download/DownloadOutputMonitor.h"
#include "tools/ShellCommand.h"

#include <malloc.h>

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

// One application for the benchmarks that run an event loop.
void useApplication()
{
    static int argc = 1;
    static char name[] = "bench_parsers";
    static char *argv[] = {name, nullptr};
    static const QCoreApplication application(argc, argv);
}

// The longest time between two ticks of a 1 ms timer on the main thread while a query lists
// the table and the description from a stand-in that prints them: what a repaint would wait.
void listDescription(benchmark::State &state)
{
    useApplication();
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

// A list of a channel's videos, read as the downloader writes it.
constexpr int listEntryCount = 5'000;
// Written slowly: this many lines at a time, then a rest.
constexpr int slowLinesPerWrite = 100;

// One line of a flat listing, shaped like the downloader's for a video of a channel's list:
// about 1.9 KB, the site's texts with accents, four thumbnails, the list's own keys.
QByteArray flatListingLine(int index)
{
    static const QStringList words
        = {u"Épisode"_s, u"voyage"_s, u"à"_s,     u"travers"_s, u"l'Amérique"_s, u"du"_s,
           u"Sud"_s,     u"café"_s,   u"crème"_s, u"brûlée"_s,  u"Noël"_s,       u"façon"_s,
           u"garçon"_s,  u"São"_s,    u"Paulo"_s, u"Málaga"_s,  u"naïve"_s,      u"où"_s,
           u"Zoé"_s,     u"forêt"_s,  u"été"_s,   u"hôtel"_s,   u"Ærø"_s,        u"Łódź"_s};
    const QString alphabet = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"_s;
    QString id;
    quint64 seed = 0x9e3779b97f4a7c15ULL * static_cast<quint64>(index + 1);
    for (int i = 0; i < 11; ++i) {
        id += alphabet.at(static_cast<qsizetype>(seed % 64));
        seed = seed / 64 + 0x2545f4914f6cdd1dULL * static_cast<quint64>(i + index);
    }
    QStringList title;
    for (int i = 0; i < 6 + index % 7; ++i) {
        title << words.at((index * 7 + i * 13) % words.size());
    }
    const QString address = u"https://www.example.com/watch?v="_s + id;
    QJsonArray thumbnails;
    for (const auto &[name, width, height] :
         {std::tuple {"hqdefault", 168, 94}, std::tuple {"hqdefault", 196, 110},
          std::tuple {"hqdefault", 246, 138}, std::tuple {"hqdefault", 336, 188}}) {
        const QString picture = u"https://i.example.com/vi/"_s + id + u'/' + QLatin1StringView(name)
            + u".jpg?sqp=-oaymwEbCKgBEF5IVfKriqkDDggBFQAAiEIYAXABwAEG"_s + QString::number(width);
        thumbnails.append(
            QJsonObject {{u"url"_s, picture}, {u"height"_s, height}, {u"width"_s, width}});
    }
    const int duration = 45 + (index * 37) % 3600;
    const QJsonObject entry {
        {u"_type"_s, u"url"_s},
        {u"ie_key"_s, u"Example"_s},
        {u"id"_s, id},
        {u"url"_s, address},
        {u"title"_s, QString(title.join(u' ') + u" n°"_s + QString::number(index))},
        {u"description"_s,
         index % 5 != 0
             ? QJsonValue()
             : QJsonValue(QString(title.join(u' ') + u" — "_s + title.mid(2).join(u' ') + u"…"_s))},
        {u"duration"_s, duration},
        {u"channel_id"_s, u"UCx7Rk2Qm5fTzJ0pWv9LbHsA"_s},
        {u"channel"_s, u"Chaîne de Zoé Lefèvre"_s},
        {u"channel_url"_s, u"https://www.example.com/channel/UCx7Rk2Qm5fTzJ0pWv9LbHsA"_s},
        {u"uploader"_s, u"Chaîne de Zoé Lefèvre"_s},
        {u"uploader_id"_s, u"@zoelefevre"_s},
        {u"uploader_url"_s, u"https://www.example.com/@zoelefevre"_s},
        {u"thumbnails"_s, thumbnails},
        {u"timestamp"_s, QJsonValue()},
        {u"release_timestamp"_s, QJsonValue()},
        {u"availability"_s, QJsonValue()},
        {u"view_count"_s, index * 1237 % 2'000'000},
        {u"live_status"_s, QJsonValue()},
        {u"channel_is_verified"_s, QJsonValue()},
        {u"__x_forwarded_for_ip"_s, QJsonValue()},
        {u"webpage_url"_s, address},
        {u"original_url"_s, address},
        {u"webpage_url_basename"_s, u"watch"_s},
        {u"webpage_url_domain"_s, u"example.com"_s},
        {u"extractor"_s, u"example:tab"_s},
        {u"extractor_key"_s, u"ExampleTab"_s},
        {u"playlist_count"_s, listEntryCount},
        {u"playlist"_s, u"Chaîne de Zoé Lefèvre - Vidéos"_s},
        {u"playlist_id"_s, u"UCx7Rk2Qm5fTzJ0pWv9LbHsA"_s},
        {u"playlist_title"_s, u"Chaîne de Zoé Lefèvre - Vidéos"_s},
        {u"playlist_uploader"_s, u"Chaîne de Zoé Lefèvre"_s},
        {u"playlist_uploader_id"_s, u"@zoelefevre"_s},
        {u"n_entries"_s, listEntryCount},
        {u"playlist_index"_s, index},
        {u"__last_playlist_index"_s, listEntryCount},
        {u"playlist_autonumber"_s, index},
        {u"epoch"_s, 1796570000},
        {u"duration_string"_s,
         u"%1:%2"_s.arg(duration / 60).arg(duration % 60, 2, 10, QChar(u'0'))},
        {u"release_year"_s, QJsonValue()},
        {u"_version"_s,
         QJsonObject {{u"version"_s, u"2026.11.30"_s},
                      {u"current_git_head"_s, QJsonValue()},
                      {u"release_git_head"_s, u"6f3b1a9c0d2e4f5a7b8c9d0e1f2a3b4c5d6e7f80"_s},
                      {u"repository"_s, u"example/downloader"_s}}}};
    return QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
}

const QByteArrayList &flatListing()
{
    static const QByteArrayList lines = [] {
        QByteArrayList made;
        for (int index = 1; index <= listEntryCount; ++index) {
            made << flatListingLine(index);
        }
        return made;
    }();
    return lines;
}

// CLOCK_REALTIME in microseconds: the clock that bash's EPOCHREALTIME reads.
qint64 wallMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1'000;
}

// A figure of /proc/self/status in kB ("VmRSS", "VmHWM").
qint64 statusKilobytes(const char *key)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key) && line.size() > qsizetype(std::strlen(key))
            && line.at(qsizetype(std::strlen(key))) == ':') {
            return line.sliced(qsizetype(std::strlen(key)) + 1)
                .trimmed()
                .split(' ')
                .constFirst()
                .toLongLong();
        }
    }
    return 0;
}

// A PlaylistReader reads a list of 5,000 entries (about 10 MB) from a stand-in downloader
// that prints them at once (`cat`, argument 0) or 100 lines every 50 ms, each 100 in one
// write (`cat`, argument 1) or a line a write (argument 2, as the downloader prints), while
// a 1 ms timer ticks on the main thread; the entries are kept in a list, as a window would.
// Before each write, the stand-in notes in a side file the place of the next entry and the
// time (EPOCHREALTIME); the time each entry is reported is set against the last note before
// it. Figures: the first entry's delay and every entry's (longest, median), the time from
// start() to the first report, the longest gap between two ticks, and the resident memory
// that the reading adds at its peak (VmHWM, reset before) and once done with the entries
// kept (VmRSS).
void readList(benchmark::State &state)
{
    useApplication();
    const bool slowly = state.range(0) != 0;
    const QTemporaryDir folder;
    const QString side = folder.filePath(u"written"_s);
    QByteArray script = "#!/bin/bash\nLC_ALL=C\n";
    if (!slowly) {
        QFile output(folder.filePath(u"list"_s));
        if (!output.open(QIODevice::WriteOnly)) {
            state.SkipWithError("cannot write the stand-in");
            return;
        }
        output.write(flatListing().join());
        script += "echo \"1 $EPOCHREALTIME\" > " + shellQuote(side).toUtf8() + "\nexec cat "
            + shellQuote(output.fileName()).toUtf8() + '\n';
    } else {
        QDir(folder.path()).mkdir(u"pieces"_s);
        for (int first = 1; first <= listEntryCount; first += slowLinesPerWrite) {
            QFile piece(folder.filePath(u"pieces/%1"_s.arg(first, 5, 10, QChar(u'0'))));
            if (!piece.open(QIODevice::WriteOnly)) {
                state.SkipWithError("cannot write the stand-in");
                return;
            }
            piece.write(flatListing().mid(first - 1, slowLinesPerWrite).join());
        }
        // The notes go through a descriptor kept open.
        script += "exec 3>>" + shellQuote(side).toUtf8() + "\nfor piece in "
            + shellQuote(folder.filePath(u"pieces"_s)).toUtf8()
            + "/*; do\n    place=$((10#${piece##*/}))\n"
            + (state.range(0) == 2 ? "    while IFS= read -r line; do\n"
                                     "        echo \"$place $EPOCHREALTIME\" >&3\n"
                                     "        printf '%s\\n' \"$line\"\n"
                                     "        place=$((place + 1))\n"
                                     "    done < \"$piece\"\n"
                                   : "    echo \"$place $EPOCHREALTIME\" >&3\n"
                                     "    cat \"$piece\"\n")
            + "    sleep 0.05\ndone\n";
    }
    QFile tool(folder.filePath(u"youtube-dl"_s));
    if (!tool.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the stand-in");
        return;
    }
    tool.write(script);
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner);

    double longestGap = 0;
    double firstDelay = 0;
    double startToFirst = 0;
    double peakMB = 0;
    double keptMB = 0;
    double batches = 0;
    qsizetype count = 0;
    std::vector<double> delays;
    for ([[maybe_unused]] auto _ : state) {
        QFile::remove(side);
        // What the last round kept is gone before the memory is read.
        malloc_trim(0);
        const qint64 before = statusKilobytes("VmRSS");
        QFile reset(u"/proc/self/clear_refs"_s);
        if (reset.open(QIODevice::WriteOnly)) {
            reset.write("5");
            reset.close();
        }
        QList<PlaylistEntry> kept;
        std::vector<qint64> reported(listEntryCount + 1, 0);
        int reports = 0;
        {
            PlaylistReader reader;
            QEventLoop loop;
            QTimer ticks;
            ticks.setTimerType(Qt::PreciseTimer);
            ticks.setInterval(1);
            QElapsedTimer clock;
            qint64 last = 0;
            double sinceStart = -1;
            const auto tick = [&] {
                longestGap
                    = std::max(longestGap, static_cast<double>(clock.nsecsElapsed() - last) / 1e6);
                last = clock.nsecsElapsed();
            };
            QObject::connect(&ticks, &QTimer::timeout, &loop, tick);
            QObject::connect(&reader, &PlaylistReader::entriesRead, &loop,
                             [&](const QList<PlaylistEntry> &entries) {
                                 const qint64 now = wallMicroseconds();
                                 if (sinceStart < 0) {
                                     sinceStart = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                                 }
                                 ++reports;
                                 for (const PlaylistEntry &entry : entries) {
                                     if (entry.index > 0 && entry.index <= listEntryCount) {
                                         reported[entry.index] = now;
                                     }
                                 }
                                 kept += entries;
                             });
            QObject::connect(&reader, &PlaylistReader::finished, &loop, &QEventLoop::quit);
            QObject::connect(&reader, &PlaylistReader::failed, &loop, &QEventLoop::quit);
            QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
            clock.start();
            ticks.start();
            reader.start(tool.fileName(), u"https://www.example.com/@zoelefevre/videos"_s);
            loop.exec();
            tick();
            startToFirst = std::max(startToFirst, sinceStart);
        }
        const qint64 peak = statusKilobytes("VmHWM");
        const qint64 after = statusKilobytes("VmRSS");
        peakMB = std::max(peakMB, static_cast<double>(peak - before) / 1024);
        keptMB = std::max(keptMB, static_cast<double>(after - before) / 1024);
        count = kept.size();
        batches = std::max(batches, static_cast<double>(reports));
        // The side file: "<first entry's place> <seconds.microseconds>" a line.
        QFile written(side);
        std::vector<std::pair<int, qint64>> writes;
        if (written.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : written.readAll().split('\n')) {
                const QByteArrayList fields = line.split(' ');
                if (fields.size() == 2) {
                    QByteArray seconds = fields.at(1);
                    seconds.replace(',', '.');
                    writes.emplace_back(fields.at(0).toInt(),
                                        static_cast<qint64>(seconds.toDouble() * 1e6));
                }
            }
        }
        std::size_t at = 0;
        for (int index = 1; index <= listEntryCount && !writes.empty(); ++index) {
            while (at + 1 < writes.size() && writes.at(at + 1).first <= index) {
                ++at;
            }
            if (reported.at(index) != 0) {
                const double delay
                    = static_cast<double>(reported.at(index) - writes.at(at).second) / 1e3;
                delays.push_back(delay);
                if (index == 1) {
                    firstDelay = std::max(firstDelay, delay);
                }
            }
        }
        benchmark::DoNotOptimize(kept.constData());
    }
    std::sort(delays.begin(), delays.end());
    state.counters["entries"] = static_cast<double>(count);
    state.counters["batches"] = batches;
    state.counters["line_bytes"]
        = static_cast<double>(flatListing().join().size()) / listEntryCount;
    state.counters["first_delay_ms"] = firstDelay;
    state.counters["start_to_first_ms"] = startToFirst;
    state.counters["delay_median_ms"] = delays.empty() ? -1 : delays.at(delays.size() / 2);
    state.counters["delay_max_ms"] = delays.empty() ? -1 : delays.back();
    state.counters["longest_gap_ms"] = longestGap;
    state.counters["rss_peak_MB"] = peakMB;
    state.counters["rss_kept_MB"] = keptMB;
}
} // namespace

BENCHMARK(parseListing)->Unit(benchmark::kMillisecond);
BENCHMARK(parseDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(listDescription)->Iterations(10)->Unit(benchmark::kMillisecond);
// 4 KiB: a downloader writing line by line; 64 KiB: a full pipe read at once.
BENCHMARK(monitorStretchedLog)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(monitorRecordedLog)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

BENCHMARK(readList)->Arg(0)->Iterations(10)->Unit(benchmark::kMillisecond)->ArgName("slowly");
BENCHMARK(readList)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond)->ArgName("slowly");
BENCHMARK(readList)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond)->ArgName("slowly");

BENCHMARK_MAIN();
