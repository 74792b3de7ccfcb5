// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "DashFixture.h"
#include "TestSupport.h"
#include "app/ViewController.h"
#include "catalogue/FormatList.h"
#include "tools/ToolLookup.h"
#include "tools/ToolVersionQuery.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {
constexpr int timeout = 180'000;
// Far below the 100 MB that the flooding downloaders write.
constexpr qint64 memoryGrowthBoundKiB = 60 * 1024;
const QString answersVersion = u"[ \"$1\" = --version ] && { echo 2023.03.04; exit 0; }\n"_s;
// Hangs, with a child that names the tool folder on its command line.
const QString hangingChild = u"(exec -a \"${0%/*}/child\" sleep 300) &\nwait\n"_s;

// A field of /proc/self/status in KiB: "VmRSS:" now, "VmHWM:" at the peak.
qint64 memoryKiB(QByteArrayView field)
{
    const QByteArray status = readFile(u"/proc/self/status"_s);
    const qsizetype at = status.indexOf(field);
    return at < 0 ? -1 : status.sliced(at + field.size()).trimmed().split(' ').first().toLongLong();
}

// The memory now, the peak so far forgotten: VmHWM then measures from now on.
qint64 restartPeakMemory()
{
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1 ? memoryKiB("VmRSS:")
                                                                             : -1;
}

// Whether a live process other than this one names `text` on its command line.
bool anyProcessMentions(const QString &text)
{
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return std::any_of(entries.cbegin(), entries.cend(), [&text](const QString &entry) {
        const qint64 pid = entry.toLongLong();
        return pid > 0 && pid != QCoreApplication::applicationPid()
            && readFile(u"/proc/"_s + entry + u"/cmdline"_s).contains(QFile::encodeName(text))
            && TestSupport::isProcessAlive(pid);
    });
}

// A window whose tool folder holds a stand-in downloader (a bash script, which finds its
// own folder as "${0%/*}") and the real converter; the folder chooser answers `target`.
struct StandInWindow
{
    explicit StandInWindow(const QString &script)
        : store(TestSupport::makeSettings(tools))
    {
        TestSupport::writeScript(tools, u"youtube-dl"_s, "#!/bin/bash\n" + script.toUtf8());
        QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                    tools.filePath(u"ffmpeg"_s));
        window = std::make_unique<ViewController>(*store, tools.path());
        window->setFolderChooser([this](QWidget *) { return target.path(); });
        window->setAddress(u"http://127.0.0.1:9/v"_s);
    }

    QString message() const { return window->findChild<QLabel *>(u"messageTextField"_s)->text(); }

    QTemporaryDir tools;
    QTemporaryDir target;
    std::unique_ptr<QSettings> store;
    std::unique_ptr<ViewController> window;
};
} // namespace

class tst_Faults final : public QObject
{
    Q_OBJECT

private slots:
    void floodKeepsTheWindowAnswering_data();
    void floodKeepsTheWindowAnswering();
    void queryThatNeverEndsIsStopped();
    void versionFloodCostsNoMemory();
    void versionQueryThatHangsEndsWithTheWindow();
    void outputReadLateKeepsTheDownloadedFile();
    void folderRemovedDuringRealDownload();
};

void tst_Faults::floodKeepsTheWindowAnswering_data()
{
    QTest::addColumn<QString>("script");
    QTest::newRow("100 MB of progress lines")
        << u"yes '[download]  50.0% of 10.00MiB' | head -c 100000000 | tr '\\n' '\\r'\n"_s;
    QTest::newRow("100 MB line that never ends")
        << u"yes '[download]  50.0% of 10.00MiB' | tr -d '\\n' | head -c 100000000\n"_s;
}

void tst_Faults::floodKeepsTheWindowAnswering()
{
    QFETCH(QString, script);
    StandInWindow w(answersVersion + script);
    auto *bar = w.window->findChild<QProgressBar *>(u"progressBar"_s);
    int highestBar = 0;
    connect(bar, &QProgressBar::valueChanged, this,
            [&highestBar](int value) { highestBar = std::max(highestBar, value); });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    const qint64 before = restartPeakMemory();
    QVERIFY(before > 0);

    w.window->downloadButton(0);
    QVERIFY(w.window->isRunning());
    // A spy's wait runs the event loop as the application does, without QTRY's pauses.
    QSignalSpy ended(w.window.get(), &ViewController::isRunningChanged);
    QVERIFY(ended.wait(timeout));

    QVERIFY2(ticks > 0, "the main thread stood still during the flood");
    const qint64 growth = memoryKiB("VmHWM:") - before;
    QVERIFY2(growth < memoryGrowthBoundKiB, qPrintable(u"grew by %1 KiB"_s.arg(growth)));
    QCOMPARE(highestBar, 500);
    QCOMPARE(w.message(), QString());
}

void tst_Faults::queryThatNeverEndsIsStopped()
{
    StandInWindow w(answersVersion + hangingChild);
    w.window->setQueryTimeout(1s);
    auto *getFormats = w.window->findChild<QPushButton *>(u"getFormatButton"_s);
    QTest::mouseClick(getFormats, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.message(), u"Délai dépassé : le téléchargeur ne répond pas"_s,
                              timeout);
    QVERIFY(getFormats->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(w.tools.path()), timeout);
}

void tst_Faults::versionFloodCostsNoMemory()
{
    const qint64 before = restartPeakMemory();
    QVERIFY(before > 0);
    StandInWindow w(u"yes 2023.03.04 | head -c 100000000\n"_s);
    QSignalSpy read(w.window->findChild<ToolVersionQuery *>(), &ToolVersionQuery::versionRead);
    QVERIFY(read.wait(timeout));
    QCOMPARE(w.window->findChild<QLabel *>(u"downloaderVersionLabel"_s)->text(),
             u"Téléchargeur : youtube-dl 2023.03.04"_s);
    const qint64 growth = memoryKiB("VmHWM:") - before;
    QVERIFY2(growth < memoryGrowthBoundKiB, qPrintable(u"grew by %1 KiB"_s.arg(growth)));
}

void tst_Faults::versionQueryThatHangsEndsWithTheWindow()
{
    StandInWindow w(u"echo 2023.03.04\n"_s + hangingChild);
    QTRY_VERIFY_WITH_TIMEOUT(anyProcessMentions(w.tools.filePath(u"child"_s)), timeout);
    w.window.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(w.tools.path()), timeout);
}

void tst_Faults::outputReadLateKeepsTheDownloadedFile()
{
    // Announces, then writes the file as the real downloader does, its times clearly after
    // the start of the download.
    StandInWindow w(answersVersion
                    + u"dest=\"${2%/*}/clip137.mp4\"\n"
                      "echo \"[download] Destination: $dest\"\n"
                      "sleep 0.5\n"
                      "printf new > \"$dest.part\" && mv -f -- \"$dest.part\" \"$dest\"\n"
                      "touch \"${0%/*}/written\"\n"_s);
    const QString destination = w.target.filePath(u"clip137.mp4"_s);
    QVERIFY(writeFile(destination, "old"));

    w.window->downloadButton(0);
    // A busy machine: the window reads the announcement only once the file is written.
    const QDeadlineTimer deadline(timeout);
    while (!QFile::exists(w.tools.filePath(u"written"_s)) && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    QVERIFY(QFile::exists(w.tools.filePath(u"written"_s)));
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), timeout);
    QCOMPARE(w.message(), QString());
    QCOMPARE(readFile(destination), "new"_ba);
}

void tst_Faults::folderRemovedDuringRealDownload()
{
    // Slowed down, the download lasts long enough to remove the folder under it.
    DashFixture::Options options;
    options.durationSeconds = 30;
    const DashFixture fixture(options);
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    StandInWindow w(answersVersion + u"exec '"_s + TestSupport::toolFolder()
                    + u"/youtube-dl' --limit-rate 100K \"$@\"\n"_s);
    w.window->setAddress(fixture.manifestUrl());
    formatList() << formatYoutube {u"137"_s, u" mp4 "_s, {}, {}, ControlState::On};

    // As soon as the first destination shows, the folder goes.
    bool removed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!removed && !w.message().isEmpty()) {
            removed = QDir(w.target.path()).removeRecursively();
        }
    });
    poll.start(1);
    w.window->downloadButton(0);
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), timeout);
    QVERIFY2(removed, "the download ended before the folder went");
    QVERIFY2(w.message().startsWith(u"Échec du téléchargement : "_s), qPrintable(w.message()));
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(w.target.path()), timeout);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
