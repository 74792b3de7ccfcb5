// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "settings/Settings.h"

using namespace Qt::StringLiterals;

class tst_Settings final : public QObject
{
    Q_OBJECT

private slots:
    void firstLaunchSeedsThenLaterLaunchesLeaveValues();
    void presentFormatKeepsOtherKeysAbsent();
    void handEditedValuesFallBackToSeeded_data();
    void handEditedValuesFallBackToSeeded();
};

void tst_Settings::firstLaunchSeedsThenLaterLaunchesLeaveValues()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings settings(*store);

    QVERIFY(settings.seedIfAbsent());
    QCOMPARE(store->value(u"AudioFormat"_s).toString(), u"best"_s);
    QCOMPARE(store->value(u"AudioQuality"_s).toInt(), 0);
    QCOMPARE(store->value(u"AudioPreserveVideo"_s).toInt(), 1);

    settings.setAudioFormat(u"opus"_s);
    settings.setAudioQuality(-3);
    settings.setAudioPreserveVideo(0);
    QVERIFY(!settings.seedIfAbsent());
    QCOMPARE(settings.audioFormat(), u"opus"_s);
    QCOMPARE(settings.audioQuality(), -3);
    QCOMPARE(settings.audioPreserveVideo(), 0);
}

void tst_Settings::presentFormatKeepsOtherKeysAbsent()
{
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    store->setValue(u"AudioFormat"_s, u"mp3"_s);
    Settings settings(*store);

    QVERIFY(!settings.seedIfAbsent());
    QVERIFY(!store->contains(u"AudioQuality"_s));
    QVERIFY(!store->contains(u"AudioPreserveVideo"_s));
    // Readers still give usable values for what is missing.
    QCOMPARE(settings.audioQuality(), 0);
    QCOMPARE(settings.audioPreserveVideo(), 1);
}

void tst_Settings::handEditedValuesFallBackToSeeded_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("storedText");
    QTest::newRow("quality not a number") << u"AudioQuality"_s << u"abc"_s;
    QTest::newRow("quality beyond 32 bits") << u"AudioQuality"_s << u"4294967296"_s;
    QTest::newRow("keep-video not a number") << u"AudioPreserveVideo"_s << u"yes"_s;
}

void tst_Settings::handEditedValuesFallBackToSeeded()
{
    QFETCH(QString, key);
    QFETCH(QString, storedText);
    QTemporaryDir dir;
    auto store = TestSupport::makeSettings(dir);
    Settings settings(*store);
    settings.seedIfAbsent();
    settings.setAudioQuality(128);
    settings.setAudioPreserveVideo(0);
    store->setValue(key, storedText);

    if (key == u"AudioQuality"_s) {
        QCOMPARE(settings.audioQuality(), 0);
        QCOMPARE(settings.audioPreserveVideo(), 0);
    } else {
        QCOMPARE(settings.audioPreserveVideo(), 1);
        QCOMPARE(settings.audioQuality(), 128);
    }
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
