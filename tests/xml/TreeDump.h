// A compact structural picture of a tree, so that parser tests can state whole results in one line.
#pragma once

#include <string>
#include <string_view>

#include "xml/XML.h"

namespace xmltest {

// Elements as name[attr=value,...]'text' (C'text' for CDATA) {children}, comments as #text#,
// processing instructions as ?target[...]; top-level nodes separated by a space.
std::string dump(const XML::_Node& node);
std::string dumpDocument(const XML::Document& doc);
std::string parseAndDump(std::string_view text, XML::Converter converter = XML::utf8ToLatin1);
int countElements(const XML::_Node& node);
int maxElementDepth(const XML::_Node& node);

}  // namespace xmltest
