#include "app/HeldMessages.h"

#include <string>
#include <utility>
#include <vector>

#include "skin/sSkinManager.h"

namespace evesk {

namespace {
std::vector<std::pair<std::string, TMsgDlgType>> gHeld;
decltype(TsSkinManager::ShowSkinMessage) gShow;  // the way to show them, while they are held
}  // namespace

void HoldSkinMessages() {
  if (gShow) return;
  gShow = TsSkinManager::ShowSkinMessage;
  TsSkinManager::ShowSkinMessage = [](const std::string& text, TMsgDlgType type) { gHeld.emplace_back(text, type); };
}

void ShowHeldSkinMessages() {
  if (!gShow) return;
  TsSkinManager::ShowSkinMessage = std::move(gShow);
  gShow = nullptr;
  // Taken out first: a message box runs a message loop, which may come back here.
  auto held = std::move(gHeld);
  gHeld.clear();
  for (const auto& [text, type] : held) TsSkinManager::ShowSkinMessage(text, type);
}

}  // namespace evesk
