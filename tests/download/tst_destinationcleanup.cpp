// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <algorithm>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "download/DestinationCleanup.h"

#include <dirent.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
// The names in a folder, as bytes, sorted.
QByteArrayList namesIn(const QByteArray &folder)
{
    QByteArrayList names;
    DIR *directory = ::opendir(folder.constData());
    while (const dirent *entry = directory ? ::readdir(directory) : nullptr) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0) {
            names << entry->d_name;
        }
    }
    if (directory) {
        ::closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool runIn(const QString &folder, const QString &commandLine)
{
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start(u"/bin/bash"_s, {u"-c"_s, commandLine});
    return shell.waitForFinished() && shell.exitCode() == 0;
}
} // namespace

class tst_DestinationCleanup final : public QObject
{
    Q_OBJECT

private slots:
    void removalStaysInsideFolder_data();
    void removalStaysInsideFolder();
    void onlyOldAndUnfinishedFilesGo_data();
    void onlyOldAndUnfinishedFilesGo();
};

void tst_DestinationCleanup::removalStaysInsideFolder_data()
{
    QTest::addColumn<QByteArray>("folder"); // the chosen folder
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("removed"); // otherwise refused, with a warning
    const auto row = [](const char *name, const QByteArray &folder, const QByteArray &path,
                        bool removed) { QTest::newRow(name) << folder << path << removed; };
    row("regular file", "f", "f/clip.mp4", true);
    row("dot-dot staying inside", "f", "f/sub/../clip.mp4", true);
    row("link to a file outside: only the link", "f", "f/link.mp4", true);
    row("dangling link", "f", "f/dangling", true);
    row("name that is not UTF-8", "f", "f/\xff.mp4", true);
    row("folder chosen through a link", "folderlink", "f/clip.mp4", true);
    row("the folder itself", "f", "f", false);
    row("a subfolder, with slash", "f", "f/sub/", false);
    row("a subfolder", "f", "f/sub", false);
    row("outside", "f", "outside/secret.txt", false);
    row("dot-dot escape", "f", "f/../outside/secret.txt", false);
    row("sibling sharing the name's start", "f", "fbc/other.mp4", false);
    row("through a linked folder outside", "f", "f/escape/secret.txt", false);
    row("chosen folder missing", "gone", "gone/clip.mp4", false);
}

void tst_DestinationCleanup::removalStaysInsideFolder()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, path);
    QFETCH(bool, removed);
    QTemporaryDir root;
    QVERIFY(runIn(root.path(),
                  u"mkdir -p f/sub outside fbc && echo kept | tee f/clip.mp4 f/sub/inner.mp4 "
                  "outside/secret.txt fbc/other.mp4 $'f/\\xff.mp4' $'f/\\xef\\xbf\\xbd.mp4' && "
                  "ln -s ../outside f/escape && ln -s ../outside/secret.txt f/link.mp4 && "
                  "ln -s nowhere f/dangling && ln -s f folderlink"_s));
    const QByteArray top = QFile::encodeName(root.path()) + '/';
    if (!removed) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(u"^Fichier .* ne peut être "
                                                "supprimé : "_s));
    }
    const QByteArrayList before = namesIn(top + "f");
    QCOMPARE(deleteFile(top + path, top + folder), removed);
    // Whatever the path, at most that one entry went; no folder and nothing outside did.
    QCOMPARE(namesIn(top + "f").size(), before.size() - (removed ? 1 : 0));
    QVERIFY(!removed || !namesIn(top + "f").contains(path.sliced(path.lastIndexOf('/') + 1)));
    QCOMPARE(TestSupport::readFile(root.filePath(u"outside/secret.txt"_s)), "kept\n"_ba);
    QCOMPARE(namesIn(top + "f/sub"), QByteArrayList {"inner.mp4"});
}

void tst_DestinationCleanup::onlyOldAndUnfinishedFilesGo_data()
{
    QTest::addColumn<QString>("before"); // shell commands run in the folder before the start
    QTest::addColumn<QString>("during"); // ... and after it
    QTest::addColumn<QByteArrayList>("announced"); // "D name": destination; "C name": conversion
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QByteArrayList>("after");
    const auto row = [](const char *name, const QString &before, const QString &during,
                        const QByteArrayList &announced, bool cancel, const QByteArrayList &after) {
        QTest::newRow(name) << before << during << announced << cancel << after;
    };
    row("an old file at a destination goes", u"echo old > a.mp4"_s, {}, {"D a.mp4"}, false, {});
    // The downloader wrote the file before its announcement was read, in the same second
    // as the start or with another clock: by identity, it is this download's.
    row("a file written since the start stays", {}, u"echo new > a.mp4"_s, {"D a.mp4"}, false,
        {"a.mp4"});
    row("an old file replaced since the start stays", u"echo old > a.mp4"_s,
        u"echo new > n && mv n a.mp4"_s, {"D a.mp4"}, false, {"a.mp4"});
    row("an old file rewritten in place stays", u"echo old > a.mp4"_s, u"echo more >> a.mp4"_s,
        {"D a.mp4"}, false, {"a.mp4"});
    row("names are bytes, not decoded text", u"touch $'\\xff.mp4' $'\\xef\\xbf\\xbd.mp4'"_s, {},
        {"D \xff.mp4"}, false, {"\xef\xbf\xbd.mp4"});
    row("cancel: partial and temporary files go", u"touch a.mp4.part other.mp4"_s,
        u"touch a.mp4.part a.mp4.ytdl a.mp4.part-Frag1 a.temp.mp4 b.mp4.part"_s, {"D a.mp4"}, true,
        {"b.mp4.part", "other.mp4"});
    row("cancel during a conversion", {}, u"touch a.m4a a.mp3 a.temp.m4a"_s, {"D a.m4a", "C a.mp3"},
        true, {"a.m4a"});
    row("cancel after a finished conversion", {}, u"touch a.m4a a.mp3 b.m4a.part"_s,
        {"D a.m4a", "C a.mp3", "D b.m4a"}, true, {"a.m4a", "a.mp3"});
    row("cancel before the converter replaced an old file", u"echo old > a.mp3"_s, u"touch a.m4a"_s,
        {"D a.m4a", "C a.mp3"}, true, {"a.m4a", "a.mp3"});
}

void tst_DestinationCleanup::onlyOldAndUnfinishedFilesGo()
{
    QFETCH(QString, before);
    QFETCH(QString, during);
    QFETCH(QByteArrayList, announced);
    QFETCH(bool, cancel);
    QFETCH(QByteArrayList, after);
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    QVERIFY(runIn(folder.path(), u":;"_s + before));
    DestinationCleanup cleanup;
    cleanup.begin(path);
    QVERIFY(runIn(folder.path(), u":;"_s + during));
    for (const QByteArray &announcement : std::as_const(announced)) {
        const QByteArray file = path + '/' + announcement.sliced(2);
        if (announcement.startsWith('D')) {
            cleanup.destinationAnnounced(file);
        } else {
            cleanup.conversionAnnounced(file);
        }
    }
    if (cancel) {
        cleanup.removeUnfinished();
    }
    QCOMPARE(namesIn(path), after);
}

QTEST_GUILESS_MAIN(tst_DestinationCleanup)
#include "tst_destinationcleanup.moc"
