// The 256-bit kernels. Not a standalone header: frame_kernels_avx2.cpp and
// frame_kernels_avx512.cpp each include it inside their own unnamed namespace,
// after defining PIXCORE_TARGET as the target attribute of every function here
// (AVX2, or AVX2 with the 32 registers of AVX-512VL), and after including
// frame_kernels.h, frame_kernels_blocks.h and <immintrin.h>.
//
// The method is that of the SSE2 kernels with 256-bit vectors: the unpack
// instructions work inside each 128-bit half, so one 16 x 16 transpose handles two
// neighbouring segments of each row at once, the first in the low half and the
// second in the high half.

constexpr std::size_t BLOCK_ROWS = 16;
constexpr std::size_t PACKED_BLOCK_COLUMNS = 8; // two segments of 4 pixels
constexpr std::size_t YUY2_BLOCK_COLUMNS = 16;  // two segments of 4 groups

// Two 16 x 16 byte transposes, one per 128-bit half (see transpose16x16 of the
// SSE2 kernels for why four interleaving rounds transpose).
PIXCORE_TARGET inline void transposeHalves(__m256i v[16]) {
    for (int round = 0; round < 4; ++round) {
        __m256i t[16];
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i) {
            t[2 * i] = _mm256_unpacklo_epi8(v[i], v[i + 8]);
            t[2 * i + 1] = _mm256_unpackhi_epi8(v[i], v[i + 8]);
        }
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            v[i] = t[i];
    }
}

PIXCORE_TARGET inline void storeLow(std::uint8_t* at, __m256i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(value));
}

PIXCORE_TARGET inline void storeHigh(std::uint8_t* at, __m256i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_extracti128_si256(value, 1));
}

// See prefetchNextStrip of the SSE2 kernels.
PIXCORE_TARGET inline void prefetchNextStrip(const std::uint8_t* lastByte, std::ptrdiff_t step) {
    const std::uint8_t* ahead = lastByte + 16 * step;
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i)
        _mm_prefetch(reinterpret_cast<const char*>(ahead + i * step), _MM_HINT_T0);
}

// Two 16-byte loads into the halves of one vector. Even where one 32-byte load
// would do, two are faster: frames are usually only 16-byte aligned, and every
// other 32-byte load would then straddle two cache lines.
PIXCORE_TARGET inline __m256i loadTwo(const std::uint8_t* low, const std::uint8_t* high) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
}

// One block of 16 rows x 8 pixels of a packed layout: pixels 0-3 of the block in
// the low halves, 4-7 in the high halves. Segments of 3-byte pixels are 12 bytes
// long; SHIFT 4 loads each as the last 12 of 16 bytes, so that no load passes the
// end of its row (used from the third pixel on).
template <unsigned SHIFT, Layout LAYOUT>
PIXCORE_TARGET inline void packedBlock(const Frame& f, std::size_t row, std::size_t column) {
    constexpr RgbLayout L = RGB_LAYOUTS[LAYOUT];
    const auto [segment, step] = blockSource<LAYOUT, SHIFT>(f, row, column);

    __m256i v[16];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* at = segment + i * step;
        v[i] = loadTwo(at, at + 4 * L.bytesPerPixel);
    }
    if (row + 2 * BLOCK_ROWS <= f.height)
        prefetchNextStrip(segment + 4 * L.bytesPerPixel + 15, step);
    transposeHalves(v);

    const std::size_t pixels = f.height * f.width;
    std::uint8_t* out = f.dst + column * f.height + row;
#pragma GCC unroll 4
    for (unsigned q = 0; q < 4; ++q) {
        // Pixels q (low half) and 4 + q (high half) of the block.
        const unsigned first = SHIFT + q * L.bytesPerPixel;
        std::uint8_t* low = out + q * f.height;
        std::uint8_t* high = out + (4 + q) * f.height;
        storeLow(low, v[first + L.red]);
        storeLow(low + pixels, v[first + L.green]);
        storeLow(low + 2 * pixels, v[first + L.blue]);
        storeHigh(high, v[first + L.red]);
        storeHigh(high + pixels, v[first + L.green]);
        storeHigh(high + 2 * pixels, v[first + L.blue]);
    }
}

// One block of 32 rows x 4 pixels of a packed layout: rows 0-15 of the block in the
// low halves, rows 16-31 in the high halves, so that each transposed vector is 32
// rows of one column, stored whole (SHIFT as in packedBlock). Faster than
// packedBlock while the frame stays in cache; slower once it streams from memory.
template <unsigned SHIFT, Layout LAYOUT>
PIXCORE_TARGET inline void tallBlock(const Frame& f, std::size_t row, std::size_t column) {
    constexpr RgbLayout L = RGB_LAYOUTS[LAYOUT];
    const auto [segment, step] = blockSource<LAYOUT, SHIFT>(f, row, column);

    __m256i v[16];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i)
        v[i] = loadTwo(segment + i * step, segment + (i + 16) * step);
    transposeHalves(v);

    const std::size_t pixels = f.height * f.width;
    std::uint8_t* out = f.dst + column * f.height + row;
#pragma GCC unroll 4
    for (unsigned j = 0; j < 4; ++j) {
        const unsigned first = SHIFT + j * L.bytesPerPixel;
        std::uint8_t* at = out + j * f.height;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), v[first + L.red]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + pixels), v[first + L.green]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 2 * pixels), v[first + L.blue]);
    }
}

// Only 3-byte pixels take shifted blocks; THREE_BYTES is a constant, so that the
// shifted blocks of 4-byte pixels (which would index past v) are dropped before
// they are compiled.
template <Layout LAYOUT> struct TallBlocks {
    const Frame& f;
    PIXCORE_TARGET void operator()(std::size_t row, std::size_t column) const {
        constexpr bool THREE_BYTES = RGB_LAYOUTS[LAYOUT].bytesPerPixel == 3;
        if (THREE_BYTES && column >= 2)
            tallBlock<4, LAYOUT>(f, row, column);
        else
            tallBlock<0, LAYOUT>(f, row, column);
    }
};

// Frames whose input and output together stay within this many bytes are expected
// to remain in cache during the conversion (most processors have at least this
// much last-level cache); they take the tall blocks.
constexpr std::size_t CACHED_FRAME_BYTES = std::size_t(16) << 20;

template <Layout LAYOUT> struct PackedBlocks {
    const Frame& f;
    PIXCORE_TARGET void operator()(std::size_t row, std::size_t column) const {
        constexpr bool THREE_BYTES = RGB_LAYOUTS[LAYOUT].bytesPerPixel == 3;
        if (THREE_BYTES && column >= 2)
            packedBlock<4, LAYOUT>(f, row, column);
        else
            packedBlock<0, LAYOUT>(f, row, column);
    }
};

template <Layout LAYOUT>
PIXCORE_TARGET void packedToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                                   std::uint8_t* dst) {
    // A segment pair of 3-byte pixels read without shift reaches 28 bytes into its
    // row: narrow frames take the SSE2 kernel.
    if (height < BLOCK_ROWS || width < 16) {
        sse2Kernels().toPlanar[LAYOUT](src, height, width, dst);
        return;
    }
    const Frame f{src, height, width, dst};
    if (height >= 2 * BLOCK_ROWS &&
        height * width * (RGB_LAYOUTS[LAYOUT].bytesPerPixel + 3) <= CACHED_FRAME_BYTES) {
        forEachBlock<2 * BLOCK_ROWS, PACKED_BLOCK_COLUMNS / 2>(height, width,
                                                               TallBlocks<LAYOUT>{f});
        return;
    }
    forEachBlock<BLOCK_ROWS, PACKED_BLOCK_COLUMNS>(height, width, PackedBlocks<LAYOUT>{f});
}

// A multiplier the optimiser cannot see through: left visible, a multiplication by
// a constant is expanded into shifts and adds, several instructions instead of one.
PIXCORE_TARGET inline __m256i opaque(__m256i value) {
    __asm__("" : "+x"(value));
    return value;
}

// The exact 16-bit form of the BT.601 equations; see Chroma in the SSE2 kernels.
struct Chroma {
    __m256i blueOffset, blueTerm;   // 2U - 272, 4U - 1056
    __m256i greenOffset, greenTerm; // V - 112 (subtracted), -100U + 48V + 6112
    __m256i redOffset, redTerm;     // 2V - 272, -103V + 12640
};

// u, v: chroma widened to 16 bits. The constants fold in the centring of U and V
// (d = U - 128, e = V - 128), the luma offset 16 (y = Y - 16, 42y = 42Y - 672)
// and the rounding 128, so that the per-pixel part works on Y directly.
PIXCORE_TARGET inline Chroma chromaTerms(__m256i u, __m256i v) {
    Chroma c;
    c.blueOffset = _mm256_add_epi16(_mm256_add_epi16(u, u), _mm256_set1_epi16(-272));
    c.blueTerm = _mm256_add_epi16(_mm256_slli_epi16(u, 2), _mm256_set1_epi16(-1056));
    c.greenOffset = _mm256_add_epi16(v, _mm256_set1_epi16(-112));
    c.greenTerm =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(u, opaque(_mm256_set1_epi16(-100))),
                                          _mm256_mullo_epi16(v, opaque(_mm256_set1_epi16(48)))),
                         _mm256_set1_epi16(6112));
    c.redOffset = _mm256_add_epi16(_mm256_add_epi16(v, v), _mm256_set1_epi16(-272));
    c.redTerm = _mm256_add_epi16(_mm256_mullo_epi16(v, opaque(_mm256_set1_epi16(-103))),
                                 _mm256_set1_epi16(12640));
    return c;
}

struct Rgb16 {
    __m256i red, green, blue;
};

// luma: Y widened to 16 bits.
PIXCORE_TARGET inline Rgb16 colour(__m256i luma, const Chroma& c) {
    const __m256i scaled = _mm256_mullo_epi16(luma, opaque(_mm256_set1_epi16(42)));
    Rgb16 out;
    out.blue = _mm256_add_epi16(_mm256_add_epi16(luma, c.blueOffset),
                                _mm256_srai_epi16(_mm256_add_epi16(scaled, c.blueTerm), 8));
    out.green = _mm256_add_epi16(_mm256_sub_epi16(luma, c.greenOffset),
                                 _mm256_srai_epi16(_mm256_add_epi16(scaled, c.greenTerm), 8));
    out.red = _mm256_add_epi16(_mm256_add_epi16(luma, c.redOffset),
                               _mm256_srai_epi16(_mm256_add_epi16(scaled, c.redTerm), 8));
    return out;
}

// One block of 16 rows x 16 pixels of YUY2 whose segments all start with a group:
// pixels 0-7 in the low halves, 8-15 in the high halves. Widening to 16 bits and
// packing back both work inside each half, so the halves never mix.
PIXCORE_TARGET inline void yuy2Block(const Frame& f, std::size_t row, std::size_t column) {
    const std::size_t rowBytes = 2 * f.width;
    const std::uint8_t* segment = f.src + row * rowBytes + 2 * column;
    __m256i v[16];
#pragma GCC unroll 16
    for (std::size_t i = 0; i < 16; ++i)
        v[i] = loadTwo(segment + i * rowBytes, segment + i * rowBytes + 16);
    if (row + 2 * BLOCK_ROWS <= f.height)
        prefetchNextStrip(segment + 31, static_cast<std::ptrdiff_t>(rowBytes));
    transposeHalves(v);

    const std::size_t pixels = f.height * f.width;
    const __m256i zero = _mm256_setzero_si256();
    std::uint8_t* out = f.dst + column * f.height + row;
#pragma GCC unroll 4
    for (unsigned g = 0; g < 4; ++g) {
        const Chroma low = chromaTerms(_mm256_unpacklo_epi8(v[4 * g + 1], zero),
                                       _mm256_unpacklo_epi8(v[4 * g + 3], zero));
        const Chroma high = chromaTerms(_mm256_unpackhi_epi8(v[4 * g + 1], zero),
                                        _mm256_unpackhi_epi8(v[4 * g + 3], zero));
#pragma GCC unroll 2
        for (unsigned half = 0; half < 2; ++half) {
            const __m256i luma = v[4 * g + 2 * half];
            const Rgb16 top = colour(_mm256_unpacklo_epi8(luma, zero), low);
            const Rgb16 bottom = colour(_mm256_unpackhi_epi8(luma, zero), high);
            const __m256i red = _mm256_packus_epi16(top.red, bottom.red);
            const __m256i green = _mm256_packus_epi16(top.green, bottom.green);
            const __m256i blue = _mm256_packus_epi16(top.blue, bottom.blue);
            std::uint8_t* left = out + (2 * g + half) * f.height;
            std::uint8_t* right = out + (8 + 2 * g + half) * f.height;
            storeLow(left, red);
            storeLow(left + pixels, green);
            storeLow(left + 2 * pixels, blue);
            storeHigh(right, red);
            storeHigh(right + pixels, green);
            storeHigh(right + 2 * pixels, blue);
        }
    }
}

struct Yuy2Blocks {
    const Frame& f;
    PIXCORE_TARGET void operator()(std::size_t row, std::size_t column) const {
        yuy2Block(f, row, column);
    }
};

PIXCORE_TARGET void yuy2ToPlanar(const std::uint8_t* src, std::size_t height, std::size_t width,
                                 std::uint8_t* dst) {
    if (height < BLOCK_ROWS || width < YUY2_BLOCK_COLUMNS || width % 2 != 0) {
        sse2Kernels().toPlanar[YUY2](src, height, width, dst);
        return;
    }
    const Frame f{src, height, width, dst};
    forEachBlock<BLOCK_ROWS, YUY2_BLOCK_COLUMNS>(height, width, Yuy2Blocks{f});
}
