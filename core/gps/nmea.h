// NMEA 0183 sentences into the receiver records.
//
// Six sentence types are understood: GGA, RMC, GSA and GSV from any
// satellite talker (GP, GN, GL, GA, GB, BD, GQ, QZ, GI, ..., and instrument
// talkers such as II and IN), and Garmin's $PGRME and $PGRMZ. GSV of every
// talker fills the sky of all systems (core/gps/sky.h); $GPGSV also the
// twelve GPS slots of the satellite record.
// DispatchSentence picks the parser from one table; each parser can also be
// called on its own.
//
// A sentence is handled as received: "$" first, no line end, at most 127
// characters, optionally ending in the "*hh" checksum. When "*" is present the
// checksum must be two hex digits (either case) that match, or the sentence is
// not parsed. The records hold what the sentences said; the smoothing rings
// live in the parser state beside them (ReceiverState::smoothing), and the
// date of the latest RMC in its record. Each parse reports what it changed as
// a mask of FixChange bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/gps/nmea_fields.h"
#include "core/gps/nmea_time.h"
#include "core/gps/records.h"

namespace tarvo {

using FixChanges = uint32_t;  // FixChange bits of core/gps/fix.h

enum class SentenceKind : uint8_t { None, Gga, Rmc, Gsa, Gsv, Pgrme, Pgrmz };

// Parsed: the records were updated. BadChecksum: "*" present but the checksum
// is missing, malformed or wrong, whatever the sentence type. TooLong: over
// 127 characters. BadBytes: holds a NUL byte (what a byte received with a
// parity or framing error reads as). Ignored: not a sentence we parse, or one
// the rules ignore (a GSV without "*" or with a message number outside 1..3).
enum class SentenceStatus : uint8_t { Parsed, BadChecksum, TooLong, BadBytes, Ignored };

inline constexpr std::size_t kMaxSentenceLength = 127;

// Speed below which the course is smoothed (knots; 9.26 knots = 17.15 km/h).
inline constexpr double kCourseSmoothingSpeed = 9.26;
// One foot as the Garmin sentences are converted: 1 / 3.281 m.
inline constexpr double kPgrmFeetToMetres = 0.30478512648582745;

struct ParseOptions {
  FilterSettings filter;
  // The computer's clock (seconds since 1970, UTC); dates the time of day of
  // sentences while no RMC date has been seen.
  int64_t nowUtc = 0;
  // Values as read: no smoothing, speed threshold or accuracy filter.
  bool raw = false;
};

struct DispatchResult {
  SentenceKind kind = SentenceKind::None;
  SentenceStatus status = SentenceStatus::Ignored;
  // What the sentence changed (FixChange bits); 0 unless Parsed. A GSV
  // reports the sky only with the message that completes its cycle.
  FixChanges changes = 0;
};

// One sentence after the framing checks: its address ("GPGGA", "PGRME") and the
// text of its data fields (after the address's comma, before the "*").
struct SentenceFrame {
  std::string_view address;
  std::string_view fields;
  bool hasFields = false;    // a comma follows the address
  bool hasChecksum = false;  // the sentence ends in a valid "*hh"
};

// Checks length, NUL bytes and checksum and splits off the address. Returns
// Parsed when the sentence may be parsed (the frame is filled), else TooLong,
// BadBytes, BadChecksum, or Ignored for a line that does not start with "$".
SentenceStatus FrameSentence(std::string_view sentence, SentenceFrame& frame);

// The sentence kind of an address, following the talker rules: GGA, RMC, GSA
// and GSV from any two-letter talker that does not begin with "P", PGRME and
// PGRMZ exactly. None for everything else.
SentenceKind KindOfAddress(std::string_view address);

// The one dispatch: checks the sentence, finds its parser and runs it on the
// matching record of `state`. GGA takes its date from state.rmcFix; RMC uses
// state.dopInfo for the accuracy filter; both smooth with state.smoothing. A sentence that fails the framing
// checks gets that status (TooLong, BadBytes, BadChecksum) whatever its type;
// a sound one of a type not parsed here is Ignored.
DispatchResult DispatchSentence(std::string_view sentence, ReceiverState& state, const ParseOptions& options);

// The parsers on their own. Each takes a whole sentence (address included) and
// does not look at the address. A sentence with a wrong checksum or too long
// changes nothing.
SentenceStatus ParseGga(std::string_view sentence, GpsFix& fix, SmoothingState& smoothing, const RmcFix& dateSource,
                        const ParseOptions& options);
// `dop` may be null (no accuracy filter then).
SentenceStatus ParseRmc(std::string_view sentence, RmcFix& fix, SmoothingState& smoothing, const DopInfo* dop,
                        const ParseOptions& options);
SentenceStatus ParseGsa(std::string_view sentence, DopInfo& dop);
SentenceStatus ParseGsv(std::string_view sentence, SatelliteView& view);
SentenceStatus ParsePgrmz(std::string_view sentence, GpsFix& fix);
SentenceStatus ParsePgrme(std::string_view sentence, GpsFix& fix);

// Every message 1..messageCount of the current GSV cycle has arrived (and
// messageCount > 0). The message that completes a cycle also clears the slots
// past 4 * messageCount, so a cycle shorter than the one before it leaves no
// satellites of that one behind.
bool GsvCycleComplete(const SatelliteView& view);
// Starts a new cycle: clears messageSeen.
void ClearGsvCycle(SatelliteView& view);

}  // namespace tarvo
