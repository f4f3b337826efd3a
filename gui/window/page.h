// The base of every page of the window: zoom, page menu and page keys, the
// toolbar buttons it wants, and the status indicator in its top-right corner.
#pragma once

#include <QString>
#include <QWidget>

#include "gui/window/page_host.h"

namespace tarvo {

// Page indices in window order.
enum PageIndex : int {
  kStatusPage = 0,
  kMapPage = 1,
  kPoiPage = 2,
  kSatellitesPage = 3,
  kTrackPage = 4,
  kHardwarePage = 5,
  kServicePage = 6,
  kLogPage = 7,
  kAboutPage = 8,
  kPageCount = 9,
};

class Page : public QWidget {
  Q_OBJECT
 public:
  Page(PageHost& host, int index, QString title, QWidget* parent = nullptr);

  int index() const { return index_; }
  const QString& title() const { return title_; }

  // Toolbar "Zoom In" / "Zoom Out": nothing by default.
  virtual void Zoom(bool zoomIn);
  // Toolbar page menu: nothing by default.
  virtual void ShowPageMenu();
  // A key went down while this page is active. The default switches pages
  // with Left and Right; true when the key was used.
  virtual bool OnPageKey(int key);

  // Which of the toolbar's buttons the page uses.
  using ToolbarState = tarvo::ToolbarState;
  virtual ToolbarState toolbarState() const { return {}; }

  // Once, when the window starts (the page's window and controls exist).
  virtual void OnCreate() {}
  // The page became the active page, or stopped being it.
  virtual void OnActivate();
  virtual void OnDeactivate() {}

  // Shows at once what the page gathered for a later refresh; the window
  // calls it before the page is shown or its picture is taken.
  virtual void FlushPendingRefresh() {}

  bool IsActivePage() const;
  PageHost& host() const { return host_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Draws the page's own pictures before the status indicator; `dirty` is
  // the part of the page being repainted.
  virtual void PaintPage(QPainter& painter, const QRect& dirty);

  PageHost& host_;

 private:
  int index_;
  QString title_;
};

}  // namespace tarvo
