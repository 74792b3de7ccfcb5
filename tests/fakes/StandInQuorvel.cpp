// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
// A Quorvel that the tests kill in the middle of its work. "store <database>": stores jobs
// without end, printing each id once committed; "shell <marker> <command>": runs the command
// as Quorvel runs a tool, marked with <marker>, printing what it writes.
#include <cstdio>

#include <QCoreApplication>

#include "download/JobStore.h"
#include "tools/ShellProcess.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == u"store"_s) {
        JobStore store(arguments.at(2));
        for (int count = 0; store.isOpen(); ++count) {
            DownloadJob job;
            job.request.folder = u"/tmp"_s;
            job.request.address = u"http://127.0.0.1/%1"_s.arg(count);
            job.title = u"Vidéo n° %1 "_s.arg(count) + QString(200, u'é');
            if (store.insert(job)) {
                std::printf("%lld\n", static_cast<long long>(job.id));
                std::fflush(stdout);
            }
        }
        return 1;
    }
    if (arguments.size() == 4 && arguments.at(1) == u"shell"_s) {
        ShellProcess::setOwnerMarker(arguments.at(2).toLocal8Bit());
        ShellProcess process;
        QObject::connect(
            &process, &ShellProcess::outputRead, &process, [](const QByteArray &chunk) {
                std::fwrite(chunk.constData(), 1, static_cast<std::size_t>(chunk.size()), stdout);
                std::fflush(stdout);
            });
        QObject::connect(&process, &ShellProcess::ended, &application, &QCoreApplication::quit);
        process.start(arguments.at(3));
        return QCoreApplication::exec();
    }
    return 2;
}
