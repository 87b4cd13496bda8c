#include <windows.h>

#include <optional>
#include <vector>

#include "tools/render/FileIdentity.h"

namespace tarvel {
namespace {

struct FileId {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};

std::optional<FileId> IdentityOf(const std::string& path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  // No access rights asked: only the identity is read, even of a file that
  // another program holds open.
  HANDLE file = CreateFileW(wide.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  const auto first = IdentityOf(a);
  const auto second = IdentityOf(b);
  return first && second && first->volume == second->volume && first->indexHigh == second->indexHigh &&
         first->indexLow == second->indexLow;
}

}  // namespace tarvel
