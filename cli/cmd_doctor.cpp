// orvald-cli doctor: what stands in the way of each port, one line a finding.

#include <cstdio>

#include "cli/commands.h"
#include "cli/port_choice.h"
#include "link/port_diagnosis_text.h"

namespace orvald::cli {

int RunDoctor(const std::vector<std::string>& args) {
  const ParsedArgs parsed = ParseArgs(args, {"port", "com"});
  if (!parsed.error.empty()) return UsageError("doctor", parsed.error);
  if (!parsed.positional.empty()) return UsageError("doctor", "unexpected argument '" + parsed.positional[0] + "'");

  DiagnosisSetup setup;
  setup.user = CurrentDeskUser();
  setup.requestLowLatency = SystemLowLatencyRequest();
  std::vector<PortToCheck> ports;
  if (parsed.given.empty()) {
    ports = FindSerialPorts(setup.places);
  } else {
    std::vector<PortChoice> choices;
    if (std::string error = ReadPortChoices(parsed, choices); !error.empty()) return UsageError("doctor", error);
    for (const PortChoice& choice : choices) {
      ports.push_back({choice.device.empty() ? choice.Name() : std::string(), choice.DevicePath(), {}});
    }
  }
  const std::vector<PortDiagnosis> diagnoses = DiagnosePorts(ports, setup);
  for (const std::string& line : DiagnosisLines(diagnoses)) std::printf("%s\n", line.c_str());
  return NothingInTheWay(diagnoses) ? kExitOk : kExitFailure;
}

}  // namespace orvald::cli
