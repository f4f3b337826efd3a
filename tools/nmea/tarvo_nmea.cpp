// tarvo-nmea: decodes NMEA 0183 from a file, standard input or a receiver on
// a serial port, and prints one JSON object per handled sentence.
//
//   tarvo-nmea [--raw] [--stats] [--baud N] [--databits 7|8]
//              [--parity none|odd|even|mark|space] [--stopbits 1|2] [SOURCE]
//
// SOURCE is a file, "-" for standard input (the default), a serial device or
// a network feed: gpsd://HOST[:PORT], tcp://HOST:PORT or udp://:PORT.
// Lines are cut from the byte stream exactly as from a serial port: "$" opens
// a line, CR or LF ends it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/gps/line_assembler.h"
#include "core/gps/net_source.h"
#include "core/gps/nmea.h"
#include "core/gps/serial_link.h"
#include "tools/nmea/nmea_json.h"

namespace tarvo::nmea_tool {
namespace {

constexpr const char* kUsage =
    "usage: tarvo-nmea [--raw] [--stats] [--sky] [--baud N] [--databits 7|8]\n"
    "                  [--parity none|odd|even|mark|space] [--stopbits 1|2] [SOURCE]\n"
    "\n"
    "Decodes NMEA 0183 sentences and prints one JSON object per GGA, RMC, GSA,\n"
    "PGRME and PGRMZ sentence and per complete GSV cycle.\n"
    "\n"
    "  SOURCE        a file, - for standard input (default), a serial device, or\n"
    "                gpsd://HOST[:PORT]  the NMEA a gpsd relays (port 2947)\n"
    "                tcp://HOST:PORT     an NMEA server (port 10110 is usual)\n"
    "                udp://:PORT         NMEA datagrams to this machine, broadcasts too\n"
    "  --raw         values as read: no smoothing, speed threshold or accuracy filter\n"
    "  --sky         instead, one SKY object per completed sky of every satellite\n"
    "                system: system, prn, el, az, snr (null when not sent), used\n"
    "  --stats       counts to standard error at the end: lines read, sentences\n"
    "                decoded per type, and lines not decoded because of a\n"
    "                bad checksum  \"*hh\" malformed or not matching (any type)\n"
    "                too long      over 127 characters\n"
    "                bad bytes     a NUL byte (a byte received with a parity or\n"
    "                              framing error reads as one)\n"
    "                ignored       a type not decoded here, or a GSV without\n"
    "                              checksum or with a message number outside 1..3\n"
    "  --baud N      serial devices: line speed (default 4800)\n"
    "  --databits N  7 or 8 (default 8)\n"
    "  --parity P    none, odd, even, mark or space (default none)\n"
    "  --stopbits N  1 or 2 (default 1)\n";

constexpr std::size_t kReadBlock = 1 << 18;

struct Options {
  bool raw = false;
  bool stats = false;
  bool sky = false;
  std::string source = "-";
  bool lineSettingsGiven = false;
  int baud = 4800;
  int dataBits = 8;
  int parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  int stopBits = 0;  // 0 one, 2 two
};

void Fail(const std::string& message) { std::fprintf(stderr, "tarvo-nmea: %s\n", message.c_str()); }

bool ParseInt(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Reads the command line; false (after a message) when it is not usable.
bool ParseArguments(int argc, char** argv, Options& options, bool& help) {
  bool sourceGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view value;
    bool hasValue = false;
    if (arg.starts_with("--")) {
      const std::size_t eq = arg.find('=');
      if (eq != std::string_view::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasValue = true;
      }
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        Fail("option " + std::string(arg) + " needs a value");
        return false;
      }
      value = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (arg == "--sky") {
      options.sky = true;
    } else if (arg == "--baud") {
      if (!takeValue()) return false;
      if (!ParseInt(value, options.baud) || options.baud <= 0) {
        Fail("invalid baud rate: " + std::string(value));
        return false;
      }
      options.lineSettingsGiven = true;
    } else if (arg == "--databits") {
      if (!takeValue()) return false;
      if (!ParseInt(value, options.dataBits) || (options.dataBits != 7 && options.dataBits != 8)) {
        Fail("data bits must be 7 or 8: " + std::string(value));
        return false;
      }
      options.lineSettingsGiven = true;
    } else if (arg == "--parity") {
      if (!takeValue()) return false;
      constexpr std::string_view kParities[] = {"none", "odd", "even", "mark", "space"};
      int found = -1;
      for (int p = 0; p < 5; ++p) {
        if (value == kParities[p]) found = p;
      }
      if (found < 0) {
        Fail("parity must be none, odd, even, mark or space: " + std::string(value));
        return false;
      }
      options.parity = found;
      options.lineSettingsGiven = true;
    } else if (arg == "--stopbits") {
      if (!takeValue()) return false;
      int bits = 0;
      if (!ParseInt(value, bits) || (bits != 1 && bits != 2)) {
        Fail("stop bits must be 1 or 2: " + std::string(value));
        return false;
      }
      options.stopBits = bits == 2 ? 2 : 0;
      options.lineSettingsGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      Fail("unknown option: " + std::string(arg) + " (see --help)");
      return false;
    } else {
      if (sourceGiven) {
        Fail("only one source can be read: " + std::string(arg));
        return false;
      }
      options.source = std::string(arg);
      sourceGiven = true;
    }
  }
  return true;
}

// Feeds lines to the parsers and prints the records they fill.
class Decoder {
 public:
  Decoder(const Options& options, JsonWriter& out) : out_(out), sky_(options.sky) { parse_.raw = options.raw; }

  void SetClock(int64_t nowUtc) { parse_.nowUtc = nowUtc; }

  void Line(std::string_view line) {
    ++lines_;
    const DispatchResult r = DispatchSentence(line, state_, parse_);
    if (sky_ && state_.sky.completedCycles() != skyCycles_) {
      skyCycles_ = state_.sky.completedCycles();
      out_.Sky(state_.sky.satellites(), std::max(state_.gpsFix.fixTime, state_.rmcFix.fixTime));
    }
    switch (r.status) {
      case SentenceStatus::BadChecksum:
        ++badChecksum_;
        return;
      case SentenceStatus::TooLong:
        ++tooLong_;
        return;
      case SentenceStatus::BadBytes:
        ++badBytes_;
        return;
      case SentenceStatus::Ignored:
        ++ignored_;
        return;
      case SentenceStatus::Parsed:
        break;
    }
    ++parsed_[static_cast<int>(r.kind)];
    if (sky_) return;
    switch (r.kind) {
      case SentenceKind::Gga:
        out_.Gga(state_.gpsFix);
        break;
      case SentenceKind::Rmc:
        out_.Rmc(state_.rmcFix);
        break;
      case SentenceKind::Gsa:
        out_.Gsa(state_.dopInfo);
        break;
      case SentenceKind::Gsv:
        if (GsvCycleComplete(state_.satelliteView)) {
          out_.Gsv(state_.satelliteView);
          ClearGsvCycle(state_.satelliteView);
        }
        break;
      case SentenceKind::Pgrme:
        out_.Pgrme(state_.gpsFix);
        break;
      case SentenceKind::Pgrmz:
        out_.Pgrmz(state_.gpsFix);
        break;
      case SentenceKind::None:
        break;
    }
  }

  // Lines the assembler dropped for being longer than it holds.
  void DroppedOverlong(uint64_t count) {
    lines_ += count;
    tooLong_ += count;
  }

  void PrintStats() const {
    std::fprintf(stderr, "lines         %llu\n", static_cast<unsigned long long>(lines_));
    constexpr std::pair<SentenceKind, const char*> kKinds[] = {
        {SentenceKind::Gga, "GGA"},     {SentenceKind::Rmc, "RMC"},     {SentenceKind::Gsa, "GSA"},
        {SentenceKind::Gsv, "GSV"},     {SentenceKind::Pgrme, "PGRME"}, {SentenceKind::Pgrmz, "PGRMZ"},
    };
    for (const auto& [kind, name] : kKinds) {
      std::fprintf(stderr, "%-13s %llu\n", name, static_cast<unsigned long long>(parsed_[static_cast<int>(kind)]));
    }
    std::fprintf(stderr, "bad checksum  %llu\n", static_cast<unsigned long long>(badChecksum_));
    std::fprintf(stderr, "too long      %llu\n", static_cast<unsigned long long>(tooLong_));
    std::fprintf(stderr, "bad bytes     %llu\n", static_cast<unsigned long long>(badBytes_));
    std::fprintf(stderr, "ignored       %llu\n", static_cast<unsigned long long>(ignored_));
  }

 private:
  JsonWriter& out_;
  bool sky_ = false;
  uint64_t skyCycles_ = 0;
  ParseOptions parse_;
  ReceiverState state_;
  uint64_t lines_ = 0;
  uint64_t parsed_[7] = {};
  uint64_t badChecksum_ = 0;
  uint64_t tooLong_ = 0;
  uint64_t badBytes_ = 0;
  uint64_t ignored_ = 0;
};

// A file or standard input, read in large blocks.
int DecodeStream(int fd, const std::string& name, const Options& options) {
  JsonWriter out(STDOUT_FILENO);
  Decoder decoder(options, out);
  decoder.SetClock(static_cast<int64_t>(std::time(nullptr)));
  LineAssembler assembler;
  static char block[kReadBlock];
  int status = 0;
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      Fail("cannot read " + name + ": " + std::strerror(errno));
      status = 1;
      break;
    }
    if (n == 0) break;
    assembler.Feed(std::string_view(block, static_cast<std::size_t>(n)),
                   [&](std::string_view line) { decoder.Line(line); });
    if (out.failed()) break;
  }
  // A last line without a line end still counts.
  assembler.Feed("\n", [&](std::string_view line) { decoder.Line(line); });
  decoder.DroppedOverlong(assembler.droppedTooLong());
  if (!out.Flush()) {
    Fail(std::string("cannot write the output: ") + std::strerror(errno));
    status = 1;
  }
  if (options.stats) decoder.PrintStats();
  return status;
}

// Starts `source` and prints its lines as they come, until it ends or the
// user stops us. `dropped` reads the lines the source dropped as too long.
int DecodeLive(const Options& options, LineSource& source, const std::string& name,
               const std::function<uint64_t()>& dropped, const std::function<int()>& startError);

// A receiver on a serial device, until it goes away or the user stops us.
int DecodeSerial(const Options& options) {
  SerialLink link;
  if (!link.Open(options.source, false)) {
    Fail("cannot open " + options.source + ": " + std::strerror(link.lastError()));
    return 1;
  }
  if (!link.Configure(options.baud, options.dataBits, 1, options.parity, options.stopBits)) {
    Fail("cannot set the line settings of " + options.source + " (" + std::to_string(options.baud) +
         " baud): " + std::strerror(link.lastError()));
    return 1;
  }
  if (!link.SetTimeouts()) {
    Fail("cannot set the time-outs of " + options.source + ": " + std::strerror(link.lastError()));
    return 1;
  }
  return DecodeLive(
      options, link, options.source, [&] { return link.droppedTooLong(); }, [&] { return link.lastError(); });
}

// gpsd, TCP or UDP: ends when the peer goes away (no reconnecting here).
int DecodeNet(const Options& options, const NetSourceConfig& config) {
  NetSource source(config);
  return DecodeLive(
      options, source, NetSourceName(config), [&] { return source.droppedTooLong(); },
      [&] { return source.lastError(); });
}

int DecodeLive(const Options& options, LineSource& source, const std::string& name,
               const std::function<uint64_t()>& dropped, const std::function<int()>& startError) {
  // Signals are taken by sigwait below; the reader thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  JsonWriter out(STDOUT_FILENO);
  Decoder decoder(options, out);
  std::mutex lostMutex;
  std::string lostReason;
  std::atomic<bool> lost{false};
  const bool started = source.Start(
      [&](std::string_view line, std::stop_token) {
        decoder.SetClock(static_cast<int64_t>(std::time(nullptr)));
        decoder.Line(line);
        out.Flush();
      },
      [&](const std::string& reason) {
        {
          std::lock_guard<std::mutex> lock(lostMutex);
          lostReason = reason;
        }
        lost = true;
        ::kill(::getpid(), SIGUSR1);
      });
  if (!started) {
    Fail("cannot start reading " + name + ": " + std::strerror(startError()));
    return 1;
  }
  int signal = 0;
  do {
    sigwait(&signals, &signal);
  } while (signal == SIGUSR1 && !lost);
  source.Close();
  decoder.DroppedOverlong(dropped());
  out.Flush();
  if (options.stats) decoder.PrintStats();
  if (lost) {
    std::lock_guard<std::mutex> lock(lostMutex);
    Fail("lost " + name + ": " + lostReason);
    return 1;
  }
  return 0;
}

int Run(int argc, char** argv) {
  Options options;
  bool help = false;
  if (!ParseArguments(argc, argv, options, help)) return 1;
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.source == "-") {
    if (options.lineSettingsGiven) {
      Fail("line settings apply to serial devices only, not to standard input");
      return 1;
    }
    return DecodeStream(STDIN_FILENO, "standard input", options);
  }
  if (options.source.find("://") != std::string::npos) {
    NetSourceConfig config;
    std::string error;
    if (!ParseNetSourceUrl(options.source, config, error)) {
      Fail(error);
      return 1;
    }
    if (options.lineSettingsGiven) {
      Fail("line settings apply to serial devices only, not to " + NetSourceName(config));
      return 1;
    }
    return DecodeNet(options, config);
  }

  struct stat info {};
  if (::stat(options.source.c_str(), &info) != 0) {
    Fail("cannot open " + options.source + ": " + std::strerror(errno));
    return 1;
  }
  // A character device is opened without waiting for a modem line; a FIFO
  // must wait for its writer.
  const int flags = O_RDONLY | O_NOCTTY | O_CLOEXEC | (S_ISCHR(info.st_mode) ? O_NONBLOCK : 0);
  const int fd = ::open(options.source.c_str(), flags);
  if (fd < 0) {
    Fail("cannot open " + options.source + ": " + std::strerror(errno));
    return 1;
  }
  if (S_ISCHR(info.st_mode) && ::isatty(fd)) {
    ::close(fd);
    return DecodeSerial(options);
  }
  if (options.lineSettingsGiven) {
    ::close(fd);
    Fail(options.source + " is not a serial device; line settings apply to serial devices only");
    return 1;
  }
  if (S_ISCHR(info.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const int status = DecodeStream(fd, options.source, options);
  ::close(fd);
  return status;
}

}  // namespace
}  // namespace tarvo::nmea_tool

int main(int argc, char** argv) { return tarvo::nmea_tool::Run(argc, argv); }
