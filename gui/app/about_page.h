// The About page: program name, version, icon, a picture and the maker's link.
#pragma once

#include "gui/app/gps_page.h"

namespace tarvo {

class HyperlinkControl;

// The maker's web site shown on the About page.
inline constexpr const char* kMakerSite = "https://quillmark.example/tarvo/";

class CAboutDlg : public CGPSPage {
  Q_OBJECT
 public:
  explicit CAboutDlg(CGPSSheet& sheet);
  HyperlinkControl* link() const { return link_; }

 private:
  HyperlinkControl* link_ = nullptr;
};

}  // namespace tarvo
