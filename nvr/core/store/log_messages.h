// Every line the recorder writes to its daily text log (text_log.h), as printf formats. The
// texts are part of the product: people and scripts grep for them, so they stay exactly as
// they have always been written, spelling included. A "%d" after "error" is the errno value
// of the failing call.
#pragma once

namespace nvr {

// Watchdog, exit flag, hotkey and shell messages.
inline constexpr char kLogWinexecWatchdogFailed[] = "winexec watchdog failed error:%d\r\n";
inline constexpr char kLogIllegalLastExit[] = "detect qvnvr close illegally last time\r\n";
inline constexpr char kLogReadExitFlagFailed[] =
    "read ini file to get exit parameter failed error :%d\r\n";
inline constexpr char kLogWriteExitFlag0Failed[] = "write ini file exit falg 0 failed error:%d";
inline constexpr char kLogWriteExitFlag1Failed[] = "write ini file exit flag 1 failed error:%d";
inline constexpr char kLogRegistAtomFailed[] = "regist atom id failed error:%d\r\n";
inline constexpr char kLogRegisterHotKeyFailed[] = "RegisterHotKey failed error:%d\r\n";
// Re-registering after the letter changed in the settings.
inline constexpr char kLogReRegisterHotKeyFailed[] = "RegisterHotKey failed error:%d \n";
inline constexpr char kLogRegisterWindowMessageFailed[] =
    "register window message failed error :%d\r\n";
inline constexpr char kLogDogWindowMissing[] = "can't find dog window?????\r\n";

// Disk space management.
// Drive change after the settings: old letter, old reserve, new letter, new reserve.
inline constexpr char kLogChangeDrive[] = "change drive from %c(%d) to %c(%d)\r\n";
inline constexpr char kLogDriveFull[] = "drive %c (free: %d)full\r\n";
// Old letter, old reserve, new letter, new reserve, free megabytes of the new drive.
inline constexpr char kLogChangeDriveReserved[] =
    "change drive from %c(reserved %d) to %c(reserved %d free :%d)\r\n";
inline constexpr char kLogAllDrivesFull[] = "all drives full stop all record \r\n";
inline constexpr char kLogDeleteDirectory[] = "delelte directory %s\r\n";
inline constexpr char kLogAutoDeleteFile[] = "auto delete file: %s \r\n";
inline constexpr char kLogDeleteFileFailed[] = "delete file failed error %d\r\n";
inline constexpr char kLogDeleteFailed20Times[] =
    "error!! delete files failed 20 times stop all record\r\n";
// A drive whose root does not exist (letter, root), and its return.
inline constexpr char kLogDriveAbsent[] = "drive %c (%s) is not there";
inline constexpr char kLogDriveBack[] = "drive %c (%s) is there again";
inline constexpr char kLogNoDrivePresent[] = "no recording drive is there stop all record\r\n";

}  // namespace nvr
