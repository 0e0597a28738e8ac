// Whether an object still exists after a call that may have freed it: a window procedure that
// sends a message, a menu that runs its own loop, a timer tick that tells its owner to stop it.
// The object holds a TLifetime; code that runs for it takes a watch before the call and asks the
// watch afterwards. The one idiom for this across the class library and the skin engine.
#pragma once
#include <memory>

namespace evesk {

class TLifeWatch {
 public:
  TLifeWatch() = default;  // watches nothing: never alive
  bool Alive() const { return !FToken.expired(); }
  explicit operator bool() const { return Alive(); }

 private:
  friend class TLifetime;
  explicit TLifeWatch(const std::shared_ptr<const char>& token) : FToken(token) {}
  std::weak_ptr<const char> FToken;
};

class TLifetime {
 public:
  TLifetime() = default;
  TLifetime(const TLifetime&) = delete;
  TLifetime& operator=(const TLifetime&) = delete;
  ~TLifetime() = default;

  TLifeWatch Watch() const { return TLifeWatch(FToken); }
  // Ends the object's life before its members go: a destructor calls it first, so that anything
  // it sets off already sees the object as gone. Idempotent.
  void End() { FToken.reset(); }

 private:
  std::shared_ptr<const char> FToken = std::make_shared<const char>('\0');
};

}  // namespace evesk
