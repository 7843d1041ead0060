"""Black-box tests of the simulated account service over loopback HTTP.

Signed requests are built with this suite's own signing helper, so a secret
handed out at sign-in is proven to work the way the client will use it.
"""

from __future__ import annotations

import itertools
import json
import tempfile
import time
import unittest
import uuid
from pathlib import Path

from test_devservice import post, signed_headers, start_service, stop_service

SEED_PHONE, SEED_PASSWORD = "13800138000", "nimbra123"
PLAIN_PHONE, PLAIN_PASSWORD = "13900139000", "nimbra456"
DISABLED_PHONE, DISABLED_PASSWORD = "13700137000", "nimbra789"
DAY = 86400

_phones = itertools.count(1)


def fresh_phone() -> str:
    # Every test gets unregistered numbers of its own, so tests sharing one service stay independent.
    return f"1770{next(_phones):07d}"


def fresh_device() -> str:
    return f"nimbra-{uuid.uuid4()}"


class Client:
    """Talks to one running service the way the app does (unsigned JSON POSTs)."""

    def __init__(self, test: unittest.TestCase, port: int) -> None:
        self.test, self.port = test, port

    def call(self, path: str, body: dict, device: str | None = None) -> dict:
        headers = {"X-Device-Id": device.encode()} if device is not None else {}
        status, _, raw = post(self.port, path, json.dumps(body).encode(), headers)
        self.test.assertEqual(status, 200, raw)
        return json.loads(raw)

    def ok(self, path: str, body: dict, device: str | None = None):
        reply = self.call(path, body, device)
        self.test.assertEqual((reply["code"], reply["msg"]), (1, "ok"), reply)
        return reply["data"]

    def refused(self, msg: str, path: str, body: dict, device: str | None = None) -> None:
        reply = self.call(path, body, device)
        self.test.assertNotEqual(reply["code"], 1, reply)
        self.test.assertEqual((reply["msg"], reply["data"]), (msg, None), f"{path} {body}")

    def send_code(self, phone: str, scene: str) -> str:
        if scene == "reset":
            self.ok("/passport/sms/appresetpassword/send", {"phone": phone})
        else:
            self.ok("/passport/sms/send", {"phone": phone, "scene": scene})
        latest = self.ok("/__dev/sms/latest", {"phone": phone, "scene": scene})
        self.test.assertEqual(latest["scene"], scene)
        self.test.assertRegex(latest["code"], r"^[0-9]{6}$")
        return latest["code"]

    def register(self, phone: str, password: str, device: str, invite: str = "") -> dict:
        code = self.send_code(phone, "register")
        return self.ok("/passport/sms/register", {"phone": phone, "code": code, "password": password,
                                                  "password_confirm": password, "verify_code": invite}, device)

    def login(self, phone: str, password: str, device: str) -> dict:
        return self.ok("/passport/sms/login", {"phone": phone, "password": password, "remember_me": True}, device)

    def echo_code(self, user_id: int, secret: str, device: str) -> int:
        """Reply code of a signed /__test/echo made with this session."""
        body = b'{"probe":1}'
        headers = signed_headers("/__test/echo", body, secret=secret, guid=user_id, device_id=device)
        return json.loads(post(self.port, "/__test/echo", body, headers)[2])["code"]


class AccountServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.tmp = tempfile.TemporaryDirectory()
        cls.proc, cls.port, cls.log_path = start_service(Path(cls.tmp.name), "--sms-interval", "0")

    @classmethod
    def tearDownClass(cls) -> None:
        stop_service(cls.proc)
        cls.tmp.cleanup()

    def setUp(self) -> None:
        self.c = Client(self, self.port)

    def assert_signed_in(self, data: dict, phone: str) -> None:
        self.assertEqual(set(data), {"user_id", "token", "device_secret", "points", "vip_num", "phone",
                                     "membership"})
        self.assertIs(type(data["user_id"]), int)
        self.assertIs(type(data["points"]), int)
        self.assertEqual(data["phone"], phone)
        self.assertGreaterEqual(len(data["device_secret"]), 32)
        self.assertGreaterEqual(len(data["token"]), 16)
        self.assertEqual(data["vip_num"], data["membership"]["vip_num"])

    def test_register_sign_in_refresh_reset_flow(self) -> None:
        phone, dev_a, dev_b = fresh_phone(), fresh_device(), fresh_device()
        password = "p" * 20  # the longest the sign-up form allows
        before = int(time.time())
        reg = self.c.register(phone, password, dev_a, invite=" nimbra2026 ")
        self.assert_signed_in(reg, phone)
        m = reg["membership"]
        self.assertEqual((m["is_vip"], m["vip_type"], m["remaining_days"]), (True, "shared", 3))
        self.assertGreater(reg["vip_num"], 0)
        self.assertTrue(before + 3 * DAY - 2 <= m["vip_expire_at"] <= int(time.time()) + 3 * DAY)
        self.assertEqual(reg["points"], 200)  # starting points plus the invite bonus
        user = reg["user_id"]
        self.assertEqual(self.c.echo_code(user, reg["device_secret"], dev_a), 1)

        # Sign-in by SMS on a second device: both devices stay signed in, each with its own secret.
        code = self.c.send_code(phone, "login")
        sms = self.c.ok("/passport/sms/verify", {"phone": phone, "code": code, "remember_me": False}, dev_b)
        self.assert_signed_in(sms, phone)
        self.assertEqual((sms["user_id"], sms["vip_num"]), (user, reg["vip_num"]))
        self.assertNotEqual(sms["token"], reg["token"])
        self.assertEqual(self.c.echo_code(user, sms["device_secret"], dev_b), 1)
        self.assertEqual(self.c.echo_code(user, reg["device_secret"], dev_a), 1)
        # A secret is bound to the device it was issued to.
        self.assertEqual(self.c.echo_code(user, sms["device_secret"], dev_a), 401)
        self.assertEqual(self.c.echo_code(user, reg["device_secret"], dev_b), 401)

        # Signing in again on device A replaces A's secret only.
        pw = self.c.login(phone, password, dev_a)
        self.assertNotEqual(pw["device_secret"], reg["device_secret"])
        self.assertEqual(self.c.echo_code(user, reg["device_secret"], dev_a), 401)
        self.assertEqual(self.c.echo_code(user, pw["device_secret"], dev_a), 1)
        self.assertEqual(self.c.echo_code(user, sms["device_secret"], dev_b), 1)

        # Refresh: same token, fresh secret, current data; only from the device the token was issued to.
        ref = self.c.ok("/passport/sms/refresh", {"token": pw["token"]}, dev_a)
        self.assert_signed_in(ref, phone)
        self.assertEqual((ref["token"], ref["user_id"], ref["points"]), (pw["token"], user, 200))
        self.assertNotEqual(ref["device_secret"], pw["device_secret"])
        self.assertEqual(self.c.echo_code(user, pw["device_secret"], dev_a), 401)
        self.assertEqual(self.c.echo_code(user, ref["device_secret"], dev_a), 1)
        self.c.refused("invalid token", "/passport/sms/refresh", {"token": pw["token"]}, dev_b)
        self.c.refused("invalid token", "/passport/sms/refresh", {"token": pw["token"]}, fresh_device())

        # Password reset (the reset form allows up to 72 characters): the old password stops working,
        # tokens survive.
        code = self.c.send_code(phone, "reset")
        self.c.refused("password too long", "/passport/sms/appresetpassword", {
            "phone": phone, "code": code, "password": "n" * 73, "password_confirm": "n" * 73})
        self.assertIsNone(self.c.ok("/passport/sms/appresetpassword", {
            "phone": phone, "code": code, "password": "n" * 72, "password_confirm": "n" * 72}))
        self.c.refused("invalid credentials", "/passport/sms/login",
                       {"phone": phone, "password": password, "remember_me": True}, dev_a)
        code = self.c.send_code(phone, "reset")
        self.assertIsNone(self.c.ok("/passport/sms/appresetpassword", {
            "phone": phone, "code": code, "password": "newpass", "password_confirm": "newpass"}))
        self.c.refused("invalid credentials", "/passport/sms/login",
                       {"phone": phone, "password": password, "remember_me": True}, dev_a)
        self.assertEqual(self.c.login(phone, "newpass", dev_a)["user_id"], user)
        self.assertEqual(self.c.ok("/passport/sms/refresh", {"token": sms["token"]}, dev_b)["user_id"], user)

        # Token expiry (test helper): refresh then refuses.
        self.assertEqual(self.c.ok("/__test/expire-token", {"token": sms["token"]}), {"user_id": user})
        self.c.refused("invalid token", "/passport/sms/refresh", {"token": sms["token"]}, dev_b)
        self.c.refused("not found", "/__test/expire-token", {"token": "nope"})

    def test_seed_accounts(self) -> None:
        dev = fresh_device()
        ready = self.c.login(SEED_PHONE, SEED_PASSWORD, dev)
        self.assert_signed_in(ready, SEED_PHONE)
        self.assertEqual((ready["points"], ready["vip_num"]), (1200, 1024))
        m = ready["membership"]
        self.assertEqual((m["is_vip"], m["vip_type"], m["remaining_days"]), (True, "shared", 30))
        self.assertEqual(self.c.echo_code(ready["user_id"], ready["device_secret"], dev), 1)

        plain = self.c.login(PLAIN_PHONE, PLAIN_PASSWORD, dev)
        self.assert_signed_in(plain, PLAIN_PHONE)
        self.assertEqual(plain["vip_num"], 0)
        self.assertEqual((plain["membership"]["is_vip"], plain["membership"]["vip_expire_at"]), (False, None))
        self.assertNotEqual(plain["user_id"], ready["user_id"])

        # Disabled: refused after the credentials check, by password and by SMS code alike.
        self.c.refused("invalid credentials", "/passport/sms/login",
                       {"phone": DISABLED_PHONE, "password": "wrong-one", "remember_me": True}, dev)
        self.c.refused("account disabled", "/passport/sms/login",
                       {"phone": DISABLED_PHONE, "password": DISABLED_PASSWORD, "remember_me": True}, dev)
        code = self.c.send_code(DISABLED_PHONE, "login")
        self.c.refused("account disabled", "/passport/sms/verify",
                       {"phone": DISABLED_PHONE, "code": code, "remember_me": True}, dev)

    def test_refusal_texts(self) -> None:
        c, dev = self.c, fresh_device()
        new = fresh_phone()
        for phone in ("1380013800", "12800138000", "138001380001", " 13800138000", "+8613800138000",
                      "138" + "\uff10" * 8, 13800138000, None):
            with self.subTest(phone=phone):
                c.refused("bad request", "/passport/sms/send", {"phone": phone, "scene": "login"})
                c.refused("bad request", "/passport/sms/login",
                          {"phone": phone, "password": SEED_PASSWORD, "remember_me": True}, dev)
        for scene in ("reset", "LOGIN", "", None):
            with self.subTest(scene=scene):
                c.refused("bad request", "/passport/sms/send", {"phone": SEED_PHONE, "scene": scene})
        c.refused("not registered", "/passport/sms/send", {"phone": new, "scene": "login"})
        c.refused("phone already registered", "/passport/sms/send", {"phone": SEED_PHONE, "scene": "register"})
        c.refused("not registered", "/passport/sms/appresetpassword/send", {"phone": new})

        # Sign-in: device id header and field types are required.
        login = {"phone": SEED_PHONE, "password": SEED_PASSWORD, "remember_me": True}
        c.refused("bad request", "/passport/sms/login", login)
        c.refused("bad request", "/passport/sms/login", login, "")
        c.refused("bad request", "/passport/sms/login", dict(login, remember_me="true"), dev)
        c.refused("bad request", "/passport/sms/login", {"phone": SEED_PHONE, "remember_me": True}, dev)
        c.refused("not registered", "/passport/sms/login", dict(login, phone=new), dev)
        c.refused("invalid credentials", "/passport/sms/login", dict(login, password="nimbra124"), dev)
        c.refused("not registered", "/passport/sms/verify",
                  {"phone": new, "code": "123456", "remember_me": True}, dev)
        c.refused("verify failed", "/passport/sms/verify",
                  {"phone": SEED_PHONE, "code": "123456", "remember_me": True}, dev)

        # Registration: each form fault is refused without using the code up.
        code = c.send_code(new, "register")
        form = {"phone": new, "code": code, "password": "secret1", "password_confirm": "secret1",
                "verify_code": ""}
        for changes, msg in (
            ({"password": "12345", "password_confirm": "12345"}, "password too short"),
            ({"password": "x" * 21, "password_confirm": "x" * 21}, "password too long"),
            ({"password_confirm": "secret2"}, "password mismatch"),
            ({"verify_code": "NOPE"}, "invite bind failed"),
            ({"verify_code": 5}, "bad request"),
            ({"password_confirm": None}, "bad request"),
            ({"code": "000000" if code != "000000" else "000001"}, "verify failed"),
        ):
            with self.subTest(msg=msg):
                c.refused(msg, "/passport/sms/register", dict(form, **changes), dev)
        c.refused("bad request", "/passport/sms/register", form)
        reg = c.ok("/passport/sms/register", form, dev)
        self.assertEqual(reg["points"], 100)
        c.refused("phone already registered", "/passport/sms/register", form, dev)

        # Refresh and reset.
        c.refused("invalid token", "/passport/sms/refresh", {"token": "no-such-token"}, dev)
        c.refused("invalid token", "/passport/sms/refresh", {"token": ""}, dev)
        c.refused("bad request", "/passport/sms/refresh", {}, dev)
        c.refused("bad request", "/passport/sms/refresh", {"token": reg["token"]})
        reset = {"phone": new, "code": "000000", "password": "secret9", "password_confirm": "secret9"}
        c.refused("not registered", "/passport/sms/appresetpassword", dict(reset, phone=fresh_phone()))
        c.refused("password too short", "/passport/sms/appresetpassword",
                  dict(reset, password="abc", password_confirm="abc"))
        c.refused("password mismatch", "/passport/sms/appresetpassword", dict(reset, password_confirm="x" * 7))
        c.refused("verify failed", "/passport/sms/appresetpassword", reset)
        c.refused("bad request", "/__dev/sms/latest", {"phone": "555"})

    def test_codes_are_one_time_and_kept_apart_by_scene(self) -> None:
        c, dev = self.c, fresh_device()
        phone = fresh_phone()
        reg_code = c.send_code(phone, "register")
        c.ok("/passport/sms/register", {"phone": phone, "code": reg_code, "password": "abcdef",
                                        "password_confirm": "abcdef", "verify_code": ""}, dev)
        # The used register code does not sign in.
        c.refused("verify failed", "/passport/sms/verify", {"phone": phone, "code": reg_code,
                                                              "remember_me": True}, dev)

        login_code = c.send_code(phone, "login")
        reset_code = c.send_code(phone, "reset")
        self.assertEqual(c.ok("/__dev/sms/latest", {"phone": phone})["scene"], "reset")
        verify = {"phone": phone, "remember_me": True}
        reset = {"phone": phone, "password": "ghijkl", "password_confirm": "ghijkl"}
        if reset_code != login_code:  # one in a million they coincide
            c.refused("verify failed", "/passport/sms/verify", dict(verify, code=reset_code), dev)
            c.refused("verify failed", "/passport/sms/appresetpassword", dict(reset, code=login_code))
        c.ok("/passport/sms/verify", dict(verify, code=login_code), dev)
        c.refused("verify failed", "/passport/sms/verify", dict(verify, code=login_code), dev)
        c.ok("/passport/sms/appresetpassword", dict(reset, code=reset_code))
        c.refused("verify failed", "/passport/sms/appresetpassword", dict(reset, code=reset_code))
        c.refused("not found", "/__dev/sms/latest", {"phone": phone})

        # A newer code replaces the older one of the same scene.
        first = c.send_code(phone, "login")
        second = c.send_code(phone, "login")
        if first != second:
            c.refused("verify failed", "/passport/sms/verify", dict(verify, code=first), dev)
        c.ok("/passport/sms/verify", dict(verify, code=second), dev)

        # Five wrong guesses kill the code.
        code = c.send_code(phone, "login")
        wrong = f"{(int(code) + 1) % 10**6:06d}"
        for _ in range(5):
            c.refused("verify failed", "/passport/sms/verify", dict(verify, code=wrong), dev)
        c.refused("verify failed", "/passport/sms/verify", dict(verify, code=code), dev)

        time.sleep(0.1)
        log = self.log_path.read_text(encoding="utf-8")
        self.assertIn(f"SMS code for {phone} (register): {reg_code}\n", log)
        self.assertIn(f"SMS code for {phone} (reset): {reset_code}\n", log)

    def test_log_holds_no_secret_tokens_or_passwords(self) -> None:
        self.assertEqual(self.proc.stdout.readline().split(" ")[:3], ["devservice", "listening", "on"])
        self.assertEqual(self.proc.stdout.readline(), f"seed account: phone {SEED_PHONE} password {SEED_PASSWORD}\n")

        phone, dev = fresh_phone(), fresh_device()
        passwords = ["Reg-pass-\u5bc6-1", "Wrong-pass-2", "Reset-pass-3", SEED_PASSWORD]
        seen = [self.c.register(phone, passwords[0], dev)]
        self.c.refused("invalid credentials", "/passport/sms/login",
                       {"phone": phone, "password": passwords[1], "remember_me": True}, dev)
        code = self.c.send_code(phone, "reset")
        self.c.ok("/passport/sms/appresetpassword",
                  {"phone": phone, "code": code, "password": passwords[2], "password_confirm": passwords[2]})
        seen.append(self.c.login(phone, passwords[2], dev))
        seen.append(self.c.ok("/passport/sms/refresh", {"token": seen[-1]["token"]}, dev))
        seen.append(self.c.login(SEED_PHONE, SEED_PASSWORD, dev))
        time.sleep(0.1)
        log = self.log_path.read_text(encoding="utf-8")
        self.assertRegex(log, r"POST /passport/sms/login 200 code=1 \d+ms")
        for data in seen:
            self.assertNotIn(data["token"], log)
            self.assertNotIn(data["device_secret"], log)
        for password in passwords:
            self.assertNotIn(password, log)


class AccountTimingTest(unittest.TestCase):
    def test_rate_limit_and_expiry(self) -> None:
        with tempfile.TemporaryDirectory() as tmp:
            proc, port, _ = start_service(Path(tmp), "--quiet", "--sms-interval", "1",
                                          "--sms-code-ttl", "1", "--token-ttl", "1")
            try:
                c, dev = Client(self, port), fresh_device()
                code = c.send_code(SEED_PHONE, "login")
                # The limit is per phone and across scenes.
                c.refused("too many requests", "/passport/sms/send", {"phone": SEED_PHONE, "scene": "login"})
                c.refused("too many requests", "/passport/sms/appresetpassword/send", {"phone": SEED_PHONE})
                c.send_code(PLAIN_PHONE, "login")
                token = c.login(PLAIN_PHONE, PLAIN_PASSWORD, dev)["token"]
                time.sleep(1.1)
                c.refused("verify failed", "/passport/sms/verify",
                          {"phone": SEED_PHONE, "code": code, "remember_me": True}, dev)
                c.refused("not found", "/__dev/sms/latest", {"phone": PLAIN_PHONE})
                c.refused("invalid token", "/passport/sms/refresh", {"token": token}, dev)
                fresh = c.send_code(SEED_PHONE, "login")
                c.ok("/passport/sms/verify", {"phone": SEED_PHONE, "code": fresh, "remember_me": True}, dev)
            finally:
                stop_service(proc)


if __name__ == "__main__":
    unittest.main(verbosity=2)
