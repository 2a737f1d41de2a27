// The parameter block of a launch: a kernel's parameters in declaration order at consecutive
// offsets from 0. Device pointers travel as 4-byte device addresses, sizes as 2-byte unsigned
// integers, floats as 4 bytes; so (address, address, address, uint16, uint16) sits at offsets
// 0, 4, 8, 12, 14.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "runtime/gpu_runtime.h"

namespace quarlen {

// What the host passes for a kernel parameter of type P.
template <class P>
using HostArgument = std::conditional_t<std::is_pointer_v<P>, DeviceAddress, P>;

template <class... P>
constexpr std::array<std::size_t, sizeof...(P)> paramOffsets(ParamList<P...>) {
  std::array<std::size_t, sizeof...(P)> offsets{};
  std::size_t offset = 0;
  std::size_t i = 0;
  ((offsets[i++] = offset, offset += paramBytes<P>), ...);
  return offsets;
}

// Reads the parameters of a kernel back out of a parameter block. `resolve` turns a device address
// into a host-visible pointer and returns nullptr for an address that names no live allocation;
// unpacking then fails, and the launch must be refused.
template <class... P, class Resolve>
bool unpackParams(ParamList<P...> list, const std::byte* block, Resolve&& resolve, std::tuple<P...>& out) {
  constexpr auto offsets = paramOffsets(ParamList<P...>{});
  bool ok = true;
  auto read = [&]<std::size_t I>(std::integral_constant<std::size_t, I>) {
    using T = std::tuple_element_t<I, std::tuple<P...>>;
    if constexpr (std::is_pointer_v<T>) {
      DeviceAddress address = 0;
      std::memcpy(&address, block + offsets[I], sizeof address);
      void* pointer = resolve(address);
      if (pointer == nullptr) ok = false;
      std::get<I>(out) = static_cast<T>(pointer);
    } else {
      std::memcpy(&std::get<I>(out), block + offsets[I], sizeof(T));
    }
  };
  [&]<std::size_t... I>(std::index_sequence<I...>) { (read(std::integral_constant<std::size_t, I>{}), ...); }
  (std::index_sequence_for<P...>{});
  (void)list;
  return ok;
}

// The parameters as text for the CPU executor's launch log: "@3" for a device address, numbers as
// printf's %g would show them.
template <class... P>
std::string formatParams(ParamList<P...>, const std::byte* block) {
  constexpr auto offsets = paramOffsets(ParamList<P...>{});
  std::ostringstream text;
  std::size_t i = 0;
  auto one = [&]<class T>(std::type_identity<T>) {
    if (i != 0) text << ' ';
    if constexpr (std::is_pointer_v<T>) {
      DeviceAddress address = 0;
      std::memcpy(&address, block + offsets[i], sizeof address);
      text << '@' << address;
    } else {
      T value;
      std::memcpy(&value, block + offsets[i], sizeof value);
      text << +value;
    }
    ++i;
  };
  (one(std::type_identity<P>{}), ...);
  return text.str();
}

}  // namespace quarlen
