// Test helpers for engine tests: a whole run, synchronously, on real folders
// (the folder helpers themselves are in platform/TestUtil.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/uConfig.h"
#include "engine/uEngineRun.h"
#include "platform/FileSystem.h"
#include "platform/TestUtil.h"

namespace larkspan::test {

// What RunEngineToEnd gives, with every percentage reported, in order.
struct TRunResult : TRunOutcome {
  std::vector<int> Progress;
};

// The FileName of each item (kept duplicates, skipped files), in order.
template <typename T>
std::vector<std::string> FileNames(const std::vector<T>& Items) {
  std::vector<std::string> Names;
  for (const T& Item : Items) Names.push_back(Item.FileName);
  return Names;
}

// Runs a whole engine on Root -> Output with Config, the worker handing its
// callbacks to this (main) thread, and waits until the engine is gone.
TRunResult RunEngine(TAppConfig& Config, const std::string& Root, const std::string& Output);

// A settings object with every switch off and no file behind it.
TAppConfig BlankConfig();

// Fake optimisers "gifsicle" and "pngout" written into the folder Bin (to
// be put first on PATH): a picture whose own name holds "bad" makes them
// fail, "capped" makes pngout stop as at its safety cap, any other comes out
// one byte shorter, after a random moment.
void WriteFakeOptimisers(const std::string& Bin);
// A site with every kind of work: duplicates (some still referred to in a
// form the rewriting leaves), rewritten and minified pages, an exception
// file ("except.html"), a script the minifier refuses, pictures the fake
// optimisers fail on, pictures of every kind, a filtered file ("*.bak").
void MakeBusySite(const TTempDir& Site);

// A fake "java" first on PATH stands in for the compressor where the real
// one cannot be made to misbehave: Body gets the destination as $dst and
// the source as $src.
struct TFakeJava {
  TTempDir Bin{"bin"};
  std::unique_ptr<TScopedEnv> Path;
  explicit TFakeJava(const std::string& Body) {
    WriteScript(Bin.Path() + "java",
                "[ $# -eq 0 ] && exit 0\n"
                "prev=; for a; do dst=$prev; prev=$a; done; src=$prev\n" +
                    Body);
    Path = std::make_unique<TScopedEnv>("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  }
};

// A fake "gifsicle" first on PATH (the real one cannot be made to do this):
// Body runs with the result as $dst and the input as $src.
struct TFakeGifsicle {
  TTempDir Bin{"bin"};
  std::unique_ptr<TScopedEnv> Path;
  explicit TFakeGifsicle(const std::string& Body) {
    WriteScript(Bin.Path() + "gifsicle", "dst=$3 src=$4\n" + Body);
    Path = std::make_unique<TScopedEnv>("PATH", Bin.Path() + ":" + GetEnv("PATH"));
  }
};

}  // namespace larkspan::test
