// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"

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
} // namespace

class tst_ShellProcess final : public QObject
{
    Q_OBJECT

private slots:
    void quotedTextArrivesUnchanged_data();
    void quotedTextArrivesUnchanged();
    void endReport_data();
    void endReport();
    void nothingOfTheGroupSurvives_data();
    void nothingOfTheGroupSurvives();
};

void tst_ShellProcess::quotedTextArrivesUnchanged_data()
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

void tst_ShellProcess::quotedTextArrivesUnchanged()
{
    QFETCH(QString, text);
    ShellProcess process;
    Run run(process);
    process.start(u"printf %s "_s + shellQuote(text));
    QVERIFY(run.waitForEnd());
    QCOMPARE(QString::fromUtf8(run.output), text);
    QVERIFY(run.ends.first().succeeded());
}

void tst_ShellProcess::endReport_data()
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

void tst_ShellProcess::endReport()
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

void tst_ShellProcess::nothingOfTheGroupSurvives_data()
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

void tst_ShellProcess::nothingOfTheGroupSurvives()
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

QTEST_GUILESS_MAIN(tst_ShellProcess)
#include "tst_shellprocess.moc"
