#include "export/flight_files.h"

#include <sys/stat.h>

#include <functional>
#include <utility>

#include "export/igc_file_name.h"
#include "export/igc_text.h"
#include "export/track_xml.h"
#include "files/file_writer.h"
#include "files/path_in.h"

namespace orvald {
namespace {

bool Taken(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// What the operator reads: the file as they would find it.
std::string Shown(const std::string& directory, const std::string& name) {
  return directory == "." ? name : PathIn(directory, name);
}

// Makes a file's bytes and hands them, in order, to a sink; false when the
// sink refused some.
using FileContent = std::function<bool(const TextSink& sink)>;

FileContent WholeText(std::function<std::string()> make) {
  return [make = std::move(make)](const TextSink& sink) {
    const std::string text = make();
    return sink(text.data(), text.size());
  };
}

// Writes `content` whole under the first free name of `names`, or nothing:
// to a hidden temporary first, then given the name, never replacing a file.
IgcSaveResult WriteWholeNewFile(const std::string& directory, const std::vector<std::string>& names,
                                const FileContent& content) {
  IgcSaveResult result;
  result.fileName = names.back();
  for (const std::string& name : names) {
    if (!Taken(PathIn(directory, name))) {
      result.fileName = name;
      break;
    }
  }
  auto failed = [&](IgcSaveStatus status, const char* what, int error) {
    result.status = status;
    result.error = std::string(what) + " " + SystemError{error, Shown(directory, result.fileName)}.Text();
    return result;
  };
  FileWriter file;
  if (!file.Begin(directory, ".orvald-save.part")) {
    return failed(IgcSaveStatus::kCannotCreate, "Can't create file", file.errorNumber());
  }
  const TextSink toFile = [&file](const char* bytes, size_t count) { return file.Write(bytes, count); };
  if (!content(toFile)) return failed(IgcSaveStatus::kWriteFailed, "Can't write file", file.errorNumber());
  if (!file.CommitNew([&names](int k) { return k < static_cast<int>(names.size()) ? names[k] : std::string(); })) {
    if (!file.noFreeName()) return failed(IgcSaveStatus::kWriteFailed, "Can't write file", file.errorNumber());
    result.status = IgcSaveStatus::kNoFreeName;
    result.error = "No free file name is left: " + names.front() + " to " + names.back() + " all exist.";
    return result;
  }
  result.status = IgcSaveStatus::kSaved;
  result.fileName = file.finalName();
  result.error.clear();
  return result;
}

struct Companion {
  const char* extension;
  std::function<std::string(const std::string& title)> text;
};

}  // namespace

std::string CompanionFileName(const std::string& igcFileName, const std::string& extension) {
  const size_t dot = igcFileName.rfind('.');
  return (dot == std::string::npos ? igcFileName : igcFileName.substr(0, dot)) + "." + extension;
}

FlightFilesResult WriteFlightFiles(const TrackTable& table, const IgcSaveRequest& request, CompanionFormats formats) {
  FlightFilesResult result;
  const std::string problem = IgcSelectionProblem(table, request.firstSegment, request.lastSegment);
  if (!problem.empty()) {
    result.igc.status = IgcSaveStatus::kNothingSelected;
    result.igc.error = problem;
    return result;
  }
  const std::string directory = request.directory.empty() ? "." : request.directory;

  std::vector<Companion> companions;
  if (formats.kml) {
    companions.push_back({"kml", [&](const std::string& title) { return KmlFileText(table, request, title); }});
  }
  if (formats.gpx) {
    companions.push_back({"gpx", [&](const std::string& title) { return GpxFileText(table, request, title); }});
  }

  std::vector<std::string> names;
  for (char version = '1'; version != 0; version = NextVersionChar(version)) {
    const std::string name = IgcFileName(request.competNo, request.taskText, version, request.pilotNames);
    bool companionTaken = false;
    for (const Companion& c : companions) companionTaken |= Taken(PathIn(directory, CompanionFileName(name, c.extension)));
    if (!companionTaken) names.push_back(name);
  }
  if (names.empty()) {
    result.igc.status = IgcSaveStatus::kNoFreeName;
    result.igc.error = "No free file name is left: every version of " +
                       IgcFileName(request.competNo, request.taskText, '1', request.pilotNames) +
                       " and its companion files exist.";
    return result;
  }

  result.igc = WriteWholeNewFile(directory, names,
                                 [&](const TextSink& sink) { return WriteIgcText(table, request, sink); });
  if (!result.igc.saved()) return result;

  const std::string& written = result.igc.fileName;
  const std::string title = written.substr(0, written.rfind('.'));
  for (const Companion& c : companions) {
    const std::string name = CompanionFileName(written, c.extension);
    const IgcSaveResult companion = WriteWholeNewFile(directory, {name}, WholeText([&] { return c.text(title); }));
    if (companion.saved()) {
      result.companions.push_back(name);
    } else if (result.companionError.empty()) {
      result.companionError =
          companion.status == IgcSaveStatus::kNoFreeName ? name + " exists already; it was kept." : companion.error;
    }
  }
  return result;
}

}  // namespace orvald
