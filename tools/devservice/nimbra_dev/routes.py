"""Route catalogue and node configurations: the two signed calls the acceleration
engine makes before a start.

/api/user/points/node-lists answers, per game, a route list in one of the many
shapes the client has to accept (group containers, plain lists, lists sent as
JSON text, a lone record, alternative key names, a list-level shared config).
/api/user/node/config answers the sing-box node configuration of one route,
found by the endpoint text the client sends back as ``web_url``.

Route data is static and keyed by game code and package name; the secrets
(node passwords, VLESS ids, the ticket key) are made once when the server
starts, so repeated requests see the same configuration. None of them is ever
put on a log line.
"""

from __future__ import annotations

import base64
import hashlib
import hmac
import json
import re
import secrets
import selectors
import socket
import threading
import uuid
from dataclasses import dataclass, field
from typing import Any

from .server import (
    CODE_NOT_FOUND,
    Context,
    RouteTable,
    ServiceError,
    State,
    bad_request,
)

routes = RouteTable()

LIST_PATH = "/api/user/points/node-lists"
CONFIG_PATH = "/api/user/node/config"

# Game code, package name, title; the route sets below are keyed by the code.
# The package names are those of the game catalogue (catalog.py) at the time of
# writing; the client asks for routes by package name, so keep the two in step.
GAMES: tuple[tuple[str, str, str], ...] = (
    ("jx3", "com.kingsoft.jx3", "剑网3"),
    ("lol", "com.tencent.lol", "英雄联盟"),
    ("apex", "com.ea.apexlegends", "Apex 英雄"),
    ("la", "com.smilegate.lostark", "失落的方舟"),
    ("yj", "com.netease.naraka", "永劫无间"),
    ("ys", "com.mihoyo.genshin", "原神"),
    ("taris", "com.tencent.tarisland", "塔瑞斯世界"),
    ("cs2", "com.valve.cs2", "反恐精英 2"),
    ("dnf", "com.tencent.dnf", "地下城与勇士"),
    ("pubg", "com.krafton.pubg", "绝地求生"),
    ("val", "com.riotgames.valorant", "无畏契约"),
    ("wow", "com.blizzard.wow", "魔兽世界"),
    ("bdo", "com.pearlabyss.bdo", "黑色沙漠"),
    ("aion", "com.ncsoft.aion", "永恒之塔"),
)

# Any other package that looks like a reverse-domain name gets the default set;
# anything else is an unknown game.
_PACKAGE_RE = re.compile(r"[A-Za-z][A-Za-z0-9_]*(\.[A-Za-z0-9_]+)+")
PACKAGE_MAX = 128

SS_METHOD = "2022-blake3-aes-128-gcm"
SS = "shadowsocks"
VLESS = "vless"
HYSTERIA2 = "hysteria2"
NODE_RESOLVER_TAG = "node-dns"
# Loopback, and nothing listens there: a core that asks it gets no answer from outside this machine.
NODE_RESOLVER_ADDRESS = "127.0.0.153"

# Node listeners: every node address is on loopback (127.0.0.x), served by this process, so that a
# client measuring its nodes contacts nothing beyond this machine.
ACCEPT = "accept"    # completes the handshake and closes
SILENT = "silent"    # a full backlog nobody accepts: SYNs are dropped, probes time out
REFUSED = "refused"  # a bound port with no listener: the handshake is refused

MSG_UNKNOWN_GAME = "unknown game"
MSG_UNKNOWN_ROUTE = "unknown route"
MSG_TICKET_REQUIRED = "ticket required"
MSG_INVALID_TICKET = "invalid ticket"
CODE_FORBIDDEN = 403


# ---------------------------------------------------------------------------
# Route data


@dataclass(frozen=True)
class Route:
    key: str
    name: str
    note: str
    # The text the client sends back as web_url; empty for an auto route.
    endpoint: str
    server: str = ""
    port: int = 0
    latency: Any = None          # a number, or text as some backends send it ("38ms")
    cur: int | None = None
    cap: int | None = None
    full: bool | None = None     # explicit flag; None leaves the key out
    group: str = ""              # container key; empty means the set's container
    source_group: str = ""       # a group of its own, kept by the client
    kind: str = SS
    ticket: bool = False         # node config requires the WAF pass ticket
    auto: bool = False
    resolver: bool = False       # server is a name resolved through the node's DNS server
    # "" none, "inline" config next to the endpoint, "only" endpoint only inside the config
    embedded: str = ""
    # A node_id of its own beside the record's id (the client must accept a config answered for it).
    node_id: str = ""
    # How the node's listener answers a TCP handshake: ACCEPT, SILENT (never) or REFUSED.
    probe: str = "accept"


@dataclass(frozen=True)
class Keys:
    """Key names of one set's route records (the client accepts several of each)."""

    id: str = "id"
    name: str = "name"
    note: str = "note"
    endpoint: str = "web_url"
    cur: str = "cur"
    cap: str = "cap"
    latency: str = "latency"
    full: str = "full"
    auto: tuple[str, Any] = ("auto", True)
    ticket: str = "waf_pass_ticket"


@dataclass(frozen=True)
class RouteSet:
    code: str
    routes: tuple[Route, ...]
    keys: Keys = Keys()
    # Container of routes without a group; None answers the only route as data itself.
    container: str | None = "list"
    # Containers sent as JSON text instead of an array.
    text_containers: tuple[str, ...] = ()
    # List-level configuration for routes without their own: "config" (object) or "config_json" (text).
    shared: str = ""
    # Node config answered as data itself instead of under data.config.
    bare_config: bool = False

    def route(self, endpoint: str) -> Route | None:
        return next((r for r in self.routes if r.endpoint and r.endpoint == endpoint), None)


R = Route
AUTO_NAME, AUTO_NOTE = "智能选路", "按实时延迟自动选择最佳线路"

ROUTE_SETS: dict[str, RouteSet] = {s.code: s for s in (
    RouteSet("jx3", keys=Keys(), routes=(
        R("jx3-sh-ct-bgp3", "华东 · 上海电信 BGP-3", "电信骨干直连", "127.0.0.11",
          "127.0.0.11", 24011, latency=18, cur=412, cap=500, group="shared_list"),
        R("jx3-hz-cu-bgp1", "华东 · 杭州联通 BGP-1", "联通晚高峰满载", "127.0.0.12",
          "127.0.0.12", 24012, latency=22, cur=500, cap=500, group="shared_list"),
        R("jx3-gz-cm-idc2", "华南 · 广州移动 IDC-2", "机房专线", "127.0.0.13",
          "127.0.0.13", 24013, latency=31, cur=88, cap=200, group="idc_list", probe=SILENT),
        R("jx3-cd-ct-idc1", "西南 · 成都电信 IDC-1 尊享", "尊享机房", "127.0.0.14",
          "127.0.0.14", 24014, latency=35, cur=12, cap=100, group="idc_list", source_group="idc_vip"),
        R("jx3-bj-cm-isp1", "华北 · 北京移动 运营商直连", "移动用户优先", "127.0.0.15",
          "127.0.0.15", 24015, latency=27, cur=230, cap=400, group="isp_list", probe=REFUSED),
    )),
    RouteSet("lol", routes=(
        R("lol-auto", AUTO_NAME, AUTO_NOTE, "", auto=True, group="shared_list"),
        R("lol-sz-ct-bgp2", "华南 · 深圳电信 BGP-2", "共享加速", "127.0.0.21",
          "127.0.0.21", 25021, latency=16, cur=640, cap=1000, group="shared_list"),
        R("lol-sh-home1", "华东 · 上海住宅 HOME-1", "家宽出口", "127.0.0.22",
          "127.0.0.22", 443, latency=24, cur=3, cap=8, group="home_list", kind=VLESS),
        R("lol-hk-native2", "香港 · 原生住宅 NATIVE-2", "港服原生 IP", "127.0.0.23",
          "127.0.0.23", 8443, latency=38, cur=5, cap=5, group="native_list", kind=VLESS),
    )),
    RouteSet("apex", routes=(
        R("apex-sh-ct-bgp3", "华东 · 上海电信 BGP-3", "亚服中转", "127.0.0.31",
          "127.0.0.31", 26031, latency="38ms", cur=120, cap=300),
        R("apex-gz-cm-bgp1", "华南 · 广州移动 BGP-1", "亚服中转", "127.0.0.32",
          "127.0.0.32", 26032, latency="41", cur=80, cap=300),
        R("apex-tyo-iplc1", "日本 · 东京 IPLC-1", "东京专线", "127.0.0.33",
          "127.0.0.33", 26033, latency=57, cur=40, cap=120, probe=SILENT),
    )),
    RouteSet("la", container="nodes", bare_config=True, keys=Keys(
            id="node_id", name="title", note="description", endpoint="host", cur="current",
            cap="capacity", latency="ping", full="is_full"), routes=(
        R("la-sel-iplc1", "韩国 · 首尔 IPLC-1", "韩服 · 深港转发", "127.0.0.41",
          "127.0.0.41", 27041, latency=42, cur=120, cap=300),
        R("la-sel-iplc2", "韩国 · 首尔 IPLC-2", "韩服 · 维护扩容中", "127.0.0.42",
          "127.0.0.42", 27042, latency=45, cur=90, cap=300, full=True),
        R("la-sh-ct-bgp1", "华东 · 上海电信 BGP-1 中转", "韩服 · 上海中转", "127.0.0.43",
          "127.0.0.43", 27043, latency=64, cur=15, cap=200),
    )),
    RouteSet("yj", container="routes", keys=Keys(
            id="route_id", name="label", note="region", endpoint="connect_host", cur="online",
            cap="limit", latency="ms", auto=("type", "AUTO")), routes=(
        R("yj-auto", "自动选择", AUTO_NOTE, "", auto=True),
        R("yj-hz-ct-bgp2", "华东 · 杭州电信 BGP-2", "浙江", "127.0.0.51",
          "127.0.0.51", 28051, latency=21, cur=40, cap=100),
        R("yj-gz-cu-hy2", "华南 · 广州联通 HY2 实验线路", "广东", "127.0.0.52",
          "127.0.0.52", 8443, latency=26, cur=2, cap=50, kind=HYSTERIA2),
        R("yj-wh-cm-bgp1", "华中 · 武汉移动 BGP-1", "湖北", "127.0.0.54",
          "127.0.0.54", 28054, latency=33, cur=150, cap=150),
    )),
    RouteSet("ys", container="lines", shared="config", keys=Keys(
            name="line_name", note="location", endpoint="webUrl"), routes=(
        R("ys-sh-ct-bgp1", "华东 · 上海电信 BGP-1", "上海", "127.0.0.61",
          "127.0.0.61", 29061, latency=19, cur=300, cap=800),
        R("ys-tyo-iplc2", "日本 · 东京 IPLC-2", "东京 · 亚服", "127.0.0.62",
          "127.0.0.62", 29062, latency=48, cur=60, cap=200, embedded="inline"),
        R("ys-hk-bgp1", "香港 · BGP-1 国际", "香港", "127.0.0.63",
          "127.0.0.63", 29063, latency=36, cur=180, cap=400),
    )),
    RouteSet("taris", container="servers", keys=Keys(
            name="node_name", note="area", endpoint="address", cur="active"), routes=(
        R("taris-sh-cu-bgp1", "华东 · 上海联通 BGP-1", "国服", "127.0.0.71",
          "127.0.0.71", 30071, latency=20, cur=55, cap=300),
        R("taris-hk-iplc2", "香港 · IPLC-2 专线", "国际服", "127.0.0.72",
          "127.0.0.72", 30072, latency=46, embedded="only"),
        R("taris-sin-bgp1", "新加坡 · BGP-1 国际", "国际服", "127.0.0.73",
          "127.0.0.73", 30073, latency=71, cur=20, cap=150),
    )),
    RouteSet("cs2", container="items", text_containers=("items",), bare_config=True, keys=Keys(
            name="show_name", note="country_name"), routes=(
        R("cs2-hk-edge3", "香港 · 完美世界 BGP-3", "国服 · 域名接入", "127.0.0.81",
          "hk-edge3.cs2.nimbra.test", 443, latency=29, cur=210, cap=600, kind=VLESS, resolver=True),
        R("cs2-sh-ct-bgp1", "华东 · 上海电信 BGP-1", "国服", "127.0.0.82",
          "127.0.0.82", 31082, latency=17, cur=330, cap=600),
        R("cs2-sin-iplc1", "新加坡 · Valve 亚服 IPLC-1", "亚服", "127.0.0.83",
          "127.0.0.83", 31083, latency=62, cur=45, cap=100),
    )),
    RouteSet("dnf", container=None, bare_config=True, routes=(
        R("dnf-sh-ct-bgp1", "华东 · 上海电信 BGP-1 独享", "DNF 专用线路", "127.0.0.91",
          "127.0.0.91", 32091, latency=15, cur=0, cap=1),
    )),
    RouteSet("pubg", shared="config_json", keys=Keys(
            id="key", name="route_name", note="description", cur="current", cap="limit"), routes=(
        R("pubg-hk-iplc1", "香港 · IPLC-1 亚服", "WAF 防护线路", "https://127.0.0.101:8443",
          "127.0.0.101", 33101, latency=34, cur=90, cap=200, ticket=True),
        R("pubg-sin-bgp2", "新加坡 · BGP-2 亚服", "WAF 防护线路", "https://127.0.0.102:8443",
          "127.0.0.102", 33102, latency=58, cur=30, cap=200, ticket=True),
        R("pubg-sh-ct-bgp1", "华东 · 上海电信 BGP-1 中转", "普通中转", "https://127.0.0.103",
          "127.0.0.103", 33103, latency=23, cur=400, cap=500),
    )),
    RouteSet("val", container="routes", keys=Keys(
            name="display_name", note="city_name", endpoint="connectHost", cur="online", cap="capacity",
            latency="ping", auto=("is_auto", "yes"), ticket="wafPassTicket"), routes=(
        R("val-auto", AUTO_NAME, AUTO_NOTE, "", auto=True),
        R("val-hk-bgp1", "香港 · BGP-1 亚服", "香港", "127.0.0.111",
          "127.0.0.111", 34111, latency=37, cur=70, cap=300, ticket=True),
        R("val-tyo-iplc1", "日本 · 东京 IPLC-1", "东京", "127.0.0.112",
          "127.0.0.112", 443, latency=52, cur=25, cap=80, kind=VLESS, ticket=True, probe=REFUSED),
        R("val-sh-ct-bgp2", "华东 · 上海电信 BGP-2", "上海", "127.0.0.113",
          "127.0.0.113", 34113, latency=20, cur=260, cap=500),
    )),
    RouteSet("wow", text_containers=("idc_list",), keys=Keys(
            name="title", note="country", cur="used", cap="max"), routes=(
        R("wow-sh-ct-bgp1", "华东 · 上海电信 BGP-1", "国服", "127.0.0.121",
          "127.0.0.121", 35121, latency=14, cur=500, cap=900),
        R("wow-tpe-idc1", "台湾 · 台北 IDC-1", "台服", "127.0.0.122",
          "127.0.0.122", 443, latency=44, cur=20, cap=60, group="idc_list", kind=VLESS),
        R("wow-lax-idc2", "美国 · 洛杉矶 IDC-2", "美服", "127.0.0.123",
          "127.0.0.123", 35123, latency=156, cur=300, cap=300, full=True, group="idc_list"),
    )),
    # Every route full: the client can select none.
    RouteSet("bdo", routes=(
        R("bdo-sel-bgp1", "韩国 · 首尔 BGP-1", "韩服", "127.0.0.211",
          "127.0.0.211", 37211, latency=48, cur=300, cap=300),
        R("bdo-tyo-iplc1", "日本 · 东京 IPLC-1", "韩服 · 东京中转", "127.0.0.212",
          "127.0.0.212", 37212, latency=61, cur=20, cap=100, full=True),
    )),
    # Records carrying both an id and a different node_id.
    RouteSet("aion", routes=(
        R("aion-sh-ct-bgp1", "华东 · 上海电信 BGP-1", "国服", "127.0.0.221",
          "127.0.0.221", 37221, latency=21, cur=50, cap=400, node_id="node-2210"),
        R("aion-bj-cu-bgp2", "华北 · 北京联通 BGP-2", "国服", "127.0.0.222",
          "127.0.0.222", 37222, latency=29, cur=80, cap=400, node_id="node-2220"),
    )),
)}

DEFAULT_SET = RouteSet("default", routes=(
    R("def-sh-ct-bgp1", "华东 · 上海电信 BGP-1", "通用加速", "127.0.0.201",
      "127.0.0.201", 36201, latency=25, cur=700, cap=2000),
    R("def-gz-cu-bgp2", "华南 · 广州联通 BGP-2", "通用加速", "127.0.0.202",
      "127.0.0.202", 36202, latency=30, cur=450, cap=2000),
    R("def-bj-cm-bgp1", "华北 · 北京移动 BGP-1", "通用加速", "127.0.0.203",
      "127.0.0.203", 36203, latency=28, cur=900, cap=2000),
))

# Sets with a list-level shared config point it at a relay that is not itself a listed route.
SHARED_RELAYS: dict[str, Route] = {
    "ys": R("ys-relay", "共享中继", "", "", "127.0.0.60", 29060),
    "pubg": R("pubg-relay", "共享中继", "", "", "127.0.0.100", 33100),
}

PACKAGES: dict[str, str] = {package: code for code, package, _ in GAMES}


def _check_tables() -> None:
    # A typo here would only show up as a confusing client failure, so fail at import.
    if set(PACKAGES.values()) != set(ROUTE_SETS):
        raise ValueError("GAMES and ROUTE_SETS disagree")
    for route_set in (*ROUTE_SETS.values(), DEFAULT_SET):
        endpoints = [r.endpoint for r in route_set.routes if r.endpoint]
        if len(endpoints) != len(set(endpoints)):
            raise ValueError(f"{route_set.code}: endpoint used twice")
        if route_set.container is None and len(route_set.routes) != 1:
            raise ValueError(f"{route_set.code}: only a one-route set can answer a lone record")


_check_tables()


# ---------------------------------------------------------------------------
# Secrets (made once per server start)


@dataclass
class RouteSecrets:
    ticket_key: bytes = field(default_factory=lambda: secrets.token_bytes(32), repr=False)
    passwords: dict[str, str] = field(default_factory=dict, repr=False)
    uuids: dict[str, str] = field(default_factory=dict, repr=False)

    def __post_init__(self) -> None:
        for route_set in (*ROUTE_SETS.values(), DEFAULT_SET):
            for route in route_set.routes:
                self._add(route)
        for route in SHARED_RELAYS.values():
            self._add(route)

    def _add(self, route: Route) -> None:
        # 16 bytes: the key size of 2022-blake3-aes-128-gcm.
        self.passwords[route.key] = base64.b64encode(secrets.token_bytes(16)).decode("ascii")
        self.uuids[route.key] = str(uuid.uuid4())

    def ticket(self, guid: int, package: str, route: Route) -> str:
        # Bound to user, game and route, so a ticket cannot be carried over to another of them.
        message = f"{guid}\n{package}\n{route.key}".encode("utf-8")
        return "wpt_" + hmac.new(self.ticket_key, message, hashlib.sha256).hexdigest()[:40]


def _secrets(state: State) -> RouteSecrets:
    return state.area("routes", RouteSecrets)


def _probe_host(route: Route) -> str:
    """The address a client probes: the endpoint's host, else (a relay) the server."""
    host = route.endpoint.split("://", 1)[-1].split("/", 1)[0].split(":", 1)[0]
    return host or route.server


class NodeListeners:
    """One socket per node on its loopback address, with a port the system picks (services started
    side by side never collide); the port goes out as the node's server_port."""

    def __init__(self, stopping: threading.Event) -> None:
        self.ports: dict[str, int] = {}
        self._stopping = stopping
        self._sockets: list[socket.socket] = []
        self._selector = selectors.DefaultSelector()
        for route_set in (*ROUTE_SETS.values(), DEFAULT_SET):
            for route in route_set.routes:
                if not route.auto:
                    self._open(route)
        for route in SHARED_RELAYS.values():
            self._open(route)
        threading.Thread(target=self._serve, name="node-listeners", daemon=True).start()

    def _open(self, route: Route) -> None:
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        try:
            sock.bind((_probe_host(route), 0))
        except OSError:
            # A system without the whole 127/8 on loopback: the node keeps its listed port, unserved.
            sock.close()
            self.ports[route.key] = route.port
            return
        self._sockets.append(sock)
        self.ports[route.key] = sock.getsockname()[1]
        if route.probe == ACCEPT:
            sock.listen(64)
            sock.setblocking(False)
            self._selector.register(sock, selectors.EVENT_READ)
        elif route.probe == SILENT:
            # Backlog 0 holds one connection; ours fills it, so every later SYN is dropped.
            sock.listen(0)
            for _ in range(2):
                filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                filler.setblocking(False)
                filler.connect_ex(sock.getsockname())
                self._sockets.append(filler)

    def _serve(self) -> None:
        while not self._stopping.is_set():
            for key, _ in self._selector.select(0.2):
                try:
                    conn, _ = key.fileobj.accept()
                    conn.close()
                except OSError:
                    pass
        self._selector.close()
        for sock in self._sockets:
            sock.close()


def _listeners(state: State) -> NodeListeners:
    return state.area("node_listeners", lambda: NodeListeners(state.stopping))


@routes.on_start
def _make_secrets(state: State) -> list[str]:
    _secrets(state)
    _listeners(state)
    return []


# ---------------------------------------------------------------------------
# Answers


def node_config(route: Route, found: RouteSecrets, port: int, *, bare: bool = False) -> dict[str, Any]:
    """The sing-box node configuration of one route, whose node listens on port."""
    outbound: dict[str, Any] = {"type": route.kind}
    if not bare:
        outbound["tag"] = "proxy-out"
    outbound.update(server=route.server, server_port=port)
    tls = {"enabled": True, "server_name": f"{route.key}.nimbra.test"}
    if route.kind == SS:
        outbound.update(method=SS_METHOD, password=found.passwords[route.key])
    elif route.kind == VLESS:
        outbound.update(uuid=found.uuids[route.key], flow="xtls-rprx-vision", packet_encoding="xudp",
                        tls={**tls, "utls": {"enabled": True, "fingerprint": "chrome"}})
    elif route.kind == HYSTERIA2:
        outbound.update(password=found.passwords[route.key], up_mbps=50, down_mbps=200,
                        tls={**tls, "alpn": ["h3"]})
    if route.resolver:
        outbound["domain_resolver"] = NODE_RESOLVER_TAG
    config: dict[str, Any] = {"outbounds": [outbound]}
    if not bare:
        config["outbounds"].append({"type": "direct", "tag": "direct-out"})
    if route.resolver:
        config["dns"] = {"servers": [
            {"tag": NODE_RESOLVER_TAG, "type": "udp", "server": NODE_RESOLVER_ADDRESS, "server_port": 53},
        ]}
    return config


def _record(route_set: RouteSet, route: Route, found: RouteSecrets, ports: dict[str, int], guid: int,
            package: str) -> dict[str, Any]:
    keys = route_set.keys
    record: dict[str, Any] = {keys.id: route.key, keys.name: route.name, keys.note: route.note}
    if route.node_id:
        record["node_id"] = route.node_id
    if route.auto:
        record[keys.auto[0]] = keys.auto[1]
        return record
    if route.embedded != "only":
        record[keys.endpoint] = route.endpoint
    for key, value in ((keys.cur, route.cur), (keys.cap, route.cap), (keys.latency, route.latency),
                       (keys.full, route.full)):
        if value is not None:
            record[key] = value
    record["server_port"] = ports[route.key]
    record["protocol"] = route.kind
    if route.source_group:
        record["source_group"] = route.source_group
    if route.ticket:
        record[keys.ticket] = found.ticket(guid, package, route)
    if route.embedded:
        config = node_config(route, found, ports[route.key])
        if route.embedded == "only":
            # The client digs the endpoint out of nested objects; this record has it nowhere else.
            config["outbounds"][0]["address"] = route.endpoint
        record["config"] = config
    return record


def route_list(route_set: RouteSet, found: RouteSecrets, ports: dict[str, int], guid: int,
               package: str) -> dict[str, Any]:
    records = [(r.group or route_set.container, _record(route_set, r, found, ports, guid, package))
               for r in route_set.routes]
    if route_set.container is None:
        return records[0][1]
    data: dict[str, Any] = {}
    for container, record in records:
        data.setdefault(container, []).append(record)
    for container in route_set.text_containers:
        data[container] = json.dumps(data[container], ensure_ascii=False, separators=(",", ":"))
    if route_set.shared:
        relay = SHARED_RELAYS[route_set.code]
        shared = node_config(relay, found, ports[relay.key])
        data[route_set.shared] = (json.dumps(shared, separators=(",", ":"))
                                  if route_set.shared == "config_json" else shared)
    return data


# ---------------------------------------------------------------------------
# Requests


def _text(body: dict[str, Any], name: str) -> str:
    value = body.get(name)
    if not isinstance(value, str) or not value.strip():
        raise bad_request(f"{name} missing, blank or not a string")
    return value


def _checked_guid(ctx: Context) -> int:
    guid = ctx.body.get("guid")
    if not isinstance(guid, int) or isinstance(guid, bool):
        raise bad_request("guid missing or not an integer")
    if guid != ctx.guid:
        raise bad_request(f"body guid {guid} is not the signed guid {ctx.guid}")
    return guid


def route_set_for(package: str) -> RouteSet | None:
    code = PACKAGES.get(package)
    if code is not None:
        return ROUTE_SETS[code]
    if len(package) <= PACKAGE_MAX and _PACKAGE_RE.fullmatch(package):
        return DEFAULT_SET
    return None


def _route_set(package: str) -> RouteSet:
    route_set = route_set_for(package)
    if route_set is None:
        raise ServiceError(CODE_NOT_FOUND, MSG_UNKNOWN_GAME, reason="package is no game")
    return route_set


@routes.post(LIST_PATH, signed=True)
def node_lists(ctx: Context) -> Any:
    guid = _checked_guid(ctx)
    package = _text(ctx.body, "package_name")
    route_set = _route_set(package)
    data = route_list(route_set, _secrets(ctx.state), _listeners(ctx.state).ports, guid, package)
    ctx.note(f"{route_set.code}: {len(route_set.routes)} routes")
    return data


@routes.post(CONFIG_PATH, signed=True)
def node_config_reply(ctx: Context) -> Any:
    guid = _checked_guid(ctx)
    package = _text(ctx.body, "package_name")
    endpoint = _text(ctx.body, "web_url")
    ticket = ctx.body.get("waf_pass_ticket")
    if ticket is not None and not isinstance(ticket, str):
        raise bad_request("waf_pass_ticket not a string")
    ticket = (ticket or "").strip()
    route_set = _route_set(package)
    route = route_set.route(endpoint)
    if route is None:
        raise ServiceError(CODE_NOT_FOUND, MSG_UNKNOWN_ROUTE, reason=f"no {route_set.code} route at that endpoint")
    found = _secrets(ctx.state)
    if route.ticket and not ticket:
        raise ServiceError(CODE_FORBIDDEN, MSG_TICKET_REQUIRED, reason=f"{route.key} needs a ticket")
    if ticket and not (route.ticket and hmac.compare_digest(ticket, found.ticket(guid, package, route))):
        # A ticket only ever opens the route it was listed with, for the user it was listed to.
        raise ServiceError(CODE_FORBIDDEN, MSG_INVALID_TICKET, reason=f"wrong ticket for {route.key}")
    # Tickets are echoed next to the config, so a ticketed answer is never the bare shape.
    bare = route_set.bare_config and not ticket
    config = node_config(route, found, _listeners(ctx.state).ports[route.key], bare=bare)
    ctx.note(f"{route.key} {route.kind}" + (" ticket ok" if ticket else ""))
    if bare:
        return config
    data: dict[str, Any] = {"node_id": route.key, "name": route.name, "config": config}
    if ticket:
        data["waf_pass_ticket"] = ticket
    return data
