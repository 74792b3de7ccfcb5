// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
//
// Start-up time and peak memory of the main window under the offscreen platform, and the
// cost of the downloader's version question, which starts once the window is shown.
//
// Without arguments the program is the driver: it starts itself with "--child" a number of
// times and prints each figure and the medians. Just before each start it notes the
// monotonic clock and hands it to the child in its environment; the child notes the clock
// again once the window's first paint is done, and once the version is known. The time
// therefore covers the whole start: fork and exec, dynamic linking, static initialisation,
// QApplication, the window. The starts run twice over: with a settings store of their own
// each (a first launch: the downloader is asked), then with one shared store (later
// launches: the answer kept from the first one serves).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "app/ViewController.h"
#include "tools/ToolSet.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace {
constexpr char spawnTimeVariable[] = "QUORVEL_BENCH_SPAWN_NS";
constexpr char resultFileVariable[] = "QUORVEL_BENCH_RESULT";
constexpr char settingsFileVariable[] = "QUORVEL_BENCH_SETTINGS";

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

// Waits for the window's first paint, then for the event loop to come round once more (by
// then the frame is drawn and handed to the platform), then for the downloader's version.
class FirstPaintWatcher final : public QObject
{
public:
    FirstPaintWatcher(qint64 mainEntry, ToolSet &tools, QObject *parent)
        : QObject(parent)
        , m_mainEntry(mainEntry)
        , m_tools(tools)
    {
        connect(&tools, &ToolSet::downloaderChanged, this, [this] {
            if (m_shown > 0 && !m_tools.downloaderVersion().isEmpty()) {
                report();
            }
        });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            QTimer::singleShot(0, this, [this] {
                m_shown = monotonicNanoseconds();
                getrusage(RUSAGE_SELF, &m_usage);
                if (!m_tools.downloaderVersion().isEmpty()) {
                    report();
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void report()
    {
        const double answered = static_cast<double>(monotonicNanoseconds());
        const auto spawned
            = static_cast<double>(qEnvironmentVariable(spawnTimeVariable).toLongLong());
        QFile result(qEnvironmentVariable(resultFileVariable));
        if (spawned > 0 && result.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            result.write(QByteArray::number((static_cast<double>(m_shown) - spawned) / 1e6) + ' '
                         + QByteArray::number(static_cast<double>(m_shown - m_mainEntry) / 1e6)
                         + ' ' + QByteArray::number(static_cast<qint64>(m_usage.ru_maxrss)) + ' '
                         + QByteArray::number((answered - spawned) / 1e6) + ' '
                         + QByteArray::number(cpuMilliseconds(RUSAGE_CHILDREN)) + '\n');
        }
        QCoreApplication::quit();
    }

    qint64 m_mainEntry = 0;
    ToolSet &m_tools;
    qint64 m_shown = 0;
    rusage m_usage {};
    bool m_painted = false;
};

int measureOnce(int argc, char *argv[], qint64 mainEntry)
{
    QApplication application(argc, argv);
    // The settings store that the driver names: a new one (a first launch) or a shared one.
    QSettings store(qEnvironmentVariable(settingsFileVariable), QSettings::IniFormat);
    ToolSet tools;
    tools.setVersionCache(&store);
    tools.lookUp(QStringLiteral(QUORVEL_BENCH_TOOL_DIR));
    ViewController window(store, tools);
    FirstPaintWatcher watcher(mainEntry, tools, &application);
    window.installEventFilter(&watcher);
    // As the application does: the version question once the window is up.
    window.show();
    QTimer::singleShot(0, &tools, &ToolSet::askDownloaderVersion);
    return QApplication::exec();
}

struct Result
{
    double fromSpawnMilliseconds = 0.0;
    double fromMainMilliseconds = 0.0;
    long maxResidentKiB = 0;
    double versionFromSpawnMilliseconds = 0.0;
    double questionCpuMilliseconds = 0.0;
};

// The child's environment: the driver's, with the offscreen platform and a home of the
// benchmark's own (Qt and fontconfig read and write there, never in the user's).
std::vector<std::string> childEnvironment(const std::string &resultFile,
                                          const std::string &settingsFile)
{
    const std::string home = QUORVEL_BENCH_HOME;
    const std::vector<std::pair<std::string, std::string>> overrides = {
        {"QT_QPA_PLATFORM", "offscreen"},          {"HOME", home},
        {"XDG_CONFIG_HOME", home + "/.config"},    {"XDG_CACHE_HOME", home + "/.cache"},
        {"XDG_DATA_HOME", home + "/.local/share"}, {"XDG_RUNTIME_DIR", home + "/runtime"},
        {resultFileVariable, resultFile},          {settingsFileVariable, settingsFile},
    };
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

std::optional<Result> startChild(const std::string &program, const std::string &resultFile,
                                 const std::string &errorFile, const std::string &settingsFile)
{
    // The start time is written last, into room that is already there.
    constexpr size_t timeDigits = 24;
    std::vector<std::string> environment = childEnvironment(resultFile, settingsFile);
    environment.push_back(std::string(spawnTimeVariable) + '=' + std::string(timeDigits, ' '));
    std::vector<char *> environmentPointers;
    for (std::string &variable : environment) {
        environmentPointers.push_back(variable.data());
    }
    environmentPointers.push_back(nullptr);
    char *spawnTime = environment.back().data() + std::strlen(spawnTimeVariable) + 1;

    std::string programCopy = program;
    std::string childOption = "--child";
    char *arguments[] = {programCopy.data(), childOption.data(), nullptr};

    // The child's diagnostic lines (first launch, the platform's notes) are not wanted
    // here; its errors are shown when it fails.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::snprintf(spawnTime, timeDigits, "%lld", static_cast<long long>(monotonicNanoseconds()));
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments,
                                  environmentPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return std::nullopt;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }

    QFile file(QString::fromStdString(resultFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = file.readAll().trimmed().split(' ');
    file.close();
    file.remove();
    if (fields.size() != 5) {
        return std::nullopt;
    }
    return Result {fields.at(0).toDouble(), fields.at(1).toDouble(), fields.at(2).toLong(),
                   fields.at(3).toDouble(), fields.at(4).toDouble()};
}

// ru_maxrss counts KiB.
double megabytes(long kibibytes)
{
    return static_cast<double>(kibibytes) * 1024.0 / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

int drive(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Time to the main window shown, and peak memory."_s);
    parser.addHelpOption();
    const QCommandLineOption runsOption(u"runs"_s, u"Measured starts (10)."_s, u"count"_s, u"10"_s);
    parser.addOption(runsOption);
    parser.process(application);
    const int runs = std::max(1, parser.value(runsOption).toInt());

    // Qt wants the runtime folder private to the user.
    const QString runtimeFolder = QStringLiteral(QUORVEL_BENCH_HOME) + u"/runtime"_s;
    QDir().mkpath(runtimeFolder);
    QFile::setPermissions(runtimeFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QTemporaryDir resultFolder;
    const std::string resultFile = resultFolder.filePath(u"result"_s).toStdString();
    const QString errorFile = resultFolder.filePath(u"errors"_s);
    const std::string program = QCoreApplication::applicationFilePath().toStdString();

    for (const bool shared : {false, true}) {
        say(shared ? u"\nLater starts (one shared settings store: the version answer is kept):"_s
                   : u"First starts (a new settings store each: the downloader is asked):"_s);
        std::vector<double> fromSpawn;
        std::vector<double> fromMain;
        std::vector<double> maxResident;
        std::vector<double> versionKnown;
        std::vector<double> questionCpu;
        // The first start fills the font and file caches (and the shared store); not counted.
        for (int run = 0; run <= runs; ++run) {
            const QString settings
                = resultFolder.filePath(shared ? u"shared.ini"_s : u"settings-%1.ini"_s.arg(run));
            const auto result
                = startChild(program, resultFile, errorFile.toStdString(), settings.toStdString());
            if (!result) {
                QFile errors(errorFile);
                errors.open(QIODevice::ReadOnly);
                std::fprintf(stderr, "bench_startup: a start gave no figures\n%s",
                             errors.readAll().constData());
                return EXIT_FAILURE;
            }
            say(u"start %1: shown after %2 ms (%3 ms from main), peak %4 MB; version known "
                u"after %5 ms, its question %6 ms of CPU"_s.arg(
                    run == 0 ? u"0 (warm-up)"_s : QString::number(run),
                    QString::number(result->fromSpawnMilliseconds, 'f', 1),
                    QString::number(result->fromMainMilliseconds, 'f', 1),
                    QString::number(megabytes(result->maxResidentKiB), 'f', 1),
                    QString::number(result->versionFromSpawnMilliseconds, 'f', 1),
                    QString::number(result->questionCpuMilliseconds, 'f', 0)));
            if (run > 0) {
                fromSpawn.push_back(result->fromSpawnMilliseconds);
                fromMain.push_back(result->fromMainMilliseconds);
                maxResident.push_back(megabytes(result->maxResidentKiB));
                versionKnown.push_back(result->versionFromSpawnMilliseconds);
                questionCpu.push_back(result->questionCpuMilliseconds);
            }
        }
        say(u"Medians of %1 starts: shown after %2 ms (%3 ms from main) (aim < 150 ms), peak "
            u"memory %4 MB (aim < 60 MB); version known after %5 ms; the question's CPU %6 ms"_s
                .arg(QString::number(runs), QString::number(median(fromSpawn), 'f', 1),
                     QString::number(median(fromMain), 'f', 1),
                     QString::number(median(maxResident), 'f', 1),
                     QString::number(median(versionKnown), 'f', 1),
                     QString::number(median(questionCpu), 'f', 0)));
    }
    return EXIT_SUCCESS;
}
} // namespace

int main(int argc, char *argv[])
{
    const qint64 mainEntry = monotonicNanoseconds();
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        return measureOnce(argc, argv, mainEntry);
    }
    return drive(argc, argv);
}
