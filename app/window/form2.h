// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QListWidget>
#include <QWidget>

// The second window: one list with a report of the phone's state, shown
// beside the main window while that is maximized.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(QWidget* parent = nullptr);

    QListWidget* List1;

    // Closes the window and forgets its report.
    void unload();
};
