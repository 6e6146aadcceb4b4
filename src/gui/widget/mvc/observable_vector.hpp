#pragma once
// A vector that tells its subscribers about every change, so that a native control can follow
// its model. The elements are also reachable as a plain vector (`elements`); changes made there
// are silent, for bulk loads that refill the control afterwards.
//
// No lock: handlers run on the thread that changes the collection.

#include <cstddef>
#include <string>
#include <vector>

#include "any/any.hpp"
#include "gui/widget/mvc/signal.hpp"

namespace gui {

template <typename T>
class observable_vector {
 public:
  using value_type = T;

  void push_back(const T& v) {
    const int index = static_cast<int>(elements.size());
    elements.push_back(v);
    inserted.fire(index, elements.back());
  }

  void clear() {
    elements.clear();
    cleared.fire();
  }

  std::size_t size() const { return elements.size(); }
  bool empty() const { return elements.empty(); }
  T& operator[](std::size_t i) { return elements[i]; }
  const T& operator[](std::size_t i) const { return elements[i]; }

  typename std::vector<T>::iterator begin() { return elements.begin(); }
  typename std::vector<T>::iterator end() { return elements.end(); }
  typename std::vector<T>::const_iterator begin() const { return elements.begin(); }
  typename std::vector<T>::const_iterator end() const { return elements.end(); }

  std::vector<T> elements;
  // Handlers get the index and their own copy of the new element.
  signal<void(int, T)> inserted;
  signal<void(int)> removed;
  signal<void()> cleared;
  signal<void(int, const std::string&, const any&, const any&)> changed;
};

}  // namespace gui
