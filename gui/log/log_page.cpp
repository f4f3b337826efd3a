#include "gui/log/log_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <system_error>

#include "core/settings/paths.h"
#include "core/settings/settings_store.h"
#include "gui/window/settings_model.h"

namespace tarvo {

namespace {
constexpr std::array<std::pair<const char*, int32_t>, 5> kFilters = {
    {{"GGA", kLogGga}, {"GSV", kLogGsv}, {"RMC", kLogRmc}, {"GSA", kLogGsa}, {"Others", kLogOthers}}};

// Each line keeps its laid-out text, so the redraw that follows every new
// line (all shown lines move up by one) does not shape 50 lines again.
constexpr int kStaticTextRole = Qt::UserRole + 1;

class LineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    initStyleOption(&o, index);
    const QWidget* widget = o.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    if (o.state & (QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver)) {
      o.text.clear();
      style->drawControl(QStyle::CE_ItemViewItem, &o, painter, widget);
    }
    const QVariant text = index.data(kStaticTextRole);
    if (!text.canConvert<QStaticText>()) return;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const bool selected = (o.state & QStyle::State_Selected) != 0;
    painter->setFont(o.font);
    painter->setPen(o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawStaticText(o.rect.left() + margin, o.rect.top() + (o.rect.height() - o.fontMetrics.height()) / 2,
                            text.value<QStaticText>());
  }
};

}  // namespace

LogPage::LogPage(PageHost& host) : Page(host, kLogPage, QStringLiteral("Log")) {
  setObjectName(QStringLiteral("logPage"));
  logOptions_ = host.settings().pageValue(Key::LogOptions);
  logSaveSetting_ = host.settings().pageValue(Key::LogSave) != 0;

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
  list_->setItemDelegate(new LineDelegate(list_));
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
  connect(save_, &QCheckBox::clicked, this, &LogPage::ToggleSave);
  controls->addWidget(save_);
  clear_ = new QPushButton(QStringLiteral("Clear"), this);
  clear_->setObjectName(QStringLiteral("clear"));
  clear_->setAutoDefault(false);
  connect(clear_, &QPushButton::clicked, this, &LogPage::Clear);
  controls->addWidget(clear_);
  layout->addLayout(controls);

  // Lines followed by silence reach the file within the flush interval too.
  flushTimer_ = new QTimer(this);
  flushTimer_->setInterval(static_cast<int>(kLogFlushInterval.count() / 2));
  connect(flushTimer_, &QTimer::timeout, this, [this] { logFile_.FlushIfDue(); });
  flushTimer_->start();
}

LogPage::~LogPage() {
  logFile_.Close();
  host_.settings().SetPageValues({{Key::LogOptions, logOptions_}, {Key::LogSave, logSaveSetting_ ? 1 : 0}});
}

std::filesystem::path LogPage::logPath() const {
  std::error_code error;
  std::filesystem::path dir = UserDataDir(error);
  return (dir.empty() ? DataDirPath() : dir) / kLogFileName;
}

void LogPage::OnCreate() {
  // Starting with "Save to file" on starts a new log; the previous one is
  // kept as generation 1. When the log is about to be replayed, saving
  // waits for a connection that does not replay it, and the setting stays.
  if (logSaveSetting_ && !IsOrWillBeReplayed(logPath()) && !OpenLogFile()) logSaveSetting_ = false;
  ShowState();
}

void LogPage::OnConnectionChanged(bool) {
  if (logSaveSetting_ && !logFile_.IsOpen() && !IsOrWillBeReplayed(logPath())) {
    if (!OpenLogFile()) logSaveSetting_ = false;
    ShowState();
  }
}

void LogPage::OnActivate() {
  Page::OnActivate();
  // Lines added while the page was hidden: show the latest.
  list_->scrollToBottom();
}

void LogPage::OnDeactivate() { logFile_.Flush(); }

bool LogPage::IsReplaying(const std::filesystem::path& file) const {
  const ConnectionController& c = host_.controller();
  if (!c.IsConnected() || !c.IsReplay()) return false;
  std::error_code error;
  return std::filesystem::equivalent(c.replayPath(), file, error);
}

bool LogPage::IsOrWillBeReplayed(const std::filesystem::path& file) const {
  if (IsReplaying(file)) return true;
  if (!host_.settings().values().connection.emulation) return false;
  std::error_code error;
  return std::filesystem::equivalent(host_.controller().replayPath(), file, error);
}

bool LogPage::OpenLogFile() {
  const std::filesystem::path file = logPath();
  // Writing the file that is (or is about to be) replayed would feed the
  // replay its own lines.
  if (IsOrWillBeReplayed(file)) return false;
  return logFile_.Open(file);
}

void LogPage::ToggleFilter(int bit) {
  logOptions_ ^= bit;
  ShowState();
}

void LogPage::ToggleSave() {
  if (logFile_.IsOpen()) {
    logFile_.Close();
    logSaveSetting_ = false;
  } else {
    logSaveSetting_ = OpenLogFile();
  }
  ShowState();
}

void LogPage::Clear() { list_->clear(); }

void LogPage::ShowState() {
  for (std::size_t i = 0; i < kFilters.size(); ++i) {
    filters_[i]->setChecked((logOptions_ & kFilters[i].second) != 0);
  }
  save_->setChecked(logFile_.IsOpen());
}

void LogPage::LogLine(std::string_view line) {
  if ((logOptions_ & LogCategoryBit(line)) == 0) return;
  // Qt draws once the line is in, when the event loop next runs: one redraw
  // per line at most, however many rows move.
  const std::string_view shown = line.substr(0, kLogShownLength);
  const QString text = QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size()));
  auto* item = new QListWidgetItem(text);
  QStaticText laidOut(text);
  laidOut.setTextFormat(Qt::PlainText);
  laidOut.prepare(QTransform(), list_->font());
  item->setData(kStaticTextRole, QVariant::fromValue(laidOut));
  const QFontMetrics fm(list_->font());
  const int width = fm.horizontalAdvance(text) + 8;
  if (width > widestLine_) {
    widestLine_ = width;
    for (int i = 0; i < list_->count(); ++i) list_->item(i)->setSizeHint(QSize(widestLine_, fm.height() + 2));
  }
  item->setSizeHint(QSize(widestLine_, fm.height() + 2));
  list_->addItem(item);
  while (list_->count() > kLogMaxLines) delete list_->takeItem(0);
  list_->scrollToBottom();
  // A replay of the log file itself would read back what it writes, forever.
  if (logFile_.IsOpen() && !IsReplaying(logFile_.path())) logFile_.Write(line);
}

}  // namespace tarvo
