// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <functional>
#include <memory>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include "DashFixture.h"
#include "TestSupport.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
constexpr int standInTimeout = 30'000;
constexpr int downloadTimeout = 180'000;
// Far below the 100 MB that the flooding downloaders write.
constexpr qint64 memoryGrowthBoundKiB = 60 * 1024;

const QString timeoutMessage = u"Délai dépassé : le téléchargeur ne répond pas"_s;
const QString missingToolMessage = u"Outil introuvable : youtube-dl"_s;
const QString failurePrefix = u"Échec du téléchargement : "_s;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(content) == content.size();
}

// Runs the event loop until `done` holds, as the application runs it. (QTRY_* sleeps
// between rounds of events, which would slow a flooding downloader down for nothing.)
bool runUntil(const std::function<bool()> &done, int timeoutMilliseconds)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&loop, &done] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(10);
    QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), or -1.
qint64 memoryKiB(QByteArrayView field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.sliced(field.size()).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

// Forgets the peak memory so far: VmHWM then measures from now on.
bool resetPeakMemory()
{
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// The live processes whose command line mentions `text`: a test's own temporary path
// finds every shell and downloader started for that test, whatever their ids.
QList<qint64> processesMentioning(const QString &text)
{
    QList<qint64> pids;
    const QByteArray needle = QFile::encodeName(text);
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 pid = entry.toLongLong(&isNumber);
        if (!isNumber || pid == QCoreApplication::applicationPid()) {
            continue;
        }
        if (readFile(u"/proc/"_s + entry + u"/cmdline"_s).contains(needle)
            && TestSupport::isProcessAlive(pid)) {
            pids << pid;
        }
    }
    return pids;
}

QList<qint64> pidsIn(const QString &path)
{
    QList<qint64> pids;
    for (const QByteArray &word : readFile(path).simplified().split(' ')) {
        if (word.toLongLong() > 0) {
            pids << word.toLongLong();
        }
    }
    return pids;
}

// A window whose tool folder holds a stand-in downloader (a bash script that finds its own
// folder as "${0%/*}" and the chosen folder as "${2%/*}", $2 being the value of -o) and
// the real converter. The folder chooser answers with `target`. The stand-in answers the
// window's version question at once; versionQueryOfAnUnrulyDownloader tests that question.
struct StandInWindow
{
    explicit StandInWindow(const QByteArray &script)
        : tool(TestSupport::writeScript(tools, u"youtube-dl"_s,
                                        "#!/bin/bash\n"
                                        "[ \"$1\" = --version ] && { echo 2023.03.04; exit 0; }\n"
                                                + script))
        , store(TestSupport::makeSettings(tools))
    {
        QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                    tools.filePath(u"ffmpeg"_s));
        window = std::make_unique<ViewController>(*store, tools.path());
        window->setFolderChooser([this](QWidget *) { return target.path(); });
        window->findChild<QLineEdit *>(u"urlYoutube"_s)->setText(u"http://127.0.0.1:9/v"_s);
    }

    QString message() const { return window->findChild<QLabel *>(u"messageTextField"_s)->text(); }
    QProgressBar *bar() const { return window->findChild<QProgressBar *>(u"progressBar"_s); }
    QPushButton *button(const QString &name) const
    {
        return window->findChild<QPushButton *>(name);
    }
    int rowCount() const
    {
        return window->findChild<QTableView *>(u"tableView"_s)->model()->rowCount();
    }

    QTemporaryDir tools;
    QTemporaryDir target;
    QString tool;
    std::unique_ptr<QSettings> store;
    std::unique_ptr<ViewController> window;
};

// What the window shows during a download: the highest bar value, every message line
// shown, and the ticks of a 10 ms timer on the main thread while a query or download ran.
struct Watch
{
    explicit Watch(ViewController &window)
        : message(window.findChild<QLabel *>(u"messageTextField"_s))
    {
        auto *bar = window.findChild<QProgressBar *>(u"progressBar"_s);
        QObject::connect(bar, &QProgressBar::valueChanged, bar,
                         [this](int value) { highestBar = std::max(highestBar, value); });
        auto *getFormats = window.findChild<QPushButton *>(u"getFormatButton"_s);
        QObject::connect(&ticker, &QTimer::timeout, bar, [this, getFormats] {
            // The control is disabled while a query or a download runs.
            if (!getFormats->isEnabled()) {
                ++ticks;
            }
            if (!message->text().isEmpty() && !shown.contains(message->text())) {
                shown << message->text();
            }
        });
        ticker.start(10);
    }

    QLabel *message;
    QTimer ticker;
    int highestBar = 0;
    int ticks = 0;
    QStringList shown;
};
} // namespace

class tst_Faults final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void floodKeepsTheWindowAnswering_data();
    void floodKeepsTheWindowAnswering();
    void queryThatNeverEndsIsStopped();
    void versionQueryOfAnUnrulyDownloader_data();
    void versionQueryOfAnUnrulyDownloader();
    void downloaderFailingAtOnce_data();
    void downloaderFailingAtOnce();
    void invalidUtf8InListingAndLog();
    void unusableToolDisablesActions_data();
    void unusableToolDisablesActions();
    void toolGoneAfterStartup_data();
    void toolGoneAfterStartup();
    void outputReadLateKeepsTheDownloadedFile();
    void folderGoneDuringRealDownload_data();
    void folderGoneDuringRealDownload();

private:
    std::unique_ptr<DashFixture> m_longFixture;
};

void tst_Faults::init()
{
    formatList().clear();
}

void tst_Faults::floodKeepsTheWindowAnswering_data()
{
    QTest::addColumn<bool>("query");
    QTest::addColumn<QByteArray>("script");
    // For a download, the highest bar value; for a query, the rows listed.
    QTest::addColumn<int>("result");
    // Empty: the action succeeds; otherwise the start of the failure message.
    QTest::addColumn<QString>("failure");

    QTest::newRow("100 MB of progress lines")
            << false
            << "yes '[download]  50.0% of 10.00MiB' | head -c 100000000 | tr '\\n' '\\r'\n"_ba
            << 500 << QString();
    QTest::newRow("100 MB progress line that never ends")
            << false << "yes '[download]  50.0% of 10.00MiB' | tr -d '\\n' | head -c 100000000\n"_ba
            << 500 << QString();
    QTest::newRow("100 MB error line")
            << false << "printf 'ERROR: '; yes x | tr -d '\\n' | head -c 100000000; exit 1\n"_ba
            << 0 << failurePrefix + u"xxxxxxxx"_s;
    QTest::newRow("format query, 100 MB after the listing")
            << true << "echo '18 mp4 640x360 ok'; yes '[download]  50.0% of 10.00MiB' "
                       "| head -c 100000000\n"_ba
            << 1 << QString();
}

void tst_Faults::floodKeepsTheWindowAnswering()
{
    QFETCH(bool, query);
    QFETCH(QByteArray, script);
    QFETCH(int, result);
    QFETCH(QString, failure);
    StandInWindow w(script);
    Watch watch(*w.window);
    QVERIFY(resetPeakMemory());
    const qint64 before = memoryKiB("VmRSS:");
    QVERIFY(before > 0);

    auto *getFormats = w.button(u"getFormatButton"_s);
    if (query) {
        QTest::mouseClick(getFormats, Qt::LeftButton);
    } else {
        w.window->downloadButton(0);
    }
    QVERIFY(!getFormats->isEnabled());
    QVERIFY(runUntil([getFormats] { return getFormats->isEnabled(); }, downloadTimeout));

    QVERIFY2(watch.ticks > 0, "the main thread stood still during the flood");
    const qint64 growth = memoryKiB("VmHWM:") - before;
    QVERIFY2(growth < memoryGrowthBoundKiB, qPrintable(u"grew by %1 KiB"_s.arg(growth)));
    QCOMPARE(query ? w.rowCount() : watch.highestBar, result);
    if (failure.isEmpty()) {
        QCOMPARE(w.message(), QString());
    } else {
        QVERIFY2(w.message().startsWith(failure), qPrintable(w.message().left(80)));
    }
    QCOMPARE(w.bar()->value(), 0);
    QTRY_VERIFY(processesMentioning(w.target.path()).isEmpty());
}

void tst_Faults::queryThatNeverEndsIsStopped()
{
    // The downloader and a child of its own both hang.
    StandInWindow w("echo $$ > \"${0%/*}/pids\"\n"
                    "sleep 300 &\n"
                    "echo $! >> \"${0%/*}/pids\"\n"
                    "wait\n");
    w.window->setQueryTimeout(1s);
    auto *getFormats = w.button(u"getFormatButton"_s);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);

    QTest::mouseClick(getFormats, Qt::LeftButton);
    QVERIFY(!getFormats->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(w.message(), timeoutMessage, standInTimeout);
    QVERIFY(ticks > 0);
    QVERIFY(getFormats->isEnabled());
    QCOMPARE(w.rowCount(), 0);
    const QList<qint64> pids = pidsIn(w.tools.filePath(u"pids"_s));
    QCOMPARE(pids.size(), 2);
    for (const qint64 pid : pids) {
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(pid), standInTimeout);
    }

    // The window answers the next query as usual.
    TestSupport::writeScript(w.tools, u"youtube-dl"_s, "#!/bin/bash\necho '18 mp4 640x360 ok'\n");
    QTest::mouseClick(getFormats, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.rowCount(), 1, standInTimeout);
    QCOMPARE(w.message(), QString());
}

void tst_Faults::versionQueryOfAnUnrulyDownloader_data()
{
    // The window asks the downloader for its version at start-up, unseen by the user.
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("hangs");
    QTest::newRow("100 MB of output") << "yes 2023.03.04 | head -c 100000000\n"_ba << false;
    QTest::newRow("100 MB on the error channel")
            << "echo 2023.03.04\nyes x | head -c 100000000 >&2\n"_ba << false;
    QTest::newRow("never ends, with a child")
            << "echo 2023.03.04\nsleep 300 &\necho $$ $! > \"${0%/*}/pids\"\nwait\n"_ba << true;
}

void tst_Faults::versionQueryOfAnUnrulyDownloader()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, hangs);
    QTemporaryDir tools;
    TestSupport::writeScript(tools, u"youtube-dl"_s, "#!/bin/bash\n" + script);
    auto store = TestSupport::makeSettings(tools);
    QVERIFY(resetPeakMemory());
    const qint64 before = memoryKiB("VmRSS:");

    auto window = std::make_unique<ViewController>(*store, tools.path());
    if (hangs) {
        QTRY_COMPARE_WITH_TIMEOUT(pidsIn(tools.filePath(u"pids"_s)).size(), 2, standInTimeout);
        const QList<qint64> pids = pidsIn(tools.filePath(u"pids"_s));
        // Closing the window leaves nothing of the question running.
        window.reset();
        for (const qint64 pid : pids) {
            QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(pid), standInTimeout);
        }
        return;
    }
    QVERIFY(runUntil([&window] { return window->findChild<QLabel *>(u"downloaderVersionLabel"_s); },
                     downloadTimeout));
    QCOMPARE(window->findChild<QLabel *>(u"downloaderVersionLabel"_s)->text(),
             u"Téléchargeur : youtube-dl 2023.03.04"_s);
    const qint64 growth = memoryKiB("VmHWM:") - before;
    QVERIFY2(growth < memoryGrowthBoundKiB, qPrintable(u"grew by %1 KiB"_s.arg(growth)));
}

void tst_Faults::downloaderFailingAtOnce_data()
{
    QTest::addColumn<int>("tag");
    QTest::newRow("plain") << 0;
    QTest::newRow("audio") << 3;
}

void tst_Faults::downloaderFailingAtOnce()
{
    QFETCH(int, tag);
    StandInWindow w("exit 2\n");
    w.window->downloadButton(tag);
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
    QCOMPARE(w.message(), failurePrefix + u"code de sortie 2"_s);
    QCOMPARE(w.bar()->value(), 0);
    for (const auto &name : {u"getFormatButton"_s, u"downloadButton"_s, u"downloadAudioButton"_s}) {
        QVERIFY2(w.button(name)->isEnabled(), qPrintable(name));
    }
    QVERIFY(!w.button(u"cancelDownloadButton"_s)->isEnabled());
}

void tst_Faults::invalidUtf8InListingAndLog()
{
    StandInWindow w("if [ \"$1\" = -F ]; then\n"
                    "  printf '18 mp4 640x360 caf\\xe9\\n\\xff\\xfe\\x80\\n22 mp4 1280x720 \\xc3\\n'\n"
                    "  exit 0\n"
                    "fi\n"
                    "printf '[download] Destination: %s/clip\\xff.mp4\\n' \"${2%/*}\"\n"
                    "printf '[download]  42.0%% of 10.00MiB at \\xff\\xfeKiB/s ETA 00:01\\r'\n"
                    "while [ ! -e \"${0%/*}/go\" ]; do sleep 0.05; done\n");
    QTest::mouseClick(w.button(u"getFormatButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.button(u"getFormatButton"_s)->isEnabled(), standInTimeout);
    QCOMPARE(w.message(), QString());
    QAbstractItemModel *model = w.window->findChild<QTableView *>(u"tableView"_s)->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0, 0).data().toString(), u"18"_s);
    QCOMPARE(model->index(1, 0).data().toString(), u"22"_s);

    w.window->downloadButton(0);
    // The stand-in waits for the go once the window shows what it printed.
    QTRY_COMPARE_WITH_TIMEOUT(w.bar()->value(), 420, standInTimeout);
    QCOMPARE(w.message(), w.target.path() + u"/clip\uFFFD.mp4"_s);
    QVERIFY(writeFile(w.tools.filePath(u"go"_s), {}));
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
    QCOMPARE(w.message(), QString());
}

void tst_Faults::unusableToolDisablesActions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("not executable") << u"plain file"_s;
    QTest::newRow("a folder") << u"folder"_s;
    QTest::newRow("a dangling link") << u"dangling link"_s;
}

void tst_Faults::unusableToolDisablesActions()
{
    QFETCH(QString, kind);
    QTemporaryDir tools;
    const QString path = tools.filePath(u"youtube-dl"_s);
    if (kind == u"plain file"_s) {
        QVERIFY(writeFile(path, "#!/bin/bash\necho '18 mp4 640x360'\n"));
    } else if (kind == u"folder"_s) {
        QVERIFY(QDir().mkdir(path));
    } else {
        QVERIFY(QFile::link(tools.filePath(u"nowhere"_s), path));
    }
    QVERIFY(QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                        tools.filePath(u"ffmpeg"_s)));
    auto store = TestSupport::makeSettings(tools);
    ViewController window(*store, tools.path());
    int chooserCalls = 0;
    window.setFolderChooser([&chooserCalls](QWidget *) {
        ++chooserCalls;
        return QDir::tempPath();
    });
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(u"http://127.0.0.1:9/v"_s);
    auto *message = window.findChild<QLabel *>(u"messageTextField"_s);

    QCOMPARE(message->text(), missingToolMessage);
    for (const auto &name : {u"getFormatButton"_s, u"downloadButton"_s, u"downloadAudioButton"_s}) {
        QVERIFY2(!window.findChild<QPushButton *>(name)->isEnabled(), qPrintable(name));
    }
    // Called anyway (a key or a menu), the actions only repeat the message.
    message->clear();
    window.getFormatButton();
    QCOMPARE(message->text(), missingToolMessage);
    message->clear();
    window.downloadButton(3);
    QCOMPARE(message->text(), missingToolMessage);
    QVERIFY(!window.isRunning());
    QCOMPARE(chooserCalls, 0);
}

void tst_Faults::toolGoneAfterStartup_data()
{
    QTest::addColumn<bool>("removed");
    QTest::newRow("removed") << true;
    QTest::newRow("no longer executable") << false;
}

void tst_Faults::toolGoneAfterStartup()
{
    QFETCH(bool, removed);
    StandInWindow w("echo '18 mp4 640x360'\n");
    QVERIFY(w.button(u"getFormatButton"_s)->isEnabled());
    if (removed) {
        QVERIFY(QFile::remove(w.tool));
    } else {
        QVERIFY(QFile::setPermissions(w.tool, QFile::ReadOwner | QFile::WriteOwner));
    }

    QTest::mouseClick(w.button(u"getFormatButton"_s), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.button(u"getFormatButton"_s)->isEnabled(), standInTimeout);
    QVERIFY2(w.message().startsWith(u"Impossible de lancer le téléchargeur : "_s),
             qPrintable(w.message()));
    QCOMPARE(w.rowCount(), 0);

    w.window->downloadButton(0);
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);
    QVERIFY2(w.message().startsWith(failurePrefix), qPrintable(w.message()));
    QCOMPARE(QDir(w.target.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    QVERIFY(w.button(u"downloadButton"_s)->isEnabled());
}

void tst_Faults::outputReadLateKeepsTheDownloadedFile()
{
    // Like the real downloader: announce, write the partial file, rename it over the old
    // file. The pause puts the new file's times clearly after the start of the download.
    StandInWindow w("dest=\"${2%/*}/clip137.mp4\"\n"
                    "echo \"[download] Destination: $dest\"\n"
                    "sleep 0.5\n"
                    "printf new > \"$dest.part\" && mv -f -- \"$dest.part\" \"$dest\"\n"
                    "touch \"${0%/*}/written\"\n");
    const QString destination = w.target.filePath(u"clip137.mp4"_s);
    QVERIFY(writeFile(destination, "old"));

    w.window->downloadButton(0);
    // A busy machine: the main thread reads the announcement only after the downloader has
    // written the file. Nothing here lets the event loop run.
    const QDeadlineTimer deadline(standInTimeout);
    while (!QFile::exists(w.tools.filePath(u"written"_s)) && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    QVERIFY(QFile::exists(w.tools.filePath(u"written"_s)));
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), standInTimeout);

    QCOMPARE(w.message(), QString());
    QCOMPARE(readFile(destination), "new"_ba);
}

void tst_Faults::folderGoneDuringRealDownload_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("removed") << u"removed"_s;
    QTest::newRow("replaced by a file") << u"replaced"_s;
    QTest::newRow("made read-only") << u"read-only"_s;
}

void tst_Faults::folderGoneDuringRealDownload()
{
    QFETCH(QString, change);
    if (change == u"read-only"_s && ::geteuid() == 0) {
        QSKIP("Running as root, which writes into read-only folders; the other rows make the "
              "downloader fail instead");
    }
    if (!m_longFixture) {
        // Sixty fragments: the download lasts long enough to change the folder under it.
        DashFixture::Options options;
        options.durationSeconds = 600;
        options.videoSize = u"160x120"_s;
        m_longFixture = std::make_unique<DashFixture>(options);
    }
    QVERIFY2(m_longFixture->isValid(), qPrintable(m_longFixture->errorString()));

    QTemporaryDir parent;
    const QString folder = parent.filePath(u"Vidéos"_s);
    QVERIFY(QDir().mkdir(folder));
    QTemporaryDir settingsDir;
    auto store = TestSupport::makeSettings(settingsDir);
    ViewController window(*store, TestSupport::toolFolder());
    window.setFolderChooser([&folder](QWidget *) { return folder; });
    window.findChild<QLineEdit *>(u"urlYoutube"_s)->setText(m_longFixture->manifestUrl());
    formatList() << formatYoutube{u"137"_s, u" mp4 "_s, {}, {}, ControlState::On};
    Watch watch(window);

    // As soon as the first destination shows, the folder changes under the downloader.
    bool changed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (changed || watch.message->text().isEmpty()) {
            return;
        }
        changed = true;
        if (change == u"read-only"_s) {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            return;
        }
        QDir(folder).removeRecursively();
        if (change == u"replaced"_s) {
            writeFile(folder, "not a folder");
        }
    });
    poll.start(1);

    window.downloadButton(0);
    QVERIFY(window.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), downloadTimeout);
    poll.stop();
    QVERIFY2(changed, "the download ended before the folder changed");
    QVERIFY2(watch.message->text().startsWith(failurePrefix), qPrintable(watch.message->text()));
    QVERIFY(watch.ticks > 0);
    QTRY_VERIFY_WITH_TIMEOUT(processesMentioning(parent.path()).isEmpty(), standInTimeout);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The window goes on: the next download into a sound folder succeeds.
    const QString other = parent.filePath(u"autre"_s);
    QVERIFY(QDir().mkdir(other));
    window.setFolderChooser([&other](QWidget *) { return other; });
    window.downloadButton(0);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isRunning(), downloadTimeout);
    QCOMPARE(watch.message->text(), QString());
    QCOMPARE(QDir(other).entryList({u"*.mp4"_s}, QDir::Files).size(), 1);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
