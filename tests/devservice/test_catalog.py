"""Black-box tests of the simulated game catalogue over loopback HTTP; address
lists are split with the client's rule, pictures checked as a decoder would."""

from __future__ import annotations

import ipaddress
import json
import math
import re
import struct
import tempfile
import unittest
import urllib.error
import urllib.request
import zlib
from pathlib import Path

from test_devservice import OPENER, post, start_service, stop_service

COMMON, PAGE, DETAIL = "/api/user/gamelist/common", "/api/user/gamelist/pc/page", "/api/user/gamelist/pc/detail"
APP_CODES = {"jx3": "剑网3", "lol": "英雄联盟", "apex": "Apex英雄", "la": "失落的方舟", "yj": "永劫无间", "ys": "原神",
             "taris": "塔瑞斯世界", "cs2": "CS2", "dnf": "地下城与勇士", "pubg": "绝地求生", "val": "无畏契约",
             "wow": "魔兽世界"}
RESERVED = [ipaddress.ip_network(n) for n in ("192.0.2.0/24", "198.51.100.0/24", "203.0.113.0/24", "198.18.0.0/15")]
BAD_REQUEST = {"code": 400, "msg": "bad request", "data": None}
# The client shows no picture for these, whatever follows the path.
REFUSED_PICTURE = re.compile(r"\.(webp|avif|jxl)([?#].*)?$", re.IGNORECASE)
CONTENT_TYPES = {"png": "image/png", "jpg": "image/jpeg", "webp": "image/webp"}


def client_ip_list(value) -> list[str]:
    if isinstance(value, list):
        return [v.strip() for v in value if isinstance(v, str) and v.strip()]
    return [p for p in re.split(r"[,;\s]+", value.strip()) if p] if isinstance(value, str) else []


def picture_size(content_type: str, data: bytes) -> tuple[int, int]:
    """Width and height once the container checks out."""
    if content_type == "image/png":
        assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[-12:] == b"\0\0\0\0IEND\xaeB`\x82"
        assert data[29:33] == struct.pack(">I", zlib.crc32(data[12:29]))  # IHDR
        return struct.unpack(">II", data[16:24])
    if content_type == "image/jpeg":
        assert data[:2] == b"\xff\xd8" and data[-2:] == b"\xff\xd9"
        return struct.unpack(">HH", data[data.index(b"\xff\xc0") + 5:][:4])[::-1]
    assert data[:4] == b"RIFF" and data[8:16] == b"WEBPVP8L" and data[20] == 0x2F
    assert struct.unpack("<I", data[4:8])[0] == len(data) - 8
    bits = int.from_bytes(data[21:25], "little")
    return (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1


class CatalogTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.tmp = tempfile.TemporaryDirectory()
        cls.proc, cls.port, _ = start_service(Path(cls.tmp.name), "--quiet")
        cls.everything = cls.walk()

    @classmethod
    def tearDownClass(cls) -> None:
        stop_service(cls.proc)
        cls.tmp.cleanup()

    @classmethod
    def call(cls, path: str, body, headers: dict | None = None) -> dict:
        status, _, reply = post(cls.port, path, body if isinstance(body, bytes) else json.dumps(body).encode(), headers)
        assert status == 200, (status, reply)
        return json.loads(reply)

    @classmethod
    def page(cls, page: int = 1, category: str = "", keyword: str = "", **extra) -> dict:
        reply = cls.call(PAGE, {"page": page, "category": category, "keyword": keyword, **extra})
        assert reply["code"] == 1, reply
        return reply["data"]

    @classmethod
    def walk(cls, **filters) -> list[dict]:
        games, number = [], 1
        while True:
            data = cls.page(number, **filters)
            games += data["list"]
            # An empty page ends the walk even if has_more lies.
            if not (data["has_more"] and data["list"]):
                return games
            number += 1

    def get(self, url: str, method: str = "GET") -> tuple[int, dict, bytes]:
        try:
            with OPENER.open(urllib.request.Request(url, method=method), timeout=5) as resp:
                return resp.status, resp.headers, resp.read()
        except urllib.error.HTTPError as err:
            with err:
                return err.code, err.headers, err.read()

    def test_pages_add_up(self) -> None:
        first = self.page(1)
        total, pages = first["total"], first["total_pages"]
        self.assertGreaterEqual(total, 40)
        self.assertEqual((len(first["list"]), first["page"], first["page_size"], first["has_more"]), (12, 1, 12, True))
        self.assertEqual(pages, math.ceil(total / 12))
        ids = [str(g["id"]) for g in self.everything]
        self.assertEqual((len(ids), len(set(ids))), (total, total))
        last = self.page(pages)
        self.assertEqual((len(last["list"]), last["has_more"]), (total - 12 * (pages - 1), False))
        beyond = self.page(pages + 1)
        self.assertEqual((beyond["list"], beyond["has_more"], beyond["total"], beyond["page"]),
                         ([], False, total, pages + 1))

        five = self.page(2, page_size=5)
        self.assertEqual([str(g["id"]) for g in five["list"]], ids[5:10])
        self.assertEqual((five["page_size"], five["total_pages"]), (5, math.ceil(total / 5)))
        self.assertEqual((self.page(page_size=0)["page_size"], self.page(page_size=10_000)["page_size"]), (1, 50))

    def test_keyword_search(self) -> None:
        genshin = {str(g["id"]) for g in self.everything if g["title"] == "原神"}
        self.assertGreaterEqual(len(genshin), 4)
        for keyword in ("原神", "genshin", "  GENSHIN impact "):
            with self.subTest(keyword=keyword):
                self.assertEqual({str(g["id"]) for g in self.walk(keyword=keyword)}, genshin)
        mihoyo = {str(g["id"]) for g in self.everything if g["package_name"].startswith("com.mihoyo.")}
        self.assertEqual({str(g["id"]) for g in self.walk(keyword="COM.MiHoYo")}, mihoyo)

        # A search is paged like the whole library.
        blizzard = [str(g["id"]) for g in self.everything if "blizzard" in g["package_name"]]
        second = self.page(2, keyword="blizzard", page_size=2)
        self.assertEqual([str(g["id"]) for g in second["list"]], blizzard[2:4])
        self.assertEqual((second["total"], second["total_pages"]), (len(blizzard), math.ceil(len(blizzard) / 2)))

        nothing = self.page(1, keyword="没有这个游戏")
        self.assertEqual((nothing["list"], nothing["total"], nothing["total_pages"], nothing["has_more"]),
                         ([], 0, 0, False))
        self.assertEqual((self.page(1, "射击", "原神")["total"], self.page(1, "角色扮演", "原神")["total"]),
                         (0, len(genshin)))

    def test_category_filter(self) -> None:
        counted = 0
        for category in self.page()["categories"]:
            games = self.walk(category=category)
            with self.subTest(category=category):
                self.assertTrue(games and all(g["category"] == category for g in games))
            counted += len(games)
        # Every game sits in exactly one listed category.
        self.assertEqual(counted, len(self.everything))
        # The client sends "" for its own 全部 chip; the name itself is no category.
        self.assertEqual((self.page(1, "全部")["total"], self.page(1, "no such category")["total"]), (0, 0))

    def test_common_groups(self) -> None:
        groups = self.call(COMMON, {})["data"]["groups"]
        self.assertGreaterEqual(len(groups), 2)
        self.assertEqual(len({g["type"] for g in groups}), len(groups))
        library = {str(g["id"]): g for g in self.everything}
        seen: list[str] = []
        for group in groups:
            self.assertTrue(isinstance(group["type"], int) and group["type_name"] and group["list"])
            for game in group["list"]:
                self.assertEqual(game, library[str(game["id"])])
                seen.append(str(game["id"]))
        self.assertLess(len(set(seen)), len(seen), "some game is repeated across groups")

    def test_details_and_address_lists(self) -> None:
        by_id = {str(g["id"]): g for g in self.everything}
        self.assertEqual({c: by_id[c]["title"] for c in APP_CODES}, APP_CODES)
        regions = {g["country"] for g in self.everything if g["package_name"] == by_id["ys"]["package_name"]}
        self.assertLessEqual({"国服", "港服", "美服", "日服"}, regions)

        seen, without = set(), 0
        for game in self.everything:
            reply = self.call(DETAIL, {"package_name": game["package_name"], "country": game["country"]})
            with self.subTest(game=game["id"]):
                self.assertEqual(reply["code"], 1, reply)
                data = reply["data"]
                self.assertEqual({k: data[k] for k in game if k != "ip_list"},
                                 {k: v for k, v in game.items() if k != "ip_list"})
                value = data.get("ip_list")
                entries = client_ip_list(value)
                without += not entries
                for entry in entries:
                    self.assertTrue(any(ipaddress.ip_network(entry).subnet_of(r) for r in RESERVED), entry)
                    # The client widens a bare address to its /16, which must stay reserved.
                    if "/" not in entry:
                        self.assertTrue(ipaddress.ip_network(entry + "/16", strict=False).subnet_of(RESERVED[3]))
                seen.add(type(value).__name__)
                seen.update(sep for sep in ",; " if isinstance(value, str) and sep in value.strip())
                seen.update("cidr" if "/" in e else "bare" for e in entries)
                if not game["country"]:
                    # The client never asks for such a detail, so the list record carries the addresses.
                    self.assertTrue(client_ip_list(game.get("ip_list")))
        self.assertLessEqual({"list", "str", "NoneType", ",", ";", " ", "cidr", "bare"}, seen)
        self.assertGreater(without, 0)

    def test_pictures_are_served_here(self) -> None:
        origin = f"http://127.0.0.1:{self.port}/static/"
        urls = [g[k] for g in self.everything for k in ("icon", "large_image") if g.get(k)]
        self.assertGreaterEqual(len(urls), 10)
        self.assertEqual([u for u in urls if REFUSED_PICTURE.search(u)], [origin + "icons/10020.webp?v=3"])
        self.assertTrue(any(not g.get("icon") for g in self.everything if g["id"] in APP_CODES))
        for url in urls:
            with self.subTest(url=url):
                self.assertTrue(url.startswith(origin))
                status, headers, data = self.get(url)
                content_type = CONTENT_TYPES[re.search(r"\.(\w+)(\?|$)", url).group(1)]
                self.assertEqual((status, headers["Content-Type"]), (200, content_type))
                self.assertTrue(all(8 <= n <= 256 for n in picture_size(content_type, data)))
        status, headers, data = self.get(urls[0], "HEAD")
        self.assertEqual((status, data, int(headers["Content-Length"])), (200, b"", len(self.get(urls[0])[2])))

        # Links follow the host name the client used.
        groups = self.call(COMMON, {}, {"Host": f"localhost:{self.port}"})["data"]["groups"]
        linked = [g["icon"] for grp in groups for g in grp["list"] if g.get("icon")]
        self.assertTrue(linked and all(u.startswith(f"http://localhost:{self.port}/static/") for u in linked))

        self.assertEqual([self.get(origin + "icons/unknown.png")[0], self.get(origin)[0],
                          self.get(f"http://127.0.0.1:{self.port}{COMMON}")[0]], [404, 404, 405])

    def test_refusals(self) -> None:
        good = {"page": 1, "category": "", "keyword": ""}
        for body in ([], "text", b"{not json", {**good, "page": "1"}, {**good, "page": 0}, {**good, "page": True},
                     {**good, "page": 1.0}, {"page": 1, "keyword": ""}, {**good, "keyword": None},
                     {**good, "page_size": "12"}):
            self.assertEqual(self.call(PAGE, body), BAD_REQUEST, body)
        self.assertEqual(self.call(COMMON, []), BAD_REQUEST)
        for body in ({}, {"package_name": "", "country": "国服"}, {"package_name": "com.tencent.lol"},
                     {"package_name": "com.tencent.lol", "country": 1}):
            self.assertEqual(self.call(DETAIL, body), BAD_REQUEST, body)
        for package, country in (("com.example.none", "国服"), ("com.mihoyo.genshin", "欧服"),
                                 (" com.mihoyo.genshin", "国服")):
            self.assertEqual(self.call(DETAIL, {"package_name": package, "country": country}),
                             {"code": 404, "msg": "game not found", "data": None})


class HostileCatalogTest(unittest.TestCase):
    """--hostile-catalogue: a game whose texts are markup, first in the library and in
    热门游戏, and 400 more categories; the rest of the catalogue as usual."""

    def test_markup_game_and_category_flood(self) -> None:
        with tempfile.TemporaryDirectory() as tmp:
            proc, port, _ = start_service(Path(tmp), "--quiet", "--hostile-catalogue")
            try:
                def call(path: str, body: dict) -> dict:
                    reply = json.loads(post(port, path, json.dumps(body).encode())[2])
                    assert reply["code"] == 1, reply
                    return reply["data"]

                first = call(PAGE, {"page": 1, "category": "", "keyword": ""})
                game = first["list"][0]
                self.assertTrue(game["title"].startswith("<font "), game)
                self.assertIn(f'<img src="http://127.0.0.1:{port}/static/', game["title"])
                categories = first["categories"]
                self.assertEqual((len(categories), len(set(categories))), (7 + 1 + 400, 7 + 1 + 400))
                self.assertEqual(call(PAGE, {"page": 1, "category": game["category"], "keyword": ""})["list"], [game])
                groups = call(COMMON, {})["groups"]
                self.assertEqual((groups[0]["list"][0], len(groups[0]["list"])), (game, 8))
                detail = call(DETAIL, {"package_name": game["package_name"], "country": game["country"]})
                self.assertEqual(detail["title"], game["title"])
            finally:
                stop_service(proc)


if __name__ == "__main__":
    unittest.main(verbosity=2)
