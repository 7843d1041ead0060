"""Black-box tests of the simulated purchase service (/api/pintuan/) over loopback HTTP.

Users sign in through the account endpoints and sign their requests with this
suite's own signing helper, as the client does.
"""

from __future__ import annotations

import itertools
import json
import re
import tempfile
import time
import unittest
import uuid
from pathlib import Path

from test_devservice import post, signed_headers, start_service, stop_service

API = "/api/pintuan"
JOIN_INTERVAL = 600
_phones = itertools.count(1)


class Shopper:
    """One signed-in user; ``ok``/``refused`` send signed purchase calls with the user's guid."""

    def __init__(self, test: unittest.TestCase, port: int, phone: str | None = None, password: str = "") -> None:
        self.test, self.port, self.device = test, port, f"nimbra-{uuid.uuid4()}"
        if phone is None:  # a fresh account, so tests sharing one service stay independent
            phone, password = f"1660{next(_phones):07d}", "shopper-pw"
            self.plain("/passport/sms/send", {"phone": phone, "scene": "register"})
            code = self.plain("/__dev/sms/latest", {"phone": phone, "scene": "register"})["data"]["code"]
            data = self.plain("/passport/sms/register", {"phone": phone, "code": code, "password": password,
                                                         "password_confirm": password, "verify_code": ""})
        else:
            data = self.plain("/passport/sms/login", {"phone": phone, "password": password, "remember_me": True})
        data = data["data"]
        self.user_id, self.secret, self.token = data["user_id"], data["device_secret"], data["token"]

    def plain(self, path: str, body: dict) -> dict:
        status, _, raw = post(self.port, path, json.dumps(body).encode(), {"X-Device-Id": self.device.encode()})
        self.test.assertEqual(status, 200, raw)
        return json.loads(raw)

    def call(self, path: str, guid: int | None = None, secret: str | None = None, **fields) -> dict:
        body = json.dumps({"guid": self.user_id if guid is None else guid, **fields}).encode()
        headers = signed_headers(path, body, secret=secret or self.secret, guid=self.user_id,
                                 device_id=self.device)
        status, _, raw = post(self.port, path, body, headers)
        self.test.assertEqual(status, 200, raw)
        reply = json.loads(raw)
        if reply["code"] == 1:
            data = reply["data"]
            # Every answer carries the service clock the payment countdown runs on.
            self.test.assertLess(abs(data["server_time"] - time.time()), 5, path)
        return reply

    def ok(self, path: str, **fields) -> dict:
        reply = self.call(API + path, **fields)
        self.test.assertEqual((reply["code"], reply["msg"]), (1, "ok"), f"{path} {fields}: {reply}")
        return reply["data"]

    def refused(self, msg: str, path: str, **fields) -> None:
        reply = self.call(API + path, **fields)
        self.test.assertNotEqual(reply["code"], 1, f"{path} {fields}")
        self.test.assertEqual((reply["msg"], reply["data"]), (msg, None), f"{path} {fields}")

    def dev(self, path: str, body: dict) -> dict:
        return json.loads(post(self.port, path, json.dumps(body).encode())[2])

    def membership(self) -> dict:
        data = self.plain("/passport/sms/refresh", {"token": self.token})["data"]
        self.secret = data["device_secret"]  # a refresh replaces this device's secret, as in the app
        return data["membership"]


class PurchaseServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.tmp = tempfile.TemporaryDirectory()
        # Simulated members only when a test moves a team's clock on (age-team).
        cls.proc, cls.port, cls.log_path = start_service(Path(cls.tmp.name), "--sms-interval", "0",
                                                         "--join-interval", str(JOIN_INTERVAL))
        status, _, raw = post(cls.port, API + "/purchase/entry", b"{}")
        cls.entry_bytes, cls.entry = len(raw), json.loads(raw)["data"]

    @classmethod
    def tearDownClass(cls) -> None:
        stop_service(cls.proc)
        cls.tmp.cleanup()

    def shopper(self, phone: str | None = None, password: str = "") -> Shopper:
        return Shopper(self, self.port, phone, password)

    def group_product(self, key: str) -> dict:
        return dict(self.entry["group"]["price_map"][key], product_key=key)

    def games(self, count: int) -> list[str]:
        return [g["package_name"] for g in self.entry["group"]["available_games"][:count]]

    def test_entry_is_public_or_signed_and_usable_by_the_preparation(self) -> None:
        entry = self.entry
        self.assertGreaterEqual(self.entry_bytes, 100_000)
        self.assertFalse({"membership", "user"} & set(entry))
        self.assertLess(abs(entry["server_time"] - time.time()), 5)

        shared = entry["shared"]["products"]
        self.assertTrue(shared and all({"product_id", "name", "price", "duration_days"} <= set(p) for p in shared))
        for nt in entry["private"]["node_types"]:
            self.assertTrue(nt["regions"], nt["node_type_key"])
            for row in nt["regions"]:
                self.assertTrue(row["region_key"] and row["product_id"] and row["price"] > 0, row)
        group = entry["group"]
        node_ids = {str(nt["node_type_id"]) for nt in group["node_types"]}
        region_keys = {r["value"] for r in group["regions"]}
        self.assertEqual(group["team_sizes"], [5, 10])
        for key, item in group["price_map"].items():
            node, region, size = key.split("_")
            self.assertTrue(node in node_ids and region in region_keys and int(size) in group["team_sizes"], key)
            self.assertGreater(item["price"], 0)
        self.assertIn("1_guofu_5", group["price_map"])
        packages = [g["package_name"] for g in group["available_games"]]
        self.assertGreater(len(packages), 128)  # past the client's option cap on purpose
        self.assertEqual(len(packages), len(set(packages)))

        # Signed: the same catalogue plus the caller's membership.
        ready = self.shopper("13800138000", "nimbra123")
        signed = ready.ok("/purchase/entry")
        self.assertEqual(signed["private"], entry["private"])
        self.assertEqual((signed["membership"]["is_vip"], signed["membership"]["vip_num"]), (True, 1024))
        self.assertEqual(signed["user"]["is_leader"], True)
        plain = self.shopper("13900139000", "nimbra456").ok("/purchase/entry")
        self.assertEqual((plain["membership"]["is_vip"], plain["user"]["is_leader"]), (False, False))

        # Claiming a user without signing, or signing badly, is refused.
        status, _, raw = post(self.port, API + "/purchase/entry", b'{"guid":10001}')
        self.assertEqual(json.loads(raw)["msg"], "invalid token")
        self.assertEqual(ready.call(API + "/purchase/entry", secret="not-the-secret")["msg"], "invalid token")
        ready.refused("guid mismatch", "/purchase/entry", guid=10002)

    def test_shared_and_private_payment_extends_membership(self) -> None:
        u = self.shopper()  # new accounts start with 3 days of shared membership
        month = next(p for p in self.entry["shared"]["products"] if p["duration_days"] == 30)
        created = u.ok("/order/shared/create", **month)
        order = created["order"]
        oid = order["order_id"]
        self.assertEqual((order["payment_status"], order["can_pay"], order["product_type"]),
                         ("pending", True, "shared"))
        self.assertEqual(order["amount"]["order_price"], month["price"])
        self.assertEqual(order["expire_at"], order["created_at"] + 600)
        self.assertLessEqual(abs(order["created_at"] - created["server_time"]), 1)

        pay = u.ok("/order/pc-pay", order_id=oid)
        self.assertRegex(pay["wechat"]["code_url"], r"^weixin://wxpay/bizpayurl\?pr=[A-Za-z0-9]{4,}$")
        self.assertEqual((pay["order_id"], pay["amount"]["order_price"]), (oid, month["price"]))
        self.assertEqual(u.ok("/order/pc-pay", order_id=oid)["wechat"], pay["wechat"])
        self.assertEqual(u.ok("/order/pay/status", order_id=oid)["order"]["payment_status"], "pending")

        self.assertEqual(u.dev("/__dev/pay", {"order_id": oid})["data"]["order"]["payment_status"], "paid")
        status = u.ok("/order/pay/status", order_id=oid)
        self.assertEqual(status["order"]["payment_status"], "paid")
        m = status["membership"]
        self.assertEqual((m["vip_type"], m["remaining_days"]), ("shared", 33))
        self.assertEqual(u.membership()["remaining_days"], 33)
        for path in ("/order/pc-pay", "/order/cancel"):
            u.refused("订单已支付", path, order_id=oid)
        self.assertEqual(u.dev("/__dev/pay", {"order_id": oid})["msg"], "订单已支付")

        # A private plan raises the type and keeps the days; a later shared week does not lower it.
        row = self.entry["private"]["node_types"][1]["regions"][0]
        nt = self.entry["private"]["node_types"][1]
        private = u.ok("/order/private/create", product_id=row["product_id"], node_type_id=nt["node_type_id"],
                       node_type_key=nt["node_type_key"], ip_type=nt["node_type_key"],
                       region_id=row["region_id"], region_key=row["region_key"], region=row["region_key"])["order"]
        self.assertEqual((private["region_key"], private["amount"]["order_price"]),
                         (row["region_key"], row["price"]))
        u.dev("/__dev/pay", {"order_id": private["order_id"]})
        week = u.ok("/order/shared/create", product_id=self.entry["shared"]["products"][0]["product_id"])["order"]
        m = u.dev("/__dev/pay", {"order_id": week["order_id"]})["data"]["membership"]
        self.assertEqual((m["vip_type"], m["remaining_days"]), ("private", 33 + 30 + 7))

        page = u.ok("/orders", page=1, page_size=2)
        self.assertEqual((page["total"], page["has_more"], page["page_size"]), (3, True, 2))
        self.assertEqual([o["order_id"] for o in page["items"]], [week["order_id"], private["order_id"]])
        last = u.ok("/orders", page=2, page_size=2)
        self.assertEqual(([o["order_id"] for o in last["items"]], last["has_more"]), ([oid], False))
        self.assertFalse(u.ok("/orders", page=1, page_size=3)["has_more"])
        self.assertEqual(u.ok("/order/detail", order_id=oid)["order"]["payment_status"], "paid")

        time.sleep(0.1)
        log = self.log_path.read_text(encoding="utf-8")
        self.assertRegex(log, rf"order {oid} created: .*\"order_id\":{oid}.* http://[^ ]+/__dev/pay\n")
        self.assertNotIn(u.secret, log)
        self.assertNotIn(u.token, log)

    def test_cancel_and_lazy_expiry(self) -> None:
        u = self.shopper()
        first, second = (u.ok("/order/shared/create", product_id=102)["order"]["order_id"] for _ in range(2))
        cancelled = u.ok("/order/cancel", order_id=first)
        self.assertEqual((cancelled["order_id"], cancelled["order"]["payment_status"]), (first, "closed"))
        self.assertFalse(cancelled["order"]["can_pay"])
        for path in ("/order/cancel", "/order/pc-pay"):
            u.refused("order closed", path, order_id=first)
        self.assertEqual(u.dev("/__dev/pay", {"order_id": first})["msg"], "order closed")

        # Ten minutes to pay: still pending just before, expired once they are over.
        u.dev("/__test/pintuan/age-order", {"order_id": second, "seconds": 590})
        self.assertTrue(u.ok("/order/detail", order_id=second)["order"]["can_pay"])
        u.dev("/__test/pintuan/age-order", {"order_id": second, "seconds": 10})
        self.assertEqual(u.ok("/order/pay/status", order_id=second)["payment_status"], "expired")
        for path in ("/order/pc-pay", "/order/cancel"):
            u.refused("order expired", path, order_id=second)
        self.assertEqual(u.dev("/__dev/pay", {"order_id": second})["msg"], "order expired")
        listed = u.ok("/orders", page=1, page_size=20)["items"]
        self.assertEqual({o["order_id"]: o["payment_status"] for o in listed},
                         {first: "closed", second: "expired"})

        # The ready account's history pages past 20, and no listed order is pending past its time.
        ready = self.shopper("13800138000", "nimbra123")
        history = ready.ok("/orders", page=1, page_size=20)
        self.assertTrue(history["has_more"] and history["total"] > 20)
        late = [o for o in history["items"] if o["payment_status"] == "pending" and o["expire_at"] <= time.time()]
        self.assertEqual(late, [])

    def test_withdrawn_plan_orders_can_only_be_cancelled(self) -> None:
        u = self.shopper()
        order_id = u.ok("/order/shared/create", product_id=104)["order"]["order_id"]
        withdrawn = u.dev("/__test/pintuan/product-availability", {"product_id": 104, "available": False})
        self.assertEqual(withdrawn["code"], 1)
        try:
            view = u.ok("/order/detail", order_id=order_id)["order"]
            self.assertEqual((view["can_pay"], view["can_cancel"]), (False, True))
            u.refused("product unavailable", "/order/pc-pay", order_id=order_id)
            u.refused("product unavailable", "/order/shared/create", product_id=104)
            self.assertEqual(u.ok("/order/cancel", order_id=order_id)["order"]["payment_status"], "closed")
        finally:
            u.dev("/__test/pintuan/product-availability", {"product_id": 104, "available": True})
        self.assertEqual(u.ok("/order/shared/create", product_id=104)["order"]["can_pay"], True)

    def test_group_orders_are_placed_in_automatic_teams(self) -> None:
        u, stranger = self.shopper(), self.shopper()
        product = self.group_product("3_rifu_5")
        games = self.games(5)
        orders = [u.ok("/order/group/create", **product, member_count=5, package_name=g)["order"]
                  for g in [games[0], *games]]
        self.assertEqual({o["group_status"] for o in orders}, {"pending_payment"})
        waiting = u.ok("/group/detail", order_id=orders[0]["order_id"])
        self.assertEqual((waiting["team"], waiting["waiting"]["status"]), (None, "pending_payment"))

        paid = [u.dev("/__dev/pay", {"order_id": o["order_id"]})["data"]["order"] for o in orders]
        # The second order repeats the first one's game, so it opens a team of its own.
        teams = [o["group"]["team_id"] for o in paid]
        self.assertNotEqual(teams[0], teams[1])
        self.assertEqual(teams[2:], [teams[0]] * 4)
        detail = u.ok("/group/detail", order_id=orders[-1]["order_id"])
        team = detail["team"]
        self.assertEqual((team["paid_member_count"], team["member_count"], team["group_status"]), (5, 5, "formed"))
        self.assertEqual(sorted(m["package_name"] for m in team["members"]), sorted(games))
        self.assertEqual(detail["waiting"]["status"], "formed")
        self.assertEqual(u.ok("/group/detail", team_id=teams[0])["team"], team)
        self.assertEqual(u.ok("/group/detail", team_id=teams[1])["team"]["group_status"], "forming")
        stranger.refused("team not found", "/group/detail", team_id=teams[0])
        stranger.refused("order not found", "/group/detail", order_id=orders[0]["order_id"])

        u.refused("bad request", "/order/group/create", **product, member_count=10, package_name=games[0])
        u.refused("bad request", "/order/group/create", **product)
        u.refused("game not available", "/order/group/create", **product, package_name="com.example.nope")
        u.refused("bad request", "/order/group/create", product_id=102, package_name=games[0])

    def test_leader_teams_are_opened_looked_up_and_joined(self) -> None:
        leader, buyer, rival = self.shopper("13800138000", "nimbra123"), self.shopper(), self.shopper()
        entry = leader.ok("/leader/entry")
        self.assertTrue(entry["is_leader"])
        own = leader.ok("/leader/teams", page=1, page_size=20)["items"]
        self.assertTrue({"forming", "formed", "expired"} <= {t["group_status"] for t in own})

        nt = next(n for n in entry["node_types"] if n["node_type_id"] == 2)
        region = next(r for r in nt["regions"] if r["region_key"] == "hanfu")
        option = {"node_type_id": 2, "country_id": region["region_id"], "member_count": 5}
        price = entry["price_map"]["2_hanfu_5"]
        leader.refused("invalid team option", "/leader/create", product_id=price["product_id"] + 1, **option)
        team = leader.ok("/leader/create", product_id=price["product_id"], **option)["team"]
        code = team["team_code"]
        self.assertRegex(code, r"^[A-Z2-9]{6}$")
        self.assertEqual((team["group_status"], team["paid_member_count"], team["capacity"], team["price"]),
                         ("forming", 0, 5, price["price"]))
        self.assertEqual(leader.ok("/leader/teams", page=1, page_size=1)["items"][0]["team_code"], code)

        found = buyer.ok("/group/detail", team_code=code.lower())
        self.assertEqual(found["team"], buyer.ok("/group/detail", team_id=team["team_id"])["team"])
        game = found["team"]["available_games"][0]["package_name"]
        payload = dict(found["team"]["join_payload"], team_code=code, package_name=game)
        seat = buyer.ok("/leader/join/order/create", **payload)["order"]
        self.assertEqual((seat["team_type"], seat["team_code"], seat["amount"]["order_price"]),
                         ("leader", code, price["price"]))

        # A pending seat holds its game; cancelling frees it.
        rival.refused("game already taken", "/leader/join/order/create", **payload)
        held = rival.ok("/group/detail", team_code=code)["team"]
        self.assertFalse(next(g for g in held["available_games"] if g["package_name"] == game)["available"])
        self.assertEqual(held["remaining_slots"], 4)
        rival.refused("game not available", "/leader/join/order/create",  # a game the team does not offer
                      **dict(payload, package_name="com.mojang.minecraft"))
        buyer.ok("/order/cancel", order_id=seat["order_id"])
        taken = rival.ok("/leader/join/order/create", **payload)["order"]
        rival.dev("/__dev/pay", {"order_id": taken["order_id"]})
        joined = leader.ok("/group/detail", team_id=team["team_id"])["team"]
        self.assertEqual((joined["paid_member_count"], [m["package_name"] for m in joined["members"]]),
                         (1, [game]))
        self.assertEqual(rival.ok("/group/detail", order_id=taken["order_id"])["team"]["team_code"], code)

        self.assertFalse(buyer.ok("/leader/entry")["is_leader"])
        buyer.refused("not a team leader", "/leader/create", product_id=price["product_id"], **option)
        buyer.refused("team not found", "/group/detail", team_code="ZZZZZZ")
        buyer.refused("team not found", "/leader/join/order/create", team_code="ZZZZZZ", package_name=game)

    def test_simulated_members_fill_teams_and_a_late_code_arrives(self) -> None:
        u, leader, buyer = self.shopper(), self.shopper("13800138000", "nimbra123"), self.shopper()

        def age(team_id: int, intervals: float) -> dict:
            return u.dev("/__test/pintuan/age-team", {"team_id": team_id, "seconds": int(intervals * JOIN_INTERVAL)})

        # An automatic team with one real member fills up, one simulated member per interval, and forms.
        order = u.ok("/order/group/create", **self.group_product("5_guofu_5"), package_name=self.games(1)[0])["order"]
        team_id = u.dev("/__dev/pay", {"order_id": order["order_id"]})["data"]["order"]["group"]["team_id"]
        self.assertEqual(age(team_id, 2.5)["data"]["team"]["paid_member_count"], 3)
        team = u.ok("/group/detail", order_id=order["order_id"])["team"]
        self.assertEqual((team["paid_member_count"], team["group_status"]), (3, "forming"))
        age(team_id, 10)
        team = u.ok("/group/detail", team_id=team_id)["team"]
        self.assertEqual((team["paid_member_count"], team["group_status"]), (5, "formed"))
        self.assertEqual(len({m["package_name"] for m in team["members"]}), 5)

        # A leader's new team keeps its last seat for a real buyer.
        entry = leader.ok("/leader/entry")
        option = {"node_type_id": 3, "country_id": 2, "member_count": 5}
        opened = leader.ok("/leader/create", product_id=entry["price_map"]["3_hanfu_5"]["product_id"], **option)["team"]
        age(opened["team_id"], 10)
        team = buyer.ok("/group/detail", team_code=opened["team_code"])["team"]
        self.assertEqual((team["paid_member_count"], team["remaining_slots"], team["group_status"]), (4, 1, "forming"))
        game = next(g["package_name"] for g in team["available_games"] if g["available"])
        seat = buyer.ok("/leader/join/order/create", team_code=opened["team_code"], package_name=game)["order"]
        buyer.dev("/__dev/pay", {"order_id": seat["order_id"]})
        self.assertEqual(leader.ok("/leader/teams", page=1, page_size=1)["items"][0]["group_status"], "formed")

        # The second seed account's leader-team seat: no code until a few seconds after the first lookup.
        member = self.shopper("13600136000", "nimbra246")
        self.assertEqual(member.membership()["vip_type"], "group")
        held = member.ok("/orders", page=1, page_size=20)["items"]
        self.assertEqual([(o["team_type"], o["team_code"], o["group"]["team_code"]) for o in held],
                         [("leader", "", "")])
        late = member.ok("/group/detail", order_id=held[0]["order_id"])
        self.assertEqual((late["team_code"], late["team"]["team_code"], late["team"]["invite_link"]), ("", "", ""))
        u.dev("/__test/pintuan/age-team", {"team_id": late["team_id"], "seconds": 5})
        code = member.ok("/group/detail", team_id=late["team_id"])["team"]["team_code"]
        self.assertRegex(code, r"^[A-Z2-9]{6}$")
        self.assertEqual(member.ok("/orders", page=1, page_size=1)["items"][0]["team_code"], code)
        self.assertEqual(buyer.ok("/group/detail", team_code=code.lower())["team_id"], late["team_id"])

    def test_refusals(self) -> None:
        u, other = self.shopper(), self.shopper()
        mine = u.ok("/order/shared/create", product_id=101)["order"]["order_id"]
        for path in ("/order/pc-pay", "/order/pay/status", "/order/detail", "/order/cancel"):
            with self.subTest(path=path):
                u.refused("order not found", path, order_id=99)
                other.refused("order not found", path, order_id=mine)
                u.refused("bad request", path, order_id="1")
                u.refused("guid mismatch", path, order_id=mine, guid=other.user_id)
                unsigned = json.loads(post(self.port, API + path, b'{"order_id":1}')[2])
                self.assertEqual(unsigned["msg"], "invalid token")
        u.refused("product not found", "/order/shared/create", product_id=999)
        u.refused("bad request", "/order/private/create", product_id=101)
        sold_out = next(r["product_id"] for nt in self.entry["private"]["node_types"]
                        for r in nt["regions"] if not r["available"])
        u.refused("product unavailable", "/order/private/create", product_id=sold_out)
        u.refused("bad request", "/order/private/create", product_id=20101, region_key="jp-tyo")
        for page, size in ((0, 20), (1, 0), (1, 51), (100_001, 20)):
            u.refused("bad request", "/orders", page=page, page_size=size)
        u.refused("bad request", "/group/detail")
        self.assertEqual(u.dev("/__dev/pay", {"order_id": 99})["msg"], "order not found")


if __name__ == "__main__":
    unittest.main(verbosity=2)
