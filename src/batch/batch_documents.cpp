#include "batch/batch_documents.h"

#include <algorithm>
#include <system_error>
#include <unordered_set>

namespace sorowa {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void FailFolder(const std::string& role, const fs::path& path,
                             const std::error_code& error) {
  throw BatchListError("cannot read the " + role + " folder '" + path.string() +
                       "': " + error.message());
}

// The regular files under dir (symbolic links to them included), by their paths relative
// to dir with '/' between the parts, in byte order.
std::vector<std::string> FilesUnder(const fs::path& dir, const std::string& role,
                                    const fs::path& excluded) {
  std::error_code error;
  const fs::file_status status = fs::status(dir, error);
  if (error) FailFolder(role, dir, error);
  if (!fs::is_directory(status)) {
    FailFolder(role, dir, std::make_error_code(std::errc::not_a_directory));
  }
  std::vector<std::string> names;
  fs::recursive_directory_iterator it(dir, error);
  if (error) FailFolder(role, dir, error);
  const std::size_t prefix = dir.native().size();
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (error) FailFolder(role, dir, error);
    const fs::directory_entry& entry = *it;
    std::error_code ignored;
    if (entry.is_directory(ignored)) {
      if (!excluded.empty() && fs::equivalent(entry.path(), excluded, ignored)) {
        it.disable_recursion_pending();
      }
      continue;
    }
    if (!entry.is_regular_file(ignored)) continue;
    // The iterator's paths are dir followed by the relative parts.
    std::string name = entry.path().generic_string().substr(prefix);
    name.erase(0, name.find_first_not_of('/'));
    names.push_back(std::move(name));
  }
  if (error) FailFolder(role, dir, error);
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
      document.error = "there is no Target file '" + document.target + "'";
    } else if (!haveSource) {
      document.error = "there is no Source file '" + document.source + "'";
    }
    s += haveSource;
    t += haveTarget;
    documents.push_back(std::move(document));
  }
  return documents;
}

std::vector<BatchDocument> ReadBatchList(std::string_view text, const std::string& listName) {
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
