#pragma once
// Audio files through libsndfile, and output files that appear only when a
// render has fully succeeded.

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace tarvel {

class SoundFile {
 public:
  // On failure null, with error naming the file and libsndfile's reason.
  static std::unique_ptr<SoundFile> OpenRead(const std::string& path, std::string& error);
  // info gives format, channels and rate. Integer formats clip rather than
  // wrap samples beyond full scale.
  static std::unique_ptr<SoundFile> OpenWrite(const std::string& path, SF_INFO info, std::string& error);

  ~SoundFile();
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  const SF_INFO& Info() const { return info_; }
  // Interleaved frames; the count read (0 at the end or on an error).
  std::int64_t Read(double* interleaved, std::int64_t frames);
  bool Write(const double* interleaved, std::int64_t frames);
  // libsndfile's description of the last problem with this file.
  std::string ErrorText() const { return sf_strerror(handle_); }
  // Flushes and closes; false (with error) when the data did not reach the file.
  bool Close(std::string& error);

 private:
  SoundFile(SNDFILE* handle, const SF_INFO& info) : handle_(handle), info_(info) {}

  SNDFILE* handle_;
  SF_INFO info_;
};

// The name of a major format ("WAV (Microsoft)"), from libsndfile.
std::string FormatName(int format);

// Paths are UTF-8 text. (The Windows build takes them from its narrow command
// line and libsndfile opens files by narrow name there: ASCII paths only.)
std::filesystem::path PathFromUtf8(const std::string& text);

// A file written under a temporary name next to its final path and renamed
// into place by Commit; removed if never committed.
class PendingFile {
 public:
  explicit PendingFile(std::string finalPath);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& TempPath() const { return tempPath_; }
  const std::string& FinalPath() const { return finalPath_; }
  bool Commit(std::string& error);

 private:
  std::string finalPath_;
  std::string tempPath_;
  bool committed_ = false;
};

}  // namespace tarvel
