// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "DashFixture.h"
#include "TestSupport.h"
#include "download/DownloadCommand.h"
#include "download/DownloadRunner.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int downloadTimeout = 180'000;
constexpr int standInTimeout = 30'000;

// Whether anything, a dangling link included, is at the path.
bool isPresent(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 readPid(const QString &path)
{
    return readFile(path).trimmed().toLongLong();
}

// Every download ends with exactly one of these.
struct EndSpies
{
    explicit EndSpies(DownloadRunner &runner)
        : finished(&runner, &DownloadRunner::finished)
        , failed(&runner, &DownloadRunner::failed)
        , cancelled(&runner, &DownloadRunner::cancelled)
    {
    }

    qsizetype ends() const { return finished.size() + failed.size() + cancelled.size(); }

    QSignalSpy finished;
    QSignalSpy failed;
    QSignalSpy cancelled;
};
} // namespace

class tst_DownloadRunner final : public QObject
{
    Q_OBJECT

private slots:
    void removalStaysInsideFolder_data();
    void removalStaysInsideFolder();
    void realDownload();
    void missingAddressFails();
    void exitStatus_data();
    void exitStatus();
    void cancelEndsGroupAndRemovesPartialFiles();
    void destructionLeavesNoProcess_data();
    void destructionLeavesNoProcess();
};

void tst_DownloadRunner::removalStaysInsideFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<bool>("warned");

    // Paths relative to the layout built in the test; "folder" is the chosen folder.
    QTest::newRow("regular file") << u"folder"_s << u"folder/clip.mp4"_s << true << false;
    QTest::newRow("dot-dot staying inside")
            << u"folder"_s << u"folder/sub/../clip.mp4"_s << true << false;
    QTest::newRow("link to a file outside: the link goes")
            << u"folder"_s << u"folder/link.mp4"_s << true << false;
    QTest::newRow("dangling link") << u"folder"_s << u"folder/dangling"_s << true << false;
    QTest::newRow("chosen through a link") << u"folderlink"_s << u"folder/clip.mp4"_s << true
                                           << false;
    QTest::newRow("nothing there") << u"folder"_s << u"folder/absent.mp4"_s << false << false;
    QTest::newRow("in a missing subfolder")
            << u"folder"_s << u"folder/none/clip.mp4"_s << false << false;
    QTest::newRow("the folder itself") << u"folder"_s << u"folder"_s << false << true;
    QTest::newRow("a subfolder") << u"folder"_s << u"folder/sub"_s << false << true;
    QTest::newRow("a subfolder, with slash") << u"folder"_s << u"folder/sub/"_s << false << true;
    QTest::newRow("a subfolder, with dot-dot") << u"folder"_s << u"folder/sub/x/.."_s << false
                                               << true;
    QTest::newRow("outside") << u"folder"_s << u"outside/secret.txt"_s << false << true;
    QTest::newRow("dot-dot escape")
            << u"folder"_s << u"folder/../outside/secret.txt"_s << false << true;
    QTest::newRow("deeper dot-dot escape")
            << u"folder"_s << u"folder/sub/../../outside/secret.txt"_s << false << true;
    QTest::newRow("sibling sharing the name's start")
            << u"folder"_s << u"folderbc/other.mp4"_s << false << true;
    QTest::newRow("through a linked folder pointing outside")
            << u"folder"_s << u"folder/escape/secret.txt"_s << false << true;
    QTest::newRow("chosen folder missing") << u"gone"_s << u"gone/clip.mp4"_s << false << true;
}

void tst_DownloadRunner::removalStaysInsideFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(bool, removed);
    QFETCH(bool, warned);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir dir(root.path());
    QVERIFY(dir.mkpath(u"folder/sub/x"_s));
    QVERIFY(dir.mkpath(u"outside"_s));
    QVERIFY(dir.mkpath(u"folderbc"_s));
    QVERIFY(writeFile(root.filePath(u"folder/clip.mp4"_s), "clip"));
    QVERIFY(writeFile(root.filePath(u"folder/sub/inner.mp4"_s), "inner"));
    QVERIFY(writeFile(root.filePath(u"outside/secret.txt"_s), "secret"));
    QVERIFY(writeFile(root.filePath(u"folderbc/other.mp4"_s), "other"));
    QVERIFY(QFile::link(root.filePath(u"outside"_s), root.filePath(u"folder/escape"_s)));
    QVERIFY(QFile::link(root.filePath(u"outside/secret.txt"_s),
                        root.filePath(u"folder/link.mp4"_s)));
    QVERIFY(QFile::link(root.filePath(u"nowhere"_s), root.filePath(u"folder/dangling"_s)));
    QVERIFY(QFile::link(root.filePath(u"folder"_s), root.filePath(u"folderlink"_s)));

    const QString absolutePath = root.filePath(path);
    if (warned) {
        QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(u"^Fichier "_s + QRegularExpression::escape(absolutePath)
                                   + u" ne peut être supprimé : .+"_s));
    }
    QCOMPARE(deleteFile(absolutePath, root.filePath(folder)), removed);
    if (removed) {
        QVERIFY(!isPresent(absolutePath));
    }

    // Whatever the path, no folder and nothing outside the chosen folder went.
    for (const auto &kept : {u"folder"_s, u"folder/sub"_s, u"folder/sub/x"_s,
                             u"folder/sub/inner.mp4"_s, u"outside"_s, u"folderbc/other.mp4"_s}) {
        QVERIFY2(QFileInfo::exists(root.filePath(kept)), qPrintable(kept));
    }
    QCOMPARE(readFile(root.filePath(u"outside/secret.txt"_s)), "secret"_ba);
    QVERIFY(QFileInfo(root.filePath(u"folder/escape"_s)).isSymLink());
}

void tst_DownloadRunner::realDownload()
{
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const auto downloader = resourcePath(u"youtube-dl"_s, TestSupport::toolFolder());
    QVERIFY(downloader);

    DownloadRequest request;
    request.youtubeDLPath = *downloader;
    request.folder = folder.path();
    request.address = fixture.manifestUrl();
    request.formatIDs = {u"137"_s, u"140"_s};

    DownloadRunner runner;
    QStringList destinations;
    double highest = 0.0;
    connect(&runner, &DownloadRunner::destinationAnnounced, this,
            [&](const QString &path) { destinations << path; });
    connect(&runner, &DownloadRunner::progressChanged, this,
            [&](double percent) { highest = std::max(highest, percent); });
    EndSpies spies(runner);
    QSignalSpy started(&runner, &DownloadRunner::started);

    runner.start(shellArguments(composeDownloadCommand(request)), folder.path());
    QVERIFY(runner.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(spies.ends(), 1, downloadTimeout);
    QVERIFY2(spies.finished.size() == 1,
             spies.failed.isEmpty() ? "" : qPrintable(spies.failed.first().first().toString()));
    QCOMPARE(started.size(), 1);
    QVERIFY(!runner.isRunning());
    QCOMPARE(highest, 100.0);

    QCOMPARE(destinations.size(), 2);
    QVERIFY(destinations.at(0).contains(u"137"_s));
    QVERIFY(destinations.at(1).contains(u"140"_s));
    QList<qint64> sizes;
    for (const QString &destination : std::as_const(destinations)) {
        const QFileInfo file(destination);
        QCOMPARE(file.absolutePath(), QDir(folder.path()).absolutePath());
        QVERIFY2(file.isFile() && file.size() > 1000, qPrintable(destination));
        sizes << file.size();
    }

    // Again over stale files: each is replaced by the new download.
    for (const QString &destination : std::as_const(destinations)) {
        QVERIFY(writeFile(destination, "stale"));
    }
    destinations.clear();
    runner.start(shellArguments(composeDownloadCommand(request)), folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(spies.ends(), 2, downloadTimeout);
    QCOMPARE(spies.finished.size(), 2);
    QCOMPARE(destinations.size(), 2);
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        QCOMPARE(QFileInfo(destinations.at(i)).size(), sizes.at(i));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void tst_DownloadRunner::missingAddressFails()
{
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const auto downloader = resourcePath(u"youtube-dl"_s, TestSupport::toolFolder());
    QVERIFY(downloader);

    DownloadRequest request;
    request.youtubeDLPath = *downloader;
    request.folder = folder.path();
    request.address = fixture.missingUrl();

    DownloadRunner runner;
    EndSpies spies(runner);
    runner.start(shellArguments(composeDownloadCommand(request)), folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(spies.ends(), 1, downloadTimeout);
    QCOMPARE(spies.failed.size(), 1);
    const QString message = spies.failed.first().first().toString();
    QVERIFY2(message.startsWith(u"Échec du téléchargement : "_s), qPrintable(message));
    QVERIFY2(message.contains(u"404"_s), qPrintable(message));
    QVERIFY(QDir(folder.path()).isEmpty());
}

void tst_DownloadRunner::exitStatus_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("failure"); // empty: the download finished

    QTest::newRow("success") << u"echo '[download] 100% of 1.00MiB'"_s << QString();
    QTest::newRow("error line, yet success") << u"echo 'ERROR: ignored'"_s << QString();
    QTest::newRow("exit 3, no error line") << u"echo 'WARNING: odd'; exit 3"_s
                                           << u"Échec du téléchargement : code de sortie 3"_s;
    QTest::newRow("the last error line")
            << u"echo 'ERROR: first'; echo 'ERROR:  Vidéo indisponible'; exit 1"_s
            << u"Échec du téléchargement : Vidéo indisponible"_s;
    QTest::newRow("unfinished error line") << u"printf 'ERROR: cut short'; exit 2"_s
                                           << u"Échec du téléchargement : cut short"_s;
    QTest::newRow("crash") << u"kill -KILL $$"_s
                           << u"Échec du téléchargement : le téléchargeur s'est arrêté"_s;
}

void tst_DownloadRunner::exitStatus()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, failure);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());

    DownloadRunner runner;
    EndSpies spies(runner);
    runner.start(shellArguments(commandLine), folder.path());
    QTRY_COMPARE_WITH_TIMEOUT(spies.ends(), 1, standInTimeout);
    if (failure.isEmpty()) {
        QCOMPARE(spies.finished.size(), 1);
    } else {
        QCOMPARE(spies.failed.size(), 1);
        QCOMPARE(spies.failed.first().first().toString(), failure);
    }
}

void tst_DownloadRunner::cancelEndsGroupAndRemovesPartialFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"Vidéos d'été"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString destination = folder + u"/clip137.mp4"_s;
    const QString outsidePart = dir.filePath(u"clip137.mp4.part"_s);
    QVERIFY(writeFile(outsidePart, "not ours"));

    // A downloader that leaves partial files, starts a child of its own and hangs.
    const QByteArray quotedDestination = shellQuote(destination).toUtf8();
    const QString standIn = TestSupport::writeScript(
            dir, u"youtube-dl"_s,
            "#!/bin/bash\n"
            "sleep 300 &\n"
            "echo $! > " + shellQuote(dir.filePath(u"child.pid"_s)).toUtf8() + "\n"
            "echo $$ > " + shellQuote(dir.filePath(u"main.pid"_s)).toUtf8() + "\n"
            "touch " + quotedDestination + ".part " + quotedDestination + ".part-Frag1 "
            + quotedDestination + ".ytdl\n"
            "echo '[download] Destination: '" + quotedDestination + "\n"
            // The progress line under way ends only when the next one starts.
            "printf '\\r[download]  12.5%% of 10.00MiB\\r[download]  12.6%% of 10.00MiB'\n"
            "sleep 300\n");
    DownloadRequest request;
    request.youtubeDLPath = standIn;
    request.folder = folder;
    request.address = u"https://example.invalid/watch"_s;

    DownloadRunner runner;
    EndSpies spies(runner);
    QSignalSpy started(&runner, &DownloadRunner::started);
    QSignalSpy announced(&runner, &DownloadRunner::destinationAnnounced);
    QSignalSpy progress(&runner, &DownloadRunner::progressChanged);
    runner.start(shellArguments(composeDownloadCommand(request)), folder);
    QTRY_COMPARE_WITH_TIMEOUT(progress.size(), 1, standInTimeout);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(announced.first().first().toString(), destination);
    QCOMPARE(progress.first().first().toDouble(), 12.5);
    QTRY_VERIFY(readPid(dir.filePath(u"child.pid"_s)) > 0);
    const qint64 child = readPid(dir.filePath(u"child.pid"_s));
    const qint64 main = readPid(dir.filePath(u"main.pid"_s));
    QVERIFY(TestSupport::isProcessAlive(child));

    // A second download while one runs is ignored.
    runner.start(shellArguments(u"touch "_s + shellQuote(dir.filePath(u"second"_s))), folder);
    QCOMPARE(started.size(), 1);

    runner.cancel();
    QTRY_COMPARE_WITH_TIMEOUT(spies.ends(), 1, standInTimeout);
    QCOMPARE(spies.cancelled.size(), 1);
    QVERIFY(!runner.isRunning());
    QTRY_VERIFY(!TestSupport::isProcessAlive(child));
    QVERIFY(!TestSupport::isProcessAlive(main));
    QVERIFY(!isPresent(destination + u".part"_s));
    QVERIFY(!isPresent(destination + u".part-Frag1"_s));
    QVERIFY(!isPresent(destination + u".ytdl"_s));
    QVERIFY(!QFile::exists(dir.filePath(u"second"_s)));
    QCOMPARE(readFile(outsidePart), "not ours"_ba);
}

void tst_DownloadRunner::destructionLeavesNoProcess_data()
{
    QTest::addColumn<QByteArray>("prologue");
    QTest::newRow("plain") << QByteArray();
    // SIG_IGN is inherited: the whole group ignores SIGTERM and needs SIGKILL.
    QTest::newRow("ignoring SIGTERM") << "trap '' TERM\n"_ba;
}

void tst_DownloadRunner::destructionLeavesNoProcess()
{
    QFETCH(QByteArray, prologue);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pidFile = dir.filePath(u"pids"_s);
    const QString standIn = TestSupport::writeScript(
            dir, u"youtube-dl"_s,
            "#!/bin/bash\n" + prologue + "sleep 300 &\n"
            "echo $$ $! > " + shellQuote(pidFile).toUtf8() + "\n"
            "wait\n");

    auto runner = std::make_unique<DownloadRunner>();
    QSignalSpy cancelled(runner.get(), &DownloadRunner::cancelled);
    runner->start(shellArguments(shellQuote(standIn)), dir.path());
    QTRY_VERIFY(readFile(pidFile).endsWith('\n'));
    const QList<QByteArray> pids = readFile(pidFile).trimmed().split(' ');
    QCOMPARE(pids.size(), 2);
    for (const QByteArray &pid : pids) {
        QVERIFY(TestSupport::isProcessAlive(pid.toLongLong()));
    }

    runner.reset();
    for (const QByteArray &pid : pids) {
        QTRY_VERIFY2(!TestSupport::isProcessAlive(pid.toLongLong()), pid.constData());
    }
    // Nothing is told to receivers while the runner is being destroyed.
    QCOMPARE(cancelled.size(), 0);
}

QTEST_GUILESS_MAIN(tst_DownloadRunner)
#include "tst_downloadrunner.moc"
