#include "batch/batch_documents.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "base/engine_error.h"
#include "base/quoted_name.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void FailFolder(const std::string& role, const fs::path& path,
                             const std::error_code& error) {
  throw BatchListError("cannot read the " + role + " folder " + QuoteName(path.string()) + ": " +
                       ErrorCodeDescription(error));
}

// Every entry under dir that is not a folder, by its path relative to dir with '/' between
// the parts, in byte order. Regular files, but also FIFOs, devices and dangling links: they
// are listed so that their documents fail with what they are, rather than their partners
// with "there is no Source file". Links to folders are followed, each folder entered once
// (a link back up would loop); excluded (the results folder, reached through a link) is not
// entered. A folder that cannot be read stops the listing, naming that folder.
std::vector<std::string> FilesUnder(const fs::path& dir, const std::string& role,
                                    const fs::path& excluded) {
  std::error_code error;
  const fs::file_status status = fs::status(dir, error);
  if (error) FailFolder(role, dir, error);
  if (!fs::is_directory(status)) {
    FailFolder(role, dir, std::make_error_code(std::errc::not_a_directory));
  }
  std::set<std::pair<dev_t, ino_t>> entered;
  std::optional<std::pair<dev_t, ino_t>> skipped;
  struct stat info {};
  if (!excluded.empty() && ::stat(excluded.c_str(), &info) == 0) {
    skipped.emplace(info.st_dev, info.st_ino);
  }
  std::vector<std::string> names;
  // Folders still to read, each with its path relative to dir ("" for dir itself).
  std::vector<std::string> pending{""};
  while (!pending.empty()) {
    const std::string relative = std::move(pending.back());
    pending.pop_back();
    const fs::path folder = relative.empty() ? dir : dir / relative;
    if (::stat(folder.c_str(), &info) != 0)
      FailFolder(role, folder, {errno, std::generic_category()});
    if (!entered.emplace(info.st_dev, info.st_ino).second) continue;
    if (skipped && *skipped == std::pair(info.st_dev, info.st_ino)) continue;
    fs::directory_iterator it(folder, error);
    if (error) FailFolder(role, folder, error);
    for (; it != fs::directory_iterator(); it.increment(error)) {
      if (error) FailFolder(role, folder, error);
      const std::string name = relative.empty() ? it->path().filename().string()
                                                : relative + "/" + it->path().filename().string();
      std::error_code ignored;
      if (it->is_directory(ignored)) {
        pending.push_back(name);
      } else {
        names.push_back(name);
      }
    }
    if (error) FailFolder(role, folder, error);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A path made relative: no leading '/', no empty, "." or ".." parts.
std::string RelativeName(std::string_view path) {
  std::string name;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty() || part == "." || part == "..") continue;
    if (!name.empty()) name += '/';
    name += part;
  }
  return name.empty() ? "document" : name;
}

}  // namespace

std::vector<BatchDocument> ListFolderDocuments(const fs::path& sourceDir, const fs::path& targetDir,
                                               const fs::path& excluded) {
  const std::vector<std::string> sources = FilesUnder(sourceDir, "Source", excluded);
  const std::vector<std::string> targets = FilesUnder(targetDir, "Target", excluded);
  std::vector<BatchDocument> documents;
  std::size_t s = 0;
  std::size_t t = 0;
  while (s < sources.size() || t < targets.size()) {
    BatchDocument document;
    const bool haveSource = s < sources.size() && (t == targets.size() || sources[s] <= targets[t]);
    const bool haveTarget = t < targets.size() && (s == sources.size() || targets[t] <= sources[s]);
    document.name = haveSource ? sources[s] : targets[t];
    document.source = (sourceDir / document.name).string();
    document.target = (targetDir / document.name).string();
    if (!haveTarget) {
      document.error = "there is no Target file " + QuoteName(document.target);
    } else if (!haveSource) {
      document.error = "there is no Source file " + QuoteName(document.source);
    }
    s += haveSource;
    t += haveTarget;
    documents.push_back(std::move(document));
  }
  return documents;
}

std::vector<BatchDocument> ReadBatchList(std::string_view text, const std::string& listName) {
  // Editors on some systems start a UTF-8 file with a byte order mark; it would otherwise
  // stick to the first Source path, where nobody can see it.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
      text.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
    throw BatchListError(listName + ": starts with a UTF-16 or UTF-32 byte order mark; the " +
                         "list is read as bytes, one path a line, so save it as UTF-8");
  }
  std::vector<BatchDocument> documents;
  std::unordered_set<std::string> taken;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    auto fail = [&](const std::string& what) {
      throw BatchListError(listName + ": line " + std::to_string(lineNumber) + ": " + what);
    };
    if (line.find('\0') != std::string_view::npos) fail("a path cannot hold a NUL byte");
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      fail("expected a Source path, a tab and a Target path");
    }
    if (line.find('\t', tab + 1) != std::string_view::npos) {
      fail("more than one tab (a line holds a Source path, a tab and a Target path)");
    }
    BatchDocument document;
    document.source = std::string(line.substr(0, tab));
    document.target = std::string(line.substr(tab + 1));
    if (document.source.empty()) fail("the Source path is empty");
    if (document.target.empty()) fail("the Target path is empty");
    const std::string name = RelativeName(document.source);
    document.name = name;
    for (std::size_t k = 2; taken.contains(document.name); ++k) {
      document.name = name + "~" + std::to_string(k);
    }
    taken.insert(document.name);
    documents.push_back(std::move(document));
  }
  std::sort(documents.begin(), documents.end(),
            [](const BatchDocument& a, const BatchDocument& b) { return a.name < b.name; });
  return documents;
}

std::vector<BatchDocument> SelectShard(const std::vector<BatchDocument>& documents,
                                       std::size_t index, std::size_t count) {
  if (count == 0 || index == 0 || index > count) return {};
  using Wide = unsigned __int128;
  const auto total = static_cast<Wide>(documents.size());
  const auto begin = static_cast<std::size_t>(total * (index - 1) / count);
  const auto end = static_cast<std::size_t>(total * index / count);
  return std::vector<BatchDocument>(documents.begin() + static_cast<std::ptrdiff_t>(begin),
                                    documents.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace sorowa
