// Values of a form description and the helpers that build a class's published-property table.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "framework/Classes.h"
#include "framework/Exception.h"

namespace evesk {

EVESK_EXCEPTION(EPropertyError, Exception);

struct TValue;
using TItemValues = std::vector<std::pair<std::string, TValue>>;

// One value as written in a form description.
struct TValue {
  enum class Kind { Integer, Float, String, Ident, Set, Binary, Collection, List };
  Kind ValueKind = Kind::Integer;
  std::int64_t Int = 0;
  long double Float = 0;
  std::string Text;                      // String and Ident
  std::vector<std::string> Elements;     // Set: the names; List: the strings
  std::vector<std::uint8_t> Bytes;       // Binary
  std::vector<TItemValues> Items;        // Collection: the properties of each item
  int Line = 0;

  const char* KindName() const;
};

// Builders of property-table entries for class C. Setters are member functions of C; a value of
// the wrong kind raises EPropertyError, which the reader reports with the line.
template <class C>
struct Prop {
  static C& Self(TPersistent& p) { return static_cast<C&>(p); }
  static TPropInfo Make(std::string name, TPropInfo::Kind kind) {
    TPropInfo p;
    p.Name = std::move(name);
    p.PropKind = kind;
    return p;
  }
  static void Expect(const TValue& v, TValue::Kind kind, const char* what) {
    if (v.ValueKind != kind) throw EPropertyError(std::string("expected ") + what + ", found " + v.KindName());
  }

  template <class T>
  static TPropInfo Int(std::string name, void (C::*setter)(T)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Integer, "an integer");
      if (v.Int < INT32_MIN || v.Int > INT32_MAX) throw EPropertyError("integer out of range");
      (Self(o).*setter)(static_cast<T>(v.Int));
    };
    return p;
  }
  // An unsigned 32-bit value (intervals, say); negative or larger values are refused.
  static TPropInfo UInt(std::string name, void (C::*setter)(unsigned)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Integer, "an integer");
      if (v.Int < 0 || v.Int > UINT32_MAX) throw EPropertyError("value out of range");
      (Self(o).*setter)(static_cast<unsigned>(v.Int));
    };
    return p;
  }
  static TPropInfo Bool(std::string name, void (C::*setter)(bool)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Ident, "True or False");
      if (v.Text == "True") (Self(o).*setter)(true);
      else if (v.Text == "False") (Self(o).*setter)(false);
      else throw EPropertyError("expected True or False, found " + v.Text);
    };
    return p;
  }
  static TPropInfo String(std::string name, void (C::*setter)(const std::string&)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::String, "a string");
      (Self(o).*setter)(v.Text);
    };
    return p;
  }
  // A list of strings, written ('first' 'second' ...).
  static TPropInfo Strings(std::string name, void (C::*setter)(const std::vector<std::string>&)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::List, "a list of strings");
      (Self(o).*setter)(v.Elements);
    };
    return p;
  }
  // An enumeration written by the names of its values, in order.
  static TPropInfo Enum(std::string name, void (C::*setter)(int), std::initializer_list<const char*> names) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    std::vector<std::string> list(names.begin(), names.end());
    p.Set = [setter, list](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Ident, "an enumeration value");
      for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == v.Text) return (Self(o).*setter)(static_cast<int>(i));
      throw EPropertyError("invalid enumeration value " + v.Text);
    };
    return p;
  }
  // A set of enumeration names, as a bit mask (bit i for the i-th name).
  static TPropInfo Set(std::string name, void (C::*setter)(unsigned), std::initializer_list<const char*> names) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    std::vector<std::string> list(names.begin(), names.end());
    p.Set = [setter, list](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Set, "a set");
      unsigned bits = 0;
      for (const std::string& e : v.Elements) {
        std::size_t i = 0;
        while (i < list.size() && list[i] != e) ++i;
        if (i == list.size()) throw EPropertyError("invalid set element " + e);
        bits |= 1u << i;
      }
      (Self(o).*setter)(bits);
    };
    return p;
  }
  static TPropInfo Binary(std::string name, void (C::*setter)(const std::vector<std::uint8_t>&)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Value);
    p.Set = [setter](TPersistent& o, const TValue& v) {
      Expect(v, TValue::Kind::Binary, "binary data");
      (Self(o).*setter)(v.Bytes);
    };
    return p;
  }
  // A nested persistent object whose own properties are written as "Name.Property".
  template <class T, class B>
  static TPropInfo Object(std::string name, T* (B::*getter)()) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Object);
    p.GetSubObject = [getter](TPersistent& o) -> TPersistent* { return (Self(o).*getter)(); };
    return p;
  }
  // A reference to another component of the description, resolved after reading.
  template <class T>
  static TPropInfo Reference(std::string name, void (C::*setter)(T*)) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Reference);
    p.SetReference = [setter](TPersistent& o, TComponent* target) {
      T* typed = dynamic_cast<T*>(target);
      if (target && !typed) return false;
      (Self(o).*setter)(typed);
      return true;
    };
    return p;
  }
  // An event bound by the name of a method of the root component.
  template <class Sig>
  static TPropInfo Event(std::string name, std::function<Sig> C::*field) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Event);
    p.SetEvent = [field](TPersistent& o, const std::any& handler) {
      const auto* fn = std::any_cast<std::function<Sig>>(&handler);
      if (!fn) return false;
      Self(o).*field = *fn;
      return true;
    };
    return p;
  }
  static TPropInfo Collection(std::string name, TCollection* (C::*getter)()) {
    TPropInfo p = Make(std::move(name), TPropInfo::Kind::Collection);
    p.GetCollection = [getter](TPersistent& o) { return (Self(o).*getter)(); };
    return p;
  }
};

}  // namespace evesk

// The class information of every class, written one way. Inside the property list P stands for
// Prop<Cls>. EVESK_CLASS_INFO: a component the reader can create by name; EVESK_BASE_CLASS_INFO:
// a class it cannot create (a base, or one the program creates itself); EVESK_ROOT_CLASS_INFO:
// a class at the top of its own hierarchy.
#define EVESK_CLASS_INFO_IMPL(Cls, ParentInfo, Creator, ...)                         \
  const ::evesk::TClassInfo& Cls::StaticClassInfo() {                                \
    using P = ::evesk::Prop<Cls>;                                                    \
    (void)sizeof(P*);                                                                \
    static const ::evesk::TClassInfo info{#Cls, ParentInfo, Creator, {__VA_ARGS__}}; \
    return info;                                                                     \
  }
#define EVESK_CLASS_INFO(Cls, ParentCls, ...)                                                      \
  EVESK_CLASS_INFO_IMPL(Cls, &ParentCls::StaticClassInfo(),                                        \
                        [](::evesk::TComponent* o) -> ::evesk::TComponent* { return new Cls(o); }, \
                        __VA_ARGS__)
#define EVESK_BASE_CLASS_INFO(Cls, ParentCls, ...) \
  EVESK_CLASS_INFO_IMPL(Cls, &ParentCls::StaticClassInfo(), {}, __VA_ARGS__)
#define EVESK_ROOT_CLASS_INFO(Cls, ...) EVESK_CLASS_INFO_IMPL(Cls, nullptr, {}, __VA_ARGS__)
