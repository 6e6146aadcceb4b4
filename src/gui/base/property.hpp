#pragma once
// Properties hold no value: `get` and `set` go straight to the native window. They are bound
// once, in the constructor of the class that declares them; an unbound member throws
// std::bad_function_call.

#include <functional>

namespace gui {

template <typename T>
struct property {
  std::function<T()> get;
  std::function<void(const T&)> set;
};

template <typename T>
struct read_only_property {
  std::function<T()> get;
};

template <typename T>
struct write_only_property {
  std::function<void(const T&)> set;
};

}  // namespace gui
