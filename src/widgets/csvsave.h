#pragma once
// Writing a table the user sees as a CSV file of the name they choose.
#include <functional>

#include "base/table.h"

class QWidget;
class UiServices;
struct FileDialogRequest;

// Asks for a CSV file name and writes the table `table()` gives there (asked only once a name is
// chosen). A failure is shown in the error box; cancelling the question writes nothing.
void saveTableAsCsv(UiServices& ui, QWidget* parent, const std::function<veltris::Table()>& table);
// The same with the question `req` (a CSV question with its start folder and proposed name).
void saveTableAsCsv(UiServices& ui, QWidget* parent, const std::function<veltris::Table()>& table,
                    const FileDialogRequest& req);
