#include "compare/report_document.h"

namespace sorowa {

std::u16string_view ReportHead() {
  static constexpr std::u16string_view kHead =
      u"<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
      u"<style type=\"text/css\">\n"
      u"<!--\n"
      u".caption{ font-size: 60%; }\n"
      u"table{ font-size: 70%; border-collapse: collapse; border: 0px; }\n"
      u"td{ white-space: nowrap; vertical-align: middle; }\n"
      u".le{ text-align: left; }\n"
      u".same{ background:#ffffff; text-align: center; }\n"
      u".partial{ background:#ffcccc; text-align: center; }\n"
      u".different{ background:#ef7774; text-align: center; }\n"
      u"-->\n"
      u"</style></head><body>\n";
  return kHead;
}

std::u16string_view ReportFoot() { return u"</body></html>"; }

}  // namespace sorowa
