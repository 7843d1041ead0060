"""Black-box tests of the service simulator: a real process on a loopback port.

Signatures are computed here from the documented canonical string, not with the
simulator's own signing code, so a mistake on either side shows up.
"""

from __future__ import annotations

import contextlib
import hashlib
import hmac
import http.client
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request
import uuid
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SCRIPT = REPO / "tools" / "devservice" / "devservice.py"
sys.path.insert(0, str(SCRIPT.parent))

from nimbra_dev.sessions import NonceCache  # noqa: E402

SECRET = "Sekr3t-\u5bc6\u94a5-f00dcafe"  # non-ASCII on purpose: the key is the UTF-8 bytes
DEVICE_ID = "dev-\u00e9-42"
GUID = 9007199254740993  # above 2**53: must survive as an exact integer
# Loopback must not go through any proxy configured in the environment.
OPENER = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def start_service(tmp: Path, *extra: str) -> tuple[subprocess.Popen, int, Path]:
    port_file = tmp / f"port-{uuid.uuid4().hex}"
    log_path = tmp / f"log-{uuid.uuid4().hex}"
    with log_path.open("wb") as log:
        proc = subprocess.Popen(
            [sys.executable, str(SCRIPT), "--port", "0", "--port-file", str(port_file), *extra],
            stdout=subprocess.PIPE,
            stderr=log,
            text=True,
        )
    deadline = time.monotonic() + 5
    while not port_file.exists():
        if proc.poll() is not None or time.monotonic() > deadline:
            proc.kill()
            raise RuntimeError(f"devservice did not start: {log_path.read_text()}")
        time.sleep(0.02)
    return proc, int(port_file.read_text()), log_path


def stop_service(proc: subprocess.Popen) -> int:
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout=5)
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.stdout.close()


def post(port: int, path: str, body: bytes = b"{}", headers: dict | None = None,
         method: str = "POST") -> tuple[int, str, bytes]:
    all_headers = {"Content-Type": "application/json", "Accept": "application/json"}
    all_headers.update(headers or {})
    req = urllib.request.Request(f"http://127.0.0.1:{port}{path}", data=body, headers=all_headers, method=method)
    try:
        with OPENER.open(req, timeout=5) as resp:
            return resp.status, resp.headers.get("Content-Type", ""), resp.read()
    except urllib.error.HTTPError as err:
        with err:
            return err.code, err.headers.get("Content-Type", ""), err.read()


def signed_headers(path: str, body: bytes, *, secret: str = SECRET, guid: int = GUID,
                   device_id: str = DEVICE_ID, ts: int | None = None, nonce: str | None = None,
                   body_hash: str | None = None) -> dict[str, bytes]:
    ts_text = str(int(time.time()) if ts is None else ts)
    nonce = nonce or uuid.uuid4().hex
    body_hash = body_hash or hashlib.sha256(body).hexdigest()
    canonical = (f"POST\n{path}\nguid={guid}\ndevice_id={device_id}\nts={ts_text}\n"
                 f"nonce={nonce}\nbody_sha256={body_hash}")
    sig = hmac.new(secret.encode("utf-8"), canonical.encode("utf-8"), hashlib.sha256).hexdigest()
    values = {"X-Guid": str(guid), "X-Device-Id": device_id, "X-Timestamp": ts_text,
              "X-Nonce": nonce, "X-Body-SHA256": body_hash, "X-Signature": sig}
    return {k: v.encode("utf-8") for k, v in values.items()}


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.tmp = tempfile.TemporaryDirectory()
        cls.proc, cls.port, cls.log_path = start_service(Path(cls.tmp.name))
        cls.sent_signatures: list[str] = []
        status, reply = cls.post_json("/__test/session",
                                      {"guid": GUID, "device_secret": SECRET, "device_id": DEVICE_ID})
        assert (status, reply["code"]) == (200, 1), reply

    @classmethod
    def tearDownClass(cls) -> None:
        stop_service(cls.proc)
        cls.tmp.cleanup()

    @classmethod
    def post(cls, path: str, body: bytes = b"{}", headers: dict | None = None,
             method: str = "POST") -> tuple[int, str, bytes]:
        if headers and "X-Signature" in headers:
            cls.sent_signatures.append(headers["X-Signature"].decode())
        return post(cls.port, path, body, headers, method)

    @classmethod
    def post_json(cls, path: str, obj, headers: dict | None = None) -> tuple[int, dict]:
        status, _, raw = cls.post(path, json.dumps(obj).encode(), headers)
        return status, json.loads(raw)

    def signed(self, path: str, body: bytes, **kwargs) -> tuple[int, dict]:
        status, _, raw = self.post(path, body, signed_headers(path, body, **kwargs))
        return status, json.loads(raw)

    def assert_refused(self, status: int, reply: dict) -> None:
        self.assertEqual((status, reply), (200, {"code": 401, "msg": "invalid token", "data": None}))

    def test_correct_signature_is_accepted_and_echoed(self) -> None:
        body = '{"game":"\u738b\u8005","n":1}'.encode()
        status, reply = self.signed("/__test/echo", body)
        self.assertEqual((status, reply["code"], reply["msg"]), (200, 1, "ok"))
        self.assertEqual(reply["data"], {
            "guid": GUID, "device_id": DEVICE_ID, "path": "/__test/echo",
            "body_sha256": hashlib.sha256(body).hexdigest(), "body": {"game": "\u738b\u8005", "n": 1}})

        # An empty body is signed over the hash of zero bytes.
        status, reply = self.signed("/__test/echo", b"")
        self.assertEqual(reply["code"], 1)
        self.assertEqual(reply["data"]["body_sha256"], hashlib.sha256(b"").hexdigest())

        # Same second, same body, fresh nonce: a second request is not a replay.
        now = int(time.time())
        self.assertEqual(self.signed("/__test/echo", b"{}", ts=now)[1]["code"], 1)
        self.assertEqual(self.signed("/__test/echo", b"{}", ts=now)[1]["code"], 1)

        # The query string is not part of the signed path.
        status, _, raw = self.post("/__test/echo?v=2", b"{}", signed_headers("/__test/echo", b"{}"))
        self.assertEqual(json.loads(raw)["code"], 1)

        # Inside the default 300 s window on both sides.
        self.assertEqual(self.signed("/__test/echo", b"{}", ts=now - 250)[1]["code"], 1)
        self.assertEqual(self.signed("/__test/echo", b"{}", ts=now + 250)[1]["code"], 1)

    def test_bad_signatures_are_refused(self) -> None:
        path, body = "/__test/echo", b'{"a":1}'
        now = int(time.time())
        good = signed_headers(path, body)

        self.assert_refused(*self.signed(path, body, secret=SECRET + "x"))
        # Body changed after signing: the hash header no longer matches.
        status, _, raw = self.post(path, b'{"a":2}', signed_headers(path, body))
        self.assert_refused(status, json.loads(raw))
        # Body changed and hash header recomputed, but the old signature kept.
        forged = signed_headers(path, body)
        forged["X-Body-SHA256"] = hashlib.sha256(b'{"a":2}').hexdigest().encode()
        status, _, raw = self.post(path, b'{"a":2}', forged)
        self.assert_refused(status, json.loads(raw))
        # Hash header that does not describe the body, consistently signed.
        self.assert_refused(*self.signed(path, body, body_hash=hashlib.sha256(b"other").hexdigest()))
        # Signed for another path.
        status, _, raw = self.post(path, body, signed_headers("/__test/ok", body))
        self.assert_refused(status, json.loads(raw))
        # Out of the window either way: the refusal tells the service's time.
        for ts in (now - 400, now + 400):
            status, reply = self.signed(path, body, ts=ts)
            self.assertEqual((status, reply["code"], reply["msg"]), (200, 401, "invalid token"))
            self.assertAlmostEqual(reply["data"]["server_time"], time.time(), delta=5)
        self.assert_refused(*self.signed(path, body, guid=GUID + 1))
        self.assert_refused(*self.signed(path, body, device_id=DEVICE_ID + "x"))
        self.assert_refused(*self.signed(path, body, nonce=uuid.uuid4().hex.upper()))
        self.assert_refused(*self.signed(path, body, nonce=str(uuid.uuid4())))
        upper = dict(good, **{"X-Signature": good["X-Signature"].upper()})
        status, _, raw = self.post(path, body, upper)
        self.assert_refused(status, json.loads(raw))
        for name in good:
            partial = {k: v for k, v in signed_headers(path, body).items() if k != name}
            status, _, raw = self.post(path, body, partial)
            with self.subTest(missing=name):
                self.assert_refused(status, json.loads(raw))

        # The refusals above used their nonces up on nothing: the good request still passes once.
        status, _, raw = self.post(path, body, good)
        self.assertEqual(json.loads(raw)["code"], 1)
        status, _, raw = self.post(path, body, good)
        self.assert_refused(status, json.loads(raw))

    def test_odd_endpoints_answer_what_they_claim(self) -> None:
        status, ctype, raw = self.post("/__test/http500")
        self.assertEqual((status, json.loads(raw)), (500, {"code": 1, "msg": "ok", "data": {}}))
        status, ctype, raw = self.post("/__test/http404")
        self.assertEqual((status, json.loads(raw)["code"]), (404, 404))
        self.assertEqual(self.post("/__test/array")[::2], (200, b"[]"))
        status, ctype, raw = self.post("/__test/notjson")
        self.assertEqual((status, ctype.split(";")[0], raw), (200, "text/html", b"<html>not json</html>"))
        status, _, raw = self.post("/__test/code-string")
        self.assertEqual((status, json.loads(raw)), (200, {"code": "1", "data": {}}))

        self.assertEqual(self.post_json("/__test/fail", {"msg": " Too Many Requests "}),
                         (200, {"code": 0, "msg": " Too Many Requests ", "data": None}))
        self.assertEqual(self.post_json("/__test/fail", {"msg": ""})[1], {"code": 0, "msg": "", "data": None})
        self.assertEqual(self.post_json("/__test/fail", {})[1], {"code": 0, "data": None})
        sent = {"x": [1, "\u4e2d"], "y": None}
        self.assertEqual(self.post_json("/__test/ok", sent), (200, {"code": 1, "msg": "ok", "data": sent}))

        bad = {"code": 400, "msg": "bad request", "data": None}
        for body in (b"[]", b"not json", b"", b'"text"', b"\xff{}"):
            status, _, raw = self.post("/__test/ok", body)
            with self.subTest(body=body):
                self.assertEqual((status, json.loads(raw)), (200, bad))
        status, _, raw = self.post("/__test/ok", b"{}", {"Content-Type": "text/plain"})
        self.assertEqual(json.loads(raw), bad)
        self.assertEqual(self.post_json("/__test/session", {"guid": "7", "device_secret": "s", "device_id": "d"})[1],
                         bad)

        self.assertEqual(self.post("/no/such/path")[0], 404)
        self.assertEqual(self.post("/__test/ok?x=1")[0], 200)
        self.assertEqual(self.post("/__test/ok", method="PUT")[0], 405)
        with self.assertRaises(urllib.error.HTTPError) as caught:
            OPENER.open(f"http://127.0.0.1:{self.port}/__test/ok", timeout=5)
        with caught.exception as err:
            self.assertEqual((err.code, err.headers["Allow"]), (405, "POST"))

    def test_slow_and_hanging_requests(self) -> None:
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        hang_started = time.monotonic()
        conn.request("POST", "/__test/hang", b'{"ms":1500}', {"Content-Type": "application/json"})
        hang_result: list = []

        def wait_for_hang() -> None:
            try:
                conn.getresponse()
                hang_result.append("answered")
            except (http.client.RemoteDisconnected, ConnectionError) as exc:
                hang_result.append(exc)

        waiter = threading.Thread(target=wait_for_hang)
        waiter.start()
        # Other requests are served while one hangs.
        started = time.monotonic()
        self.assertEqual(self.post_json("/__test/slow", {"ms": 200}), (200, {"code": 1, "msg": "ok",
                                                                           "data": {"ms": 200}}))
        self.assertGreaterEqual(time.monotonic() - started, 0.2)
        self.assertLess(time.monotonic() - hang_started, 1.2)
        self.assertEqual(self.post_json("/__test/slow", {"ms": -1})[1]["code"], 400)
        waiter.join(5)
        conn.close()
        self.assertEqual(len(hang_result), 1)
        self.assertIsInstance(hang_result[0], Exception, "hang must close without any reply")
        self.assertGreaterEqual(time.monotonic() - hang_started, 1.5)

    def test_log_names_reasons_but_never_secrets(self) -> None:
        path, body = "/__test/echo", b"{}"
        replayed = signed_headers(path, body)
        self.post(path, body, replayed)
        self.post(path, body, replayed)
        self.signed(path, body, secret="wrong")
        self.signed(path, body, ts=int(time.time()) - 1000)
        self.post_json("/__test/session", {"guid": 5, "device_secret": SECRET, "device_id": "d"})
        time.sleep(0.1)
        log = self.log_path.read_text(encoding="utf-8")
        for reason in ("replayed nonce", "signature mismatch", "stale timestamp"):
            self.assertIn(reason, log)
        self.assertRegex(log, r"POST /__test/echo 200 code=1 \d+ms")
        self.assertRegex(log, r"POST /__test/echo 200 code=401 \d+ms \[replayed nonce\]")
        self.assertNotIn(SECRET, log)
        self.assertNotIn(SECRET.encode().decode("latin-1"), log)
        for sig in self.sent_signatures:
            self.assertNotIn(sig, log)


class LifecycleTest(unittest.TestCase):
    def test_startup_line_and_signals_exit_cleanly(self) -> None:
        with tempfile.TemporaryDirectory() as tmp:
            for sig in (signal.SIGTERM, signal.SIGINT):
                proc, port, _ = start_service(Path(tmp), "--quiet")
                self.assertEqual(proc.stdout.readline(), f"devservice listening on http://127.0.0.1:{port}\n")
                # A request left hanging must not hold the process up.
                conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
                conn.request("POST", "/__test/hang", b"{}", {"Content-Type": "application/json"})
                time.sleep(0.2)
                started = time.monotonic()
                proc.send_signal(sig)
                with self.subTest(signal=sig.name):
                    self.assertEqual(stop_service(proc), 0)
                    self.assertLess(time.monotonic() - started, 2.0)
                conn.close()

    def test_removed_port_file_stops_only_when_asked(self) -> None:
        # Scripts read the port and remove the file; only a caller that cannot signal asks to stop so.
        with tempfile.TemporaryDirectory() as tmp:
            for extra, stops in (((), False), (("--stop-without-port-file",), True)):
                proc, port, _ = start_service(Path(tmp), "--quiet", *extra)
                next(Path(tmp).glob("port-*")).unlink()
                with self.subTest(extra=extra):
                    if stops:
                        self.assertEqual(proc.wait(timeout=5), 0)
                    else:
                        time.sleep(1.2)
                        session = {"guid": 1, "device_secret": "k", "device_id": "d"}
                        self.assertEqual(post(port, "/__test/session", json.dumps(session).encode())[0], 200)
                        self.assertIsNone(proc.poll())
                stop_service(proc)

    @contextlib.contextmanager
    def service_with_session(self, *extra: str, prefix: str = ""):
        """A quiet service of its own with the session (guid 1, secret "k", device "d"); yields its port."""
        with tempfile.TemporaryDirectory() as tmp:
            proc, port, _ = start_service(Path(tmp), "--quiet", *extra)
            try:
                session = {"guid": 1, "device_secret": "k", "device_id": "d"}
                self.assertEqual(post(port, prefix + "/__test/session", json.dumps(session).encode())[0], 200)
                yield port
            finally:
                stop_service(proc)

    def test_clock_offset_moves_the_service_clock(self) -> None:
        with self.service_with_session("--clock-offset", "-3600") as port:
            def echo(ts: int) -> dict:
                headers = signed_headers("/__test/echo", b"{}", secret="k", guid=1, device_id="d", ts=ts)
                return json.loads(post(port, "/__test/echo", b"{}", headers)[2])

            refused = echo(int(time.time()))
            self.assertEqual(refused["code"], 401)
            service_time = refused["data"]["server_time"]
            self.assertAlmostEqual(service_time, time.time() - 3600, delta=5)
            # Signed with the service's time, as a client that learnt it does.
            self.assertEqual(echo(service_time)["code"], 1)
            entry = json.loads(post(port, "/api/pintuan/purchase/entry", b"{}")[2])
            self.assertAlmostEqual(entry["data"]["server_time"], service_time, delta=5)

    def test_path_prefix_is_not_signed(self) -> None:
        with self.service_with_session("--path-prefix", "/api", prefix="/api") as port:
            body = b"{}"
            headers = signed_headers("/__test/echo", body, secret="k", guid=1, device_id="d")
            reply = json.loads(post(port, "/api/__test/echo", body, headers)[2])
            self.assertEqual((reply["code"], reply["data"]["path"]), (1, "/__test/echo"))
            self.assertEqual(post(port, "/__test/echo", body, headers)[0], 404)


class NonceCacheTest(unittest.TestCase):
    def test_nonce_is_remembered_exactly_as_long_as_its_timestamp_is_acceptable(self) -> None:
        cache = NonceCache()
        self.assertTrue(cache.add_if_new("a" * 32, ts=1000, window=300, now=1000))
        self.assertFalse(cache.add_if_new("a" * 32, ts=1000, window=300, now=1300))
        self.assertTrue(cache.add_if_new("b" * 32, ts=1301, window=300, now=1301))
        # Past ts + window the timestamp check refuses on its own; the entry can go.
        self.assertEqual(len(cache), 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
