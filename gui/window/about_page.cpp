#include "gui/window/about_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "core/version.h"
#include "gui/window/page_host.h"
#include "gui/window/palette.h"
#include "gui/window/hyperlink_control.h"

namespace tarvo {

namespace {
QString FromView(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

AboutPage::AboutPage(PageHost& host) : Page(host, kAboutPage, QStringLiteral("About")) {
  setObjectName(QStringLiteral("aboutPage"));
  const Palette& pal = host.palette();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 20, 16, 16);
  layout->setSpacing(10);

  auto* head = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  icon->setPixmap(QPixmap(QStringLiteral(":/icons/tarvo-48.png")));
  head->addWidget(icon, 0, Qt::AlignTop);
  auto* names = new QVBoxLayout;
  auto* name = new QLabel(FromView(kProgramName), this);
  name->setObjectName(QStringLiteral("aboutName"));
  name->setFont(PaletteFont(26, 900));
  auto* version = new QLabel(FromView(kVersionText), this);
  version->setObjectName(QStringLiteral("aboutVersion"));
  version->setFont(pal.medium);
  auto* tag = new QLabel(FromView(kTagLine), this);
  tag->setObjectName(QStringLiteral("aboutTagLine"));
  tag->setFont(pal.normal);
  names->addWidget(name);
  names->addWidget(version);
  names->addWidget(tag);
  head->addLayout(names, 1);
  layout->addLayout(head);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("aboutPicture"));
  picture->setPixmap(QPixmap(QStringLiteral(":/images/about.png")));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture, 1);

  link_ = new HyperlinkControl(this);
  link_->setObjectName(QStringLiteral("aboutLink"));
  link_->setFont(pal.normal);
  link_->SetLink(QString::fromLatin1(kMakerSite));
  link_->SetText(QStringLiteral("quillmark.example/tarvo"));
  layout->addWidget(link_, 0, Qt::AlignHCenter);
}

}  // namespace tarvo
