#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>

#include "encoder_test_support.h"
#include "encoders/ffmpeg_library.h"

namespace murmex {
namespace {

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ChildRun {
  int ExitCode = -1;  // -1 when the child did not exit normally (killed, crashed)
  std::string Out;
  std::string Err;
  long PeakKiB = 0;
};

// Reads `file`'s attributes in a fresh process (FFmpeg set up from scratch, as in murmex-cli) and
// reports what it printed and its peak resident memory.
ChildRun ReadInChild(const std::filesystem::path& file, const std::filesystem::path& dir) {
  const auto out = dir / "child.out";
  const auto err = dir / "child.err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || dup2(outFd, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0) _exit(127);
    execl(MURMEX_READ_MEDIA_ATTRIBUTES, MURMEX_READ_MEDIA_ATTRIBUTES, file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ChildRun run;
  if (pid < 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadAll(out);
  run.Err = ReadAll(err);
  run.PeakKiB = usage.ru_maxrss;
  return run;
}

void AppendLittleEndian(std::string& bytes, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A 32 KiB WAV whose LIST chunk holds an INFO entry claiming 1.7 GB.
void WriteHugeChunkWav(const std::filesystem::path& file) {
  constexpr uint32_t kFileSize = 32768;
  std::string bytes = "RIFF";
  AppendLittleEndian(bytes, kFileSize - 8, 4);
  bytes += "WAVEfmt ";
  AppendLittleEndian(bytes, 16, 4);
  AppendLittleEndian(bytes, 1, 2);  // PCM, 2 channels, 44.1 kHz, 16 bits
  AppendLittleEndian(bytes, 2, 2);
  AppendLittleEndian(bytes, 44100, 4);
  AppendLittleEndian(bytes, 176400, 4);
  AppendLittleEndian(bytes, 4, 2);
  AppendLittleEndian(bytes, 16, 2);
  bytes += "LIST";
  AppendLittleEndian(bytes, 0x70000000, 4);
  bytes += "INFOINAM";
  AppendLittleEndian(bytes, 0x68000000, 4);
  bytes.resize(kFileSize, 'x');
  std::ofstream(file, std::ios::binary) << bytes;
}

// An MP3 without an Xing header (its length is estimated from the bitrate) whose ID3v2 title is
// UTF-16 without a byte-order mark: FFmpeg complains about both while reading it.
void WriteBomlessMp3(const std::filesystem::path& file) {
  const auto plain = file.string() + ".plain.mp3";
  const test::CommandResult made = test::RunCommand(
      "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame -b:a 64k "
      "-write_xing 0 -id3v2_version 0 " + test::Quote(plain));
  ASSERT_EQ(made.Status, 0) << made.Output;
  const std::string frameBody{"\x01" "A\0B\0\0\0", 7};
  std::string tag = "ID3\x03";
  tag += std::string{"\0\0\0\0\0", 5};
  tag += static_cast<char>(10 + frameBody.size());  // syncsafe size, below 128
  tag += "TIT2" + std::string{"\0\0\0", 3} + static_cast<char>(frameBody.size()) + std::string{"\0\0", 2} + frameBody;
  std::ofstream(file, std::ios::binary) << tag << ReadAll(plain);
  std::filesystem::remove(plain);
}

struct ReadCase {
  std::string Label;
  std::function<void(const std::filesystem::path&)> Write;
  bool Readable;  // read (exit 0), else it may be refused (exit 1) but must not crash
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.Label; }

class FfmpegSetUp : public ::testing::TestWithParam<ReadCase> {};

// From the first FFmpeg call on, its console stays quiet and no single allocation exceeds the
// cap, whatever size a damaged header claims.
TEST_P(FfmpegSetUp, AReadIsQuietAndBounded) {
  const ReadCase c = GetParam();
  const auto dir = test::TempDir("ffmpeg-setup-" + c.Label);
  const auto file = dir / ("input." + c.Label);
  c.Write(file);
  ASSERT_FALSE(HasFatalFailure());
  const ChildRun run = ReadInChild(file, dir);
  if (c.Readable) {
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
  } else {
    EXPECT_TRUE(run.ExitCode == 0 || run.ExitCode == 1) << run.ExitCode << " " << run.Out;
  }
  EXPECT_EQ(run.Err, "");
  EXPECT_GT(run.PeakKiB, 0);
  EXPECT_LT(run.PeakKiB, static_cast<long>(kFfmpegMaxAllocation / 1024));
}

INSTANTIATE_TEST_SUITE_P(Files, FfmpegSetUp,
                         ::testing::Values(ReadCase{"wav", WriteHugeChunkWav, false},
                                           ReadCase{"mp3", WriteBomlessMp3, true}),
                         [](const auto& info) { return info.param.Label; });

}  // namespace
}  // namespace murmex
