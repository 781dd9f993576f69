#include "engine/uResultCache.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "compress/uNativeCompress.h"
#include "config/uConfig.h"
#include "engine/uImageOptimiser.h"
#include "platform/Error.h"
#include "platform/ExecutableNote.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {

// ---- the digest -------------------------------------------------------------

struct TResultDigest::TState {
  EVP_MD_CTX* Ctx = EVP_MD_CTX_new();
  bool Done = false;
};

TResultDigest::TResultDigest() : State(new TState) {
  if (!State->Ctx || EVP_DigestInit_ex(State->Ctx, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(State->Ctx);
    delete State;
    throw Exception("SHA-256 is not available");
  }
}

TResultDigest::~TResultDigest() {
  EVP_MD_CTX_free(State->Ctx);
  delete State;
}

namespace {
void Feed(EVP_MD_CTX* Ctx, std::string_view Data) {
  EVP_DigestUpdate(Ctx, Data.data(), Data.size());
}
std::string Header(std::string_view Name, uint64_t Length) {
  return std::string(Name) + '\0' + std::to_string(Length) + '\0';
}
}  // namespace

void TResultDigest::Add(std::string_view Name, std::string_view Value) {
  Feed(State->Ctx, Header(Name, Value.size()));
  Feed(State->Ctx, Value);
}

void TResultDigest::AddFile(std::string_view Name, const std::string& Path) {
  TFileReader F(Path);
  Feed(State->Ctx, Header(Name, uint64_t(F.Size())));
  std::vector<char> Buf(size_t(1) << 16);
  int64_t Left = F.Size();
  // Exactly the size announced, so that a file growing meanwhile cannot
  // make two fields read as one.
  while (Left > 0) {
    const size_t N = F.Read(Buf.data(), size_t(std::min<int64_t>(Left, int64_t(Buf.size()))));
    if (N == 0) throw Exception("无法读取文件 " + Path + ": 文件在读取时变短 (file shrank)");
    Feed(State->Ctx, std::string_view(Buf.data(), N));
    Left -= int64_t(N);
  }
}

std::string TResultDigest::Hex() {
  unsigned char Digest[EVP_MAX_MD_SIZE];
  unsigned Len = 0;
  if (!State->Done) EVP_DigestFinal_ex(State->Ctx, Digest, &Len);
  State->Done = true;
  static const char Digits[] = "0123456789abcdef";
  std::string R;
  for (unsigned I = 0; I < Len; ++I) {
    R += Digits[Digest[I] >> 4];
    R += Digits[Digest[I] & 15];
  }
  return R;
}

void TResultDigest::AddBytes(std::string_view Data) { Feed(State->Ctx, Data); }

std::string Sha256Hex(std::string_view Data) {
  TResultDigest D;
  D.AddBytes(Data);
  return D.Hex();
}

// ---- entries ----------------------------------------------------------------

namespace {

const char Magic[] = "LARKSPAN-RESULT 1\n";

// An entry: Magic, the key, the digest of the body and the body's length
// (a line each), then the body: the kind's digit, the note's length, a
// newline, the note and the result's bytes.
std::string EncodeBody(const TCachedResult& R) {
  return std::to_string(int(R.Kind)) + std::to_string(R.Note.size()) + "\n" + R.Note + R.Bytes;
}

// Reads a decimal number ending in '\n' at Pos; false when there is none.
bool ReadNumber(const std::string& S, size_t& Pos, uint64_t& N) {
  const size_t End = S.find('\n', Pos);
  if (End == std::string::npos || End == Pos || End - Pos > 19) return false;
  N = 0;
  for (size_t I = Pos; I < End; ++I) {
    if (S[I] < '0' || S[I] > '9') return false;
    N = N * 10 + uint64_t(S[I] - '0');
  }
  Pos = End + 1;
  return true;
}

bool ReadLine(const std::string& S, size_t& Pos, std::string& Line) {
  const size_t End = S.find('\n', Pos);
  if (End == std::string::npos) return false;
  Line = S.substr(Pos, End - Pos);
  Pos = End + 1;
  return true;
}

// False when Entry is not a whole entry for Key.
bool DecodeEntry(const std::string& Entry, const std::string& Key, TCachedResult& R) {
  const size_t MagicLen = sizeof Magic - 1;
  if (Entry.compare(0, MagicLen, Magic) != 0) return false;
  size_t Pos = MagicLen;
  std::string EntryKey, Digest;
  uint64_t Length = 0;
  if (!ReadLine(Entry, Pos, EntryKey) || EntryKey != Key || !ReadLine(Entry, Pos, Digest) ||
      !ReadNumber(Entry, Pos, Length) || Entry.size() - Pos != Length)
    return false;
  const std::string_view Body(Entry.data() + Pos, Entry.size() - Pos);
  if (Sha256Hex(Body) != Digest) return false;
  if (Body.empty() || Body[0] < '0' || Body[0] > '2') return false;
  R.Kind = TCachedResult::TKind(Body[0] - '0');
  size_t P = Pos + 1;
  uint64_t NoteLen = 0;
  if (!ReadNumber(Entry, P, NoteLen) || Entry.size() - P < NoteLen) return false;
  R.Note = Entry.substr(P, NoteLen);
  R.Bytes = Entry.substr(P + NoteLen);
  return true;
}

// The program file Path into D: its build identity when the linker gave it
// one (read from its headers: a digest of the linked file, so another build
// gives another one), otherwise its whole content. Throws Exception when
// the file cannot be read.
void AddProgramFile(TResultDigest& D, const std::string& Path) {
  const std::string BuildId = ExecutableBuildId(Path);
  if (!BuildId.empty())
    D.Add("build-id", BuildId);
  else
    D.AddFile("file", Path);
}

bool IsKey(const std::string& Name) {
  return Name.size() == 64 && std::all_of(Name.begin(), Name.end(), [](char C) {
           return std::strchr("0123456789abcdef", C);
         });
}

}  // namespace

// ---- the cache --------------------------------------------------------------

TResultCache::TResultCache(const std::string& Folder, int64_t AMaxBytes)
    : Dir(IncludeTrailingDelimiter(Folder)), MaxBytes(AMaxBytes) {
  if (Dir == "/") {
    Problem =
        "没有缓存目录（未设置 XDG_CACHE_HOME 和 HOME）(no cache folder: neither "
        "XDG_CACHE_HOME nor HOME is set)";
    return;
  }
  try {
    if (!ForceDirectories(Dir)) ThrowSystemError("无法创建目录 " + Dir, errno);
    // Writing is tried at once: a folder that takes nothing turns the cache
    // off before the run relies on it.
    TTempFile Probe(Dir + "probe");
    if (!Probe.Close()) ThrowSystemError("无法写入文件 " + Probe.Path(), errno);
    const std::string Self = ProgramFile();
    TResultDigest Own;
    Own.Add("program", Self);
    if (!Self.empty()) AddProgramFile(Own, Self);
    OwnIdentity = Own.Hex();
  } catch (const Exception& E) {
    Problem = std::string(
                  "缓存目录不可用，本次不使用缓存 (the cache folder cannot be used; the "
                  "run goes on without it): ") +
              E.what();
    return;
  }
  On = true;
  Storing = true;
}

std::string TResultCache::DefaultFolder() {
  std::string Base = GetEnv("XDG_CACHE_HOME");
  // A relative value is no base folder (the XDG rules): the home's is used.
  if (Base.empty() || Base[0] != PathDelim) {
    const std::string Home = GetEnv("HOME");
    if (Home.empty()) return std::string();
    Base = IncludeTrailingDelimiter(Home) + ".cache";
  }
  return IncludeTrailingDelimiter(Base) + "larkspan/";
}

std::string TResultCache::Warning() const {
  std::lock_guard<std::mutex> L(Lock);
  return Problem;
}

std::string TResultCache::EntryPath(const std::string& Key) const {
  return Dir + Key.substr(0, 2) + "/" + Key;
}

void TResultCache::StopStoring(const std::string& Why) {
  if (!Storing.exchange(false)) return;
  std::lock_guard<std::mutex> L(Lock);
  Problem =
      "缓存无法写入，本次不再存入结果 (the cache cannot be written; no more results are "
      "kept this run): " +
      Why;
}

bool TResultCache::Find(const std::string& Key, TCachedResult& Result) {
  if (!On || Key.empty()) return false;
  const std::string Path = EntryPath(Key);
  std::string Entry;
  try {
    Entry = ReadFileText(Path);
  } catch (const Exception&) {
    return false;  // none yet (or one another run is removing)
  }
  if (!DecodeEntry(Entry, Key, Result)) {
    DeleteFile(Path);
    ++DamagedCount;
    return false;
  }
  TouchFile(Path);  // used now: the last to go when the cache is trimmed
  ++HitCount;
  return true;
}

void TResultCache::Store(const std::string& Key, const TCachedResult& Result) {
  if (!On || !Storing || Key.empty()) return;
  const std::string Body = EncodeBody(Result);
  const std::string Entry =
      Magic + Key + "\n" + Sha256Hex(Body) + "\n" + std::to_string(Body.size()) + "\n" + Body;
  if (int64_t(Entry.size()) > MaxBytes) return;  // would push out everything else
  try {
    const std::string Path = EntryPath(Key);
    if (!ForceDirectories(ExtractFilePath(Path)))
      ThrowSystemError("无法创建目录 " + ExtractFilePath(Path), errno);
    WriteFileAtomic(Path, Entry);
    ++StoredCount;
  } catch (const Exception& E) {
    StopStoring(E.what());
  }
}

void TResultCache::Trim() {
  if (!On) return;
  // The limit the folder was last trimmed to, in a file of its own.
  const std::string Stamp = Dir + "trimmed";
  if (StoredCount.load() == 0) {
    try {
      uint64_t Last = 0;
      size_t Pos = 0;
      if (ReadNumber(ReadFileText(Stamp), Pos, Last) && Last <= uint64_t(MaxBytes)) return;
    } catch (const Exception&) {
      // never trimmed, or unreadable: trimmed now
    }
  }
  struct TEntry {
    std::string Path;
    int64_t Size;
    int64_t Used;
  };
  std::vector<TEntry> Entries;
  int64_t Total = 0;
  const int64_t Now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  constexpr int64_t Hour = int64_t(3600) * 1000000000;
  for (const TDirEntry& Sub : ListDirectory(Dir)) {
    if (!Sub.IsDirectory || Sub.Name.size() != 2) continue;
    for (const TDirEntry& E : ListDirectory(Dir + Sub.Name)) {
      const std::string Path = Dir + Sub.Name + "/" + E.Name;
      if (IsKey(E.Name)) {
        Entries.push_back({Path, E.Size, E.ModifiedNs});
        Total += E.Size;
      } else if (IsTempFileName(E.Name) && E.ModifiedNs < Now - Hour) {
        // Left by a run that was killed (a live one belongs to a run still going).
        DeleteFile(Path);
      }
    }
  }
  // Least recently used first.
  std::sort(Entries.begin(), Entries.end(),
            [](const TEntry& A, const TEntry& B) { return A.Used < B.Used; });
  for (const TEntry& E : Entries) {
    if (Total <= MaxBytes) break;
    if (DeleteFile(E.Path)) Total -= E.Size;
  }
  if (Total <= MaxBytes) {
    try {
      WriteFileAtomic(Stamp, std::to_string(MaxBytes) + "\n");
    } catch (const Exception&) {
      // the next run lists the folder again
    }
  }
}

std::string TResultCache::ToolIdentity(const std::string& Name) {
  std::lock_guard<std::mutex> L(Lock);
  auto Found = Tools.find(Name);
  if (Found != Tools.end()) return Found->second;
  std::string Id;
  const std::string Path = FindProgram(Name, ProgramFolder());
  if (!Path.empty()) {
    try {
      TResultDigest D;
      D.Add("path", Path);
      AddProgramFile(D, Path);
      Id = D.Hex();
    } catch (const Exception&) {
      Id.clear();  // unreadable: its results are not cached
    }
  }
  Tools.emplace(Name, Id);
  return Id;
}

std::string TResultCache::PictureKey(const TAppConfig& Config, const std::string& Name,
                                     std::string_view Bytes) {
  if (!On) return std::string();
  // Only the kind of picture matters, not the spelling of its extension.
  const std::string Ext = LowerCaseAscii(ExtractFileExt(ExtractFileName(Name)));
  // The switches alone: the paths in the call are stand-ins.
  const TOptimiserCall Call = OptimiserCallFor(Config, "/in/picture" + Ext, "/out/picture" + Ext);
  if (Call.Program.empty()) return std::string();
  const std::string Tool = ToolIdentity(Call.Program);
  if (Tool.empty()) return std::string();
  TResultDigest D;
  D.Add("cache", "1");
  D.Add("own", OwnIdentity);
  D.Add("do", "optimise");
  D.Add("program", Call.Program);
  D.Add("tool", Tool);
  for (const std::string& A : Call.Args) D.Add("arg", A);
  D.Add("input", Bytes);
  return D.Hex();
}

std::string TResultCache::MinifyKey(const TNativeCompress& Compress, const std::string& KindName,
                                    std::string_view Bytes, std::string_view LinkedRules) {
  if (!On) return std::string();
  const minify::TMinifyOptions O = Compress.Options();
  const minify::TMinifyKind Kind = MinifyKindOf(KindName);
  TResultDigest D;
  D.Add("cache", "1");
  D.Add("own", OwnIdentity);
  D.Add("do", "minify");
  D.Add("kind", std::to_string(int(Kind)));
  D.Add("codepage", std::to_string(int(Compress.CodePage)));
  D.Add("options", std::string{char('0' + O.PreserveComments), char('0' + O.CompressCss),
                               char('0' + O.CompressJs), char('0' + O.NoMunge),
                               char('0' + O.PreservePhp), char('0' + O.PreserveServerScript)});
  D.Add("level", std::to_string(int(O.Level)));
  D.Add("input", Bytes);
  // Only a page is minified by rules from elsewhere.
  if (Kind == minify::TMinifyKind::Page) D.Add("linked", LinkedRules);
  return D.Hex();
}

}  // namespace larkspan
