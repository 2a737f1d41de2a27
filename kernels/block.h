// The block context that every kernel of the module is written against.
//
// A kernel is a sequence of barrier phases. Each phase is a body that every thread (tx, ty) of the
// 16 x 16 block runs, followed by a block-wide barrier:
//
//   block.phase([&](Thread t) { ...body for thread t... });
//
// On the GPU a phase is the body run for threadIdx followed by __syncthreads(). On the CPU it is a
// loop over the 256 threads of the block (ty outer, tx inner): loop fission. A value that one thread
// keeps across a barrier lives in PerThread<Block, T>, a register on the GPU and one slot per thread
// on the CPU. Loops around barriers must be uniform across the block; their conditions are read with
// block.uniform(), which every thread evaluates and which ends in a barrier, so that no thread can
// overwrite the value before all threads have read it.
#pragma once

#include <cstdint>

#if defined(__CUDACC__)
#define QUARLEN_HD __host__ __device__
#define QUARLEN_INLINE __forceinline__
#else
#define QUARLEN_HD
#define QUARLEN_INLINE inline __attribute__((always_inline))
#endif

namespace quarlen {

inline constexpr unsigned TILE_SIZE = 16;
inline constexpr unsigned BLOCK_THREADS = TILE_SIZE * TILE_SIZE;

// One thread of a 16 x 16 block.
struct Thread {
  unsigned tx;
  unsigned ty;
  QUARLEN_HD QUARLEN_INLINE constexpr unsigned linear() const { return ty * TILE_SIZE + tx; }
};

template <class Block, class T>
using PerThread = typename Block::template Slots<T>;

#if defined(__CUDACC__)
// The GPU block: the calling hardware thread is the one thread the body runs for.
struct GpuBlock {
  unsigned bx;
  unsigned by;

  __device__ GpuBlock() : bx(blockIdx.x), by(blockIdx.y) {}

  template <class T>
  struct Slots {
    T value;
    __device__ T& operator[](Thread) { return value; }
    __device__ const T& operator[](Thread) const { return value; }
  };

  template <class Body>
  __device__ void phase(Body&& body) {
    body(Thread{threadIdx.x, threadIdx.y});
    __syncthreads();
  }

  template <class Read>
  __device__ auto uniform(Read&& read) {
    auto value = read();
    __syncthreads();
    return value;
  }
};
#endif

}  // namespace quarlen
