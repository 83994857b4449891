#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace sorowa::testing {

// Where Debian's mecab-ipadic-utf8 and mecab-ipadic put their dictionaries.
inline const std::filesystem::path kIpadicUtf8Dir = "/var/lib/mecab/dic/ipadic-utf8";
inline const std::filesystem::path kIpadicEucDir = "/var/lib/mecab/dic/ipadic";

// Points MeCab at a resource file of the test's choosing while it lives. MeCab reads
// ~/.mecabrc before MECABRC, so HOME moves to an empty directory as well. Both variables
// are read when a tagger is created, so this has to be in place before that.
class ScopedMecabrc {
 public:
  // dicdir is written into a fresh resource file; an empty optional leaves MECABRC unset so
  // that MeCab falls back to its own default file.
  explicit ScopedMecabrc(const std::optional<std::filesystem::path>& dicdir) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("sorowa_mecab_" + std::to_string(::getpid()) + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    Save("MECABRC", oldRc_);
    Save("HOME", oldHome_);
    ::setenv("HOME", dir_.c_str(), 1);
    if (dicdir) {
      const std::filesystem::path rc = dir_ / "mecabrc";
      std::ofstream(rc) << "dicdir = " << dicdir->string() << "\n";
      ::setenv("MECABRC", rc.c_str(), 1);
    } else {
      ::unsetenv("MECABRC");
    }
  }
  ~ScopedMecabrc() {
    Restore("MECABRC", oldRc_);
    Restore("HOME", oldHome_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  ScopedMecabrc(const ScopedMecabrc&) = delete;
  ScopedMecabrc& operator=(const ScopedMecabrc&) = delete;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  static void Save(const char* name, std::optional<std::string>& slot) {
    if (const char* value = ::getenv(name)) slot = value;
  }
  static void Restore(const char* name, const std::optional<std::string>& slot) {
    if (slot) {
      ::setenv(name, slot->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  std::filesystem::path dir_;
  std::optional<std::string> oldRc_;
  std::optional<std::string> oldHome_;
};

}  // namespace sorowa::testing
