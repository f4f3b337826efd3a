// The per-user settings section: one INI-style file per section (see
// settings_file.h for its text), by default ConfigFilePath(section), that is
// ~/.config/Quillmark/Pathlet.ini.
//
// Reading: the file is read once, when the store is made or its section set,
// and the values are kept in memory; every Get answers from there. A missing,
// unreadable, cut-off or garbled file gives the defaults of the key table for
// whatever it does not hold well-formed; reading never fails.
//
// Writing: each Set changes the value in memory and saves the file, unless a
// Batch is open, in which case the Batch's Commit saves once for all. A save
// re-reads the file, puts the values set since the last save over it (so a
// key written meanwhile by another Tarvo is kept unless this one set it too),
// writes a temporary file in the same folder (mode 0600), fsyncs it, renames
// it over the old file and fsyncs the folder: the file on disk is always
// either the old one or the new one, whole. Re-read, merge and rename happen
// under an advisory lock (flock) on "<file>.lock" beside the file (mode 0600),
// so saves of several Tarvo processes at once lose no update; with the lock
// held, every temporary file of the file's name pattern (".<file>.XXXXXX")
// is left over from a save that was killed, and is removed. A symbolic link
// is written through: its target (relative to the link's folder, made when it
// is missing) gets the new file, the link stays. A failed save returns false
// and keeps the unsaved values, which the next save includes. A file that was
// not read whole (unreadable, or over 64 MB) is never replaced, nor is a
// read-only one (no write permission bit: EACCES).
//
// Values read are checked against the key table: an Int outside the key's
// range or set, or a number text outside its range, reads as the default.
//
// Not thread-safe: the GUI thread owns the store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "core/settings/keys.h"
#include "core/settings/settings_file.h"

namespace tarvo {

class SettingsStore {
 public:
  // The store of section "Pathlet" in the user's configuration folder.
  SettingsStore();
  // The store of `section` in the user's configuration folder.
  static SettingsStore ForSection(std::string_view section);
  // A store on an explicit file (the --config option, tests). SetSection then
  // only renames the section header written into that file.
  static SettingsStore ForFile(std::filesystem::path file);

  // Chooses the section (its file, unless the store is on an explicit file)
  // and reads it. Unsaved values of the previous section are saved first.
  void SetSection(std::string_view name);
  const std::string& section() const { return section_; }
  const std::filesystem::path& file() const { return file_; }

  // The stored integer, or the table's (or the given) default when the key
  // is missing or does not hold an integer the table allows for it.
  int32_t GetInt(Key key) const;
  int32_t GetInt(Key key, int32_t defaultValue) const;

  // The stored text; when the key is missing or its text has `capacity` or
  // more characters, or it holds no number in range for a number key, the
  // default cut to `capacity` - 1 characters. GetText(key) uses the table's
  // default and capacity. For keys whose default lies in the user folder, use
  // GetPath.
  std::string GetText(Key key) const;
  std::string GetText(Key key, std::string_view defaultValue, std::size_t capacity) const;

  // Number text keys (TextNumber Decimal or Whole): the number of GetText(key)
  // as the table reads it; 0 for other keys.
  double GetNumber(Key key) const;

  // Text keys with a file default (MapFile, TRKFile, TripFile): the stored
  // path, or, when it is missing, empty or too long, the table's file name in
  // DataDirPath().
  std::filesystem::path GetPath(Key key) const;

  // True when the file (or an unsaved Set) holds the key.
  bool Has(Key key) const;

  // false when the file cannot be written (the value stays set in memory).
  // Inside a Batch they return true and the Batch's Commit reports.
  bool SetInt(Key key, int32_t value);
  bool SetText(Key key, std::string_view text);

  // Saves what is unsaved; true when there was nothing to save.
  bool Save();

  // Groups Sets into one save. Commit saves (once) and reports; a Batch
  // destroyed without Commit saves too, ignoring the result. Batches may nest:
  // only the outermost one saves, an inner Commit returns true.
  class Batch {
   public:
    explicit Batch(SettingsStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    bool Commit();

   private:
    SettingsStore& store_;
    bool open_ = true;
  };

  // errno of the last failed read or save; 0 when none.
  int lastError() const { return lastError_; }
  // The same for people, "cannot save /path/Pathlet.ini: Permission denied";
  // empty when lastError() is 0.
  const std::string& lastErrorText() const { return lastErrorText_; }
  // False when the file exists but could not be read whole when it was last
  // read (its values are then the defaults, and saves refuse to replace it).
  bool readWhole() const { return readWhole_; }
  // Number of garbled lines skipped when the file was read.
  std::size_t skippedLines() const { return skippedLines_; }

 private:
  SettingsStore(std::filesystem::path file, std::string section, bool explicitFile);
  void Load();
  // Reads the file into `values`; false (errno in lastError_) when it exists
  // but cannot be read.
  bool ReadFile(SettingsValues& values, std::size_t* skipped);
  // Saves under the lock; false with lastError_ set.
  bool SaveLocked(const std::filesystem::path& target);
  bool WriteFile(const std::filesystem::path& target, const std::string& text);
  bool Fail(const char* what, int error);
  bool Put(Key key, std::string value);
  const std::string* Find(Key key) const;

  std::filesystem::path file_;
  std::string section_;
  bool explicitFile_ = false;
  SettingsValues values_;          // file content with the unsaved values over it
  std::set<std::string, std::less<>> unsaved_;  // keys set since the last save
  int batchDepth_ = 0;
  int lastError_ = 0;
  std::string lastErrorText_;
  bool readWhole_ = true;
  std::size_t skippedLines_ = 0;
};

}  // namespace tarvo
