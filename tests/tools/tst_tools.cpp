// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "tools/FailureExplanation.h"
#include "tools/JavaScriptRuntimes.h"
#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = ShellProcess::EndKind;

namespace {
// What one process reported: its output and its ends (exactly one is expected).
struct Run
{
    explicit Run(ShellProcess &process)
    {
        QObject::connect(&process, &ShellProcess::outputRead, &process,
                         [this](const QByteArray &chunk) { output += chunk; });
        QObject::connect(&process, &ShellProcess::ended, &process,
                         [this](const ShellProcess::End &end) { ends << end; });
    }
    bool waitForEnd() const
    {
        return QTest::qWaitFor([this] { return !ends.isEmpty(); }, 30'000);
    }
    QByteArray output;
    QList<ShellProcess::End> ends;
};
void writeTool(const QString &path, const QByteArray &script)
{
    TestSupport::writeFile(path, "#!/bin/sh\n" + script + '\n');
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

class tst_Tools final : public QObject
{
    Q_OBJECT

private slots:
    void quotedTextArrivesUnchanged_data();
    void quotedTextArrivesUnchanged();
    void endReport_data();
    void endReport();
    void nothingOfTheGroupSurvives_data();
    void nothingOfTheGroupSurvives();
    void failureExplanations_data();
    void failureExplanations();
    void javaScriptRuntimes_data();
    void javaScriptRuntimes();
    void staleness_data();
    void staleness();
    void managedDownloaderFirst_data();
    void managedDownloaderFirst();
};

void tst_Tools::quotedTextArrivesUnchanged_data()
{
    QTest::addColumn<QString>("text");
    // Unquoted, each would run a command, split, or change on its way.
    QTest::newRow("quotes") << u"L'été \"$(touch ran)\" '' \\' `touch ran`"_s;
    QTest::newRow("operators") << u"; touch ran && touch ran | touch ran & > ran 2>&1"_s;
    QTest::newRow("blanks and line ends") << u"  two  words\t\ntouch ran\r\n"_s;
    QTest::newRow("expansions") << u"$HOME ${PATH} * ? [a] ~ !! %(title)s"_s;
    QTest::newRow("option, non-ASCII") << u"--exec=touch ran – 日本語 🎬"_s;
    QTest::newRow("empty") << QString();
}

void tst_Tools::quotedTextArrivesUnchanged()
{
    QFETCH(QString, text);
    ShellProcess process;
    Run run(process);
    process.start(u"printf %s "_s + shellQuote(text));
    QVERIFY(run.waitForEnd());
    QCOMPARE(QString::fromUtf8(run.output), text);
    QVERIFY(run.ends.first().succeeded());
}

void tst_Tools::endReport_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("output");
    const auto row
        = [](const char *name, const QString &line, Kind kind, int code, const QByteArray &output) {
              QTest::newRow(name) << line << int(kind) << code << output;
          };
    row("success, both channels in order", u"echo out; echo err >&2; echo out2"_s, Kind::Exited, 0,
        "out\nerr\nout2\n");
    row("exit status", u"exit 3"_s, Kind::Exited, 3, {});
    row("signal", u"kill -KILL $$"_s, Kind::Crashed, 9, {});
    row("a tool that cannot run", u"/nonexistent/youtube-dl"_s, Kind::Exited, 127,
        "/bin/bash: line 1: /nonexistent/youtube-dl: No such file or directory\n");
    // The output ends when its last writer closes it, not when the shell exits.
    row("a child writes late", u"(sleep 1; echo late) & echo early"_s, Kind::Exited, 0,
        "early\nlate\n");
    row("no input to wait for", u"cat; echo done"_s, Kind::Exited, 0, "done\n");
    // No options from the folder Quorvel was started in: the tools run in an empty one.
    row("working folder", u"[ \"$PWD\" != \"$1\" ] && ls -A"_s, Kind::Exited, 0, {});
}

void tst_Tools::endReport()
{
    QFETCH(QString, commandLine);
    QFETCH(int, kind);
    QFETCH(int, code);
    QFETCH(QByteArray, output);
    QTemporaryDir started;
    QVERIFY(TestSupport::writeFile(started.filePath(u"yt-dlp.conf"_s), "--exec 'touch ran'"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(started.path());
    ShellProcess process;
    Run run(process);
    process.start(commandLine.replace(u"$1"_s, started.path()));
    QDir::setCurrent(previous);
    QVERIFY(process.isRunning());
    QVERIFY(run.waitForEnd());
    QVERIFY(!process.isRunning());
    QCOMPARE(run.ends.size(), 1);
    QCOMPARE(int(run.ends.first().kind), kind);
    QCOMPARE(run.ends.first().code, code);
    QCOMPARE(run.output, output);
}

void tst_Tools::nothingOfTheGroupSurvives_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ignoresTerm"); // SIG_IGN is inherited by the child
    QTest::addColumn<int>("reported"); // -1: nothing
    for (const bool ignores : {false, true}) {
        const char *suffix = ignores ? ", SIGTERM ignored" : "";
        QTest::addRow("success%s", suffix) << u"success"_s << ignores << int(Kind::Exited);
        QTest::addRow("cancel%s", suffix) << u"cancel"_s << ignores << int(Kind::Cancelled);
        QTest::addRow("time limit%s", suffix) << u"time limit"_s << ignores << int(Kind::TimedOut);
        QTest::addRow("destroyed%s", suffix) << u"destroyed"_s << ignores << -1;
        QTest::addRow("cancelled, then destroyed at once%s", suffix)
            << u"cancel and destroy"_s << ignores << -1;
    }
}

void tst_Tools::nothingOfTheGroupSurvives()
{
    QFETCH(QString, how);
    QFETCH(bool, ignoresTerm);
    QFETCH(int, reported);
    QTemporaryDir dir;
    const QString pids = dir.filePath(u"pids"_s);
    // A child that keeps the output open (on success: one that closed it too) and one that
    // closed it, and a shell that waits for them or, on success, leaves them behind.
    const bool success = how == u"success"_s;
    const QString commandLine = (ignoresTerm ? u"trap '' TERM; "_s : QString())
        + (success ? u"sleep 300 >&- 2>&- &"_s : u"sleep 300 &"_s)
        + u" child=$!; sleep 300 >/dev/null 2>&1 & echo $$ $child $! > "_s + shellQuote(pids)
        + (success ? u"; exit 0"_s : u"; wait"_s);
    auto process = std::make_unique<ShellProcess>();
    process->setTimeLimit(how == u"time limit"_s ? 500ms : 0ms);
    Run run(*process);
    process->start(commandLine);
    QTRY_VERIFY(TestSupport::processIds(pids).size() >= 3);
    const QList<qint64> group = TestSupport::processIds(pids);

    if (how.startsWith(u"cancel"_s)) {
        process->cancel();
    }
    if (how.endsWith(u"destroy"_s) || how == u"destroyed"_s) {
        process.reset();
    } else {
        QVERIFY(run.waitForEnd());
    }
    // Said once the group has ended: its members are gone at once, not seconds later.
    QVERIFY(TestSupport::allEnd(group, 500));
    QCOMPARE(run.ends.size(), reported < 0 ? 0 : 1);
    if (reported >= 0) {
        QCOMPARE(int(run.ends.first().kind), reported);
    }
}

void tst_Tools::failureExplanations_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("explanation"); // its start; empty: none
    const auto row = [](const char *name, const QString &line, const QString &explanation) {
        QTest::newRow(name) << line << explanation;
    };
    // As the downloader writes them, "ERROR: " left out.
    row("bot check", u"[youtube] x: Sign in to confirm you’re not a bot. Use --cookies"_s,
        u"le site demande de se connecter"_s);
    row("unsupported", u"Unsupported URL: https://example.com/"_s, u"cette adresse n'est pas"_s);
    row("private", u"[youtube] x: Private video. Sign in if you've been granted access"_s,
        u"la vidéo est indisponible"_s);
    row("403", u"unable to download video data: HTTP Error 403: Forbidden"_s, u"le site refuse"_s);
    row("404, before the report advice",
        u"[generic] None: Unable to download webpage: HTTP Error 404: File not found; please "
        "report this issue on  https://github.com/yt-dlp/yt-dlp/issues?q="_s,
        u"la page est introuvable"_s);
    row("429", u"HTTP Error 429: Too Many Requests"_s, u"le site reçoit trop"_s);
    row("format", u"[youtube] x: Requested format is not available. Use --list-formats"_s,
        u"le format demandé"_s);
    row("challenge", u"[youtube] x: n challenge solving failed: Some formats may be missing"_s,
        u"il manque un moteur JavaScript"_s);
    row("outdated", u"[youtube] x: Unable to extract initial data; please report this issue"_s,
        u"le téléchargeur ne sait plus lire ce site"_s);
    row("no network", u"<urlopen error [Errno -2] Name or service not known>"_s,
        u"pas de réseau"_s);
    row("disk full", u"unable to write data: [Errno 28] No space left on device"_s,
        u"le disque est plein"_s);
    row("permission", u"unable to open for writing: [Errno 13] Permission denied: '/v/a'"_s,
        u"écriture refusée"_s);
    row("anything else", u"Postprocessing: Conversion failed!"_s, {});
}

void tst_Tools::failureExplanations()
{
    QFETCH(QString, line);
    QFETCH(QString, explanation);
    const Failure failure = describeFailure(u"Échec : "_s, line);
    QVERIFY2(
        failure.message.startsWith(u"Échec : "_s + (explanation.isEmpty() ? line : explanation)),
        qPrintable(failure.message));
    QCOMPARE(failure.detail, explanation.isEmpty() ? QString() : line);
}

void tst_Tools::javaScriptRuntimes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("usable");
    QTest::newRow("deno 2.3") << u"deno"_s << u"deno 2.3.1 (stable, release)\nv8 13"_s << u"2.3.1"_s
                              << true;
    QTest::newRow("deno 2.2") << u"deno"_s << u"deno 2.2.9 (stable)"_s << u"2.2.9"_s << false;
    QTest::newRow("node 22") << u"node"_s << u"v22.0.0"_s << u"22.0.0"_s << true;
    QTest::newRow("node 20") << u"node"_s << u"v20.20.2"_s << u"20.20.2"_s << false;
    QTest::newRow("QuickJS 2023-12-09")
        << u"quickjs"_s << u"QuickJS version 2023-12-09\nusage"_s << u"2023-12-09"_s << true;
    QTest::newRow("QuickJS 2021") << u"quickjs"_s << u"QuickJS version 2021-03-27"_s
                                  << u"2021-03-27"_s << false;
    QTest::newRow("bun 1.3.14") << u"bun"_s << u"1.3.14"_s << u"1.3.14"_s << true;
    QTest::newRow("bun 1.3.15") << u"bun"_s << u"1.3.15"_s << u"1.3.15"_s << false;
    QTest::newRow("no answer") << u"node"_s << u"command not found"_s << QString() << false;
}

void tst_Tools::javaScriptRuntimes()
{
    QFETCH(QString, name);
    QFETCH(QString, answer);
    QFETCH(QString, version);
    QFETCH(bool, usable);
    QCOMPARE(javaScriptRuntimeVersion(name, answer), version);
    QCOMPARE(isUsableJavaScriptRuntime(name, version), usable);
}

void tst_Tools::staleness_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("advice");
    const QString update = u" : Outils → Mettre à jour le téléchargeur"_s;
    QTest::newRow("Debian 12's") << u"2023.03.04"_s << u"Téléchargeur du 4 mars 2023"_s + update;
    QTest::newRow("91 days") << u"2026.09.05"_s << u"Téléchargeur du 5 septembre 2026"_s + update;
    QTest::newRow("90 days") << u"2026.09.06"_s << QString();
    QTest::newRow("nightly") << u"2026.12.01.232650"_s << QString();
    QTest::newRow("no date") << u"1.2"_s << QString();
}

void tst_Tools::staleness()
{
    QFETCH(QString, version);
    QFETCH(QString, advice);
    QCOMPARE(stalenessAdvice(version, QDate(2026, 12, 5)), advice);
}

void tst_Tools::managedDownloaderFirst_data()
{
    QTest::addColumn<QByteArray>("managed"); // the managed copy's script; empty: none
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("advice"); // its start
    const QString today = QDate::currentDate().toString(u"yyyy.MM.dd"_s);
    QTest::newRow("none") << QByteArray() << u"Téléchargeur : youtube-dl 2023.03.04 (fourni)"_s
                          << QString() << u"Téléchargeur du 4 mars 2023"_s;
    QTest::newRow("recent, node usable")
        << "echo " + today.toUtf8() << u"Téléchargeur : yt-dlp "_s + today + u" (mis à jour)"_s
        << u"node:"_s << QString();
    QTest::newRow("silent copy gives way")
        << "exit 1"_ba << u"Téléchargeur : youtube-dl 2023.03.04 (fourni)"_s << QString()
        << u"Téléchargeur du"_s;
}

void tst_Tools::managedDownloaderFirst()
{
    QFETCH(QByteArray, managed);
    QFETCH(QString, description);
    QFETCH(QString, option);
    QFETCH(QString, advice);
    QTemporaryDir bundled;
    QTemporaryDir own;
    writeTool(bundled.filePath(u"youtube-dl"_s), "echo 2023.03.04");
    if (!managed.isEmpty()) {
        writeTool(own.filePath(u"youtube-dl"_s), managed);
    }
    // A usable node in Quorvel's tool folder, and none on the PATH.
    writeTool(own.filePath(u"node"_s), "echo v24.1.0");
    const QByteArray path = qgetenv("PATH");
    const auto restore = qScopeGuard([&path] { qputenv("PATH", path); });
    qputenv("PATH", "/nonexistent");
    ToolSet tools;
    tools.lookUp(bundled.path(), own.path());
    tools.askDownloaderVersion();
    QTRY_COMPARE(tools.description(), description);
    QTRY_VERIFY(tools.javaScriptRuntimeOption().startsWith(option));
    QVERIFY2(tools.advice().startsWith(advice), qPrintable(tools.advice()));
    tools.revertToBundled();
    QTRY_COMPARE(tools.description(), u"Téléchargeur : youtube-dl 2023.03.04 (fourni)"_s);
    QCOMPARE(QFile::exists(own.filePath(u"youtube-dl"_s)), managed == "exit 1");
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
