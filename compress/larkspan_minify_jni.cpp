// The markup compressor's command line (compress/uMinifyCommand.h) as a
// native method of htmlcompressor.jar's entry class, so that the archive runs
// the native minifier inside its own JVM instead of starting larkspan-minify:
// the JDK's process start loads and spins some sixty classes, which doubles
// the cost of each file. The arguments come as the bytes of the command line
// (the Java strings encoded back in the JVM's own platform encoding).
#include <jni.h>

#include <iostream>
#include <string>
#include <vector>

#include "compress/uMinifyCommand.h"

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
  const int Status = larkspan::RunMinifyCommand(Words, std::cout, std::cerr);
  std::cout.flush();
  std::cerr.flush();
  return Status;
}
