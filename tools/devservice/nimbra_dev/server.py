"""HTTP front of the simulator: state, route tables, reply envelope, request handler.

A service module declares its endpoints with one line per path:

    routes = RouteTable()

    @routes.post("/accelerator/node/list", signed=True)
    def node_list(ctx):
        return {"list": [...]}          # -> {"code": 1, "msg": "ok", "data": {...}}

A handler returns the ``data`` of a successful reply, raises ServiceError for a
failure envelope, or returns a Reply (any HTTP status and body) or NO_REPLY
(drop the connection without answering) for transport-level tricks.
"""

from __future__ import annotations

import importlib
import json
import re
import socket
import sys
import threading
import time
import traceback
from dataclasses import dataclass, field, replace
from email.message import Message
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Any, Callable, Iterable, TextIO

from . import SERVICE_MODULES, signing
from .sessions import NonceCache, SessionStore

CODE_OK = 1
CODE_FAIL = 0
CODE_BAD_REQUEST = 400
CODE_INVALID_TOKEN = 401
CODE_NOT_FOUND = 404
CODE_METHOD_NOT_ALLOWED = 405
CODE_TOO_LARGE = 413
CODE_INTERNAL = 500

MSG_BAD_REQUEST = "bad request"
MSG_INVALID_TOKEN = "invalid token"

DEFAULT_SKEW_SECONDS = 300.0
MAX_BODY_BYTES = 4 * 1024 * 1024

JSON_CONTENT_TYPE = "application/json; charset=utf-8"

# Marks "no msg key at all" in an envelope, as opposed to an empty msg.
OMIT = object()


# ---------------------------------------------------------------------------
# Replies


@dataclass(frozen=True)
class Reply:
    status: int
    body: bytes
    content_type: str = JSON_CONTENT_TYPE
    # What the request log shows as the reply code ("-" when there is none).
    log_code: Any = "-"
    headers: tuple[tuple[str, str], ...] = ()


# Returned by a handler that wants the connection closed without any answer.
NO_REPLY = object()


def json_bytes(value: Any) -> bytes:
    return json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def envelope(code: Any, msg: Any = OMIT, data: Any = None, *, status: int = 200) -> Reply:
    obj: dict[str, Any] = {"code": code}
    if msg is not OMIT:
        obj["msg"] = msg
    obj["data"] = data
    return Reply(status, json_bytes(obj), log_code=code)


def ok(data: Any = None) -> Reply:
    return envelope(CODE_OK, "ok", data)


class ServiceError(Exception):
    """Raised by a handler to answer a failure envelope (HTTP 200, data null)."""

    def __init__(self, code: Any, msg: Any = OMIT, *, reason: str | None = None, data: Any = None) -> None:
        super().__init__(reason or (msg if isinstance(msg, str) else str(code)))
        self.code = code
        self.msg = msg
        self.data = data
        # Extra detail for the request log only; never sent to the client.
        self.reason = reason


def bad_request(reason: str | None = None) -> ServiceError:
    return ServiceError(CODE_BAD_REQUEST, MSG_BAD_REQUEST, reason=reason)


# ---------------------------------------------------------------------------
# State


class State:
    """All in-memory data of one running service, guarded by one re-entrant lock.

    Service modules keep their data in an area: ``ctx.state.area("catalog",
    CatalogData)`` creates it on first use and returns the same object after
    that; mutate it under ``with ctx.state.lock:``.
    """

    def __init__(
        self,
        *,
        skew_seconds: float = DEFAULT_SKEW_SECONDS,
        clock: Callable[[], float] = time.time,
        options: dict[str, Any] | None = None,
    ) -> None:
        self.lock = threading.RLock()
        self.skew_seconds = float(skew_seconds)
        self.clock = clock
        # Settings of individual service modules (command-line options); each
        # module reads its own keys with its own defaults.
        self.options: dict[str, Any] = dict(options or {})
        self.sessions = SessionStore(self.lock)
        self.nonces = NonceCache(self.lock)
        # Set when the server shuts down, so sleeping handlers wake up.
        self.stopping = threading.Event()
        self._areas: dict[str, Any] = {}

    def area(self, name: str, factory: Callable[[], Any]) -> Any:
        with self.lock:
            if name not in self._areas:
                self._areas[name] = factory()
            return self._areas[name]


# ---------------------------------------------------------------------------
# Routing


@dataclass
class Context:
    state: State
    path: str
    headers: Message
    raw_body: bytes
    # The parsed JSON object for routes with json_body=True, else None.
    body: Any = None
    # Filled in for signed routes once the signature has been verified.
    guid: int | None = None
    device_id: str | None = None
    body_sha256: str | None = None
    notes: list[str] = field(default_factory=list)
    # Writes a line of its own to the console even under --quiet (e.g. an SMS
    # code a developer has to read).
    console: Callable[[str], None] = lambda text: None
    # "http://host:port[/prefix]" as this request addressed the service, for
    # absolute links back to it (picture URLs).
    base_url: str = ""

    def note(self, text: str) -> None:
        """Add a remark to this request's log line (never put secrets here)."""
        self.notes.append(text)


Handler = Callable[[Context], Any]
# Runs once when the server is built (seeding data); returns lines for stdout.
StartHook = Callable[[State], Iterable[str]]
# Answers GET/HEAD of one file below a static mount: (content type, bytes), or
# None for 404. Gets the path after the mount's prefix.
StaticProvider = Callable[[State, str], "tuple[str, bytes] | None"]


@dataclass(frozen=True)
class Route:
    path: str
    handler: Handler
    signed: bool = False
    # False lets a handler see any body bytes (test endpoints that ignore or
    # leniently parse the body); True insists on a JSON object.
    json_body: bool = True


class RouteTable:
    def __init__(self) -> None:
        self._routes: dict[str, Route] = {}
        self._start_hooks: list[StartHook] = []
        self._static: dict[str, StaticProvider] = {}

    def add(self, path: str, handler: Handler, *, signed: bool = False, json_body: bool = True) -> None:
        if not path.startswith("/"):
            raise ValueError(f"route path must start with '/': {path!r}")
        if path in self._routes:
            raise ValueError(f"duplicate route {path}")
        self._routes[path] = Route(path, handler, signed, json_body)

    def post(self, path: str, *, signed: bool = False, json_body: bool = True) -> Callable[[Handler], Handler]:
        def register(handler: Handler) -> Handler:
            self.add(path, handler, signed=signed, json_body=json_body)
            return handler

        return register

    def static(self, prefix: str) -> Callable[[StaticProvider], StaticProvider]:
        """Decorator: ``provider(state, name)`` answers GET and HEAD of ``prefix + name``."""

        def register(provider: StaticProvider) -> StaticProvider:
            self.add_static(prefix, provider)
            return provider

        return register

    def add_static(self, prefix: str, provider: StaticProvider) -> None:
        if not (prefix.startswith("/") and prefix.endswith("/") and len(prefix) > 1):
            raise ValueError(f"static prefix must be '/name/': {prefix!r}")
        if prefix in self._static:
            raise ValueError(f"duplicate static prefix {prefix}")
        self._static[prefix] = provider

    def static_for(self, path: str) -> tuple[StaticProvider, str] | None:
        """The provider of the mount holding ``path`` and the name below it."""
        for prefix, provider in self._static.items():
            if path.startswith(prefix):
                return provider, path[len(prefix):]
        return None

    def on_start(self, hook: StartHook) -> StartHook:
        """Decorator: run ``hook(state)`` when the server is built; it returns lines to announce."""
        self._start_hooks.append(hook)
        return hook

    def include(self, other: "RouteTable") -> None:
        for route in other:
            self.add(route.path, route.handler, signed=route.signed, json_body=route.json_body)
        for prefix, provider in other._static.items():
            self.add_static(prefix, provider)
        self._start_hooks.extend(other._start_hooks)

    def start(self, state: State) -> list[str]:
        lines: list[str] = []
        for hook in self._start_hooks:
            lines.extend(hook(state) or ())
        return lines

    def get(self, path: str) -> Route | None:
        return self._routes.get(path)

    def __iter__(self):
        return iter(list(self._routes.values()))

    def __len__(self) -> int:
        return len(self._routes)


def build_routes(module_names: Iterable[str] = SERVICE_MODULES) -> RouteTable:
    table = RouteTable()
    for name in module_names:
        module = importlib.import_module(f"{__package__}.{name}")
        table.include(module.routes)
    return table


# ---------------------------------------------------------------------------
# Logging


def _printable(text: str) -> str:
    return "".join(c if c.isprintable() else "?" for c in text)


class RequestLog:
    """One line per request on a stream (stderr); writes are serialised."""

    def __init__(self, stream: TextIO | None = None, *, quiet: bool = False) -> None:
        self._stream = stream if stream is not None else sys.stderr
        self._quiet = quiet
        self._lock = threading.Lock()

    def _write(self, line: str) -> None:
        stamp = time.strftime("%H:%M:%S") + f".{int(time.time() * 1000) % 1000:03d}"
        with self._lock:
            try:
                self._stream.write(f"{stamp} {line}\n")
                self._stream.flush()
            except (OSError, ValueError):
                pass

    def request(self, method: str, path: str, status: Any, code: Any, elapsed_ms: float, notes: list[str]) -> None:
        if self._quiet:
            return
        line = f"{_printable(method)} {_printable(path)} {status} code={code} {elapsed_ms:.0f}ms"
        if notes:
            line += " [" + "; ".join(_printable(n) for n in notes) + "]"
        self._write(line)

    def error(self, text: str) -> None:
        self._write("error: " + _printable(text))

    def console(self, text: str) -> None:
        # Not a request line, so --quiet does not hide it.
        self._write(_printable(text))


# ---------------------------------------------------------------------------
# HTTP

# Host header values trusted to build links back to this service.
_HOST_RE = re.compile(r"(?:[A-Za-z0-9.-]+|\[[0-9A-Fa-f:.]+\])(?::[0-9]{1,5})?")


class DevServer(ThreadingHTTPServer):
    # Hanging or slow handlers must never hold up shutdown.
    daemon_threads = True
    allow_reuse_address = True

    def __init__(
        self,
        address: tuple[str, int],
        *,
        state: State | None = None,
        routes: RouteTable | None = None,
        log: RequestLog | None = None,
        path_prefix: str = "",
    ) -> None:
        if ":" in address[0]:
            self.address_family = socket.AF_INET6
        self.state = state if state is not None else State()
        self.routes = routes if routes is not None else build_routes()
        self.log = log if log is not None else RequestLog()
        self.path_prefix = path_prefix.rstrip("/")
        super().__init__(address, DevRequestHandler)
        # Lines the service modules want shown on stdout once listening.
        self.announcements = self.routes.start(self.state)

    @property
    def port(self) -> int:
        return self.server_address[1]

    def stop(self) -> None:
        """Wake sleeping handlers and end serve_forever (call from another thread)."""
        self.state.stopping.set()
        self.shutdown()


class DevRequestHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "NimbraDevService/1"
    server: DevServer

    # -- every method except POST: GET and HEAD of static files, else 405 ---

    def do_GET(self) -> None:
        self._serve_static(with_body=True)

    def do_HEAD(self) -> None:
        self._serve_static(with_body=False)

    def _serve_static(self, *, with_body: bool) -> None:
        path = self.path.split("?", 1)[0]
        route_path = self._strip_prefix(path)
        mount = self.server.routes.static_for(route_path) if route_path is not None else None
        if mount is None:
            self._method_not_allowed()
            return
        started = time.monotonic()
        notes: list[str] = []
        if self.headers.get("Content-Length", "0") != "0" or self.headers.get("Transfer-Encoding"):
            # A body is never read here, so the connection cannot be reused.
            self.close_connection = True
        provider, name = mount
        try:
            found = provider(self.server.state, name)
        except Exception as exc:
            notes.append(f"handler error {type(exc).__name__}")
            self.server.log.error(
                f"{path}: {type(exc).__name__}\n" + "".join(traceback.format_tb(exc.__traceback__)).rstrip()
            )
            reply = envelope(CODE_INTERNAL, "internal error", status=500)
        else:
            if found is None:
                reply = envelope(CODE_NOT_FOUND, "not found", status=404)
            else:
                reply = Reply(200, found[1], content_type=found[0])
        try:
            self._send(reply, with_body=with_body)
        except OSError as exc:
            notes.append(f"client went away ({type(exc).__name__})")
            self.close_connection = True
        self._log(self.command, path, reply.status, reply.log_code, started, notes)

    def __getattr__(self, name: str):
        # BaseHTTPRequestHandler looks up do_<METHOD>; answer 405 for all of them.
        if name.startswith("do_"):
            return self._method_not_allowed
        raise AttributeError(name)

    def _method_not_allowed(self) -> None:
        started = time.monotonic()
        path = self.path.split("?", 1)[0]
        # The body (if any) is not read, so the connection cannot be reused.
        self.close_connection = True
        reply = replace(
            envelope(CODE_METHOD_NOT_ALLOWED, "method not allowed", status=405),
            headers=(("Allow", "POST"),),
        )
        self._send(reply, with_body=self.command != "HEAD")
        self._log(self.command, path, reply.status, reply.log_code, started, [])

    # -- POST ----------------------------------------------------------------

    def do_POST(self) -> None:
        started = time.monotonic()
        path = self.path.split("?", 1)[0]
        notes: list[str] = []
        try:
            reply = self._dispatch(path, notes)
        except Exception as exc:  # a handler bug must not kill the connection thread silently
            # Only the type and the stack: exception texts may quote request data.
            notes.append(f"handler error {type(exc).__name__}")
            self.server.log.error(
                f"{path}: {type(exc).__name__}\n" + "".join(traceback.format_tb(exc.__traceback__)).rstrip()
            )
            reply = envelope(CODE_INTERNAL, "internal error", status=500)
        if reply is NO_REPLY:
            self.close_connection = True
            notes.append("closed without reply")
            self._log("POST", path, "-", "-", started, notes)
            return
        try:
            self._send(reply)
        except OSError as exc:
            notes.append(f"client went away ({type(exc).__name__})")
            self.close_connection = True
        self._log("POST", path, reply.status, reply.log_code, started, notes)

    def _dispatch(self, path: str, notes: list[str]) -> Any:
        raw_body, problem = self._read_body()
        if problem is not None:
            self.close_connection = True
            notes.append(problem[1])
            return problem[0]

        route_path = self._strip_prefix(path)
        route = self.server.routes.get(route_path) if route_path is not None else None
        if route is None:
            return envelope(CODE_NOT_FOUND, "not found", status=404)

        state = self.server.state
        ctx = Context(state=state, path=route_path, headers=self.headers, raw_body=raw_body, notes=notes,
                      console=self.server.log.console, base_url=self._base_url())

        if route.signed:
            try:
                verified = signing.verify(
                    path=route_path,
                    get_header=self.headers.get_all,
                    body=raw_body,
                    sessions=state.sessions,
                    nonces=state.nonces,
                    now=state.clock(),
                    window=state.skew_seconds,
                )
            except signing.SignatureError as exc:
                notes.append(exc.reason)
                return envelope(CODE_INVALID_TOKEN, MSG_INVALID_TOKEN, exc.data)
            ctx.guid = verified.guid
            ctx.device_id = verified.device_id
            ctx.body_sha256 = verified.body_sha256

        try:
            if route.json_body:
                ctx.body = self._json_object(raw_body)
            result = route.handler(ctx)
        except ServiceError as exc:
            if exc.reason:
                notes.append(exc.reason)
            return envelope(exc.code, exc.msg, exc.data)
        if result is NO_REPLY or isinstance(result, Reply):
            return result
        return ok(result)

    def _base_url(self) -> str:
        # The Host the client used, so links work whether it dialled 127.0.0.1,
        # localhost or [::1]; the socket's own address when that header is unusable.
        host = (self.headers.get("Host") or "").strip()
        if not _HOST_RE.fullmatch(host):
            address, port = self.connection.getsockname()[:2]
            host = f"[{address}]:{port}" if ":" in address else f"{address}:{port}"
        return f"http://{host}{self.server.path_prefix}"

    def _strip_prefix(self, path: str) -> str | None:
        prefix = self.server.path_prefix
        if not prefix:
            return path
        if path == prefix:
            return "/"
        if path.startswith(prefix + "/"):
            return path[len(prefix):]
        return None

    def _read_body(self) -> tuple[bytes, tuple[Reply, str] | None]:
        if self.headers.get("Transfer-Encoding"):
            # Qt posts byte arrays with a Content-Length; nothing here needs chunked bodies.
            reply = envelope(CODE_BAD_REQUEST, MSG_BAD_REQUEST, status=411)
            return b"", (reply, "chunked body not supported")
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            return b"", None
        try:
            length = int(length_text)
            if length < 0:
                raise ValueError
        except ValueError:
            return b"", (envelope(CODE_BAD_REQUEST, MSG_BAD_REQUEST, status=400), "bad Content-Length")
        if length > MAX_BODY_BYTES:
            return b"", (envelope(CODE_TOO_LARGE, "request too large", status=413), f"body of {length} bytes")
        body = self.rfile.read(length)
        if len(body) != length:
            return body, (envelope(CODE_BAD_REQUEST, MSG_BAD_REQUEST, status=400), "body cut short")
        return body, None

    def _json_object(self, raw_body: bytes) -> dict[str, Any]:
        media_type = (self.headers.get("Content-Type") or "").split(";", 1)[0].strip().lower()
        if media_type != "application/json":
            raise bad_request(f"content type {media_type or 'missing'}")
        try:
            value = json.loads(raw_body.decode("utf-8"), parse_constant=_reject_constant)
        except (UnicodeDecodeError, ValueError):
            raise bad_request("body is not JSON") from None
        if not isinstance(value, dict):
            raise bad_request("body is not a JSON object")
        return value

    # -- output --------------------------------------------------------------

    def _send(self, reply: Reply, *, with_body: bool = True) -> None:
        self.send_response(reply.status)
        self.send_header("Content-Type", reply.content_type)
        self.send_header("Content-Length", str(len(reply.body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in reply.headers:
            self.send_header(name, value)
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if with_body:
            self.wfile.write(reply.body)
        self.wfile.flush()

    def _log(self, method: str, path: str, status: Any, code: Any, started: float, notes: list[str]) -> None:
        self.server.log.request(method, path, status, code, (time.monotonic() - started) * 1000.0, notes)

    def log_request(self, code: Any = "-", size: Any = "-") -> None:
        # Our own line is written once the reply is out; see _log.
        pass

    def log_message(self, format: str, *args: Any) -> None:
        self.server.log.error(format % args)


def _reject_constant(name: str) -> Any:
    raise ValueError(f"{name} is not JSON")


def make_server(
    host: str = "127.0.0.1",
    port: int = 0,
    *,
    skew_seconds: float = DEFAULT_SKEW_SECONDS,
    clock_offset: float = 0.0,
    quiet: bool = False,
    log_stream: TextIO | None = None,
    path_prefix: str = "",
    modules: Iterable[str] = SERVICE_MODULES,
    options: dict[str, Any] | None = None,
) -> DevServer:
    return DevServer(
        (host, port),
        # A service clock apart from this machine's stands in for a client whose clock is wrong.
        state=State(skew_seconds=skew_seconds, clock=lambda: time.time() + clock_offset, options=options),
        routes=build_routes(modules),
        log=RequestLog(log_stream, quiet=quiet),
        path_prefix=path_prefix,
    )
