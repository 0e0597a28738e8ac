#include "framework/FormReader.h"

#include "framework/StartProfile.h"

#include <cctype>
#include <cstdlib>

namespace evesk {

const char* TValue::KindName() const {
  switch (ValueKind) {
    case Kind::Integer: return "an integer";
    case Kind::Float: return "a number";
    case Kind::String: return "a string";
    case Kind::Ident: return "an identifier";
    case Kind::Set: return "a set";
    case Kind::Binary: return "binary data";
    case Kind::Collection: return "a collection";
    case Kind::List: return "a list of strings";
  }
  return "a value";
}

namespace {

[[noreturn]] void Fail(int line, const std::string& message) {
  throw EReadError("Line " + std::to_string(line) + ": " + message);
}

class TParser {
 public:
  explicit TParser(const std::string& text) : FText(text) {}

  TObjectNode ParseRoot() {
    SkipBlank();
    TObjectNode root = ParseObject();
    SkipBlank();
    if (FPos < FText.size()) Fail(FLine, "text after the end of the root object");
    return root;
  }

 private:
  static bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
  static bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  void SkipBlank() {
    while (FPos < FText.size()) {
      char c = FText[FPos];
      if (c == '\n') { ++FLine; ++FPos; }
      else if (c == ' ' || c == '\t' || c == '\r') ++FPos;
      else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else break;
    }
  }
  char Peek() { SkipBlank(); return FPos < FText.size() ? FText[FPos] : '\0'; }
  void Expect(char c) {
    if (Peek() != c) Fail(FLine, std::string("'") + c + "' expected");
    ++FPos;
  }
  std::string Ident() {
    SkipBlank();
    if (FPos >= FText.size() || !IsIdentStart(FText[FPos])) Fail(FLine, "identifier expected");
    std::size_t start = FPos;
    while (FPos < FText.size() && IsIdentChar(FText[FPos])) ++FPos;
    return FText.substr(start, FPos - start);
  }
  std::string QualifiedIdent() {
    std::string name = Ident();
    while (FPos < FText.size() && FText[FPos] == '.') {
      ++FPos;
      name += '.' + Ident();
    }
    return name;
  }
  bool AtKeyword(const char* word) {
    SkipBlank();
    std::size_t n = std::char_traits<char>::length(word);
    if (FText.compare(FPos, n, word) != 0) return false;
    return FPos + n >= FText.size() || !IsIdentChar(FText[FPos + n]);
  }

  TObjectNode ParseObject() {
    TObjectNode node;
    node.Line = FLine;
    if (!AtKeyword("object")) Fail(FLine, "'object' expected");
    FPos += 6;
    node.Name = Ident();
    Expect(':');
    node.ClassName = Ident();
    for (;;) {
      SkipBlank();
      if (FPos >= FText.size()) Fail(node.Line, "object " + node.Name + " has no 'end'");
      if (AtKeyword("end")) { FPos += 3; break; }
      if (AtKeyword("object")) { node.Children.push_back(ParseObject()); continue; }
      ParseProperty(node.Props);
    }
    return node;
  }

  void ParseProperty(TItemValues& props) {
    int line = FLine;
    std::string name = QualifiedIdent();
    Expect('=');
    TValue value = ParseValue();
    value.Line = line;
    props.emplace_back(std::move(name), std::move(value));
  }

  TValue ParseValue() {
    TValue v;
    char c = Peek();
    v.Line = FLine;
    if (c == '\'' || c == '#') {
      v.ValueKind = TValue::Kind::String;
      v.Text = StringSequence();
    } else if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
      Number(v);
    } else if (c == '[') {
      SetValue(v);
    } else if (c == '{') {
      BinaryValue(v);
    } else if (c == '(') {
      ListValue(v);
    } else if (c == '<') {
      CollectionValue(v);
    } else if (IsIdentStart(c)) {
      v.ValueKind = TValue::Kind::Ident;
      v.Text = QualifiedIdent();
    } else {
      Fail(FLine, c ? std::string("unexpected character '") + c + "'" : "value expected");
    }
    return v;
  }

  // Quoted pieces joined by '+': 'one' + 'two'.
  std::string StringSequence() {
    std::string text = StringPart();
    while (Peek() == '+') {
      ++FPos;
      if (Peek() != '\'' && Peek() != '#') Fail(FLine, "string expected after '+'");
      text += StringPart();
    }
    return text;
  }

  void SetValue(TValue& v) {
    ++FPos;
    v.ValueKind = TValue::Kind::Set;
    if (Peek() != ']') {
      v.Elements.push_back(Ident());
      while (Peek() == ',') { ++FPos; v.Elements.push_back(Ident()); }
    }
    Expect(']');
  }

  void BinaryValue(TValue& v) {
    ++FPos;
    v.ValueKind = TValue::Kind::Binary;
    int high = -1;
    for (;;) {
      char h = Peek();
      if (h == '}') { ++FPos; break; }
      if (!std::isxdigit(static_cast<unsigned char>(h))) Fail(FLine, "hexadecimal digit expected in binary data");
      int d = std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10);
      ++FPos;
      if (high < 0) high = d;
      else { v.Bytes.push_back(static_cast<std::uint8_t>(high * 16 + d)); high = -1; }
    }
    if (high >= 0) Fail(v.Line, "odd number of hexadecimal digits in binary data");
  }

  void ListValue(TValue& v) {
    ++FPos;
    v.ValueKind = TValue::Kind::List;
    for (char n = Peek(); n != ')'; n = Peek()) {
      if (n != '\'' && n != '#') Fail(n ? FLine : v.Line, n ? "string or ')' expected in a list" : "list has no ')'");
      v.Elements.push_back(StringSequence());
    }
    ++FPos;
  }

  void CollectionValue(TValue& v) {
    ++FPos;
    v.ValueKind = TValue::Kind::Collection;
    while (Peek() != '>') {
      if (!AtKeyword("item")) Fail(FLine, "'item' or '>' expected");
      FPos += 4;
      TItemValues item;
      while (!AtKeyword("end")) {
        if (FPos >= FText.size()) Fail(v.Line, "collection item has no 'end'");
        ParseProperty(item);
      }
      FPos += 3;
      v.Items.push_back(std::move(item));
    }
    ++FPos;
  }

  // A run of quoted pieces ('it''s') and character codes (#13) without blanks between them.
  std::string StringPart() {
    std::string s;
    for (;;) {
      if (FPos >= FText.size()) break;
      char c = FText[FPos];
      if (c == '\'') {
        ++FPos;
        for (;;) {
          if (FPos >= FText.size() || FText[FPos] == '\n') Fail(FLine, "unterminated string");
          if (FText[FPos] == '\'') {
            if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') { s += '\''; FPos += 2; continue; }
            ++FPos;
            break;
          }
          s += FText[FPos++];
        }
      } else if (c == '#') {
        ++FPos;
        std::size_t start = FPos;
        while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
        if (start == FPos || FPos - start > 3) Fail(FLine, "character code expected after '#'");
        int code = std::atoi(FText.substr(start, FPos - start).c_str());
        if (code > 255) Fail(FLine, "character code out of range");
        s += static_cast<char>(code);
      } else {
        break;
      }
    }
    return s;
  }

  void Number(TValue& v) {
    std::size_t start = FPos;
    bool negative = false;
    if (FText[FPos] == '-' || FText[FPos] == '+') negative = FText[FPos++] == '-';
    if (FPos < FText.size() && FText[FPos] == '$') {
      ++FPos;
      std::size_t digits = FPos;
      while (FPos < FText.size() && std::isxdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
      if (digits == FPos || FPos - digits > 8) Fail(FLine, "invalid hexadecimal number");
      v.ValueKind = TValue::Kind::Integer;
      v.Int = static_cast<std::int64_t>(std::strtoull(FText.c_str() + digits, nullptr, 16));
      if (negative) v.Int = -v.Int;
      return;
    }
    std::size_t digits = FPos;
    while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
    if (digits == FPos) Fail(FLine, "number expected");
    bool isFloat = false;
    if (FPos < FText.size() && FText[FPos] == '.') {
      isFloat = true;
      ++FPos;
      while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
    }
    if (FPos < FText.size() && (FText[FPos] == 'e' || FText[FPos] == 'E')) {
      isFloat = true;
      ++FPos;
      if (FPos < FText.size() && (FText[FPos] == '-' || FText[FPos] == '+')) ++FPos;
      std::size_t exp = FPos;
      while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
      if (exp == FPos) Fail(FLine, "invalid exponent");
    }
    std::string text = FText.substr(start, FPos - start);
    if (isFloat) {
      v.ValueKind = TValue::Kind::Float;
      v.Float = std::strtold(text.c_str(), nullptr);
    } else {
      if (FPos - digits > 18) Fail(FLine, "integer out of range");
      v.ValueKind = TValue::Kind::Integer;
      v.Int = std::strtoll(text.c_str(), nullptr, 10);
    }
  }

  const std::string& FText;
  std::size_t FPos = 0;
  int FLine = 1;
};

struct TFixup {
  TPersistent* Target;
  const TPropInfo* Prop;
  std::string Value;
  int Line;
};

class TInstantiator {
 public:
  explicit TInstantiator(TComponent& root) : FRoot(root) {}

  void Run(const TObjectNode& node) {
    if (node.ClassName != FRoot.ClassName())
      Fail(node.Line, "root object is of class " + node.ClassName + ", expected " + FRoot.ClassName());
    FRoot.SetState(csLoading | csReading);
    FLoaded.push_back(&FRoot);
    FRoot.SetName(node.Name);
    ApplyAll(FRoot, node.Props);
    for (const TObjectNode& child : node.Children) Create(child, &FRoot);
    Resolve();
    EVESK_START_MARK("components made");
    for (TComponent* c : FLoaded) c->ClearState(csReading);
    for (TComponent* c : FLoaded) {
      c->Loaded();
      EVESK_START_MARK(("loaded " + c->Name()).c_str());
    }
    EVESK_START_MARK("components loaded");
  }

 private:
  void Create(const TObjectNode& node, TComponent* parent) {
    const TClassInfo* info = TClassRegistry::Find(node.ClassName);
    if (!info || !info->Create) Fail(node.Line, "Class " + node.ClassName + " not found");
    if (FRoot.FindComponent(node.Name)) Fail(node.Line, "A component named " + node.Name + " already exists");
    TComponent* c = info->Create(&FRoot);
    c->SetState(csLoading | csReading);
    FLoaded.push_back(c);
    c->SetName(node.Name);
    c->SetParentComponent(parent);
    ApplyAll(*c, node.Props);
    for (const TObjectNode& child : node.Children) Create(child, c);
  }

  void ApplyAll(TPersistent& target, const TItemValues& props) {
    for (const auto& [name, value] : props) Apply(target, name, value);
  }

  void Apply(TPersistent& target, const std::string& path, const TValue& value) {
    TPersistent* obj = &target;
    std::size_t start = 0;
    for (;;) {
      std::size_t dot = path.find('.', start);
      std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
      const TPropInfo* prop = obj->ClassInfo().FindProp(part);
      if (!prop) Fail(value.Line, "Property " + part + " of " + obj->ClassName() + " does not exist");
      if (dot != std::string::npos) {
        if (prop->PropKind != TPropInfo::Kind::Object) Fail(value.Line, "Property " + part + " has no sub-properties");
        obj = prop->GetSubObject(*obj);
        start = dot + 1;
        continue;
      }
      SetOne(*obj, *prop, value);
      return;
    }
  }

  void SetOne(TPersistent& obj, const TPropInfo& prop, const TValue& value) {
    switch (prop.PropKind) {
      case TPropInfo::Kind::Value:
        try {
          prop.Set(obj, value);
        } catch (const EPropertyError& e) {
          Fail(value.Line, "Invalid value of property " + prop.Name + ": " + e.Message());
        }
        return;
      case TPropInfo::Kind::Reference:
      case TPropInfo::Kind::Event:
        if (value.ValueKind != TValue::Kind::Ident)
          Fail(value.Line, "Invalid value of property " + prop.Name + ": expected a name");
        FFixups.push_back({&obj, &prop, value.Text, value.Line});
        return;
      case TPropInfo::Kind::Collection: {
        if (value.ValueKind != TValue::Kind::Collection)
          Fail(value.Line, "Invalid value of property " + prop.Name + ": expected a collection");
        TCollection* coll = prop.GetCollection(obj);
        coll->Clear();
        for (const TItemValues& item : value.Items) ApplyAll(*coll->Add(), item);
        return;
      }
      case TPropInfo::Kind::Object:
        Fail(value.Line, "Property " + prop.Name + " cannot be assigned a value");
    }
  }

  void Resolve() {
    const auto* methods = FRoot.MethodTable();
    for (const TFixup& f : FFixups) {
      if (f.Prop->PropKind == TPropInfo::Kind::Reference) {
        TComponent* target = nullptr;
        if (f.Value != "nil") {
          target = FRoot.FindComponent(f.Value);
          if (!target) Fail(f.Line, "Component " + f.Value + " not found for property " + f.Prop->Name);
        }
        if (!f.Prop->SetReference(*f.Target, target))
          Fail(f.Line, "Component " + f.Value + " is of the wrong class for property " + f.Prop->Name);
      } else {
        auto it = methods ? methods->find(f.Value) : decltype(methods->end()){};
        if (!methods || it == methods->end()) Fail(f.Line, "Method " + f.Value + " not found for event " + f.Prop->Name);
        if (!f.Prop->SetEvent(*f.Target, it->second))
          Fail(f.Line, "Method " + f.Value + " does not fit event " + f.Prop->Name);
      }
    }
  }

  TComponent& FRoot;
  std::vector<TComponent*> FLoaded;
  std::vector<TFixup> FFixups;
};

}  // namespace

TObjectNode ParseFormDescription(const std::string& text) { return TParser(text).ParseRoot(); }

void ReadComponentRoot(TComponent& root, const std::string& text) {
  TObjectNode node = ParseFormDescription(text);
  EVESK_START_MARK("description parsed");
  TInstantiator(root).Run(node);
}

}  // namespace evesk
