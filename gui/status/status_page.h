// The GPS status page: the current fix at a glance, with a course compass,
// signal bars and a sky plot, and the health of the receiver's stream.
// Clicking a value changes its unit or format.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPoint>
#include <QTimer>
#include <array>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/gps/fix.h"
#include "core/settings/keys.h"
#include "gui/status/compass.h"
#include "core/gps/fix_texts.h"
#include "gui/window/page.h"

class QGroupBox;
class QMenu;
class QFrame;

namespace tarvo {

class FlatButton;

// One vertical signal bar with a range of 0..50.
class SignalBarWidget : public QWidget {
  Q_OBJECT
 public:
  explicit SignalBarWidget(QWidget* parent = nullptr);
  void SetBar(int value, BarColour colour);
  int value() const { return value_; }
  BarColour colour() const { return colour_; }
  QSize sizeHint() const override { return QSize(14, 60); }
  QSize minimumSizeHint() const override { return QSize(8, 30); }
  static QColor ColourOf(BarColour colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int value_ = 0;
  BarColour colour_ = BarColour::None;
};

class StatusPage : public Page, public FixListener {
  Q_OBJECT
 public:
  explicit StatusPage(PageHost& host);
  ~StatusPage() override;

  // Notifications of the connection controller.
  void OnFix(const Fix& fix, FixChanges changes) override;
  void OnConnectionChanged(bool connected) override;

  // Page contract.
  void Zoom(bool zoomIn) override;
  bool OnPageKey(int key) override;
  ToolbarState toolbarState() const override;
  void OnCreate() override;

  // Re-formats the position and the time (format or unit changed).
  void RefreshPosition();
  // Shows what the notifications since the last refresh changed, now. By
  // itself the page shows a new position or course at once unless it
  // refreshed less than kMinUrgentRefreshMs ago, and gathers the other
  // changes for at most kMinRefreshMs, so a receiver sending faster than a
  // screen can show costs a bounded number of redraws.
  void FlushPendingRefresh() override;
  // Shows speed, altitude and precision in the current units.
  void RefreshUnits();
  // Shows the stream's health as of now; done every kHealthRefreshMs, and at
  // each connect and disconnect.
  void RefreshHealth();
  static constexpr int kHealthRefreshMs = 1000;
  static constexpr int kMinRefreshMs = 40;
  static constexpr int kMinUrgentRefreshMs = 20;
  int refreshCount() const { return refreshCount_; }
  // Shows positions in coordinate format `format` (0..18) and stores the choice.
  void SetCoordFormat(CoordFormat format);
  // Converts the national grids through PROJ (on) or the built-in shifts,
  // and stores the choice.
  void SetAccurateDatum(bool on);
  // The "Coord" menu with the current format ticked; the caller owns it.
  QMenu* CreateFormatMenu();
  // What a click on the position shows: that menu and below it the
  // "Accurate datum (PROJ)" switch (object name "accurateDatum").
  QMenu* CreateCoordMenu();
  // A left click at a point of the page, as the mouse would give it.
  void ClickAt(QPoint pos);

  bool zoomedIn() const { return zoomedIn_; }
  bool lowerView() const { return lowerView_; }
  CompassMode courseCompassMode() const { return courseCompassMode_; }

  // Geometry of the two drawings, from their placeholder areas.
  struct DrawingGeometry {
    QPoint compassCentre;
    int compassRadius = 0;
    QPoint skyCentre;
    int skyRadius = 0;
  };
  DrawingGeometry drawingGeometry() const;
  // Where the compass and the sky plot pictures are drawn, letters included.
  QRect CompassImageRect() const;
  QRect SkyImageRect() const;

 protected:
  void PaintPage(QPainter& painter, const QRect& dirty) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  enum Dirty : unsigned {
    kDirtyPosition = 1,
    kDirtyCourse = 2,
    kDirtyAltitude = 4,
    kDirtyPrecision = 8,
    kDirtySatellites = 16,
    kDirtySatUse = 32,
  };
  void Schedule(unsigned bits, bool urgent);
  void BuildFullLayout();
  void BuildZoomLayout();
  void OnSettingsChanged(const std::vector<Key>& keys);
  void RefreshTime();
  void RefreshCourseAndSpeed();
  void RefreshAltitude();
  void RefreshPrecision();
  void RefreshSatellites();
  void BuildHealthFrame(QFrame* frame);
  void ToggleCompassMode();
  void CycleSpeedUnit();
  void CycleDistanceUnit();
  void WriteUnitSettings();
  void ShowFormatMenu(QPoint globalPos);
  bool Hit(QWidget* w, QPoint pagePos) const;

  unsigned dirty_ = 0;
  QTimer refreshTimer_;
  QTimer healthTimer_;
  bool shownStale_ = false;  // what the indicator showed at the last health refresh
  QElapsedTimer sinceRefresh_;
  QElapsedTimer sinceUrgentRefresh_;
  int refreshCount_ = 0;
  // The format and datum mode the position tooltips describe.
  CoordFormat tipFormat_ = static_cast<CoordFormat>(kCoordFormatCount);
  bool tipAccurate_ = false;
  // The last pictures, drawn again only when what they show changed.
  QImage compassImage_;
  struct CompassKey {
    int radius = -1;
    double course = 0;
    CompassMode mode = CompassMode::NorthUp;
    bool zoomedIn = false;
    bool operator==(const CompassKey&) const = default;
  } compassKey_;
  QImage skyImage_;
  int skyRadius_ = -1;
  bool skyStale_ = true;

  CompassMode courseCompassMode_ = CompassMode::NorthUp;
  bool zoomedIn_ = false;
  bool lowerView_ = false;

  // Full layout.
  QWidget* full_ = nullptr;
  std::array<QFrame*, 5> frames_{};
  QLabel* timeCaption_ = nullptr;
  QLabel* time_ = nullptr;
  QGroupBox* positionGroup_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* value1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* value2_ = nullptr;
  QLabel* zone_ = nullptr;
  QLabel* course_ = nullptr;
  QLabel* speedCaption_ = nullptr;
  QLabel* speed_ = nullptr;
  QLabel* altitudeCaption_ = nullptr;
  QLabel* altitude_ = nullptr;
  QLabel* satView_ = nullptr;
  QLabel* satUse_ = nullptr;
  std::array<SignalBarWidget*, 12> bars_{};
  std::array<QLabel*, 12> prnLabels_{};
  QLabel* dopLine_ = nullptr;
  QLabel* fixMode_ = nullptr;
  QLabel* marker_ = nullptr;
  QLabel* rate_ = nullptr;
  QLabel* checksumErrors_ = nullptr;
  QLabel* fixAge_ = nullptr;
  QLabel* lineSpeed_ = nullptr;
  QLabel* stale_ = nullptr;
  QWidget* compassArea_ = nullptr;
  QWidget* skyArea_ = nullptr;

  // Zoomed-in layout.
  QWidget* zoom_ = nullptr;
  QLabel* line1_ = nullptr;
  QLabel* line2_ = nullptr;
  QLabel* zoomZone_ = nullptr;
  QLabel* zoomSpeed_ = nullptr;
  QLabel* zoomCourse_ = nullptr;
  QWidget* zoomCompassArea_ = nullptr;

  // Shown instead of the full layout on a screen under 320 pixels high.
  FlatButton* smallScreenButton_ = nullptr;
};

}  // namespace tarvo
