#include "engine/uPictureDigest.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace larkspan {

namespace {

struct CtxFree {
  void operator()(EVP_MD_CTX* C) const { EVP_MD_CTX_free(C); }
};
using TCtx = std::unique_ptr<EVP_MD_CTX, CtxFree>;

std::string HexText(const unsigned char* Digest, unsigned Len) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string Text;
  for (unsigned I = 0; I < Len; ++I) {
    Text += Hex[Digest[I] >> 4];
    Text += Hex[Digest[I] & 15];
  }
  return Text;
}

std::string Final(EVP_MD_CTX* Ctx) {
  unsigned char Digest[EVP_MAX_MD_SIZE];
  unsigned Len = 0;
  EVP_DigestFinal_ex(Ctx, Digest, &Len);
  return HexText(Digest, Len);
}

// Feeds Path from byte From on into Ctx, at most Limit bytes (-1: to the
// end). Returns the number of bytes read.
int64_t Feed(const std::string& Path, EVP_MD_CTX* Ctx, int64_t From, int64_t Limit) {
  TFileReader F(Path);
  if (From > 0) F.Seek(From);
  static thread_local std::vector<unsigned char> Buf(1 << 18);
  int64_t Total = 0;
  while (Limit < 0 || Total < Limit) {
    size_t Want = Buf.size();
    if (Limit >= 0 && int64_t(Want) > Limit - Total) Want = size_t(Limit - Total);
    const size_t N = F.Read(Buf.data(), Want);
    EVP_DigestUpdate(Ctx, Buf.data(), N);
    Total += int64_t(N);
    if (N < Want) break;
  }
  return Total;
}

// The first Limit bytes of Path.
std::string ReadHead(const std::string& Path, int64_t Limit) {
  TFileReader F(Path);
  std::string Head(size_t(Limit), '\0');
  Head.resize(F.Read(Head.data(), Head.size()));
  return Head;
}

// Whether two files of equal size hold equal bytes. Throws like Feed.
bool SameContent(const std::string& A, const std::string& B) {
  TFileReader FA(A);
  TFileReader FB(B);
  static thread_local std::vector<char> BufA(1 << 16), BufB(1 << 16);
  for (;;) {
    size_t NA, NB;
    try {
      NA = FA.Read(BufA.data(), BufA.size());
      NB = FB.Read(BufB.data(), NA == BufA.size() ? NA : NA + 1);
    } catch (const Exception&) {
      // A read error counts as different: the picture then gets its own
      // digest, which reports the error.
      return false;
    }
    if (NA != NB || std::memcmp(BufA.data(), BufB.data(), NA) != 0) return false;
    if (NA < BufA.size()) return true;
  }
}

// The MD5 implementation, looked up once rather than at every digest.
const EVP_MD* MD5() {
  static const EVP_MD* const Md = [] {
    const EVP_MD* Fetched = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return Fetched ? Fetched : EVP_md5();
  }();
  return Md;
}

}  // namespace

TPictureDigests::TPictureDigests(const std::vector<std::string>& APaths)
    : Paths(APaths), Sizes(APaths.size()), Keys(APaths.size()), Done(APaths.size(), false) {
  for (size_t I = 0; I < Paths.size(); ++I) {
    Sizes[I] = FileSizeOf(Paths[I]);
    BySize[Sizes[I]].push_back(I);
  }
}

std::string TPictureDigests::KeyOf(size_t Index, int64_t& Size) {
  Size = Sizes[Index];
  if (!Done[Index]) {
    const std::vector<size_t>& Group = BySize[Sizes[Index]];
    if (Group.size() == 1)
      Done[Index] = true;
    else
      DigestGroup(Group);
  }
  return Keys[Index];
}

void TPictureDigests::DigestGroup(const std::vector<size_t>& Members) {
  // Heads first: the first HeadBytes of every member, kept in memory and
  // compared as bytes. Only members whose heads are equal are digested, the
  // digest taking the kept head and going on from where it ended.
  std::vector<std::string> Heads(Members.size());
  std::unordered_map<std::string_view, std::vector<size_t>> ByHead;  // head -> positions in Members
  for (size_t M = 0; M < Members.size(); ++M) {
    Heads[M] = ReadHead(Paths[Members[M]], HeadBytes);
    ByHead[Heads[M]].push_back(M);
  }
  for (auto& [Head, Same] : ByHead) {
    // Members with equal heads are usually copies of one picture: a member
    // whose bytes equal an already digested one takes its MD5 text (equal
    // content, equal digest) after a plain comparison, which costs a
    // fraction of a digest. Only a few comparisons are tried per member.
    std::vector<size_t> Digested;
    for (size_t M : Same) {
      Done[Members[M]] = true;
      if (Same.size() < 2) continue;
      bool Matched = false;
      for (size_t I = 0; I < Digested.size() && I < MaxCompares && !Matched; ++I) {
        if (SameContent(Paths[Members[Digested[I]]], Paths[Members[M]])) {
          Keys[Members[M]] = Keys[Members[Digested[I]]];
          Matched = true;
        }
      }
      if (Matched) continue;
      TCtx Ctx(EVP_MD_CTX_new());
      EVP_DigestInit_ex(Ctx.get(), MD5(), nullptr);
      EVP_DigestUpdate(Ctx.get(), Heads[M].data(), Heads[M].size());
      if (int64_t(Heads[M].size()) == HeadBytes) Feed(Paths[Members[M]], Ctx.get(), HeadBytes, -1);
      Keys[Members[M]] = Final(Ctx.get());
      Digested.push_back(M);
    }
  }
}

}  // namespace larkspan
