// The image transfer kernels: caller bytes -> grey float image (ingest), edge map -> caller bytes
// (output), and the grey round trip matlabGrayScaleTest that joins the two.
//
// All of them stage one tile of up to three planes in a block-shared array laid out row by row,
// plane * 256 + row * 16 + column (stagingIndex). Loader and writer threads are those with
// tx < 4 * planes: thread (tx, ty) moves word tx % 4 (rows 4k..4k+3) of plane tx / 4 in tile column
// ty, so the transposition between the column-major bytes and the row-major floats happens there,
// and the threads that convert pixel (tx, ty) read and write consecutive elements for consecutive
// tx: without bank conflicts on a GPU, and as whole vectors on the CPU.
//
// The CPU executor takes the blocks of these kernels down the columns of tiles
// (BLOCKS_DOWN_COLUMNS), so that consecutive blocks touch neighbouring bytes of the column-major
// image; the row-major float images do not mind either order.
//
// Words are moved whole when iHeight is a multiple of 4, so that every word is 4-byte aligned;
// otherwise byte by byte, to the same offsets. Tile indices are full width, so every image up to
// 65535 pixels in each direction is covered.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "kernels/geometry.h"
#include "kernels/module.h"

namespace quarlen {

inline constexpr unsigned COLOUR_PLANES = 3;
inline constexpr unsigned WORD_BYTES = 4;

// Grey level of a colour pixel: plane 1 weighs 0.59, plane 0 0.11, plane 2 0.3, added in that order
// with fused multiply-adds, and truncated toward zero to a whole number 0..255.
QUARLEN_HD QUARLEN_INLINE float greyLevel(std::int32_t c0, std::int32_t c1, std::int32_t c2) {
  float t = static_cast<float>(c1) * 0.59f;
  t = fmaf(static_cast<float>(c0), 0.11f, t);
  t = fmaf(static_cast<float>(c2), 0.3f, t);
  return static_cast<float>(static_cast<std::int32_t>(t));
}

namespace transfer_detail {

QUARLEN_HD QUARLEN_INLINE std::uint32_t loadWord(const std::uint8_t* bytes) {
#if defined(__CUDA_ARCH__)
  return *reinterpret_cast<const std::uint32_t*>(bytes);
#else
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
#endif
}

QUARLEN_HD QUARLEN_INLINE void storeWord(std::uint8_t* bytes, std::uint32_t word) {
#if defined(__CUDA_ARCH__)
  *reinterpret_cast<std::uint32_t*>(bytes) = word;
#else
  std::memcpy(bytes, &word, sizeof word);
#endif
}

// Byte offset of the word that thread t moves: rows 16 * by + 4k .. +3 of column 16 * bx + ty in
// plane tx / 4.
template <class Block>
QUARLEN_HD QUARLEN_INLINE std::uint32_t wordOffset(const Block& block, Thread t, std::uint32_t iWidth,
                                                   std::uint32_t iHeight) {
  const unsigned plane = t.tx / WORD_BYTES;
  const unsigned word = t.tx % WORD_BYTES;
  return byteOffset(TILE_SIZE * block.bx + t.ty, TILE_SIZE * block.by + WORD_BYTES * word, plane, iWidth, iHeight);
}

// One phase: the loader threads copy `planes` planes of the block's tile from the byte image into
// the staging array, each byte as an integer 0..255.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void stageTile(Block& block, std::int32_t* staging, unsigned planes,
                                         const std::uint8_t* bytes, std::uint32_t iWidth, std::uint32_t iHeight) {
  const bool aligned = iHeight % WORD_BYTES == 0;
  block.phase([&](Thread t) {
    if (t.tx >= WORD_BYTES * planes) return;
    const std::uint8_t* source = bytes + wordOffset(block, t, iWidth, iHeight);
    const unsigned plane = t.tx / WORD_BYTES;
    const unsigned firstRow = WORD_BYTES * (t.tx % WORD_BYTES);
    const std::uint32_t word = aligned ? loadWord(source) : 0;
    for (unsigned j = 0; j < WORD_BYTES; ++j)
      staging[stagingIndex(plane, t.ty, firstRow + j)] =
          aligned ? static_cast<std::int32_t>((word >> (8 * j)) & 0xFFu) : source[j];
  });
}

// One phase: the writer threads store `planes` planes of the staging array (values 0..255) into
// the block's tile of the byte image.
template <class Block>
QUARLEN_HD QUARLEN_INLINE void writeTile(Block& block, const std::uint32_t* staging, unsigned planes,
                                         std::uint8_t* bytes, std::uint32_t iWidth, std::uint32_t iHeight) {
  const bool aligned = iHeight % WORD_BYTES == 0;
  block.phase([&](Thread t) {
    if (t.tx >= WORD_BYTES * planes) return;
    std::uint8_t* target = bytes + wordOffset(block, t, iWidth, iHeight);
    const unsigned plane = t.tx / WORD_BYTES;
    const unsigned firstRow = WORD_BYTES * (t.tx % WORD_BYTES);
    std::uint32_t word = 0;
    for (unsigned j = 0; j < WORD_BYTES; ++j)
      word |= (staging[stagingIndex(plane, t.ty, firstRow + j)] & 0xFFu) << (8 * j);
    if (aligned) {
      storeWord(target, word);
    } else {
      for (unsigned j = 0; j < WORD_BYTES; ++j) target[j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
  });
}

QUARLEN_HD QUARLEN_INLINE float stagedGrey(const std::int32_t* smem, Thread t) {
  return greyLevel(smem[stagingIndex(0, t.tx, t.ty)], smem[stagingIndex(1, t.tx, t.ty)],
                   smem[stagingIndex(2, t.tx, t.ty)]);
}

// One phase: every thread stores `value` for its pixel into each of `planes` planes of the staging
// array.
template <class Block, class Value>
QUARLEN_HD QUARLEN_INLINE void stagePixel(Block& block, std::uint32_t* staging, unsigned planes, Value&& value) {
  block.phase([&](Thread t) {
    const std::uint32_t v = value(t);
    for (unsigned p = 0; p < planes; ++p) staging[stagingIndex(p, t.tx, t.ty)] = v;
  });
}

}  // namespace transfer_detail

// Three-plane caller bytes -> grey float image.
// Block 16 x 16; shared 3072 bytes; 2 barriers.
struct LoadConvertData {
  static constexpr KernelId id = KernelId::loadConvertData;
  static constexpr bool BLOCKS_DOWN_COLUMNS = true;
  using Params = ParamList<const std::uint8_t*, float*, std::uint16_t, std::uint16_t>;
  struct Shared {
    std::int32_t smem[COLOUR_PLANES * BLOCK_THREADS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const std::uint8_t* iData, float* formatData,
                             std::uint16_t iWidth, std::uint16_t iHeight) {
    transfer_detail::stageTile(block, shared.smem, COLOUR_PLANES, iData, iWidth, iHeight);
    block.phase(
        [&](Thread t) { formatData[pixelIndex(block, t, iWidth)] = transfer_detail::stagedGrey(shared.smem, t); });
  }
};

// One-plane caller bytes -> grey float image, each byte unchanged.
// Block 16 x 16; shared 1024 bytes; 2 barriers.
struct LoadConvertData8 {
  static constexpr KernelId id = KernelId::loadConvertData8;
  using Params = ParamList<const std::uint8_t*, float*, std::uint16_t, std::uint16_t>;
  struct Shared {
    std::int32_t smem[BLOCK_THREADS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const std::uint8_t* iData, float* formatData,
                             std::uint16_t iWidth, std::uint16_t iHeight) {
    transfer_detail::stageTile(block, shared.smem, 1, iData, iWidth, iHeight);
    block.phase([&](Thread t) {
      formatData[pixelIndex(block, t, iWidth)] = static_cast<float>(shared.smem[stagingIndex(0, t.tx, t.ty)]);
    });
  }
};

// Edge map -> byte image: 255 exactly where the strength is edgeMark, 0 elsewhere (NaN included).
template <unsigned Planes, KernelId Id>
struct BlockConverter {
  static constexpr KernelId id = Id;
  static constexpr bool BLOCKS_DOWN_COLUMNS = true;
  using Params = ParamList<const float*, std::uint8_t*, std::uint16_t, std::uint16_t>;
  struct Shared {
    std::uint32_t sharedStrength[Planes * BLOCK_THREADS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const float* gradStrength, std::uint8_t* outputImage,
                             std::uint16_t iWidth, std::uint16_t iHeight) {
    transfer_detail::stagePixel(block, shared.sharedStrength, Planes, [&](Thread t) -> std::uint32_t {
      return gradStrength[pixelIndex(block, t, iWidth)] == edgeMark ? 255u : 0u;
    });
    transfer_detail::writeTile(block, shared.sharedStrength, Planes, outputImage, iWidth, iHeight);
  }
};

// Three identical planes. Block 16 x 16; shared 3072 bytes; 2 barriers.
using CannyBlockConverter = BlockConverter<COLOUR_PLANES, KernelId::cannyBlockConverter>;
// Plane 0 only; planes 1 and 2 are not written. Block 16 x 16; shared 1024 bytes; 2 barriers.
using CannyBlockConverter8 = BlockConverter<1, KernelId::cannyBlockConverter8>;

// Three-plane bytes -> three planes of their grey level, as loadConvertData computes it.
// Block 16 x 16; shared 6144 bytes; 4 barriers.
struct MatlabGrayScaleTest {
  static constexpr KernelId id = KernelId::matlabGrayScaleTest;
  static constexpr bool BLOCKS_DOWN_COLUMNS = true;
  using Params = ParamList<const std::uint8_t*, std::uint8_t*, std::uint16_t, std::uint16_t>;
  struct Shared {
    std::int32_t smem[COLOUR_PLANES * BLOCK_THREADS];
    std::uint32_t sharedStrength[COLOUR_PLANES * BLOCK_THREADS];
  };
  template <class Block>
  QUARLEN_HD static void run(Block& block, Shared& shared, const std::uint8_t* in_data, std::uint8_t* out_data,
                             std::uint16_t iWidth, std::uint16_t iHeight) {
    transfer_detail::stageTile(block, shared.smem, COLOUR_PLANES, in_data, iWidth, iHeight);
    transfer_detail::stagePixel(block, shared.sharedStrength, COLOUR_PLANES, [&](Thread t) {
      return static_cast<std::uint32_t>(transfer_detail::stagedGrey(shared.smem, t));
    });
    transfer_detail::writeTile(block, shared.sharedStrength, COLOUR_PLANES, out_data, iWidth, iHeight);
  }
};

}  // namespace quarlen
