#include "output_checks.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/file_identity.h"
#include "base/quoted_name.h"
#include "compare/report_store.h"

namespace sorowa {
namespace {

namespace fs = std::filesystem;

struct Input {
  std::string role;  // "the Source file", for messages
  std::string path;
  std::optional<FileIdentity> identity;
};

struct Output {
  std::string what;  // "the report (-o 'r.htm')", for messages
  std::string option;
  std::string path;
  // The file it replaces, or, for a file still to be made, its folder and name. A device
  // or a pipe is written directly and never replaced, so it is not checked (-o /dev/null
  // beside --pairs /dev/null is fine).
  std::optional<FileIdentity> file;
  std::optional<FileIdentity> folder;
  std::string name;
  bool checked = false;
};

Input InputOf(std::string role, const std::string& path) {
  Input input{std::move(role), path, path == "-" ? IdentityOf(0) : IdentityOf(path)};
  if (input.identity && !input.identity->regular) input.identity.reset();
  return input;
}

Output OutputOf(const std::string& noun, const std::string& option, const std::string& path) {
  Output output;
  output.what = noun + " (" + option + " " + QuoteName(path) + ")";
  output.option = option;
  output.path = path;
  if (path == "-") return output;
  fs::path resolved;
  try {
    resolved = ResolveOutputLinks(path);
  } catch (const std::exception&) {
    return output;  // a loop of links: writing it fails with its own message
  }
  output.file = IdentityOf(resolved.string());
  if (output.file) {
    output.checked = output.file->regular;
    if (!output.checked) output.file.reset();
    return output;
  }
  const fs::path parent = resolved.parent_path();
  output.folder = IdentityOf(parent.empty() ? std::string(".") : parent.string());
  output.name = resolved.filename().string();
  output.checked = output.folder.has_value();
  return output;
}

bool SameFile(const Output& a, const Output& b) {
  if (!a.checked || !b.checked) return false;
  if (a.file || b.file) return a.file && b.file && *a.file == *b.file;
  return *a.folder == *b.folder && a.name == b.name;
}

void Check(const std::vector<Input>& inputs, const std::vector<Output>& outputs) {
  for (const Output& output : outputs) {
    if (!output.file) continue;
    for (const Input& input : inputs) {
      if (input.identity && *input.identity == *output.file) {
        throw UsageError(output.what + " would replace " + input.role + " " +
                         QuoteName(input.path) + "; write it to another file");
      }
    }
  }
  for (std::size_t a = 0; a < outputs.size(); ++a) {
    for (std::size_t b = a + 1; b < outputs.size(); ++b) {
      if (SameFile(outputs[a], outputs[b])) {
        throw UsageError(outputs[a].option + " and " + outputs[b].option + " name the same file " +
                         QuoteName(outputs[b].path) + "; give each its own file");
      }
    }
  }
}

}  // namespace

void CheckCompareOutputs(const CommandLine& line) {
  const std::vector<Input> inputs{InputOf("the Source file", line.source),
                                  InputOf("the Target file", line.target)};
  std::vector<Output> outputs;
  if (line.output) outputs.push_back(OutputOf("the report", "-o", *line.output));
  if (line.pairs) outputs.push_back(OutputOf("the pairs", "--pairs", *line.pairs));
  if (line.stats) outputs.push_back(OutputOf("the stats", "--stats", *line.stats));
  Check(inputs, outputs);
}

void CheckMergeOutputs(const CommandLine& line) {
  std::vector<Input> inputs;
  for (const std::string& path : line.mergeInputs) {
    Input input = InputOf("the input", path);
    for (const Input& earlier : inputs) {
      if (input.identity && earlier.identity && *input.identity == *earlier.identity) {
        throw UsageError(QuoteName(earlier.path) + " and " + QuoteName(path) +
                         " are the same file; each result can be merged only once");
      }
    }
    inputs.push_back(std::move(input));
  }
  Check(inputs, {OutputOf("the merged stats", "--merge-stats", line.mergeOutput)});
}

void CheckBatchFolders(const CommandLine& line) {
  if (!line.batchList.empty()) return;
  for (const auto& [role, folder] :
       {std::pair<const char*, const std::string&>{"Source", line.source},
        {"Target", line.target}}) {
    const std::optional<FileIdentity> identity = IdentityOf(folder);
    if (!identity || !identity->directory) continue;  // reading it fails with its own message
    if (IsSameOrInside(line.outDir, *identity)) {
      throw UsageError("--out-dir " + QuoteName(line.outDir) + " is the " + role + " folder " +
                       QuoteName(folder) +
                       " or lies inside it, where the results would mix with "
                       "the documents; choose a folder outside both");
    }
  }
}

}  // namespace sorowa
