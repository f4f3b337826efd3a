// The HTML view of the service page: shows a document written in pieces or
// read from a file, and hands every link the user follows to its owner
// instead of navigating. It loads no resource but the service logo, so a
// page can never make it read a file or reach the network.
#pragma once

#include <QImage>
#include <QString>
#include <QTextBrowser>
#include <QUrl>

namespace tarvo {

class HtmlView : public QTextBrowser {
  Q_OBJECT
 public:
  // The address the pages use for the logo (the src of the logo's img tag).
  static constexpr const char* kLogoAddress = "tarvo-logo:hopla";

  explicit HtmlView(QWidget* parent = nullptr);

  // A new empty document: "<html><body>", then Write() adds to it and
  // EndDocument() adds "</body></html>" and shows it.
  void BeginDocument();
  void Write(const QString& html);
  void EndDocument();
  // Shows the file's text (UTF-8) up to and with its first "</html>"; false,
  // keeping the document shown, when it cannot be read.
  bool LoadFile(const QString& path);

  // The HTML of the document last shown, as it was written or read.
  const QString& documentSource() const { return source_; }

  // Reports `target` as the user following that link.
  void FollowLink(const QString& target);

  // The service logo: a pin over a globe, drawn once.
  static const QImage& Logo();

 signals:
  // A link is followed (its href as written in the document). The view
  // itself never navigates.
  void linkRequested(const QString& target);

 protected:
  QVariant loadResource(int type, const QUrl& name) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Show(const QString& html);

  QString pending_;
  bool open_ = false;
  QString source_;
};

}  // namespace tarvo
