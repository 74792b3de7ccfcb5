// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <algorithm>
#include <cstdio>

#include <QFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace TestSupport {

QString toolFolder()
{
    return QStringLiteral(QUORVEL_TOOL_DIR_FOR_TESTS);
}

std::unique_ptr<QSettings> makeSettings(const QTemporaryDir &dir)
{
    return std::make_unique<QSettings>(dir.filePath(u"settings.ini"_s), QSettings::IniFormat);
}

QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    file.write(body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                        | QFile::ExeGroup);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

bool isProcessAlive(qint64 pid)
{
    QFile stat(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    // The state follows the command name, which is in parentheses and may hold blanks.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && line.at(close + 2) != 'Z';
}

StdoutCapture::StdoutCapture()
    : m_file(std::make_unique<QTemporaryFile>())
{
    std::fflush(stdout);
    m_file->open();
    m_savedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_file->handle(), STDOUT_FILENO);
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
    QFile reader(m_file->fileName());
    reader.open(QIODevice::ReadOnly);
    // QtTest writes its own messages to standard output too: leave them out.
    QByteArray text;
    for (const QByteArray &line : reader.readAll().split('\n')) {
        static const QByteArrayList testPrefixes
            = {"QWARN  :", "QINFO  :", "QDEBUG :", "QSYSTEM:", "QCRITICAL:"};
        const bool fromTest
            = std::any_of(testPrefixes.cbegin(), testPrefixes.cend(),
                          [&line](const QByteArray &p) { return line.startsWith(p); });
        if (!fromTest && !line.isEmpty()) {
            text += line + '\n';
        }
    }
    return text;
}

} // namespace TestSupport
