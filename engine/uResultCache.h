// A cache of the results of the optimisers and the minifier, kept between
// runs, so that publishing a site again after a small edit only works on
// what changed.
//
// An entry is found by a key: the SHA-256 digest of the input's bytes and of
// everything that decides the output (what was done, the settings that
// matter, the outside program's own file and this program's own file, each
// known by its build identity when it has one, by its content otherwise),
// so a change of any of them finds no entry. Every entry also carries the digest
// of its own content, checked before use: a damaged or truncated entry is
// deleted and counts as missing. Entries are written through a temporary
// file and a rename, so several runs may share one cache folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace larkspan {

class TAppConfig;
class TNativeCompress;

// SHA-256 of everything added, in order. Each field goes in with its name
// and length, so two different lists of fields never give the same stream.
class TResultDigest {
 public:
  TResultDigest();
  ~TResultDigest();
  TResultDigest(const TResultDigest&) = delete;
  TResultDigest& operator=(const TResultDigest&) = delete;
  void Add(std::string_view Name, std::string_view Value);
  // Data as it is, without a name or length.
  void AddBytes(std::string_view Data);
  // The whole content of the file Path, streamed. Throws Exception when it
  // cannot be read.
  void AddFile(std::string_view Name, const std::string& Path);
  // 64 lower-case hexadecimal digits; the digest is then finished.
  std::string Hex();

 private:
  struct TState;
  TState* State;
};

// SHA-256 of Data as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view Data);

// What the cache keeps for one key.
struct TCachedResult {
  enum class TKind { Optimised, NotSmaller, Minified };
  TKind Kind = TKind::Optimised;
  // For the report: the optimiser's name, or the part a minifier kept as it
  // was ("" when none).
  std::string Note;
  // The result's content; empty for NotSmaller (the source is copied).
  std::string Bytes;
};

// One cache folder for one run. Find, Store and the key functions may be
// called from any thread at once.
class TResultCache {
 public:
  // The default size limit, 300 MiB.
  static constexpr int64_t DefaultLimitMB = 300;

  // Uses Folder (made when missing). When it cannot be made or written the
  // cache is off (Enabled false) and Warning says why; the run goes on
  // without it. MaxBytes is the size Trim keeps the folder to.
  TResultCache(const std::string& Folder, int64_t MaxBytes);

  // $XDG_CACHE_HOME/larkspan/, or $HOME/.cache/larkspan/ when that is
  // unset; "" when neither is set.
  static std::string DefaultFolder();

  bool Enabled() const { return On; }
  const std::string& Folder() const { return Dir; }
  // Why the cache is off, or why it stopped storing (a full disk); "" when
  // nothing went wrong. Chinese, then English in brackets.
  std::string Warning() const;

  // The entry for Key when there is a whole one (its own digest checked):
  // true and Result filled, and the entry counts as used now (for Trim).
  // A damaged entry is deleted and false returned.
  bool Find(const std::string& Key, TCachedResult& Result);
  // Keeps Result under Key. A failure to write (a full disk) stops storing
  // for the rest of the run and sets Warning; it never throws.
  void Store(const std::string& Key, const TCachedResult& Result);
  // Deletes the least recently used entries until the folder holds at most
  // MaxBytes of them. Never throws. Skipped (the folder is not listed) when
  // this object stored nothing and the folder was last trimmed to MaxBytes
  // or less: it cannot have grown past that but by a run that trims it.
  void Trim();

  // The key of the optimiser's result for a picture whose content is Bytes
  // and whose file name is Name (its extension says the kind) under Config
  // (program, its own file, its switches); "" when no optimiser applies or
  // the program cannot be found.
  std::string PictureKey(const TAppConfig& Config, const std::string& Name, std::string_view Bytes);
  // The key of Compress's result for the text Bytes of a file named
  // KindName (its kind by that name), under the code page and options of
  // Compress. A page's key also takes LinkedRules: the rules of the style
  // sheets it links to as the page minifier receives them (RulesKeyText,
  // "" when it links none).
  std::string MinifyKey(const TNativeCompress& Compress, const std::string& KindName,
                        std::string_view Bytes, std::string_view LinkedRules = {});

  // The largest picture whose result is kept (64 MiB): a picture is read
  // whole into memory to be digested, and one larger would push most of
  // the cache out.
  static constexpr int64_t MaxPictureBytes = int64_t(64) << 20;

  // Results found and used this run.
  int Hits() const { return HitCount.load(); }
  int Damaged() const { return DamagedCount.load(); }

 private:
  // SHA-256 of the file of the program Name (found as the optimisers are),
  // once per run; "" when it is not found.
  std::string ToolIdentity(const std::string& Name);
  std::string EntryPath(const std::string& Key) const;
  void StopStoring(const std::string& Why);

  std::string Dir;  // ends with "/"
  int64_t MaxBytes;
  bool On = false;
  std::string OwnIdentity;  // this program's own file
  std::atomic<bool> Storing{false};
  std::atomic<int> HitCount{0};
  std::atomic<int> DamagedCount{0};
  std::atomic<int> StoredCount{0};
  mutable std::mutex Lock;  // guards Problem and Tools
  std::string Problem;
  std::map<std::string, std::string> Tools;
};

}  // namespace larkspan
