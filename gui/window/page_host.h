// What a page may use of the window around it: the fix, the settings, the
// connection's state, the drawing palette and a few window services. Pages
// get it in their constructor and never reach for the window itself.
#pragma once

class QPainter;

namespace tarvo {

class ConnectionController;
class MapCommands;      // gui/window/page_commands.h
class Page;
class PoiCommands;      // gui/window/page_commands.h
class ServiceCommands;  // gui/window/page_commands.h
class TrackOverlay;     // gui/window/page_commands.h
class SettingsModel;
struct Fix;
struct Palette;

// Which of the toolbar's zoom-in, zoom-out and page-menu buttons a page uses.
struct ToolbarState {
  bool zoomIn = false;
  bool zoomOut = false;
  bool pageMenu = false;
};

class PageHost {
 public:
  virtual ~PageHost() = default;
  // The fix as last published by the connection controller.
  virtual const Fix& currentFix() const = 0;
  virtual SettingsModel& settings() = 0;
  virtual const ConnectionController& controller() const = 0;
  virtual const Palette& palette() const = 0;

  virtual bool IsActivePage(const Page* page) const = 0;
  // Next (+1) or previous (-1) page, wrapping round.
  virtual void ActivateNextPage(int step) = 0;
  virtual void SetToolbarState(const ToolbarState& state) = 0;
  // Draws the status indicator at the top-right corner of a page `width` wide.
  virtual void DrawStatusLed(QPainter& painter, int width) = 0;
  // Height of the screen in pixels (small screens change some key rules).
  virtual int screenHeight() const = 0;

  // What pages ask of each other (gui/window/page_commands.h), null while
  // that page is absent; the recorded track for the map. ShowPage makes page
  // `index` the active one.
  virtual MapCommands* mapCommands() { return nullptr; }
  virtual PoiCommands* poiCommands() { return nullptr; }
  virtual ServiceCommands* serviceCommands() { return nullptr; }
  virtual const TrackOverlay* trackOverlay() const { return nullptr; }
  virtual void ShowPage(int /*index*/) {}
};

}  // namespace tarvo
