// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "DashFixture.h"
#include "TestSupport.h"
#include "catalogue/FormatQuery.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

namespace {

using TestSupport::readFile;

QByteArray quoted(const QString &path)
{
    return shellQuote(path).toUtf8();
}

// Runs one query to its end: "[codes]" for a listing, "failed: <message>" otherwise.
QString runQuery(FormatQuery &query, const QString &tool, const QString &address)
{
    QSignalSpy listed(&query, &FormatQuery::formatsListed);
    QSignalSpy failed(&query, &FormatQuery::failed);
    query.start(tool, address);
    if (!query.isRunning()) {
        return u"not asynchronous"_s;
    }
    if (!QTest::qWaitFor([&] { return !listed.isEmpty() || !failed.isEmpty(); }, 120'000)) {
        return u"no end"_s;
    }
    if (query.isRunning() || listed.size() + failed.size() != 1) {
        return u"unclear end"_s;
    }
    if (!failed.isEmpty()) {
        return u"failed: "_s + failed.at(0).at(0).toString();
    }
    QStringList ids;
    for (const formatYoutube &format : listed.at(0).at(0).value<QList<formatYoutube>>()) {
        ids.append(format.formatID);
    }
    return u'[' + ids.join(u' ') + u']';
}

} // namespace

class tst_FormatQuery final : public QObject
{
    Q_OBJECT

private slots:
    void realDownloader();
    void outcome_data();
    void outcome();
    void stopEndsTheWholeGroup_data();
    void stopEndsTheWholeGroup();
};

void tst_FormatQuery::realDownloader()
{
    const auto downloader = resourcePath(u"youtube-dl"_s, TestSupport::toolFolder());
    QVERIFY(downloader);
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    FormatQuery query;
    // A second query on the same object starts afresh.
    QCOMPARE(runQuery(query, *downloader, fixture.manifestUrl()), u"[140 137]"_s);
    QCOMPARE(runQuery(query, *downloader, fixture.manifestUrl()), u"[140 137]"_s);
    const QString failure = runQuery(query, *downloader, fixture.missingUrl());
    QVERIFY2(failure.startsWith(u"failed: [generic] None: Unable to download webpage: HTTP "
                                "Error 404"_s),
             qPrintable(failure));
}

void tst_FormatQuery::outcome_data()
{
    QTest::addColumn<QByteArray>("script"); // null: no tool at all
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected"); // the start of runQuery()'s text
    const auto row = [](const char *name, const QByteArray &script, const QString &expected) {
        QTest::newRow(name) << script << true << u"http://127.0.0.1:1/w?v=a&list=b"_s << expected;
    };
    const auto hostile = [](const char *name, const QString &address) {
        QTest::newRow(name) << "echo '18 mp4'"_ba << true << address << u"[18]"_s;
    };

    row("listing", "printf 'banner\\n140 m4a x\\n137 mp4 1x1\\n'", u"[140 137]"_s);
    row("CR LF, error status", "printf '140 m4a\\r\\n137 mp4\\r\\n'\nexit 1", u"[140 137]"_s);
    row("listing on the error channel", "echo '18 mp4 640x360' >&2", u"[18]"_s);
    row("nothing", "exit 0", u"[]"_s);
    row("silent failure", "exit 3", u"failed: Le téléchargeur a échoué (code de sortie 3)"_s);
    row("error beside formats", "echo '18 mp4'\necho 'ERROR: partial'", u"[18]"_s);
    const QString cannotStart = u"failed: Impossible de lancer le téléchargeur : "_s;
    QTest::newRow("missing tool") << QByteArray() << true << QString() << cannotStart;
    QTest::newRow("not executable") << "exit 0"_ba << false << QString() << cannotStart;
    hostile("command substitution", u"$(touch ran)"_s);
    hostile("backticks", u"`touch ran`"_s);
    hostile("command list", u"x; touch ran && touch ran | touch ran"_s);
    hostile("option", u"--exec=touch ran"_s);
    hostile("quotes", u"it's \"quoted\" '' \\'"_s);
    hostile("blanks, newline", u"  two  words\t\ntouch ran"_s);
    hostile("variables and globs", u"$HOME * ~"_s);
    hostile("empty", QString());
}

void tst_FormatQuery::outcome()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, executable);
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A stand-in that records its arguments, in a folder whose name needs quoting too.
    QVERIFY(QDir(dir.path()).mkdir(u"tool folder's"_s));
    const QString tool = dir.filePath(u"tool folder's/youtube-dl"_s);
    const QString arguments = dir.filePath(u"arguments"_s);
    if (!script.isNull()) {
        const QByteArray record = "printf '%s\\0' \"$@\" > " + quoted(arguments) + '\n';
        QCOMPARE(TestSupport::writeScript(dir, u"tool folder's/youtube-dl"_s,
                                          "#!/bin/sh\n" + record + script),
                 tool);
        QVERIFY(executable || QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner));
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    FormatQuery query;
    const QString result = runQuery(query, tool, address);
    QDir::setCurrent(previous);

    QVERIFY2(result.startsWith(expected), qPrintable(result));
    if (executable && !script.isNull()) {
        QCOMPARE(readFile(arguments), "-F\0--\0"_ba + address.toUtf8() + '\0');
    }
    QVERIFY(!QFile::exists(dir.filePath(u"ran"_s)));
}

void tst_FormatQuery::stopEndsTheWholeGroup_data()
{
    QTest::addColumn<bool>("timeout"); // otherwise the query is destroyed
    QTest::addColumn<bool>("ignoresTermination");
    QTest::newRow("timeout") << true << false;
    QTest::newRow("timeout, SIGTERM ignored") << true << true;
    QTest::newRow("destruction") << false << false;
    QTest::newRow("destruction, SIGTERM ignored") << false << true;
}

void tst_FormatQuery::stopEndsTheWholeGroup()
{
    QFETCH(bool, timeout);
    QFETCH(bool, ignoresTermination);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A stand-in that starts a child and waits for ever; SIG_IGN passes on to the child.
    const QString pids = dir.filePath(u"pids"_s);
    const QString tool = TestSupport::writeScript(
        dir, u"youtube-dl"_s,
        "#!/bin/sh\n" + QByteArray(ignoresTermination ? "trap '' TERM\n" : "")
            + "sleep 300 &\necho $$ $! > " + quoted(pids) + "\nwhile :; do wait; done\n");

    auto query = std::make_unique<FormatQuery>();
    query->setTimeout(std::chrono::milliseconds(timeout ? 1000 : 600'000));
    QSignalSpy listed(query.get(), &FormatQuery::formatsListed);
    QSignalSpy failed(query.get(), &FormatQuery::failed);
    query->start(tool, u"http://127.0.0.1:1/"_s);
    QTRY_VERIFY_WITH_TIMEOUT(readFile(pids).endsWith('\n'), 30'000);
    const QList<QByteArray> group = readFile(pids).trimmed().split(' ');
    QCOMPARE(group.size(), 2);

    if (timeout) {
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 30'000);
        QCOMPARE(failed.at(0).at(0).toString(), u"Délai dépassé : le téléchargeur ne répond pas"_s);
        QVERIFY(!query->isRunning());
    } else {
        query.reset();
    }
    for (const QByteArray &pid : group) {
        QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(pid.toLongLong()), 30'000);
    }
    // A query that its owner destroys tells nothing.
    QCOMPARE(listed.size() + failed.size(), timeout ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_FormatQuery)
#include "tst_formatquery.moc"
