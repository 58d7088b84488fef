// What the catalogue reads from names alone: the date of a day folder, the channel of a
// recording, and the masks that pick a device's recordings out of a day folder. The recorder
// names its files "<name>(<host>_<port>)_<channel>_<YYYY>_<MM>_<DD>_<hh>_<mm>_<ss>.h264" in
// folders "<YYYY>-<MM>-<DD>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

// A wildcard mask whose only wildcard is '*' (any run of characters, also none). The device
// key inside a mask is literal text: a device named "a*b" or "cam[1]?" matches only itself.
// Matching ignores ASCII case, as file masks always did; other bytes compare exactly.
class WildcardMask {
 public:
  WildcardMask& Star();
  WildcardMask& Literal(std::string_view text);
  bool Matches(std::string_view name) const;

 private:
  struct Part {
    bool star = false;
    std::string text;  // lower-case
  };
  std::vector<Part> parts_;
};

// The recordings of every device ("*.h264"), of devices whose name contains `name`, or of the
// device at address `ip` ("*(<ip>_*)..."). The name mask accepts any host inside the
// parentheses, so devices added by host name are found too; the address must be followed by
// '_', so 192.168.1.10 does not find 192.168.1.100.
WildcardMask AllRecordingsMask();
WildcardMask DeviceNameMask(std::string_view name);
WildcardMask DeviceAddressMask(std::string_view ip);

// year * 10000 + month * 100 + day of a day folder "Y-M-D" (decimal fields of 1 to 9 digits,
// so "2024-3-7" is 7 March 2024); nullopt for a name that is not such a date ("backup",
// "2024-02-30", a field too long to read).
std::optional<uint32_t> DayFolderValue(std::string_view name);
// The same value for a date.
uint32_t DateValue(int year, int month, int day);

// The channel of a recording: the digits between the first '_' after the last ')' and the
// next '_' (1 to 8 digits); nullopt when the name has no such field.
std::optional<int> ChannelOfRecording(std::string_view name);

}  // namespace replay
