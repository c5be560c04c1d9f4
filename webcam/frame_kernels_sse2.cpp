#include "frame_kernels.h"
#include "frame_kernels_blocks.h"

#include <emmintrin.h>

// SSE2 kernels (every x86-64 processor). A block of 16 output rows is loaded as 16
// stored row segments of 16 bytes, transposed in registers, and each transposed
// vector (one byte position of the segments, 16 rows deep) is one output column of
// one plane: 16 contiguous bytes. Blocks are visited tile by tile (forEachBlock).

namespace webcam::kernels {
namespace {

constexpr std::size_t BLOCK_ROWS = 16;
constexpr std::size_t PACKED_BLOCK_COLUMNS = 4; // 4 pixels of 3 or 4 bytes per segment
constexpr std::size_t YUY2_BLOCK_COLUMNS = 8;   // 4 groups of 4 bytes per segment

// In-place 16 x 16 byte transpose: afterwards v[k] holds byte k of every former
// v[i], in lane i. Each round interleaves v[i] with v[i + 8]; seen as the 8-bit
// number (vector, byte) of an element, a round rotates it left by one bit, so four
// rounds swap the two halves.
inline void transpose16x16(__m128i v[16]) {
    for (int round = 0; round < 4; ++round) {
        __m128i t[16];
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i) {
            t[2 * i] = _mm_unpacklo_epi8(v[i], v[i + 8]);
            t[2 * i + 1] = _mm_unpackhi_epi8(v[i], v[i + 8]);
        }
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            v[i] = t[i];
    }
}

// The next strip reads the same columns of the next 16 rows. Their stride (a whole
// row) defeats the hardware prefetchers, so each block asks for its successor's
// lines while it works; lastByte is the last byte a row's load takes. (Asking once
// per cache line instead, or inlining the blocks into the tile loop, measured slower.)
inline void prefetchNextStrip(const std::uint8_t* lastByte, std::ptrdiff_t step) {
    const std::uint8_t* ahead = lastByte + 16 * step;
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i)
        _mm_prefetch(reinterpret_cast<const char*>(ahead + i * step), _MM_HINT_T0);
}

inline void store16(std::uint8_t* at, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
}

// One block of 16 rows x 4 pixels of a packed layout. A segment of 4 pixels of 3
// bytes is 12 bytes long; SHIFT 4 loads it as the last 12 of 16 bytes, so that no
// load passes the end of its row (used from the third pixel on).
template <unsigned SHIFT, Layout LAYOUT>
inline void packedBlock(const Frame& f, std::size_t row, std::size_t column) {
    constexpr RgbLayout L = RGB_LAYOUTS[LAYOUT];
    const auto [segment, step] = blockSource<LAYOUT, SHIFT>(f, row, column);

    __m128i v[16];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i)
        v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(segment + i * step));
    if (row + 2 * BLOCK_ROWS <= f.height)
        prefetchNextStrip(segment + 15, step);
    transpose16x16(v);

    const std::size_t pixels = f.height * f.width;
    std::uint8_t* out = f.dst + column * f.height + row;
#pragma GCC unroll 4
    for (unsigned j = 0; j < 4; ++j) {
        const unsigned first = SHIFT + j * L.bytesPerPixel;
        store16(out + j * f.height, v[first + L.red]);
        store16(out + pixels + j * f.height, v[first + L.green]);
        store16(out + 2 * pixels + j * f.height, v[first + L.blue]);
    }
}

// The block walk of packedToPlanar, in a function of its own: merged with the size
// check, it keeps fewer of its values in registers (about 1% more instructions).
template <Layout LAYOUT>
void packedBlocks(const std::uint8_t* src, std::size_t height, std::size_t width,
                  std::uint8_t* dst) {
    const Frame f{src, height, width, dst};
    forEachBlock<BLOCK_ROWS, PACKED_BLOCK_COLUMNS>(
        height, width, [&f](std::size_t row, std::size_t column) {
            // A constant, so that the shifted block of 4-byte pixels (which would
            // index past v) is dropped before it is compiled.
            constexpr bool THREE_BYTES = RGB_LAYOUTS[LAYOUT].bytesPerPixel == 3;
            if (THREE_BYTES && column >= 2)
                packedBlock<4, LAYOUT>(f, row, column);
            else
                packedBlock<0, LAYOUT>(f, row, column);
        });
}

template <Layout LAYOUT>
void packedToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                    std::uint8_t* dst) {
    // Narrower or shorter frames than a block go the portable way.
    if (height < BLOCK_ROWS || width < 8) {
        portableKernels().toPlanar[LAYOUT](src, height, width, dst);
        return;
    }
    packedBlocks<LAYOUT>(src, height, width, dst);
}

// A multiplier the optimiser cannot see through: left visible, a multiplication by
// a constant is expanded into shifts and adds, several instructions instead of one.
inline __m128i opaque(__m128i value) {
    __asm__("" : "+x"(value));
    return value;
}

// 16-bit lanes: the BT.601 equations with 8 fraction bits, rearranged so that no
// intermediate leaves the signed 16-bit range while the result stays exact:
//   (298 y + 516 d + 128) >> 8 = y + 2d + ((42 y + 4 d + 128) >> 8)
//   (298 y - 100 d - 208 e + 128) >> 8 = y - e + ((42 y - 100 d + 48 e + 128) >> 8)
//   (298 y + 409 e + 128) >> 8 = y + 2e + ((42 y - 103 e + 128) >> 8)
// with y = Y - 16, d = U - 128, e = V - 128 (floor(256 a + b) / 256 = a + floor(b / 256)).
// In terms of Y, U and V the outer parts are Y + offset and the inner sums
// 42 Y + term, with offset and term per pixel pair (below). The inner sums stay
// within -19388 ... 29062; the unsigned saturating pack clamps.
struct Chroma {
    __m128i blueOffset, blueTerm;   // 2U - 272, 4U - 1056
    __m128i greenOffset, greenTerm; // V - 112 (subtracted), -100U + 48V + 6112
    __m128i redOffset, redTerm;     // 2V - 272, -103V + 12640
};

// u, v: chroma widened to 16 bits. The constants fold in the centring of U and V
// (d = U - 128, e = V - 128), the luma offset 16 (y = Y - 16, 42y = 42Y - 672)
// and the rounding 128, so that the per-pixel part works on Y directly.
inline Chroma chromaTerms(__m128i u, __m128i v) {
    Chroma c;
    c.blueOffset = _mm_add_epi16(_mm_add_epi16(u, u), _mm_set1_epi16(-272));
    c.blueTerm = _mm_add_epi16(_mm_slli_epi16(u, 2), _mm_set1_epi16(-1056));
    c.greenOffset = _mm_add_epi16(v, _mm_set1_epi16(-112));
    c.greenTerm = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(u, opaque(_mm_set1_epi16(-100))),
                                              _mm_mullo_epi16(v, opaque(_mm_set1_epi16(48)))),
                                _mm_set1_epi16(6112));
    c.redOffset = _mm_add_epi16(_mm_add_epi16(v, v), _mm_set1_epi16(-272));
    c.redTerm =
        _mm_add_epi16(_mm_mullo_epi16(v, opaque(_mm_set1_epi16(-103))), _mm_set1_epi16(12640));
    return c;
}

struct Rgb16 {
    __m128i red, green, blue;
};

// luma: Y widened to 16 bits.
inline Rgb16 colour(__m128i luma, const Chroma& c) {
    const __m128i scaled = _mm_mullo_epi16(luma, opaque(_mm_set1_epi16(42)));
    Rgb16 out;
    out.blue = _mm_add_epi16(_mm_add_epi16(luma, c.blueOffset),
                             _mm_srai_epi16(_mm_add_epi16(scaled, c.blueTerm), 8));
    out.green = _mm_add_epi16(_mm_sub_epi16(luma, c.greenOffset),
                              _mm_srai_epi16(_mm_add_epi16(scaled, c.greenTerm), 8));
    out.red = _mm_add_epi16(_mm_add_epi16(luma, c.redOffset),
                            _mm_srai_epi16(_mm_add_epi16(scaled, c.redTerm), 8));
    return out;
}

// One block of 16 rows x 8 pixels of YUY2 whose segments all start with a group.
inline void yuy2Block(const Frame& f, std::size_t row, std::size_t column) {
    const std::size_t rowBytes = 2 * f.width;
    const std::uint8_t* segment = f.src + row * rowBytes + 2 * column;
    __m128i v[16];
#pragma GCC unroll 16
    for (std::size_t i = 0; i < 16; ++i)
        v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(segment + i * rowBytes));
    if (row + 2 * BLOCK_ROWS <= f.height)
        prefetchNextStrip(segment + 15, static_cast<std::ptrdiff_t>(rowBytes));
    transpose16x16(v);

    // v[4g] and v[4g + 2]: lumas of pixels 2g and 2g + 1; v[4g + 1], v[4g + 3]: their U, V.
    const std::size_t pixels = f.height * f.width;
    const __m128i zero = _mm_setzero_si128();
    std::uint8_t* out = f.dst + column * f.height + row;
#pragma GCC unroll 4
    for (unsigned g = 0; g < 4; ++g) {
        const Chroma low = chromaTerms(_mm_unpacklo_epi8(v[4 * g + 1], zero),
                                       _mm_unpacklo_epi8(v[4 * g + 3], zero));
        const Chroma high = chromaTerms(_mm_unpackhi_epi8(v[4 * g + 1], zero),
                                        _mm_unpackhi_epi8(v[4 * g + 3], zero));
#pragma GCC unroll 2
        for (unsigned half = 0; half < 2; ++half) {
            const __m128i luma = v[4 * g + 2 * half];
            const Rgb16 top = colour(_mm_unpacklo_epi8(luma, zero), low);
            const Rgb16 bottom = colour(_mm_unpackhi_epi8(luma, zero), high);
            std::uint8_t* at = out + (2 * g + half) * f.height;
            store16(at, _mm_packus_epi16(top.red, bottom.red));
            store16(at + pixels, _mm_packus_epi16(top.green, bottom.green));
            store16(at + 2 * pixels, _mm_packus_epi16(top.blue, bottom.blue));
        }
    }
}

void yuy2ToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                  std::uint8_t* dst) {
    // With an odd width, pixel pairs straddle rows and the segments of a block would
    // start at different places in their groups: such frames (and small ones) go the
    // portable way.
    if (height < BLOCK_ROWS || width < YUY2_BLOCK_COLUMNS || width % 2 != 0) {
        portableKernels().toPlanar[YUY2](src, height, width, dst);
        return;
    }
    const Frame f{src, height, width, dst};
    forEachBlock<BLOCK_ROWS, YUY2_BLOCK_COLUMNS>(
        height, width, [&f](std::size_t row, std::size_t column) { yuy2Block(f, row, column); });
}

} // namespace

const KernelSet& sse2Kernels() {
    static const KernelSet set{"sse2",
                               {packedToPlanar<BGRA32_TOP_DOWN>, packedToPlanar<RGB24_TOP_DOWN>,
                                packedToPlanar<RGB24_BOTTOM_UP>, yuy2ToPlanar}};
    return set;
}

} // namespace webcam::kernels
