#pragma once
// The dynamic value of a row's fields: two words, a policy pointer whose address is the
// held type's identity, and a word that holds a small value itself or points to a heap copy
// of a big one. Everything that depends on the held type lives in one policy per type.

#include <cstring>
#include <new>
#include <type_traits>
#include <string>

namespace anyimpl {

// Thrown by value when `as` names a type the value does not hold.
struct bad_any_cast {};

struct empty_any {};

struct base_any_policy {
  virtual void release(void** x) = 0;
  virtual void store(const void* src, void** dest) = 0;
  virtual void copy_stored(void* const* src, void** dest) = 0;
  virtual void* value_ptr(void** src) = 0;

 protected:
  ~base_any_policy() = default;
};

// The value lives in the word itself; storing, copying and clearing move one word.
template <typename T>
struct small_any_policy final : base_any_policy {
  static_assert(sizeof(T) <= sizeof(void*) && std::is_trivially_copyable<T>::value,
                "a small type fits in the word and copies as plain bytes");

  void release(void**) override {}
  void store(const void* src, void** dest) override {
    *dest = nullptr;
    std::memcpy(dest, src, sizeof(T));
  }
  void copy_stored(void* const* src, void** dest) override { *dest = *src; }
  void* value_ptr(void** src) override { return src; }
};

// The value lives in a heap T that the word points to.
template <typename T>
struct big_any_policy final : base_any_policy {
  void release(void** x) override {
    if (*x) delete static_cast<T*>(*x);
    *x = nullptr;
  }
  // `new` frees its block itself when the copy constructor throws, and the word is
  // written only after the copy exists.
  void store(const void* src, void** dest) override {
    *dest = new T(*static_cast<const T*>(src));
  }
  void copy_stored(void* const* src, void** dest) override {
    *dest = new T(*static_cast<const T*>(*src));
  }
  void* value_ptr(void** src) override { return *src; }
};

// Small or big is fixed per type at compile time.
template <typename T>
struct choose_policy {
  using type = big_any_policy<T>;
};
template <>
struct choose_policy<int> {
  using type = small_any_policy<int>;
};
template <>
struct choose_policy<unsigned int> {
  using type = small_any_policy<unsigned int>;
};
template <>
struct choose_policy<bool> {
  using type = small_any_policy<bool>;
};

// One policy per type, created on first use; function-local statics make that first use
// safe when the window thread and the worker meet there.
template <typename T>
base_any_policy* policy_for() {
  static typename choose_policy<T>::type policy;
  return &policy;
}

}  // namespace anyimpl

class any {
 public:
  any() : policy(anyimpl::policy_for<unsigned int>()), object(nullptr) {}

  template <typename T>
  any(const T& x) : any() {
    set(x);
  }
  // A text literal is stored as a text, not as a pointer.
  any(const char* x) : any() { set(std::string(x)); }

  any(const any& x) : policy(anyimpl::policy_for<anyimpl::empty_any>()), object(nullptr) {
    *this = x;
  }

  ~any() { policy->release(&object); }

  any& operator=(const any& x) {
    if (this == &x) return *this;
    clear();
    // Empty until the copy exists, so a failed copy leaves a value that can still be
    // destroyed and assigned.
    x.policy->copy_stored(&x.object, &object);
    policy = x.policy;
    return *this;
  }

  // Exact types win over conversions: assigning 5 must store an int, not a bool.
  template <typename T>
  any& operator=(const T& x) {
    return set(x);
  }
  any& operator=(const char* x) { return set(std::string(x)); }

  template <typename T>
  any& set(const T& x) {
    clear();
    anyimpl::base_any_policy* p = anyimpl::policy_for<T>();
    p->store(&x, &object);
    policy = p;
    return *this;
  }

  void clear() {
    policy->release(&object);
    policy = anyimpl::policy_for<unsigned int>();
    object = nullptr;
  }

  template <typename T>
  bool isA() const {
    return policy == anyimpl::policy_for<T>();
  }

  template <typename T>
  T& as() {
    if (!isA<T>()) throw anyimpl::bad_any_cast();
    return *static_cast<T*>(policy->value_ptr(&object));
  }
  template <typename T>
  const T& as() const {
    return const_cast<any*>(this)->as<T>();
  }

 private:
  anyimpl::base_any_policy* policy;
  void* object;
};
