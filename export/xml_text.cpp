#include "export/xml_text.h"

#include <cstdint>

namespace orvald {
namespace {

// Length of the well-formed UTF-8 sequence at `i` (shortest form, no
// surrogates, at most U+10FFFF), or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  size_t length = 0;
  uint32_t code = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
    code = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    code = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    code = b & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3F);
  }
  const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      // A Latin-1 byte: U+0080..U+00FF in two UTF-8 bytes.
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += static_cast<char>(c);
        break;
    }
    ++i;
  }
  return out;
}

XmlWriter::XmlWriter() { out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"; }

void XmlWriter::StartTag(std::string_view name, Attributes attributes) {
  out_.append(open_.size() * 2, ' ');
  out_ += '<';
  out_ += name;
  for (const auto& [attribute, value] : attributes) {
    out_ += ' ';
    out_ += attribute;
    out_ += "=\"";
    out_ += XmlEscaped(value);
    out_ += '"';
  }
  out_ += '>';
}

void XmlWriter::Open(std::string_view name, Attributes attributes) {
  StartTag(name, attributes);
  out_ += '\n';
  open_.emplace_back(name);
}

void XmlWriter::Close() {
  if (open_.empty()) return;
  const std::string name = std::move(open_.back());
  open_.pop_back();
  out_.append(open_.size() * 2, ' ');
  out_ += "</" + name + ">\n";
}

void XmlWriter::Leaf(std::string_view name, std::string_view text, Attributes attributes) {
  StartTag(name, attributes);
  out_ += XmlEscaped(text);
  out_ += "</";
  out_ += name;
  out_ += ">\n";
}

void XmlWriter::Markup(std::string_view markup) {
  out_.append(open_.size() * 2, ' ');
  out_ += markup;
  out_ += '\n';
}

std::string XmlWriter::Finish() {
  while (!open_.empty()) Close();
  return std::move(out_);
}

}  // namespace orvald
