#pragma once

namespace korvex {
// One lambda per alternative in a std::visit; there is no catch-all, so a new alternative
// breaks every visit that misses it.
template <class... Fs>
struct overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
overloaded(Fs...) -> overloaded<Fs...>;
}  // namespace korvex
