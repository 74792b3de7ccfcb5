// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
//
// What Quorvel costs on top of the downloader. A large DASH presentation is served from
// 127.0.0.1 and downloaded (codes 137 and 140) with the command line Quorvel composes:
//   (a) through DownloadRunner and its monitor, as the window runs it;
//   (b) by "/bin/bash -c" directly, its output thrown away.
// Printed: wall times and their ratio, Quorvel's CPU time as a share of the downloader's,
// and the longest gap between ticks of a 10 ms timer during a format query and during (a).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "ServedFolder.h"
#include "catalogue/FormatQuery.h"
#include "download/DownloadCommand.h"
#include "download/DownloadRunner.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 megabyte = 1'000'000;
constexpr qint64 minimumPresentationBytes = 200 * megabyte;
constexpr int tickMilliseconds = 10;

// 720p at a constant 16 Mbit/s for two minutes: about 240 MB in 2 s segments, made by the
// tests' make-dash.sh (seconds, size, kbit/s, title).
const QStringList presentation {u"120"_s, u"1280x720"_s, u"16000"_s, u"large"_s};

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &message)
{
    std::fputs(qPrintable(u"bench_overhead: "_s + message + u'\n'), stderr);
    std::exit(EXIT_FAILURE);
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        bytes += it.nextFileInfo().size();
    }
    return bytes;
}

// Made once into the cache, and served from there afterwards: making it again takes a minute
// of encoding, and a run then starts with the page cache cold. A presentation of other
// settings is made anew.
std::unique_ptr<ServedFolder> servePresentation(const QString &cacheFolder)
{
    const QString stampPath = QDir(cacheFolder).filePath(u"presentation.stamp"_s);
    const QByteArray stamp = presentation.join(u' ').toUtf8();
    QFile stampFile(stampPath);
    if (!stampFile.open(QIODevice::ReadOnly) || stampFile.readAll() != stamp) {
        say(u"Making the presentation in %1 (once; about a minute)..."_s.arg(cacheFolder));
        QDir(cacheFolder).removeRecursively();
        QDir().mkpath(cacheFolder);
    }
    stampFile.close();
    auto server = std::make_unique<ServedFolder>(u"make-dash.sh"_s, presentation, cacheFolder);
    if (!server->isValid()) {
        fail(u"the presentation could not be made or served"_s);
    }
    if (stampFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        stampFile.write(stamp);
    }
    return server;
}

// The longest time between two ticks of a 10 ms timer on the main thread: how long the
// event loop was kept from anything else, a window's repaint for one.
class GapMeter final : public QObject
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(tickMilliseconds);
        connect(&m_timer, &QTimer::timeout, this, &GapMeter::tick);
    }

    void start()
    {
        m_longestNanoseconds = 0;
        m_clock.start();
        m_lastTick = 0;
        m_timer.start();
    }

    /// The longest gap since start(), in milliseconds.
    double stop()
    {
        tick();
        m_timer.stop();
        return static_cast<double>(m_longestNanoseconds) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longestNanoseconds = std::max(m_longestNanoseconds, now - m_lastTick);
        m_lastTick = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_longestNanoseconds = 0;
};

double cpuSeconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measure
{
    double wallSeconds = 0.0;
    double ownCpuSeconds = 0.0;
    double childCpuSeconds = 0.0;
    double longestGapMilliseconds = 0.0;
    qsizetype progressUpdates = 0;
    qint64 bytes = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The downloader writes into an empty folder each time, as into a new one.
void emptyFolder(const QString &folder)
{
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        dir.remove(name);
    }
}

// With a meter, the timer's ticks add their own small cost to the process: the runs that
// measure CPU time go without one.
Measure runThroughQuorvel(DownloadRunner &runner, GapMeter *meter, const DownloadRequest &request,
                          const QString &folder)
{
    emptyFolder(folder);
    Measure measure;
    QEventLoop loop;
    QString failure;
    const auto connections = {
        QObject::connect(&runner, &DownloadRunner::progressChanged, &loop,
                         [&measure] { ++measure.progressUpdates; }),
        QObject::connect(&runner, &DownloadRunner::finished, &loop, &QEventLoop::quit),
        QObject::connect(&runner, &DownloadRunner::failed, &loop,
                         [&](const QString &message) {
                             failure = message;
                             loop.quit();
                         }),
    };

    const double ownBefore = cpuSeconds(RUSAGE_SELF);
    const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    if (meter) {
        meter->start();
    }
    runner.start(request);
    loop.exec();
    if (meter) {
        measure.longestGapMilliseconds = meter->stop();
    }
    measure.wallSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    measure.ownCpuSeconds = cpuSeconds(RUSAGE_SELF) - ownBefore;
    measure.childCpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - childBefore;

    for (const auto &connection : connections) {
        QObject::disconnect(connection);
    }
    if (!failure.isEmpty()) {
        fail(failure);
    }
    measure.bytes = folderBytes(folder);
    return measure;
}

// With a meter, the event loop runs (and only the timer's ticks wake it) until the shell
// ends: the longest gap then shows what the machine alone makes the main thread wait.
Measure runDirectly(const QString &commandLine, const QString &folder, GapMeter *meter)
{
    emptyFolder(folder);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, descriptor, "/dev/null",
                                         descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    const QByteArray command = commandLine.toUtf8();
    const QByteArray shell = shellProgram().toUtf8();
    char shellName[] = "bash";
    char option[] = "-c";
    char *arguments[] = {shellName, option, const_cast<char *>(command.constData()), nullptr};

    Measure measure;
    const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    if (meter) {
        meter->start();
    }
    pid_t pid = 0;
    const int error = posix_spawn(&pid, shell.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        fail(u"cannot start the shell"_s);
    }
    if (meter) {
        // A process descriptor becomes readable when the process ends (reaped or not).
        // Through syscall(): Debian 12's header declares pidfd_open without C linkage.
        const auto processDescriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (processDescriptor < 0) {
            fail(u"pidfd_open failed"_s);
        }
        QSocketNotifier notifier(processDescriptor, QSocketNotifier::Read);
        QEventLoop loop;
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        loop.exec();
        measure.longestGapMilliseconds = meter->stop();
        ::close(processDescriptor);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    measure.wallSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    measure.childCpuSeconds = cpuSeconds(RUSAGE_CHILDREN) - childBefore;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fail(u"the direct download failed"_s);
    }
    measure.bytes = folderBytes(folder);
    return measure;
}

// A memory file system takes the disk's write-back out of the figures, which otherwise
// vary by more than the overhead measured; the build folder when there is none with room.
QString downloadParent(const QString &cacheFolder, qint64 presentationBytes)
{
    const QString memory = u"/dev/shm"_s;
    const QStorageInfo storage(memory);
    if (storage.isValid() && storage.isReady() && !storage.isReadOnly()
        && storage.bytesAvailable() > 2 * presentationBytes) {
        return memory;
    }
    return QDir::cleanPath(cacheFolder + u"/.."_s);
}

double queryGap(GapMeter &meter, const QString &downloader, const QString &address)
{
    FormatQuery query;
    QEventLoop loop;
    qsizetype formats = 0;
    QObject::connect(&query, &FormatQuery::formatsListed, &loop,
                     [&](const QList<formatYoutube> &listed) {
                         formats = listed.size();
                         loop.quit();
                     });
    QObject::connect(&query, &FormatQuery::failed, &loop,
                     [](const QString &message) { fail(message); });
    meter.start();
    query.start(downloader, address);
    loop.exec();
    const double gap = meter.stop();
    if (formats != 2) {
        fail(u"the query listed %1 formats instead of 2"_s.arg(formats));
    }
    return gap;
}

QString milliseconds(double value)
{
    return QString::number(value, 'f', 1) + u" ms"_s;
}

QString seconds(double value)
{
    return QString::number(value, 'f', 2) + u" s"_s;
}
} // namespace

int main(int argc, char *argv[])
{
    // The downloader reads no configuration of the user's and writes no cache there.
    const QByteArray home(QUORVEL_BENCH_HOME);
    QDir().mkpath(QString::fromUtf8(home));
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_CACHE_HOME", home + "/.cache");

    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Quorvel's overhead over a direct download."_s);
    parser.addHelpOption();
    const QCommandLineOption runsOption(u"runs"_s, u"Measured runs of each kind (9)."_s, u"count"_s,
                                        u"9"_s);
    const QCommandLineOption cacheOption(u"cache"_s, u"Folder of the presentation."_s, u"folder"_s,
                                         QStringLiteral(QUORVEL_BENCH_CACHE_DIR));
    parser.addOptions({runsOption, cacheOption});
    parser.process(application);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const QString cacheFolder = parser.value(cacheOption);

    const auto downloader = resourcePath(QString::fromUtf16(downloaderToolName),
                                         QStringLiteral(QUORVEL_BENCH_TOOL_DIR));
    if (!downloader) {
        fail(u"no downloader in "_s + QStringLiteral(QUORVEL_BENCH_TOOL_DIR));
    }
    const auto server = servePresentation(cacheFolder);
    const qint64 presentationBytes = folderBytes(cacheFolder);
    if (presentationBytes < minimumPresentationBytes) {
        fail(u"the presentation is only %1 bytes"_s.arg(presentationBytes));
    }
    const QString address = server->url(u"large.mpd"_s).toString();
    QTemporaryDir folder(downloadParent(cacheFolder, presentationBytes)
                         + u"/quorvel-bench-XXXXXX"_s);
    if (!folder.isValid()) {
        fail(u"no download folder"_s);
    }

    DownloadRequest request;
    request.youtubeDLPath = *downloader;
    request.folder = folder.path();
    request.address = address;
    request.formatIDs = {u"137"_s, u"140"_s};
    const QString commandLine = composeDownloadCommand(request);

    say(u"Presentation: %1 MB served at %2"_s.arg(
        QString::number(static_cast<double>(presentationBytes) / megabyte, 'f', 1), address));
    say(u"Command line: "_s + commandLine);

    GapMeter meter;
    std::vector<double> queryGaps;
    for (int run = 0; run < runs; ++run) {
        queryGaps.push_back(queryGap(meter, *downloader, address));
    }
    say(u"Format query, longest timer gap per run:"_s);
    for (const double gap : queryGaps) {
        say(u"  "_s + milliseconds(gap));
    }

    // One run unmeasured: it fills the page cache and the downloader's own caches.
    say(u"Warm-up download (not measured)..."_s);
    runDirectly(commandLine, folder.path(), nullptr);

    DownloadRunner runner;
    std::vector<Measure> quorvel;
    std::vector<Measure> direct;
    std::vector<double> ratios;
    // The two kinds run in pairs, in alternating order: a pair shares the machine's load of
    // the moment, and neither kind always runs right after the other.
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            quorvel.push_back(runThroughQuorvel(runner, nullptr, request, folder.path()));
            direct.push_back(runDirectly(commandLine, folder.path(), nullptr));
        } else {
            direct.push_back(runDirectly(commandLine, folder.path(), nullptr));
            quorvel.push_back(runThroughQuorvel(runner, nullptr, request, folder.path()));
        }
        const Measure &a = quorvel.back();
        const Measure &b = direct.back();
        ratios.push_back(a.wallSeconds / b.wallSeconds);
        say(u"Run %1: Quorvel %2 (own CPU %3, downloader CPU %4, %5 progress updates), "
            u"direct %6 (downloader CPU %7), ratio %8, %9 MB each"_s.arg(
                QString::number(run + 1), seconds(a.wallSeconds), seconds(a.ownCpuSeconds),
                seconds(a.childCpuSeconds), QString::number(a.progressUpdates),
                seconds(b.wallSeconds), seconds(b.childCpuSeconds),
                QString::number(ratios.back(), 'f', 3),
                QString::number(static_cast<double>(b.bytes) / megabyte, 'f', 1)));
        if (a.bytes != b.bytes) {
            fail(u"the two downloads wrote %1 and %2 bytes"_s.arg(a.bytes).arg(b.bytes));
        }
    }

    // The timer runs in downloads of their own, whose times are not counted above. The
    // same timer during a direct download, with nothing else on the main thread, is the
    // baseline: what remains above it is Quorvel's.
    std::vector<double> downloadGaps;
    std::vector<double> baselineGaps;
    for (int run = 0; run < runs; ++run) {
        Measure a;
        Measure b;
        if (run % 2 == 0) {
            a = runThroughQuorvel(runner, &meter, request, folder.path());
            b = runDirectly(commandLine, folder.path(), &meter);
        } else {
            b = runDirectly(commandLine, folder.path(), &meter);
            a = runThroughQuorvel(runner, &meter, request, folder.path());
        }
        downloadGaps.push_back(a.longestGapMilliseconds);
        baselineGaps.push_back(b.longestGapMilliseconds);
        say(u"Run %1 with the timer: longest gap through Quorvel %2, idle during a direct "
            u"download %3"_s.arg(QString::number(run + 1), milliseconds(a.longestGapMilliseconds),
                                 milliseconds(b.longestGapMilliseconds)));
    }

    const auto collect = [](const std::vector<Measure> &measures, auto field) {
        std::vector<double> values;
        for (const Measure &measure : measures) {
            values.push_back(field(measure));
        }
        return values;
    };
    const double quorvelWall
        = median(collect(quorvel, [](const Measure &m) { return m.wallSeconds; }));
    const double directWall
        = median(collect(direct, [](const Measure &m) { return m.wallSeconds; }));
    const double ownCpu
        = median(collect(quorvel, [](const Measure &m) { return m.ownCpuSeconds; }));
    const double cpuShare = median(collect(quorvel, [](const Measure &m) {
        return m.childCpuSeconds > 0 ? 100.0 * m.ownCpuSeconds / m.childCpuSeconds : 0.0;
    }));
    const auto worst = [](const std::vector<double> &values) {
        return *std::max_element(values.cbegin(), values.cend());
    };

    say(u"\nMedians of %1 runs each:"_s.arg(runs));
    // The downloader's own CPU time varies from run to run by more than the aim; the
    // median of the pairs is the figure, the rest shows how far to trust it.
    const auto [lowest, highest] = std::minmax_element(ratios.cbegin(), ratios.cend());
    say(u"  wall time: Quorvel %1, direct %2; ratio %3 (median of the pairs; aim <= 1.02), "
        u"pairs from %4 to %5, ratio of the medians %6"_s.arg(
            seconds(quorvelWall), seconds(directWall), QString::number(median(ratios), 'f', 3),
            QString::number(*lowest, 'f', 3), QString::number(*highest, 'f', 3),
            QString::number(quorvelWall / directWall, 'f', 3)));
    // The downloader keeps a core busy: the rest of the wall time is waiting (network,
    // disk, a reader that lags behind). Equal here means Quorvel makes it wait no longer.
    const auto waiting = [](const Measure &m) { return m.wallSeconds - m.childCpuSeconds; };
    say(u"  wall time beyond the downloader's CPU time: Quorvel %1, direct %2"_s.arg(
        seconds(median(collect(quorvel, waiting))), seconds(median(collect(direct, waiting)))));
    say(u"  Quorvel's CPU: %1 ms, %2 % of the downloader's (aim <= 2 %)"_s.arg(
        QString::number(ownCpu * 1000.0, 'f', 0), QString::number(cpuShare, 'f', 2)));
    say(u"  longest timer gap (aim < 50 ms): format query %1 (worst %2); download %3 "
        u"(worst %4); idle loop during a direct download %5 (worst %6)"_s.arg(
            milliseconds(median(queryGaps)), milliseconds(worst(queryGaps)),
            milliseconds(median(downloadGaps)), milliseconds(worst(downloadGaps)),
            milliseconds(median(baselineGaps)), milliseconds(worst(baselineGaps))));
    return EXIT_SUCCESS;
}
