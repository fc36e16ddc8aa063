#pragma once
// Writes a raw image while it is downloaded. The bytes go to "<name>.part"
// as they arrive and are checked write by write; only a download that ends
// (complete, or cut short by the logger) gives the file its final name, after
// it is flushed to the disk. A crash, a full disk or an abort therefore never
// leaves a file under the final name that looks complete but is not.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvald {

class RawFileWriter {
 public:
  RawFileWriter() = default;
  RawFileWriter(const RawFileWriter&) = delete;
  RawFileWriter& operator=(const RawFileWriter&) = delete;
  // Closes a file still open and leaves it under its ".part" name.
  ~RawFileWriter();

  static std::string PartPathFor(const std::string& finalPath);

  // Creates (or truncates) the ".part" file for `finalPath`. False with
  // errorNumber() set when it cannot be made.
  bool Create(const std::string& finalPath);
  // Appends all `count` bytes; false with errorNumber() set when any of them
  // could not be written. Nothing more is written after a failure.
  bool Write(const uint8_t* bytes, size_t count);
  // Flushes the file to the disk, closes it and renames it to the final
  // name. False with errorNumber() set when any of it failed; the file then
  // stays under its ".part" name.
  bool Finish();
  // Closes the file, keeping it under its ".part" name.
  void CloseKeepingPart();
  // Closes and deletes the file.
  void Discard();

  int errorNumber() const { return errorNumber_; }
  const std::string& finalPath() const { return finalPath_; }
  const std::string& partPath() const { return partPath_; }
  uint64_t bytesWritten() const { return bytesWritten_; }

 private:
  bool CloseFile();

  int fd_ = -1;
  int errorNumber_ = 0;
  uint64_t bytesWritten_ = 0;
  std::string finalPath_;
  std::string partPath_;
};

}  // namespace orvald
