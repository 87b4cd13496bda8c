// PNG and JPEG decoding from memory: pixel layout of every colour type, and
// every kind of bad data giving null.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "ImageEncoding.h"
#include "gui/ImageResources.h"
#include "raster/LICE_MemBitmap.h"

namespace tarvel {
namespace {

using test::Bytes;
using test::EncodeJpeg;
using test::EncodePng;
using test::JpegImage;
using test::PngImage;

constexpr int kRgb = 2, kPalette = 3, kGrey = 0, kGreyAlpha = 4, kRgba = 6;

std::uint32_t At(LICE_MemBitmap& bitmap, int x, int y) { return bitmap.Pixels()[y * bitmap.RowStride() + x]; }

TEST(PngDecode, RgbAndRgbaBecomePixelWordsRowByRow) {
  // 5 x 2: the stride (8) differs from the width, so row placement shows.
  PngImage rgb{.width = 5, .height = 2, .colorType = kRgb};
  for (int i = 0; i < 10; ++i) rgb.samples.insert(rgb.samples.end(), {std::uint8_t(10 + i), 20, 30});
  auto bitmap = DecodePng(EncodePng(rgb));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->PixelWidth(), 5);
  EXPECT_EQ(bitmap->PixelHeight(), 2);
  EXPECT_EQ(bitmap->RowStride(), 8);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF0A141Eu);
  EXPECT_EQ(At(*bitmap, 4, 0), 0xFF0E141Eu);
  EXPECT_EQ(At(*bitmap, 0, 1), 0xFF0F141Eu);
  EXPECT_EQ(At(*bitmap, 4, 1), 0xFF13141Eu);

  PngImage rgba{.width = 1, .height = 1, .colorType = kRgba, .samples = {10, 20, 30, 128}};
  bitmap = DecodePng(EncodePng(rgba));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0x800A141Eu);  // straight, not premultiplied

  PngImage deep{.width = 1, .height = 1, .bitDepth = 16, .colorType = kRgb, .samples = {10, 0xFF, 20, 0x80, 30, 1}};
  bitmap = DecodePng(EncodePng(deep));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF0A141Eu);
}

TEST(PngDecode, PaletteAndTransparencyComeOutInThePixelFormat) {
  PngImage palette{.width = 3, .height = 1, .colorType = kPalette, .samples = {0, 1, 2},
                   .palette = {10, 20, 30, 40, 50, 60, 70, 80, 90}};
  auto bitmap = DecodePng(EncodePng(palette));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF0A141Eu);
  EXPECT_EQ(At(*bitmap, 2, 0), 0xFF46505Au);

  palette.transparency = {0, 128};  // entry 2 has none: opaque
  bitmap = DecodePng(EncodePng(palette));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0x000A141Eu);
  EXPECT_EQ(At(*bitmap, 1, 0), 0x8028323Cu);
  EXPECT_EQ(At(*bitmap, 2, 0), 0xFF46505Au);

  // Four-bit palette indices, packed two a byte.
  PngImage packed{.width = 2, .height = 1, .bitDepth = 4, .colorType = kPalette, .samples = {0x21},
                  .palette = {1, 2, 3, 4, 5, 6, 7, 8, 9}};
  bitmap = DecodePng(EncodePng(packed));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF070809u);
  EXPECT_EQ(At(*bitmap, 1, 0), 0xFF040506u);

  PngImage keyed{.width = 2, .height = 1, .colorType = kRgb, .samples = {1, 2, 3, 4, 5, 6},
                 .transparentRed = 4, .transparentGreen = 5, .transparentBlue = 6};
  bitmap = DecodePng(EncodePng(keyed));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF010203u);
  EXPECT_EQ(At(*bitmap, 1, 0), 0x00040506u);
}

TEST(PngDecode, GreyOfEveryDepthBecomesOpaqueGrey) {
  struct Case {
    int bitDepth;
    Bytes samples;
    std::uint32_t first, second;
  };
  const Case cases[] = {
      {1, {0b10000000}, 0xFFFFFFFFu, 0xFF000000u},
      {2, {0b01110000}, 0xFF555555u, 0xFFFFFFFFu},
      {4, {0x3C}, 0xFF333333u, 0xFFCCCCCCu},
      {8, {200, 7}, 0xFFC8C8C8u, 0xFF070707u},
      {16, {200, 0xFF, 7, 0}, 0xFFC8C8C8u, 0xFF070707u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bitDepth);
    PngImage grey{.width = 2, .height = 1, .bitDepth = c.bitDepth, .colorType = kGrey, .samples = c.samples};
    auto bitmap = DecodePng(EncodePng(grey));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(At(*bitmap, 0, 0), c.first);
    EXPECT_EQ(At(*bitmap, 1, 0), c.second);
  }

  PngImage greyAlpha{.width = 1, .height = 1, .colorType = kGreyAlpha, .samples = {200, 64}};
  auto bitmap = DecodePng(EncodePng(greyAlpha));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0x40C8C8C8u);

  PngImage keyed{.width = 2, .height = 1, .colorType = kGrey, .samples = {9, 10}, .transparentGrey = 10};
  bitmap = DecodePng(EncodePng(keyed));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFF090909u);
  EXPECT_EQ(At(*bitmap, 1, 0), 0x000A0A0Au);
}

TEST(PngDecode, InterlacedImageDecodesLikeAPlainOne) {
  PngImage image{.width = 9, .height = 9, .colorType = kRgb};
  for (int i = 0; i < 81; ++i) image.samples.insert(image.samples.end(), {std::uint8_t(i), std::uint8_t(2 * i), 7});
  auto plain = DecodePng(EncodePng(image));
  image.interlaced = true;
  auto interlaced = DecodePng(EncodePng(image));
  ASSERT_TRUE(plain && interlaced);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) ASSERT_EQ(At(*interlaced, x, y), At(*plain, x, y)) << x << "," << y;
  }
  EXPECT_EQ(At(*plain, 8, 8), 0xFF50A007u);
}

// Rewrites the header's width and height and its checksum, so that libpng
// accepts the header and the decoder's own limits must answer.
Bytes WithClaimedSize(Bytes png, std::uint32_t width, std::uint32_t height) {
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + i] = std::uint8_t(v >> (24 - 8 * i));
  };
  put32(16, width);
  put32(20, height);
  std::uint32_t crc = 0xFFFFFFFFu;  // over the chunk type and data: bytes 12 to 28
  for (std::size_t i = 12; i < 29; ++i) {
    crc ^= png[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  put32(29, ~crc);
  return png;
}

TEST(PngDecode, BadDataGivesNull) {
  PngImage image{.width = 4, .height = 4, .colorType = kRgb, .samples = Bytes(48, 77)};
  const Bytes good = EncodePng(image);
  ASSERT_TRUE(DecodePng(good));

  EXPECT_FALSE(DecodePng({}));
  EXPECT_FALSE(DecodePng(std::span(good).first(7)));
  Bytes badSignature = good;
  badSignature[1] = 'Q';
  EXPECT_FALSE(DecodePng(badSignature));
  Bytes badChecksum = good;
  badChecksum[30] ^= 1;
  EXPECT_FALSE(DecodePng(badChecksum));

  // Cut anywhere: null or a whole bitmap, never a read past the data. Without
  // its end chunk (12 bytes) the image is complete and decodes.
  for (std::size_t length = 8; length < good.size(); ++length) {
    auto bitmap = DecodePng(std::span(good).first(length));
    if (bitmap) {
      EXPECT_EQ(bitmap->PixelWidth() * bitmap->PixelHeight(), 16);
      EXPECT_EQ(At(*bitmap, 3, 3), 0xFF4D4D4Du);
    }
    if (length >= good.size() - 12) {
      EXPECT_TRUE(bitmap) << length;
    }
  }

  // Sizes a damaged file may claim: refused before any pixel memory is taken.
  EXPECT_TRUE(DecodePng(WithClaimedSize(good, 4, 4)));
  EXPECT_FALSE(DecodePng(WithClaimedSize(good, 40000, 1)));
  EXPECT_FALSE(DecodePng(WithClaimedSize(good, 8192, 8192)));
  EXPECT_FALSE(DecodePng(WithClaimedSize(good, 0x7FFFFFFF, 0x7FFFFFFF)));
}

// `png` with a tEXt chunk of `length` bytes, its checksum right, after the header.
Bytes WithTextChunk(const Bytes& png, std::size_t length) {
  Bytes chunk{std::uint8_t(length >> 24), std::uint8_t(length >> 16), std::uint8_t(length >> 8),
              std::uint8_t(length), 't', 'E', 'X', 't', 'k', 0};
  chunk.resize(8 + length, 'x');
  const auto crc = static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(length + 4)));
  for (int i = 0; i < 4; ++i) chunk.push_back(std::uint8_t(crc >> (24 - 8 * i)));
  // Signature and header chunk, the text chunk, the rest. Sized first: GCC
  // 12 for MinGW warns (-Warray-bounds) about the growth of a vector that
  // an insert would reallocate here.
  Bytes out(png.size() + chunk.size());
  const auto header = std::copy(png.begin(), png.begin() + 33, out.begin());
  std::copy(png.begin() + 33, png.end(), std::copy(chunk.begin(), chunk.end(), header));
  return out;
}

// A chunk's buffer is sized from its length field before its data is read:
// beyond 4 MB the image is refused instead.
TEST(PngDecode, ChunkBeyondTheLimitIsRefused) {
  const Bytes good = EncodePng(PngImage{.width = 2, .height = 2, .samples = Bytes(12, 5)});
  EXPECT_TRUE(DecodePng(WithTextChunk(good, 1000)));
  EXPECT_FALSE(DecodePng(WithTextChunk(good, 5 << 20)));

  // 71 bytes whose tEXt chunk claims 754 974 757 bytes (found by fuzzing: libpng
  // allocated all of it before it found the file short).
  const Bytes claims755Mb{
      0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
      0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x04, 0x08, 0x03, 0x00, 0x00, 0x00, 0x6b, 0xd1, 0xe5,
      0xfc, 0x00, 0x00, 0x00, 0x04, 0x67, 0x41, 0x4d, 0x41, 0x30, 0x3a, 0x30, 0x30, 0xbb, 0x2d, 0x31,
      0x32, 0x2d, 0x00, 0x00, 0x25, 0x74, 0x45, 0x58, 0x74, 0x64, 0x31, 0x32, 0x2d, 0x30, 0x37, 0x54,
      0x30, 0x38, 0x44, 0xae, 0x42, 0x60, 0x82};
  EXPECT_FALSE(DecodePng(claims755Mb));
}

TEST(JpegDecode, GreyAndColourBecomeOpaquePixels) {
  JpegImage grey{.width = 16, .height = 16, .components = 1, .samples = Bytes(256, 200)};
  auto bitmap = DecodeJpeg(EncodeJpeg(grey));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->PixelWidth(), 16);
  EXPECT_EQ(At(*bitmap, 0, 0), 0xFFC8C8C8u);
  EXPECT_EQ(At(*bitmap, 15, 15), 0xFFC8C8C8u);

  JpegImage colour{.width = 8, .height = 8, .components = 3, .keepRgb = true};
  for (int i = 0; i < 64; ++i) colour.samples.insert(colour.samples.end(), {1, 2, 3});
  bitmap = DecodeJpeg(EncodeJpeg(colour));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(At(*bitmap, 3, 5), 0xFF010203u);

  // Colour through the usual YCbCr transform, progressive, 10 x 3: close to
  // the source in every channel, opaque, rows at the stride.
  JpegImage progressive{.width = 10, .height = 3, .components = 3, .progressive = true};
  for (int i = 0; i < 30; ++i) progressive.samples.insert(progressive.samples.end(), {200, 100, 50});
  bitmap = DecodeJpeg(EncodeJpeg(progressive));
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->RowStride(), 12);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 10; ++x) {
      const std::uint32_t p = At(*bitmap, x, y);
      EXPECT_EQ(p >> 24, 0xFFu);
      EXPECT_NEAR(int(p >> 16 & 0xFF), 200, 3);
      EXPECT_NEAR(int(p >> 8 & 0xFF), 100, 3);
      EXPECT_NEAR(int(p & 0xFF), 50, 3);
    }
  }
}

TEST(JpegDecode, FourComponentsGiveTransparentBlackOfTheRightSize) {
  JpegImage cmyk{.width = 9, .height = 2, .components = 4, .samples = Bytes(72, 90)};
  auto bitmap = DecodeJpeg(EncodeJpeg(cmyk));
  ASSERT_TRUE(bitmap);
  ASSERT_EQ(bitmap->PixelWidth(), 9);
  ASSERT_EQ(bitmap->PixelHeight(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 9; ++x) EXPECT_EQ(At(*bitmap, x, y), 0u);
  }
}

// Offset of the first byte after the marker `code` and its two length bytes.
std::size_t AfterMarker(const Bytes& jpeg, std::uint8_t code) {
  for (std::size_t i = 2; i + 3 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i + 4;
  }
  return 0;
}

TEST(JpegDecode, TruncatedDataDecodesToFullSizeAndBadDataGivesNull) {
  JpegImage image{.width = 32, .height = 24, .components = 3};
  for (int i = 0; i < 32 * 24; ++i) image.samples.insert(image.samples.end(), {std::uint8_t(i), 90, 200});
  const Bytes good = EncodeJpeg(image);
  // Cut anywhere in the compressed data after the scan header.
  const std::size_t scan = AfterMarker(good, 0xDA);
  ASSERT_NE(scan, 0u);
  for (const std::size_t length : {scan + 12, (scan + good.size()) / 2, good.size() - 2}) {
    auto bitmap = DecodeJpeg(std::span(good).first(length));
    ASSERT_TRUE(bitmap) << length;
    EXPECT_EQ(bitmap->PixelWidth(), 32);
    EXPECT_EQ(bitmap->PixelHeight(), 24);
  }

  EXPECT_FALSE(DecodeJpeg(std::span(good).first(7)));
  EXPECT_FALSE(DecodeJpeg(std::span(good).first(scan / 2)));  // the tables are cut: an error
  Bytes notJpeg = good;
  notJpeg[0] = 0x89;
  EXPECT_FALSE(DecodeJpeg(notJpeg));

  // A header claiming 8000 x 8000 would decode (the missing data reads as the
  // end of the image) into 256 MB: refused by the size limit.
  Bytes huge = good;
  const std::size_t at = AfterMarker(huge, 0xC0) + 1;  // after the sample precision
  ASSERT_NE(at, 1u);
  huge[at] = 8000 >> 8;
  huge[at + 1] = 8000 & 0xFF;
  huge[at + 2] = 8000 >> 8;
  huge[at + 3] = 8000 & 0xFF;
  EXPECT_FALSE(DecodeJpeg(huge));
}

// 4096 x 4096 is within the size limit, but a few hundred bytes cannot hold
// its blocks: refused before libjpeg sizes its whole-image buffers (96 MB for
// a progressive one) and the bitmap, where it would decode the missing data.
TEST(JpegDecode, HeaderClaimingMoreBlocksThanTheDataHoldsGivesNull) {
  for (const bool progressive : {false, true}) {
    JpegImage image{.width = 16, .height = 16, .components = 3, .progressive = progressive};
    image.samples.assign(16 * 16 * 3, 120);
    Bytes jpeg = EncodeJpeg(image);
    ASSERT_TRUE(DecodeJpeg(jpeg));
    const std::size_t at = AfterMarker(jpeg, progressive ? 0xC2 : 0xC0) + 1;
    ASSERT_NE(at, 1u);
    for (const std::size_t i : {at, at + 2}) {
      jpeg[i] = 4096 >> 8;
      jpeg[i + 1] = 4096 & 0xFF;
    }
    EXPECT_FALSE(DecodeJpeg(jpeg)) << progressive;
  }
}

}  // namespace
}  // namespace tarvel
