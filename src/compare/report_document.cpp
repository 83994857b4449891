#include "compare/report_document.h"

namespace sorowa {

std::string_view ReportHead() {
  static constexpr std::string_view kHead =
      "<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
      "<style type=\"text/css\">\n"
      "<!--\n"
      ".caption{ font-size: 60%; }\n"
      "table{ font-size: 70%; border-collapse: collapse; border: 0px; }\n"
      "td{ white-space: nowrap; vertical-align: middle; }\n"
      ".le{ text-align: left; }\n"
      ".same{ background:#ffffff; text-align: center; }\n"
      ".partial{ background:#ffcccc; text-align: center; }\n"
      ".different{ background:#ef7774; text-align: center; }\n"
      "-->\n"
      "</style></head><body>\n";
  return kHead;
}

std::string_view ReportFoot() { return "</body></html>"; }

}  // namespace sorowa
