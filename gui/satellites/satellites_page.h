// The satellites page: the satellites in view as a small three-dimensional
// scene on a tilted horizon disc, either as one bar per satellite whose
// height is its signal ("Signal") or as a ball on a stick placed by azimuth,
// elevation and signal ("Position"). The mouse turns the scene in 5° steps;
// "Compass" makes it follow the direction of travel. Every system of the sky
// is shown, each in its own colour, with a legend when there are several.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

#include "core/gps/fix.h"
#include "gui/window/page.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace tarvo {

class SatellitesPage : public Page, public FixListener {
  Q_OBJECT
 public:
  explicit SatellitesPage(PageHost& host);
  ~SatellitesPage() override;

  // kFixSky redraws the scene when the page is active; kFixMotion follows
  // the course in compass mode.
  void OnFix(const Fix& fix, FixChanges changes) override;

  bool OnPageKey(int key) override;
  void OnActivate() override;
  void FlushPendingRefresh() override { Redraw(); }

  // Draws the scene again from the current fix.
  void Redraw();
  // The scene for a drawing area of w x h pixels (the layout follows it).
  QImage RenderScene(int w, int h);

  // 0 = "Signal", 1 = "Position".
  void SetDrawMode(int mode);
  void SetCompassMode(bool on);
  int drawMode() const { return drawMode_; }
  bool compassMode() const { return compassMode_; }
  // Rotation of the scene in degrees 0..359; 90 puts north at the far side.
  int viewAngle() const { return viewAngle_; }
  // Radii of the horizon ellipse and its centre line, from the last layout.
  int discRx() const { return discRx_; }
  int discRy() const { return discRy_; }
  int horizonY() const { return horizonY_; }
  QString courseText() const;
  // The drawing area's rectangle in page coordinates.
  QRect sceneRect() const;

  // Mouse turning, as the mouse gives it (page coordinates).
  void MousePress(QPoint pos);
  void MouseMove(QPoint pos);
  void MouseRelease();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  class SceneArea;
  void Layout(int w, int h);
  void OnCourseUpdated(double course);
  void ShowCourse();

  int drawMode_ = 0;
  bool compassMode_ = false;
  int viewAngle_ = 90;
  bool dragging_ = false;
  int lastX_ = 0;
  int discRx_ = 0;
  int discRy_ = 0;
  int horizonY_ = 0;

  QImage scene_;
  SceneArea* area_ = nullptr;
  QRadioButton* signal_ = nullptr;
  QRadioButton* position_ = nullptr;
  QCheckBox* compass_ = nullptr;
  QLabel* course_ = nullptr;
};

}  // namespace tarvo
