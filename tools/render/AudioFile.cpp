#include "tools/render/AudioFile.h"

#include <filesystem>
#include <system_error>

namespace tarvel {

std::unique_ptr<SoundFile> SoundFile::OpenRead(const std::string& path, std::string& error) {
  SF_INFO info{};
  SNDFILE* handle = sf_open(path.c_str(), SFM_READ, &info);
  if (handle == nullptr) {
    error = sf_strerror(nullptr);
    return nullptr;
  }
  return std::unique_ptr<SoundFile>(new SoundFile(handle, info));
}

std::unique_ptr<SoundFile> SoundFile::OpenWrite(const std::string& path, SF_INFO info, std::string& error) {
  if (sf_format_check(&info) == 0) {
    error = "libsndfile cannot write this combination of format, channels and rate";
    return nullptr;
  }
  SNDFILE* handle = sf_open(path.c_str(), SFM_WRITE, &info);
  if (handle == nullptr) {
    error = sf_strerror(nullptr);
    return nullptr;
  }
  sf_command(handle, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return std::unique_ptr<SoundFile>(new SoundFile(handle, info));
}

SoundFile::~SoundFile() {
  if (handle_ != nullptr) sf_close(handle_);
}

std::int64_t SoundFile::Read(double* interleaved, std::int64_t frames) {
  return sf_readf_double(handle_, interleaved, frames);
}

bool SoundFile::Write(const double* interleaved, std::int64_t frames) {
  return sf_writef_double(handle_, interleaved, frames) == frames;
}

bool SoundFile::Close(std::string& error) {
  const int result = sf_close(handle_);
  handle_ = nullptr;
  if (result != 0) {
    error = sf_error_number(result);
    return false;
  }
  return true;
}

std::string FormatName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_TYPEMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
    return "format number " + std::to_string(info.format);
  }
  return info.name;
}

std::filesystem::path PathFromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

PendingFile::PendingFile(std::string finalPath)
    : finalPath_(std::move(finalPath)), tempPath_(finalPath_ + ".tarvel-part") {}

PendingFile::~PendingFile() {
  if (committed_) return;
  std::error_code ignored;
  std::filesystem::remove(PathFromUtf8(tempPath_), ignored);
}

bool PendingFile::Commit(std::string& error) {
  std::error_code failure;
  std::filesystem::rename(PathFromUtf8(tempPath_), PathFromUtf8(finalPath_), failure);
  if (failure) {
    error = "cannot move " + tempPath_ + " to " + finalPath_ + ": " + failure.message();
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace tarvel
