// The About page: program name, version, icon, a picture and the maker's link.
#pragma once

#include "gui/window/page.h"

namespace tarvo {

class HyperlinkControl;

// The maker's web site shown on the About page.
inline constexpr const char* kMakerSite = "https://quillmark.example/tarvo/";

class AboutPage : public Page {
  Q_OBJECT
 public:
  explicit AboutPage(PageHost& host);
  HyperlinkControl* link() const { return link_; }

 private:
  HyperlinkControl* link_ = nullptr;
};

}  // namespace tarvo
