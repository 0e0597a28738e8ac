// Reading the service's reply to an update check: an optional lead, "!", the announcement,
// "#" and the new ten-digit stamp.
#pragma once
#include <string>

namespace evesk {

struct TNewsReply {
  bool News = false;     // the sentence is there and the reply has the format
  std::string Hint;      // after the first "!", less the last 11 characters ("#" and the stamp)
  std::string Stamp;     // the ten digits after the first "#"
};

// A reply that carries the sentence but not the format ("!" before "#", ten digits after the
// first "#") is no news: acting on it could only store a broken stamp.
TNewsReply ParseNewsReply(const std::string& reply, const std::string& sentence);

}  // namespace evesk
