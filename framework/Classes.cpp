#include "framework/Classes.h"

#include <algorithm>
#include <cctype>

#include "framework/Exception.h"
#include "framework/Properties.h"

namespace evesk {

const TPropInfo* TClassInfo::FindProp(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TPropInfo& p : c->Props)
      if (p.Name == name) return &p;
  return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

namespace {
std::map<std::string, const TClassInfo*>& Registry() {
  static std::map<std::string, const TClassInfo*> classes;
  return classes;
}
}  // namespace

void TClassRegistry::Register(const TClassInfo& info) { Registry()[info.Name] = &info; }

const TClassInfo* TClassRegistry::Find(const std::string& name) {
  auto it = Registry().find(name);
  return it == Registry().end() ? nullptr : it->second;
}

EVESK_ROOT_CLASS_INFO(TComponent)

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  for (TComponent* c : std::vector<TComponent*>(FFreeNotifies)) {
    c->Notification(this, TOperation::opRemove);
    c->RemoveFreeNotification(this);
  }
  FFreeNotifies.clear();
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (FOwner && !name.empty() && FOwner->FindComponent(name))
    throw Exception("A component named " + name + " already exists");
  FName = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (c->FName.size() == name.size() &&
        std::equal(name.begin(), name.end(), c->FName.begin(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                               std::tolower(static_cast<unsigned char>(b)); }))
      return c;
  return nullptr;
}

void TComponent::Loaded() { FState &= ~csLoading; }

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove) RemoveFreeNotification(component);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(component);
    component->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
  if (it != FFreeNotifies.end()) {
    FFreeNotifies.erase(it);
    component->RemoveFreeNotification(this);
  }
}

void TComponent::DestroyComponents() {
  Destroying();
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    delete c;  // its destructor removes it from this list
  }
}

void TComponent::InsertComponent(TComponent* component) {
  component->FOwner = this;
  FComponents.push_back(component);
  for (TComponent* c : FComponents)
    if (c != component) c->Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it == FComponents.end()) return;
  FComponents.erase(it);
  component->FOwner = nullptr;
  if (!(FState & csDestroying))
    for (TComponent* c : FComponents) c->Notification(component, TOperation::opRemove);
  Notification(component, TOperation::opRemove);
}

int TCollectionItem::Index() const {
  for (int i = 0; i < FCollection->Count(); ++i)
    if (FCollection->Items(i) == this) return i;
  return -1;
}

EVESK_ROOT_CLASS_INFO(TCollection)

TCollectionItem* TCollection::Add() {
  FItems.push_back(FFactory(this));
  return FItems.back().get();
}

void TCollection::Delete(int index) {
  if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

}  // namespace evesk
