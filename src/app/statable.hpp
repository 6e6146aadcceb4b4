#pragma once
// A state machine whose state is the action the next event performs.

template <typename State>
struct statable {
  using action_t = void (State::*)();

  void set_state(action_t next) { action = next; }

  // Performs the current state's action; nothing before the first `set_state`.
  void fire() {
    if (action) (static_cast<State*>(this)->*action)();
  }

  action_t action = nullptr;
};
