// The POI page: the list of points of interest with live bearing and
// distance from the current position, its edits and files, and a go-to
// display (coordinates, direction, distance, time to go, arrival) with a
// compass that marks the target. Two views: the list with a small go-to
// panel, and a large navigation display without the list.
#pragma once

#include <QAbstractTableModel>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/coordinates.h"
#include "core/gps/fix.h"
#include "core/poi/poi_list.h"
#include "core/settings/keys.h"
#include "gui/status/compass.h"
#include "gui/window/page.h"
#include "gui/window/page_commands.h"

class QLabel;
class QMenu;
class QPushButton;
class QGroupBox;
class QTableView;

namespace tarvo {

class LocationDialog;
class PoiPage;

// The rows of the list in display order; bearing and distance are worked
// out when a row is drawn, so a new fix costs only the rows on screen.
class PoiTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kNumber = 0, kPlace = 1, kArrow = 2, kBearing = 3, kDistance = 4, kColumnCount = 5 };
  explicit PoiTableModel(PoiPage& page, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Reset() { beginResetModel(); endResetModel(); }
  // How many cells had their bearing or distance worked out (for the bench).
  uint64_t liveCells() const { return liveCells_; }

 private:
  PoiPage& page_;
  mutable uint64_t liveCells_ = 0;
};

class PoiPage : public Page, public FixListener, public PoiCommands {
  Q_OBJECT
 public:
  // `pois` is owned by the window; the page loads the current file into it
  // when it is created and saves it when it is destroyed.
  PoiPage(PageHost& host, PoiList& pois);
  ~PoiPage() override;

  // Page contract.
  void Zoom(bool zoomIn) override;
  void ShowPageMenu() override;
  ToolbarState toolbarState() const override;
  void OnCreate() override;
  void OnActivate() override;
  void FlushPendingRefresh() override;

  // FixListener: the go-to display and the rows follow the fix while the
  // page is the active page.
  void OnFix(const Fix& fix, FixChanges changes) override;

  // PoiCommands, for the map and service pages.
  const PoiList& list() const override { return pois_; }
  std::vector<std::size_t> displayOrder() const override { return order_; }
  int selectedIndex() const override;
  void SelectLocation(std::size_t index) override;
  bool AddLocation(LatLon position, const std::string& name = {}) override;
  bool EditLocation(std::size_t index) override;
  bool DeleteLocation(std::size_t index) override;
  bool MoveLocation(std::size_t index, LatLon position) override;
  void SetGoToTarget(LatLon position, const std::string& name) override;
  void RecomputeMapPositions() override;

  // The page's own commands.
  void MoveSelectedUp();
  void MoveSelectedDown();
  void HideOutsideMap();
  void ShowAll();
  void ViewOnMap();
  void SearchSelected();
  void LoadFile(const std::string& path);
  void NewFile(const std::string& path);
  void ClickColumn(int column);
  void SetCoordFormat(CoordFormat format);
  // A left click at a point of the page, as the mouse would give it.
  void ClickAt(QPoint pos);
  // The POI menu; `fromPageMenu` adds the map and search items and the
  // hide/show states.
  QMenu* CreatePoiMenu(bool fromPageMenu);
  QMenu* CreateFormatMenu();

  // Refreshes the go-to display for the target (units or format changed).
  void RefreshGoTo();

  // What the page needs of the window that PageHost does not give: the
  // size of the map picture (empty while none is loaded), for hiding POIs
  // outside it.
  std::function<QSize()> mapImageSize;
  // Seconds since 1970 UTC, for the arrival time.
  std::function<int64_t()> clock;
  // The dialogs, replaceable by tests: the location dialog (true on OK),
  // the delete question (true on Yes), a message, and the two file dialogs
  // (true with a path chosen).
  std::function<bool(LocationDialog&)> runLocationDialog;
  std::function<bool(const QString&)> askYesNo;
  std::function<void(const QString&)> showMessage;
  std::function<bool(QString&)> askOpenFile;
  std::function<bool(QString&)> askSaveFile;

  // State, for the window's tests.
  const PoiSort& sort() const { return sort_; }
  bool navigationView() const { return navigationView_; }
  bool hiddenMode() const { return hiddenMode_; }
  CompassMode compassMode() const { return compassMode_; }
  std::optional<LatLon> goToTarget() const { return target_; }
  double lastBearing() const { return lastBearing_; }
  QTableView* table() const { return table_; }
  PoiTableModel* model() const { return model_; }
  QString goToText(const char* name) const;  // the text of a go-to field by object name
  // The text shown in `column` of display row `row`.
  QString cellText(int row, int column) const;
  // The direction arrow of sector 0..7 (8: no direction), 9 x 9.
  static const QImage& ArrowImage(int sector);

 protected:
  void PaintPage(QPainter& painter, const QRect& dirty) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class PoiTableModel;
  void BuildListView();
  void BuildNavigationView();
  void Resort(std::optional<size_t> keepSelected = std::nullopt);
  void AfterChange(std::optional<size_t> select);
  void Save();
  void SelectRow(int row);
  void OnRowChosen(int row);
  void ClearGoTo();
  void RelabelCoordinates();
  void CycleDistanceUnit();
  void ToggleCompassMode();
  void ShowFormatMenu(QPoint globalPos);
  bool Hit(QWidget* w, QPoint pagePos) const;
  void ShowFileName();
  void Message(const QString& text);
  QString FileErrorText(const struct PoiFileResult& result) const;
  std::pair<int32_t, int32_t> MapPositionOf(double latitude, double longitude) const;
  QRect CompassRect(int* radius) const;
  int64_t Now() const;
  LatLon Here() const;
  void WriteSettings();

  PoiList& pois_;
  std::vector<size_t> order_;  // display rows -> record indices
  PoiSort sort_;
  CompassMode compassMode_ = CompassMode::NorthUp;
  bool navigationView_ = false;
  bool hiddenMode_ = false;
  double lastBearing_ = 0.0;
  std::optional<LatLon> target_;
  std::optional<size_t> targetRecord_;
  bool pendingRefresh_ = false;

  PoiTableModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QWidget* listView_ = nullptr;
  QWidget* navView_ = nullptr;
  QWidget* compassFrame_ = nullptr;
  // Go-to fields: [0] list view, [1] navigation view.
  struct GoToLabels {
    QLabel* label1 = nullptr;
    QLabel* value1 = nullptr;
    QLabel* label2 = nullptr;
    QLabel* value2 = nullptr;
    QLabel* zone = nullptr;
    QLabel* direction = nullptr;
    QLabel* distance = nullptr;
    QLabel* time = nullptr;
    QLabel* arrival = nullptr;
    QLabel* timeCaption = nullptr;
    QLabel* arrivalCaption = nullptr;
  };
  std::array<GoToLabels, 2> goTo_{};
  QLabel* fileName_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QPushButton* newButton_ = nullptr;

  QImage compassImage_;
  struct CompassKey {
    int radius = -1;
    double course = 0;
    CompassMode mode = CompassMode::NorthUp;
    bool large = false;
    bool operator==(const CompassKey&) const = default;
  } compassKey_;
};

}  // namespace tarvo
