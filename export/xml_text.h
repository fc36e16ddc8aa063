#pragma once
// A small writer of XML text (KML and GPX files): elements on lines of their
// own, indented, with every text and attribute value escaped.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvald {

// `text` made safe inside an element or a quoted attribute value: & < > " '
// escaped; bytes that do not form UTF-8 read as Latin-1 (the loggers table
// may come from a desk whose editor saves that); control characters that XML
// 1.0 does not allow left out.
std::string XmlEscaped(std::string_view text);

class XmlWriter {
 public:
  using Attributes = std::initializer_list<std::pair<std::string_view, std::string_view>>;

  // Starts with the UTF-8 declaration.
  XmlWriter();

  void Open(std::string_view name, Attributes attributes = {});
  void Close();  // the element opened last
  // <name>text</name> on one line.
  void Leaf(std::string_view name, std::string_view text, Attributes attributes = {});

  // Markup built by the caller from numbers alone (nothing to escape), on a
  // line of its own at the current depth: the many track points.
  void Markup(std::string_view markup);

  // The document, with every element still open closed.
  std::string Finish();

 private:
  void StartTag(std::string_view name, Attributes attributes);

  std::string out_;
  std::vector<std::string> open_;
};

}  // namespace orvald
