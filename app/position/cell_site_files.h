// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

class Form1;

// Names of cells and sites kept in "Funkor.clf" and "Funkor.txt": the
// naming dialog on the cell label.
class CellSiteFiles {
  public:
    explicit CellSiteFiles(Form1& form);
    ~CellSiteFiles();

    // A mouse button pressed on the cell label (1 left, 2 right, 4 middle).
    // An unnamed cell or site gets a name: the left button names the site
    // (on O2 only), any other button the cell.
    void Cell_MouseDown(int button);

  private:
    // Asks for a name under `title`; "" when the user gives none.
    std::string askName(const char* title);
    // Path of a data file in the program folder, as the file functions take it.
    std::string filePath(const char* name) const;

    Form1& f;
};
