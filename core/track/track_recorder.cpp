#include "core/track/track_recorder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/geo/distance.h"
#include "core/track/track_file.h"
#include "core/track/track_gpx.h"

namespace tarvo {

void TrackStatistics::AddPoint(LatLon position, int64_t time) {
  if (pointCount != 0) {
    totalDistance += GreatCircleDistance(lastPoint.latitude, lastPoint.longitude, position.latitude, position.longitude);
  }
  ++pointCount;
  lastPoint = position;
  if (!hasFirstTime) {
    hasFirstTime = true;
    firstTime = time;
    elapsed = 0;
  } else {
    // Times are dated, so a track across midnight runs on; a file spliced
    // from older pieces can still go back in time, which counts as 0.
    elapsed = time > firstTime ? time - firstTime : 0;
  }
  averageSpeed = elapsed != 0 ? totalDistance / (static_cast<double>(elapsed) / 3600.0) : 0.0;
}

void TrackStatistics::AddAltitude(double altitude) {
  if (altitude < minAltitude) minAltitude = altitude;
  if (altitude > maxAltitude) maxAltitude = altitude;
}

int TrackIntervalIndex(int seconds) {
  for (int i = 0; i < static_cast<int>(std::size(kTrackIntervals)); ++i) {
    if (kTrackIntervals[i].value == seconds) return i;
  }
  return 3;
}

int TrackMinDistanceIndex(int metres) {
  for (int i = 0; i < static_cast<int>(std::size(kTrackMinDistances)); ++i) {
    if (kTrackMinDistances[i].value == metres) return i;
  }
  return 0;
}

TrackRecorder::TrackRecorder(TrackSettings settings) : settings_(std::move(settings)) {}

TrackRecorder::~TrackRecorder() { CloseFile(); }

int64_t TrackRecorder::NowMs() const {
  if (clock_) return clock_();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TrackRecorder::Changed() {
  if (changed_) changed_();
}

bool TrackRecorder::WritePending() {
  const char* p = pending_.data();
  std::size_t left = pending_.size();
  bool ok = true;
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // The lines are lost, as a full disk loses them; the next ones are tried again.
      lastError_ = std::string("cannot write the track file: ") + std::strerror(errno);
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  pending_.clear();
  dirty_ = true;
  return ok;
}

void TrackRecorder::Sync() {
  if (fd_ >= 0 && !pending_.empty()) WritePending();
  if (fd_ < 0 || !dirty_) return;
  ::fsync(fd_);
  dirty_ = false;
  lastSyncMs_ = NowMs();
}

bool TrackRecorder::RecordSentence(const Sentence& s, int64_t nowMs) {
  if (!settings_.active || fd_ < 0 || simulation_) return false;
  const bool altitudeOnly = s.isGga && useRmc_;
  if (hasTick_ && nowMs - lastTick_ <= static_cast<int64_t>(settings_.intervalSeconds) * 1000 && !altitudeOnly) {
    return false;
  }
  if (!s.valid) return false;

  bool write = true;
  if (altitudeOnly) {
    stats_.AddAltitude(s.altitude);
  } else {
    double d = 0.0;
    if (stats_.pointCount != 0) {
      d = GreatCircleDistance(stats_.lastPoint.latitude, stats_.lastPoint.longitude, s.position.latitude,
                              s.position.longitude);
    }
    if (settings_.minDistance != 0 && stats_.pointCount != 0 && d < settings_.minDistance) {
      write = false;
    } else {
      stats_.AddPoint(s.position, s.fixTime);
      if (s.isGga) stats_.AddAltitude(s.altitude);
      positions_.push_back(s.position);
      if (calibration_.IsCalibrated()) route_.push_back(calibration_.GeoToPixel(s.position.latitude, s.position.longitude));
      ++revision_;
    }
    lastTick_ = nowMs;
    hasTick_ = true;
  }
  if (write) {
    pending_.append(s.line);
    pending_.push_back('\n');
    if (!batch_ || pending_.size() >= (1u << 16)) WritePending();
    // Durable every few seconds of real time, whatever clock paces the interval.
    if (!batch_) {
      const int64_t real = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
      if (real - lastSyncMs_ >= kTrackSyncPeriodMs) {
        ::fsync(fd_);
        dirty_ = false;
        lastSyncMs_ = real;
      }
    }
  }
  Changed();
  return write;
}

void TrackRecorder::OnFix(const Fix& fix, FixChanges changes) {
  const bool isGga = fix.source == SentenceKind::Gga;
  if ((!isGga && fix.source != SentenceKind::Rmc) || fix.sentence.empty()) return;
  // A sentence is new when it brought the position, or (a GGA while RMC is
  // the position source, bringing the altitude) when its text differs from
  // the last one seen.
  if (!(changes & kFixPosition) && fix.sentence == lastSentence_) return;
  lastSentence_ = fix.sentence;
  useRmc_ = fix.positionFromRmc;
  simulation_ = fix.replay;
  Sentence s;
  s.line = fix.sentence;
  s.isGga = isGga;
  s.valid = isGga ? fix.quality > 0 : fix.valid;
  s.fixTime = fix.time;
  s.position = fix.position;
  s.altitude = fix.altitude;
  RecordSentence(s, NowMs());
}

void TrackRecorder::OnConnectionChanged(bool connected) {
  if (!connected) Sync();
}

bool TrackRecorder::OpenFile(bool readOnly) {
  CloseFile();
  const int flags = readOnly ? O_RDONLY : (O_RDWR | O_CREAT | O_APPEND);
  const int fd = ::open(settings_.path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    lastError_ = settings_.path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    lastError_ = settings_.path + ": not a regular file";
    ::close(fd);
    return false;
  }
  // One recorder per file: another program writing to it would interleave lines.
  if (::flock(fd, (readOnly ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    lastError_ = settings_.path + ": in use by another program";
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void TrackRecorder::CloseFile() {
  if (fd_ < 0) return;
  if (!pending_.empty()) WritePending();
  if (dirty_) ::fsync(fd_);
  dirty_ = false;
  ::close(fd_);
  fd_ = -1;
}

bool TrackRecorder::RebuildStatistics(bool closeAfter) {
  stats_ = TrackStatistics{};
  hasTick_ = false;
  lastTick_ = 0;
  positions_.clear();
  route_.clear();
  ++revision_;
  lastError_.clear();

  bool ok = true;
  std::error_code ec;
  if (closeAfter && !std::filesystem::exists(settings_.path, ec)) {
    CloseFile();  // nothing recorded yet: an empty track
  } else if (!OpenFile(closeAfter)) {
    settings_.active = false;
    ok = false;
  } else {
    ::lseek(fd_, 0, SEEK_SET);
    TrackPieceReader reader(fd_);
    TrackLineDecoder decoder;
    while (std::optional<std::string_view> line = reader.Next()) {
      const TrackLine t = decoder.Decode(*line);
      if (t.kind == TrackLine::Kind::Other || !t.valid) continue;
      const bool isGga = t.kind == TrackLine::Kind::Gga;
      if (isGga) stats_.AddAltitude(t.altitude);
      if (isGga && useRmc_) continue;
      if (!isGga && !useRmc_) continue;
      stats_.AddPoint(t.position, t.time);
      positions_.push_back(t.position);
    }
    if (reader.readError() != 0) lastError_ = settings_.path + ": " + std::strerror(reader.readError());
    if (closeAfter) CloseFile();
  }
  if (calibration_.IsCalibrated()) RebuildTrackRoute(calibration_);
  Changed();
  return ok;
}

bool TrackRecorder::SetActive(bool on) {
  if (!on) {
    settings_.active = false;
    CloseFile();
    Changed();
    return true;
  }
  settings_.active = true;
  return RebuildStatistics(false);
}

bool TrackRecorder::UseFile(const std::string& path) {
  settings_.path = path;
  CloseFile();
  return RebuildStatistics(!settings_.active);
}

bool TrackRecorder::Reset() {
  CloseFile();
  std::error_code ec;
  std::filesystem::remove(settings_.path, ec);
  if (ec) {
    lastError_ = settings_.path + ": " + ec.message();
    return false;
  }
  return RebuildStatistics(!settings_.active);
}

void TrackRecorder::RebuildTrackRoute(const MapCalibration& calibration) {
  calibration_ = calibration;
  route_.clear();
  if (!calibration_.IsCalibrated()) return;
  route_.reserve(positions_.size());
  for (const LatLon& p : positions_) route_.push_back(calibration_.GeoToPixel(p.latitude, p.longitude));
}

bool TrackRecorder::ExportGpx(const std::string& path, int64_t dateHint) {
  lastError_.clear();
  Sync();
  const int in = ::open(settings_.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    lastError_ = settings_.path + ": " + std::strerror(errno);
    return false;
  }
  const std::string temp = path + ".tmp";
  std::FILE* out = std::fopen(temp.c_str(), "wb");
  if (out == nullptr) {
    lastError_ = path + ": " + std::strerror(errno);
    ::close(in);
    return false;
  }
  static char buffer[1 << 16];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  GpxTrackWriter writer(out, useRmc_, dateHint);
  TrackPieceReader reader(in);
  while (std::optional<std::string_view> line = reader.Next()) writer.AddLine(*line);
  const int readError = reader.readError();
  ::close(in);
  bool ok = writer.Finish() && readError == 0;
  ok = ok && ::fsync(fileno(out)) == 0;
  if (std::fclose(out) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    lastError_ = path + ": " + std::strerror(readError != 0 ? readError : errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace tarvo
