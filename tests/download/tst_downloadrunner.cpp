// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

using TestSupport::readFile;
using TestSupport::writeFile;

// What a runner reports: "D <path>", "P <percent>", and its end: "finished",
// "failed: <message>" or "cancelled".
struct RunLog
{
    explicit RunLog(DownloadRunner &runner)
    {
        QObject::connect(&runner, &DownloadRunner::destinationAnnounced, &runner,
                         [this](const QString &path) { events << u"D "_s + path; });
        QObject::connect(&runner, &DownloadRunner::progressChanged, &runner,
                         [this](double percent) { events << u"P %1"_s.arg(percent); });
        QObject::connect(&runner, &DownloadRunner::finished, &runner,
                         [this] { ends << u"finished"_s; });
        QObject::connect(&runner, &DownloadRunner::failed, &runner,
                         [this](const QString &message) { ends << u"failed: "_s + message; });
        QObject::connect(&runner, &DownloadRunner::cancelled, &runner,
                         [this] { ends << u"cancelled"_s; });
    }
    QStringList events;
    QStringList ends;
};
} // namespace

class tst_DownloadRunner final : public QObject
{
    Q_OBJECT

private slots:
    void removalStaysInsideFolder_data();
    void removalStaysInsideFolder();
    void realDownload();
    void exitStatus_data();
    void exitStatus();
    void stopLeavesNoProcess_data();
    void stopLeavesNoProcess();
};

void tst_DownloadRunner::removalStaysInsideFolder_data()
{
    QTest::addColumn<QString>("folder"); // the chosen folder
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("removed"); // otherwise refused, with a warning
    const auto row = [](const char *name, const QString &folder, const QString &path,
                        bool removed) { QTest::newRow(name) << folder << path << removed; };
    const QString in = u"folder"_s;

    row("regular file", in, u"folder/clip.mp4"_s, true);
    row("dot-dot staying inside", in, u"folder/sub/../clip.mp4"_s, true);
    row("link to a file outside: only the link", in, u"folder/link.mp4"_s, true);
    row("dangling link", in, u"folder/dangling"_s, true);
    row("folder chosen through a link", u"folderlink"_s, u"folder/clip.mp4"_s, true);
    row("the folder itself", in, u"folder"_s, false);
    row("a subfolder", in, u"folder/sub"_s, false);
    row("a subfolder, with slash", in, u"folder/sub/"_s, false);
    row("outside", in, u"outside/secret.txt"_s, false);
    row("dot-dot escape", in, u"folder/../outside/secret.txt"_s, false);
    row("sibling sharing the name's start", in, u"folderbc/other.mp4"_s, false);
    row("through a linked folder outside", in, u"folder/escape/secret.txt"_s, false);
    row("chosen folder missing", u"gone"_s, u"gone/clip.mp4"_s, false);
}

void tst_DownloadRunner::removalStaysInsideFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QFETCH(bool, removed);
    QTemporaryDir root;
    const auto at = [&root](const QString &name) { return root.filePath(name); };
    const QStringList files {u"folder/clip.mp4"_s, u"folder/sub/inner.mp4"_s,
                             u"outside/secret.txt"_s, u"folderbc/other.mp4"_s};
    for (const QString &file : files) {
        QVERIFY(QDir().mkpath(QFileInfo(at(file)).path()) && writeFile(at(file), "kept"));
    }
    QVERIFY(QFile::link(at(u"outside"_s), at(u"folder/escape"_s))
            && QFile::link(at(u"outside/secret.txt"_s), at(u"folder/link.mp4"_s))
            && QFile::link(at(u"nowhere"_s), at(u"folder/dangling"_s))
            && QFile::link(at(u"folder"_s), at(u"folderlink"_s)));

    if (!removed) {
        const QString text = u"Fichier "_s + at(path) + u" ne peut être supprimé : "_s;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(text)));
    }
    QCOMPARE(deleteFile(at(path), at(folder)), removed);
    QVERIFY(!removed || !(QFileInfo(at(path)).exists() || QFileInfo(at(path)).isSymLink()));
    // Whatever the path, no folder and nothing outside the chosen folder went.
    for (const QString &file : files.sliced(1)) {
        QCOMPARE(readFile(at(file)), "kept"_ba);
    }
    QVERIFY(QFileInfo(at(u"folder/sub"_s)).isDir());
    QVERIFY(QFileInfo(at(u"folder/escape"_s)).isSymLink());
}

void tst_DownloadRunner::realDownload()
{
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto downloader = resourcePath(u"youtube-dl"_s, TestSupport::toolFolder());
    QVERIFY(downloader);

    DownloadRunner runner;
    RunLog log(runner);
    DownloadRequest request;
    request.youtubeDLPath = *downloader;
    request.folder = dir.path();
    request.address = fixture.manifestUrl();
    request.formatIDs = {u"137"_s, u"140"_s};
    runner.start(shellArguments(composeDownloadCommand(request)), dir.path());
    QVERIFY(runner.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(log.ends.size(), 1, downloadTimeout);
    QCOMPARE(log.ends, QStringList {u"finished"_s});
    const QFileInfoList files = QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 2);
    for (const QFileInfo &file : files) {
        QVERIFY2(file.size() > 1000, qPrintable(file.fileName()));
    }
}

void tst_DownloadRunner::exitStatus_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("end");
    const QString failed = u"failed: Échec du téléchargement : "_s;
    QTest::newRow("error line, yet success") << u"echo 'ERROR: ignored'"_s << u"finished"_s;
    QTest::newRow("exit 3") << u"echo 'WARNING: odd'; exit 3"_s << failed + u"code de sortie 3"_s;
    QTest::newRow("the last error line")
        << u"echo 'ERROR: first'; echo 'ERROR:  Vidéo indisponible'; exit 1"_s
        << failed + u"Vidéo indisponible"_s;
    QTest::newRow("crash") << u"kill -KILL $$"_s << failed + u"le téléchargeur s'est arrêté"_s;
}

void tst_DownloadRunner::exitStatus()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, end);
    DownloadRunner runner;
    RunLog log(runner);
    runner.start(shellArguments(commandLine), QDir::tempPath());
    QTRY_COMPARE_WITH_TIMEOUT(log.ends.size(), 1, 30'000);
    QCOMPARE(log.ends.first(), end);
}

void tst_DownloadRunner::stopLeavesNoProcess_data()
{
    QTest::addColumn<bool>("cancel"); // otherwise the runner is destroyed
    QTest::addColumn<QByteArray>("prologue");
    // SIG_IGN is inherited: the whole group ignores SIGTERM and needs SIGKILL.
    const QByteArray ignoreTerm = "trap '' TERM\n";
    QTest::newRow("cancel") << true << QByteArray();
    QTest::newRow("cancel, SIGTERM ignored") << true << ignoreTerm;
    QTest::newRow("destruction") << false << QByteArray();
    QTest::newRow("destruction, SIGTERM ignored") << false << ignoreTerm;
}

void tst_DownloadRunner::stopLeavesNoProcess()
{
    QFETCH(bool, cancel);
    QFETCH(QByteArray, prologue);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"Vidéos d'été"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString destination = folder + u"/clip137.mp4"_s;
    const QString outsidePart = dir.filePath(u"clip137.mp4.part"_s);
    QVERIFY(writeFile(outsidePart, "not ours") && writeFile(destination, "old"));
    // A downloader that leaves partial files, waits until the old file at its announced
    // destination is gone, starts a child and hangs; a progress line under way ends only
    // when the next one starts.
    const QByteArray target = shellQuote(destination).toUtf8();
    const QString standIn = TestSupport::writeScript(
        dir, u"youtube-dl"_s,
        "#!/bin/bash\n" + prologue + "sleep 300 &\necho $$ $! > "
            + shellQuote(dir.filePath(u"pids"_s)).toUtf8() + "\ntouch " + target + ".part " + target
            + ".part-Frag1 " + target + ".ytdl\necho '[download] Destination: '" + target
            + "\nwhile [ -e " + target + " ]; do sleep 0.1; done\n"
            + "printf '\\r[download]  12.5%% of 1\\r[download]  12.6%% of 1'\nwait\n");

    auto runner = std::make_unique<DownloadRunner>();
    RunLog log(*runner);
    runner->start(shellArguments(shellQuote(standIn)), folder);
    QTRY_COMPARE_WITH_TIMEOUT(log.events.size(), 2, 30'000);
    QCOMPARE(log.events, (QStringList {u"D "_s + destination, u"P 12.5"_s}));
    const QList<QByteArray> pids = readFile(dir.filePath(u"pids"_s)).trimmed().split(' ');
    QCOMPARE(pids.size(), 2);
    // A second download while one runs is ignored.
    runner->start(shellArguments(u"touch "_s + shellQuote(dir.filePath(u"second"_s))), folder);

    if (cancel) {
        runner->cancel();
        QTRY_COMPARE_WITH_TIMEOUT(log.ends.size(), 1, 30'000);
        QCOMPARE(log.ends, QStringList {u"cancelled"_s});
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    } else {
        runner.reset();
        // Nothing is told to receivers while the runner is being destroyed.
        QCOMPARE(log.ends, QStringList());
    }
    for (const QByteArray &pid : pids) {
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(pid.toLongLong()), 30'000);
    }
    QVERIFY(!QFile::exists(dir.filePath(u"second"_s)));
    QCOMPARE(readFile(outsidePart), "not ours"_ba);
}

QTEST_GUILESS_MAIN(tst_DownloadRunner)
#include "tst_downloadrunner.moc"
