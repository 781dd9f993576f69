// XML documents: white space between tags goes where an element holds no
// text of its own (element-only content) and no xml:space="preserve" is in
// force; tags lose the blanks the grammar does not need. Text, attribute
// values, CDATA sections, processing instructions and the document type
// declaration stay byte for byte; an XHTML document keeps its white space
// inside the root. A document that is not well-formed is not minified at
// all: the caller copies it.
#include <cstdint>
#include <vector>

#include "minify/ByteScan.h"
#include "minify/Minify.h"

namespace larkspan::minify {

namespace {

enum class TNode : uint8_t { Text, Open, Close, Empty, Comment, Verbatim };

// Sixteen bytes: a document has a node for every few bytes, so the node
// list is what minifying one costs in memory.
struct TXmlNode {
  TNode Type;
  uint32_t Begin;
  uint32_t End;
  int Parent;  // index into the element table, -1 at the top
};

struct TElement {
  size_t NameBegin;
  size_t NameEnd;
  bool Mixed = false;     // holds text or CDATA of its own
  bool Preserve = false;  // xml:space="preserve" in force
};

bool IsBlank(std::string_view S, size_t Begin, size_t End) {
  for (size_t I = Begin; I < End; ++I)
    if (!IsSpaceByte(S[I])) return false;
  return true;
}

bool IsNameStart(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_' || C == ':' ||
         static_cast<unsigned char>(C) >= 0x80;
}

bool IsNameChar(char C) { return IsNameStart(C) || (C >= '0' && C <= '9') || C == '-' || C == '.'; }

class TXmlScanner {
 public:
  TXmlScanner(std::string_view Text, TCodePage Page) : S(Text), Page(Page), N(Text.size()) {}

  std::vector<TXmlNode> Nodes;
  std::vector<TElement> Elements;
  const char* Error = nullptr;
  size_t ErrorAt = 0;

  bool Run() {
    std::vector<int> Stack;
    size_t I = 0;
    while (I < N) {
      const int Parent = Stack.empty() ? -1 : Stack.back();
      if (S[I] != '<') {
        size_t E = FindByte(Page, S, I, '<');
        if (E == std::string_view::npos) E = N;
        if (Parent >= 0 && !IsBlank(S, I, E)) Elements[Parent].Mixed = true;
        Nodes.push_back({TNode::Text, uint32_t(I), uint32_t(E), Parent});
        I = E;
        continue;
      }
      size_t E;
      if (S.compare(I, 4, "<!--") == 0) {
        if (!Find(I, I + 4, "-->", "unterminated comment", E)) return false;
        Nodes.push_back({TNode::Comment, uint32_t(I), uint32_t(E), Parent});
      } else if (S.compare(I, 9, "<![CDATA[") == 0) {
        if (!Find(I, I + 9, "]]>", "unterminated CDATA section", E)) return false;
        if (Parent >= 0) Elements[Parent].Mixed = true;
        Nodes.push_back({TNode::Verbatim, uint32_t(I), uint32_t(E), Parent});
      } else if (S.compare(I, 2, "<?") == 0) {
        if (!Find(I, I + 2, "?>", "unterminated processing instruction", E)) return false;
        Nodes.push_back({TNode::Verbatim, uint32_t(I), uint32_t(E), Parent});
      } else if (S.compare(I, 2, "<!") == 0) {
        if (!DeclarationEnd(I, E)) return false;
        Nodes.push_back({TNode::Verbatim, uint32_t(I), uint32_t(E), Parent});
      } else if (S.compare(I, 2, "</") == 0) {
        const size_t NameEnd = NameFrom(I + 2);
        E = SkipSpace(S, NameEnd);
        if (NameEnd == I + 2 || E >= N || S[E] != '>') return Fail("malformed end tag", I);
        ++E;
        if (Stack.empty()) return Fail("end tag without a start tag", I);
        const TElement& Top = Elements[Stack.back()];
        if (S.substr(Top.NameBegin, Top.NameEnd - Top.NameBegin) !=
            S.substr(I + 2, NameEnd - I - 2))
          return Fail("end tag does not match the start tag", I);
        Stack.pop_back();
        Nodes.push_back({TNode::Close, uint32_t(I), uint32_t(E), Parent});
      } else if (I + 1 < N && IsNameStart(S[I + 1])) {
        bool Empty = false, Preserve = Parent >= 0 && Elements[Parent].Preserve;
        if (!StartTag(I, E, Empty, Preserve)) return false;
        Nodes.push_back({Empty ? TNode::Empty : TNode::Open, uint32_t(I), uint32_t(E), Parent});
        if (!Empty) {
          Elements.push_back({I + 1, NameFrom(I + 1), false, Preserve});
          Stack.push_back(static_cast<int>(Elements.size()) - 1);
        }
      } else {
        return Fail("\"<\" that starts no tag", I);
      }
      I = E;
    }
    if (!Stack.empty()) return Fail("element not closed", OpenAt(Stack.back()));
    return true;
  }

 private:
  std::string_view S;
  TCodePage Page;
  size_t N;

  bool Fail(const char* Why, size_t At) {
    Error = Why;
    ErrorAt = At;
    return false;
  }

  size_t OpenAt(int Element) const { return Elements[Element].NameBegin - 1; }

  bool Find(size_t At, size_t From, std::string_view End, const char* Why, size_t& E) {
    const size_t P = FindText(Page, S, From, End);
    if (P == std::string_view::npos) return Fail(Why, At);
    E = P + End.size();
    return true;
  }

  size_t NameFrom(size_t I) const {
    while (I < N && IsNameChar(S[I])) I = NextChar(Page, S, I);
    return I;
  }

  bool QuotedEnd(size_t I, size_t& E) {
    const size_t Q = FindByte(Page, S, I + 1, S[I]);
    if (Q == std::string_view::npos) return Fail("unterminated attribute value", I);
    E = Q + 1;
    return true;
  }

  // "<!DOCTYPE ... [ internal subset ]>" and other declarations.
  bool DeclarationEnd(size_t I, size_t& E) {
    int Depth = 0;
    for (size_t J = I + 2; J < N;) {
      const char C = S[J];
      if (C == '"' || C == '\'') {
        if (!QuotedEnd(J, J)) return false;
        continue;
      }
      if (S.compare(J, 4, "<!--") == 0) {
        if (!Find(J, J + 4, "-->", "unterminated comment", J)) return false;
        continue;
      }
      if (C == '[') ++Depth;
      if (C == ']') --Depth;
      if (C == '>' && Depth <= 0) {
        E = J + 1;
        return true;
      }
      J = NextChar(Page, S, J);
    }
    return Fail("unterminated declaration", I);
  }

  bool StartTag(size_t I, size_t& E, bool& Empty, bool& Preserve) {
    size_t J = NameFrom(I + 1);
    for (;;) {
      const size_t Before = J;
      J = SkipSpace(S, J);
      if (J >= N) break;
      if (S[J] == '>') {
        E = J + 1;
        return true;
      }
      if (S.compare(J, 2, "/>") == 0) {
        Empty = true;
        E = J + 2;
        return true;
      }
      if (J == Before || !IsNameStart(S[J])) break;
      const size_t NameBegin = J;
      J = NameFrom(J);
      const std::string_view Name = S.substr(NameBegin, J - NameBegin);
      J = SkipSpace(S, J);
      if (J >= N || S[J] != '=') break;
      J = SkipSpace(S, J + 1);
      if (J >= N || (S[J] != '"' && S[J] != '\'')) break;
      size_t ValueEnd;
      if (!QuotedEnd(J, ValueEnd)) return false;
      if (Name == "xml:space") {
        const std::string_view Value = S.substr(J + 1, ValueEnd - J - 2);
        if (Value == "preserve") Preserve = true;
        if (Value == "default") Preserve = false;
      }
      J = ValueEnd;
    }
    return Fail("malformed start tag", I);
  }
};

// A tag of a well-formed document with its blanks reduced: one between
// attributes, none around "=" or before ">" and "/>".
void AppendTag(std::string_view S, TCodePage Page, size_t Begin, size_t End, std::string& Out) {
  size_t J = Begin;
  while (J < End) {
    const char C = S[J];
    if (C == '"' || C == '\'') {
      const size_t Q = FindByte(Page, S, J + 1, C) + 1;
      Out.append(S.substr(J, Q - J));
      J = Q;
    } else if (IsSpaceByte(C)) {
      const size_t K = SkipSpace(S, J);
      const char After = S[K];
      if (After != '>' && After != '/' && After != '=' && Out.back() != '=') Out += ' ';
      J = K;
    } else {
      const size_t K = NextChar(Page, S, J);
      Out.append(S.substr(J, K - J));
      J = K;
    }
  }
}

}  // namespace

TMinifyResult MinifyXml(std::string_view Text, TCodePage Page, const TMinifyOptions& Options) {
  TMinifyResult R;
  if (Text.size() > UINT32_MAX) {
    R.Error = "too large";
    return R;
  }
  TXmlScanner X(Text, Page);
  if (!X.Run()) {
    R.Error = X.Error;
    R.Offset = X.ErrorAt;
    SetPosition(R, Text);
    return R;
  }
  // XHTML renders white space between inline elements ("<b>a</b> <i>b</i>"):
  // in such a document only the white space outside the root goes.
  const bool Xhtml = Text.find("http://www.w3.org/1999/xhtml") != std::string_view::npos;
  std::string& Out = R.Output;
  Out.reserve(Text.size());
  for (const TXmlNode& Node : X.Nodes) {
    const std::string_view Bytes = Text.substr(Node.Begin, Node.End - Node.Begin);
    switch (Node.Type) {
      case TNode::Text:
        if (Node.Parent < 0
                ? !IsBlank(Text, Node.Begin, Node.End)
                : (Xhtml || X.Elements[Node.Parent].Mixed || X.Elements[Node.Parent].Preserve ||
                   !IsBlank(Text, Node.Begin, Node.End)))
          Out.append(Bytes);
        break;
      case TNode::Comment:
        if (Options.PreserveComments) Out.append(Bytes);
        break;
      case TNode::Verbatim:
        Out.append(Bytes);
        break;
      default:
        AppendTag(Text, Page, Node.Begin, Node.End, Out);
        break;
    }
  }
  R.Ok = true;
  return R;
}

}  // namespace larkspan::minify
