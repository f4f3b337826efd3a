// A flat push button: a picture or a framed text on white, pushed in by one
// pixel while pressed.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace tarvo {

class FlatButton : public QWidget {
  Q_OBJECT
 public:
  explicit FlatButton(QWidget* parent = nullptr);

  // Loads the picture from a resource path; false (and no change) when it
  // cannot be loaded.
  bool SetBitmap(const QString& resource);
  // Resizes the button to its picture; the position stays.
  void FitToBitmap();
  void SetText(const QString& text);
  bool pressed() const { return pressed_; }
  bool tracking() const { return tracking_; }
  QSize sizeHint() const override;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool Inside(const QPoint& p) const;

  QPixmap bitmap_;
  QString text_;
  bool pressed_ = false;
  bool tracking_ = false;
};

}  // namespace tarvo
