// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "ServedFolder.h"
#include "TestSupport.h"
#include "tools/ToolInstaller.h"

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Tool = ToolInstaller::Tool;

class tst_ToolInstaller final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void install_data();
    void install();

private:
    std::unique_ptr<ServedFolder> m_releases;
};

void tst_ToolInstaller::initTestCase()
{
    m_releases = std::make_unique<ServedFolder>(u"make-releases.sh"_s,
                                                QStringList {ToolInstaller::denoArchive()});
    QVERIFY(m_releases->isValid());
}

void tst_ToolInstaller::install_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<QString>("variant"); // "" : no server at all
    QTest::addColumn<QString>("mode"); // or "cancel", "destroy", "unwritable"
    QTest::addColumn<QString>("outcome"); // "installed <version start>" or a part of the message
    const auto row = [](const char *name, Tool tool, const QString &variant, const QString &mode,
                        const QString &outcome) {
        QTest::newRow(name) << int(tool) << variant << mode << outcome;
    };
    const Tool stable = Tool::Downloader;
    const QString today = QDate::currentDate().toString(u"yyyy.MM.dd"_s);
    row("stable", stable, u"good"_s, u"ok"_s, u"installed "_s + today);
    row("nightly", Tool::NightlyDownloader, u"good"_s, u"ok"_s, u"installed "_s + today);
    row("deno", Tool::JavaScriptRuntime, u"deno"_s, u"ok"_s, u"installed deno 2.5.0"_s);
    row("no network", stable, {}, u"ok"_s, u"pas de connexion au serveur des versions"_s);
    row("404", stable, u"absent"_s, u"ok"_s, u"le serveur des versions répond 404"_s);
    row("500", stable, u"good"_s, u"fail"_s, u"répond 500"_s);
    row("transfer cut", stable, u"good"_s, u"truncate"_s, u"s'est interrompu"_s);
    row("transfer stalls", stable, u"good"_s, u"stall"_s, u"ne progresse plus"_s);
    row("no line for the asset", stable, u"no-line"_s, u"ok"_s,
        u"ne donne pas celle de « yt-dlp »"_s);
    row("wrong hash", stable, u"wrong-hash"_s, u"ok"_s, u"ne correspond pas"_s);
    row("bad signature", stable, u"bad-signature"_s, u"ok"_s, u"la signature de SHA2-256SUMS"_s);
    row("no signature", stable, u"no-signature"_s, u"ok"_s,
        u"répond 404 pour « SHA2-256SUMS.sig »"_s);
    row("not a downloader", stable, u"not-downloader"_s, u"ok"_s,
        u"ne répond pas comme un téléchargeur"_s);
    row("tool folder not writable", stable, u"good"_s, u"unwritable"_s, u"n'est pas modifiable"_s);
    row("cancelled", stable, u"good"_s, u"cancel"_s, u"Mise à jour annulée"_s);
    row("quit during the transfer", stable, u"good"_s, u"destroy"_s, {});
}

void tst_ToolInstaller::install()
{
    QFETCH(int, tool);
    QFETCH(QString, variant);
    QFETCH(QString, mode);
    QFETCH(QString, outcome);
    QTemporaryDir data;
    // A previous downloader, which must stay unless a verified one replaces it.
    const QString folder = data.filePath(mode == u"unwritable"_s ? u"file/tools"_s : u"tools"_s);
    QVERIFY(QDir().mkpath(data.filePath(u"tools"_s)));
    QVERIFY(TestSupport::writeFile(data.filePath(u"tools/youtube-dl"_s), "previous"));
    QVERIFY(TestSupport::writeFile(data.filePath(u"file"_s), "a file, not a folder"));

    ReleaseSources sources;
    // A cancel or a quit comes during a transfer that stalls.
    const QString served = mode == u"cancel"_s || mode == u"destroy"_s ? u"stall"_s
        : mode == u"unwritable"_s                                      ? u"ok"_s
                                                                       : mode;
    const QUrl url = variant.isEmpty() ? QUrl(u"http://127.0.0.1:1/"_s)
                                       : m_releases->url(variant + u'/', served);
    sources.downloaderStable = sources.downloaderNightly = sources.deno = url;
    sources.signingKey = TestSupport::readFile(m_releases->folder() + u"/key.asc"_s);
    sources.stallLimit = mode == u"stall"_s ? 1500ms : 30'000ms;
    auto installer = std::make_unique<ToolInstaller>();
    installer->setSources(sources);
    QStringList outcomes;
    connect(
        installer.get(), &ToolInstaller::installed, this,
        [&](const QString &, const QString &version) { outcomes << u"installed "_s + version; });
    connect(installer.get(), &ToolInstaller::failed, this,
            [&](const QString &message) { outcomes << message; });
    QSignalSpy progress(installer.get(), &ToolInstaller::progressChanged);
    installer->install(Tool(tool), folder);
    if (mode == u"cancel"_s || mode == u"destroy"_s) {
        QVERIFY(progress.wait(10'000));
        mode == u"cancel"_s ? installer->cancel() : installer.reset();
    }
    QVERIFY(outcome.isEmpty() || QTest::qWaitFor([&] { return !outcomes.isEmpty(); }, 60'000));
    QVERIFY2(outcomes.value(0).contains(outcome), qPrintable(outcomes.value(0)));

    // The folder holds the previous downloader, or the new tool, and nothing half-written.
    const bool deno = tool == int(Tool::JavaScriptRuntime) && outcome.startsWith(u"installed"_s);
    const QStringList left
        = deno ? QStringList {u"deno"_s, u"youtube-dl"_s} : QStringList {u"youtube-dl"_s};
    QCOMPARE(QDir(data.filePath(u"tools"_s))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             left);
    const bool replaced = outcome.startsWith(u"installed"_s) && !deno;
    QCOMPARE(TestSupport::readFile(data.filePath(u"tools/youtube-dl"_s)) != "previous", replaced);
}

QTEST_GUILESS_MAIN(tst_ToolInstaller)
#include "tst_toolinstaller.moc"
