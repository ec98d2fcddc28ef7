// What a subsystem needs from the others is a struct of hooks that the engine fills. A hook has
// no empty state: it cannot be default-constructed and is made only from a lambda or another
// callable object, never from a null function pointer or an empty std::function. A hooks struct
// built with a member left out therefore fails to compile, and a call through a hook always
// reaches the engine; a forgotten need can no longer pass silently as "do nothing".
#pragma once

#include <functional>
#include <type_traits>
#include <utility>

namespace zorvel {

template <class T>
struct IsStdFunction : std::false_type {};
template <class Sig>
struct IsStdFunction<std::function<Sig>> : std::true_type {};

template <class Sig>
class Hook;

template <class R, class... Args>
class Hook<R(Args...)> {
 public:
  Hook() = delete;

  template <class F>
  requires(std::is_class_v<std::decay_t<F>> && !IsStdFunction<std::decay_t<F>>::value &&
           !std::is_same_v<std::decay_t<F>, Hook> && std::is_invocable_r_v<R, F&, Args...>)
      Hook(F&& f)  // NOLINT(google-explicit-constructor): hooks structs are built from lambdas
      : fn_(std::forward<F>(f)) {}

  R operator()(Args... args) const { return fn_(std::forward<Args>(args)...); }

 private:
  std::function<R(Args...)> fn_;
};

}  // namespace zorvel
