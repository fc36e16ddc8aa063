#include "export/igc_writer.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "export/igc_text.h"
#include "files/file_writer.h"

namespace orvald {
namespace {

std::string PathIn(const std::string& directory, const std::string& name) {
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// What the operator reads: the file as they would find it.
std::string Shown(const std::string& directory, const std::string& name) {
  return directory == "." ? name : PathIn(directory, name);
}

// The name a save would take now: the first that nothing of that name holds.
std::string FirstFreeName(const std::string& directory, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    struct stat info;
    if (::lstat(PathIn(directory, name).c_str(), &info) != 0) return name;
  }
  return names.back();
}

IgcSaveResult Failed(IgcSaveStatus status, const std::string& what, const std::string& directory,
                     const std::string& name, int error) {
  IgcSaveResult result;
  result.status = status;
  result.fileName = name;
  result.error = what + " " + SystemError{error, Shown(directory, name)}.Text();
  return result;
}

}  // namespace

IgcSaveResult WriteIgcFile(const TrackTable& table, const IgcSaveRequest& request) {
  IgcSaveResult result;
  const std::string problem = IgcSelectionProblem(table, request.firstSegment, request.lastSegment);
  if (!problem.empty()) {
    result.status = IgcSaveStatus::kNothingSelected;
    result.error = problem;
    return result;
  }

  std::vector<std::string> names;
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    names.push_back(IgcFileName(request.competNo, request.taskText, version, request.pilotNames));
  }
  const std::string directory = request.directory.empty() ? "." : request.directory;
  const std::string name = FirstFreeName(directory, names);

  // Written whole under a hidden name, then given the first free version:
  // an IGC file is complete or not there at all.
  FileWriter file;
  if (!file.Begin(directory, ".orvald-igc.part")) {
    return Failed(IgcSaveStatus::kCannotCreate, "Can't create file", directory, name, file.errorNumber());
  }
  if (!file.Write(IgcFileText(table, request))) {
    return Failed(IgcSaveStatus::kWriteFailed, "Can't write file", directory, name, file.errorNumber());
  }
  if (!file.CommitNew([&names](int k) { return k < static_cast<int>(names.size()) ? names[k] : std::string(); })) {
    if (file.noFreeName()) {
      result.status = IgcSaveStatus::kNoFreeName;
      result.error = "No free file name is left: " + names.front() + " to " + names.back() + " all exist.";
      return result;
    }
    return Failed(IgcSaveStatus::kWriteFailed, "Can't write file", directory, name, file.errorNumber());
  }
  result.status = IgcSaveStatus::kSaved;
  result.fileName = file.finalName();
  return result;
}

}  // namespace orvald
