#pragma once
// The day's task as the desk judges every log against it, read from the
// tasks table when it is needed, so an edit made during the day counts.

#include <string>

#include "desk/verdict.h"

namespace orvald {

// The task `number` of the tasks table at `tasksPath`. False, with `error`
// set, when the table cannot be read or does not hold the task.
bool ReadDeskTask(const std::string& tasksPath, const std::string& number, DeskTask& task, std::string& error);

}  // namespace orvald
