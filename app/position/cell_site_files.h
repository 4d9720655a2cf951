// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <string>
#include <string_view>

class LabelElement;
class Platform;
struct ProgramFolder;
class WriteProblems;
struct NetworkState;
struct PositionState;

// Names of cells and sites kept in "Funkor.clf" and "Funkor.txt": the
// naming dialog on the cell label Cell, which shows the name of the cell
// or site (or " Home" while the home display is on).
class CellSiteFiles {
  public:
    struct Elements {
        LabelElement* Cell;
    };
    CellSiteFiles(const Elements& elements, const NetworkState& network,
                  const PositionState& position, Platform& platform, const ProgramFolder& folder,
                  WriteProblems& writeProblems);
    ~CellSiteFiles();

    // A mouse button pressed on the cell label (1 left, 2 right, 4 middle).
    // An unnamed cell or site gets a name: the left button names the site
    // (on O2 only), any other button the cell.
    void Cell_MouseDown(int button);

    // The name the cell label shows ("" for none).
    QString caption() const;
    void showCaption(const QString& caption);
    // A new serving cell: its name from the cell file, or none, and the
    // label shown.
    void showNameOf(const std::string& cellKey);

  private:
    using RecordLine = std::string (*)(std::string_view key, std::string_view name);
    // Asks a name for the key `key` refers to and files it in `file`; the
    // label shows it when `key` still holds the key clicked.
    void nameClicked(const char* file, const std::string& key, RecordLine line);
    // Path of a data file in the program folder, as the file functions take it.
    std::string filePath(const char* name) const;

    LabelElement* Cell_;
    const NetworkState& network_;
    const PositionState& position_;
    Platform& platform_;
    const ProgramFolder& folder_;
    WriteProblems& writeProblems_;
};
