#include "export/ascii_text.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace orvald {
namespace {

bool Printable(UChar32 c) { return c >= 0x20 && c < 0x7F; }

// ICU's own transliteration, not iconv's //TRANSLIT, which follows the
// process's LC_CTYPE and spells everything '?' in the C locale. Made once
// (building it parses rule tables for milliseconds) and used under a lock,
// since stations save from threads of their own.
class Transliteration {
 public:
  Transliteration() {
    UErrorCode status = U_ZERO_ERROR;
    transliterator_.reset(icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) transliterator_.reset();
  }

  // Without ICU's data the text stays as it is, and every letter beyond
  // ASCII becomes '_' below: still a valid file.
  void Apply(icu::UnicodeString& text) {
    if (!transliterator_) return;
    const std::lock_guard<std::mutex> lock(mutex_);
    transliterator_->transliterate(text);
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<icu::Transliterator> transliterator_;
};

Transliteration& Shared() {
  static Transliteration shared;
  return shared;
}

}  // namespace

std::string AsciiSpelling(std::string_view utf8) {
  // Most names are ASCII already; they never reach ICU.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return Printable(static_cast<unsigned char>(c)); })) {
    return std::string(utf8);
  }
  // Bytes that are not UTF-8 arrive as U+FFFD, one each, and become '_'.
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  Shared().Apply(text);
  std::string ascii;
  ascii.reserve(static_cast<size_t>(text.length()));
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const UChar32 c = text.char32At(i);
    ascii += Printable(c) ? static_cast<char>(c) : '_';
  }
  return ascii;
}

std::string AsciiBytes(std::string_view bytes) {
  std::string ascii(bytes);
  for (char& c : ascii) {
    if (!Printable(static_cast<unsigned char>(c))) c = '_';
  }
  return ascii;
}

}  // namespace orvald
