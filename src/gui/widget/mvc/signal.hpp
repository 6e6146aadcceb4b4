#pragma once
// A signal: handler functions kept by id and called in the order they were added. Portable,
// so that the column model's collections can carry signals without any Windows header.

#include <functional>
#include <map>
#include <utility>

namespace gui {

template <typename S>
struct signal {
  int next_id = 0;
  std::map<int, std::function<S>> handlers;

  // Returns the id the handler is kept under, one more than the previous one.
  int add(std::function<S> f) {
    const int id = next_id++;
    handlers[id] = std::move(f);
    return id;
  }

  // Every handler runs, in id order; each call goes through a copy of the entry, so a
  // handler added during the walk (with a larger id) runs in the same walk.
  template <typename... A>
  void fire(A&&... args) {
    for (auto it = handlers.begin(); it != handlers.end(); ++it) {
      std::pair<int, std::function<S>> entry = *it;
      entry.second(args...);
    }
  }
};

}  // namespace gui
