#include "base/file_identity.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace sorowa {
namespace {

FileIdentity FromStat(const struct stat& info) {
  return {info.st_dev, info.st_ino, S_ISREG(info.st_mode), S_ISDIR(info.st_mode)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FromStat(info);
}

std::optional<FileIdentity> IdentityOf(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  return FromStat(info);
}

bool IsSameOrInside(const std::string& path, const FileIdentity& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  // Links resolved where they exist, so that the walk up goes through the real parents.
  fs::path at = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return false;
  for (;;) {
    if (const std::optional<FileIdentity> identity = IdentityOf(at.string())) {
      if (*identity == folder) return true;
    }
    if (at == at.root_path() || !at.has_relative_path()) return false;
    at = at.parent_path();
  }
}

}  // namespace sorowa
