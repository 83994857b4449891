#include "formats/zip_archive.h"

#include <zip.h>

#include <memory>

namespace sorowa::formats {

namespace {

std::string ErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

}  // namespace

ZipArchive::ZipArchive(std::string_view bytes, const ReadContext& context) : context_(context) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (source == nullptr) {
    const std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    context.Damaged("not a zip archive (" + text + ")");
  }
  archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (archive_ == nullptr) {
    zip_source_free(source);
    const std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    context.Damaged("not a zip archive (" + text + ")");
  }
  zip_error_fini(&error);
  const zip_int64_t entries = zip_get_num_entries(archive_, 0);
  if (entries < 0 || static_cast<std::uint64_t>(entries) > context.limits().zipEntries) {
    zip_discard(archive_);
    archive_ = nullptr;
    context.LimitExceeded("the number of entries in the archive",
                          static_cast<std::uint64_t>(entries), context.limits().zipEntries);
  }
}

ZipArchive::~ZipArchive() {
  if (archive_ != nullptr) zip_discard(archive_);
}

bool ZipArchive::Has(std::string_view name) const {
  return zip_name_locate(archive_, std::string(name).c_str(), 0) >= 0;
}

std::optional<std::string> ZipArchive::Read(std::string_view name) const {
  const std::string entry(name);
  const zip_int64_t index = zip_name_locate(archive_, entry.c_str(), 0);
  if (index < 0) return std::nullopt;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      (stat.valid & ZIP_STAT_SIZE) == 0) {
    context_.Damaged(entry + ": its directory entry cannot be read");
  }
  const std::uint64_t limit = context_.limits().zipPartBytes;
  if (stat.size > limit) {
    context_.LimitExceeded("the unpacked size of " + entry + " (bytes)", stat.size, limit);
  }
  if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
    context_.Encrypted("save it without a password and open it again");
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
      zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!file) {
    const int code = zip_error_code_zip(zip_get_error(archive_));
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_ENCRNOTSUPP) {
      context_.Encrypted("save it without a password and open it again");
    }
    context_.Damaged(entry + ": " + ErrorText(code));
  }
  std::string content(static_cast<std::size_t>(stat.size), '\0');
  std::size_t filled = 0;
  while (filled < content.size()) {
    const zip_int64_t got = zip_fread(file.get(), content.data() + filled, content.size() - filled);
    if (got < 0) {
      context_.Damaged(entry + ": " + zip_error_strerror(zip_file_get_error(file.get())));
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled != content.size()) context_.Damaged(entry + ": shorter than its declared size");
  // One more read makes libzip check the CRC of what it unpacked, and shows whether the
  // data goes on past the declared size.
  char extra;
  const zip_int64_t more = zip_fread(file.get(), &extra, 1);
  if (more > 0) {
    context_.Damaged(entry + ": it unpacks to more than the size the archive declares for it");
  }
  if (more < 0) {
    context_.Damaged(entry + ": " +
                     std::string(zip_error_strerror(zip_file_get_error(file.get()))));
  }
  return content;
}

}  // namespace sorowa::formats
