// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <algorithm>
#include <cstdio>

#include <QFile>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TestSupport {

QString toolFolder()
{
    return QStringLiteral(QUORVEL_TOOL_DIR_FOR_TESTS);
}

QString standInDownloader()
{
    return QStringLiteral(QUORVEL_FAKES_DIR_FOR_TESTS "/standin-downloader.sh");
}

std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir)
{
    return std::make_unique<QSettings>(dir.filePath(u"settings.ini"_s), QSettings::IniFormat);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QList<qint64> processIds(const QString &file)
{
    QList<qint64> pids;
    for (const QByteArray &word : readFile(file).simplified().split(' ')) {
        if (word.toLongLong() > 0) {
            pids << word.toLongLong();
        }
    }
    return pids;
}

bool allEnd(const QList<qint64> &pids, int milliseconds)
{
    // The state follows the command name, which is in parentheses and may hold blanks.
    const auto alive = [](qint64 pid) {
        const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        return close >= 0 && close + 2 < stat.size() && stat.at(close + 2) != 'Z';
    };
    return QTest::qWaitFor([&] { return std::none_of(pids.cbegin(), pids.cend(), alive); },
                           milliseconds);
}

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    m_file.open();
    m_savedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_file.handle(), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    ::dup2(m_savedFd, STDOUT_FILENO);
    ::close(m_savedFd);
}

QByteArray StdoutCapture::text()
{
    std::fflush(stdout);
    // QtTest writes its own lines ("QWARN  : ...") to standard output too: leave them out.
    QByteArray text;
    for (const QByteArray &line : readFile(m_file.fileName()).split('\n')) {
        const QByteArray head = line.first(std::max<qsizetype>(line.indexOf(':'), 0));
        if (!line.isEmpty() && !(line.startsWith('Q') && head == head.toUpper())) {
            text += line + '\n';
        }
    }
    return text;
}

} // namespace TestSupport
