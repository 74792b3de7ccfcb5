// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "tools/TerminationSignals.h"

#include <array>
#include <cerrno>
#include <csignal>

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::array<int, 3> handledSignals {SIGINT, SIGTERM, SIGHUP};

// The handler may only do async-signal-safe work: it writes the signal's number into a
// socket that the event loop watches.
int s_writeFd = -1;
int s_readFd = -1;

void handleSignal(int signalNumber)
{
    // The interrupted code may be about to read errno.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(s_writeFd, &byte, 1);
    errno = savedErrno;
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : handledSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    std::array<int, 2> sockets {-1, -1};
    if (s_writeFd >= 0
        || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets.data()) != 0) {
        return;
    }
    s_readFd = sockets[0];
    s_writeFd = sockets[1];
    m_notifier = new QSocketNotifier(s_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    setHandler(handleSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    setHandler(SIG_DFL);
    m_notifier->setEnabled(false);
    ::close(s_readFd);
    ::close(s_writeFd);
    s_readFd = s_writeFd = -1;
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    if (::read(s_readFd, &byte, 1) == 1) {
        emit received(byte);
    }
}
