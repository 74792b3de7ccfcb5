// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/StatusReadouts.h"

#include <QFileInfo>
#include <QHBoxLayout>

#include "app/MessageLine.h"
#include "tools/ToolSet.h"

using namespace Qt::StringLiterals;

StatusReadouts::StatusReadouts(QWidget *parent)
    : QWidget(parent)
    , m_versionLabel(new MessageLine(this))
{
    m_versionLabel->setObjectName(u"downloaderVersionLabel"_s);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    layout->addWidget(m_versionLabel, 1);
}

void StatusReadouts::showDownloader(const ToolSet &tools)
{
    m_versionLabel->setMessage(tools.description(),
                               youtubeDLPath() ? QFileInfo(*youtubeDLPath()).canonicalFilePath()
                                               : QString());
}
