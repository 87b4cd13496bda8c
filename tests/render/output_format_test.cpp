// tarvel-render's output-format rules, without files: what a name asks for,
// and the sample type an output gets for a given input.

#include <gtest/gtest.h>

#include "tools/render/OutputFormat.h"

namespace tarvel::render {
namespace {

TEST(OutputFormat, TheNameAsksForAFormatInAnyCase) {
  EXPECT_EQ(MajorFormatOfName("out.wav"), SF_FORMAT_WAV);
  EXPECT_EQ(MajorFormatOfName("OUT.FLAC"), SF_FORMAT_FLAC);
  EXPECT_EQ(MajorFormatOfName("a.b/out.Aif"), SF_FORMAT_AIFF);
  EXPECT_EQ(MajorFormatOfName("out.aiff"), SF_FORMAT_AIFF);
  for (const char* other : {"out", "out.mp3", "wav", "out.wav.tmp", ".flac.x"})
    EXPECT_FALSE(MajorFormatOfName(other).has_value()) << other;
  for (const int major : {SF_FORMAT_WAV, SF_FORMAT_FLAC, SF_FORMAT_AIFF}) EXPECT_TRUE(IsWantedFormat(major));
  EXPECT_FALSE(IsWantedFormat(SF_FORMAT_OGG));
}

TEST(OutputFormat, TheInputsSampleTypeWhereTheFormatHoldsItElse24Bits) {
  SF_INFO input{};
  input.samplerate = 48000;
  input.channels = 2;
  input.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  const SF_INFO wav = OutputInfo(input, SF_FORMAT_WAV);
  EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(wav.samplerate, 48000);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_FALSE(IsIntegerSubtype(wav.format));
  if (MajorFormatAvailable(SF_FORMAT_FLAC)) {
    EXPECT_EQ(OutputInfo(input, SF_FORMAT_FLAC).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);  // no float FLAC
  }
  input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  const SF_INFO aiff = OutputInfo(input, SF_FORMAT_AIFF);
  EXPECT_EQ(aiff.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  EXPECT_TRUE(IsIntegerSubtype(aiff.format));
  EXPECT_EQ(ShortFormatName(SF_FORMAT_AIFF), "AIFF");
}

}  // namespace
}  // namespace tarvel::render
