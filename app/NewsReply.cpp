#include "app/NewsReply.h"

namespace evesk {

TNewsReply ParseNewsReply(const std::string& reply, const std::string& sentence) {
  TNewsReply r;
  if (reply.find(sentence) == std::string::npos) return r;
  const std::size_t bang = reply.find('!');
  const std::size_t hash = reply.find('#');
  if (bang == std::string::npos || hash == std::string::npos || bang > hash) return r;
  if (reply.size() < hash + 11) return r;
  for (std::size_t i = hash + 1; i <= hash + 10; ++i)
    if (reply[i] < '0' || reply[i] > '9') return r;
  r.News = true;
  r.Stamp = reply.substr(hash + 1, 10);
  // Everything after the "!" but the last 11 characters: trailing bytes after the stamp shift
  // the cut, as the service's readers have always seen it.
  const std::size_t after = bang + 1;
  if (reply.size() >= after + 11) r.Hint = reply.substr(after, reply.size() - after - 11);
  return r;
}

}  // namespace evesk
