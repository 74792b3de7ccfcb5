// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/ViewController.h"
#include "settings/Settings.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {
constexpr int timeout = 30'000;
const QString normalAddress = u"http://127.0.0.1:9/watch?v=normal"_s;

// Records its arguments and lists one format. A download makes its output folder, as the real
// downloader does, and announces a file there, or prints the file "announce" and waits.
const QByteArray standInScript
    = "#!/bin/bash\n"
      "[ \"$1\" = --version ] && { echo 2023.03.04; exit 0; }\n"
      "printf '%s\\0' \"$@\" > \"${0%/*}/arguments\"\n"
      "[ \"$1\" = -F ] && { echo '18 mp4 640x360 ok'; exit 0; }\n"
      "[ -e \"${0%/*}/announce\" ] && { cat \"${0%/*}/announce\";\n"
      "    printf '[download]  12.5%% of 1.00MiB\\r'; exec sleep 300; }\n"
      "dir=\"${2%/*}\"; dir=\"${dir//%%/%}\"\n"
      "mkdir -p -- \"$dir\"\n"
      "printf '[download] Destination: %s\\n[download] 100%% of 4.00B\\n' \"$dir/clip.mp4\"\n"_ba;

// The folders and files under `root`, with the files' content; links are left out.
QStringList snapshot(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << QDir(root).relativeFilePath(info.filePath()) + u' '
                + QString::fromLatin1(info.isDir() ? "/" : readFile(info.filePath()));
    }
    entries.sort();
    return entries;
}

// The window with the stand-in in its tool folder (and the real converter).
struct StandInWindow
{
    explicit StandInWindow(const QString &chosen)
        : store(TestSupport::makeSettings(tools))
        , folder(chosen)
    {
        TestSupport::writeScript(tools, u"youtube-dl"_s, standInScript);
        QFile::link(*resourcePath(u"ffmpeg"_s, TestSupport::toolFolder()),
                    tools.filePath(u"ffmpeg"_s));
        window = std::make_unique<ViewController>(*store, tools.path());
        window->setFolderChooser([this](QWidget *) { return folder; });
        window->setAddress(normalAddress);
    }

    QString message() const { return window->findChild<QLabel *>(u"messageTextField"_s)->text(); }

    // Clicks, waits until the window is idle again and returns what the stand-in was given.
    QStringList run(const QString &button)
    {
        const QString recorded = tools.filePath(u"arguments"_s);
        QFile::remove(recorded);
        QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
        auto *getFormats = window->findChild<QPushButton *>(u"getFormatButton"_s);
        if (!QTest::qWaitFor([getFormats] { return getFormats->isEnabled(); }, timeout)) {
            return {u"still running"_s};
        }
        QStringList arguments = QString::fromUtf8(readFile(recorded)).split(QChar(u'\0'));
        arguments.removeLast();
        return arguments;
    }

    QTemporaryDir tools;
    std::unique_ptr<QSettings> store;
    std::unique_ptr<ViewController> window;
    QString folder;
};
} // namespace

class tst_HostileInput final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(m_marker); }
    void hostileTextArrivesExactly_data();
    void hostileTextArrivesExactly();
    void refusedWithAMessage_data();
    void refusedWithAMessage();
    void hostileDestinationsRemoveNothingOutside_data();
    void hostileDestinationsRemoveNothingOutside();

private:
    QTemporaryDir m_markers;
    // Any hostile text that ran would create this file.
    const QString m_marker = m_markers.filePath(u"ran"_s);
};

void tst_HostileInput::hostileTextArrivesExactly_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    const QString touch = u"touch "_s + m_marker;
    const QString controls = u"\x01\x02\x03\x04\x05\x06\x07\b\t\x0b\x0c\x0e\x0f\x10\x11\x12"
                             "\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x7f"_s;
    const QString pattern = u"$("_s + touch + u");`"_s + touch + u"`|'\"\n"_s;
    const QString longText = pattern.repeated(1024).first(64 * 1024);
    const QList<std::pair<const char *, QString>> texts = {
        {"quotes and substitutions", u"it's '\"$("_s + touch + u")\"' `"_s + touch + u"` \\'"_s},
        {"separators", u"x; "_s + touch + u" | "_s + touch + u" & "_s + touch + u" &&"_s},
        {"line ends and control characters", u"x\n"_s + touch + u'\r' + controls + touch},
        {"leading dash", u"--exec="_s + touch},
        {"variables, globs, template fields", u"$HOME ${IFS} * ~ %(title)s %"_s},
    };
    for (const char *field : {"address", "folder", "audio format"}) {
        for (const auto &[name, text] : texts) {
            QTest::addRow("%s, %s", field, name) << QString::fromLatin1(field) << text;
        }
    }
    QTest::newRow("address, 64 KiB") << u"address"_s << longText;
    QTest::newRow("audio format, 64 KiB") << u"audio format"_s << longText;
}

void tst_HostileInput::hostileTextArrivesExactly()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QTemporaryDir root;
    const QString folder = root.filePath(field == u"folder"_s ? text : u"Vidéos"_s);
    QVERIFY(QDir().mkpath(folder));
    const QStringList before = snapshot(root.path());
    StandInWindow w(folder);
    const QString address = field == u"address"_s ? text : normalAddress;
    w.window->setAddress(address);
    const QString audioFormat = field == u"audio format"_s ? text : u"mp3"_s;
    Settings(*w.store).setAudioFormat(audioFormat);

    QCOMPARE(w.run(u"getFormatButton"_s), (QStringList {u"-F"_s, u"--"_s, address}));
    // The downloader reads "%%" in its output template as "%".
    const QString output = QString(folder + u'/').replace(u'%', u"%%"_s)
        + u"%(title)s%(format_id)s%(format)s.%(ext)s"_s;
    QCOMPARE(
        w.run(u"downloadButton"_s),
        (QStringList {u"-o"_s, output, u"--restrict-filenames"_s, u"-f"_s, u"best"_s,
                      u"--no-continue"_s, u"--youtube-skip-dash-manifest"_s, u"--"_s, address}));
    const QStringList audio = w.run(u"downloadAudioButton"_s);
    QCOMPARE(audio.size(), 17);
    QCOMPARE(audio.at(audio.indexOf(u"--audio-format"_s) + 1), audioFormat);
    QCOMPARE(w.message(), QString());
    QVERIFY2(!QFile::exists(m_marker), "a hostile text ran a command");
    QCOMPARE(snapshot(root.path()), before);
}

void tst_HostileInput::refusedWithAMessage_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("address");
    // A folder of this name is made in the test's folder, unless it is "-".
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QString>("message");
    const QString query = u"getFormatButton"_s;
    const QString download = u"downloadButton"_s;
    // Quoted, each apostrophe takes four bytes: more than the system takes for one argument.
    const QString tooLong(64 * 1024, u'\'');
    QTest::newRow("too long, query") << query << tooLong << "f"_ba << u"Impossible de lancer"_s;
    QTest::newRow("too long, download") << download << tooLong << "f"_ba << u"Échec du"_s;
    // The chooser hands a name that is not UTF-8 over with replacement characters: that names
    // another folder, which the downloader would create.
    QTest::newRow("not UTF-8") << download << normalAddress << "\xff\xfe"_ba << u"Dossier"_s;
    QTest::newRow("removed") << u"downloadAudioButton"_s << normalAddress << "-"_ba << u"Dossier"_s;
}

void tst_HostileInput::refusedWithAMessage()
{
    QFETCH(QString, button);
    QFETCH(QString, address);
    QFETCH(QByteArray, folder);
    QFETCH(QString, message);
    QTemporaryDir root;
    const QByteArray raw = QFile::encodeName(root.path()) + '/' + folder;
    QVERIFY(folder == "-" || ::mkdir(raw.constData(), 0700) == 0);
    const auto cleanup = qScopeGuard([&raw] { ::rmdir(raw.constData()); });
    StandInWindow w(QFile::decodeName(raw));
    w.window->setAddress(address);
    QCOMPARE(w.run(button), QStringList());
    QVERIFY2(w.message().startsWith(message), qPrintable(w.message()));
    // The window goes on.
    w.folder = root.path();
    w.window->setAddress(normalAddress);
    QVERIFY(w.run(button).contains(normalAddress));
}

void tst_HostileInput::hostileDestinationsRemoveNothingOutside_data()
{
    // %1: the chosen folder, %2: the folder around it.
    QTest::addColumn<QByteArray>("announced");
    QTest::newRow("dot-dot") << "%1/../outside.mp4"_ba;
    QTest::newRow("outside") << "%2/outside.mp4"_ba;
    QTest::newRow("the folder") << "%1"_ba;
    QTest::newRow("a subfolder") << "%1/sub"_ba;
    QTest::newRow("through a link to the folder around") << "%1/escape/outside.mp4"_ba;
    QTest::newRow("a link to a file outside") << "%1/link.mp4"_ba;
}

void tst_HostileInput::hostileDestinationsRemoveNothingOutside()
{
    QFETCH(QByteArray, announced);
    QTemporaryDir root;
    const QString folder = root.filePath(u"chosen"_s);
    QVERIFY(QDir().mkpath(folder + u"/sub"_s));
    // Outside files, with the partial files that a cancel removes beside a destination.
    for (const char *name : {"outside.mp4", "outside.mp4.part", "outside.mp4.ytdl",
                             "outside.mp4.part-Frag1", "chosen.part", "chosen/sub/inner.mp4"}) {
        QVERIFY(writeFile(root.filePath(QString::fromLatin1(name)), "keep"));
    }
    QVERIFY(QFile::link(root.path(), folder + u"/escape"_s));
    QVERIFY(QFile::link(root.filePath(u"outside.mp4"_s), folder + u"/link.mp4"_s));
    StandInWindow w(folder);
    announced.replace("%1", QFile::encodeName(folder));
    announced.replace("%2", QFile::encodeName(root.path()));
    QVERIFY(
        writeFile(w.tools.filePath(u"announce"_s), "[download] Destination: " + announced + '\n'));
    const QStringList before = snapshot(root.path());

    w.window->downloadButton(0);
    QTRY_COMPARE_WITH_TIMEOUT(w.window->findChild<QProgressBar *>(u"progressBar"_s)->value(), 125,
                              timeout);
    w.window->cancelDownload();
    QTRY_VERIFY_WITH_TIMEOUT(!w.window->isRunning(), timeout);
    QCOMPARE(snapshot(root.path()), before);
}

QTEST_MAIN(tst_HostileInput)
#include "tst_hostileinput.moc"
