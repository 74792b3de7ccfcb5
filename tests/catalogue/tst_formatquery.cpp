// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "DashFixture.h"
#include "TestSupport.h"
#include "catalogue/FormatQuery.h"
#include "catalogue/FormatTableModel.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int queryTimeoutMilliseconds = 120'000;

QString downloader()
{
    return resourcePath(QStringView(downloaderToolName).toString(), TestSupport::toolFolder())
        .value_or(QString());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList idsOf(const QList<formatYoutube> &formats)
{
    QStringList ids;
    for (const formatYoutube &format : formats) {
        ids.append(format.formatID);
    }
    return ids;
}

// Both possible ends of a query, recorded.
struct QueryEnd
{
    explicit QueryEnd(FormatQuery &query)
        : listed(&query, &FormatQuery::formatsListed), failed(&query, &FormatQuery::failed)
    {
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return listed.size() + failed.size() > 0; },
                               queryTimeoutMilliseconds);
    }
    QList<formatYoutube> formats() const
    {
        return listed.isEmpty() ? QList<formatYoutube>()
                                : listed.at(0).at(0).value<QList<formatYoutube>>();
    }
    QString message() const { return failed.isEmpty() ? QString() : failed.at(0).at(0).toString(); }

    QSignalSpy listed;
    QSignalSpy failed;
};

// A stand-in downloader that writes its pid and that of a child, then waits for ever.
QByteArray hangingScript(const QTemporaryDir &dir, bool ignoresTermination)
{
    QByteArray body = "#!/bin/sh\n";
    if (ignoresTermination) {
        body += "trap '' TERM\n";
    }
    body += "echo $$ > " + shellQuote(dir.filePath(u"shell.pid"_s)).toUtf8()
        + "\n"
          "sleep 300 &\n"
          "echo $! > "
        + shellQuote(dir.filePath(u"child.pid"_s)).toUtf8()
        + "\n"
          "while :; do wait; done\n";
    return body;
}

} // namespace

class tst_FormatQuery final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fixtureFormatsReachTheTable();
    void unreachableAddressReportsTheError();
    void hostileAddressRunsNothing_data();
    void hostileAddressRunsNothing();
    void addressReachesTheDownloaderAsOneWord_data();
    void addressReachesTheDownloaderAsOneWord();
    void outcome_data();
    void outcome();
    void downloaderThatCannotStart_data();
    void downloaderThatCannotStart();
    void timeoutEndsTheWholeGroup_data();
    void timeoutEndsTheWholeGroup();
    void destructionEndsTheWholeGroup_data();
    void destructionEndsTheWholeGroup();

private:
    std::unique_ptr<DashFixture> m_fixture;
};

void tst_FormatQuery::initTestCase()
{
    QVERIFY2(!downloader().isEmpty(), "no downloader in the tool folder");
    m_fixture = std::make_unique<DashFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
}

void tst_FormatQuery::fixtureFormatsReachTheTable()
{
    QList<formatYoutube> list;
    FormatTableModel model(list);
    FormatQuery query;
    connect(&query, &FormatQuery::formatsListed, &model, &FormatTableModel::appendFormats);

    // The event loop must keep turning while the downloader works.
    int ticksDuringQuery = 0;
    QTimer ticker;
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (query.isRunning()) {
            ++ticksDuringQuery;
        }
    });
    ticker.start();

    // Two queries: the second one's records come after the first one's.
    for (int run = 1; run <= 2; ++run) {
        QueryEnd end(query);
        query.start(downloader(), m_fixture->manifestUrl());
        QVERIFY(query.isRunning());
        QVERIFY(end.wait());
        QCOMPARE(end.failed.size(), 0);
        QCOMPARE(end.listed.size(), 1);
        QVERIFY(!query.isRunning());
    }
    QVERIFY(ticksDuringQuery > 0);
    QCOMPARE(idsOf(list), (QStringList {u"140"_s, u"137"_s, u"140"_s, u"137"_s}));
    QCOMPARE(list.at(1).codec, u" mp4 "_s);
    QCOMPARE(list.at(1).dimension, u"320x240"_s);
    QCOMPARE(model.rowCount(), 4);
}

void tst_FormatQuery::unreachableAddressReportsTheError()
{
    FormatQuery query;
    QueryEnd end(query);
    query.start(downloader(), m_fixture->missingUrl());
    QVERIFY(end.wait());
    QCOMPARE(end.listed.size(), 0);
    QCOMPARE(end.failed.size(), 1);
    QVERIFY2(end.message().contains(u"HTTP Error 404"_s), qPrintable(end.message()));
    QVERIFY2(!end.message().startsWith(u"ERROR"_s), qPrintable(end.message()));
}

void tst_FormatQuery::hostileAddressRunsNothing_data()
{
    QTest::addColumn<QString>("address");
    // %1: an absolute path in the test's folder; "ran" lands in the working folder.
    QTest::newRow("command substitution") << u"$(touch ran %1)"_s;
    QTest::newRow("command list") << u"; touch ran %1"_s;
    QTest::newRow("option") << u"--exec=touch ran %1"_s;
    QTest::newRow("backticks") << u"`touch ran %1`"_s;
}

void tst_FormatQuery::hostileAddressRunsNothing()
{
    QFETCH(QString, address);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    address = address.arg(dir.filePath(u"created"_s));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    FormatQuery query;
    QueryEnd end(query);
    query.start(downloader(), address);
    const bool ended = end.wait();
    QDir::setCurrent(previous);
    QVERIFY(ended);

    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // The downloader quotes back the address it was given: it arrived as data, in one piece.
    QCOMPARE(end.failed.size(), 1);
    QVERIFY2(end.message().contains(address), qPrintable(end.message()));
}

void tst_FormatQuery::addressReachesTheDownloaderAsOneWord_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("plain") << u"http://127.0.0.1:1/watch?v=a&list=b"_s;
    QTest::newRow("command substitution") << u"$(touch ran)"_s;
    QTest::newRow("backticks") << u"`touch ran`"_s;
    QTest::newRow("command list") << u"x; touch ran && touch ran | touch ran"_s;
    QTest::newRow("option") << u"--exec=touch ran"_s;
    QTest::newRow("apostrophes and quotes") << u"it's \"quoted\" '' \\'"_s;
    QTest::newRow("blanks kept") << u"  two  words\t"_s;
    QTest::newRow("newline") << u"a\ntouch ran"_s;
    QTest::newRow("variables and globs") << u"$HOME * ~"_s;
    QTest::newRow("empty") << QString();
}

void tst_FormatQuery::addressReachesTheDownloaderAsOneWord()
{
    QFETCH(QString, address);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The tool's own path needs quoting too.
    QVERIFY(QDir(dir.path()).mkdir(u"tool folder's"_s));
    const QString argumentsFile = dir.filePath(u"arguments"_s);
    QTemporaryDir toolDir(dir.filePath(u"tool folder's/XXXXXX"_s));
    const QString tool = TestSupport::writeScript(toolDir, u"youtube-dl"_s,
                                                  "#!/bin/sh\nprintf '%s\\0' \"$@\" > "
                                                      + shellQuote(argumentsFile).toUtf8()
                                                      + "\necho '18 mp4 640x360 note'\n");
    QVERIFY(!tool.isEmpty());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    FormatQuery query;
    QueryEnd end(query);
    query.start(tool, address);
    const bool ended = end.wait();
    QDir::setCurrent(previous);
    QVERIFY(ended);

    QCOMPARE(idsOf(end.formats()), QStringList {u"18"_s});
    QByteArray recorded = readFile(argumentsFile);
    QVERIFY(recorded.endsWith('\0'));
    recorded.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : recorded.split('\0')) {
        arguments.append(QString::fromUtf8(argument));
    }
    QCOMPARE(arguments, (QStringList {u"-F"_s, u"--"_s, address}));
    QVERIFY(!QFile::exists(dir.filePath(u"ran"_s)));
}

void tst_FormatQuery::outcome_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("ids");
    // Empty: the query lists its formats (maybe none) instead of failing.
    QTest::addColumn<QString>("failure");

    QTest::newRow("listing") << QByteArray("printf 'banner\\n140 m4a x\\n137 mp4 1x1\\n'\n")
                             << QStringList {u"140"_s, u"137"_s} << QString();
    QTest::newRow("CR LF listing, error status")
        << QByteArray("printf '140 m4a x\\r\\n137 mp4 1x1\\r\\n'\nexit 1\n")
        << QStringList {u"140"_s, u"137"_s} << QString();
    QTest::newRow("listing on the error channel")
        << QByteArray("echo '18 mp4 640x360' >&2\n") << QStringList {u"18"_s} << QString();
    QTest::newRow("nothing") << QByteArray("exit 0\n") << QStringList() << QString();
    QTest::newRow("error") << QByteArray("echo 'WARNING: w'\necho 'ERROR: [generic] boom' >&2\n"
                                         "exit 1\n")
                           << QStringList() << u"[generic] boom"_s;
    QTest::newRow("error beside formats")
        << QByteArray("echo '18 mp4 640x360'\necho 'ERROR: partial'\n") << QStringList {u"18"_s}
        << QString();
}

void tst_FormatQuery::outcome()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, ids);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tool = TestSupport::writeScript(dir, u"youtube-dl"_s, "#!/bin/sh\n" + script);

    FormatQuery query;
    QueryEnd end(query);
    query.start(tool, u"http://127.0.0.1:1/"_s);
    QVERIFY(end.wait());
    QCOMPARE(end.listed.size() + end.failed.size(), 1);
    QCOMPARE(idsOf(end.formats()), ids);
    QCOMPARE(end.message(), failure);
    QCOMPARE(end.failed.isEmpty(), failure.isEmpty());
}

void tst_FormatQuery::downloaderThatCannotStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << u"absent"_s;
    QTest::newRow("not executable") << u"plain"_s;
    QTest::newRow("a folder") << u"folder"_s;
}

void tst_FormatQuery::downloaderThatCannotStart()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile plain(dir.filePath(u"plain"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\necho '18 mp4 640x360'\n");
    plain.close();
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));

    FormatQuery query;
    QueryEnd end(query);
    query.start(dir.filePath(name), u"http://127.0.0.1:1/"_s);
    QVERIFY(end.wait());
    QCOMPARE(end.listed.size(), 0);
    QCOMPARE(end.failed.size(), 1);
    QVERIFY2(end.message().startsWith(u"Impossible de lancer le téléchargeur : "_s),
             qPrintable(end.message()));
}

void tst_FormatQuery::timeoutEndsTheWholeGroup_data()
{
    QTest::addColumn<bool>("ignoresTermination");
    QTest::newRow("ends when asked") << false;
    QTest::newRow("ignores termination") << true;
}

void tst_FormatQuery::timeoutEndsTheWholeGroup()
{
    QFETCH(bool, ignoresTermination);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tool
        = TestSupport::writeScript(dir, u"youtube-dl"_s, hangingScript(dir, ignoresTermination));
    const QString secondTool = TestSupport::writeScript(
        dir, u"second"_s, "#!/bin/sh\ntouch " + shellQuote(dir.filePath(u"second ran"_s)).toUtf8());

    FormatQuery query;
    query.setTimeout(std::chrono::milliseconds(300));
    QueryEnd end(query);
    query.start(tool, u"http://127.0.0.1:1/"_s);
    // A second start while the first query runs is ignored.
    query.start(secondTool, u"http://127.0.0.1:1/"_s);
    QVERIFY(end.wait());
    QCOMPARE(end.listed.size(), 0);
    QCOMPARE(end.failed.size(), 1);
    QCOMPARE(end.message(), u"Délai dépassé : le téléchargeur ne répond pas"_s);
    QVERIFY(!query.isRunning());

    const qint64 shell = readFile(dir.filePath(u"shell.pid"_s)).trimmed().toLongLong();
    const qint64 child = readFile(dir.filePath(u"child.pid"_s)).trimmed().toLongLong();
    QVERIFY(shell > 0 && child > 0);
    QVERIFY(!TestSupport::isProcessAlive(shell));
    QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(child), 30'000);
    QVERIFY(!QFile::exists(dir.filePath(u"second ran"_s)));
}

void tst_FormatQuery::destructionEndsTheWholeGroup_data()
{
    timeoutEndsTheWholeGroup_data();
}

void tst_FormatQuery::destructionEndsTheWholeGroup()
{
    QFETCH(bool, ignoresTermination);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tool
        = TestSupport::writeScript(dir, u"youtube-dl"_s, hangingScript(dir, ignoresTermination));
    const QString childFile = dir.filePath(u"child.pid"_s);

    auto query = std::make_unique<FormatQuery>();
    QueryEnd end(*query);
    query->start(tool, u"http://127.0.0.1:1/"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!readFile(childFile).trimmed().isEmpty(), 30'000);
    const qint64 child = readFile(childFile).trimmed().toLongLong();
    QVERIFY(TestSupport::isProcessAlive(child));

    query.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!TestSupport::isProcessAlive(child), 30'000);
    QCOMPARE(end.listed.size() + end.failed.size(), 0);
}

QTEST_GUILESS_MAIN(tst_FormatQuery)
#include "tst_formatquery.moc"
