// Objects, persistent objects with published-property tables, and components with an owner,
// a name, a state and notifications. Portable: the form-description reader and the host tests
// use the same classes as the Windows build.
#pragma once
#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace evesk {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent;
class TComponent;
class TCollection;
struct TValue;

// One published property of a class: how the reader sets it.
struct TPropInfo {
  enum class Kind { Value, Object, Reference, Event, Collection };
  std::string Name;
  Kind PropKind = Kind::Value;
  std::function<void(TPersistent&, const TValue&)> Set;                // Value
  std::function<TPersistent*(TPersistent&)> GetSubObject;                 // Object (e.g. Font)
  std::function<bool(TPersistent&, TComponent*)> SetReference;         // Reference; false: wrong class
  std::function<bool(TPersistent&, const std::any&)> SetEvent;         // Event; false: wrong signature
  std::function<TCollection*(TPersistent&)> GetCollection;             // Collection
};

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::function<TComponent*(TComponent* owner)> Create;  // empty for classes that are not components
  std::vector<TPropInfo> Props;

  const TPropInfo* FindProp(const std::string& name) const;
  bool InheritsFrom(const TClassInfo& other) const;
};

// Classes the form-description reader can create, by name.
class TClassRegistry {
 public:
  static void Register(const TClassInfo& info);
  static const TClassInfo* Find(const std::string& name);
};

class TPersistent : public TObject {
 public:
  virtual const TClassInfo& ClassInfo() const = 0;
  const std::string& ClassName() const { return ClassInfo().Name; }
};

enum TComponentStateFlag : unsigned {
  csLoading = 1,
  csReading = 2,
  csDestroying = 4,
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  void SetName(const std::string& name);
  int Tag = 0;

  unsigned ComponentState() const { return FState; }
  bool IsLoading() const { return (FState & csLoading) != 0; }
  bool IsDestroying() const { return (FState & csDestroying) != 0; }
  void SetState(unsigned flags) { FState |= flags; }
  void ClearState(unsigned flags) { FState &= ~flags; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents[static_cast<std::size_t>(index)]; }
  TComponent* FindComponent(const std::string& name) const;

  // After-loading notification: the description has been read and every reference resolved.
  virtual void Loaded();
  // Told of components inserted into or removed from the owner, and of components this one
  // asked to hear about with FreeNotification.
  virtual void Notification(TComponent* component, TOperation operation);
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // The reader tells a component which object of the description encloses it.
  virtual void SetParentComponent(TComponent* /*parent*/) {}
  // Named methods of a root component that events of a description may be bound to.
  virtual const std::map<std::string, std::any>* MethodTable() const { return nullptr; }

 protected:
  // Frees owned components now; classes whose own teardown must follow it call this first.
  void DestroyComponents();
  void Destroying() { FState |= csDestroying; }

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* FOwner = nullptr;
  std::string FName;
  unsigned FState = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

// An item of a collection property (for example the images of an image list).
class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection) : FCollection(collection) {}
  TCollection* Collection() const { return FCollection; }
  int Index() const;

 private:
  TCollection* FCollection;
};

class TCollection : public TPersistent {
 public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
  TCollection(TPersistent* owner, ItemFactory factory) : FOwner(owner), FFactory(std::move(factory)) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TCollectionItem* Add();
  void Clear() { FItems.clear(); }
  void Delete(int index);
  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int index) const { return FItems[static_cast<std::size_t>(index)].get(); }
  TPersistent* Owner() const { return FOwner; }

 private:
  TPersistent* FOwner;
  ItemFactory FFactory;
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
};

}  // namespace evesk
