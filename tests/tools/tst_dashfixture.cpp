// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QProcess>
#include <QTest>

#include "DashFixture.h"
#include "TestSupport.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

// The local media fixture that the end-to-end tests rely on: the real downloader from the
// tool folder lists its two representations by their numeric ids.
class tst_DashFixture final : public QObject
{
    Q_OBJECT

private slots:
    void downloaderListsFixtureFormats();
};

void tst_DashFixture::downloaderListsFixtureFormats()
{
    DashFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    const auto downloader = resourcePath(u"youtube-dl"_s, TestSupport::toolFolder());
    QVERIFY(downloader);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(*downloader, {u"-F"_s, u"--"_s, fixture.manifestUrl()});
    QVERIFY(process.waitForFinished(120'000));
    const QString listing = QString::fromUtf8(process.readAll());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(listing.contains(u"\n137 "_s), qPrintable(listing));
    QVERIFY2(listing.contains(u"\n140 "_s), qPrintable(listing));
}

QTEST_GUILESS_MAIN(tst_DashFixture)
#include "tst_dashfixture.moc"
