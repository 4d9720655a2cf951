// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Form1;

// The position engine on the window: gathers the page, the cell and the
// switches from the window state, has the position computed and spreads it
// over the labels, the sentence pair, the map, the output timer and the log.
class PositionEngine {
  public:
    explicit PositionEngine(Form1& form);
    ~PositionEngine();

    // Runs after each broadcast page and after the cell display switch.
    void ComputeCellPosition();

  private:
    // The controls that only make sense once a broadcast position arrives.
    void showPositionControls();

    Form1& f;
};
