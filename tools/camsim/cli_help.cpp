#include "tools/camsim/cli.h"

namespace camsim {

const char* UsageText() {
  return R"(usage: qv_camsim [options]

A camera simulator for tests and demos: each camera serves RTSP/1.0 (H.264 or motion JPEG
video, G.711 or G.726 audio, RTP over UDP or interleaved TCP, optional Digest) and the MCTP/1.0
control channel (motion, alarm, keep-alive, settings, talk) on one TCP port.

Cameras and network:
  --cameras N            serve N cameras on ports P .. P+N-1 (default 1)
  --port P               first port (default 8554)
  --bind ADDR            IPv4 address to listen on (default 127.0.0.1)

Video:
  --video h264|jpeg      codec (default h264, payload type 96; jpeg is payload type 26)
  --size WxH             picture size, even numbers (default 704x576)
  --fps N                frames per second, 1..60 (default 25)
  --kbps N               H.264 bit rate in kbit/s (default 4096); also announced in the
                         "Server:" line of the DESCRIBE answer
  --h264-file PATH       stream this Annex B file (looped) instead of the test pattern;
                         --size and --fps must then describe it
  --clip-seconds N       length of the encoded clip that is looped (default 4)
  --jpeg-qscale N        JPEG quantizer 1 (best) .. 31 (default 4)
  --mtu N                largest RTP packet in bytes, 200..65000 (default 1400); larger
                         H.264 NAL units go as FU-A fragments
  --stap-a               send SPS and PPS together in one STAP-A packet
  --rtp-extras           RTP packets with two CSRCs, a header extension and padding

Audio:
  --audio CODEC          none|pcma|pcmu|g726-16|g726-24|g726-32|g726-40 (default pcma);
                         one RTP packet of 320 samples every 40 ms; "unknown" sends A-law
                         under an encoding name no client knows

RTSP behaviour:
  --user NAME            demand Digest authentication with this user name
  --password TEXT        ... and this password
  --realm TEXT           Digest realm (default QVCamSim)
  --refuse-auth 401|403  answer every authenticated DESCRIBE with this code, even when
                         the password is right
  --no-server-header     omit the "Server: QuorValenta Rtsp Server W*H*FPS*KBPS" line
  --server-text TEXT     send TEXT after "Server: QuorValenta Rtsp Server " instead
  --session-timeout      append ";timeout=60" to the Session header
  --session-timeout-s N  ... with N seconds instead of 60
  --long-session-id      use 40-digit session ids
  --text-session-id      session ids of letters, digits and a dash ("QvS-3f9a...")
  --split-answers        send every RTSP answer in three pieces 20 ms apart (status line,
                         rest of the header, body)
  --no-get-parameter     answer GET_PARAMETER with 501 Not Implemented
  --one-track            SDP names only trackID=0 (audio without a control attribute)
  --slow MS              delay every RTSP and MCTP answer by MS milliseconds
  --pause-video SECONDS  stop video for SECONDS (audio goes on), once, on the first PLAY
  --pause-after SECONDS  ... starting this long after that PLAY (default 2)
  --drop SECONDS         close the first playing RTSP connection SECONDS after its PLAY

MCTP behaviour:
  --silent               do not answer keep-alives
  --talk-back on|off     send voice back during talk (default on)
  --refuse-talk          refuse talk sessions
  --mctp-fault KIND      none|wrong-lines|garbage: answers and events with a wrong number
                         of lines or with unreadable numbers

Discovery:
  --discovery            answer device discovery requests (UDP 6789, multicast group
                         224.111.111.1 and broadcast) as one camera on the first camera's
                         RTSP port; only requests from this machine's own addresses are
                         answered
  --discovery-model TEXT the model it announces (default IPCAMERA; recorders list DVS
                         and IPCAMERA only)
  --discovery-name TEXT  the device name it announces (default QVCamSim)
  --discovery-channels N the number of channels it announces, 0..255 (default 1)
  --discovery-port P     listen for requests on P instead of 6789

Logs and control:
  --log-dir DIR          write per camera: camN_requests.log (every request received),
                         camN_sK_video.h264 (00 00 01 + each NAL unit sent) or .mjpeg,
                         camN_sK_audio.*, camN_sK_frames.log (tick, kind, RTP time, size)
                         and camN_talk.log, for each playing session K
  --control PATH         also accept commands on a Unix stream socket at PATH
  --no-stdin             do not read commands from standard input
  --help                 this text

Commands (one per line on stdin or the control socket; each is answered "ok" or "error"):
  motion CAM MASK, alarm CAM VALUE, pause CAM SECONDS, drop CAM,
  refuse-auth CAM on|off|403, slow CAM MS, talk-back CAM on|off, silent CAM on|off,
  flood CAM, fault CAM none|wrong-lines|garbage, list, help, quit
  CAM is a camera index (0 = first), its port, or * for all cameras.
)";
}

}  // namespace camsim
