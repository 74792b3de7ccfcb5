// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "download/TitleNaming.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QString>

#include "tools/Logging.h"

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Moves `from` to `to` unless `to` exists; errno tells why not.
bool moveWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system that cannot rename without replacing: a second name never replaces
    // either, and the first one goes once the second is there.
    if (::link(from.constData(), to.constData()) != 0) {
        return false;
    }
    ::unlink(from.constData());
    return true;
}

} // namespace

QString titleOnlyTemplate()
{
    return u"%(id)s#%(format_id)s#%(title)s.%(ext)s"_s;
}

QByteArray unmarkedName(const QByteArray &name)
{
    const qsizetype mark = name.lastIndexOf('#');
    if (mark < 0 || mark + 1 == name.size() || name.at(mark + 1) == '.') {
        return {};
    }
    return name.sliced(mark + 1);
}

QByteArray moveToFreeName(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = unmarkedName(path.sliced(slash + 1));
    if (name.isEmpty()) {
        return path;
    }
    const QByteArray folder = path.first(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.first(dot) : name;
    const QByteArray extension = dot > 0 ? name.sliced(dot) : QByteArray();
    for (int number = 1; number < 10'000; ++number) {
        const QByteArray target = number == 1
            ? QByteArray(folder + name)
            : QByteArray(folder + stem + '-' + QByteArray::number(number) + extension);
        if (moveWithoutReplacing(path, target)) {
            return target;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    qCWarning(lcQuorvel).noquote() << u"Fichier %1 ne peut être renommé : %2"_s.arg(
        QString::fromUtf8(path), QString::fromLocal8Bit(std::strerror(errno)));
    return path;
}
