// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "tools/Cookies.h"
#include "tools/FailureExplanation.h"
#include "tools/JavaScriptRuntimes.h"
#include "tools/PlainText.h"
#include "tools/ProcessGroup.h"
#include "tools/ShellCommand.h"
#include "tools/ShellProcess.h"
#include "tools/SingleInstance.h"
#include "tools/ToolInstaller.h"
#include "tools/ToolSet.h"

#include <csignal>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Kind = ShellProcess::EndKind;

namespace {
// What a run writes and its ends (exactly one is expected).
struct Run
{
    explicit Run(ShellProcess &process)
    {
        QObject::connect(&process, &ShellProcess::outputRead, &process,
                         [this](auto chunk) { output += chunk; });
        QObject::connect(&process, &ShellProcess::ended, &process,
                         [this](auto end) { ends << end; });
    }
    bool waitForEnd() const
    {
        return QTest::qWaitFor([this] { return !ends.isEmpty(); }, 30'000);
    }
    QByteArray output;
    QList<ShellProcess::End> ends;
};

// The process ids written, separated by blanks, into a file.
QList<qint64> processIds(const QString &file)
{
    QList<qint64> pids;
    for (const QByteArray &word : TestSupport::readFile(file).simplified().split(' ')) {
        pids << word.toLongLong();
    }
    pids.removeAll(0);
    return pids;
}

// Whether all these processes end (zombies count as ended) within the time.
bool allEnd(const QList<qint64> &pids, int milliseconds)
{
    // The state follows the command name, which is in parentheses and may hold blanks.
    const auto alive = [](qint64 pid) {
        const QByteArray stat = TestSupport::readFile(u"/proc/%1/stat"_s.arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        return close >= 0 && close + 2 < stat.size() && stat.at(close + 2) != 'Z';
    };
    return QTest::qWaitFor([&] { return std::none_of(pids.cbegin(), pids.cend(), alive); },
                           milliseconds);
}
} // namespace

class tst_Tools final : public QObject
{
    Q_OBJECT

private slots:
    void quotingAndTextRules();
    void oneInstanceTakesTheAddress();
    void passingFailures_data();
    void passingFailures();
    void cookieFiles_data();
    void cookieFiles();
    void browserProfiles_data();
    void browserProfiles();
    void onlyRuntimesThatAnswerCount();
    void endReport_data();
    void endReport();
    void nothingOfTheGroupSurvives_data();
    void nothingOfTheGroupSurvives();
    void nothingOutlivesAKilledQuorvel_data();
    void nothingOutlivesAKilledQuorvel();
    void install_data();
    void install();
};

void tst_Tools::quotingAndTextRules()
{
    // Unquoted, each would run a command, split, or change on its way through the shell.
    for (const QString &text :
         {u"L'été \"$(touch ran)\" '' \\' `touch ran`"_s,
          u"; touch ran && touch ran | touch ran & > ran 2>&1"_s,
          u"  two  words\t\ntouch ran\r\n"_s, u"$HOME ${PATH} * ? [a] ~ !! %(title)s"_s,
          u"--exec=touch ran – 日本語 🎬"_s, QString()}) {
        ShellProcess process;
        Run run(process);
        process.start(u"printf %s "_s + shellQuote(text));
        QVERIFY(run.waitForEnd());
        QCOMPARE(QString::fromUtf8(run.output), text);
    }
    // The downloader's common failures, in French, its own line kept as the detail.
    for (const auto &[line, explanation] : QList<std::pair<QString, QString>> {
             {u"[youtube] x: Sign in to confirm you’re not a bot. Use --cookies"_s,
              u"le site demande de se connecter"_s},
             {u"Unsupported URL: https://example.com/"_s, u"cette adresse n'est pas"_s},
             {u"[generic] x: Unable to download webpage: HTTP Error 401: Unauthorized"_s,
              u"le site demande de se connecter (HTTP 401) ; donnez au téléchargeur les cookies"_s},
             {u"FileNotFoundError: could not find firefox cookies database in /x"_s,
              u"le téléchargeur n'a pas pu lire les cookies de ce navigateur"_s},
             {u"unable to download video data: HTTP Error 403: Forbidden"_s, u"le site refuse"_s},
             {u"[youtube] x: n challenge solving failed"_s, u"il manque un moteur JavaScript"_s},
             {u"[youtube] x: Unable to extract initial data"_s, u"le téléchargeur ne sait plus"_s},
             {u"<urlopen error [Errno -2] Name or service not known>"_s, u"pas de réseau"_s},
             {u"[Errno 28] No space left on device"_s, u"le disque est plein"_s},
             // What the server or a title says explains nothing.
             {u"video data: HTTP Error 500: No space left on device"_s, QString()},
             {u"HTTP Error 500: Permission denied"_s, QString()},
             {u"[Errno 13] Permission denied: '/v/No space left on device.part'"_s,
              u"écriture refusée"_s},
             {u"Postprocessing: Conversion failed!"_s, QString()}}) {
        const Failure failure = describeFailure(u"Échec : "_s, line);
        QVERIFY2(failure.message.startsWith(u"Échec : "_s
                                            + (explanation.isEmpty() ? line : explanation)),
                 qPrintable(failure.message));
        QCOMPARE(failure.detail, explanation.isEmpty() ? QString() : line);
    }
    // Outside text shown as stored: no markup, no reordering, no control characters.
    for (const auto &[text, shown, escaped] : QList<std::tuple<QString, QString, QString>> {
             {u"<b>a</b> & <img src=\"file:///x\">"_s, u"<b>a</b> & <img src=\"file:///x\">"_s,
              u"&lt;b&gt;a&lt;/b&gt; &amp; &lt;img src=&quot;file:///x&quot;&gt;"_s},
             {u"fichier \u202Eexe.gpj\u202C \u2067a\u2069 \u202Ab"_s, u"fichier exe.gpj a b"_s,
              u"fichier exe.gpj a b"_s},
             {u"a\tb\r\nc\u007F  d"_s, u"a b  c   d"_s, u"a b  c   d"_s},
             {u"\u202E"_s, QString(), QString()}}) {
        QCOMPARE(shownText(text), shown);
        QCOMPARE(plainToolTip(text),
                 shown.isEmpty()
                     ? QString()
                     : u"<qt><p style=\"white-space:pre-wrap\">%1</p></qt>"_s.arg(escaped));
    }
    // A runtime's answer, and whether the downloader can use it.
    for (const auto &[name, answer, version, usable] :
         QList<std::tuple<QString, QString, QString, bool>> {
             {u"deno"_s, u"deno 2.3.0 (stable, release)\nv8 13"_s, u"2.3.0"_s, true},
             {u"deno"_s, u"deno 2.2.12"_s, u"2.2.12"_s, false},
             {u"node"_s, u"v22.0.0"_s, u"22.0.0"_s, true},
             {u"node"_s, u"v21.7.3"_s, u"21.7.3"_s, false},
             {u"quickjs"_s, u"QuickJS version 2023-12-09\nusage: qjs"_s, u"2023-12-09"_s, true},
             {u"quickjs"_s, u"QuickJS version 2023-12-08"_s, u"2023-12-08"_s, false},
             {u"quickjs"_s, u"QuickJS version 9999-99-99"_s, u"9999-99-99"_s, false},
             {u"bun"_s, u"1.2.11"_s, u"1.2.11"_s, true},
             {u"bun"_s, u"1.2.10"_s, u"1.2.10"_s, false},
             {u"bun"_s, u"1.3.14"_s, u"1.3.14"_s, true},
             {u"bun"_s, u"1.3.15"_s, u"1.3.15"_s, false},
             {u"node"_s, u"command not found"_s, QString(), false}}) {
        QCOMPARE(javaScriptRuntimeVersion(name, answer), version);
        QCOMPARE(isUsableJavaScriptRuntime(name, version), usable);
    }
    // A downloader older than 90 days says so.
    const QString update = u" : Outils → Mettre à jour le téléchargeur"_s;
    for (const auto &[version, advice] : QList<std::pair<QString, QString>> {
             {u"2026.09.05"_s, u"Téléchargeur du 5 septembre 2026"_s + update},
             {u"2026.09.06"_s, {}},
             {u"2026.12.01.232650"_s, {}},
             {u"1.2"_s, {}}}) {
        QCOMPARE(stalenessAdvice(version, QDate(2026, 12, 5)), advice);
    }
    // A downloader replaced by one of the same size and modification time is asked again.
    QTemporaryDir dir;
    const auto store = TestSupport::makeSettings(dir);
    ToolSet tools;
    tools.setVersionCache(store.get());
    for (const QByteArray version : {"2025.01.01", "2025.01.02"}) {
        QFile file(dir.filePath(u"youtube-dl"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                && file.write("#!/bin/sh\necho " + version + '\n') > 0
                && file.setFileTime(QDateTime(QDate(2025, 1, 1), {}), QFile::FileModificationTime)
                && file.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        file.close();
        tools.lookUp({}, dir.path());
        tools.askDownloaderVersion();
        QTRY_COMPARE(tools.downloaderVersion(), QString::fromLatin1(version));
    }
}

void tst_Tools::passingFailures_data()
{
    QTest::addColumn<QString>("line"); // the downloader's error line, or the exit status
    QTest::addColumn<bool>("passing");
    QTest::addColumn<bool>("signIn"); // asksForSignIn(): cookies are the way out
    const auto row = [](const char *name, const QString &line, bool passing, bool signIn = false) {
        QTest::newRow(name) << line << passing << signIn;
    };
    // As the downloader of March 2023 writes them, on the statuses of the test server.
    const QString report = u" (caused by <HTTPError %1>); please report this issue on"_s;
    row("connection refused",
        u"[generic] None: Unable to download webpage: <urlopen error [Errno 111] Connection "
        "refused> (caused by URLError(ConnectionRefusedError(111, 'Connection refused')))"_s,
        true);
    row("timed out", u"Unable to download video data: The read operation timed out"_s, true);
    row("no name resolution", u"<urlopen error [Errno -3] Temporary failure in name resolution>"_s,
        true);
    row("fragment lost", u"fragment 1 not found, unable to continue"_s, true);
    row("HTTP 403", u"unable to download video data: HTTP Error 403: Forbidden"_s, true, true);
    row("HTTP 429", u"[generic] x: Unable to download webpage: HTTP Error 429: Too Many"_s, true,
        true);
    row("HTTP 401",
        u"[generic] x: Unable to download webpage: HTTP Error 401: Unauthorized"_s
            + report.arg(u"401: 'Unauthorized'"_s),
        false, true);
    row("HTTP 500, the server says login required", u"HTTP Error 500: login required"_s, true);
    row("HTTP 503",
        u"[generic] None: Unable to download webpage: HTTP Error 503: Service Unavailable"_s
            + report.arg(u"503: 'Service Unavailable'"_s),
        true);
    row("HTTP 404",
        u"[generic] None: Unable to download webpage: HTTP Error 404: Not Found"_s
            + report.arg(u"404: 'Not Found'"_s),
        false);
    // The server's reason phrase is not the downloader's word.
    row("HTTP 404, the server says timed out", u"HTTP Error 404: Connection timed out"_s, false);
    row("HTTP 500, the server says no space", u"HTTP Error 500: No space left on device"_s, true);
    row("unavailable", u"[youtube] x: Video unavailable"_s, false);
    row("not a bot", u"[youtube] x: Sign in to confirm you’re not a bot"_s, false, true);
    row("members only", u"[youtube] x: Join this channel to get access to members-only content"_s,
        false, true);
    row("browser's cookies unreadable",
        u"FileNotFoundError: could not find firefox cookies database in /x"_s, false);
    row("format gone", u"[info] x: Requested format is not available"_s, false);
    row("disk full while fetching",
        u"unable to download video data: [Errno 28] No space left on device"_s, false);
    row("unknown line", u"Postprocessing: Conversion failed!"_s, false);
    row("exit status only", u"code de sortie 1"_s, false);
}

void tst_Tools::passingFailures()
{
    QFETCH(QString, line);
    QFETCH(bool, passing);
    QFETCH(bool, signIn);
    QCOMPARE(isPassingFailure(line), passing);
    QCOMPARE(asksForSignIn(line), signIn);
}

void tst_Tools::cookieFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("problem"); // %1: the file; empty: a copy is made
    const auto row = [](const char *name, const QByteArray &content, const QString &problem) {
        QTest::newRow(name) << content << problem;
    };
    const QString notNetscape
        = u"Le fichier %1 n'est pas au format Netscape (cookies.txt) : ligne "_s;
    const QString noCookie = u"Le fichier %1 ne contient aucun cookie"_s;
    row("with the format's line",
        "# Netscape HTTP Cookie File\n\n.a.com\tTRUE\t/\tFALSE\t0\tpass\ts3cret\n", {});
    row("without it, no last line break", "127.0.0.1\tFALSE\t/\tFALSE\t1999999999\tp\tv", {});
    row("HttpOnly, no expiry", "#HttpOnly_.a.com\tTRUE\t/\tTRUE\t\tsid\tx\n", {});
    row("CR LF", "# Netscape HTTP Cookie File\r\n# x\r\n\r\na\tFALSE\t/\tFALSE\t0\tn\tv\r\n", {});
    row("JSON", " \n [{\"domain\": \".a.com\"}]",
        u"Le fichier %1 est au format JSON ; exportez les cookies au format Netscape "
        "(cookies.txt)"_s);
    row("HTML", "<!DOCTYPE html>\n<html></html>\n", notNetscape + u'1');
    row("six fields", "# Netscape HTTP Cookie File\na\tFALSE\t/\tFALSE\t0\tn\n",
        notNetscape + u'2');
    row("expiry not a number", "a\tFALSE\t/\tFALSE\tsoon\tn\tv\n", notNetscape + u'1');
    row("empty", "", noCookie);
    row("only comments", "# Netscape HTTP Cookie File\n# nothing\n\n", noCookie);
    row("missing", {}, u"Fichier de cookies illisible : %1"_s);
}

void tst_Tools::cookieFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"mes cookies.txt"_s);
    QVERIFY(content.isNull() || TestSupport::writeFile(file, content));
    const QString expected = problem.isEmpty() ? QString() : problem.arg(file);
    QCOMPARE(cookieFileProblem(file), expected);
    QString copied;
    {
        CookieCopy copy;
        QCOMPARE(copy.make(file), expected);
        copied = copy.path();
        QCOMPARE(copied.isEmpty(), !expected.isEmpty());
        if (!copied.isEmpty()) {
            // Private to the user, inside Quorvel's own folder, readable by the downloader.
            const QFileInfo info(copied);
            QCOMPARE(info.dir(), QDir(ShellProcess::workingFolder()));
            QVERIFY(info.fileName().startsWith(u"cookies-"_s));
            QCOMPARE(info.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                     QFile::ReadOwner | QFile::WriteOwner);
            const QByteArray header = "# Netscape HTTP Cookie File";
            QCOMPARE(TestSupport::readFile(copied),
                     content.startsWith(header) ? content : header + '\n' + content);
        }
    }
    QVERIFY(QDir(ShellProcess::workingFolder()).entryList({u"cookies-*"_s}).isEmpty());
    QCOMPARE(TestSupport::readFile(file), content);
}

void tst_Tools::browserProfiles_data()
{
    QTest::addColumn<QStringList>("files"); // made under the home folder
    QTest::addColumn<QStringList>("found"); // "<id>|<shown>|<name>|<folder under home>"
    QTest::newRow("none") << QStringList {u".mozilla/firefox/profiles.ini"_s} << QStringList {};
    QTest::newRow("Firefox, its three installs, by name")
        << QStringList {u".mozilla/firefox/ab12.default-release/cookies.sqlite"_s,
                        u".mozilla/firefox/cd34.beta/cookies.sqlite"_s,
                        u".mozilla/firefox/ef56.unused/places.sqlite"_s,
                        u"snap/firefox/common/.mozilla/firefox/gh78.snap/cookies.sqlite"_s,
                        u".var/app/org.mozilla.firefox/.mozilla/firefox/plain/cookies.sqlite"_s}
        << QStringList {
               u"firefox|Firefox|beta|.mozilla/firefox/cd34.beta"_s,
               u"firefox|Firefox|default-release|.mozilla/firefox/ab12.default-release"_s,
               u"firefox|Firefox|plain|.var/app/org.mozilla.firefox/.mozilla/firefox/plain"_s,
               u"firefox|Firefox|snap|snap/firefox/common/.mozilla/firefox/gh78.snap"_s};
    QTest::newRow("the Chromium family, in the downloader's order")
        << QStringList {u".config/opera/Network/Cookies"_s,
                        u".config/vivaldi/Default/Cookies"_s,
                        u".config/microsoft-edge/Default/Network/Cookies"_s,
                        u".config/BraveSoftware/Brave-Browser/Default/Cookies"_s,
                        u".config/google-chrome/Profile 1/Network/Cookies"_s,
                        u".config/google-chrome/Default/Cookies"_s,
                        u".config/google-chrome/Crashpad/settings.dat"_s,
                        u".config/chromium/Default/Cookies"_s,
                        u".mozilla/firefox/x.default/cookies.sqlite"_s}
        << QStringList {u"firefox|Firefox|default|.mozilla/firefox/x.default"_s,
                        u"chromium|Chromium|Default|.config/chromium/Default"_s,
                        u"chrome|Chrome|Default|.config/google-chrome/Default"_s,
                        u"chrome|Chrome|Profile 1|.config/google-chrome/Profile 1"_s,
                        u"brave|Brave|Default|.config/BraveSoftware/Brave-Browser/Default"_s,
                        u"edge|Edge|Default|.config/microsoft-edge/Default"_s,
                        u"vivaldi|Vivaldi|Default|.config/vivaldi/Default"_s,
                        u"opera|Opera|opera|.config/opera"_s};
    // The downloader would read "a::b" as a container, and a line break ends its option.
    QTest::newRow("folders that the option would misread")
        << QStringList {u".mozilla/firefox/x.a::b/cookies.sqlite"_s,
                        u".config/chromium/Line\nbreak/Cookies"_s,
                        u".config/chromium/Default/Cookies"_s}
        << QStringList {u"chromium|Chromium|Default|.config/chromium/Default"_s};
}

void tst_Tools::browserProfiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, found);
    QTemporaryDir home;
    for (const QString &file : files) {
        QVERIFY(QDir(home.path()).mkpath(QFileInfo(file).path()));
        QVERIFY(TestSupport::writeFile(home.filePath(file), "x"));
    }
    QStringList profiles;
    for (const BrowserProfile &profile : findBrowserProfiles(home.path())) {
        profiles << QStringList {profile.browser, profile.browserName, profile.name,
                                 QDir(home.path()).relativeFilePath(profile.path)}
                        .join(u'|');
    }
    QCOMPARE(profiles, found);
}

void tst_Tools::onlyRuntimesThatAnswerCount()
{
    // On the PATH: a runtime that never ends its answer, one that fails, one that crashes,
    // and a good one in a folder whose name holds the separator of "--js-runtimes".
    QTemporaryDir dir;
    for (const auto &[file, answer] :
         QList<std::pair<QString, QByteArray>> {{u"path/node"_s, "echo v22.1.0; exec sleep 30"},
                                                {u"path/deno"_s, "echo deno 2.3.1; exit 1"},
                                                {u"path/bun"_s, "echo 1.2.11; kill -KILL $$"},
                                                {u"a,b/qjs"_s, "echo QuickJS version 2024-01-13"},
                                                {u"tools/bun"_s, "echo 1.2.11"}}) {
        QVERIFY(QDir(dir.path()).mkpath(file.section(u'/', 0, 0))
                && TestSupport::writeFile(dir.filePath(file), "#!/bin/sh\n" + answer + '\n'));
        QFile::setPermissions(dir.filePath(file), QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.filePath(u"path:"_s) + dir.filePath(u"a,b"_s)));
    JavaScriptRuntimes runtimes;
    runtimes.setTimeLimit(3s);
    QSignalSpy detected(&runtimes, &JavaScriptRuntimes::detected);
    runtimes.detect(dir.filePath(u"tools"_s));
    qputenv("PATH", path);
    QVERIFY(detected.wait(30'000));
    QCOMPARE(runtimes.option(), u"bun:"_s + dir.filePath(u"tools/bun"_s));
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
    row("both channels in order", u"echo out; echo err >&2; echo out2"_s, Kind::Exited, 0,
        "out\nerr\nout2\n");
    row("signal", u"kill -KILL $$"_s, Kind::Crashed, 9, {});
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
    const QString previous = QDir::currentPath();
    QDir::setCurrent(started.path());
    ShellProcess process;
    Run run(process);
    process.start(commandLine.replace(u"$1"_s, started.path()));
    QDir::setCurrent(previous);
    QVERIFY(process.isRunning() && run.waitForEnd() && !process.isRunning());
    QCOMPARE(run.ends.size(), 1);
    QCOMPARE(int(run.ends.first().kind), kind);
    QCOMPARE(run.ends.first().code, code);
    QCOMPARE(run.output, output);
}

void tst_Tools::nothingOfTheGroupSurvives_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ignoresTerm"); // SIG_IGN is inherited by the children
    QTest::addColumn<int>("reported"); // -1: nothing
    for (const bool ignores : {false, true}) {
        const char *suffix = ignores ? ", SIGTERM ignored" : "";
        QTest::addRow("success%s", suffix) << u"success"_s << ignores << int(Kind::Exited);
        QTest::addRow("cancel%s", suffix) << u"cancel"_s << ignores << int(Kind::Cancelled);
        QTest::addRow("time limit%s", suffix) << u"time limit"_s << ignores << int(Kind::TimedOut);
        QTest::addRow("destroyed%s", suffix) << u"destroy"_s << ignores << -1;
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
    // Children that keep the output open or closed it; on success, the shell leaves them.
    const bool success = how == u"success"_s;
    auto process = std::make_unique<ShellProcess>();
    process->setTimeLimit(how == u"time limit"_s ? 500ms : 0ms);
    Run run(*process);
    // A stop asks the whole group at once: the first child, once its trap is set, adds its
    // own child, and notes the SIGTERM, which the shell would not pass on.
    const QString marker = dir.filePath(u"terminated"_s);
    process->start(u"m="_s + shellQuote(marker) + u"; p="_s + shellQuote(pids)
                   + (ignoresTerm
                          ? u"; trap '' TERM; sleep 300"_s
                          : u"; (trap 'echo > \"$m\"' TERM; sleep 300 & echo $! >> \"$p\"; wait)"_s)
                   + (success ? u" >&- 2>&- &"_s : u" &"_s)
                   + u" child=$!; sleep 300 >/dev/null 2>&1 & echo $$ $child $! >> \"$p\""_s
                   + (success ? u"; exit 0"_s : u"; wait"_s));
    QTRY_VERIFY(processIds(pids).size() >= (ignoresTerm || success ? 3 : 4));
    if (how.startsWith(u"cancel"_s)) {
        process->cancel();
    }
    if (how.endsWith(u"destroy"_s)) {
        process.reset();
    } else {
        QVERIFY(run.waitForEnd());
    }
    // Said once the group has ended: its members are gone at once, not seconds later.
    QVERIFY(allEnd(processIds(pids), 500));
    QCOMPARE(run.ends.size(), reported < 0 ? 0 : 1);
    QVERIFY(reported < 0 || int(run.ends.first().kind) == reported);
    QVERIFY(QFile::exists(marker) || ignoresTerm || reported < int(Kind::Cancelled));
}

void tst_Tools::nothingOutlivesAKilledQuorvel_data()
{
    QTest::addColumn<QString>("command"); // prints the pid of a process to watch
    QTest::addColumn<bool>("killed"); // the Quorvel that started it
    QTest::addColumn<bool>("swept"); // endLeftoverProcesses() at the next start
    QTest::addColumn<bool>("ends");
    // The shell execs a lone command: the tool itself leads the group.
    QTest::addRow("the tool") << u"echo $$; exec sleep 300"_s << true << false << true;
    // A child of the tool has no tie to Quorvel but its mark.
    QTest::addRow("a child of the tool, swept")
        << u"sleep 300 & echo $!; wait"_s << true << true << true;
    QTest::addRow("a child of a running Quorvel, swept")
        << u"sleep 300 & echo $!; wait"_s << false << true << false;
}

void tst_Tools::nothingOutlivesAKilledQuorvel()
{
    QFETCH(QString, command);
    QFETCH(bool, killed);
    QFETCH(bool, swept);
    QFETCH(bool, ends);
    // A marker of this test's own: the sweep must not touch another test's processes.
    QTemporaryDir dir;
    const QByteArray marker = QFile::encodeName(dir.path());
    QProcess quorvel;
    quorvel.start(TestSupport::standInQuorvel(), {u"shell"_s, dir.path(), command});
    QVERIFY(QTest::qWaitFor([&] { return quorvel.canReadLine(); }, 30'000));
    const qint64 pid = quorvel.readLine().trimmed().toLongLong();
    QVERIFY(pid > 0);
    const QString workingFolders = u"quorvel-%1-*"_s.arg(quorvel.processId());
    if (killed) {
        quorvel.kill();
        QVERIFY(quorvel.waitForFinished());
    }
    // Its working folder goes at the next start, once it is dead.
    ShellProcess::removeLeftoverWorkingFolders();
    QCOMPARE(QDir::temp().entryList({workingFolders}, QDir::Dirs).isEmpty(), killed);
    if (swept) {
        QCOMPARE(endLeftoverProcesses(marker) > 0, ends);
    }
    const bool ended = allEnd({pid}, ends ? 10'000 : 200);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    quorvel.kill();
    quorvel.waitForFinished();
    QCOMPARE(ended, ends);
}

void tst_Tools::install_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<QString>("variant"); // a folder of make-releases.sh; "": no server
    QTest::addColumn<QString>("mode"); // of serve.py, or "cancel", "destroy", "unwritable"
    QTest::addColumn<QString>("outcome"); // "installed <version>", or a part of the message
    using Tool = ToolInstaller::Tool;
    const auto row = [](const char *name, Tool tool, const QString &variant, const QString &mode,
                        const QString &outcome) {
        QTest::newRow(name) << int(tool) << variant << mode << outcome;
    };
    const Tool stable = Tool::Downloader;
    const QString ok = u"ok"_s;
    const Tool nightly = Tool::NightlyDownloader;
    row("deno", Tool::JavaScriptRuntime, u"deno"_s, ok, u"installed deno 2.5.0"_s);
    row("deno not on Quorvel's list", Tool::JavaScriptRuntime, u"deno"_s, u"unlisted"_s,
        u"l'empreinte de « deno-"_s);
    row("to nightly, going back confirmed", nightly, u"good"_s, u"yes"_s,
        u"installed 2024.01.01.000000"_s);
    row("to nightly, going back declined", nightly, u"good"_s, ok, u"plus ancienne"_s);
    row("older release", stable, u"older"_s, u"yes"_s, u"2024.01.01, est plus ancienne"_s);
    row("600 MiB sums file", stable, u"good"_s, u"endless-SHA2-256SUMS"_s, u"SUMS » dépasse"_s);
    row("1 GiB downloader", stable, u"good"_s, u"huge-yt-dlp"_s, u"« yt-dlp » dépasse"_s);
    row("transfer drips", stable, u"good"_s, u"drip"_s, u"pas terminé au bout de 3 s"_s);
    row("leftovers removed at start", stable, u"absent"_s, u"leftovers"_s, u"répond 404"_s);
    row("no network", stable, {}, ok, u"pas de connexion au serveur des versions"_s);
    row("404", stable, u"absent"_s, ok, u"le serveur des versions répond 404"_s);
    row("transfer cut", stable, u"good"_s, u"truncate"_s, u"s'est interrompu"_s);
    row("transfer stalls", stable, u"good"_s, u"stall"_s, u"ne progresse plus"_s);
    row("wrong hash", stable, u"wrong-hash"_s, ok, u"ne correspond pas"_s);
    row("bad signature", stable, u"bad-signature"_s, ok, u"la signature de SHA2-256SUMS"_s);
    row("not a downloader", stable, u"not-downloader"_s, ok, u"ne répond pas comme un"_s);
    row("tool folder not writable", stable, u"good"_s, u"unwritable"_s, u"n'est pas modifiable"_s);
    row("cancelled", stable, u"good"_s, u"cancel"_s, u"Mise à jour annulée"_s);
    row("quit during the transfer", stable, u"good"_s, u"destroy"_s, {});
}

void tst_Tools::install()
{
    QFETCH(int, tool);
    QFETCH(QString, variant);
    QFETCH(QString, mode);
    QFETCH(QString, outcome);
    static const ServedFolder releases(u"make-releases.sh"_s, {ToolInstaller::denoArchive()});
    QVERIFY(releases.isValid());
    // A previous downloader, which must stay unless a verified one replaces it.
    QTemporaryDir data;
    QVERIFY(QDir().mkpath(data.filePath(u"tools"_s)));
    QVERIFY(TestSupport::writeFile(data.filePath(u"tools/youtube-dl"_s), "previous"));
    QVERIFY(TestSupport::writeFile(data.filePath(u"file"_s), "a file, not a folder"));
    const bool interrupted = mode == u"cancel"_s || mode == u"destroy"_s;
    const auto source = [&](const QString &folder) { // serve.py serves unknown modes as "ok"
        return variant.isEmpty() ? QUrl(u"http://127.0.0.1:1/"_s)
                                 : releases.url(folder, interrupted ? u"stall"_s : mode);
    };
    ReleaseSources sources;
    sources.downloaderStable = sources.deno = source(variant + u'/');
    sources.downloaderNightly = source(variant + u"/nightly/"_s);
    const QString archive = ToolInstaller::denoArchive();
    if (mode != u"unlisted"_s) { // the stand-in's hash in place of the real ones
        sources.denoArchiveHashes
            = {{archive,
                TestSupport::readFile(releases.folder() + u"/deno/"_s + archive + u".sha256sum"_s)
                    .first(64)}};
    }
    sources.signingKey = TestSupport::readFile(releases.folder() + u"/key.asc"_s);
    sources.stallLimit = mode == u"stall"_s ? 1500ms : 30'000ms;
    sources.transferLimit = mode == u"drip"_s ? 3s : 60s;
    auto installer = std::make_unique<ToolInstaller>();
    installer->setSources(sources);
    installer->setGoingBackConfirmation([&](auto &, auto &) { return mode == u"yes"_s; });
    for (const QString &name : {u".youtube-dl-7x"_s, u".deno-f00"_s, u".scratch-aB12cD/x"_s}) {
        const QString path = data.filePath(u"tools/"_s + name);
        QVERIFY(mode != u"leftovers"_s
                || (QDir().mkpath(QFileInfo(path).path()) && TestSupport::writeFile(path, {})));
    }
    ToolInstaller::removeLeftovers(data.filePath(u"tools"_s));
    QStringList outcomes;
    connect(
        installer.get(), &ToolInstaller::installed, this,
        [&](const QString &, const QString &version) { outcomes << u"installed "_s + version; });
    connect(installer.get(), &ToolInstaller::failed, this,
            [&](const QString &message) { outcomes << message; });
    QSignalSpy progress(installer.get(), &ToolInstaller::progressChanged);
    installer->install(ToolInstaller::Tool(tool),
                       data.filePath(mode == u"unwritable"_s ? u"file/tools"_s : u"tools"_s),
                       u"2025.06.01"_s);
    if (interrupted) {
        QVERIFY(progress.wait(10'000));
        mode == u"cancel"_s ? installer->cancel() : installer.reset();
    }
    QVERIFY(outcome.isEmpty() || QTest::qWaitFor([&] { return !outcomes.isEmpty(); }, 60'000));
    QVERIFY2(outcomes.value(0).contains(outcome), qPrintable(outcomes.value(0)));
    // The folder holds the previous downloader, or the new tool, and nothing half-written;
    // deno, run, leaves "ran".
    const bool installed = outcome.startsWith(u"installed"_s);
    const bool deno = tool == int(ToolInstaller::Tool::JavaScriptRuntime) && installed;
    const QStringList left
        = deno ? QStringList {u"deno"_s, u"ran"_s, u"youtube-dl"_s} : QStringList {u"youtube-dl"_s};
    QCOMPARE(QDir(data.filePath(u"tools"_s))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             left);
    QCOMPARE(TestSupport::readFile(data.filePath(u"tools/youtube-dl"_s)) != "previous",
             installed && !deno);
}

void tst_Tools::oneInstanceTakesTheAddress()
{
    QTemporaryDir dir;
    const QString key = dir.filePath(u"instance"_s);
    SingleInstance first(key);
    SingleInstance second(key);
    QVERIFY(!second.handOver(u"https://example.org/v"_s));
    // A socket left by a crash (here a plain file in its place) does not keep the next one
    // from serving; while it serves, no other one does.
    QVERIFY(TestSupport::writeFile(key, {}));
    QVERIFY(first.listen());
    QVERIFY(!SingleInstance(key).listen());
    QSignalSpy received(&first, &SingleInstance::addressReceived);
    const QString odd = u"https://exemple.fr/vidéo?a=1&b=<b>x</b>\u202e'$(id)'\n\tü"_s;
    const QString longest(SingleInstance::maximumAddressBytes, u'a');
    // An address too long for an address is dropped: the running window is only raised.
    for (const auto &[sent, taken] :
         {std::pair {odd, odd}, std::pair {QString(), QString()}, std::pair {longest, longest},
          std::pair {QString(longest + u'a'), QString()}}) {
        QVERIFY(second.handOver(sent));
        QCOMPARE(received.takeFirst().at(0).toString(), taken);
    }
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
