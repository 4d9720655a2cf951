// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/form2.h"

#include <QVBoxLayout>

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Funkor"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(List1);
    resize(260, 360);
}

void Form2::unload() {
    hide();
    List1->clear();
}
