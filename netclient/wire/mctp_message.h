// MCTP/1.0, the cameras' line-oriented control protocol on the RTSP port: "CMD:<name>
// MCTP/1.0[ CS]\n", parameter lines of '@'-prefixed numbers, "END\n". The request texts of
// every command, and the checks that decide whether a camera's answer accepts one. Answers
// are read the way the cameras' firmware tools read them: count the lines, then read line 2
// with a fixed numeric format (scan_ints.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "netclient/include/QVNetClient.h"

namespace qvnet {

// Longest answer read by one command transaction.
inline constexpr size_t kMctpAnswerCapacity = 1024;

inline constexpr std::string_view kMctpKeepAlive = "CMD:ALIVE MCTP/1.0 CS\nEND\n";

// Requests.
std::string MctpRegistration(std::string_view session_id, int stream);
std::string MctpMdGet(int stream);
std::string MctpMdSave(int stream, const MDRegionTable& table);
std::string MctpMdSwitch(int stream, bool on);  // start (true) or stop motion detection
std::string MctpAlarmReset(int output);
std::string MctpVideoParamSet(int stream, int v1, int v2, int v3, bool save);
std::string MctpVideoParamGet(int stream);
std::string MctpPtz(int stream, int command, int value);
std::string MctpTalk(int stream, int codec);

// Number of lines of `text`; a final line without a line feed counts too.
int CountLines(std::string_view text);
// Line `index` (from 1) with its line feed, empty when there is no such line.
std::string_view NthLine(std::string_view text, int index);

// Answer checks: true when the answer accepts the command.
bool RegistrationAccepted(std::string_view answer);
bool MdStatusAccepted(std::string_view answer);  // save, start and stop
bool AlarmResetAccepted(std::string_view answer);
bool VideoParamSetAccepted(std::string_view answer);

// The motion-region answer: 18 lines, line 1 holding "CMD:MD MCTP/1.0", lines 2..17 one
// region each. Regions are written into *table one by one as they are read, so a failure
// part-way leaves the regions read so far in it; callers cache the table only on success.
bool ReadMdRegions(std::string_view answer, MDRegionTable* table);

// The video-parameter answer: numbers 3, 4 and 5 of line 2, each kept as one byte.
bool ReadVideoParams(std::string_view answer, uint8_t* v1, uint8_t* v2, uint8_t* v3);

// The talk answer: exactly 2 lines, "CMD:TALK" in line 1, "@a@b@" in line 2 with b = 1.
// *talk_back = (a != 0).
bool ReadTalkAnswer(std::string_view answer, bool* talk_back);

}  // namespace qvnet
