// The markup compressor's command line (compress/uMinifyCommand.h) as a
// native method of htmlcompressor.jar's entry class, so that the archive runs
// the native minifier inside its own JVM instead of starting larkspan-minify:
// the JDK's process start loads and spins some sixty classes, which doubles
// the cost of each file. The arguments come as the bytes of the command line
// (the Java strings encoded back in the JVM's own platform encoding). Where
// the JVM's locale could not decode them (no UTF-8 locale: a Chinese path
// becomes question marks), the words are taken from the process's own
// command line instead: main's arguments are its last words.
#include <jni.h>

#include <iostream>
#include <string>
#include <vector>

#include "compress/uMinifyCommand.h"
#include "platform/Process.h"

namespace {

bool IsAscii(const std::string& S) {
  for (unsigned char C : S)
    if (C >= 0x80) return false;
  return true;
}

// The raw words for the decoded ones, when the command line ends with words
// that agree with them wherever the decoded word is plain ASCII.
void PreferRawWords(std::vector<std::string>& Words) {
  const std::vector<std::string> Own = larkspan::OwnCommandLine();
  if (Own.size() <= Words.size()) return;
  const size_t First = Own.size() - Words.size();
  bool Differs = false;
  for (size_t I = 0; I < Words.size(); ++I) {
    const std::string& Raw = Own[First + I];
    if (IsAscii(Words[I]) && Words[I].find('?') == std::string::npos && Raw != Words[I]) return;
    Differs |= Raw != Words[I];
  }
  if (Differs)
    for (size_t I = 0; I < Words.size(); ++I) Words[I] = Own[First + I];
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_larkspan_htmlcompressor_Main_runNative(JNIEnv* Env, jclass,
                                                                              jobjectArray Args) {
  std::vector<std::string> Words;
  const jsize N = Args ? Env->GetArrayLength(Args) : 0;
  for (jsize I = 0; I < N; ++I) {
    auto Bytes = static_cast<jbyteArray>(Env->GetObjectArrayElement(Args, I));
    const jsize L = Bytes ? Env->GetArrayLength(Bytes) : 0;
    std::string Word(size_t(L), '\0');
    if (L > 0) Env->GetByteArrayRegion(Bytes, 0, L, reinterpret_cast<jbyte*>(Word.data()));
    Env->DeleteLocalRef(Bytes);
    Words.push_back(std::move(Word));
  }
  PreferRawWords(Words);
  const int Status = larkspan::RunMinifyCommand(Words, std::cout, std::cerr);
  std::cout.flush();
  std::cerr.flush();
  return Status;
}
