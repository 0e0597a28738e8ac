// Reads a form description: nested "object Name: TClass ... end" blocks with "Property = value"
// lines. Components are created in order with the root as owner, properties are set through
// each class's table, references and events are resolved once the whole text is read, and then
// every component gets its after-loading notification in creation order.
#pragma once
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Properties.h"

namespace evesk {

// One "object" block of a description, as parsed.
struct TObjectNode {
  std::string Name;
  std::string ClassName;
  int Line = 0;
  TItemValues Props;  // in the order written; names may be dotted ("Font.Name")
  std::vector<TObjectNode> Children;
};

// Parses a whole description; raises EReadError("Line N: ...") on a syntax error.
TObjectNode ParseFormDescription(const std::string& text);

// Reads a description into an existing root component (the form), whose class name must match
// the root block's class. Errors are EReadError naming the line.
void ReadComponentRoot(TComponent& root, const std::string& text);

}  // namespace evesk
