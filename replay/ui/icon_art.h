// The program's own icons, drawn from simple shapes: the transport buttons, the muted and
// sounding speaker, the slider's marks, export, and the program icon.
#pragma once

#include <QIcon>

namespace replay {

enum class IconKind {
  kContinue, kPause, kSlow, kFast, kStep, kSoundOn, kSoundOff, kSnapshot, kMarkStart, kMarkEnd, kExport, kProgram
};

QIcon MakeIcon(IconKind kind);

}  // namespace replay
