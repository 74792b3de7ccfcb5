// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "tools/PlainText.h"

using namespace Qt::StringLiterals;

namespace {
// The notification waits at most this long for the server's capabilities; the window never.
constexpr int capabilitiesTimeout = 2000;

QDBusMessage notificationCall(const QString &method)
{
    return QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s,
                                          u"/org/freedesktop/Notifications"_s,
                                          u"org.freedesktop.Notifications"_s, method);
}

// A server that reads markup in the body would take "&" and "<" for its own.
QString escapedMarkup(QString text)
{
    return text.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
}
} // namespace

void notifyDesktop(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(notificationCall(u"GetCapabilities"_s), capabilitiesTimeout));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [summary, body](QDBusPendingCallWatcher *answer) {
                         answer->deleteLater();
                         const QDBusPendingReply<QStringList> capabilities = *answer;
                         const bool markup = capabilities.isValid()
                             && capabilities.value().contains(u"body-markup"_s);
                         QDBusMessage notify = notificationCall(u"Notify"_s);
                         // Application, no notification to replace, icon, summary, body, no
                         // actions, no hints, the server's own display time.
                         notify << u"Quorvel"_s << 0U << u"quorvel"_s << summary
                                << (markup ? escapedMarkup(shownText(body)) : shownText(body))
                                << QStringList() << QVariantMap() << -1;
                         QDBusConnection::sessionBus().call(notify, QDBus::NoBlock);
                     });
}
