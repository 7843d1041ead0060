"""Black-box tests of the simulated route list and node configuration endpoints.

Lists are read back the way the client reads them (containers in its order, JSON
text parsed, auto routes dropped, the endpoint searched in nested objects); every
route found so must get a configuration the client's builder takes, except the
one route kept on purpose with an unsupported outbound type.
"""

from __future__ import annotations

import base64
import ipaddress
import json
import socket
import tempfile
import time
import unittest
from collections import Counter
from pathlib import Path
from urllib.parse import urlsplit

from test_devservice import post, signed_headers, start_service, stop_service

LIST, CONFIG = "/api/user/points/node-lists", "/api/user/node/config"
GUID, OTHER_GUID, DEVICE = 7300001, 7300002, "route-test-device"
SECRET, OTHER_SECRET = "route-test-\u5bc6\u94a5", "other-user-secret"
PACKAGES = {
    "jx3": "com.kingsoft.jx3", "lol": "com.tencent.lol", "apex": "com.ea.apexlegends",
    "la": "com.smilegate.lostark", "yj": "com.netease.naraka", "ys": "com.mihoyo.genshin",
    "taris": "com.tencent.tarisland", "cs2": "com.valve.cs2", "dnf": "com.tencent.dnf",
    "pubg": "com.krafton.pubg", "val": "com.riotgames.valorant", "wow": "com.blizzard.wow",
    "other": "com.example.freshgame",  # not a known game: the default set
}
CONTAINERS = ("routes", "nodes", "lines", "list", "servers", "items",
              "shared_list", "home_list", "idc_list", "isp_list", "native_list")
ENDPOINT_KEYS = ("web_url", "webUrl", "connect_host", "connectHost", "host", "address")


def extract(value) -> list:
    if isinstance(value, str):
        try:
            value = json.loads(value)
        except ValueError:
            return []
    if isinstance(value, list) or not isinstance(value, dict):
        return value if isinstance(value, list) else []
    present = [k for k in CONTAINERS if value.get(k) is not None]
    if not present:
        return [value] if value else []
    return [dict(r, source_group=r.get("source_group", k)) if k.endswith("_list") else r
            for k in present for r in extract(value[k])]


def recursive_text(value, keys, depth=0) -> str:
    if depth == 5 or not isinstance(value, (dict, list)):
        return ""
    if isinstance(value, dict):
        found = [str(value[k]).strip() for k in keys if isinstance(value.get(k), (str, int))]
        if any(found):
            return next(t for t in found if t)
        value = [value[k] for k in sorted(value)]
    return next((t for t in (recursive_text(v, keys, depth + 1) for v in value) if t), "")


def is_auto(rec: dict) -> bool:
    return (rec.get("auto") is True or str(rec.get("is_auto")).lower() in ("true", "1", "yes")
            or str(rec.get("type", "")).lower() == "auto")


class RouteServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.tmp = tempfile.TemporaryDirectory()
        cls.proc, cls.port, cls.log_path = start_service(Path(cls.tmp.name))
        for guid, secret in ((GUID, SECRET), (OTHER_GUID, OTHER_SECRET)):
            session = {"guid": guid, "device_secret": secret, "device_id": DEVICE}
            assert post(cls.port, "/__test/session", json.dumps(session).encode())[0] == 200

    @classmethod
    def tearDownClass(cls) -> None:
        stop_service(cls.proc)
        cls.tmp.cleanup()

    def call(self, path, body, *, guid=GUID, secret=SECRET, signed=True) -> dict:
        raw = json.dumps(body).encode()
        headers = signed_headers(path, raw, secret=secret, guid=guid, device_id=DEVICE) if signed else {}
        return json.loads(post(self.port, path, raw, headers)[2])

    def ok(self, path, body, **kwargs):
        reply = self.call(path, body, **kwargs)
        self.assertEqual((reply["code"], reply["msg"]), (1, "ok"), f"{body} -> {reply}")
        return reply["data"]

    def refused(self, msg, path, body, **kwargs) -> None:
        reply = self.call(path, body, **kwargs)
        self.assertEqual((reply["msg"], reply["data"]), (msg, None), body)
        self.assertNotEqual(reply["code"], 1)

    def routes_of(self, game, guid=GUID, secret=SECRET) -> tuple[dict, list]:
        data = self.ok(LIST, {"guid": guid, "package_name": PACKAGES[game]}, guid=guid, secret=secret)
        return data, extract(data)

    def config_of(self, game, rec, guid=GUID, secret=SECRET) -> dict:
        body = {"guid": guid, "web_url": recursive_text(rec, ENDPOINT_KEYS), "package_name": PACKAGES[game]}
        if rec.get("waf_pass_ticket") or rec.get("wafPassTicket"):
            body["waf_pass_ticket"] = rec.get("waf_pass_ticket") or rec["wafPassTicket"]
        return self.ok(CONFIG, body, guid=guid, secret=secret)

    def all_configs(self) -> list[tuple[str, dict, dict]]:
        out = [(g, r, self.config_of(g, r)) for g in PACKAGES for r in self.routes_of(g)[1] if not is_auto(r)]
        self.assertEqual({g for g, _, _ in out}, set(PACKAGES), "every game has a usable route")
        return out

    def test_every_listed_route_gets_a_usable_node_configuration_and_no_secret_is_logged(self) -> None:
        kinds, unsupported, bare, passwords = Counter(), [], set(), set()
        secrets = {SECRET, OTHER_SECRET}
        for game, rec, data in self.all_configs():
            config = data.get("config", data)
            secrets.update(v for k, v in rec.items() if k in ("waf_pass_ticket", "wafPassTicket"))
            secrets.update(o[k] for o in config["outbounds"] for k in ("password", "uuid") if k in o)
            bare.add("config" not in data)
            # The builder fills its "proxy-out" from that tag, else from the first outbound with a server.
            out = next((o for o in config["outbounds"] if o.get("tag") == "proxy-out"), config["outbounds"][0])
            with self.subTest(game=game, route=recursive_text(rec, ("id", "node_id", "route_id", "key"))):
                server = out["server"]
                self.assertTrue(server.endswith(".test") or ipaddress.ip_address(server).is_loopback)
                # The route names the port its node listens on, before any configuration is asked for.
                self.assertEqual(out["server_port"], rec["server_port"])
                kinds[out["type"]] += 1
                if out["type"] == "shadowsocks":
                    self.assertEqual(out["method"], "2022-blake3-aes-128-gcm")
                    self.assertEqual(len(base64.b64decode(out["password"], validate=True)), 16)
                    passwords.add(out["password"])
                elif out["type"] == "vless":
                    self.assertRegex(out["uuid"], r"^[0-9a-f-]{36}$")
                else:
                    unsupported.append((game, rec["route_id"], out["type"]))
                if "domain_resolver" in out:
                    kinds["resolver"] += 1
                    self.assertEqual(out["type"], "vless", "a Shadowsocks merge would drop the resolver")
                    self.assertIn(out["domain_resolver"], [s["tag"] for s in config["dns"]["servers"]])
        self.assertEqual(unsupported, [("yj", "yj-gz-cu-hy2", "hysteria2")])
        self.assertEqual((kinds["resolver"], bare), (1, {True, False}))
        self.assertGreaterEqual(kinds["vless"], 3)
        self.assertEqual(len(passwords), kinds["shadowsocks"], "one password per route")
        again = self.config_of("jx3", self.routes_of("jx3")[1][0])["config"]["outbounds"][0]["password"]
        self.assertIn(again, passwords, "passwords are made at start, not per request")

        self.refused("ticket required", CONFIG, {"guid": GUID, "package_name": PACKAGES["pubg"],
                                                 "web_url": self.routes_of("pubg")[1][0]["web_url"]})
        time.sleep(0.1)
        log = self.log_path.read_text(encoding="utf-8")
        self.assertRegex(log, r"POST /api/user/node/config 200 code=403 \d+ms \[pubg-hk-iplc1 needs a ticket\]")
        self.assertGreater(len(secrets), 30)
        for value in secrets:
            self.assertNotIn(value, log)

    def test_lists_exercise_every_shape_the_client_accepts(self) -> None:
        raw = {g: self.routes_of(g) for g in PACKAGES}
        records = [r for _, recs in raw.values() for r in recs]
        self.assertEqual({k for data, _ in raw.values() for k in data if k in CONTAINERS}, set(CONTAINERS))
        self.assertTrue(any(isinstance(data[k], str) for data, _ in raw.values() for k in data if k in CONTAINERS))
        self.assertIn("web_url", raw["dnf"][0], "one game answers its lone route as data itself")
        self.assertEqual(Counter(g for g, (_, recs) in raw.items() for r in recs if is_auto(r)),
                         {"lol": 1, "yj": 1, "val": 1})
        self.assertIn("idc_vip", {r["source_group"] for r in records if "source_group" in r})
        self.assertTrue(all(any("\u4e00" <= c <= "\u9fff" for c in str(r)) for r in records))
        used = {k for r in records for k in r}
        for alternatives in (("id", "node_id", "route_id", "key"), ENDPOINT_KEYS,
                             ("latency", "ping", "ms"), ("waf_pass_ticket", "wafPassTicket")):
            self.assertLessEqual(set(alternatives), used)
        self.assertLessEqual({"38ms", "41", 57}, {r.get("latency") for r in records})
        self.assertTrue(any(r.get("is_full") is True for r in records) and any(r.get("full") for r in records))
        self.assertTrue(any((r.get("cap") or 0) > 0 and r["cur"] == r["cap"] and "full" not in r for r in records))

        hidden = [r for r in records if not is_auto(r) and not set(ENDPOINT_KEYS) & set(r)]
        self.assertEqual([r["id"] for r in hidden], ["taris-hk-iplc2"])
        self.assertEqual(recursive_text(hidden[0], ENDPOINT_KEYS), hidden[0]["config"]["outbounds"][0]["address"])
        # List-level shared config, as an object and as text; a route's own config is not it.
        ys_shared, pubg_shared = raw["ys"][0]["config"], json.loads(raw["pubg"][0]["config_json"])
        for shared in (ys_shared, pubg_shared):
            self.assertEqual(shared["outbounds"][0]["type"], "shadowsocks")
        self.assertEqual([r["id"] for r in raw["ys"][1] if r.get("config", ys_shared) != ys_shared], ["ys-tyo-iplc2"])

    def test_nodes_are_loopback_listeners_of_the_service(self) -> None:
        # A client measures its nodes by TCP handshakes: each one answers, stays silent or refuses,
        # and none lies beyond this machine.
        outcomes = Counter()
        for game in PACKAGES:
            for rec in self.routes_of(game)[1]:
                if is_auto(rec):
                    continue
                host = urlsplit("//" + recursive_text(rec, ENDPOINT_KEYS).split("://")[-1]).hostname
                self.assertTrue(ipaddress.ip_address(host).is_loopback, host)
                with socket.socket() as sock:
                    sock.settimeout(0.5)
                    try:
                        sock.connect((host, rec["server_port"]))
                        outcomes["accepted"] += 1
                    except ConnectionRefusedError:
                        outcomes["refused"] += 1
                    except socket.timeout:
                        outcomes["silent"] += 1
        self.assertEqual((outcomes["refused"], outcomes["silent"]), (2, 2))
        self.assertGreater(outcomes["accepted"], 30)

    def test_all_full_routes_and_routes_with_their_own_node_id(self) -> None:
        data = self.ok(LIST, {"guid": GUID, "package_name": "com.pearlabyss.bdo"})
        self.assertEqual([(r.get("full"), r["cur"] >= r["cap"]) for r in extract(data)], [(None, True), (True, False)])
        data = self.ok(LIST, {"guid": GUID, "package_name": "com.ncsoft.aion"})
        routes = extract(data)
        self.assertEqual([(r["id"], r["node_id"]) for r in routes],
                         [("aion-sh-ct-bgp1", "node-2210"), ("aion-bj-cu-bgp2", "node-2220")])
        config = self.ok(CONFIG, {"guid": GUID, "web_url": routes[1]["web_url"], "package_name": "com.ncsoft.aion"})
        self.assertEqual(config["config"]["outbounds"][0]["server"], "127.0.0.222")

    def test_waf_pass_ticket_is_required_bound_and_echoed(self) -> None:
        for game, key in (("pubg", "waf_pass_ticket"), ("val", "wafPassTicket")):
            records = [r for r in self.routes_of(game)[1] if not is_auto(r)]
            first, second = [r for r in records if key in r][:2]
            plain = next(r for r in records if key not in r)
            body = {"guid": GUID, "web_url": recursive_text(first, ENDPOINT_KEYS), "package_name": PACKAGES[game]}
            plain_body = dict(body, web_url=recursive_text(plain, ENDPOINT_KEYS))
            with self.subTest(game=game):
                self.refused("ticket required", CONFIG, body)
                self.refused("ticket required", CONFIG, dict(body, waf_pass_ticket="  "))
                for wrong in (first[key] + "0", second[key]):
                    self.refused("invalid ticket", CONFIG, dict(body, waf_pass_ticket=wrong))
                self.refused("bad request", CONFIG, dict(body, waf_pass_ticket=123))
                self.refused("invalid ticket", CONFIG, dict(plain_body, waf_pass_ticket=first[key]))
                self.assertNotIn("waf_pass_ticket", self.ok(CONFIG, plain_body))
                data = self.ok(CONFIG, dict(body, waf_pass_ticket=first[key]))
                self.assertEqual((data["waf_pass_ticket"], "outbounds" in data["config"]), (first[key], True))
                self.assertIn(first, self.routes_of(game)[1], "tickets stay the same between lists")
                # Bound to the user the list went to.
                theirs = next(r for r in self.routes_of(game, OTHER_GUID, OTHER_SECRET)[1] if key in r)
                self.refused("invalid ticket", CONFIG, dict(body, guid=OTHER_GUID, waf_pass_ticket=first[key]),
                             guid=OTHER_GUID, secret=OTHER_SECRET)
                self.assertIn("config", self.config_of(game, theirs, OTHER_GUID, OTHER_SECRET))

    def test_refusals(self) -> None:
        endpoint = self.routes_of("jx3")[1][0]["web_url"]
        config = {"guid": GUID, "package_name": PACKAGES["jx3"], "web_url": endpoint}
        for path, body in ((LIST, {"guid": GUID, "package_name": PACKAGES["jx3"]}), (CONFIG, config)):
            with self.subTest(path=path):
                self.ok(path, body)
                self.refused("invalid token", path, body, signed=False)
                self.refused("invalid token", path, body, secret=SECRET + "x")
                for guid in (OTHER_GUID, str(GUID), True, None, float(GUID)):
                    self.refused("bad request", path, dict(body, guid=guid))
                for package in (None, "", "  ", 5):
                    self.refused("bad request", path, dict(body, package_name=package))
                for package in ("not a package", "jx3", PACKAGES["jx3"] + " ", "\u5251\u7f513"):
                    self.refused("unknown game", path, dict(body, package_name=package))
        for url in (None, "", 42):
            self.refused("bad request", CONFIG, dict(config, web_url=url))
        default_route = self.routes_of("other")[1][0]["web_url"]
        for url in ("nowhere.jx3.nimbra.test", self.routes_of("dnf")[0]["web_url"], default_route):
            self.refused("unknown route", CONFIG, dict(config, web_url=url))
        self.refused("unknown route", CONFIG, dict(config, package_name=PACKAGES["lol"], web_url="lol-auto"))
        self.ok(CONFIG, dict(config, package_name="org.nimbra.another", web_url=default_route))


if __name__ == "__main__":
    unittest.main(verbosity=2)
