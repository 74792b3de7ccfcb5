// SPDX-FileCopyrightText: 2026 Quorvel developers
// SPDX-License-Identifier: MIT
#include "app/PlainLabel.h"

#include <QLabel>

QLabel *plainWrappingLabel(const QString &objectName, const QString &accessibleName,
                           QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setAccessibleName(accessibleName);
    label->setTextFormat(Qt::PlainText);
    // A long title or a name without blanks, as the downloader writes them, must not widen
    // the window: the label takes the width it is given. Word wrap, set after, keeps the
    // height for it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setWordWrap(true);
    return label;
}
