"""Purchase service (paths below /api/pintuan/): the membership catalogue of the
three purchase modes, orders, the WeChat PC payment, group-buy teams and team
leaders, all in memory.

Nobody really pays: an order stays pending until /__dev/pay marks it paid (each
new order prints a console line saying how), which also extends the account's
membership through accounts.apply_membership. A pending order reads "expired"
once its ten minutes are over; nothing runs in the background, every access
settles it first.

Normal group orders are put into an automatic team when they are paid (one
seat per game in a team); a team leader's team is joined by buying a seat, and
the pending seat order holds its game until it is paid, cancelled or expired.

Teams a real account takes part in (a team a leader opened, a team holding a
paid seat) are joined by simulated members, one every --join-interval seconds,
so the client's group views have progress to show: an automatic team fills up
and forms, a leader team keeps its last seat for a real buyer. The seed account
13600136000 holds a seat in a leader team whose code is issued only a few
seconds after its first group-detail lookup, as a service that assigns codes
asynchronously would.
"""

from __future__ import annotations

import itertools
import math
import secrets
import string
import time
from dataclasses import dataclass, field
from typing import Any, Callable

from . import accounts, signing
from .server import (
    CODE_FAIL,
    CODE_INVALID_TOKEN,
    CODE_NOT_FOUND,
    MSG_INVALID_TOKEN,
    Context,
    RouteTable,
    ServiceError,
    State,
    bad_request,
)

routes = RouteTable()

API = "/api/pintuan"
ORDER_TTL = 600
TEAM_TTL = 24 * 3600
DAY = 86400
PAGE_MAX = 100_000
PAGE_SIZE_MAX = 50
CODE_FORBIDDEN = 403
OPTION_JOIN_INTERVAL = "join_interval"
DEFAULT_JOIN_INTERVAL = 20.0
CODE_DELAY = 5

# The client's payment dialog turns a pc-pay refusal containing this text into a
# status query, so it is the one refusal worded in Chinese.
MSG_ORDER_PAID = "订单已支付"
MSG_ORDER_NOT_FOUND = "order not found"
MSG_TEAM_NOT_FOUND = "team not found"
REFUSALS_BY_STATUS = {
    "paid": MSG_ORDER_PAID,
    "closed": "order closed",
    "expired": "order expired",
    "refunded": "order refunded",
}

ORDER_STATUS = {"pending": "pending_payment", "paid": "completed", "closed": "cancelled",
                "expired": "expired", "refunded": "refunded"}
STATUS_TEXT = {"pending": "待支付", "paid": "已支付", "closed": "已关闭", "expired": "已过期", "refunded": "已退款"}
TEAM_TEXT = {"forming": "组团中", "formed": "已成团", "expired": "已过期"}
VIP_TYPE = {"shared": "shared", "private": "private", "group": "group", "leader_join": "group"}
# Without 0/O and 1/I/L, so a code read out loud or typed from a screenshot survives.
CODE_ALPHABET = "ABCDEFGHJKMNPQRSTUVWXYZ23456789"
INVITE_LINK = "https://nimbra.example/pintuan/join?team_code={}"
ICON_URL = "https://cdn.nimbra.example/games/{}/icon.png"
BACKGROUND_URL = "https://cdn.nimbra.example/games/{}/bg.jpg"
# Where a private line enters the network from the mainland, per carrier.
ENTRY_LINES = (("电信", "上海电信 CN2 入口"), ("联通", "广州联通 9929 入口"), ("移动", "北京移动 CMI 入口"))
CONTINENT_PING = {"亚洲": 45, "大洋洲": 130, "北美洲": 150, "欧洲": 190, "南美洲": 260}


def refuse(msg: str, reason: str | None = None, code: int = CODE_FAIL) -> ServiceError:
    return ServiceError(code, msg, reason=reason)


def _money(value: float) -> float:
    return round(value + 1e-9, 2)


# ---------------------------------------------------------------------------
# Catalogue data

GROUP_REGIONS = (  # region_id, region_key (the client names these), region_name
    (1, "guofu", "国服"), (2, "hanfu", "韩服"), (3, "rifu", "日服"), (4, "yazhou", "亚洲服"), (5, "global", "国际服"),
)
_REGION_SHORT = {"cn": "guofu", "kr": "hanfu", "jp": "rifu", "as": "yazhou", "gl": "global"}

PRIVATE_REGIONS = (  # region_id, region_key, region_name, country, city, continent, price factor
    (101, "hk", "中国香港", "HK", "香港", "亚洲", 1.0), (102, "tw", "中国台湾", "TW", "台北", "亚洲", 1.0),
    (103, "jp-tyo", "日本东京", "JP", "东京", "亚洲", 1.1), (104, "jp-osa", "日本大阪", "JP", "大阪", "亚洲", 1.1),
    (105, "kr-sel", "韩国首尔", "KR", "首尔", "亚洲", 1.1), (106, "sg", "新加坡", "SG", "新加坡", "亚洲", 1.0),
    (107, "my-kul", "马来西亚吉隆坡", "MY", "吉隆坡", "亚洲", 1.0),
    (108, "th-bkk", "泰国曼谷", "TH", "曼谷", "亚洲", 1.0),
    (109, "vn-sgn", "越南胡志明市", "VN", "胡志明市", "亚洲", 1.0),
    (110, "ph-mnl", "菲律宾马尼拉", "PH", "马尼拉", "亚洲", 1.1),
    (111, "id-jkt", "印度尼西亚雅加达", "ID", "雅加达", "亚洲", 1.1),
    (112, "in-bom", "印度孟买", "IN", "孟买", "亚洲", 1.2),
    (113, "au-syd", "澳大利亚悉尼", "AU", "悉尼", "大洋洲", 1.3),
    (114, "us-lax", "美国洛杉矶", "US", "洛杉矶", "北美洲", 1.2),
    (115, "us-sea", "美国西雅图", "US", "西雅图", "北美洲", 1.2),
    (116, "us-nyc", "美国纽约", "US", "纽约", "北美洲", 1.3),
    (117, "ca-yyz", "加拿大多伦多", "CA", "多伦多", "北美洲", 1.3),
    (118, "de-fra", "德国法兰克福", "DE", "法兰克福", "欧洲", 1.3),
    (119, "gb-lon", "英国伦敦", "GB", "伦敦", "欧洲", 1.3),
    (120, "fr-par", "法国巴黎", "FR", "巴黎", "欧洲", 1.3),
    (121, "ru-mow", "俄罗斯莫斯科", "RU", "莫斯科", "欧洲", 1.2),
    (122, "br-sao", "巴西圣保罗", "BR", "圣保罗", "南美洲", 1.5),
    (123, "ae-dxb", "阿联酋迪拜", "AE", "迪拜", "亚洲", 1.4),
    (124, "tr-ist", "土耳其伊斯坦布尔", "TR", "伊斯坦布尔", "欧洲", 1.3),
)

# node_type_id, key, name, monthly private price, bandwidth Mbps, private region keys,
# group regions, group seat prices (5, 10 people). Every private node type is priced
# per region: the client pairs the chosen IP type with a region's product.
NODE_TYPES = (
    (1, "datacenter", "数据中心 IP", 39, 50, [r[1] for r in PRIVATE_REGIONS[:20]],
     "cn kr jp as gl", (19.9, 14.9)),
    (2, "residential", "原生住宅 IP", 69, 30,
     "hk tw jp-tyo jp-osa kr-sel sg my-kul th-bkk vn-sgn ph-mnl us-lax us-sea de-fra gb-lon".split(),
     "kr jp as gl", (29.9, 22.9)),
    (3, "broadband", "家庭宽带 IP", 59, 100, "hk tw jp-tyo kr-sel sg us-lax us-nyc ca-yyz de-fra gb-lon".split(),
     "cn kr jp", (25.9, 19.9)),
    (4, "mobile", "移动 5G IP", 89, 30, "hk jp-tyo kr-sel sg th-bkk us-lax".split(), "", ()),
    (5, "iplc", "IPLC 专线", 129, 200, "hk tw jp-tyo kr-sel sg us-lax".split(), "cn as gl", (49.9, 39.9)),
)
NODE_TEXT = {
    "datacenter": "机房静态 IP，延迟稳定，适合大多数游戏",
    "residential": "原生住宅 IP，IP 质量高，适合风控严格的游戏",
    "broadband": "当地家庭宽带出口，带宽充足，适合大型更新与直播",
    "mobile": "当地运营商移动网络出口，适合手游模拟器",
    "iplc": "国际专线直连，不经公网绕行，晚高峰不拥堵",
}
SOLD_OUT = {("residential", "vn-sgn"), ("mobile", "th-bkk")}
TEAM_SIZES = (5, 10)
LEADER_DISCOUNT = 2.0
SECOND_MEMBER = 10004  # accounts.py seeds it with a group membership

SHARED_PLANS = (  # product_id, name, days, price, origin price, flag
    (101, "共享会员 · 周卡", 7, 9.9, 15, ""), (102, "共享会员 · 月卡", 30, 30, 45, "热销"),
    (103, "共享会员 · 季卡", 90, 78, 135, "省 42%"), (104, "共享会员 · 半年卡", 180, 148, 270, "省 45%"),
    (105, "共享会员 · 年卡", 365, 268, 540, "超值"),
)

# title, package name, category, servers (cn kr jp as gl), popularity 0-3
GAMES = [row.split("|") for row in """
英雄联盟|com.tencent.lol|MOBA|cn kr gl as|3
DOTA2|com.valve.dota2|MOBA|cn gl as|2
风暴英雄|com.blizzard.heroes|MOBA|cn gl|0
永恒轮回|com.nimbleneuron.eternalreturn|MOBA|kr gl|1
神之浩劫2|com.hirez.smite2|MOBA|gl|0
Deadlock|com.valve.deadlock|MOBA|gl as|2
继承者|com.omeda.predecessor|MOBA|gl|0
超维对决|com.theorycraft.supervive|MOBA|gl as|1
CS2|com.valve.cs2|射击|cn gl as|3
绝地求生|com.krafton.pubg|射击|as kr gl|3
Apex英雄|com.ea.apexlegends|射击|as jp gl|2
无畏契约|com.riotgames.valorant|射击|cn as jp kr gl|3
守望先锋|com.blizzard.overwatch|射击|cn kr gl|2
三角洲行动|com.tencent.deltaforce|射击|cn gl|3
穿越火线|com.tencent.cf|射击|cn gl|1
使命召唤：战区|com.activision.warzone|射击|gl|1
使命召唤：黑色行动6|com.activision.codbo6|射击|gl|1
彩虹六号：围攻|com.ubisoft.r6s|射击|as gl|1
堡垒之夜|com.epicgames.fortnite|射击|gl as|1
命运2|com.bungie.destiny2|射击|gl|0
逃离塔科夫|com.battlestate.tarkov|射击|gl as|2
战地2042|com.ea.battlefield2042|射击|gl|0
卡拉彼丘|com.ideagame.strinova|射击|cn gl|1
暗区突围：无限|com.tencent.arenabreakout|射击|cn gl|2
生死狙击2|com.wuduan.ssjj2|射击|cn|0
光环：无限|com.microsoft.haloinfinite|射击|gl|0
绝地潜兵2|com.arrowhead.helldivers2|射击|gl|1
猎杀对决|com.crytek.huntshowdown|射击|gl|0
叛乱：沙漠风暴|com.newworld.sandstorm|射击|gl|0
人间地狱|com.blackmatter.hellletloose|射击|gl|0
战争雷霆|com.gaijin.warthunder|射击|cn gl|1
全境封锁2|com.ubisoft.division2|射击|gl|0
收获日3|com.starbreeze.payday3|射击|gl|0
求生之路2|com.valve.l4d2|射击|gl|1
军团要塞2|com.valve.tf2|射击|gl|0
最终决战|com.embark.thefinals|射击|gl as|1
漫威争锋|com.netease.marvelrivals|射击|cn gl as|3
逆战|com.tencent.nz|射击|cn|1
ARC Raiders|com.embark.arcraiders|射击|gl|2
灰区战争|com.madfinger.grayzone|射击|gl|0
严阵以待|com.void.readyornot|射击|gl|0
剑网3|com.kingsoft.jx3|角色扮演|cn|2
原神|com.mihoyo.genshin|角色扮演|cn as jp gl|2
崩坏：星穹铁道|com.mihoyo.hkrpg|角色扮演|cn as gl|2
绝区零|com.mihoyo.zzz|动作|cn as gl|2
鸣潮|com.kurogame.wutheringwaves|角色扮演|cn gl|2
魔兽世界|com.blizzard.wow|角色扮演|cn kr gl as|3
失落的方舟|com.smilegate.lostark|角色扮演|kr gl|1
黑色沙漠|com.pearlabyss.bdo|角色扮演|kr jp gl|1
最终幻想14|com.squareenix.ffxiv|角色扮演|cn jp gl|2
永恒之塔|com.ncsoft.aion|角色扮演|cn kr|1
剑灵|com.ncsoft.bns|角色扮演|cn kr|1
天堂2|com.ncsoft.lineage2|角色扮演|kr jp|0
天堂W|com.ncsoft.lineagew|角色扮演|kr as|0
王权与自由|com.ncsoft.tl|角色扮演|kr gl|1
逆水寒|com.netease.nsh|角色扮演|cn|1
天涯明月刀|com.tencent.wuxia|角色扮演|cn|0
梦幻西游|com.netease.xyq|角色扮演|cn|1
大话西游2|com.netease.xy2|角色扮演|cn|0
塔瑞斯世界|com.tencent.tarisland|角色扮演|cn gl|1
冒险岛|com.nexon.maplestory|角色扮演|cn kr jp gl|1
洛奇|com.nexon.mabinogi|角色扮演|cn kr|0
洛奇英雄传|com.nexon.vindictus|动作|cn kr|0
艾尔之光|com.kog.elsword|动作|cn kr gl|0
龙之谷|com.eyedentity.dragonnest|动作|cn kr|0
仙境传说RO|com.gravity.ragnarok|角色扮演|cn kr jp|0
魔力宝贝|com.squareenix.crossgate|角色扮演|cn jp|0
奇迹MU|com.webzen.mu|角色扮演|cn kr|0
流放之路|com.ggg.poe|角色扮演|cn kr gl|1
流放之路2|com.ggg.poe2|角色扮演|gl|2
暗黑破坏神4|com.blizzard.diablo4|角色扮演|gl as|1
暗黑破坏神：不朽|com.blizzard.diabloimmortal|角色扮演|cn gl|0
激战2|com.arenanet.gw2|角色扮演|gl|0
上古卷轴OL|com.zenimax.eso|角色扮演|gl|0
新世界：永恒|com.amazon.newworld|角色扮演|gl|0
星战前夜|com.ccp.eveonline|策略|cn gl|1
阿尔比恩|com.sandbox.albion|角色扮演|gl as|0
幻塔|com.perfectworld.toweroffantasy|角色扮演|cn gl|0
战双帕弥什|com.kurogame.pgr|动作|cn jp gl|0
蓝色协议：星辰|com.bandainamco.blueprotocol|角色扮演|jp gl|1
碧蓝幻想：Relink|com.cygames.gbfr|动作|jp gl|0
燕云十六声|com.netease.yysls|动作|cn|2
诛仙世界|com.perfectworld.zxsj|角色扮演|cn|0
永劫无间|com.netease.naraka|动作|cn gl|3
地下城与勇士|com.tencent.dnf|动作|cn kr|2
怪物猎人：世界|com.capcom.mhw|动作|as gl|1
怪物猎人：荒野|com.capcom.mhwilds|动作|as jp gl|2
艾尔登法环|com.bandainamco.eldenring|动作|as gl|1
第一后裔|com.nexon.firstdescendant|射击|kr gl|0
星际战甲|com.digitalextremes.warframe|动作|cn gl|1
无限暖暖|com.papergames.infinitynikki|休闲|cn gl|1
异环|com.hotta.nte|角色扮演|cn gl|1
二重螺旋|com.herogames.duet|动作|cn gl|1
街头霸王6|com.capcom.sf6|动作|jp gl as|1
铁拳8|com.bandainamco.tekken8|动作|jp kr gl|1
拳皇15|com.snk.kof15|动作|jp gl|0
真人快打1|com.wb.mk1|动作|gl|0
火箭联盟|com.psyonix.rocketleague|休闲|gl|1
极限竞速：地平线5|com.microsoft.fh5|休闲|gl|1
极品飞车：不羁|com.ea.nfsunbound|休闲|gl|0
F1 24|com.ea.f124|休闲|gl|0
跑跑卡丁车：漂移|com.nexon.kartrider|休闲|kr gl|0
QQ飞车|com.tencent.speed|休闲|cn|1
劲舞团|com.t3.audition|休闲|cn kr|0
骑士精神2|com.tornbanner.chivalry2|动作|gl|0
猛兽派对|com.recreate.partyanimals|休闲|cn gl|1
糖豆人|com.mediatonic.fallguys|休闲|as gl|0
致命公司|com.zeekerss.lethalcompany|休闲|gl|1
恐鬼症|com.kinetic.phasmophobia|休闲|gl|0
黎明杀机|com.bhvr.dbd|动作|jp gl as|1
第五人格|com.netease.idv|休闲|cn jp|1
蛋仔派对|com.netease.eggy|休闲|cn|1
鹅鸭杀|com.gaggle.goosegooseduck|休闲|gl as|1
Among Us|com.innersloth.amongus|休闲|gl|0
双人成行|com.ea.ittakestwo|休闲|gl|1
盗贼之海|com.rare.seaofthieves|休闲|gl|0
深岩银河|com.ghostship.deeprock|射击|gl|0
无人深空|com.hellogames.nms|休闲|gl|0
我的世界|com.mojang.minecraft|休闲|cn gl|2
泰拉瑞亚|com.relogic.terraria|休闲|as gl|0
饥荒联机版|com.klei.dst|休闲|gl|1
方舟：生存进化|com.studiowildcard.ark|动作|gl as|1
腐蚀|com.facepunch.rust|动作|gl as|1
幻兽帕鲁|com.pocketpair.palworld|休闲|gl as|2
雾锁王国|com.keenswh.enshrouded|角色扮演|gl|0
七日杀|com.funpimps.7dtd|动作|gl|0
英灵神殿|com.irongate.valheim|动作|gl|0
星露谷物语|com.concernedape.stardew|休闲|gl|0
罗布乐思|com.roblox.client|休闲|gl|1
DayZ|com.bohemia.dayz|射击|gl|0
坦克世界|com.wargaming.wot|策略|cn as gl|1
战舰世界|com.wargaming.wows|策略|cn as gl|0
文明6|com.firaxis.civ6|策略|gl|0
帝国时代4|com.relic.aoe4|策略|gl|1
星际争霸2|com.blizzard.sc2|策略|cn kr gl|1
全面战争：战锤3|com.ca.warhammer3|策略|gl|0
钢铁雄心4|com.paradox.hoi4|策略|gl|0
群星|com.paradox.stellaris|策略|gl|0
欧陆风云4|com.paradox.eu4|策略|gl|0
王国风云3|com.paradox.ck3|策略|gl|0
炉石传说|com.blizzard.hearthstone|卡牌|cn gl as|1
万智牌：竞技场|com.wizards.mtga|卡牌|gl|0
游戏王：大师决斗|com.konami.masterduel|卡牌|jp gl as|1
""".strip().splitlines()]


@dataclass(frozen=True)
class Product:
    product_id: int
    kind: str  # "shared", "private", "group" or "leader" (a seat in a leader's team)
    name: str
    price: float
    origin_price: float
    days: int
    node_type: dict[str, Any] | None = None  # node_type_id, node_type_key, node_type_name
    region: dict[str, Any] | None = None  # region_id, region_key, region_name
    member_count: int = 0
    product_key: str = ""
    available: bool = True


@dataclass
class Catalog:
    products: dict[int, Product] = field(default_factory=dict)
    games: dict[str, dict[str, Any]] = field(default_factory=dict)  # by package name
    # The entry's three mode members; built once and never changed, so replies
    # can share them outside the lock.
    sections: dict[str, Any] = field(default_factory=dict)
    leader_entry: dict[str, Any] = field(default_factory=dict)
    group_prices: dict[str, Product] = field(default_factory=dict)  # by price key
    leader_prices: dict[str, Product] = field(default_factory=dict)


def _benefits(*pairs: tuple[str, str]) -> list[dict[str, str]]:
    return [{"title": t, "detail": d} for t, d in pairs]


def _build_catalog() -> Catalog:
    cat = Catalog()
    for gid, (title, package, category, servers, popular) in enumerate(GAMES, start=5001):
        keys = [_REGION_SHORT[s] for s in servers.split()]
        names = dict((k, n) for _, k, n in GROUP_REGIONS)
        cat.games[package] = {
            "game_id": gid, "package_name": package, "name": title, "category": category,
            "servers": [{"region_key": k, "region_name": names[k]} for k in keys],
            "icon": ICON_URL.format(package), "background": BACKGROUND_URL.format(package),
            "popular": int(popular), "hot": int(popular) >= 2,
            "tags": [category, *(n for k, n in names.items() if k in keys)][:3],
            "purchase_modes": ["shared", "private", "group"],
        }

    shared = []
    for pid, name, days, price, origin, flag in SHARED_PLANS:
        cat.products[pid] = Product(pid, "shared", name, price, origin, days)
        shared.append({
            "product_id": pid, "product_type": "shared", "name": name,
            "description": "高性价比 · 共享节点 · 全部游戏可用", "price": price, "origin_price": origin,
            "duration_days": days, "discount_label": flag, "device_limit": 2, "auto_renew": False,
            "benefits": _benefits(("全部游戏", "支持全部已上架游戏加速"), ("共享节点", "多线 BGP 智能选路"),
                                  ("双链路", "主备链路自动切换，断线秒级恢复")),
            "traffic_text": "不限流量", "bandwidth_text": "共享 100Mbps",
        })

    regions = {r[1]: r for r in PRIVATE_REGIONS}
    private_types, group_types, leader_types = [], [], []
    group_map: dict[str, Any] = {}
    leader_map: dict[str, Any] = {}
    group_ids, leader_ids = iter(range(31001, 32000)), iter(range(41001, 42000))
    for nt_id, key, nt_name, base, mbps, private_keys, group_keys, seat_prices in NODE_TYPES:
        nt = {"node_type_id": nt_id, "node_type_key": key, "node_type_name": nt_name}
        private = dict(nt, description=NODE_TEXT[key], duration_days=30, bandwidth_mbps=mbps)
        rows = []
        for index, rkey in enumerate(private_keys, start=1):
            rid, _, rname, country, city, continent, factor = regions[rkey]
            region = {"region_id": rid, "region_key": rkey, "region_name": rname}
            pid = 20000 + nt_id * 100 + index
            price = _money(round(base * factor) - 0.1)
            origin = float(round(price * 1.6))
            available = (key, rkey) not in SOLD_OUT
            cat.products[pid] = Product(pid, "private", f"{nt_name} · {rname}", price, origin, 30, nt,
                                        region, available=available)
            rows.append(dict(region, product_id=pid, country_code=country, city=city, continent=continent,
                             price=price, origin_price=origin, stock=0 if not available else 20 + pid % 37,
                             available=available, ip_version="IPv4",
                             bandwidth_text=f"独享 {mbps}Mbps", device_text="1 台设备同时在线",
                             traffic_text="不限流量", node_text=f"{city}{nt_name}",
                             ping_ms=CONTINENT_PING[continent] + pid % 17,
                             entry_lines=[{"isp": isp, "name": line} for isp, line in ENTRY_LINES],
                             benefits=[f"{city}独享出口 IP", NODE_TEXT[key], "到期前 3 天提醒续费"]))
        private["regions"] = rows
        private_types.append(private)

        if not group_keys:
            continue
        group_regions = []
        for short in group_keys.split():
            rid, rkey, rname = next(r for r in GROUP_REGIONS if r[1] == _REGION_SHORT[short])
            region = {"region_id": rid, "region_key": rkey, "region_name": rname}
            group_regions.append(region)
            for size, seat in zip(TEAM_SIZES, seat_prices):
                price_key = f"{nt_id}_{rkey}_{size}"
                for kind, price, ids, table, prices in (
                    ("group", seat, group_ids, group_map, cat.group_prices),
                    ("leader", _money(seat - LEADER_DISCOUNT), leader_ids, leader_map, cat.leader_prices),
                ):
                    pid = next(ids)
                    origin = float(round(price * 2))
                    suffix = "拼团" if kind == "group" else "团长团席位"
                    product = Product(pid, kind, f"{nt_name} · {rname} · {size}人{suffix}", price, origin, 30,
                                      nt, region, size, price_key)
                    cat.products[pid] = prices[price_key] = product
                    saving = round((1 - price / origin) * 100)
                    table[price_key] = {"product_id": pid, "price": price, "origin_price": origin,
                                        "duration_days": 30, "discount_label": f"{size}人成团 省{saving}%",
                                        "stock_text": "名额充足",
                                        "benefits": ["团内独享静态 IP · 一人一址", "一游一坑 · 游戏独占专属坑位",
                                                     f"{rname}专线节点", "24 小时内自动成团"]}
        group_types.append(dict(nt, description=NODE_TEXT[key], regions=group_regions))
        leader_types.append(dict(nt, regions=group_regions))

    cat.sections = {
        "shared": {"products": shared, "notice": "共享会员可在所有游戏中使用，同一时间最多 2 台设备在线"},
        "private": {"node_types": private_types, "duration_days": 30,
                    "notice": "独享 IP 一人一址，下单后 5 分钟内完成分配"},
        "group": {
            "price_map": group_map, "node_types": group_types,
            "regions": [{"value": k, "label": n, "region_id": i} for i, k, n in GROUP_REGIONS],
            "team_sizes": list(TEAM_SIZES), "available_games": list(cat.games.values()),
            "notice": "支付后系统自动匹配同配置拼团，24 小时内未成团不影响已开通的会员时长",
        },
    }
    cat.leader_entry = {"node_types": leader_types, "member_counts": list(TEAM_SIZES), "price_map": leader_map}
    return cat


# ---------------------------------------------------------------------------
# Orders and teams


@dataclass
class Order:
    order_id: int
    user_id: int
    nickname: str
    kind: str  # "shared", "private", "group" or "leader_join"
    product: Product
    created_at: int
    expire_at: int
    status: str = "pending"  # pending, paid, closed, expired, refunded
    paid_at: int | None = None
    closed_at: int | None = None
    code_url: str | None = None
    game: dict[str, Any] | None = None
    team_id: int | None = None


@dataclass
class Team:
    team_id: int
    team_type: str  # "normal" (formed by the service) or "leader"
    product: Product
    created_at: int
    expire_at: int
    team_code: str = ""
    leader_id: int | None = None
    leader_name: str = ""
    games: tuple[str, ...] = ()  # packages a leader team offers
    formed_at: int | None = None
    order_ids: list[int] = field(default_factory=list)
    joins_from: float | None = None  # simulated members join from then on; None: never
    simulated: int = 0
    code_delayed: bool = False  # the code is issued CODE_DELAY s after the first detail lookup
    code_at: float | None = None


class Purchases:
    """The purchase area of the State; use under ``state.lock``."""

    def __init__(self, catalog: Catalog) -> None:
        self.catalog = catalog
        self.orders: dict[int, Order] = {}
        self.teams: dict[int, Team] = {}
        self.codes: dict[str, int] = {}
        self.leaders = {10001}
        # Plans taken off sale: not ordered any more, and their pending orders can only be cancelled.
        self.withdrawn: set[int] = set()
        self.next_order_id = 26_000_001
        self.next_team_id = 7001
        self.join_interval = DEFAULT_JOIN_INTERVAL
        self.fake_users = iter(range(21001, 30000))
        self.fake_names = itertools.cycle(FAKE_MEMBERS)

    def add_order(self, user_id: int, nickname: str, kind: str, product: Product, now: int, *,
                  game: dict[str, Any] | None = None, team: Team | None = None) -> Order:
        order = Order(self.next_order_id, user_id, nickname, kind, product, now, now + ORDER_TTL, game=game)
        self.next_order_id += 1
        self.orders[order.order_id] = order
        if team is not None:
            order.team_id = team.team_id
            team.order_ids.append(order.order_id)
        return order

    def add_team(self, team_type: str, product: Product, now: int, *, leader: tuple[int, str] | None = None,
                 games: tuple[str, ...] = ()) -> Team:
        team = Team(self.next_team_id, team_type, product, now, now + TEAM_TTL, games=games)
        self.next_team_id += 1
        if leader is not None:
            team.leader_id, team.leader_name = leader
            while True:
                code = "".join(secrets.choice(CODE_ALPHABET) for _ in range(6))
                if code not in self.codes:
                    break
            team.team_code = code
            self.codes[code] = team.team_id
        self.teams[team.team_id] = team
        return team

    def settle(self, order: Order, now: float) -> Order:
        if order.status == "pending" and now >= order.expire_at:
            order.status, order.closed_at = "expired", order.expire_at
        return order

    def team_orders(self, team: Team, now: float) -> list[Order]:
        self.simulate_joins(team, now)
        return [self.settle(self.orders[i], now) for i in team.order_ids]

    def team_state(self, team: Team, now: float) -> str:
        self.simulate_joins(team, now)
        if team.formed_at is not None:
            return "formed"
        return "expired" if now >= team.expire_at else "forming"

    def simulate_joins(self, team: Team, now: float) -> None:
        """Adds the simulated members due by now: each takes a game nobody in the team holds."""
        if team.joins_from is None or self.join_interval <= 0:
            return
        due = int((now - team.joins_from) // self.join_interval)
        while team.simulated < due and team.formed_at is None:
            at = int(team.joins_from + (team.simulated + 1) * self.join_interval)
            if at >= team.expire_at:
                return
            orders = [self.settle(self.orders[i], at) for i in team.order_ids]
            held = [o for o in orders if o.status in ("paid", "pending")]
            spare = 1 if team.team_type == "leader" else 0
            taken = {o.game["package_name"] for o in held if o.game}
            games = [g for g in (team.games or self.catalog.games) if g not in taken]
            if len(held) + spare >= team.product.member_count or not games:
                return
            kind = "leader_join" if team.team_type == "leader" else "group"
            order = self.add_order(next(self.fake_users), next(self.fake_names), kind, team.product, at,
                                   game=self.catalog.games[games[0]], team=team)
            order.status, order.paid_at = "paid", at
            team.simulated += 1
            if sum(o.status == "paid" for o in orders) + 1 >= team.product.member_count:
                team.formed_at = at

    def visible_code(self, team: Team, now: float) -> str:
        if team.code_delayed and (team.code_at is None or now < team.code_at):
            return ""
        return team.team_code

    def team_by_code(self, code: str, now: float) -> Team | None:
        team = self.teams.get(self.codes.get(code.strip().upper(), 0))
        return team if team is not None and self.visible_code(team, now) else None

    def user_orders(self, user_id: int, now: float) -> list[Order]:
        mine = [self.settle(o, now) for o in self.orders.values() if o.user_id == user_id]
        return sorted(mine, key=lambda o: (o.created_at, o.order_id), reverse=True)


def _nickname(phone: str) -> str:
    return f"{phone[:3]}****{phone[-4:]}" if len(phone) >= 7 else phone


FAKE_MEMBERS = ("夜风", "阿狸不吃鱼", "北岛", "咸鱼翻身", "鹿鸣", "Kyo", "半糖", "老王", "小满", "晴川",
                "一只猫", "Zed", "木子", "秋刀鱼", "星河")


def _seed(store: Purchases, now: int) -> None:
    """Believable history: forming teams to join, and a year of orders for the ready account."""
    cat = store.catalog
    games = list(cat.games.values())
    fake = iter(range(20001, 21000))
    names = iter(FAKE_MEMBERS * 10)

    def seat(team: Team, game: dict[str, Any], ago: int, user_id: int | None = None, nickname: str = "") -> Order:
        kind = "leader_join" if team.team_type == "leader" else "group"
        order = store.add_order(user_id or next(fake), nickname or next(names), kind, team.product, now - ago,
                                game=game, team=team)
        order.status, order.paid_at = "paid", now - ago + 40
        return order

    # Forming automatic teams: a new group order of the same product joins one of them.
    for key, paid in (("1_guofu_5", 3), ("1_guofu_10", 7), ("2_hanfu_5", 2), ("1_global_5", 4)):
        team = store.add_team("normal", cat.group_prices[key], now - 3 * 3600)
        for index in range(paid):
            seat(team, games[index * 3 + 1], 3 * 3600 - index * 600)

    # The ready account (10001): a leader with a forming, a formed and an expired team.
    leader = (10001, "138****8000")
    forming = store.add_team("leader", cat.leader_prices["1_guofu_5"], now - 2 * 3600, leader=leader,
                             games=tuple(_games_for(cat, "guofu")))
    for index in range(2):
        seat(forming, cat.games[forming.games[index + 2]], 2 * 3600 - index * 900)
    formed = store.add_team("leader", cat.leader_prices["2_hanfu_10"], now - 10 * DAY, leader=leader,
                            games=tuple(_games_for(cat, "hanfu")))
    for index in range(10):
        seat(formed, cat.games[formed.games[index]], 10 * DAY - index * 1200)
    formed.formed_at = now - 10 * DAY + 6 * 3600
    lapsed = store.add_team("leader", cat.leader_prices["5_yazhou_5"], now - 3 * DAY, leader=leader,
                            games=tuple(_games_for(cat, "yazhou")))
    seat(lapsed, cat.games[lapsed.games[0]], 3 * DAY - 600)

    # Its own orders, oldest first: monthly renewals plus one of each other outcome.
    def own(kind: str, product: Product, ago: int, status: str) -> Order:
        order = store.add_order(10001, leader[1], kind, product, now - ago)
        order.status = status
        if status == "paid":
            order.paid_at = now - ago + 35
        elif status in ("closed", "refunded"):
            order.closed_at = now - ago + 300
        return order

    own("shared", cat.products[102], 400 * DAY, "refunded")
    own("private", cat.products[20103], 130 * DAY, "paid")
    group_team = store.add_team("normal", cat.group_prices["1_guofu_5"], now - 45 * DAY)
    for index in range(4):
        seat(group_team, games[20 + index], 45 * DAY - index * 300)
    seat(group_team, cat.games["com.tencent.lol"], 45 * DAY - 1500, 10001, leader[1])
    group_team.formed_at = now - 45 * DAY + 1600
    for month in range(15, -1, -1):
        own("shared", cat.products[102], month * 30 * DAY + DAY, "paid")
    own("shared", cat.products[103], 5 * DAY, "closed")
    # Left pending: reads "expired" on first access, as any unpaid order does.
    own("shared", cat.products[105], 3 * DAY, "pending")

    # 13600136000 (10004) holds a seat in another leader's team whose code is still being issued.
    late = store.add_team("leader", cat.leader_prices["3_rifu_5"], now - 3600, leader=(next(fake), "北岛"),
                          games=tuple(_games_for(cat, "rifu")))
    late.code_delayed = True
    seat(late, cat.games[late.games[0]], 3000)
    seat(late, cat.games[late.games[1]], 1200, SECOND_MEMBER, "136****6000")


def _games_for(cat: Catalog, region_key: str) -> list[str]:
    return [p for p, g in cat.games.items() if any(s["region_key"] == region_key for s in g["servers"])][:24]


def _store(state: State) -> Purchases:
    def make() -> Purchases:
        store = Purchases(_build_catalog())
        store.join_interval = float(state.options.get(OPTION_JOIN_INTERVAL, DEFAULT_JOIN_INTERVAL))
        _seed(store, int(state.clock()))
        return store

    return state.area("purchase", make)


@routes.on_start
def _start(state: State) -> list[str]:
    _store(state)
    return []


# ---------------------------------------------------------------------------
# Request fields and the caller


def _is_int(value: Any) -> bool:
    # JSON true/false arrive as bool, which is an int subclass in Python.
    return isinstance(value, int) and not isinstance(value, bool)


def _int(body: dict[str, Any], name: str, *, required: bool = True) -> int | None:
    value = body.get(name)
    if value is None and not required:
        return None
    if not _is_int(value) or value <= 0:
        raise bad_request(f"{name} missing or not a positive integer")
    return value


def _text(body: dict[str, Any], name: str, *, required: bool = True) -> str | None:
    value = body.get(name)
    if value is None and not required:
        return None
    if not isinstance(value, str) or not value.strip():
        raise bad_request(f"{name} missing or not a non-empty string")
    return value.strip()


def _caller(ctx: Context) -> dict[str, Any]:
    """The signed-in account the request speaks for; the body guid must be the signer's."""
    guid = ctx.body.get("guid")
    if not _is_int(guid):
        raise bad_request("guid missing or not an integer")
    if guid != ctx.guid:
        raise refuse("guid mismatch", f"body guid {guid} signed by {ctx.guid}", CODE_FORBIDDEN)
    info = accounts.member_info(ctx.state, guid)
    if info is None:
        raise ServiceError(CODE_INVALID_TOKEN, MSG_INVALID_TOKEN, reason=f"no account {guid}")
    if info["disabled"]:
        raise refuse("account disabled", f"user {guid} disabled", CODE_FORBIDDEN)
    return info


def _verify_if_signed(ctx: Context) -> None:
    """The entry path is public and signed alike; a request that tries to sign must sign correctly."""
    state = ctx.state
    try:
        verified = signing.verify(path=ctx.path, get_header=ctx.headers.get_all, body=ctx.raw_body,
                                  sessions=state.sessions, nonces=state.nonces, now=state.clock(),
                                  window=state.skew_seconds)
    except signing.SignatureError as exc:
        raise ServiceError(CODE_INVALID_TOKEN, MSG_INVALID_TOKEN, reason=exc.reason, data=exc.data) from None
    ctx.guid, ctx.device_id, ctx.body_sha256 = verified.guid, verified.device_id, verified.body_sha256


def _tries_to_sign(ctx: Context) -> bool:
    # X-Device-Id alone is not an attempt: unsigned account calls carry it too.
    return any(ctx.headers.get_all(h) for h in signing.SIGNED_HEADERS if h != signing.HEADER_DEVICE_ID)


def _paging(body: dict[str, Any]) -> tuple[int, int]:
    page, size = body.get("page", 1), body.get("page_size", 20)
    if not _is_int(page) or not 1 <= page <= PAGE_MAX:
        raise bad_request(f"page must be 1..{PAGE_MAX}")
    if not _is_int(size) or not 1 <= size <= PAGE_SIZE_MAX:
        raise bad_request(f"page_size must be 1..{PAGE_SIZE_MAX}")
    return page, size


def _page_of(items: list[Any], page: int, size: int, now: int) -> dict[str, Any]:
    start = (page - 1) * size
    return {"items": items[start:start + size], "page": page, "page_size": size, "total": len(items),
            "has_more": start + size < len(items), "server_time": now}


def _same(sent: Any, expected: Any, name: str) -> None:
    """A selection field the client sent must describe the product it orders.

    Compared as text: the client copies ids from option maps, where 2, 2.0 and "2" all occur.
    """
    def text(value: Any) -> str:
        return str(int(value)) if isinstance(value, float) and value.is_integer() else str(value)

    if sent is not None and text(sent) != text(expected):
        raise bad_request(f"{name} {sent!r} does not match the product ({expected!r})")


# ---------------------------------------------------------------------------
# Views


def _game_fields(game: dict[str, Any] | None) -> dict[str, Any]:
    if game is None:
        return {}
    return {"package_name": game["package_name"], "game_id": game["game_id"], "game_name": game["name"]}


def _order_view(store: Purchases, order: Order, now: int) -> dict[str, Any]:
    store.settle(order, now)
    p = order.product
    pending = order.status == "pending"
    view: dict[str, Any] = {
        "order_id": order.order_id,
        "order_no": "NB" + time.strftime("%Y%m%d", time.gmtime(order.created_at)) + f"{order.order_id:010d}",
        "product_id": p.product_id, "product_type": "group" if p.kind in ("group", "leader") else p.kind,
        "product_name": p.name, "duration_days": p.days,
        "amount": {"order_price": p.price, "origin_price": p.origin_price,
                   "discount": _money(p.origin_price - p.price), "currency": "CNY"},
        "pay_amount": p.price, "pay_channel": "wechat",
        "payment_status": order.status, "order_status": ORDER_STATUS[order.status],
        "status_text": STATUS_TEXT[order.status],
        "can_pay": pending and p.product_id not in store.withdrawn, "can_cancel": pending,
        "created_at": order.created_at, "expire_at": order.expire_at,
        "paid_at": order.paid_at, "closed_at": order.closed_at,
    }
    for part in (p.node_type, p.region):
        view.update(part or {})
    if order.kind in ("group", "leader_join"):
        view.update(_game_fields(order.game), member_count=p.member_count,
                    team_type="leader" if order.kind == "leader_join" else "normal")
        team = store.teams.get(order.team_id) if order.team_id else None
        if team is None:
            view["group_status"] = "pending_payment" if pending else "closed"
        else:
            state = store.team_state(team, now)
            paid = sum(o.status == "paid" for o in store.team_orders(team, now))
            code = store.visible_code(team, now)
            view.update(team_id=team.team_id, group_id=team.team_id, team_code=code, group_status=state)
            view["group"] = {"team_id": team.team_id, "group_id": team.team_id, "team_code": code,
                             "team_type": team.team_type, "paid_member_count": paid,
                             "member_count": p.member_count, "team_status": state,
                             "waiting_status": "waiting" if state == "forming" else state}
    return view


def _team_view(store: Purchases, team: Team, viewer: int, now: int) -> dict[str, Any]:
    p = team.product
    orders = store.team_orders(team, now)
    paid = sorted((o for o in orders if o.status == "paid"), key=lambda o: (o.paid_at or 0, o.order_id))
    held = [o for o in orders if o.status in ("paid", "pending")]
    state = store.team_state(team, now)
    code = store.visible_code(team, now)
    region_name = (p.region or {}).get("region_name", "")
    node_name = (p.node_type or {}).get("node_type_name", "")
    name = f"{node_name} · {region_name} · {p.member_count}人团"
    view: dict[str, Any] = {
        "team_id": team.team_id, "group_id": team.team_id, "team_code": code,
        "team_type": team.team_type, "name": name if team.team_type == "normal" else "团长团 · " + name,
        **(p.node_type or {}), **(p.region or {}),
        "member_count": p.member_count, "capacity": p.member_count,
        "paid_member_count": len(paid), "current_members": len(paid), "joined_count": len(paid),
        "pending_member_count": len(held) - len(paid),
        "remaining_slots": max(0, p.member_count - len(held)) if state == "forming" else 0,
        "members": [{"seat_no": n, "nickname": o.nickname, "is_me": o.user_id == viewer,
                     **_game_fields(o.game), "pay_status": "paid", "status_text": "已支付", "joined_at": o.paid_at}
                    for n, o in enumerate(paid, start=1)],
        "group_status": state, "status": state, "team_status": state,
        "status_label": TEAM_TEXT[state], "status_text": TEAM_TEXT[state],
        "created_at": team.created_at, "expire_at": team.expire_at, "formed_at": team.formed_at,
        "duration_days": p.days,
    }
    if team.team_type == "leader":
        taken = {o.game["package_name"] for o in held if o.game}
        view.update(
            leader={"nickname": team.leader_name}, is_leader=team.leader_id == viewer,
            price=p.price, seat_price=p.price, origin_price=p.origin_price, product_id=p.product_id,
            invite_link=INVITE_LINK.format(code) if code else "",
            available_games=[dict(_game_fields(store.catalog.games[pkg]), name=store.catalog.games[pkg]["name"],
                                  available=pkg not in taken and state == "forming") for pkg in team.games],
            join_payload={"team_id": team.team_id, "product_id": p.product_id},
        )
    return view


def _waiting(view: dict[str, Any]) -> dict[str, Any]:
    state, left = view["group_status"], view["member_count"] - view["paid_member_count"]
    text = {"forming": f"还差 {left} 人成团", "formed": "已成团，会员权益已生效", "expired": "拼团已结束"}[state]
    return {"status": state, "paid_member_count": view["paid_member_count"], "member_count": view["member_count"],
            "remaining_slots": view["remaining_slots"], "expire_at": view["expire_at"], "text": text}


def _group_reply(store: Purchases, team: Team, viewer: int, now: int,
                 order: Order | None = None) -> dict[str, Any]:
    view = _team_view(store, team, viewer, now)
    if order is None:
        mine = [o for o in store.team_orders(team, now) if o.user_id == viewer]
        order = mine[-1] if mine else None
    data = {"team": view, "waiting": _waiting(view), "team_id": team.team_id, "group_id": team.team_id,
            "team_code": view["team_code"], "team_type": team.team_type, "group_status": view["group_status"],
            "server_time": now}
    if order is not None:
        data["order"] = _order_view(store, order, now)
    return data


def _membership(state: State, user_id: int) -> dict[str, Any]:
    info = accounts.member_info(state, user_id)
    return info["membership"] if info else {}


# ---------------------------------------------------------------------------
# Catalogue


@routes.post(f"{API}/purchase/entry")
def purchase_entry(ctx: Context) -> Any:
    # One path serves the public catalogue (unsigned, shown before sign-in) and
    # the signed one that adds the caller's membership.
    signed, info = _tries_to_sign(ctx), None
    if signed:
        _verify_if_signed(ctx)
        info = _caller(ctx)
    elif ctx.body.get("guid"):
        raise ServiceError(CODE_INVALID_TOKEN, MSG_INVALID_TOKEN, reason="guid without a signature")
    with ctx.state.lock:
        store = _store(ctx.state)
        entry = dict(store.catalog.sections)
        is_leader = signed and info["user_id"] in store.leaders
    now = int(ctx.state.clock())
    entry.update(server_time=now, currency="CNY", pay_channels=["wechat"])
    if signed:
        entry["membership"] = info["membership"]
        entry["user"] = {"user_id": info["user_id"], "points": info["points"], "is_leader": is_leader}
    ctx.note("signed entry" if signed else "public entry")
    return entry


# ---------------------------------------------------------------------------
# Orders


def _product(store: Purchases, body: dict[str, Any], kind: str) -> Product:
    pid = _int(body, "product_id")
    product = store.catalog.products.get(pid)
    if product is None:
        raise refuse("product not found", f"product {pid}")
    if product.kind != kind:
        raise bad_request(f"product {pid} is {product.kind}, not {kind}")
    if not product.available or pid in store.withdrawn:
        raise refuse("product unavailable", f"product {pid} sold out")
    return product


def _announce(ctx: Context, order: Order) -> None:
    base = getattr(ctx, "base_url", "") or f"http://{ctx.headers.get('Host', '127.0.0.1')}"
    ctx.console(f"order {order.order_id} created: user {order.user_id}, {order.product.name}, "
                f"{order.product.price:.2f} CNY, pending for {ORDER_TTL}s; pay it with: "
                f"curl -s -H 'Content-Type: application/json' -d '{{\"order_id\":{order.order_id}}}' "
                f"{base}/__dev/pay")
    ctx.note(f"order {order.order_id} created")


def _created(ctx: Context, store: Purchases, order: Order, now: int) -> dict[str, Any]:
    _announce(ctx, order)
    return {"order": _order_view(store, order, now), "server_time": now}


@routes.post(f"{API}/order/shared/create", signed=True)
def create_shared(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        product = _product(store, ctx.body, "shared")
        order = store.add_order(info["user_id"], _nickname(info["phone"]), "shared", product, now)
        return _created(ctx, store, order, now)


@routes.post(f"{API}/order/private/create", signed=True)
def create_private(ctx: Context) -> Any:
    info, body = _caller(ctx), ctx.body
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        product = _product(store, body, "private")
        nt = product.node_type or {}
        for name in ("node_type_id", "node_type_key"):
            _same(body.get(name), nt[name], name)
        _same(body.get("ip_type"), nt["node_type_key"], "ip_type")
        for name in ("region_id", "region_key"):
            _same(body.get(name), product.region[name], name)
        order = store.add_order(info["user_id"], _nickname(info["phone"]), "private", product, now)
        return _created(ctx, store, order, now)


def _game(store: Purchases, body: dict[str, Any]) -> dict[str, Any]:
    package = _text(body, "package_name")
    game = store.catalog.games.get(package)
    if game is None:
        raise refuse("game not available", f"package {package}")
    return game


@routes.post(f"{API}/order/group/create", signed=True)
def create_group(ctx: Context) -> Any:
    info, body = _caller(ctx), ctx.body
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        product = _product(store, body, "group")
        _same(body.get("product_key"), product.product_key, "product_key")
        _same(body.get("member_count"), product.member_count, "member_count")
        _same(body.get("node_type_id"), product.node_type["node_type_id"], "node_type_id")
        _same(body.get("ip_type"), product.node_type["node_type_key"], "ip_type")
        _same(body.get("region_key"), product.region["region_key"], "region_key")
        game = _game(store, body)
        order = store.add_order(info["user_id"], _nickname(info["phone"]), "group", product, now, game=game)
        return _created(ctx, store, order, now)


def _own_order(ctx: Context, store: Purchases, user_id: int) -> Order:
    order_id = _int(ctx.body, "order_id")
    order = store.orders.get(order_id)
    # Someone else's order reads like a missing one: ids must not reveal other users' orders.
    if order is None or order.user_id != user_id:
        raise refuse(MSG_ORDER_NOT_FOUND, f"order {order_id}")
    store.settle(order, ctx.state.clock())
    return order


def _check_pending(order: Order) -> None:
    if order.status != "pending":
        raise refuse(REFUSALS_BY_STATUS[order.status], f"order {order.order_id} {order.status}")


@routes.post(f"{API}/order/pc-pay", signed=True)
def pc_pay(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        order = _own_order(ctx, store, info["user_id"])
        _check_pending(order)
        if order.product.product_id in store.withdrawn:
            raise refuse("product unavailable", f"product {order.product.product_id} withdrawn")
        if order.code_url is None:
            # Kept for the order's life: "continue paying" shows the same code again.
            pr = "".join(secrets.choice(string.ascii_letters + string.digits) for _ in range(7))
            order.code_url = f"weixin://wxpay/bizpayurl?pr={pr}"
        p = order.product
        return {"order_id": order.order_id, "payment_status": order.status, "expire_at": order.expire_at,
                "amount": {"order_price": p.price, "currency": "CNY"}, "pay_channel": "wechat_native",
                "wechat": {"code_url": order.code_url, "expire_at": order.expire_at},
                "server_time": now}


@routes.post(f"{API}/order/pay/status", signed=True)
def pay_status(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        order = _own_order(ctx, store, info["user_id"])
        data = {"order_id": order.order_id, "payment_status": order.status,
                "order": _order_view(store, order, now), "server_time": now}
    if order.status == "paid":
        # The client takes this as the new membership state.
        data["membership"] = _membership(ctx.state, order.user_id)
    return data


@routes.post(f"{API}/orders", signed=True)
def orders(ctx: Context) -> Any:
    info = _caller(ctx)
    page, size = _paging(ctx.body)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        mine = store.user_orders(info["user_id"], now)
        return _page_of([_order_view(store, o, now) for o in mine], page, size, now)


@routes.post(f"{API}/order/detail", signed=True)
def order_detail(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        order = _own_order(ctx, store, info["user_id"])
        return {"order": _order_view(store, order, now), "server_time": now}


@routes.post(f"{API}/order/cancel", signed=True)
def cancel(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        order = _own_order(ctx, store, info["user_id"])
        _check_pending(order)
        order.status, order.closed_at = "closed", now
        ctx.note(f"order {order.order_id} cancelled")
        return {"order_id": order.order_id, "order": _order_view(store, order, now), "server_time": now}


# ---------------------------------------------------------------------------
# Groups and team leaders


def _find_team(store: Purchases, body: dict[str, Any], viewer: int,
               now: int) -> tuple[Team | None, Order | None]:
    """The team a group-detail query names (by team id, group id, team code or one of the caller's
    orders) and the order it was found by; no team for a group order not yet paid and placed."""
    for name in ("team_id", "group_id"):
        if body.get(name) is not None:
            team = store.teams.get(_int(body, name))
            # Automatic teams are visible to their members only; leader teams are meant to be shared.
            if team is None or (team.team_type == "normal"
                                and all(store.orders[i].user_id != viewer for i in team.order_ids)):
                raise refuse(MSG_TEAM_NOT_FOUND, f"{name} {body[name]}")
            return team, None
    if body.get("team_code") is not None:
        code = body["team_code"]
        if not isinstance(code, str):
            raise bad_request("team_code not a string")
        team = store.team_by_code(code, now)
        if team is None:
            raise refuse(MSG_TEAM_NOT_FOUND, "unknown team code")
        return team, None
    if body.get("order_id") is not None:
        order_id = _int(body, "order_id")
        order = store.orders.get(order_id)
        if order is None or order.user_id != viewer:
            raise refuse(MSG_ORDER_NOT_FOUND, f"order {order_id}")
        if order.kind not in ("group", "leader_join"):
            raise refuse("not a group order", f"order {order_id} is {order.kind}")
        return (store.teams[order.team_id] if order.team_id else None), order
    raise bad_request("team_id, group_id, team_code or order_id required")


@routes.post(f"{API}/group/detail", signed=True)
def group_detail(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        team, order = _find_team(store, ctx.body, info["user_id"], now)
        if team is not None and team.code_delayed and team.code_at is None:
            # Both start with the first look, so whoever opens the detail sees them arrive.
            team.code_at, team.joins_from = now + CODE_DELAY, now
        if team is None:
            view = _order_view(store, order, now)
            text = "支付后自动匹配拼团" if order.status == "pending" else "订单未支付，未加入拼团"
            return {"team": None, "order": view, "group_status": view["group_status"],
                    "waiting": {"status": view["group_status"], "paid_member_count": 0,
                                "member_count": order.product.member_count, "text": text},
                    "server_time": now}
        return _group_reply(store, team, info["user_id"], now, order)


@routes.post(f"{API}/leader/entry", signed=True)
def leader_entry(ctx: Context) -> Any:
    info = _caller(ctx)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        user_id = info["user_id"]
        data = dict(store.catalog.leader_entry, is_leader=user_id in store.leaders, server_time=now)
        if data["is_leader"]:
            states = [store.team_state(t, now) for t in store.teams.values() if t.leader_id == user_id]
            data["leader"] = {"user_id": user_id, "nickname": _nickname(info["phone"]), "level": "金牌团长",
                              "open_team_count": states.count("forming"),
                              "formed_team_count": states.count("formed")}
        return data


@routes.post(f"{API}/leader/create", signed=True)
def leader_create(ctx: Context) -> Any:
    info, body = _caller(ctx), ctx.body
    pid, nt_id = _int(body, "product_id"), _int(body, "node_type_id")
    country_id, size = _int(body, "country_id"), _int(body, "member_count")
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        if info["user_id"] not in store.leaders:
            raise refuse("not a team leader", f"user {info['user_id']}")
        region_key = next((k for i, k, _ in GROUP_REGIONS if i == country_id), "")
        product = store.catalog.leader_prices.get(f"{nt_id}_{region_key}_{size}")
        if product is None or product.product_id != pid:
            raise refuse("invalid team option",
                         f"product {pid} node type {nt_id} country {country_id} size {size}")
        team = store.add_team("leader", product, now, leader=(info["user_id"], _nickname(info["phone"])),
                              games=tuple(_games_for(store.catalog, region_key)))
        team.joins_from = now
        ctx.note(f"leader team {team.team_id} created")
        return {"team": _team_view(store, team, info["user_id"], now), "server_time": now}


@routes.post(f"{API}/leader/teams", signed=True)
def leader_teams(ctx: Context) -> Any:
    info = _caller(ctx)
    page, size = _paging(ctx.body)
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        mine = sorted((t for t in store.teams.values() if t.leader_id == info["user_id"]),
                      key=lambda t: (t.created_at, t.team_id), reverse=True)
        return _page_of([_team_view(store, t, info["user_id"], now) for t in mine], page, size, now)


@routes.post(f"{API}/leader/join/order/create", signed=True)
def leader_join(ctx: Context) -> Any:
    info, body = _caller(ctx), ctx.body
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        code = _text(body, "team_code", required=False)
        team = store.team_by_code(code, now) if code else store.teams.get(_int(body, "team_id"))
        if team is None or team.team_type != "leader":
            raise refuse(MSG_TEAM_NOT_FOUND, f"team {code or body.get('team_id')}")
        _same(body.get("product_id"), team.product.product_id, "product_id")
        game = _game(store, body)
        state = store.team_state(team, now)
        held = [o for o in store.team_orders(team, now) if o.status in ("paid", "pending")]
        if state == "expired":
            raise refuse("team expired", f"team {team.team_id}")
        if state == "formed" or len(held) >= team.product.member_count:
            raise refuse("team full", f"team {team.team_id}")
        if game["package_name"] not in team.games:
            raise refuse("game not available", f"team {team.team_id} does not offer it")
        if any(o.game and o.game["package_name"] == game["package_name"] for o in held):
            raise refuse("game already taken", f"team {team.team_id}")
        order = store.add_order(info["user_id"], _nickname(info["phone"]), "leader_join", team.product, now,
                                game=game, team=team)
        return _created(ctx, store, order, now)


# ---------------------------------------------------------------------------
# Developer and test helpers (never called by the app)


def _place_in_auto_team(store: Purchases, order: Order, now: int) -> Team:
    """The oldest forming team of the same product with room and without this game, else a new one."""
    package = order.game["package_name"]
    for team in sorted(store.teams.values(), key=lambda t: (t.created_at, t.team_id)):
        if (team.team_type != "normal" or team.product.product_id != order.product.product_id
                or store.team_state(team, now) != "forming"):
            continue
        paid = [o for o in store.team_orders(team, now) if o.status == "paid"]
        if len(paid) < team.product.member_count and all(o.game["package_name"] != package for o in paid):
            break
    else:
        team = store.add_team("normal", order.product, now)
    team.order_ids.append(order.order_id)
    order.team_id = team.team_id
    return team


@routes.post("/__dev/pay")
def dev_pay(ctx: Context) -> Any:
    """Completes the WeChat payment of an order, as the payment notification would."""
    order_id = _int(ctx.body, "order_id")
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        order = store.orders.get(order_id)
        if order is None:
            raise refuse(MSG_ORDER_NOT_FOUND, f"order {order_id}", CODE_NOT_FOUND)
        store.settle(order, now)
        _check_pending(order)
        team = store.teams.get(order.team_id) if order.team_id else None
        if team is not None and store.team_state(team, now) != "forming":
            raise refuse("team expired", f"team {team.team_id} {store.team_state(team, now)}")
        order.status, order.paid_at = "paid", now
        if order.kind == "group":
            team = _place_in_auto_team(store, order, now)
        if team is not None:
            if team.joins_from is None:
                team.joins_from = now
            paid = sum(o.status == "paid" for o in store.team_orders(team, now))
            if paid >= team.product.member_count:
                team.formed_at = now
        membership = accounts.apply_membership(ctx.state, order.user_id, VIP_TYPE[order.kind], order.product.days)
        ctx.note(f"order {order_id} paid")
        return {"order": _order_view(store, order, now), "membership": membership, "server_time": now}


@routes.post("/__test/pintuan/product-availability")
def product_availability(ctx: Context) -> Any:
    """Takes a plan off sale (``available`` false) or puts it back, as the operator would."""
    product_id = _int(ctx.body, "product_id")
    available = ctx.body.get("available")
    if not isinstance(available, bool):
        raise bad_request("available must be true or false")
    with ctx.state.lock:
        store = _store(ctx.state)
        if product_id not in store.catalog.products:
            raise refuse("product not found", f"product {product_id}", CODE_NOT_FOUND)
        if available:
            store.withdrawn.discard(product_id)
        else:
            store.withdrawn.add(product_id)
        return {"product_id": product_id, "available": available}


def _aged(ctx: Context, name: str, table: str,
          move: Callable[[Purchases, Any, int, int], dict[str, Any]]) -> dict[str, Any]:
    """Looks up the order or team the body names and lets ``move`` set its clock ``seconds`` back."""
    item_id = _int(ctx.body, name)
    seconds = ctx.body.get("seconds")
    if not isinstance(seconds, (int, float)) or isinstance(seconds, bool) or not math.isfinite(seconds) \
            or seconds < 0:
        raise bad_request("seconds must be a non-negative number")
    with ctx.state.lock:
        store, now = _store(ctx.state), int(ctx.state.clock())
        item = getattr(store, table).get(item_id)
        if item is None:
            raise refuse("not found", f"{table[:-1]} {item_id}", CODE_NOT_FOUND)
        return dict(move(store, item, int(seconds), now), server_time=now)


@routes.post("/__test/pintuan/age-order")
def age_order(ctx: Context) -> Any:
    """Moves an order's clock back by ``seconds``, so expiry can be tested without waiting."""
    def move(store: Purchases, order: Order, seconds: int, now: int) -> dict[str, Any]:
        order.created_at -= seconds
        order.expire_at -= seconds
        return {"order": _order_view(store, order, now)}

    return _aged(ctx, "order_id", "orders", move)


@routes.post("/__test/pintuan/age-team")
def age_team(ctx: Context) -> Any:
    """Moves a team's simulated members and its late code ``seconds`` earlier."""
    def move(store: Purchases, team: Team, seconds: int, now: int) -> dict[str, Any]:
        if team.joins_from is not None:
            team.joins_from -= seconds
        if team.code_at is not None:
            team.code_at -= seconds
        return {"team": _team_view(store, team, 0, now)}

    return _aged(ctx, "team_id", "teams", move)
