#include "gui/gps/log_page.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <system_error>

#include "core/settings/paths.h"
#include "core/settings/settings_store.h"
#include "gui/app/gps_sheet.h"

namespace tarvo {

namespace {
constexpr std::array<std::pair<const char*, int32_t>, 5> kFilters = {
    {{"GGA", kLogGga}, {"GSV", kLogGsv}, {"RMC", kLogRmc}, {"GSA", kLogGsa}, {"Others", kLogOthers}}};
}  // namespace

CLog::CLog(CGPSSheet& sheet) : CGPSPage(sheet, kLogPage, QStringLiteral("Log")) {
  setObjectName(QStringLiteral("logPage"));
  logOptions_ = sheet.store().GetInt(Key::LogOptions);
  logSaveSetting_ = sheet.store().GetInt(Key::LogSave) != 0 ? 1 : 0;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 16, 8, 8);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("logList"));
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setUniformItemSizes(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  QFont mono(QStringLiteral("Liberation Mono"));
  mono.setStyleHint(QFont::Monospace);
  mono.setPixelSize(12);
  list_->setFont(mono);
  layout->addWidget(list_, 1);

  auto* controls = new QHBoxLayout;
  for (std::size_t i = 0; i < kFilters.size(); ++i) {
    filters_[i] = new QCheckBox(QString::fromLatin1(kFilters[i].first), this);
    filters_[i]->setObjectName(QStringLiteral("filter%1").arg(QString::fromLatin1(kFilters[i].first)));
    const int32_t bit = kFilters[i].second;
    connect(filters_[i], &QCheckBox::clicked, this, [this, bit] { ToggleFilter(bit); });
    controls->addWidget(filters_[i]);
  }
  controls->addStretch(1);
  save_ = new QCheckBox(QStringLiteral("Save to file"), this);
  save_->setObjectName(QStringLiteral("saveToFile"));
  connect(save_, &QCheckBox::clicked, this, &CLog::ToggleSave);
  controls->addWidget(save_);
  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  clear_->setObjectName(QStringLiteral("clear"));
  clear_->setAutoDefault(false);
  connect(clear_, &QPushButton::clicked, this, &CLog::Clear);
  controls->addWidget(clear_);
  layout->addLayout(controls);
}

CLog::~CLog() {
  logFile_.Close();
  SettingsStore::Batch batch(sheet_.store());
  sheet_.store().SetInt(Key::LogOptions, logOptions_);
  sheet_.store().SetInt(Key::LogSave, logSaveSetting_);
  batch.Commit();
}

std::filesystem::path CLog::logPath() const {
  std::error_code error;
  std::filesystem::path dir = UserDataDir(error);
  return (dir.empty() ? DataDirPath() : dir) / kLogFileName;
}

void CLog::OnCreate() {
  // Starting with "Save to file" on replaces the previous log.
  if (logSaveSetting_ && !OpenLogFile()) logSaveSetting_ = 0;
  ShowState();
}

void CLog::OnDeactivate() { logFile_.Flush(); }

bool CLog::IsReplayingLogFile() const {
  const ConnectionController& c = sheet_.controller();
  if (!c.IsConnected() || !c.IsReplay()) return false;
  std::error_code error;
  return std::filesystem::equivalent(c.replayPath(), logPath(), error);
}

bool CLog::OpenLogFile() {
  // Emptying the file that is being replayed would destroy the recording.
  if (IsReplayingLogFile()) return false;
  return logFile_.Open(logPath());
}

void CLog::ToggleFilter(int bit) {
  logOptions_ ^= bit;
  ShowState();
}

void CLog::ToggleSave() {
  if (logFile_.IsOpen()) {
    logFile_.Close();
    logSaveSetting_ = 0;
  } else {
    logSaveSetting_ = OpenLogFile() ? 1 : 0;
  }
  ShowState();
}

void CLog::Clear() { list_->clear(); }

void CLog::ShowState() {
  for (std::size_t i = 0; i < kFilters.size(); ++i) {
    filters_[i]->setChecked((logOptions_ & kFilters[i].second) != 0);
  }
  save_->setChecked(logFile_.IsOpen());
}

void CLog::LogLine(std::string_view line) {
  if ((logOptions_ & LogCategoryBit(line)) == 0) return;
  // One redraw per line, however much changes.
  list_->setUpdatesEnabled(false);
  const std::string_view shown = line.substr(0, kLogShownLength);
  auto* item = new QListWidgetItem(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
  const QFontMetrics fm(list_->font());
  const int width = fm.horizontalAdvance(item->text()) + 8;
  if (width > widestLine_) {
    widestLine_ = width;
    for (int i = 0; i < list_->count(); ++i) list_->item(i)->setSizeHint(QSize(widestLine_, fm.height() + 2));
  }
  item->setSizeHint(QSize(widestLine_, fm.height() + 2));
  list_->addItem(item);
  while (list_->count() > kLogMaxLines) delete list_->takeItem(0);
  list_->scrollToBottom();
  list_->setUpdatesEnabled(true);
  // A replay of the log file itself would read back what it writes, forever.
  if (logFile_.IsOpen() && !IsReplayingLogFile()) logFile_.Write(line);
}

}  // namespace tarvo
