// The map page: the map picture in a scrollable, zoomable area with four
// on-map buttons, the GPS position kept in view, measuring, panning, a
// measuring path, the reference points that calibrate the picture, and the
// waypoints of the POI list placed and edited on the map.
//
// Coordinates: "image pixels" are pixels of the map picture (0, 0 at its
// top-left); "map points" are widget pixels relative to the top-left of the
// map area. An image pixel (x, y) is drawn at (trunc((x - scrollX) * zoom),
// trunc((y - scrollY) * zoom)).
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/geo/coordinates.h"
#include "core/gps/fix.h"
#include "core/map/calibration.h"
#include "core/map/map_files.h"
#include "core/map/map_image.h"
#include "core/settings/keys.h"
#include "gui/window/page.h"
#include "gui/window/page_commands.h"

class QLabel;
class QMenu;
class QScrollBar;

namespace tarvo {

class LocationDialog;

// Zoom factors of the view: 0.25 .. 8, doubling.
inline constexpr double kMinMapZoom = 0.25;
inline constexpr double kMaxMapZoom = 8.0;
// Hit distances in image pixels: menus, double click and the commands; the
// information a plain click shows.
inline constexpr int kCommandReach = 8;
inline constexpr int kClickInfoReach = 4;
// A release within this many image pixels of the press (each axis) is a
// click, which re-centres the map in measure mode.
inline constexpr int kClickSlack = 4;
// Scroll bar line step, image pixels.
inline constexpr int kScrollLineStep = 5;
// Edge scrolling while measuring: step (image pixels) and period.
inline constexpr int kEdgeScrollStep = 10;
inline constexpr int kEdgeScrollMs = 100;
// How long the zoom factor and a pressed on-map button are shown.
inline constexpr int kZoomFlashMs = 500;
inline constexpr int kButtonFlashMs = 200;
// Longest marker label, characters.
inline constexpr int kMaxMarkerLabel = 254;
// Entries of the POI drop-down menu, and the first of their command ids.
inline constexpr int kPoiMenuLimit = 100;
inline constexpr int kPoiMenuFirstId = 60000;
// The measuring path appends a point once the pointer is more than this many
// image pixels (in x or y) from the last one.
inline constexpr int kPathStep = 2;

// What the page's mouse does on a drag ("MapDrag").
enum class MouseMode : int { Measure = 0, Pan = 1, Path = 2 };

class MapPage : public Page, public FixListener, public MapCommands {
  Q_OBJECT
 public:
  explicit MapPage(PageHost& host);
  ~MapPage() override;

  // FixListener: the position, course and speed shown while the page is active.
  void OnFix(const Fix& fix, FixChanges changes) override;

  // Page contract.
  void Zoom(bool zoomIn) override;
  void ShowPageMenu() override;
  bool OnPageKey(int key) override;
  ToolbarState toolbarState() const override;
  void OnCreate() override;
  void OnActivate() override;

  // MapCommands.
  bool CenterOnPosition(LatLon position) override;
  void ShowMarker(LatLon position, const std::string& label) override;
  const MapCalibration& calibration() const override { return document_.Calibration(); }
  void PoisChanged() override;

  // The marker, with the page made active when `activate` (gps: smap).
  void ShowMarker(LatLon position, const std::string& label, bool activate);

  // Loads the picture at `path` as the map (the current calibration saved
  // first). False, with the information line saying why, when it does not load.
  bool LoadMap(const QString& path);
  // "Use Blank Map" around the current position.
  void UseBlankMap();
  // The position, texts and centring after a fix or an activation.
  void OnPositionUpdated();
  // Scrolls so that image pixel p is in the middle of the view (clamped).
  void CenterOnPixel(MapPixel p);

  // Mouse input, as the events give it (page coordinates); public so the
  // tests drive the page exactly as the mouse does.
  void MousePress(QPoint pagePos, bool ctrl = false);
  void MouseMove(QPoint pagePos);
  void MouseRelease(QPoint pagePos);
  void MouseDoubleClick(QPoint pagePos);
  // Right click: remembers the point; the menu with its enabled entries
  // (the caller owns it and may exec() it).
  QMenu* CreateContextMenu(QPoint pagePos);
  QMenu* CreateOptionsMenu();
  QMenu* CreatePoiDropDownMenu();

  // Commands at popupPoint (the last right click, double click or Ctrl+click).
  void AddRefPoint();
  void EditRefPoint();
  void MoveRefPoint();
  void DeleteRefPoint();
  void AddWaypoint();
  void EditWaypoint();
  void MoveWaypoint();
  void DeleteWaypoint();
  void SearchAtWaypoint();
  void SearchAtPoint();
  void ShowCoordinates();
  void ToggleCenterPosition();
  void CenterRefPoint(int slot);  // 0..2
  void ToggleOption(Key key);     // one of the Map* display options
  void AskLoadMap();              // "&Load Map"

  // What the page asks the user; the tests replace them.
  struct Dialogs {
    // Runs the location dialog in its reference-point form, already filled
    // for the slot; true on OK (the position is then in its values()).
    std::function<bool(LocationDialog& dialog)> refPoint;
    // A Yes/No question; true for Yes.
    std::function<bool(const QString& question)> confirm;
    // A message box.
    std::function<void(const QString& text)> message;
    // The file-open dialog: true with the chosen file in `path`.
    std::function<bool(QString& path)> openMap;
  };
  Dialogs& dialogs() { return dialogs_; }

  // State, for the window and the tests.
  double zoom() const { return zoom_; }
  MapPixel scroll() const { return {scrollX_, scrollY_}; }
  int scrollMaxX() const { return scrollMaxX_; }
  int scrollMaxY() const { return scrollMaxY_; }
  QRect mapArea() const { return mapArea_; }
  QScrollBar* horizontalBar() const { return hBar_; }
  QScrollBar* verticalBar() const { return vBar_; }
  QString infoText() const;
  bool infoVisible() const { return infoVisible_; }
  QString flashText() const { return flashText_; }
  MouseMode mouseMode() const { return mouseMode_; }
  bool option(Key key) const;
  const MapDocument& document() const { return document_; }
  const MapImage& image() const { return image_; }
  MapPixel positionPixel() const { return positionPixel_; }
  MapPixel popupPoint() const { return popupPoint_; }
  const std::vector<MapPixel>& path() const { return path_; }
  double pathLength() const { return pathLength_; }
  bool movePending() const { return waypointMovePending_ || refMovePending_; }
  // The image pixel under a page point, and the map point of an image pixel.
  MapPixel PixelAt(QPoint pagePos) const;
  QPoint MapPointOf(MapPixel p) const;
  // Squares of the on-map buttons in map points.
  enum Button { kMenuButton = 0, kPlusButton = 1, kMinusButton = 2, kModeButton = 3 };
  QRect ButtonRect(Button b) const;
  // The map area as painted now (the off-screen surface).
  const QImage& RenderMap();
  // Whether the calibration of the map in use is written when it changes
  // (not for the shipped default map, the blank map, or a map without path).
  bool CalibrationSaved() const;

 protected:
  void PaintPage(QPainter& painter, const QRect& dirty) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ReadSettings();
  void WriteSettings();
  bool LoadMapFile();
  void SaveCalibration();
  void AfterMapShown();
  void CalibrationEdited();
  void Relayout();
  void UpdateScrollRanges();
  void ClampScroll();
  void SyncScrollBars();
  void OnScrollBar(Qt::Orientation orientation, int value);
  void RedrawMap();
  void RefreshInfoLine();
  void SetInfo(const QString& text, bool show);
  void HideInfoUnlessPosition();
  QString CoordinatesText(LatLon position) const;
  QString DistanceText(double metres) const;
  QString PathLengthText(double metres) const;
  void FlashButton(Button b);
  void UpdateToolbar();
  bool EdgeScrollStep(QPoint pagePos);
  void OnEdgeTimer();
  void MeasureTo(QPoint pagePos);
  void PathTo(QPoint pagePos);
  void FinishMove(MapPixel target);
  QRect PoiDropDownRect() const;
  int RefPointNear(MapPixel p, int reach) const;
  int PoiNear(MapPixel p, int reach, bool fileOrderMapPositions) const;
  int VisibleWidth() const;
  int VisibleHeight() const;
  bool InVisibleRect(MapPixel p) const;
  void ShowMessage(const QString& text);
  // The location dialog in its reference-point form opened at `initial`:
  // the chosen position, or none when cancelled.
  std::optional<LatLon> AskRefPoint(LatLon initial);

  // Painting, in the order the layers are laid.
  void PaintImageLayer();
  void PaintRefPoints(QPainter& p);
  void PaintPoiRoute(QPainter& p);
  void PaintTrack(QPainter& p);
  void PaintMarker(QPainter& p);
  void PaintPois(QPainter& p);
  void PaintPath(QPainter& p);
  void PaintButtons(QPainter& p);
  void PaintPositionArrow(QPainter& p);
  void PaintMeasureLine(QPainter& p);
  void PaintLabelBoxes(QPainter& p);
  void PaintZoomFlash(QPainter& p);
  // Draws a chain of image pixels the way the track and the path are drawn:
  // the segments before the first one that ends inside the view are left
  // out, all later ones are drawn (those wholly outside the view skipped,
  // as they would not show).
  void PaintChain(const std::vector<MapPixel>& chain, uint32_t colour);
  // The track below zoom 1, through trackMask_; false when it was not drawn
  // so (zoom 1 or more, or a mask above kTrackMaskLimit pixels).
  bool PaintTrackFromMask(uint32_t colour);
  void UpdateTrackPixels();
  const QImage& PoiLabel(const std::string& name);

  MapDocument document_;
  MapImage image_;
  uint64_t imageGeneration_ = 0;
  uint64_t calibrationGeneration_ = 0;
  QString mapFileSetting_;  // "MapFile" as it will be written back
  bool shippedMap_ = false;

  QRect mapArea_;
  double zoom_ = 1.0;
  int32_t scrollX_ = 0, scrollY_ = 0;
  int32_t scrollMaxX_ = 0, scrollMaxY_ = 0;
  bool userScrolling_ = false;
  bool syncingBars_ = false;
  MouseMode mouseMode_ = MouseMode::Pan;
  bool tracking_ = false;
  MapPixel pressPoint_, currentPoint_;
  LatLon pressGeo_;
  std::vector<MapPixel> path_;
  double pathLength_ = 0.0;
  LatLon lastPathGeo_;
  MapPixel positionPixel_;
  MapPixel popupPoint_;
  bool infoShowing_ = false;
  bool infoVisible_ = false;
  bool clickConsumed_ = false;
  bool waypointMovePending_ = false;
  int waypointMoveIndex_ = -1;
  bool refMovePending_ = false;
  int refMoveIndex_ = -1;
  LatLon markerGeo_;
  MapPixel markerPixel_;
  QString markerLabel_;
  int poiDirectionIndex_ = 8;
  QString speedText_, courseText_, altitudeText_, poiDistanceText_ = QStringLiteral("-"),
                                                  poiBearingText_ = QStringLiteral("-");
  double course_ = 0.0;
  std::array<bool, 10> options_{};

  QLabel* infoLine_ = nullptr;
  QScrollBar* hBar_ = nullptr;
  QScrollBar* vBar_ = nullptr;
  QString flashText_;
  QTimer zoomFlashTimer_;
  int flashButton_ = -1;
  QTimer buttonFlashTimer_;
  QTimer edgeTimer_;
  QPoint edgePointer_;
  Dialogs dialogs_;

  // Off-screen painting: the scaled picture, kept while the view does not
  // move, and the surface the overlays are drawn on.
  QImage imageLayer_;
  struct LayerKey {
    uint64_t image = 0;
    int32_t x = 0, y = 0, w = 0, h = 0;
    double zoom = 0;
    bool operator==(const LayerKey&) const = default;
  } layerKey_;
  QImage surface_;
  uchar* surfaceBits_ = nullptr;
  // Rendered POI names by text, dropped whole when it grows past the limit.
  static constexpr size_t kPoiLabelCacheLimit = 4096;
  std::unordered_map<std::string, QImage> poiLabels_;  // surface_'s pixels while it is being painted

  // The track's image pixels, kept while the track and the calibration stay.
  std::vector<MapPixel> trackPixels_;
  uint64_t trackRevision_ = ~uint64_t{0};
  uint64_t trackCalibration_ = ~uint64_t{0};
  const TrackOverlay* trackSource_ = nullptr;
  uint64_t trackPixelsGeneration_ = 0;  // changes whenever trackPixels_ is rebuilt
  // The track drawn at one zoom over the whole zoomed picture (1 = track).
  static constexpr int64_t kTrackMaskLimit = 16'000'000;  // pixels (bytes)
  struct TrackMaskKey {
    uint64_t generation = ~uint64_t{0};
    double zoom = 0;
    size_t first = 0;
    bool operator==(const TrackMaskKey&) const = default;
  } trackMaskKey_;
  std::vector<uint8_t> trackMask_;
};

}  // namespace tarvo
