#!/usr/bin/python3
"""GStreamer's RTSP server as a test peer for the interop tests, on 127.0.0.1 only.

Serves an H.264 Annex B file and a mu-law WAV file (both made by the test with ffmpeg) on
several mounts, each a server layout the recorder meets in the field:

  first server (open mounts and Basic authentication):
    /av          video then PCMU audio, default control names (stream=0, stream=1); SPS and
                 PPS aggregated into STAP-A packets
    /video       video only, one track; packets up to 60000 bytes (no FU-A)
    /audiofirst  PCMU audio listed before the video
    /jpeg        motion JPEG from a test pattern, as RFC 2435 scan data
    /basic       as /av, user "viewer" password "se:cret" by Basic authentication
  second server:
    /digest      as /av, the same account by Digest authentication

Prints "READY <first port> <second port>" once both listen, then serves until killed.
Run with Debian's /usr/bin/python3 (its gi modules); the pyenv python cannot load them.
"""
import argparse
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

USER = "viewer"
PASSWORD = "se:cret"


def video(path, pay, extra=""):
    return f"filesrc location={path} ! h264parse ! rtph264pay name={pay} pt=96 {extra}"


def audio(path, pay):
    return f"filesrc location={path} ! wavparse ! rtppcmupay name={pay}"


def factory(launch, roles):
    f = GstRtspServer.RTSPMediaFactory()
    f.set_launch(f"( {launch} )")
    f.set_shared(False)
    permissions = GstRtspServer.RTSPPermissions()
    # Everyone may see a mount (else the server answers 404); only `roles` may play it (the
    # others get 401 and a challenge).
    for role in ["anonymous", "user"]:
        permissions.add_permission_for_role(role, "media.factory.access", True)
        permissions.add_permission_for_role(role, "media.factory.construct", role in roles)
    f.set_permissions(permissions)
    return f


def token(role):
    t = GstRtspServer.RTSPToken()
    t.set_string("media.factory.role", role)
    return t


def make_server(methods, mounts):
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service("0")
    auth = GstRtspServer.RTSPAuth()
    auth.set_supported_methods(methods)
    auth.set_default_token(token("anonymous"))
    if methods == GstRtsp.RTSPAuthMethod.BASIC:
        auth.add_basic(GstRtspServer.RTSPAuth.make_basic(USER, PASSWORD), token("user"))
    else:
        auth.add_digest(USER, PASSWORD, token("user"))
    server.set_auth(auth)
    points = server.get_mount_points()
    for path, f in mounts.items():
        points.add_factory(path, f)
    if server.attach(None) == 0:
        sys.exit("cannot listen")
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--h264", required=True)
    parser.add_argument("--wav", required=True)
    args = parser.parse_args()
    Gst.init(None)
    open_roles = ["anonymous", "user"]
    av = video(args.h264, "pay0", "aggregate-mode=zero-latency") + " " + audio(args.wav, "pay1")
    first = make_server(GstRtsp.RTSPAuthMethod.BASIC, {
        "/av": factory(av, open_roles),
        "/video": factory(video(args.h264, "pay0", "mtu=60000"), open_roles),
        "/audiofirst": factory(audio(args.wav, "pay0") + " " + video(args.h264, "pay1"), open_roles),
        "/jpeg": factory("videotestsrc is-live=true pattern=ball ! video/x-raw,format=I420,width=320,height=240,framerate=10/1"
                         " ! jpegenc quality=70 ! rtpjpegpay name=pay0", open_roles),
        "/basic": factory(av, ["user"]),
    })
    second = make_server(GstRtsp.RTSPAuthMethod.DIGEST, {"/digest": factory(av, ["user"])})
    print(f"READY {first.get_bound_port()} {second.get_bound_port()}", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
