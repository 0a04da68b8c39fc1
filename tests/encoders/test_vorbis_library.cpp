#include "encoders/vorbis_library.h"

#include <gtest/gtest.h>

namespace murmex {
namespace {

TEST(VorbisLibrary, BindsTheInstalledLibrariesOnce) {
  VorbisLibrary& lib = VorbisLibrary::Instance();
  EXPECT_EQ(lib.Require({VorbisLib::Ogg, VorbisLib::Vorbis, VorbisLib::VorbisFile,
                         VorbisLib::VorbisEnc}),
            "");
  EXPECT_TRUE(lib.IsLoaded(VorbisLib::VorbisEnc));
  ASSERT_NE(lib.Api().vorbis_info_init, nullptr);
  vorbis_info info;
  lib.Api().vorbis_info_init(&info);
  EXPECT_EQ(lib.Api().vorbis_encode_init(&info, 2, 44100, -1, 128000, -1), 0);
  EXPECT_EQ(info.channels, 2);
  lib.Api().vorbis_info_clear(&info);
  EXPECT_EQ(&lib, &VorbisLibrary::Instance());
}

TEST(VorbisLibrary, ReportsTheFirstMissingLibraryInFixedOrder) {
  VorbisLibrary lib({"libogg.so.0", "libvorbis.so.0", "libmurmex-absent.so.3",
                     "libmurmex-absent.so.2"});
  EXPECT_EQ(lib.Require({VorbisLib::VorbisEnc, VorbisLib::VorbisFile, VorbisLib::Ogg}),
            "vorbisfile.dll library could not be loaded.");
  EXPECT_EQ(lib.Require({VorbisLib::VorbisEnc}), "vorbisenc.dll library could not be loaded.");
  EXPECT_EQ(lib.Require({VorbisLib::Ogg, VorbisLib::Vorbis}), "");
  EXPECT_FALSE(lib.IsLoaded(VorbisLib::VorbisFile));

  VorbisLibrary noOgg({"libmurmex-absent.so.0", "libvorbis.so.0", "libvorbisfile.so.3",
                       "libvorbisenc.so.2"});
  EXPECT_EQ(noOgg.Require({VorbisLib::VorbisEnc, VorbisLib::Ogg}),
            "ogg.dll library could not be loaded.");
  EXPECT_TRUE(noOgg.IsLoaded(VorbisLib::VorbisEnc));
}

TEST(VorbisLibrary, LibraryWithoutTheEntryPointsCountsAsMissing) {
  VorbisLibrary lib({"libogg.so.0", "libogg.so.0", "libvorbisfile.so.3", "libvorbisenc.so.2"});
  EXPECT_EQ(lib.Require({VorbisLib::Vorbis}), "vorbis.dll library could not be loaded.");
}

}  // namespace
}  // namespace murmex
