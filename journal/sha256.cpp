#include "journal/sha256.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "files/file_reader.h"

namespace orvald {

namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

std::string HexOf(const unsigned char* digest, unsigned length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

DigestContext StartDigest() {
  DigestContext context(EVP_MD_CTX_new());
  if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) context.reset();
  return context;
}

std::string FinishDigest(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1) return {};
  return HexOf(digest, length);
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  const DigestContext context = StartDigest();
  if (!context || EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) return {};
  return FinishDigest(context.get());
}

FileDigest Sha256OfFile(const std::string& path) {
  FileDigest result;
  const int fd = OpenRegularFile(path, result.error);
  if (fd < 0) return result;
  const DigestContext context = StartDigest();
  char buffer[64 * 1024];
  bool readAll = context != nullptr;
  while (readAll) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.error = {errno, path};
      readAll = false;
      break;
    }
    if (n == 0) break;
    readAll = EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(n)) == 1;
  }
  ::close(fd);
  if (!readAll) {
    if (!result.error.failed()) result.error = {EIO, path};
    return result;
  }
  result.hex = FinishDigest(context.get());
  result.ok = result.hex.size() == kSha256HexSize;
  if (!result.ok) result.error = {EIO, path};
  return result;
}

bool IsSha256Hex(std::string_view text) {
  if (text.size() != kSha256HexSize) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace orvald
