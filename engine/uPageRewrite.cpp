#include "engine/uWebFilesMgr.h"
#include "platform/Error.h"

namespace larkspan {

// Placeholder until the page rewriting lands: a run that finds duplicates
// fails clearly instead of publishing pages that point at missing pictures.
void TWebFilsMgr::RewritePage(const std::string& PageFile, const std::string& DestFile) {
  throw Exception("页面引用改写尚未实现：" + PageFile);
}

void TWebFilsMgr::HtmlParserParseImage(TObject* Sender, TclHtmlImage* Image) {}
void TWebFilsMgr::HtmlParserParseLink(TObject* Sender, TclHtmlLink* Link) {}
std::string TWebFilsMgr::RefToPath(const std::string& Ref) const { return Ref; }
std::string TWebFilsMgr::PathToRef(const std::string& Path) const { return Path; }

}  // namespace larkspan
