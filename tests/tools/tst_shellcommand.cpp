// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "tools/ShellCommand.h"
#include "tools/ToolLookup.h"

using namespace Qt::StringLiterals;

class tst_ShellCommand final : public QObject
{
    Q_OBJECT

private slots:
    void quotedTextReachesProgramUnchanged_data();
    void quotedTextReachesProgramUnchanged();
    void resourceLookup();
    void processGroupEndsWithItsChildren();
};

void tst_ShellCommand::quotedTextReachesProgramUnchanged_data()
{
    QTest::addColumn<QString>("text");
    // Each text would, unquoted, create the file "ran" in the working folder or split.
    QTest::newRow("apostrophe") << u"L'été d'un '' quote'"_s;
    QTest::newRow("double quotes") << u"say \"hi\" \"$(touch ran)\""_s;
    QTest::newRow("command substitution") << u"$(touch ran)"_s;
    QTest::newRow("backticks") << u"`touch ran`"_s;
    QTest::newRow("semicolon") << u"; touch ran"_s;
    QTest::newRow("and") << u"x && touch ran"_s;
    QTest::newRow("pipe and background") << u"x | touch ran & touch ran"_s;
    QTest::newRow("newline") << u"line one\ntouch ran\n"_s;
    QTest::newRow("spaces and tabs") << u"  two  words\t tab  "_s;
    QTest::newRow("leading hyphen") << u"--exec=touch ran"_s;
    QTest::newRow("variables and globs") << u"$HOME ${PATH} * ? [a] ~ !!"_s;
    QTest::newRow("backslashes") << u"\\' \\\\ \\n"_s;
    QTest::newRow("non-ASCII") << u"vidéo – 日本語 🎬"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("redirections") << u"> ran < x 2>&1"_s;
}

void tst_ShellCommand::quotedTextReachesProgramUnchanged()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // printf receives the quoted word as its second argument and writes it back verbatim.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(shellProgram(), shellArguments(u"printf %s "_s + shellQuote(text)));
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(shell.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), text);
    QCOMPARE(QString::fromUtf8(shell.readAllStandardError()), QString());
    QVERIFY2(!QFile::exists(dir.filePath(u"ran"_s)), "a quoted text ran a command");
}

void tst_ShellCommand::resourceLookup()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tool = TestSupport::writeScript(dir, u"youtube-dl"_s, "#!/bin/sh\n");
    QFile plain(dir.filePath(u"ffmpeg"_s));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    QVERIFY(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling"_s)));

    QCOMPARE(resourcePath(u"youtube-dl"_s, dir.path()), std::optional<QString>(tool));
    QCOMPARE(resourcePath(u"ffmpeg"_s, dir.path()), std::nullopt); // not executable
    QCOMPARE(resourcePath(u"folder"_s, dir.path()), std::nullopt);
    QCOMPARE(resourcePath(u"dangling"_s, dir.path()), std::nullopt);
    QCOMPARE(resourcePath(u"absent"_s, dir.path()), std::nullopt);
    QCOMPARE(resourcePath(u"youtube-dl"_s, QString()), std::nullopt);

    // The build's own tool folder holds the three real tools.
    for (const auto &name : {u"youtube-dl"_s, u"ffmpeg"_s, u"ffprobe"_s}) {
        QVERIFY2(resourcePath(name, TestSupport::toolFolder()).has_value(), qPrintable(name));
    }
}

void tst_ShellCommand::processGroupEndsWithItsChildren()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pidFile = dir.filePath(u"child.pid"_s);

    // The shell starts a background child that would outlive a plain kill of the shell.
    QProcess shell;
    startInOwnProcessGroup(shell);
    shell.start(shellProgram(),
                shellArguments(u"sleep 300 & echo $! > "_s + shellQuote(pidFile) + u"; wait"_s));
    QVERIFY(shell.waitForStarted());
    QTRY_VERIFY(QFile(pidFile).size() > 0);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray childPid = file.readAll().trimmed();

    terminateProcessGroup(shell);
    QVERIFY(shell.waitForFinished(5000));
    QTRY_VERIFY(!TestSupport::isProcessAlive(childPid.toLongLong()));
}

QTEST_GUILESS_MAIN(tst_ShellCommand)
#include "tst_shellcommand.moc"
