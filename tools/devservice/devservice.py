#!/usr/bin/env python3
"""Start the Nimbra service simulator.

    python3 tools/devservice/devservice.py --port 0 --port-file /tmp/port

Prints "devservice listening on http://HOST:PORT" once the socket listens and
runs until SIGTERM or SIGINT (exit status 0).
"""

from __future__ import annotations

import argparse
import math
import os
import signal
import sys
import tempfile
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from nimbra_dev import accounts, catalog, purchase  # noqa: E402
from nimbra_dev.server import DEFAULT_SKEW_SECONDS, make_server  # noqa: E402


def parse_args(argv: list[str] | None) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description="Nimbra service API simulator (in memory).")
    parser.add_argument("--port", type=int, required=True, help="TCP port; 0 picks a free one")
    parser.add_argument("--host", default="127.0.0.1", help="address to bind (default: loopback)")
    parser.add_argument("--port-file", help="write the bound port to this file once listening")
    parser.add_argument("--quiet", action="store_true", help="no per-request log lines")
    parser.add_argument(
        "--stop-without-port-file",
        action="store_true",
        help="stop once the port file is removed (for a caller that cannot signal this process)",
    )
    parser.add_argument(
        "--skew-seconds",
        type=float,
        default=DEFAULT_SKEW_SECONDS,
        help="accepted clock difference of signed requests, in seconds (default: %(default)g)",
    )
    parser.add_argument(
        "--clock-offset",
        type=float,
        default=0.0,
        help="seconds the service's clock runs ahead of this machine's (negative: behind), as a "
        "client with a wrong clock sees it (default: %(default)g)",
    )
    parser.add_argument(
        "--path-prefix",
        default="",
        help="serve under this path prefix (e.g. /api); signatures cover the path after it",
    )
    parser.add_argument(
        "--sms-interval",
        type=float,
        default=accounts.DEFAULT_SMS_INTERVAL,
        help="seconds before the same phone may get another SMS code (default: %(default)g)",
    )
    parser.add_argument(
        "--sms-code-ttl",
        type=float,
        default=accounts.DEFAULT_SMS_CODE_TTL,
        help="seconds an SMS code stays usable (default: %(default)g)",
    )
    parser.add_argument(
        "--token-ttl",
        type=float,
        default=accounts.DEFAULT_TOKEN_TTL,
        help="seconds a sign-in token can be refreshed (default: %(default)g, 30 days)",
    )
    parser.add_argument(
        "--join-interval",
        type=float,
        default=purchase.DEFAULT_JOIN_INTERVAL,
        help="seconds between simulated members joining a team a real account is in; 0: none "
        "(default: %(default)g)",
    )
    parser.add_argument(
        "--hostile-catalogue",
        action="store_true",
        help="add a game whose texts are markup and %d more categories" % catalog.EXTRA_CATEGORIES,
    )
    args = parser.parse_args(argv)
    if not 0 <= args.port <= 65535:
        parser.error("--port must be 0..65535")
    if args.skew_seconds < 0:
        parser.error("--skew-seconds must not be negative")
    if not (math.isfinite(args.sms_interval) and args.sms_interval >= 0):
        parser.error("--sms-interval must be a non-negative number")
    if not all(math.isfinite(v) and v > 0 for v in (args.sms_code_ttl, args.token_ttl)):
        parser.error("--sms-code-ttl and --token-ttl must be positive numbers")
    if not (math.isfinite(args.join_interval) and args.join_interval >= 0):
        parser.error("--join-interval must be a non-negative number")
    if not math.isfinite(args.clock_offset):
        parser.error("--clock-offset must be a number")
    if args.path_prefix and not args.path_prefix.startswith("/"):
        parser.error("--path-prefix must start with '/'")
    return args


def write_port_file(path: str, port: int) -> None:
    # Temp file + rename, so a poller never reads a half-written number.
    target = Path(path)
    fd, tmp = tempfile.mkstemp(prefix=".port-", dir=target.parent if str(target.parent) else ".")
    try:
        with os.fdopen(fd, "w", encoding="ascii") as f:
            f.write(f"{port}\n")
        os.replace(tmp, target)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def main(argv: list[str] | None = None) -> int:
    args = parse_args(argv)
    server = make_server(
        args.host,
        args.port,
        skew_seconds=args.skew_seconds,
        clock_offset=args.clock_offset,
        quiet=args.quiet,
        path_prefix=args.path_prefix,
        options={
            accounts.OPTION_SMS_INTERVAL: args.sms_interval,
            accounts.OPTION_SMS_CODE_TTL: args.sms_code_ttl,
            accounts.OPTION_TOKEN_TTL: args.token_ttl,
            purchase.OPTION_JOIN_INTERVAL: args.join_interval,
            catalog.OPTION_HOSTILE: args.hostile_catalogue,
        },
    )

    def on_signal(signum: int, frame: object) -> None:
        # shutdown() waits for serve_forever, which runs on this very thread.
        threading.Thread(target=server.stop, daemon=True).start()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    # A test that crashes never stops its service; leaving with the parent keeps none behind.
    parent = os.getppid()
    port_file_written = threading.Event()

    def watch_parent() -> None:
        while not server.state.stopping.wait(0.5):
            # Also when its port file is gone: a test removes it to stop a service it cannot signal
            # (a Windows test under wine, whose host python it started).
            gone = (
                args.stop_without_port_file
                and port_file_written.is_set()
                and not os.path.exists(args.port_file)
            )
            if os.getppid() != parent or gone:
                server.stop()
                return

    threading.Thread(target=watch_parent, daemon=True).start()

    host = server.server_address[0]
    shown_host = f"[{host}]" if ":" in host else host
    try:
        if args.port_file:
            write_port_file(args.port_file, server.port)
            port_file_written.set()
        print(f"devservice listening on http://{shown_host}:{server.port}{args.path_prefix.rstrip('/')}", flush=True)
        for line in server.announcements:
            print(line, flush=True)
        server.serve_forever(poll_interval=0.1)
    finally:
        server.state.stopping.set()
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
