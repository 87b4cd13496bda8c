// Three jobs for the Qtractor check (qtractor_check.sh):
//
// record FRAMES TIMEOUT_SECONDS OUT.wav LEFT_PORT RIGHT_PORT [OUT.wav LEFT RIGHT]...
//   A JACK client that connects to a host's output ports, starts JACK
//   transport from a standing frame 0 and records what the ports play from
//   that moment on, FRAMES frames; then it stops transport and writes one
//   32-bit float stereo WAV file per pair of ports.
//
// align INPUT.wav RECORDING.wav
//   Where INPUT begins in RECORDING, which holds it unchanged after a fade-in
//   of at most a few periods (Qtractor ramps every track up over the first
//   period it plays). Prints "offset OFFSET unchanged-from FRAME".
//
// qcompress IN OUT
//   IN as Qtractor packs a plug-in's state blob into its session: a 32-bit
//   big-endian length, then the zlib stream.

#include <jack/jack.h>
#include <jack/transport.h>
#include <sndfile.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "qtractor_helper: %s\n", message.c_str());
  return 1;
}

struct Recording {
  std::string file;
  std::string sources[2];
  jack_port_t* ports[2] = {nullptr, nullptr};
  std::vector<float> samples;  // interleaved stereo, sized before activation
};

struct Recorder {
  std::vector<Recording> recordings;
  size_t frames = 0;
  std::atomic<bool> armed{false};  // set just before transport starts
  std::atomic<size_t> written{0};  // frames recorded, published by the audio thread
};

// The audio thread: copies only, into buffers sized beforehand.
int Process(jack_nframes_t nframes, void* arg) {
  auto* recorder = static_cast<Recorder*>(arg);
  if (!recorder->armed.load(std::memory_order_acquire)) return 0;
  const size_t at = recorder->written.load(std::memory_order_relaxed);
  const size_t count = std::min<size_t>(nframes, recorder->frames - at);
  if (count == 0) return 0;
  for (auto& r : recorder->recordings) {
    for (int c = 0; c < 2; ++c) {
      const auto* in = static_cast<const float*>(jack_port_get_buffer(r.ports[c], nframes));
      for (size_t i = 0; i < count; ++i) r.samples[(at + i) * 2 + c] = in[i];
    }
  }
  recorder->written.store(at + count, std::memory_order_release);
  return 0;
}

bool WriteStereo(const std::string& path, const std::vector<float>& samples, size_t frames, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  const auto done = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(frames));
  return sf_close(file) == 0 && done == static_cast<sf_count_t>(frames);
}

bool ReadStereo(const std::string& path, std::vector<float>& samples) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return false;
  bool ok = info.channels == 2 && info.frames > 0 && info.frames < (sf_count_t{1} << 28);
  if (ok) {
    samples.resize(static_cast<size_t>(info.frames) * 2);
    ok = sf_readf_float(file, samples.data(), info.frames) == info.frames;
  }
  sf_close(file);
  return ok;
}

int Record(const std::vector<std::string>& args) {
  if (args.size() < 5 || (args.size() - 2) % 3 != 0) {
    return Fail("record FRAMES TIMEOUT_SECONDS OUT.wav LEFT_PORT RIGHT_PORT [OUT.wav LEFT RIGHT]...");
  }
  Recorder recorder;
  char* end = nullptr;
  const long long frames = std::strtoll(args[0].c_str(), &end, 10);
  if (*end != '\0' || frames <= 0 || frames > 60LL * 192000) return Fail("FRAMES must be 1 to 60 s of audio");
  const double timeout = std::strtod(args[1].c_str(), &end);
  if (*end != '\0' || !(timeout > 0.0 && timeout < 3600.0)) return Fail("TIMEOUT_SECONDS must be 0 to 3600");
  recorder.frames = static_cast<size_t>(frames);
  for (size_t i = 2; i < args.size(); i += 3) {
    Recording r;
    r.file = args[i];
    r.sources[0] = args[i + 1];
    r.sources[1] = args[i + 2];
    r.samples.assign(recorder.frames * 2, 0.0f);
    recorder.recordings.push_back(std::move(r));
  }

  jack_status_t status{};
  jack_client_t* client = jack_client_open("tarvel-recorder", JackNoStartServer, &status);
  if (client == nullptr) return Fail("no JACK server (status " + std::to_string(status) + ")");
  int result = 0;
  for (size_t k = 0; k < recorder.recordings.size() && result == 0; ++k) {
    for (int c = 0; c < 2 && result == 0; ++c) {
      const std::string name = "in_" + std::to_string(k) + (c == 0 ? "_l" : "_r");
      recorder.recordings[k].ports[c] =
          jack_port_register(client, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
      if (recorder.recordings[k].ports[c] == nullptr) result = Fail("cannot register " + name);
    }
  }
  if (result == 0 && (jack_set_process_callback(client, Process, &recorder) != 0 || jack_activate(client) != 0)) {
    result = Fail("cannot activate the client");
  }
  for (auto& r : recorder.recordings) {
    for (int c = 0; c < 2 && result == 0; ++c) {
      if (jack_connect(client, r.sources[c].c_str(), jack_port_name(r.ports[c])) != 0) {
        result = Fail("cannot connect " + r.sources[c]);
      }
    }
  }

  const auto started = std::chrono::steady_clock::now();
  const auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
  if (result == 0) {
    // From a standing transport at frame 0, so that the host plays the
    // session from its start.
    jack_transport_stop(client);
    jack_transport_locate(client, 0);
    jack_position_t position{};
    while (elapsed() < timeout &&
           (jack_transport_query(client, &position) != JackTransportStopped || position.frame != 0)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    recorder.armed.store(true, std::memory_order_release);
    jack_transport_start(client);
    while (elapsed() < timeout && recorder.written.load(std::memory_order_acquire) < recorder.frames) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    jack_transport_stop(client);
    if (recorder.written.load() < recorder.frames) {
      result = Fail("timed out after " + std::to_string(recorder.written.load()) + " frames");
    }
  }
  const int rate = static_cast<int>(jack_get_sample_rate(client));
  jack_deactivate(client);
  jack_client_close(client);
  if (result != 0) return result;

  for (const auto& r : recorder.recordings) {
    if (!WriteStereo(r.file, r.samples, recorder.frames, rate)) return Fail("cannot write " + r.file);
  }
  return 0;
}

int Align(const std::vector<std::string>& args) {
  // The longest fade-in accepted, and how much of the input must follow it.
  constexpr size_t kMaxFadeFrames = 8192;
  constexpr size_t kMinMatchFrames = 4096;
  if (args.size() != 2) return Fail("align INPUT.wav RECORDING.wav");
  std::vector<float> input;
  std::vector<float> recording;
  if (!ReadStereo(args[0], input) || !ReadStereo(args[1], recording)) return Fail("cannot read stereo files");
  const size_t inputFrames = input.size() / 2;
  const size_t recordingFrames = recording.size() / 2;
  if (inputFrames < kMaxFadeFrames + kMinMatchFrames || recordingFrames < inputFrames) {
    return Fail("the input is too short or the recording shorter than the input");
  }
  const auto same = [&](size_t offset, size_t frame) {
    return recording[(offset + frame) * 2] == input[frame * 2] &&
           recording[(offset + frame) * 2 + 1] == input[frame * 2 + 1];
  };
  for (size_t offset = 0; offset + inputFrames <= recordingFrames; ++offset) {
    // Past any fade-in, every frame of the input, unchanged.
    size_t frame = kMaxFadeFrames;
    while (frame < inputFrames && same(offset, frame)) ++frame;
    if (frame < inputFrames) continue;
    size_t from = kMaxFadeFrames;
    while (from > 0 && same(offset, from - 1)) --from;
    std::printf("offset %zu unchanged-from %zu\n", offset, from);
    return 0;
  }
  return Fail(args[0] + " is not in " + args[1]);
}

int QCompress(const std::vector<std::string>& args) {
  if (args.size() != 2) return Fail("qcompress IN OUT");
  std::ifstream in(args[0], std::ios::binary);
  const std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in || data.empty() || data.size() > (1u << 24)) return Fail("cannot read " + args[0]);
  uLongf packed = compressBound(data.size());
  std::vector<unsigned char> out(4 + packed);
  const auto size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(size >> (24 - 8 * i));
  if (compress2(out.data() + 4, &packed, data.data(), data.size(), Z_BEST_COMPRESSION) != Z_OK) {
    return Fail("zlib failed");
  }
  std::ofstream file(args[1], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(4 + packed));
  return file.flush() ? 0 : Fail("cannot write " + args[1]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("record | align | qcompress ...");
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "record") return Record(args);
  if (command == "align") return Align(args);
  if (command == "qcompress") return QCompress(args);
  return Fail("unknown command " + command);
}
