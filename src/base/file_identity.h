#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace sorowa {

// Which file a name leads to, whatever the name: two names are the same file when device and
// inode agree, through links, "..", bind mounts or hard links alike.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool regular = false;
  bool directory = false;
  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode;
  }
};

// The file path leads to, links followed; nothing when there is none (or it cannot be
// reached).
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The file an open descriptor refers to.
std::optional<FileIdentity> IdentityOf(int fd);

// Whether path is folder itself or lies somewhere below it, links followed. A path that
// does not exist yet is judged by the nearest folder above it that does.
bool IsSameOrInside(const std::string& path, const FileIdentity& folder);

}  // namespace sorowa
