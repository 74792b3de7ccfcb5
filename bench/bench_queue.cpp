// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
//
// The queue through the real main window, on whatever platform the environment names
// (bench/queue_on_xvfb.sh runs it on Xvfb with the xcb platform): the start with a queue of
// 1,000 jobs against an empty one, scrolling that queue, the wake-ups of an idle window, the
// memory once the queue was scrolled through, and Quorvel's own CPU while three downloads run
// at about 4 MB/s each with the real downloader; and a whole list of 5,000 videos read through
// the window from a stand-in downloader, at once or slowly.
//
// Without arguments the program is the driver: it makes a work folder (pictures, the two
// queue databases, a home), then starts itself with "--child <what>" for each measure, so
// that each start and each CPU count is a process of its own. The children never see the
// user's home, settings or queue: HOME and the XDG folders point into the work folder.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <QAbstractEventDispatcher>
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "TestSupport.h"
#include "app/ViewController.h"
#include "download/DownloadJob.h"
#include "download/JobStore.h"
#include "download/QueueModel.h"
#include "download/Session.h"
#include "settings/Settings.h"
#include "tools/ToolSet.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace {
constexpr char spawnTimeVariable[] = "QUORVEL_BENCH_SPAWN_NS";
constexpr char resultFileVariable[] = "QUORVEL_BENCH_RESULT";
constexpr int jobCount = 1000;
// Larger than the first start's window, as a user with a long queue makes it: the queue then
// shows a dozen rows or more.
constexpr QSize windowSize {1600, 1000};

constexpr int listEntryCount = 5000;

qint64 realtimeMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

qint64 monotonicNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double cpuMilliseconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6
            + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec))
        / 1e3;
}

// A field ("VmRSS:", "voluntary_ctxt_switches:") of a /proc status file, as a number.
qint64 statusField(const QString &file, const QByteArray &name)
{
    QFile status(file);
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(name)) {
            return line.mid(name.size()).trimmed().split(' ').constFirst().toLongLong();
        }
    }
    return -1;
}

QString mainThreadStatus()
{
    return u"/proc/self/task/%1/status"_s.arg(static_cast<qint64>(::syscall(SYS_gettid)));
}

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QString number(double value, int decimals = 1)
{
    return QString::number(value, 'f', decimals);
}

// The child's figures: one line of "name value" pairs in the file the driver names.
void writeResult(const std::map<QString, double> &figures)
{
    QFile result(qEnvironmentVariable(resultFileVariable));
    if (!result.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return;
    }
    for (const auto &[name, value] : figures) {
        result.write(name.toUtf8() + ' ' + QByteArray::number(value, 'g', 10) + '\n');
    }
}

// The window of a child: the application's own set-up (tool folder, settings store, queue
// database), the settings in the work folder.
struct Window
{
    Window(const QString &work, const QString &database,
           const QString &toolFolder = QStringLiteral(QUORVEL_BENCH_TOOL_DIR))
        : store(work + u"/settings.ini"_s, QSettings::IniFormat)
        , jobs(database)
    {
        tools.setVersionCache(&store);
        tools.lookUp(toolFolder, work + u"/managed"_s);
    }
    QSettings store;
    ToolSet tools;
    JobStore jobs;
};

// Calls `then` once the window's first paint is done and the event loop has come round once
// more: the frame is then drawn and handed to the platform.
class FirstPaintWatcher final : public QObject
{
public:
    FirstPaintWatcher(QWidget *window, std::function<void()> then)
        : QObject(window)
        , m_then(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, m_then);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_then;
    bool m_painted = false;
};

// --child start <work> <database>: the time to the window's first paint.
int measureStart(const QString &work, const QString &database, qint64 mainEntry)
{
    Window parts(work, database);
    ViewController window(parts.store, parts.tools, &parts.jobs);
    new FirstPaintWatcher(&window, [&window, mainEntry] {
        const qint64 shown = monotonicNanoseconds();
        const double spawned = qEnvironmentVariable(spawnTimeVariable).toDouble();
        auto *table = window.findChild<QTableView *>(u"queueView"_s);
        writeResult({{u"fromSpawn"_s, (static_cast<double>(shown) - spawned) / 1e6},
                     {u"fromMain"_s, static_cast<double>(shown - mainEntry) / 1e6},
                     {u"rows"_s, table ? table->model()->rowCount() : -1}});
        QCoreApplication::quit();
    });
    window.resize(windowSize);
    window.show();
    return QApplication::exec();
}

// Counts the timer events by the class of their receiver: what wakes an idle window.
class TimerCounter final : public QObject
{
public:
    using QObject::QObject;
    std::map<QString, int> counts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer) {
            const QObject *owner = watched;
            QString name = QString::fromLatin1(owner->metaObject()->className());
            if (!owner->objectName().isEmpty()) {
                name += u" \""_s + owner->objectName() + u'"';
            }
            if (owner->parent()) {
                name += u" in "_s + QString::fromLatin1(owner->parent()->metaObject()->className());
            }
            ++counts[name];
        }
        return QObject::eventFilter(watched, event);
    }
};

// Scrolls the table from top to bottom, one step of `rows` rows every 20 ms, while a 1 ms
// timer ticks; each step's repaint is also timed on its own.
struct ScrollFigures
{
    double longestGapMilliseconds = 0;
    double longestRepaintMilliseconds = 0;
    double medianRepaintMilliseconds = 0;
    int steps = 0;
};

ScrollFigures scroll(QTableView *table, int rows)
{
    QScrollBar *bar = table->verticalScrollBar();
    bar->setValue(0);
    QCoreApplication::processEvents();
    ScrollFigures figures;
    std::vector<double> repaints;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        figures.longestGapMilliseconds = std::max(
            figures.longestGapMilliseconds, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
    });
    QTimer stepper;
    stepper.setInterval(20);
    QEventLoop loop;
    QObject::connect(&stepper, &QTimer::timeout, &stepper, [&] {
        if (bar->value() >= bar->maximum()) {
            loop.quit();
            return;
        }
        // In rows: the table scrolls per item.
        bar->setValue(bar->value() + rows);
        QElapsedTimer repaint;
        repaint.start();
        table->viewport()->repaint();
        repaints.push_back(static_cast<double>(repaint.nsecsElapsed()) / 1e6);
    });
    sinceTick.start();
    ticker.start();
    stepper.start();
    loop.exec();
    std::sort(repaints.begin(), repaints.end());
    figures.steps = static_cast<int>(repaints.size());
    if (!repaints.empty()) {
        figures.longestRepaintMilliseconds = repaints.back();
        figures.medianRepaintMilliseconds = repaints[repaints.size() / 2];
    }
    return figures;
}

void waitFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// --child window <work> <database> <idle seconds>: scrolling, memory, then the idle window.
int measureWindow(const QString &work, const QString &database, int idleSeconds)
{
    Window parts(work, database);
    ViewController window(parts.store, parts.tools, &parts.jobs);
    bool shown = false;
    new FirstPaintWatcher(&window, [&shown] { shown = true; });
    window.resize(windowSize);
    window.show();
    while (!shown) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    waitFor(1000);
    auto *table = window.findChild<QTableView *>(u"queueView"_s);
    std::map<QString, double> figures;
    figures[u"visibleRows"_s] = table->viewport()->height() / table->rowHeight(0);
    // As a wheel would (three rows a notch), then page by page, the pictures cached by then.
    const ScrollFigures wheel = scroll(table, 3);
    figures[u"wheelGap"_s] = wheel.longestGapMilliseconds;
    figures[u"wheelRepaintLongest"_s] = wheel.longestRepaintMilliseconds;
    figures[u"wheelRepaintMedian"_s] = wheel.medianRepaintMilliseconds;
    figures[u"wheelSteps"_s] = wheel.steps;
    const ScrollFigures page = scroll(table, table->verticalScrollBar()->pageStep());
    figures[u"pageGap"_s] = page.longestGapMilliseconds;
    figures[u"pageRepaintLongest"_s] = page.longestRepaintMilliseconds;
    figures[u"pageRepaintMedian"_s] = page.medianRepaintMilliseconds;
    figures[u"pageSteps"_s] = page.steps;
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    figures[u"peakKiB"_s] = static_cast<double>(usage.ru_maxrss);
    figures[u"residentKiB"_s] = static_cast<double>(statusField(u"/proc/self/status"_s, "VmRSS:"));
    waitFor(1000);

    // Idle: nothing runs, the queue of ended jobs is shown; every wake-up of the main thread.
    int awakenings = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     &window, [&awakenings] { ++awakenings; });
    TimerCounter timers;
    QCoreApplication::instance()->installEventFilter(&timers);
    const qint64 switchesBefore = statusField(mainThreadStatus(), "voluntary_ctxt_switches:");
    const double cpuBefore = cpuMilliseconds(RUSAGE_SELF);
    waitFor(idleSeconds * 1000);
    figures[u"idleSwitches"_s] = static_cast<double>(
        statusField(mainThreadStatus(), "voluntary_ctxt_switches:") - switchesBefore);
    // The timer that ends the wait woke it once.
    figures[u"idleAwake"_s] = awakenings;
    figures[u"idleCpu"_s] = cpuMilliseconds(RUSAGE_SELF) - cpuBefore;
    figures[u"idleSeconds"_s] = idleSeconds;
    QCoreApplication::instance()->removeEventFilter(&timers);
    for (const auto &[name, count] : timers.counts) {
        std::fprintf(stderr, "bench_queue: idle timer events: %d for %s\n", count,
                     qPrintable(name));
    }
    writeResult(figures);
    return EXIT_SUCCESS;
}

// --child downloads <work> <database> <address>...: the addresses downloaded at once through
// the window; Quorvel's own CPU over the part where all of them run.
int measureDownloads(const QString &work, const QString &database, const QStringList &addresses)
{
    Window parts(work, database);
    Settings(parts.store).setSimultaneousDownloads(static_cast<int>(addresses.size()));
    ViewController window(parts.store, parts.tools, &parts.jobs);
    const QString target = work + u"/downloads"_s;
    QDir(target).removeRecursively();
    QDir().mkpath(target);
    window.setFolderChooser([target](QWidget *, const QString &) { return target; });
    window.resize(windowSize);
    window.show();
    parts.tools.askDownloaderVersion();
    waitFor(1000);
    window.findChild<Session *>()->setQualityChoice(QualityChoice::Best);
    auto *button = window.findChild<QPushButton *>(u"downloadButton"_s);
    for (const QString &address : addresses) {
        window.setAddress(address);
        button->click();
    }
    // The new jobs come last: the table shows them, as a user who follows them would.
    window.findChild<QTableView *>(u"queueView"_s)->scrollToBottom();
    auto *model = window.findChild<QueueModel *>();
    // The new jobs only: the queue's paused ones stay paused.
    const auto mine = [model, &addresses] {
        QList<DownloadJob> jobs;
        for (const DownloadJob &job : model->jobs()) {
            if (addresses.contains(job.request.address)) {
                jobs << job;
            }
        }
        return jobs;
    };
    const auto running = [&mine] {
        const QList<DownloadJob> jobs = mine();
        return static_cast<int>(std::count_if(jobs.cbegin(), jobs.cend(), [](const auto &job) {
            return job.state == JobState::Running;
        }));
    };
    const auto ended = [&mine, &addresses] {
        const QList<DownloadJob> jobs = mine();
        return jobs.size() == addresses.size()
            && std::all_of(jobs.cbegin(), jobs.cend(),
                           [](const DownloadJob &job) { return job.hasEnded(); });
    };
    // One sample a second: the time, Quorvel's CPU, the wake-ups and how many jobs run.
    struct Sample
    {
        double seconds;
        double cpu;
        int awake;
        int running;
    };
    std::vector<Sample> samples;
    int awakenings = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                     &window, [&awakenings] { ++awakenings; });
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, &sampler, [&] {
        samples.push_back({static_cast<double>(clock.nsecsElapsed()) / 1e9,
                           cpuMilliseconds(RUSAGE_SELF), awakenings, running()});
        if (ended() || clock.elapsed() > 600'000) {
            loop.quit();
        }
    });
    sampler.start();
    loop.exec();

    // The steady part: from 3 s after all of them run to the last second before one ends.
    std::vector<Sample> steady;
    int since = -1;
    for (size_t index = 0; index < samples.size(); ++index) {
        if (samples[index].running < addresses.size()) {
            if (since >= 0) {
                break;
            }
            continue;
        }
        since = since < 0 ? static_cast<int>(index) : since;
        if (static_cast<int>(index) >= since + 3) {
            steady.push_back(samples[index]);
        }
    }
    if (!steady.empty()) {
        steady.pop_back();
    }
    std::map<QString, double> figures;
    if (steady.size() >= 2) {
        const double seconds = steady.back().seconds - steady.front().seconds;
        figures[u"steadySeconds"_s] = seconds;
        figures[u"cpuPerSecond"_s] = (steady.back().cpu - steady.front().cpu) / seconds;
        figures[u"awakePerSecond"_s] = (steady.back().awake - steady.front().awake) / seconds;
    }
    figures[u"totalSeconds"_s] = samples.empty() ? 0 : samples.back().seconds;
    figures[u"totalCpu"_s] = cpuMilliseconds(RUSAGE_SELF);
    figures[u"downloaderCpu"_s] = cpuMilliseconds(RUSAGE_CHILDREN);
    // Whole files only: each the size of what was served.
    int whole = 0;
    const QFileInfoList files = QDir(target).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        whole += file.size() == qEnvironmentVariable("QUORVEL_BENCH_PAYLOAD_SIZE").toLongLong();
    }
    figures[u"wholeFiles"_s] = whole;
    int finished = 0;
    const QList<DownloadJob> jobs = mine();
    for (const DownloadJob &job : jobs) {
        finished += job.state == JobState::Finished ? 1 : 0;
    }
    figures[u"finished"_s] = finished;
    writeResult(figures);
    return EXIT_SUCCESS;
}

// The stand-in downloader of a list's measure: its version, a listing that describes a list
// of 5,000 videos, and the flat reading of that list from `entries`, at once ("all") or 100
// lines every 50 ms ("slow"); the realtime clock before the first line and after the last one
// goes to `written`. Bash takes some 40 ms to slice its array of 5,000 lines: the first 100
// are sliced before the note.
QByteArray listDownloader(const QString &entries, const QString &written, const QString &mode)
{
    const QByteArray chunk = mode == u"slow"_s ? "100" : "0";
    return "#!/bin/bash\n"
           "entries='"
        + entries.toUtf8() + "'\nwritten='" + written.toUtf8() + "'\nchunk=" + chunk
        + "\n"
          "for argument in \"$@\"; do\n"
          "  case \"$argument\" in\n"
          "    --version) echo 2099.01.01; exit 0 ;;\n"
          "    --flat-playlist)\n"
          "      if [[ $chunk == 0 ]]; then\n"
          "        echo \"$EPOCHREALTIME\" > \"$written\"\n"
          "        cat \"$entries\"\n"
          "        echo \"$EPOCHREALTIME\" >> \"$written\"\n"
          "      else\n"
          "        mapfile -t lines < \"$entries\"\n"
          "        for ((at = 0; at < ${#lines[@]}; at += chunk)); do\n"
          "          part=(\"${lines[@]:at:chunk}\")\n"
          "          ((at == 0)) && echo \"$EPOCHREALTIME\" > \"$written\"\n"
          "          printf '%s\\n' \"${part[@]}\"\n"
          "          ((at + chunk < ${#lines[@]})) && sleep 0.05\n"
          "        done\n"
          "        echo \"$EPOCHREALTIME\" >> \"$written\"\n"
          "      fi\n"
          "      exit 0 ;;\n"
          "    -F)\n"
          "      echo 'ID  EXT  RESOLUTION  NOTE'\n"
          "      echo '{\"_type\": \"playlist\", \"id\": \"liste\", \"title\": \"Liste\", "
          "\"playlist_count\": "
        + QByteArray::number(listEntryCount)
        + ", \"entries\": []}'\n"
          "      exit 0 ;;\n"
          "  esac\n"
          "done\n"
          "exit 2\n";
}

// --child list <work> <database> <mode>: the whole list read through the window, its
// stand-in downloader writing the entries at once or slowly (see listDownloader).
int measureList(const QString &work, const QString &database, const QString &mode)
{
    const QString tools = work + u"/list-tools-"_s + mode;
    const QString written = work + u"/list-written"_s;
    QDir().mkpath(tools);
    QFile::remove(written);
    const QString downloader = tools + u"/youtube-dl"_s;
    if (!TestSupport::writeFile(downloader,
                                listDownloader(work + u"/list-entries.jsonl"_s, written, mode))
        || !QFile::setPermissions(downloader,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return EXIT_FAILURE;
    }
    QFile::remove(tools + u"/ffmpeg"_s);
    QFile::link(QStringLiteral(QUORVEL_BENCH_TOOL_DIR) + u"/ffmpeg"_s, tools + u"/ffmpeg"_s);
    Window parts(work, database, tools);
    ViewController window(parts.store, parts.tools, &parts.jobs);
    bool shown = false;
    new FirstPaintWatcher(&window, [&shown] { shown = true; });
    window.resize(windowSize);
    window.show();
    while (!shown) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    parts.tools.askDownloaderVersion();
    waitFor(500);
    window.setAddress(u"http://127.0.0.1/liste?id=bench"_s);
    auto *listing = window.findChild<QPushButton *>(u"getFormatButton"_s);
    auto *whole = window.findChild<QPushButton *>(u"wholeListButton"_s);
    auto *table = window.findChild<QTableView *>(u"playlistView"_s);
    if (!listing || !whole || !table) {
        std::fprintf(stderr, "bench_queue: the list's widgets were not found\n");
        return EXIT_FAILURE;
    }
    listing->click();
    QElapsedTimer waited;
    waited.start();
    while (!(whole->isVisibleTo(&window) && whole->isEnabled() && listing->isEnabled())) {
        if (waited.elapsed() > 60'000) {
            std::fprintf(stderr, "bench_queue: the whole list was never offered\n");
            return EXIT_FAILURE;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    waitFor(500);
    QAbstractItemModel *model = table->model();

    std::map<QString, double> figures;
    const qint64 residentBefore = statusField(u"/proc/self/status"_s, "VmRSS:");
    const qint64 peakBefore = statusField(u"/proc/self/status"_s, "VmHWM:");
    qint64 firstRow = 0;
    qint64 allRows = 0;
    double longestGap = 0;
    int ticks = 0;
    QEventLoop loop;
    const auto look = [&] {
        const int rows = model->rowCount();
        if (rows > 0 && firstRow == 0) {
            firstRow = realtimeMicroseconds();
        }
        if (rows >= listEntryCount && allRows == 0) {
            allRows = realtimeMicroseconds();
            loop.quit();
        }
    };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &loop, look);
    QObject::connect(model, &QAbstractItemModel::modelReset, &loop, look);
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longestGap = std::max(longestGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
        ++ticks;
        look();
        if (waited.elapsed() > 180'000) {
            loop.quit();
        }
    });
    sinceTick.start();
    ticker.start();
    waited.start();
    const qint64 clicked = realtimeMicroseconds();
    whole->click();
    loop.exec();
    ticker.stop();
    const qint64 residentAfter = statusField(u"/proc/self/status"_s, "VmRSS:");
    const qint64 peakAfter = statusField(u"/proc/self/status"_s, "VmHWM:");

    // The stand-in notes the end of its writing after its last line: that note, once there.
    QFile side(written);
    for (int wait = 0; wait < 100 && side.size() < 30; ++wait) {
        waitFor(10);
    }
    const QList<QByteArray> writes = side.open(QIODevice::ReadOnly)
        ? side.readAll().trimmed().split('\n')
        : QList<QByteArray>();
    const double firstWrite = writes.value(0).toDouble() * 1e6;
    const double lastWrite = writes.value(1).toDouble() * 1e6;
    figures[u"rows"_s] = model->rowCount();
    figures[u"ticks"_s] = ticks;
    figures[u"longestGap"_s] = longestGap;
    figures[u"clickToWrite"_s] = (firstWrite - static_cast<double>(clicked)) / 1e3;
    figures[u"toFirstRow"_s]
        = firstRow > 0 ? (static_cast<double>(firstRow) - firstWrite) / 1e3 : -1;
    figures[u"toAllRows"_s] = allRows > 0 ? (static_cast<double>(allRows) - firstWrite) / 1e3 : -1;
    figures[u"writing"_s] = (lastWrite - firstWrite) / 1e3;
    figures[u"lastWriteToAllRows"_s]
        = allRows > 0 ? (static_cast<double>(allRows) - lastWrite) / 1e3 : -1;
    figures[u"residentAddedKiB"_s] = static_cast<double>(residentAfter - residentBefore);
    figures[u"peakAddedKiB"_s] = static_cast<double>(peakAfter - peakBefore);
    figures[u"residentAfterKiB"_s] = static_cast<double>(residentAfter);
    writeResult(figures);
    return EXIT_SUCCESS;
}

// The description of one video offering `count` subtitle languages, half of them automatic,
// for the stand-in's listing; `ticked`: the codes of every other one, remembered as ticked.
QByteArray subtitledDescription(int count, QStringList &ticked)
{
    QJsonObject regular;
    QJsonObject automatic;
    for (int language = QLocale::Abkhazian, made = 0;
         language <= QLocale::LastLanguage && made < count; ++language) {
        const QString code = QLocale::languageToCode(static_cast<QLocale::Language>(language));
        if (code.isEmpty() || regular.contains(code) || automatic.contains(code)) {
            continue;
        }
        (made % 2 == 0 ? regular : automatic)[code]
            = QJsonArray {QJsonObject {{u"ext"_s, u"vtt"_s}, {u"url"_s, u"http://127.0.0.1/s"_s}}};
        if (made % 2 == 0) {
            ticked << code;
        }
        ++made;
    }
    const QJsonObject video {{u"id"_s, u"video"_s},
                             {u"title"_s, u"Une vidéo sous-titrée"_s},
                             {u"duration"_s, 247},
                             {u"subtitles"_s, regular},
                             {u"automatic_captions"_s, automatic}};
    return QJsonDocument(video).toJson(QJsonDocument::Compact);
}

// --child subtitles <work> <database> <count>: a listing through the window whose video offers
// `count` subtitle languages (0: none), from the click to the card showing them.
int measureSubtitles(const QString &work, const QString &database, int count)
{
    const QString tools = work + u"/subtitle-tools-"_s + QString::number(count);
    QDir().mkpath(tools);
    QStringList ticked;
    const QString description = tools + u"/description.json"_s;
    const QString downloader = tools + u"/youtube-dl"_s;
    if (!TestSupport::writeFile(description, subtitledDescription(count, ticked) + '\n')
        || !TestSupport::writeFile(downloader,
                                   "#!/bin/bash\n"
                                   "case \" $* \" in\n"
                                   "  *' --version '*) echo 2099.01.01 ;;\n"
                                   "  *' -F '*) echo 'ID  EXT  RESOLUTION  NOTE'\n"
                                   "    cat '"
                                       + description.toUtf8()
                                       + "' ;;\n"
                                         "  *) exit 2 ;;\n"
                                         "esac\n")
        || !QFile::setPermissions(downloader,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return EXIT_FAILURE;
    }
    Window parts(work, database, tools);
    Settings(parts.store).setSubtitleLanguages(ticked);
    ViewController window(parts.store, parts.tools, &parts.jobs);
    bool shown = false;
    new FirstPaintWatcher(&window, [&shown] { shown = true; });
    window.resize(windowSize);
    window.show();
    while (!shown) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    parts.tools.askDownloaderVersion();
    waitFor(500);
    window.setAddress(u"http://127.0.0.1/video"_s);
    auto *listing = window.findChild<QPushButton *>(u"getFormatButton"_s);
    auto *picker = window.findChild<QWidget *>(u"subtitlePicker"_s);
    auto *title = window.findChild<QWidget *>(u"videoTitleLabel"_s);
    if (!listing || !picker || !title) {
        std::fprintf(stderr, "bench_queue: the card's widgets were not found\n");
        return EXIT_FAILURE;
    }
    const qint64 residentBefore = statusField(u"/proc/self/status"_s, "VmRSS:");
    double longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longestGap = std::max(longestGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
    });
    QElapsedTimer clicked;
    sinceTick.start();
    ticker.start();
    clicked.start();
    listing->click();
    // Shown once the listing has ended and the card (and its languages) are painted.
    while (!(listing->isEnabled() && title->isVisible() && (count == 0 || picker->isVisible()))) {
        if (clicked.elapsed() > 60'000) {
            std::fprintf(stderr, "bench_queue: the video was never shown\n");
            return EXIT_FAILURE;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    const double toShown = static_cast<double>(clicked.nsecsElapsed()) / 1e6;
    // The boxes of many languages come a few at a time.
    while (picker->findChildren<QCheckBox *>().size() < count) {
        if (clicked.elapsed() > 60'000) {
            std::fprintf(stderr, "bench_queue: the languages were never all shown\n");
            return EXIT_FAILURE;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    const double toAllBoxes = static_cast<double>(clicked.nsecsElapsed()) / 1e6;
    waitFor(200);
    ticker.stop();
    writeResult(
        {{u"toShown"_s, toShown},
         {u"toAllBoxes"_s, toAllBoxes},
         {u"longestGap"_s, longestGap},
         {u"residentAddedKiB"_s,
          static_cast<double>(statusField(u"/proc/self/status"_s, "VmRSS:") - residentBefore)}});
    return EXIT_SUCCESS;
}

int runChild(int argc, char *argv[], qint64 mainEntry)
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString what = arguments.value(2);
    const QString work = arguments.value(3);
    const QString database = arguments.value(4);
    if (what == u"start"_s) {
        return measureStart(work, database, mainEntry);
    }
    if (what == u"window"_s) {
        return measureWindow(work, database, arguments.value(5).toInt());
    }
    if (what == u"downloads"_s) {
        return measureDownloads(work, database, arguments.mid(5));
    }
    if (what == u"list"_s) {
        return measureList(work, database, arguments.value(5));
    }
    if (what == u"subtitles"_s) {
        return measureSubtitles(work, database, arguments.value(5).toInt());
    }
    return EXIT_FAILURE;
}

// The driver's side.

using Figures = std::map<QString, double>;

// The child's environment: the driver's, with a home and XDG folders in the work folder.
std::vector<std::string>
childEnvironment(const QString &work, const std::string &resultFile,
                 const std::vector<std::pair<std::string, std::string>> &extra)
{
    const std::string home = QString(work + u"/home"_s).toStdString();
    std::vector<std::pair<std::string, std::string>> overrides = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"},
        {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_DATA_HOME", home + "/.local/share"},
        {"XDG_RUNTIME_DIR", home + "/runtime"},
        {resultFileVariable, resultFile},
    };
    overrides.insert(overrides.end(), extra.cbegin(), extra.cend());
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        const bool overridden = name == spawnTimeVariable
            || std::any_of(overrides.cbegin(), overrides.cend(),
                           [&name](const auto &pair) { return pair.first == name; });
        if (!overridden) {
            environment.push_back(variable);
        }
    }
    for (const auto &[name, value] : overrides) {
        environment.push_back(name + '=' + value);
    }
    return environment;
}

std::optional<Figures> startChild(const QString &work, const QStringList &childArguments,
                                  const std::vector<std::pair<std::string, std::string>> &extra
                                  = {})
{
    const std::string resultFile = QString(work + u"/result"_s).toStdString();
    const std::string errorFile = QString(work + u"/errors"_s).toStdString();
    QFile::remove(QString::fromStdString(resultFile));
    // The start time is written last, into room that is already there.
    constexpr size_t timeDigits = 24;
    std::vector<std::string> environment = childEnvironment(work, resultFile, extra);
    environment.push_back(std::string(spawnTimeVariable) + '=' + std::string(timeDigits, ' '));
    std::vector<char *> environmentPointers;
    for (std::string &variable : environment) {
        environmentPointers.push_back(variable.data());
    }
    environmentPointers.push_back(nullptr);
    char *spawnTime = environment.back().data() + std::strlen(spawnTimeVariable) + 1;

    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    std::vector<std::string> argumentCopies = {program, "--child"};
    for (const QString &argument : childArguments) {
        argumentCopies.push_back(argument.toStdString());
    }
    std::vector<char *> arguments;
    for (std::string &argument : argumentCopies) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::snprintf(spawnTime, timeDigits, "%lld", static_cast<long long>(monotonicNanoseconds()));
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments.data(),
                                  environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return std::nullopt;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }

    QFile file(QString::fromStdString(resultFile));
    if (!file.open(QIODevice::ReadOnly)) {
        QFile errors(QString::fromStdString(errorFile));
        errors.open(QIODevice::ReadOnly);
        std::fprintf(stderr, "bench_queue: a child gave no figures\n%s",
                     errors.readAll().right(4000).constData());
        return std::nullopt;
    }
    Figures figures;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2) {
            figures[QString::fromUtf8(fields.at(0))] = fields.at(1).toDouble();
        }
    }
    // The idle window's timers, for the reader.
    QFile errors(QString::fromStdString(errorFile));
    if (errors.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> errorLines = errors.readAll().split('\n');
        for (const QByteArray &line : errorLines) {
            if (line.startsWith("bench_queue: ")) {
                say(u"  "_s + QString::fromUtf8(line.mid(13)));
            }
        }
    }
    return figures;
}

struct Spread
{
    double median = 0;
    double lowest = 0;
    double highest = 0;
};

Spread spread(std::vector<double> values)
{
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    const double median
        = values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

QString shown(const Spread &values, const QString &unit, int decimals = 1)
{
    return u"%1 %4 (%2 to %3)"_s.arg(number(values.median, decimals),
                                     number(values.lowest, decimals),
                                     number(values.highest, decimals), unit);
}

std::vector<double> column(const std::vector<Figures> &runs, const QString &name)
{
    std::vector<double> values;
    for (const Figures &figures : runs) {
        values.push_back(figures.count(name) ? figures.at(name) : 0.0);
    }
    return values;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(120'000) && process.exitCode() == 0;
}

// A few distinct pictures of 1280x720, as a listing caches a video's.
QStringList makePictures(const QString &folder)
{
    QStringList pictures;
    const QStringList sources = {u"testsrc=size=1280x720"_s, u"testsrc2=size=1280x720"_s,
                                 u"smptebars=size=1280x720"_s, u"mandelbrot=size=1280x720"_s};
    for (qsizetype index = 0; index < sources.size(); ++index) {
        const QString path = folder + u"/picture-%1.jpg"_s.arg(index);
        if (!run(u"ffmpeg"_s,
                 {u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s,
                  u"-i"_s, sources.at(index), u"-frames:v"_s, u"1"_s, u"-q:v"_s, u"3"_s, path})) {
            return {};
        }
        pictures << path;
    }
    return pictures;
}

bool makeQueue(const QString &database, const QStringList &pictures, const QString &folder)
{
    JobStore store(database);
    if (!store.isOpen()) {
        return false;
    }
    const QDateTime added = QDateTime::currentDateTime().addDays(-1);
    for (int index = 0; index < jobCount; ++index) {
        DownloadJob job;
        job.request.folder = folder;
        job.request.address = u"https://video.example/watch?v=%1"_s.arg(index);
        job.title = u"Vidéo numéro %1 de la file, avec un titre assez long"_s.arg(index);
        job.picturePath = pictures.at(index % pictures.size());
        job.fetched = u"Meilleure qualité"_s;
        const bool paused = index % 5 == 0;
        job.state = paused ? JobState::Paused : JobState::Finished;
        job.progress.percent = paused ? 37 : 100;
        job.added = added.addSecs(index);
        if (!store.insert(job)) {
            return false;
        }
    }
    return true;
}

// The flat reading of a list of 5,000 videos, one JSON line each, about 1.3 KB a line: what
// the downloader writes for a channel's list, the addresses on the loopback.
bool makeListEntries(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    for (int index = 1; index <= listEntryCount; ++index) {
        const QString id = u"vid%1-éèàç"_s.arg(index, 6, 10, QLatin1Char('0')).left(11);
        QJsonArray thumbnails;
        for (const auto &[name, width, height] :
             {std::tuple {"default", 120, 90}, std::tuple {"mqdefault", 320, 180},
              std::tuple {"hqdefault", 480, 360}, std::tuple {"maxresdefault", 1280, 720}}) {
            thumbnails.append(QJsonObject {
                {u"url"_s, u"http://127.0.0.1/vi/%1/%2.jpg"_s.arg(id, QLatin1StringView(name))},
                {u"width"_s, width},
                {u"height"_s, height}});
        }
        const QJsonObject entry {
            {u"_type"_s, u"url"_s},
            {u"ie_key"_s, u"Generic"_s},
            {u"id"_s, id},
            {u"url"_s, u"http://127.0.0.1/watch?v=%1"_s.arg(index)},
            {u"webpage_url"_s, u"http://127.0.0.1/watch?v=%1"_s.arg(index)},
            {u"title"_s,
             u"Épisode n° %1 — Les leçons d’été à Montréal : « ça déménage » et "
             u"crème brûlée"_s.arg(index)},
            {u"description"_s,
             u"Dans cet épisode, on découvre les rues de Montréal, les "
             u"marchés, la fête de la Saint-Jean et les façades colorées du "
             u"Plateau. Réalisation : Zoé Lefèvre ; musique : Gaëtan "
             u"Béranger. Abonnez-vous à la chaîne pour ne rien manquer !"_s},
            {u"duration"_s, 60 + (index * 37) % 3600},
            {u"channel"_s, u"Chaîne des Vidéastes Francophones"_s},
            {u"channel_id"_s, u"UCabcdefghijklmnopqrstuv"_s},
            {u"channel_url"_s, u"http://127.0.0.1/channel/UCabcdefghijklmnopqrstuv"_s},
            {u"uploader"_s, u"Chaîne des Vidéastes Francophones"_s},
            {u"view_count"_s, index * 1013},
            {u"thumbnails"_s, thumbnails},
            {u"live_status"_s, u"not_live"_s},
            {u"playlist_index"_s, index},
            {u"playlist_title"_s, u"Liste"_s},
            {u"playlist_id"_s, u"liste"_s},
            {u"playlist_count"_s, listEntryCount},
            {u"playlist"_s, u"Liste"_s},
            {u"extractor"_s, u"generic"_s},
        };
        if (file.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n') < 0) {
            return false;
        }
    }
    return true;
}

int drive(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"The queue through the main window: start, scrolling, "
                                     u"idle wake-ups, memory, three downloads."_s);
    parser.addHelpOption();
    const QCommandLineOption startsOption(u"starts"_s, u"Measured starts of each kind (10)."_s,
                                          u"count"_s, u"10"_s);
    const QCommandLineOption windowsOption(u"windows"_s, u"Scrolling and idle measures (3)."_s,
                                           u"count"_s, u"3"_s);
    const QCommandLineOption idleOption(u"idle"_s, u"Seconds of the idle count (20)."_s,
                                        u"seconds"_s, u"20"_s);
    const QCommandLineOption downloadsOption(u"downloads"_s, u"Rounds of three downloads (3)."_s,
                                             u"count"_s, u"3"_s);
    const QCommandLineOption sizeOption(u"size"_s, u"MiB of each download (100)."_s, u"MiB"_s,
                                        u"100"_s);
    const QCommandLineOption rateOption(u"rate"_s, u"KiB/s of each download (3900)."_s, u"KiB/s"_s,
                                        u"3900"_s);
    const QCommandLineOption listsOption(
        u"lists"_s, u"Readings of a whole list of 5,000 videos, of each kind (3)."_s, u"count"_s,
        u"3"_s);
    const QCommandLineOption subtitlesOption(
        u"subtitles"_s, u"Listings of a video with 300 subtitle languages, and without (3)."_s,
        u"count"_s, u"3"_s);
    parser.addOptions({startsOption, windowsOption, idleOption, downloadsOption, sizeOption,
                       rateOption, listsOption, subtitlesOption});
    parser.process(application);
    const int starts = std::max(0, parser.value(startsOption).toInt());
    const int lists = std::max(0, parser.value(listsOption).toInt());
    const int subtitleListings = std::max(0, parser.value(subtitlesOption).toInt());
    const int windows = std::max(0, parser.value(windowsOption).toInt());
    const int downloads = std::max(0, parser.value(downloadsOption).toInt());

    QTemporaryDir work(QDir::tempPath() + u"/quorvel-bench-queue-XXXXXX"_s);
    const QString home = work.filePath(u"home"_s);
    QDir().mkpath(home + u"/runtime"_s);
    QFile::setPermissions(home + u"/runtime"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(work.filePath(u"managed"_s));
    say(u"Platform: %1, display %2"_s.arg(qEnvironmentVariable("QT_QPA_PLATFORM", u"(default)"_s),
                                          qEnvironmentVariable("DISPLAY", u"(none)"_s)));

    const bool withQueue = starts > 0 || windows > 0 || downloads > 0;
    const QStringList pictures = withQueue ? makePictures(work.path()) : QStringList();
    const QString empty = work.filePath(u"empty.sqlite"_s);
    const QString full = work.filePath(u"full.sqlite"_s);
    if (withQueue
        && (pictures.isEmpty() || !makeQueue(full, pictures, work.filePath(u"videos"_s)))) {
        std::fprintf(stderr, "bench_queue: the pictures or the queue could not be made\n");
        return EXIT_FAILURE;
    }
    {
        JobStore made(empty);
    }

    // 1. The start, empty queue and 1,000 jobs in turn; the first of each fills the caches.
    if (starts > 0) {
        say(u"\nStart to the window's first paint, from before posix_spawn (%1 starts each, "
            u"alternating, after one not counted):"_s.arg(starts));
        std::vector<Figures> emptyStarts;
        std::vector<Figures> fullStarts;
        for (int index = 0; index <= starts; ++index) {
            for (const bool withJobs : {false, true}) {
                const auto figures
                    = startChild(work.path(), {u"start"_s, work.path(), withJobs ? full : empty});
                if (!figures) {
                    return EXIT_FAILURE;
                }
                if (index > 0) {
                    (withJobs ? fullStarts : emptyStarts).push_back(*figures);
                }
            }
        }
        const Spread emptyShown = spread(column(emptyStarts, u"fromSpawn"_s));
        const Spread fullShown = spread(column(fullStarts, u"fromSpawn"_s));
        say(u"  empty queue: %1; from main() %2"_s.arg(
            shown(emptyShown, u"ms"_s),
            shown(spread(column(emptyStarts, u"fromMain"_s)), u"ms"_s)));
        say(u"  %1 jobs: %2; from main() %3"_s.arg(
            QString::number(jobCount), shown(fullShown, u"ms"_s),
            shown(spread(column(fullStarts, u"fromMain"_s)), u"ms"_s)));
        say(u"  => the queue adds %1 ms (medians; aim at most 100 ms)"_s.arg(
            number(fullShown.median - emptyShown.median)));
    }

    // 2, 4, 5. Scrolling, memory, idle wake-ups.
    if (windows > 0) {
        say(u"\nThe window with %1 jobs: scrolled top to bottom three rows a step (a wheel's "
            u"notch), then a page a step, every 20 ms, a 1 ms timer ticking; then idle %2 s "
            u"(%3 runs):"_s.arg(QString::number(jobCount), parser.value(idleOption),
                                QString::number(windows)));
        std::vector<Figures> runs;
        for (int index = 0; index < windows; ++index) {
            const auto figures = startChild(
                work.path(), {u"window"_s, work.path(), full, parser.value(idleOption)});
            if (!figures) {
                return EXIT_FAILURE;
            }
            runs.push_back(*figures);
        }
        const double seconds = runs.front().at(u"idleSeconds"_s);
        std::vector<double> awakePerSecond = column(runs, u"idleAwake"_s);
        std::vector<double> switchesPerSecond = column(runs, u"idleSwitches"_s);
        for (double &value : awakePerSecond) {
            value /= seconds;
        }
        for (double &value : switchesPerSecond) {
            value /= seconds;
        }
        say(u"  %1 rows visible, %2 wheel steps, %3 page steps"_s.arg(
            number(runs.front().at(u"visibleRows"_s), 0),
            number(runs.front().at(u"wheelSteps"_s), 0),
            number(runs.front().at(u"pageSteps"_s), 0)));
        say(u"  wheel steps: longest gap between ticks %1 (aim at most 16 ms); a step's "
            u"repaint: longest %2, median %3"_s.arg(
                shown(spread(column(runs, u"wheelGap"_s)), u"ms"_s),
                shown(spread(column(runs, u"wheelRepaintLongest"_s)), u"ms"_s),
                shown(spread(column(runs, u"wheelRepaintMedian"_s)), u"ms"_s, 2)));
        say(u"  page steps: longest gap between ticks %1 (aim at most 16 ms); a step's "
            u"repaint: longest %2, median %3"_s.arg(
                shown(spread(column(runs, u"pageGap"_s)), u"ms"_s),
                shown(spread(column(runs, u"pageRepaintLongest"_s)), u"ms"_s),
                shown(spread(column(runs, u"pageRepaintMedian"_s)), u"ms"_s, 2)));
        std::vector<double> peak = column(runs, u"peakKiB"_s);
        std::vector<double> resident = column(runs, u"residentKiB"_s);
        for (double &value : peak) {
            value = value * 1024 / 1e6;
        }
        for (double &value : resident) {
            value = value * 1024 / 1e6;
        }
        say(u"  memory once scrolled through: peak %1 (aim at most 60 MB), resident %2"_s.arg(
            shown(spread(peak), u"MB"_s), shown(spread(resident), u"MB"_s)));
        say(u"  idle: %1 of the main thread (aim at most 1 a second); voluntary context "
            u"switches %2; CPU %3 in %4 s"_s.arg(shown(spread(awakePerSecond), u"wake-ups/s"_s, 2),
                                                 shown(spread(switchesPerSecond), u"/s"_s, 2),
                                                 shown(spread(column(runs, u"idleCpu"_s)), u"ms"_s),
                                                 number(seconds, 0)));
    }

    // 3. Three downloads at once, each limited by the server.
    if (downloads > 0) {
        const qint64 size = parser.value(sizeOption).toLongLong() * 1024 * 1024;
        ServedFolder served(u"make-picture.sh"_s);
        if (!served.isValid()) {
            std::fprintf(stderr, "bench_queue: the server did not start\n");
            return EXIT_FAILURE;
        }
        QStringList addresses;
        const QString payload = served.folder() + u"/payload-1.bin"_s;
        if (!run(u"/bin/bash"_s,
                 {u"-c"_s, u"head -c %1 /dev/urandom > \"$0\""_s.arg(size), payload})) {
            return EXIT_FAILURE;
        }
        for (int index = 1; index <= 3; ++index) {
            const QString name = u"payload-%1.bin"_s.arg(index);
            if (index > 1) {
                QFile::link(payload, served.folder() + u'/' + name);
            }
            addresses << served.url(name, u"throttle-"_s + parser.value(rateOption)).toString();
        }
        say(u"\nThree downloads of %1 MiB at once, each served at %2 KiB/s, the window shown "
            u"with the 1,000 jobs before them, scrolled to the new ones (%3 rounds); Quorvel's "
            u"own CPU (RUSAGE_SELF) over the part where all three run:"_s.arg(
                parser.value(sizeOption), parser.value(rateOption), QString::number(downloads)));
        std::vector<Figures> runs;
        for (int index = 0; index < downloads; ++index) {
            // Behind the 1,000 ended jobs, a new copy each round.
            const QString database = work.filePath(u"downloads-%1.sqlite"_s.arg(index));
            if (!makeQueue(database, pictures, work.filePath(u"videos"_s))) {
                return EXIT_FAILURE;
            }
            const auto figures = startChild(
                work.path(), QStringList {u"downloads"_s, work.path(), database} + addresses,
                {{"QUORVEL_BENCH_PAYLOAD_SIZE", std::to_string(size)}});
            if (!figures) {
                return EXIT_FAILURE;
            }
            runs.push_back(*figures);
            say(u"  round %1: %2 ms a second over %3 s (%4 wake-ups a second); in all %5 ms "
                u"in %6 s, the downloader %7 ms; %8 finished, %9 files whole"_s.arg(
                    QString::number(index + 1), number(figures->at(u"cpuPerSecond"_s), 2),
                    number(figures->at(u"steadySeconds"_s)),
                    number(figures->at(u"awakePerSecond"_s)), number(figures->at(u"totalCpu"_s), 0),
                    number(figures->at(u"totalSeconds"_s)),
                    number(figures->at(u"downloaderCpu"_s), 0),
                    number(figures->at(u"finished"_s), 0),
                    number(figures->at(u"wholeFiles"_s), 0)));
        }
        say(u"  => %1 of CPU a second, that is %2 of one core (aim at most 1 %)"_s.arg(
            shown(spread(column(runs, u"cpuPerSecond"_s)), u"ms"_s, 2),
            number(spread(column(runs, u"cpuPerSecond"_s)).median / 10.0, 2) + u" %"_s));
    }
    // 6. A whole list of 5,000 videos read through the window.
    if (lists > 0) {
        const QString entries = work.filePath(u"list-entries.jsonl"_s);
        if (!makeListEntries(entries)) {
            return EXIT_FAILURE;
        }
        say(u"\nA whole list of %1 videos read through the window (\"Toute la liste\" after a "
            u"listing), the stand-in downloader's lines of %2 bytes on average, %3 runs of "
            u"each kind; times from the stand-in's clock before its first line, a 1 ms timer "
            u"ticking:"_s.arg(
                QString::number(listEntryCount),
                number(static_cast<double>(QFileInfo(entries).size()) / listEntryCount, 0),
                QString::number(lists)));
        for (const QString &mode : {u"all"_s, u"slow"_s}) {
            std::vector<Figures> runs;
            for (int index = 0; index < lists; ++index) {
                // An empty queue each time.
                const QString database = work.filePath(u"list-%1-%2.sqlite"_s.arg(mode).arg(index));
                const auto figures
                    = startChild(work.path(), {u"list"_s, work.path(), database, mode});
                if (!figures) {
                    return EXIT_FAILURE;
                }
                runs.push_back(*figures);
            }
            std::vector<double> resident = column(runs, u"residentAddedKiB"_s);
            std::vector<double> peak = column(runs, u"peakAddedKiB"_s);
            for (double &value : resident) {
                value = value * 1024 / 1e6;
            }
            for (double &value : peak) {
                value = value * 1024 / 1e6;
            }
            say(mode == u"all"_s ? u"  all at once (the file written in one go):"_s
                                 : u"  slowly (100 lines every 50 ms):"_s);
            say(u"    %1; click to the first line written %2; the stand-in writes for %3"_s.arg(
                shown(spread(column(runs, u"rows"_s)), u"rows"_s, 0),
                shown(spread(column(runs, u"clickToWrite"_s)), u"ms"_s),
                shown(spread(column(runs, u"writing"_s)), u"ms"_s)));
            say(u"    first line written to the first row %1 (aim at most 100 ms); to all "
                u"rows %2; last line written to all rows %3"_s.arg(
                    shown(spread(column(runs, u"toFirstRow"_s)), u"ms"_s),
                    shown(spread(column(runs, u"toAllRows"_s)), u"ms"_s),
                    shown(spread(column(runs, u"lastWriteToAllRows"_s)), u"ms"_s)));
            say(u"    longest gap between ticks while reading %1 (aim at most 16 ms), %2"_s.arg(
                shown(spread(column(runs, u"longestGap"_s)), u"ms"_s),
                shown(spread(column(runs, u"ticks"_s)), u"ticks"_s, 0)));
            say(u"    memory added, all rows against before the click: resident %1, peak %2 "
                u"(aim at most 30 MB)"_s.arg(shown(spread(resident), u"MB"_s),
                                             shown(spread(peak), u"MB"_s)));
        }
    }
    // 7. The card of a video offering 300 subtitle languages, against one offering none.
    if (subtitleListings > 0) {
        say(u"\nA listing through the window, %1 runs each: click to the video's card shown "
            u"(with its \"Sous-titres\" group), the longest gap of a 1 ms timer meanwhile, and "
            u"the memory added:"_s.arg(subtitleListings));
        for (const int count : {0, 300}) {
            std::vector<Figures> runs;
            for (int index = 0; index < subtitleListings; ++index) {
                const QString database
                    = work.filePath(u"subtitles-%1-%2.sqlite"_s.arg(count).arg(index));
                const auto figures = startChild(
                    work.path(), {u"subtitles"_s, work.path(), database, QString::number(count)});
                if (!figures) {
                    return EXIT_FAILURE;
                }
                runs.push_back(*figures);
            }
            std::vector<double> resident = column(runs, u"residentAddedKiB"_s);
            for (double &value : resident) {
                value = value * 1024 / 1e6;
            }
            say(u"  %1: shown after %2, every box after %3, longest gap %4, memory added %5"_s.arg(
                count == 0 ? u"no subtitles"_s : u"300 languages, 150 of them ticked"_s,
                shown(spread(column(runs, u"toShown"_s)), u"ms"_s),
                shown(spread(column(runs, u"toAllBoxes"_s)), u"ms"_s),
                shown(spread(column(runs, u"longestGap"_s)), u"ms"_s),
                shown(spread(resident), u"MB"_s)));
        }
    }
    return EXIT_SUCCESS;
}
} // namespace

int main(int argc, char *argv[])
{
    const qint64 mainEntry = monotonicNanoseconds();
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv, mainEntry);
    }
    return drive(argc, argv);
}
