#pragma once

class Form1;

// Names of cells and sites kept in "Funkor.clf" and "Funkor.txt": the
// naming dialog on the cell label.
class CellSiteFiles {
  public:
    explicit CellSiteFiles(Form1& form);
    ~CellSiteFiles();

    void Cell_MouseDown(int button);

  private:
    Form1& f;
};
