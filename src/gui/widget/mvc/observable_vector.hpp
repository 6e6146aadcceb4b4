#pragma once
// A vector that tells its subscribers about every change, so that a native control can follow
// its model. The elements are also reachable as a plain vector (`elements`); changes made there
// are silent, for bulk loads that refill the control afterwards.
//
// No lock: handlers run on the thread that changes the collection.

#include <cstddef>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "any/any.hpp"
#include "gui/widget/mvc/signal.hpp"

namespace gui {

template <typename T>
class observable_vector {
 public:
  using value_type = T;

  // Taken by value: a row handed over with std::move is stored without a copy.
  void push_back(T v) {
    const int index = static_cast<int>(elements.size());
    elements.push_back(std::move(v));
    inserted.fire(index, elements.back());
  }

  // Stores every element of `more` at the end, in order, then raises `appended` once with the
  // index of the first and their number: a control that follows takes them in one go.
  void append(std::vector<T> more) {
    if (more.empty()) return;
    const int first = static_cast<int>(elements.size());
    if (elements.empty()) elements = std::move(more);
    else elements.insert(elements.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    appended.fire(first, static_cast<int>(elements.size()) - first);
  }

  // Removes the element at `index`, then raises `removed` with it.
  void erase(std::size_t index) {
    elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(index));
    removed.fire(static_cast<int>(index));
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
  // Handlers get the index and the new element; one that takes the element by value gets
  // its own copy, one that takes a const reference costs no copy (a list of many rows).
  signal<void(int, const T&)> inserted;
  // The index of the first element `append` stored and their number.
  signal<void(int, int)> appended;
  signal<void(int)> removed;
  signal<void()> cleared;
  signal<void(int, const std::string&, const any&, const any&)> changed;
};

}  // namespace gui
