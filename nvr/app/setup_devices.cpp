// --add-device and --list-devices.
#include <algorithm>
#include <cstring>

#include "nvr/dialogs/model/entry_checks.h"
#include "nvr/app/setup_internal.h"
#include "nvr/core/store/recorder_db.h"
#include "nvr/core/engine/schedule_match.h"
#include "nvr/core/store/settings_files.h"
#include "netclient/wire/rtsp_url.h"

namespace nvrapp {

using nvrdlg::CheckDeviceDuplicates;
using nvrdlg::CheckDeviceFields;
using nvrdlg::kMaxChannels;
using nvrdlg::Refusal;

namespace {

constexpr char kAddDeviceUsage[] =
    "--add-device NAME HOST PORT CHANNEL USER PASSWORD [--stream 0|1] [--schedule ID] [--transport tcp|udp]\n"
    "       QV_NVR --add-device NAME rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH [USER PASSWORD] [--schedule ID]"
    " [--transport tcp|udp]";

bool ScheduleExists(const std::vector<nvr::ScheduleRecord>& schedules, int32_t id) {
  return std::any_of(schedules.begin(), schedules.end(),
                     [id](const nvr::ScheduleRecord& s) { return s.id == id; });
}

bool Complain(const SetupContext& ctx, const char* text) {
  std::fprintf(ctx.io.err, "QV_NVR --add-device: %s\n", text);
  return false;
}

// Schedule and transport, common to both forms.
bool CommonOptions(const SetupContext& ctx, const CommandArgs& a, nvr::DeviceRecord* d) {
  const auto schedule = ParseNumber(a.Option("--schedule").value_or("0"), 0, INT32_MAX);
  const std::string transport = a.Option("--transport").value_or("tcp");
  if (!schedule) return Complain(ctx, "--schedule must be a schedule id (QV_NVR --list-schedules)");
  if (transport != "tcp" && transport != "udp") return Complain(ctx, "--transport must be tcp or udp");
  d->schedule_id = static_cast<int32_t>(*schedule);
  d->transport = transport == "udp" ? 0 : 1;
  return true;
}

// A camera outside the dialect by its URL: host and port come from it (the file names use
// them), the channel is the first, the credentials go into their own fields and the URL is
// stored without them.
[[gnu::noinline]] bool UrlDeviceFromArgs(const SetupContext& ctx, const CommandArgs& a, nvr::DeviceRecord* d) {
  if (a.Option("--stream")) return Complain(ctx, "--stream is for HOST PORT CHANNEL devices; the URL names the stream");
  const std::optional<qvnet::RtspUrl> url = qvnet::ParseRtspUrl(a.positional[1]);
  if (!url) return Complain(ctx, "the URL must read rtsp://[USER:PASSWORD@]HOST[:PORT]/PATH");
  if (url->has_credentials && a.positional.size() == 4) return Complain(ctx, "USER and PASSWORD given twice (in the URL and after it)");
  if (url->request_url.size() >= sizeof(NvrClientParams::address)) return Complain(ctx, "the URL is too long (at most 127 bytes without USER:PASSWORD@)");
  d->name.assign(a.positional[0]);
  d->url = url->host;
  d->rtsp_port = url->port;
  d->channel = 0;
  d->stream_url = url->request_url;
  d->username = a.positional.size() == 4 ? a.positional[2] : url->user;
  d->password = a.positional.size() == 4 ? a.positional[3] : url->password;
  return CommonOptions(ctx, a, d);
}

// The device as typed: port, channel (1..4 as the list shows it), stream and schedule parsed;
// false with a message for a number that is not one.
// Not inlined: g++ 12 then mistakes the record's strings for uninitialised (-Wmaybe-uninitialized).
[[gnu::noinline]] bool DeviceFromArgs(const SetupContext& ctx, const CommandArgs& a, nvr::DeviceRecord* d) {
  if (qvnet::IsRtspUrl(a.positional[1])) return UrlDeviceFromArgs(ctx, a, d);
  d->name.assign(a.positional[0]);
  d->url.assign(a.positional[1]);
  d->username.assign(a.positional[4]);
  d->password.assign(a.positional[5]);
  const auto port = ParseNumber(a.positional[2], 1, 65535);
  const auto channel = ParseNumber(a.positional[3], 1, kMaxChannels);
  const auto stream = ParseNumber(a.Option("--stream").value_or("0"), 0, 1);
  const char* bad = !port       ? "PORT must be 1 to 65535"
                    : !channel  ? "CHANNEL must be 1 to 4"
                    : !stream   ? "--stream must be 0 (primary) or 1 (secondary)"
                                : nullptr;
  if (bad != nullptr) return Complain(ctx, bad);
  d->rtsp_port = static_cast<uint16_t>(*port);
  d->channel = static_cast<int32_t>(*channel - 1);
  d->stream_type = static_cast<int32_t>(*stream);
  return CommonOptions(ctx, a, d);
}

const char* OpStateName(int32_t op_state) {
  switch (op_state) {
    case 1: return "connected";
    case 2: return "recording";
    default: return "disconnected";
  }
}

}  // namespace

int AddDeviceCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  CommandArgs a;
  // NAME HOST PORT CHANNEL USER PASSWORD, or NAME URL [USER PASSWORD].
  const bool split = SplitArgs(args, {"--stream", "--schedule", "--transport"}, &a, ctx.io.err);
  const size_t n = a.positional.size();
  const bool by_url = n >= 2 && qvnet::IsRtspUrl(a.positional[1]);
  if (!split || (by_url ? n != 2 && n != 4 : n != 6)) return Usage(ctx, kAddDeviceUsage);
  nvr::DeviceRecord device;
  if (!DeviceFromArgs(ctx, a, &device)) return kExitUsage;
  const std::vector<nvr::ScheduleRecord> schedules =
      LoadSchedules(ctx);
  if (device.schedule_id != 0 && !ScheduleExists(schedules, device.schedule_id)) {
    std::fprintf(ctx.io.err, "QV_NVR --add-device: no schedule has the id %d\n", device.schedule_id);
    return kExitFailed;
  }
  Refusal refusal = CheckDeviceFields(&device, ctx.language);
  nvr::DbConnection conn;
  if (!refusal && !OpenDatabase(ctx, &conn)) return kExitFailed;
  nvr::RecorderDb db(conn);
  if (!refusal) refusal = CheckDeviceDuplicates(db, device, ctx.language);
  if (refusal) {
    std::fprintf(ctx.io.err, "%s\n", refusal->c_str());
    return kExitFailed;
  }
  // The insert leaves the schedule at 0; the recorder then stores the chosen one.
  if (!db.InsertDevice(device) ||
      (device.schedule_id != 0 && !db.SetScheduleId(device.name, device.schedule_id))) {
    std::fprintf(ctx.io.err, "%s\n", nvr::LoadString(nvr::kStrDeviceAddFailed, ctx.language));
    return kExitFailed;
  }
  const std::string where = device.stream_url.empty()
                                ? device.url + ":" + std::to_string(device.rtsp_port) + ", channel " +
                                      std::to_string(device.channel + 1)
                                : device.stream_url;
  std::fprintf(ctx.io.out, "added %s (%s, %s)%s\n", device.name.c_str(), where.c_str(),
               device.transport == 0 ? "UDP" : "TCP",
               device.schedule_id != 0 ? " on its schedule" : " (operated by hand)");
  NoteRunningRecorder(ctx);
  return kExitOk;
}

int ListDevicesCommand(const SetupContext& ctx, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage(ctx, "--list-devices");
  nvr::DbConnection conn;
  if (!OpenDatabase(ctx, &conn)) return kExitFailed;
  nvr::RecorderDb db(conn);
  std::vector<nvr::DeviceRecord> devices;
  if (!db.AllDevices(&devices)) {
    std::fprintf(ctx.io.err, "%s\n", nvr::LoadString(nvr::kStrReadDbFailed, ctx.language));
    return kExitFailed;
  }
  const std::vector<nvr::ScheduleRecord> schedules =
      LoadSchedules(ctx);
  std::fprintf(ctx.io.out, "%-3s %-24s %-28s %-7s %-9s %s\n", "#", "NAME", "ADDRESS", "CHANNEL",
               "STREAM", "SCHEDULE");
  int number = 0;
  for (const nvr::DeviceRecord& d : devices) {
    const std::string address =
        (d.stream_url.empty() ? d.url + ":" + std::to_string(d.rtsp_port) : d.stream_url) + (d.transport == 0 ? " (UDP)" : "");
    std::string schedule;
    if (d.schedule_id == 0) {
      schedule = std::string("- (by hand, last ") + OpStateName(d.op_state) + ")";
    } else {
      const std::string name = nvr::ScheduleName(schedules, d.schedule_id);
      schedule = (name.empty() ? "(missing)" : name) + " [" + std::to_string(d.schedule_id) + "]";
    }
    std::fprintf(ctx.io.out, "%-3d %-24s %-28s %-7d %-9s %s\n", ++number, d.name.c_str(),
                 address.c_str(), d.channel + 1, d.stream_type == 0 ? "primary" : "secondary",
                 schedule.c_str());
  }
  if (devices.empty()) std::fprintf(ctx.io.out, "(no devices; add one with QV_NVR --add-device)\n");
  return kExitOk;
}

}  // namespace nvrapp
