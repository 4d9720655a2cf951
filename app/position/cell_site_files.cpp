#include "app/position/cell_site_files.h"

#include "app/window/form1.h"

CellSiteFiles::CellSiteFiles(Form1& form) : f(form) {}
CellSiteFiles::~CellSiteFiles() = default;
void CellSiteFiles::Cell_MouseDown(int) {}
