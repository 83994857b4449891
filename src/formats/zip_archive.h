#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/reader_support.h"

typedef struct zip zip_t;

namespace sorowa::formats {

// A zip archive in memory, read through libzip with limits: the number of entries is
// checked when it is opened, and an entry is unpacked only when its size, as the archive
// declares it, is within the limit. libzip stops at the declared size and checks the CRC, so
// an entry that lies about its size cannot unpack further: a zip bomb is refused before a
// byte of it is inflated.
class ZipArchive {
 public:
  // Throws DocumentError when bytes are not a zip archive or hold too many entries.
  ZipArchive(std::string_view bytes, const ReadContext& context);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool Has(std::string_view name) const;
  // The unpacked content of an entry, or nothing when there is none of that name. Throws
  // DocumentError for an entry over the limit, encrypted or damaged.
  std::optional<std::string> Read(std::string_view name) const;

 private:
  const ReadContext& context_;
  zip_t* archive_ = nullptr;
};

}  // namespace sorowa::formats
