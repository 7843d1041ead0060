"""Endpoints under /__test/ for driving the client's transport through odd cases.

The app never calls this prefix; these paths exist so tests can register a
session, check a signature, and provoke the reply shapes the client must cope
with (HTTP errors, non-object JSON, non-JSON, a string code, slow and silent
servers).
"""

from __future__ import annotations

import json
from typing import Any

from .server import (
    CODE_FAIL,
    NO_REPLY,
    OMIT,
    Context,
    Reply,
    RouteTable,
    ServiceError,
    bad_request,
    json_bytes,
)

routes = RouteTable()

SLOW_MAX_MS = 60_000
HANG_DEFAULT_MS = 60_000
HANG_MAX_MS = 120_000

_INT64_MIN = -(2**63)
_INT64_MAX = 2**63 - 1


def _is_int(value: Any) -> bool:
    # JSON true/false arrive as bool, which is an int subclass in Python.
    return isinstance(value, int) and not isinstance(value, bool)


def _ms(body: Any, default: int, cap: int) -> int:
    value = body.get("ms", default) if isinstance(body, dict) else default
    if not _is_int(value) or value < 0:
        raise bad_request("ms must be a non-negative integer")
    return min(value, cap)


def _lenient_json(raw: bytes) -> Any:
    try:
        return json.loads(raw.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return None


@routes.post("/__test/session")
def register_session(ctx: Context) -> Any:
    guid = ctx.body.get("guid")
    secret = ctx.body.get("device_secret")
    device_id = ctx.body.get("device_id")
    if not _is_int(guid) or not _INT64_MIN <= guid <= _INT64_MAX:
        raise bad_request("guid must be a 64-bit integer")
    if not isinstance(secret, str) or not isinstance(device_id, str):
        raise bad_request("device_secret and device_id must be strings")
    ctx.state.sessions.put(guid, secret, device_id)
    ctx.note(f"session guid={guid}")
    return {"guid": guid, "device_id": device_id}


@routes.post("/__test/echo", signed=True, json_body=False)
def echo(ctx: Context) -> Any:
    # Lenient on the body so an empty or non-object body can be signed and checked too.
    return {
        "guid": ctx.guid,
        "device_id": ctx.device_id,
        "path": ctx.path,
        "body_sha256": ctx.body_sha256,
        "body": _lenient_json(ctx.raw_body),
    }


@routes.post("/__test/http500", json_body=False)
def http500(ctx: Context) -> Any:
    # A success envelope behind an error status: the status must win.
    return Reply(500, json_bytes({"code": 1, "msg": "ok", "data": {}}), log_code=1)


@routes.post("/__test/http404", json_body=False)
def http404(ctx: Context) -> Any:
    return Reply(404, json_bytes({"code": 404, "msg": "not found", "data": None}), log_code=404)


@routes.post("/__test/array", json_body=False)
def array(ctx: Context) -> Any:
    return Reply(200, b"[]")


@routes.post("/__test/notjson", json_body=False)
def notjson(ctx: Context) -> Any:
    return Reply(200, b"<html>not json</html>", content_type="text/html; charset=utf-8")


@routes.post("/__test/code-string", json_body=False)
def code_string(ctx: Context) -> Any:
    return Reply(200, json_bytes({"code": "1", "data": {}}), log_code='"1"')


@routes.post("/__test/fail")
def fail(ctx: Context) -> Any:
    # msg and code are passed through as given (any JSON type), so the client's
    # handling of odd values can be exercised; a missing msg leaves the key out.
    raise ServiceError(ctx.body.get("code", CODE_FAIL), ctx.body.get("msg", OMIT), reason="requested failure")


@routes.post("/__test/ok")
def ok_echo(ctx: Context) -> Any:
    return ctx.body


@routes.post("/__test/slow")
def slow(ctx: Context) -> Any:
    ms = _ms(ctx.body, 0, SLOW_MAX_MS)
    ctx.state.stopping.wait(ms / 1000.0)
    return {"ms": ms}


@routes.post("/__test/hang", json_body=False)
def hang(ctx: Context) -> Any:
    ms = _ms(_lenient_json(ctx.raw_body), HANG_DEFAULT_MS, HANG_MAX_MS)
    ctx.note(f"hanging {ms}ms")
    ctx.state.stopping.wait(ms / 1000.0)
    return NO_REPLY
