// The program's entry sequence.
#pragma once

namespace larkspan {

class TInstanceLock;

// The name of the single-instance lock.
extern const char* const InstanceName;

// Takes the single-instance lock into Lock. When another instance holds it,
// shows the notice "本软件无法同时运行多个实例！" (caption "提示"), gives the
// other instances a best-effort nudge and returns false; also false, with
// the reason on stderr, when no lock file can be made. Touches no settings.
// REQUIRES: a QApplication exists.
bool CheckSingleInstance(TInstanceLock& Lock);

// The whole program: application object, instance check, skin, main
// window, event loop. Returns the exit code (0).
int RunLarkspan(int& Argc, char** Argv);

}  // namespace larkspan
