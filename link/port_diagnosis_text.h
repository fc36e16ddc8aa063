#pragma once
// The port check's findings as the desk reads them, one line each with what
// to do, shared by `orvald-cli doctor` and the window's Check ports.

#include <string>
#include <vector>

#include "link/port_diagnosis.h"

namespace orvald {

// "COM1 (/dev/ttyUSB0): ..." for each finding, port after port, then one line
// that sums it up.
std::vector<std::string> DiagnosisLines(const std::vector<PortDiagnosis>& diagnoses);

}  // namespace orvald
