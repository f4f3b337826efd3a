#include "gui/service/html_view.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tarvo {

namespace {

constexpr int kLogoSize = 48;  // pixels, square

QImage DrawLogo() {
  QImage image(kLogoSize, kLogoSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The globe: a blue disc with two meridians and the equator.
  const QRectF globe(4, 12, 34, 34);
  p.setPen(QPen(QColor(20, 60, 140), 1.5));
  p.setBrush(QColor(70, 140, 220));
  p.drawEllipse(globe);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(220, 235, 255), 1.2));
  p.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
  p.drawEllipse(globe.adjusted(9, 0, -9, 0));
  p.drawLine(QPointF(globe.center().x(), globe.top()), QPointF(globe.center().x(), globe.bottom()));
  // The pin: a red drop whose point touches the globe.
  QPainterPath pin;
  const QPointF tip(32, 30);
  pin.moveTo(tip);
  pin.cubicTo(QPointF(24, 20), QPointF(24, 6), QPointF(34, 4));
  pin.cubicTo(QPointF(44, 6), QPointF(44, 20), tip);
  p.setPen(QPen(QColor(120, 0, 0), 1.2));
  p.setBrush(QColor(220, 30, 30));
  p.drawPath(pin);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(34, 12), 3.5, 3.5);
  return image;
}

}  // namespace

HtmlView::HtmlView(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this,
          [this](const QUrl& url) { FollowLink(url.toString(QUrl::FullyEncoded)); });
}

const QImage& HtmlView::Logo() {
  static const QImage logo = DrawLogo();
  return logo;
}

void HtmlView::BeginDocument() {
  pending_ = QStringLiteral("<html><body>");
  open_ = true;
}

void HtmlView::Write(const QString& html) {
  if (open_) pending_ += html;
}

void HtmlView::EndDocument() {
  if (!open_) return;
  pending_ += QStringLiteral("</body></html>");
  open_ = false;
  Show(pending_);
  pending_.clear();
}

bool HtmlView::LoadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  QString text = QString::fromUtf8(file.readAll());
  if (file.error() != QFileDevice::NoError) return false;
  static const QString kEnd = QStringLiteral("</html>");
  const qsizetype end = text.indexOf(kEnd, 0, Qt::CaseInsensitive);
  if (end >= 0) text.truncate(end + kEnd.size());
  Show(text);
  return true;
}

void HtmlView::FollowLink(const QString& target) { emit linkRequested(target); }

void HtmlView::Show(const QString& html) {
  source_ = html;
  setHtml(html);
}

QVariant HtmlView::loadResource(int type, const QUrl& name) {
  if (type == QTextDocument::ImageResource && name == QUrl(QString::fromLatin1(kLogoAddress))) {
    return Logo();
  }
  // Empty but not null: a null answer would make the document read local
  // files by itself.
  return QVariant(QByteArray());
}

void HtmlView::mouseReleaseEvent(QMouseEvent* event) {
  // The raw href, as the page wrote it: QUrl would re-encode parts of it.
  const QString href = event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
  if (href.isEmpty()) {
    QTextBrowser::mouseReleaseEvent(event);
    return;
  }
  event->accept();
  FollowLink(href);
}

}  // namespace tarvo
