#include "gui/satellites/satellites_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/geo/table_trig.h"
#include "core/settings/keys.h"
#include "gui/status/sky_plot.h"
#include "gui/window/draw.h"
#include "gui/window/palette.h"
#include "gui/window/settings_model.h"

namespace tarvo {

namespace {

// Faces of the GPS bars and balls; the other systems use their own colour.
const QColor kGpsFront(51, 153, 255);
const QColor kGpsTop(51, 51, 204);
const QColor kGpsSide(51, 0, 204);
const QColor kNoSignalLid(255, 0, 0);
const QColor kGuideGrey(192, 192, 192);

// Degrees one mouse move turns the scene.
constexpr int kTurnStep = 5;
// Pixels between the drawing area's sides and the horizon disc.
constexpr int kDiscMargin = 14;
// Pixels between the horizon disc's near edge and the area's bottom.
constexpr int kHorizonBottom = 20;
constexpr int kBallRadius = 8;
// Faces darker than this (HSL lightness 0..255) carry white numbers.
constexpr int kDarkFace = 128;

struct Faces {
  QColor front, side, top;
};

Faces FacesOf(GnssSystem system) {
  if (system == GnssSystem::Gps) return {kGpsFront, kGpsSide, kGpsTop};
  const QColor c = SystemColour(system);
  return {c, c.darker(200), c.darker(150)};
}

QString NameOf(GnssSystem system) {
  const std::string_view name = GnssSystemName(system);
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// One satellite placed in the scene.
struct Placed {
  int x = 0, y = 0, height = 0;
  const SkySatellite* sat = nullptr;
};

}  // namespace

// The drawing frame: shows the last scene, which is drawn off-screen and
// copied in one step.
class SatellitesPage::SceneArea : public QWidget {
 public:
  SceneArea(SatellitesPage& page, QWidget* parent) : QWidget(parent), page_(page) {
    setObjectName(QStringLiteral("scene"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(120, 80);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (page_.scene_.size() != size()) page_.scene_ = page_.RenderScene(width(), height());
    QPainter p(this);
    p.drawImage(0, 0, page_.scene_);
  }
  void resizeEvent(QResizeEvent*) override { page_.scene_ = QImage(); }

 private:
  SatellitesPage& page_;
};

SatellitesPage::SatellitesPage(PageHost& host) : Page(host, kSatellitesPage, tr("Satellites")) {
  const int storedMode = host.settings().pageValue(Key::SatDrawMode);
  drawMode_ = storedMode == 1 ? 1 : 0;
  compassMode_ = host.settings().pageValue(Key::SatCompassMode) != 0;

  auto* group = new QGroupBox(tr("Satellite Modelling"), this);
  signal_ = new QRadioButton(tr("Signal"), group);
  signal_->setObjectName(QStringLiteral("signal"));
  position_ = new QRadioButton(tr("Position"), group);
  position_->setObjectName(QStringLiteral("position"));
  compass_ = new QCheckBox(tr("Compass"), group);
  compass_->setObjectName(QStringLiteral("compass"));
  course_ = new QLabel(group);
  course_->setObjectName(QStringLiteral("course"));
  course_->setFont(PaletteFont(14, 700));
  course_->setMinimumWidth(40);
  area_ = new SceneArea(*this, group);

  auto* row = new QHBoxLayout;
  row->addWidget(signal_);
  row->addWidget(position_);
  row->addStretch(1);
  row->addWidget(compass_);
  row->addWidget(course_);
  auto* inner = new QVBoxLayout(group);
  inner->addLayout(row);
  inner->addWidget(area_, 1);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(group);

  (drawMode_ == 0 ? signal_ : position_)->setChecked(true);
  compass_->setChecked(compassMode_);
  connect(signal_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) SetDrawMode(0);
  });
  connect(position_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) SetDrawMode(1);
  });
  connect(compass_, &QCheckBox::toggled, this, [this](bool on) { SetCompassMode(on); });
  setMouseTracking(true);
}

SatellitesPage::~SatellitesPage() {
  host().settings().SetPageValues({{Key::SatDrawMode, drawMode_}, {Key::SatCompassMode, compassMode_ ? 1 : 0}});
}

void SatellitesPage::OnFix(const Fix& fix, FixChanges changes) {
  if (changes & kFixMotion) OnCourseUpdated(fix.course);
  if ((changes & kFixSky) && IsActivePage()) Redraw();
}

void SatellitesPage::OnCourseUpdated(double course) {
  if (!compassMode_ || dragging_) return;
  const auto a = static_cast<int16_t>(std::trunc(course + 0.5));
  int angle = a + 90;
  if (a < -90) angle += 360;
  if (angle >= 360) angle -= 360;
  viewAngle_ = angle;
  if (IsActivePage()) {
    ShowCourse();
    Redraw();
  }
}

bool SatellitesPage::OnPageKey(int key) {
  if (key == Qt::Key_Up) {
    SetDrawMode(0);
    return true;
  }
  if (key == Qt::Key_Down) {
    SetDrawMode(1);
    return true;
  }
  return Page::OnPageKey(key);
}

void SatellitesPage::OnActivate() {
  Page::OnActivate();
  dragging_ = false;
  ShowCourse();
  Redraw();
}

void SatellitesPage::SetDrawMode(int mode) {
  drawMode_ = mode == 1 ? 1 : 0;
  QRadioButton* button = drawMode_ == 0 ? signal_ : position_;
  if (!button->isChecked()) {
    const QSignalBlocker block(button);
    button->setChecked(true);
  }
  Redraw();
}

void SatellitesPage::SetCompassMode(bool on) {
  if (compass_->isChecked() != on) compass_->setChecked(on);  // comes back through toggled
  if (compassMode_ == on) return;
  compassMode_ = on;
  if (!on) viewAngle_ = 90;
  ShowCourse();
  Redraw();
}

QString SatellitesPage::courseText() const { return course_->text(); }

void SatellitesPage::ShowCourse() {
  course_->setText(compassMode_ ? QString::asprintf("%.0f", host().currentFix().course) : QString());
}

QRect SatellitesPage::sceneRect() const { return QRect(area_->mapTo(this, QPoint(0, 0)), area_->size()); }

void SatellitesPage::Redraw() {
  scene_ = RenderScene(area_->width(), area_->height());
  area_->update();
}

void SatellitesPage::Layout(int w, int h) {
  const int c = w / 2;
  discRx_ = c - kDiscMargin;
  discRy_ = static_cast<int>(std::trunc(discRx_ * 0.25));
  if (h / 4 < discRy_) {
    discRy_ = h / 4;
    discRx_ = 4 * discRy_;
  }
  // A frame too small for a disc still draws without dividing by zero.
  discRx_ = std::max(discRx_, 1);
  discRy_ = std::max(discRy_, 1);
  horizonY_ = h - discRy_ - kHorizonBottom;
}

QImage SatellitesPage::RenderScene(int w, int h) {
  w = std::max(w, 1);
  h = std::max(h, 1);
  Layout(w, h);
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(QApplication::palette().color(QPalette::Window));
  QPainter p(&image);
  const QFont& font = host().palette().small;
  p.setFont(font);
  const QPen black(Qt::black, 1);
  const QPen grey(kGuideGrey, 1);
  const int cx = w / 2;
  const int cy = horizonY_;
  const int va = viewAngle_;

  // Compass letters just outside the rim.
  p.setPen(black);
  const std::array<std::pair<const char*, int>, 4> letters{{{"N", 0}, {"E", 90}, {"S", 180}, {"W", 270}}};
  for (const auto& [letter, offset] : letters) {
    const QString text = QString::fromLatin1(letter);
    const QSize size = TextSize(font, text);
    const int k = static_cast<int>(std::trunc(std::sqrt(double(size.width() * size.width() +
                                                               size.height() * size.height())) -
                                              size.width()));
    const double theta = offset - va;
    const QPoint at(cx + static_cast<int>(std::trunc(CosDeg(theta) * (discRx_ + k))),
                    cy + static_cast<int>(std::trunc(SinDeg(theta) * (discRy_ + k))));
    DrawCentredText(p, font, text, at);
  }

  // The horizon disc, its north-south and east-west guide lines, the observer.
  p.setPen(black);
  p.setBrush(QApplication::palette().color(QPalette::Window));
  DrawEllipse(p, cx, cy, discRx_, discRy_);
  const auto rim = [&](double theta) {
    return QPoint(static_cast<int>(cx + CosDeg(theta) * discRx_), static_cast<int>(cy + SinDeg(theta) * discRy_));
  };
  p.setPen(grey);
  for (int offset : {0, 90}) {
    const QPoint a = rim(offset - va);
    const QPoint b = rim(offset + 180 - va);
    DrawLine(p, a.x(), a.y(), b.x(), b.y());
  }
  p.setPen(black);
  DrawEllipse(p, cx, cy, 3, 2);

  // Place every satellite with a known position.
  const std::vector<SkySatellite>& sky = host().currentFix().sky;
  std::vector<Placed> placed;
  placed.reserve(sky.size());
  std::array<bool, kGnssSystemCount> shown{};
  for (const SkySatellite& sat : sky) {
    if (sat.prn <= 0 || sat.elevation < 0 || sat.azimuth < 0) continue;
    const int snr = std::clamp<int>(sat.snr, 0, 99);
    const double a = sat.azimuth - va;
    Placed pl;
    pl.sat = &sat;
    if (drawMode_ == 0) {
      const double f = (90 - sat.elevation) / 90.0;
      pl.x = cx + static_cast<int>(std::trunc(CosDeg(a) * f * discRx_));
      pl.y = cy + static_cast<int>(std::trunc(SinDeg(a) * f * discRy_));
      pl.height = snr * discRx_ / 100;
    } else {
      if (snr <= 0) continue;
      const int d = (99 - snr) * discRx_ / 99;
      const double g = CosDeg(sat.elevation) * d;
      pl.x = cx + static_cast<int>(std::trunc(CosDeg(a) * g));
      pl.y = cy + static_cast<int>(std::trunc(SinDeg(a) * g * discRy_ / discRx_));
      pl.height = static_cast<int>(std::trunc(SinDeg(sat.elevation) * d));
    }
    placed.push_back(pl);
    shown[static_cast<int>(sat.system)] = true;
  }
  // Far ones first, so nearer ones cover them.
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& l, const Placed& r) { return l.y < r.y; });

  for (const Placed& s : placed) {
    const Faces faces = FacesOf(s.sat->system);
    const QString prn = QString::number(s.sat->prn);
    const QSize ts = TextSize(font, prn);
    const int x = s.x, y = s.y, ht = s.height;
    if (drawMode_ == 0) {
      p.setPen(black);
      if (ht > 0) {
        p.setBrush(faces.front);
        const std::array<QPoint, 4> front{QPoint(x - 4, y + 3), QPoint(x + 4, y + 3), QPoint(x + 4, y + 3 - ht),
                                          QPoint(x - 4, y + 3 - ht)};
        p.drawPolygon(front.data(), 4);
        p.setBrush(faces.side);
        const std::array<QPoint, 4> side{QPoint(x + 4, y + 3), QPoint(x + 7, y), QPoint(x + 7, y - ht),
                                         QPoint(x + 4, y + 3 - ht)};
        p.drawPolygon(side.data(), 4);
      }
      p.setBrush(ht > 0 ? faces.top : kNoSignalLid);
      const std::array<QPoint, 4> top{QPoint(x + 4, y - ht + 3), QPoint(x + 7, y - ht), QPoint(x - 1, y - ht),
                                      QPoint(x - 4, y - ht + 3)};
      p.drawPolygon(top.data(), 4);
      p.drawText(QRect(x - ts.width() / 2 + 1, y - ht - ts.height() - 1, ts.width(), ts.height()),
                 Qt::AlignLeft | Qt::AlignTop, prn);
    } else {
      p.setPen(grey);
      DrawLine(p, cx, cy, x, y - ht);
      DrawLine(p, cx, cy, x, y);
      DrawLine(p, x, y, x, y - ht);
      p.setPen(black);
      p.setBrush(faces.front);
      DrawCircle(p, x, y - ht, kBallRadius);
      // A number on a dark ball is written in white to stay readable.
      p.setPen(faces.front.lightness() < kDarkFace ? QColor(Qt::white) : QColor(Qt::black));
      DrawCentredText(p, font, prn, QPoint(x, y - ht));
    }
  }

  // With more than one system, a legend in the top-left corner: a swatch of
  // each system's colour and its name.
  if (std::count(shown.begin(), shown.end(), true) > 1) {
    const int lineHeight = TextSize(font, QStringLiteral("W")).height();
    int line = 0;
    for (int i = 0; i < kGnssSystemCount; ++i) {
      if (!shown[i]) continue;
      const auto system = static_cast<GnssSystem>(i);
      const int top = 2 + line * lineHeight;
      p.setPen(Qt::NoPen);
      p.fillRect(QRect(2, top + 1, 7, 7), FacesOf(system).front);
      p.setPen(black);
      p.drawText(QRect(12, top, w - 12, lineHeight), Qt::AlignLeft | Qt::AlignTop, NameOf(system));
      ++line;
    }
  }
  p.end();
  return image;
}

// ---- mouse turning ----

void SatellitesPage::MousePress(QPoint pos) {
  dragging_ = true;
  lastX_ = pos.x();
}

void SatellitesPage::MouseMove(QPoint pos) {
  if (!dragging_ || pos.x() == lastX_) return;
  if (pos.x() < lastX_) {
    viewAngle_ -= kTurnStep;
    if (viewAngle_ < 0) viewAngle_ += 360;
  } else {
    viewAngle_ += kTurnStep;
    if (viewAngle_ >= 360) viewAngle_ -= 360;
  }
  lastX_ = pos.x();
  Redraw();
}

void SatellitesPage::MouseRelease() {
  if (dragging_) Redraw();
  dragging_ = false;
}

void SatellitesPage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) MousePress(event->position().toPoint());
}

void SatellitesPage::mouseMoveEvent(QMouseEvent* event) { MouseMove(event->position().toPoint()); }

void SatellitesPage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) MouseRelease();
}

}  // namespace tarvo
