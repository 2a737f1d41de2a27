// The CPU side of the block context: a block's 256 threads run each phase as a loop, never as
// OS threads. The forward order keeps tx in the inner loop so that the compiler can vectorise the
// 16 contiguous lanes; the permuted order runs the threads in any order a test asks for, which is
// how a missing barrier shows up (the result then depends on the order).
#pragma once

#include <array>
#include <cstdint>

#include "kernels/block.h"

namespace quarlen::cpu {

using ThreadPermutation = std::array<std::uint8_t, BLOCK_THREADS>;

struct ForwardOrder {};
struct PermutedOrder {
  const ThreadPermutation* order;
};

template <class Order>
struct CpuBlock {
  unsigned bx;
  unsigned by;
  Order order;

  template <class T>
  struct Slots {
    T values[BLOCK_THREADS];
    T& operator[](Thread t) { return values[t.linear()]; }
    const T& operator[](Thread t) const { return values[t.linear()]; }
  };

  template <class Body>
  QUARLEN_INLINE void phase(Body&& body) {
    if constexpr (std::is_same_v<Order, ForwardOrder>) {
      for (unsigned ty = 0; ty < TILE_SIZE; ++ty) {
#pragma GCC ivdep
        for (unsigned tx = 0; tx < TILE_SIZE; ++tx) body(Thread{tx, ty});
      }
    } else {
      for (std::uint8_t linear : *order.order) body(Thread{linear % TILE_SIZE, linear / TILE_SIZE});
    }
  }

  template <class Read>
  QUARLEN_INLINE auto uniform(Read&& read) {
    return read();
  }
};

}  // namespace quarlen::cpu
