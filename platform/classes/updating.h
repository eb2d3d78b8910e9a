// Runs work between target.BeginUpdate() and target.EndUpdate() (lists, collections), so the
// change notifications come once at the end. EndUpdate also runs when work throws, and the
// exception goes on; a destructor could not do that, as EndUpdate may itself raise.
#pragma once
#include <utility>

namespace classes {

template <class Updatable, class Work>
void WhileUpdating(Updatable& target, Work&& work) {
  target.BeginUpdate();
  try {
    std::forward<Work>(work)();
  } catch (...) {
    target.EndUpdate();
    throw;
  }
  target.EndUpdate();
}

}  // namespace classes
