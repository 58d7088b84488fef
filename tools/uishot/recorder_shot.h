// The recorder's windows for the screenshots: the main window over a prepared program folder
// (its devices, a live view, a recording), the full-screen view and the restart tip.
#pragma once

int ShootRecorder(int argc, char** argv);
