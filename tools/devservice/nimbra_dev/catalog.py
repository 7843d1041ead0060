"""Game catalogue: common games, the paged library with search and categories,
and game details with their server address lists, all unsigned JSON POSTs over
a fixed in-memory catalogue.

Pictures referenced by the records are tiny images generated here with the
standard library and served by GET below /static/ on this same service, so the
client fetches them over loopback like any remote picture.

Records deliberately vary where the client has fallbacks: numeric ids as JSON
numbers and as decimal text, a missing `popular`, an empty `country`, empty or
absent picture fields, a padded title, and `ip_list` in every shape the client
splits (array, comma, semicolon and blank separated text, CIDR and bare
addresses), or missing altogether.
"""

from __future__ import annotations

import colorsys
import math
import struct
import zlib
from dataclasses import dataclass
from typing import Any

from .server import CODE_NOT_FOUND, Context, RouteTable, ServiceError, State, bad_request

routes = RouteTable()

COMMON_PATH = "/api/user/gamelist/common"
PAGE_PATH = "/api/user/gamelist/pc/page"
DETAIL_PATH = "/api/user/gamelist/pc/detail"
STATIC_PREFIX = "/static/"

DEFAULT_PAGE_SIZE = 12
MAX_PAGE_SIZE = 50
MSG_GAME_NOT_FOUND = "game not found"

OPTION_HOSTILE = "hostile_catalogue"

# The hostile catalogue (--hostile-catalogue): one game whose texts are markup that
# a client must show as typed (with a picture tag pointing back at this service;
# "{base}" becomes the service's URL), first in the library and in 热门游戏, and
# this many more categories than a chip row has room for.
MARKUP_GAME_ID = 10099
MARKUP_TITLE = ('<font color="#ff0000" size="7">标记</font>'
                '<img src="{base}/static/icons/markup.png" width="400" height="400">')
EXTRA_CATEGORIES = 400

# Genres in the order the library shows them as chips. "全部" is not one of
# them: the client adds it and sends an empty category for it.
CATEGORIES = ("MOBA", "射击", "角色扮演", "动作", "卡牌", "休闲", "策略")

# ---------------------------------------------------------------------------
# Catalogue data


@dataclass(frozen=True)
class Game:
    id: str | int
    title: str
    en_name: str
    package: str
    country: str
    category: str
    popular: int | None  # None: the key is left out
    icon: str | None = None  # file name below /static/; "" sends an empty text
    background: str | None = None
    ip_shape: str | None = "array"  # None: the detail has no ip_list at all
    ips: tuple[str, ...] = ()  # empty: derived from the catalogue position
    ips_in_list: bool = False  # the list records carry ip_list too
    introduction: Any = ""  # "" derives a text; None is sent as null
    official_url: bool = True


def _g(id, title, en, package, country, category, popular, **extra) -> Game:
    return Game(id, title, en, package, country, category, popular, **extra)


# Order is the library order: the twelve games the app ships pictures for
# first, then their other regions, then the rest.
GAMES: tuple[Game, ...] = (
    _g("jx3", "剑网3", "JX Online 3", "com.kingsoft.jx3", "国服", "角色扮演", 2, ip_shape="comma"),
    _g("lol", "英雄联盟", "League of Legends", "com.tencent.lol", "国服", "MOBA", 3,
       ips=("198.18.2.10", "198.18.2.11", "198.18.2.12")),
    _g("apex", "Apex英雄", "Apex Legends", "com.ea.apexlegends", "亚服", "射击", 2, ip_shape="padded_array"),
    _g("la", "失落的方舟", "Lost Ark", "com.smilegate.lostark", "韩服", "角色扮演", 1, ip_shape="semicolon",
       ips=("203.0.113.0/26", "198.51.100.128/25")),
    _g("yj", "永劫无间", "Naraka: Bladepoint", "com.netease.naraka", "国服", "动作", 3, ip_shape="comma_space"),
    _g("ys", "原神", "Genshin Impact", "com.mihoyo.genshin", "国服", "角色扮演", 2, ip_shape="mixed"),
    _g("taris", "塔瑞斯世界", "Tarisland", "com.tencent.tarisland", "国服", "角色扮演", 1, ip_shape="space"),
    _g("cs2", "CS2", "Counter-Strike 2", "com.valve.cs2", "国服", "射击", 3, ip_shape="semicolon"),
    _g("dnf", "地下城与勇士", "Dungeon & Fighter", "com.tencent.dnf", "国服", "动作", 2, ips_in_list=True),
    _g("pubg", "绝地求生", "PUBG: Battlegrounds", "com.krafton.pubg", "亚服", "射击", 3, ip_shape="space",
       ips=("198.19.10.20", "198.19.10.21", "198.19.11.0/24")),
    # A server picture for a game the app also ships one for: the server's wins.
    _g("val", "无畏契约", "VALORANT", "com.riotgames.valorant", "国服", "射击", 2,
       icon="icons/val.png", background="bgs/val.jpg",
       ips=("192.0.2.0/25", "198.51.100.0/26", "203.0.113.128/27")),
    _g("wow", "魔兽世界", "World of Warcraft", "com.blizzard.wow", "国服", "角色扮演", 4, icon=""),
    _g(10001, "原神", "Genshin Impact", "com.mihoyo.genshin", "港服", "角色扮演", 2, ip_shape="comma"),
    _g(10002, "原神", "Genshin Impact", "com.mihoyo.genshin", "美服", "角色扮演", 1),
    _g(10003, "原神", "Genshin Impact", "com.mihoyo.genshin", "日服", "角色扮演", 1, ip_shape="semicolon"),
    _g(10004, "英雄联盟", "League of Legends", "com.tencent.lol", "韩服", "MOBA", 1,
       icon="icons/10004.png", background="bgs/10004.jpg"),
    _g("10005", "英雄联盟", "League of Legends", "com.tencent.lol", "港服", "MOBA", 0, ip_shape="space"),
    _g(10006, "无畏契约", "VALORANT", "com.riotgames.valorant", "港服", "射击", 1, ip_shape="comma"),
    _g(10007, "无畏契约", "VALORANT", "com.riotgames.valorant", "日服", "射击", 0,
       icon="icons/10007.png", background="bgs/10007.jpg"),
    _g(10008, "魔兽世界", "World of Warcraft", "com.blizzard.wow", "美服", "角色扮演", 1, ip_shape="mixed"),
    _g(10009, "魔兽世界", "World of Warcraft", "com.blizzard.wow", "台服", "角色扮演", 0),
    _g(10010, "绝地求生", "PUBG: Battlegrounds", "com.krafton.pubg", "美服", "射击", 2,
       icon="icons/10010.png", ip_shape="comma_space"),
    _g(10011, "Apex英雄", "Apex Legends", "com.ea.apexlegends", "美服", "射击", 1),
    _g(10012, "失落的方舟", "Lost Ark", "com.smilegate.lostark", "美服", "角色扮演", 0, ip_shape="space"),
    _g("10013", "永劫无间", "Naraka: Bladepoint", "com.netease.naraka", "国际服", "动作", 1),
    _g(10014, "地下城与勇士", "Dungeon & Fighter", "com.tencent.dnf", "韩服", "动作", None, ip_shape="comma"),
    _g(10015, "最终幻想14", "Final Fantasy XIV", "com.squareenix.ffxiv", "国服", "角色扮演", 1,
       icon="icons/10015.png", background="bgs/10015.jpg?v=2"),
    _g(10016, "最终幻想14", "Final Fantasy XIV", "com.squareenix.ffxiv", "日服", "角色扮演", 0),
    _g(10017, "崩坏：星穹铁道", "Honkai: Star Rail", "com.mihoyo.hkrpg", "国服", "角色扮演", 2,
       icon="icons/10017.png", background="bgs/10017.jpg", ip_shape="semicolon"),
    _g(10018, "崩坏：星穹铁道", "Honkai: Star Rail", "com.mihoyo.hkrpg", "美服", "角色扮演", 1),
    _g(10019, "绝区零", "Zenless Zone Zero", "com.mihoyo.zzz", "国服", "动作", 2,
       icon="icons/10019.png", background="bgs/10019.jpg", ip_shape="comma"),
    # The one picture the client must refuse: a webp path followed by a query.
    _g(10020, "DOTA2", "Dota 2", "com.valve.dota2", "国服", "MOBA", 2,
       icon="icons/10020.webp?v=3", background="bgs/10020.jpg", ip_shape="array_with_number"),
    _g(10021, "守望先锋", "Overwatch 2", "com.blizzard.overwatch", "国服", "射击", 2, ip_shape="space"),
    # Sloppy data entry: the client trims titles.
    _g(10022, " 炉石传说 ", "Hearthstone", "com.blizzard.hearthstone", "国服", "卡牌", 0,
       icon="icons/10022.png", background=""),
    _g(10023, "逆水寒", "Justice Online", "com.netease.nsh", "国服", "角色扮演", 1, ip_shape="mixed"),
    _g(10024, "天涯明月刀", "Moonlight Blade", "com.tencent.wuxia", "国服", "角色扮演", 0, introduction=None),
    _g(10025, "穿越火线", "CrossFire", "com.tencent.cf", "国服", "射击", 1, ip_shape="comma",
       icon="icons/10025.png", background="bgs/10025.jpg"),
    _g(10026, "艾尔登法环", "Elden Ring", "com.bandainamco.eldenring", "亚服", "动作", 1, ip_shape="semicolon"),
    _g(10027, "怪物猎人：世界", "Monster Hunter: World", "com.capcom.mhw", "亚服", "动作", 1,
       background="bgs/10027.jpg"),
    _g(10028, "彩虹六号：围攻", "Rainbow Six Siege", "com.ubisoft.r6s", "亚服", "射击", 0, ip_shape="space"),
    _g(10029, "使命召唤：战区", "Call of Duty: Warzone", "com.activision.warzone", "美服", "射击", 1,
       ip_shape="comma_space"),
    _g(10030, "糖豆人", "Fall Guys", "com.mediatonic.fallguys", "亚服", "休闲", 0, official_url=False),
    # No region: the client never asks its detail, so its list record carries the addresses.
    _g(10031, "星露谷物语", "Stardew Valley", "com.concernedape.stardew", "", "休闲", None,
       ip_shape="semicolon", ips_in_list=True),
    _g(10032, "泰拉瑞亚", "Terraria", "com.relogic.terraria", "亚服", "休闲", 0, ip_shape="empty_text"),
    _g(10033, "堡垒之夜", "Fortnite", "com.epicgames.fortnite", "美服", "射击", 1, icon="icons/10033.png",
       background="bgs/10033.jpg"),
    _g(10034, "命运2", "Destiny 2", "com.bungie.destiny2", "美服", "射击", 0, ip_shape="comma"),
    _g(10035, "梦幻西游", "Fantasy Westward Journey", "com.netease.xyq", "国服", "角色扮演", None,
       ip_shape="space"),
    _g(10036, "坦克世界", "World of Tanks", "com.wargaming.wot", "欧服", "策略", 0, ip_shape="mixed"),
    # Offline-first game: the detail has no address list at all.
    _g(10037, "文明6", "Civilization VI", "com.firaxis.civ6", "国际服", "策略", 0, ip_shape=None),
    _g(10038, "风暴英雄", "Heroes of the Storm", "com.blizzard.heroes", "国服", "MOBA", 0),
    _g(10039, "永恒之塔", "Aion", "com.ncsoft.aion", "国服", "角色扮演", 4, ip_shape="comma"),
    _g(10040, "三角洲行动", "Delta Force", "com.tencent.deltaforce", "国服", "射击", 3,
       icon="icons/10040.png", background="bgs/10040.jpg", ip_shape="semicolon"),
    _g(10041, "黑色沙漠", "Black Desert", "com.pearlabyss.bdo", "韩服", "角色扮演", 0, ip_shape="space"),
)

# Home-page groups: (type, type_name, ids). yj and lol each sit in two groups,
# and the Hong Kong Genshin record shares a package with ys but not its id.
COMMON_GROUPS = (
    (1, "热门游戏", ("lol", "yj", "cs2", "pubg", "val", "ys", 10040)),
    (2, "新游推荐", ("taris", 10019, 10017, "yj", 10001)),
    (3, "经典端游", ("jx3", "wow", "dnf", "la", "apex", "lol")),
)

# Bare addresses only from 198.18.0.0/15: the client widens a bare address to
# its /16 when it installs routes, and that must stay inside reserved space.
# Documentation ranges appear only as networks no wider than /24.
_DOC_NETWORKS = ("192.0.2", "198.51.100", "203.0.113")


def _derived_ips(position: int, country: str) -> tuple[str, ...]:
    second = 18 if country == "国服" else 19
    doc = _DOC_NETWORKS[position % 3]
    return (f"198.{second}.{position}.10", f"198.{second}.{position}.11",
            f"{doc}.{position * 16 % 256}/28")


def _ip_value(shape: str, ips: tuple[str, ...]) -> Any:
    if shape == "array":
        return list(ips)
    if shape == "padded_array":
        return [f" {ips[0]} ", "", *ips[1:]]
    if shape == "array_with_number":
        return [ips[0], 0, *ips[1:]]
    if shape == "comma":
        return ",".join(ips)
    if shape == "comma_space":
        return ", ".join(ips)
    if shape == "semicolon":
        return ";".join(ips)
    if shape == "space":
        return " ".join(ips)
    if shape == "mixed":
        # Runs of separators, a line break and padding, as hand-edited lists come.
        return " " + ";\n".join(ips[:-1]) + " ,\t" + ips[-1] + " "
    if shape == "empty_text":
        return ""
    raise ValueError(f"unknown ip_list shape {shape}")


class Catalog:
    """Immutable after construction, so handlers read it without the lock."""

    def __init__(self, hostile: bool = False) -> None:
        self.games = GAMES
        self.categories = CATEGORIES
        self.groups = COMMON_GROUPS
        if hostile:
            markup = _g(MARKUP_GAME_ID, MARKUP_TITLE, "<b>Markup</b>", "com.example.markup", "国服",
                        "<i>标记</i>", 3)
            self.games = (markup, *GAMES)
            self.categories = (*CATEGORIES, markup.category,
                               *(f"分类{n}" for n in range(1, EXTRA_CATEGORIES + 1)))
            (first, name, ids), *rest = COMMON_GROUPS
            self.groups = ((first, name, (MARKUP_GAME_ID, *ids)), *rest)
        self.by_id = {str(g.id): g for g in self.games}
        self.by_key = {(g.package, g.country): g for g in self.games}
        if len(self.by_id) != len(self.games) or len(self.by_key) != len(self.games):
            raise ValueError("catalogue ids and (package, country) pairs must be unique")
        self.position = {str(g.id): n for n, g in enumerate(self.games, 1)}
        self.files: dict[str, tuple[str, bytes]] = {}
        for game in self.games:
            for name in (game.icon, game.background):
                if name:
                    self.files[name.split("?", 1)[0]] = _picture(name.split("?", 1)[0], _hue(game))

    def ips(self, game: Game) -> tuple[str, ...]:
        return game.ips or _derived_ips(self.position[str(game.id)], game.country)

    def record(self, game: Game, base_url: str, *, detail: bool = False) -> dict[str, Any]:
        record: dict[str, Any] = {"id": game.id, "title": game.title.replace("{base}", base_url),
                                  "en_name": game.en_name,
                                  "package_name": game.package, "country": game.country,
                                  "category": game.category}
        if game.popular is not None:
            record["popular"] = game.popular
        for key, name in (("icon", game.icon), ("large_image", game.background)):
            if name is not None:
                record[key] = f"{base_url}{STATIC_PREFIX}{name}" if name else ""
        if game.ip_shape is not None and (detail or game.ips_in_list):
            record["ip_list"] = _ip_value(game.ip_shape, self.ips(game))
        if detail:
            record["introduction"] = (game.introduction if game.introduction != "" else
                                      f"{game.title.strip()}（{game.en_name}）{game.country or '全球'}，{game.category}。")
            if game.official_url:
                record["official_url"] = f"https://{game.package.rsplit('.', 1)[-1]}.example/"
        return record


def _catalog(state: State) -> Catalog:
    return state.area("catalog", lambda: Catalog(bool(state.options.get(OPTION_HOSTILE, False))))


# ---------------------------------------------------------------------------
# Requests


def _field(body: dict[str, Any], name: str, kind: type) -> Any:
    value = body.get(name)
    # JSON true/false arrive as bool, an int subclass.
    if not isinstance(value, kind) or isinstance(value, bool):
        raise bad_request(f"{name} missing or not {kind.__name__}")
    return value


@routes.post(COMMON_PATH)
def common(ctx: Context) -> Any:
    catalog = _catalog(ctx.state)
    return {"groups": [
        {"type": type_, "type_name": name,
         "list": [catalog.record(catalog.by_id[str(i)], ctx.base_url) for i in ids]}
        for type_, name, ids in catalog.groups
    ]}


def _matches(game: Game, needle: str) -> bool:
    return any(needle in text.casefold() for text in (game.title, game.en_name, game.package))


@routes.post(PAGE_PATH)
def page(ctx: Context) -> Any:
    page_no = _field(ctx.body, "page", int)
    category = _field(ctx.body, "category", str)
    keyword = _field(ctx.body, "keyword", str).strip().casefold()
    size = ctx.body.get("page_size", DEFAULT_PAGE_SIZE)
    if not isinstance(size, int) or isinstance(size, bool):
        raise bad_request("page_size not an integer")
    if page_no < 1:
        raise bad_request("page below 1")
    size = min(max(size, 1), MAX_PAGE_SIZE)

    catalog = _catalog(ctx.state)
    found = [g for g in catalog.games
             if (not category or g.category == category) and (not keyword or _matches(g, keyword))]
    total_pages = math.ceil(len(found) / size)
    start = (page_no - 1) * size
    ctx.note(f"{len(found)} games, page {page_no}/{total_pages}")
    return {
        "list": [catalog.record(g, ctx.base_url) for g in found[start:start + size]],
        "page": page_no,
        "page_size": size,
        "total": len(found),
        "total_pages": total_pages,
        "has_more": page_no < total_pages,
        "categories": list(catalog.categories),
    }


@routes.post(DETAIL_PATH)
def detail(ctx: Context) -> Any:
    package = _field(ctx.body, "package_name", str)
    country = _field(ctx.body, "country", str)
    if not package:
        raise bad_request("package_name empty")
    catalog = _catalog(ctx.state)
    # Exact match: the client sends both trimmed, so blanks here are its fault.
    game = catalog.by_key.get((package, country))
    if game is None:
        raise ServiceError(CODE_NOT_FOUND, MSG_GAME_NOT_FOUND, reason="no such package and country")
    ctx.note(f"detail of {game.id}")
    return catalog.record(game, ctx.base_url, detail=True)


@routes.static(STATIC_PREFIX)
def static_file(state: State, name: str) -> tuple[str, bytes] | None:
    return _catalog(state).files.get(name)


# ---------------------------------------------------------------------------
# Pictures: tiny valid images, made with the standard library only


def _hue(game: Game) -> float:
    # Same hue as the client's tile gradient for numeric ids; codes get one from their text.
    number = int(game.id) if str(game.id).isdigit() else zlib.crc32(str(game.id).encode())
    return (37 * number) % 360 / 360.0


def _rgb(hue: float, lightness: float, saturation: float) -> tuple[int, int, int]:
    return tuple(round(c * 255) for c in colorsys.hls_to_rgb(hue, lightness, saturation))


def _picture(name: str, hue: float) -> tuple[str, bytes]:
    light, dark = _rgb(hue, 0.60, 0.72), _rgb(hue, 0.34, 0.66)
    if name.endswith(".png"):
        return "image/png", _png(32, 32, light, dark)
    if name.endswith(".jpg"):
        return "image/jpeg", _jpeg(96, 48, light, dark)
    if name.endswith(".webp"):
        return "image/webp", _webp(32, 32, light)
    raise ValueError(f"no picture type for {name}")


def _mix(a: tuple[int, ...], b: tuple[int, ...], t: float) -> tuple[int, ...]:
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def _png(width: int, height: int, top: tuple[int, ...], bottom: tuple[int, ...]) -> bytes:
    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    # Filter byte 0 per row, then RGB; a vertical gradient like the client's tiles.
    rows = b"".join(b"\0" + bytes(_mix(top, bottom, y / (height - 1))) * width for y in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def _huffman_codes(bits: list[int], values: list[int]) -> dict[int, tuple[int, int]]:
    """Canonical JPEG codes: symbol -> (code, length)."""
    codes, code, k = {}, 0, 0
    for length, count in enumerate(bits, 1):
        for _ in range(count):
            codes[values[k]] = (code, length)
            code, k = code + 1, k + 1
        code <<= 1
    return codes


# The usual luminance DC table (categories 0..11); the AC table needs only
# end-of-block, because every 8x8 block is flat.
_DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
_DC_VALUES = list(range(12))
_AC_BITS = [1] + [0] * 15
_AC_VALUES = [0x00]
# With every quantiser at 8, a flat block's DC coefficient is its level minus 128.
_QUANT = 8


def _jpeg(width: int, height: int, left: tuple[int, ...], right: tuple[int, ...]) -> bytes:
    """Baseline JFIF of flat 8x8 blocks shading from left to right (DC terms only)."""
    assert width % 8 == 0 and height % 8 == 0

    def segment(marker: int, data: bytes) -> bytes:
        return struct.pack(">HH", marker, len(data) + 2) + data

    def ycbcr(rgb: tuple[int, ...]) -> tuple[int, int, int]:
        r, g, b = rgb
        return (round(0.299 * r + 0.587 * g + 0.114 * b),
                round(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
                round(128 + 0.5 * r - 0.418688 * g - 0.081312 * b))

    dc = _huffman_codes(_DC_BITS, _DC_VALUES)
    eob = _huffman_codes(_AC_BITS, _AC_VALUES)[0]
    acc, count, out = 0, 0, bytearray()

    def put(code: int, length: int) -> None:
        nonlocal acc, count
        acc, count = (acc << length) | code, count + length
        while count >= 8:
            count -= 8
            byte = (acc >> count) & 0xFF
            out.append(byte)
            if byte == 0xFF:
                out.append(0)  # byte stuffing
        acc &= (1 << count) - 1

    columns = width // 8
    predictors = [0, 0, 0]
    for _ in range(height // 8):
        for col in range(columns):
            levels = ycbcr(_mix(left, right, col / max(1, columns - 1)))
            for c, level in enumerate(levels):
                value = level - 128
                diff, predictors[c] = value - predictors[c], value
                size = abs(diff).bit_length()
                put(*dc[size])
                if size:
                    put(diff if diff > 0 else diff + (1 << size) - 1, size)
                put(*eob)
    if count:
        put((1 << (8 - count)) - 1, 8 - count)  # pad with one bits

    components = b"".join(bytes((i, 0x11, 0)) for i in (1, 2, 3))
    return (b"\xff\xd8"
            + segment(0xFFE0, b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0")
            + segment(0xFFDB, b"\0" + bytes([_QUANT] * 64))
            + segment(0xFFC0, struct.pack(">BHHB", 8, height, width, 3) + components)
            + segment(0xFFC4, b"\x00" + bytes(_DC_BITS) + bytes(_DC_VALUES))
            + segment(0xFFC4, b"\x10" + bytes(_AC_BITS) + bytes(_AC_VALUES))
            + segment(0xFFDA, b"\x03" + b"".join(bytes((i, 0)) for i in (1, 2, 3)) + b"\x00\x3f\x00")
            + bytes(out)
            + b"\xff\xd9")


def _webp(width: int, height: int, rgb: tuple[int, ...]) -> bytes:
    """Lossless WebP of one colour: five one-symbol prefix codes, so pixels cost no bits."""
    acc, count = 0, 0

    def put(value: int, length: int) -> None:  # least significant bit first
        nonlocal acc, count
        acc |= value << count
        count += length

    put(width - 1, 14)
    put(height - 1, 14)
    put(0, 1)  # alpha not used
    put(0, 3)  # version
    put(0, 1)  # no transform
    put(0, 1)  # no colour cache
    put(0, 1)  # no meta prefix codes
    r, g, b = rgb
    for symbol in (g, r, b, 255, 0):  # green, red, blue, alpha, distance
        put(1, 1)  # simple code
        put(0, 1)  # one symbol
        put(1, 1)  # written in eight bits
        put(symbol, 8)
    payload = b"\x2f" + acc.to_bytes((count + 7) // 8, "little")
    chunk = b"VP8L" + struct.pack("<I", len(payload)) + payload + b"\0" * (len(payload) % 2)
    return b"RIFF" + struct.pack("<I", 4 + len(chunk)) + b"WEBP" + chunk
