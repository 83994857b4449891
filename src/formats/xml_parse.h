#pragma once

// Parsing of untrusted XML. pugixml fetches nothing and expands no entity but the five
// predefined ones and character references; what is refused before it runs is what could
// make a small file expensive: an internal document type subset (where entities are
// declared: the billion laughs, external entities), more markup than the limit, and
// encodings other than UTF-8 and UTF-16.

#include <cstddef>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/reader_support.h"

namespace sorowa::formats {

enum class XmlSpace {
  Drop,        // text of white space only is dropped (layout of the file)
  KeepSingle,  // kept when it is an element's only content (<w:t> </w:t>)
  Keep,        // always kept (mixed content whose spaces are text)
};

// Parses bytes into document. part names the file or the archive entry in messages.
void ParseXml(pugi::xml_document& document, std::string_view bytes, const ReadContext& context,
              std::string_view part, XmlSpace space);

// Refuses elements nested deeper than the limit, which the recursive walks of the readers
// would otherwise follow down the stack.
inline void CheckDepth(const ReadContext& context, std::size_t depth, std::string_view part) {
  if (depth > context.limits().xmlDepth) {
    context.LimitExceeded("the nesting of elements in " + std::string(part), depth,
                          context.limits().xmlDepth);
  }
}

// The name without its prefix.
std::string_view LocalName(const char* name);

// The namespaces in scope along a walk through a document, so that elements are known by
// their namespace rather than by the prefix a file happens to use.
class Namespaces {
 public:
  struct Name {
    std::string_view uri;
    std::string_view local;
  };

  // Adds the declarations an element makes; returns their number for Leave.
  std::size_t Enter(pugi::xml_node element);
  void Leave(std::size_t count) { declarations_.resize(declarations_.size() - count); }

  Name Resolve(pugi::xml_node element) const { return Resolve(element.name(), false); }
  // The value of an attribute in a namespace, or nullptr.
  const char* Attribute(pugi::xml_node element, std::string_view uri, std::string_view local) const;

 private:
  Name Resolve(std::string_view qualified, bool attribute) const;

  std::vector<std::pair<std::string_view, std::string_view>> declarations_;  // prefix, uri
};

// Keeps the namespace declarations of an element in scope while it is read.
class NamespaceScope {
 public:
  NamespaceScope(Namespaces& namespaces, pugi::xml_node element)
      : namespaces_(namespaces), count_(namespaces.Enter(element)) {}
  ~NamespaceScope() { namespaces_.Leave(count_); }
  NamespaceScope(const NamespaceScope&) = delete;
  NamespaceScope& operator=(const NamespaceScope&) = delete;

 private:
  Namespaces& namespaces_;
  std::size_t count_;
};

}  // namespace sorowa::formats
