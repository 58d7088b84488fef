// The program's own help texts.
#include "nvr/app/setup_commands.h"

namespace nvrapp {

void PrintHelp(std::FILE* out) {
  std::fputs(
      "usage: QV_NVR -service [-watchdog | -autorun]\n"
      "       QV_NVR --COMMAND [ARGUMENTS]\n"
      "\n"
      "The network video recorder. Its files live in the program folder: $QV_NVR_HOME, or the\n"
      "folder of this program when that is not set (config.ini, NVRData/NVR.db, NVRData/Local.dat,\n"
      "NVRData/Schedule.dat, log/ and, by default, storage/ as recording drive C).\n"
      "\n"
      "Running:\n"
      "  -service            record without a window until SIGTERM or SIGINT: devices with a\n"
      "                      schedule are connected and recorded in its slots, devices operated\n"
      "                      by hand get their last state back after an unclean exit, files are\n"
      "                      split, full drives rotated or cleaned up, the watchdog kept informed.\n"
      "                      One line per event on stdout; the daily text log goes to log/.\n"
      "  -service -watchdog  the same, as started again by the watchdog (QV_Watchdog).\n"
      "\n"
      "Setting up (the recorder reads these files when it starts):\n"
      "  --init-db [--password P]\n"
      "      create NVRData/NVR.db with the user admin (a generated password is printed once\n"
      "      when none is given; a password given here shows in the process list), and the\n"
      "      folders log/ and storage/. Never overwrites a database.\n"
      "  --add-device NAME HOST PORT CHANNEL USER PASSWORD [--stream 0|1] [--schedule ID]\n"
      "               [--transport tcp|udp]\n"
      "  --add-device NAME rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH [USER PASSWORD] [--schedule ID]\n"
      "               [--transport tcp|udp]\n"
      "      add a camera channel (CHANNEL 1..4; stream 0 primary, 1 secondary), or any RTSP\n"
      "      camera or server by its URL (recorded as channel 1 of its host and port). RTP comes\n"
      "      interleaved in the RTSP connection unless --transport udp. Without a\n"
      "      schedule the device is operated by hand, which a service cannot do: give devices\n"
      "      that should always record a schedule such as \"everyday 0000 2359\".\n"
      "  --list-devices\n"
      "  --add-schedule NAME DAY START END [DAY START END]...\n"
      "      add a schedule of up to 7 slots and print its id on the first line. DAY is 0..10\n"
      "      or close, sun, mon, tue, wed, thu, fri, sat, weekdays (8), weekend (9), everyday (10);\n"
      "      START and END are HHMM or HH:MM, both minutes included; no slot spans midnight.\n"
      "  --list-schedules\n"
      "  --set split-minutes N        length of one recording file, 1..1440 minutes (60)\n"
      "  --set disk-full stop|delete  when every drive is full: stop recording, or delete the\n"
      "                               earliest recordings (delete)\n"
      "  --set watchdog on|off        start QV_Watchdog and send it heartbeats (off)\n"
      "  --drive LETTER ROOT RESERVE_MB\n"
      "      record on drive LETTER at the folder ROOT (config.ini [DRIVES]), moving on when\n"
      "      its free space falls to RESERVE_MB; drives are used in the order added.\n"
      "  --show-settings\n"
      "  --help\n"
      "\n"
      "Exit status: 0 done, 1 refused or failed (the reason is printed), 2 wrong arguments.\n",
      out);
}

void PrintNoWindow(std::FILE* out) {
  std::fputs(
      "QV_NVR: the windowed recorder is not part of this build.\n"
      "Run the recorder without a window with:  QV_NVR -service\n"
      "Set it up with the commands of:          QV_NVR --help\n",
      out);
}

}  // namespace nvrapp
