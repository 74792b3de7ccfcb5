// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/ToolLookup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString defaultToolFolder()
{
    const QDir executableDir(QCoreApplication::applicationDirPath());
#ifdef Q_OS_MACOS
    return QDir::cleanPath(executableDir.filePath(u"../Resources"_s));
#else
    return QDir::cleanPath(executableDir.filePath(u"../libexec/quorvel"_s));
#endif
}

std::optional<QString> resourcePath(const QString &name, const QString &folder)
{
    if (name.isEmpty() || folder.isEmpty()) {
        return std::nullopt;
    }
    // A link counts by what it points to: a dangling link or a folder is no tool.
    const QFileInfo info(QDir(folder).filePath(name));
    if (!info.isFile() || !info.isExecutable()) {
        return std::nullopt;
    }
    return info.absoluteFilePath();
}
