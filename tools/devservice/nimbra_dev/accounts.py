"""Account service: SMS codes, registration, sign-in by code or password,
token refresh and password reset, all in memory.

Every successful sign-in, registration or refresh hands out a fresh device
secret and registers it in the State's session store under (user id, device
id), so the signed endpoints accept exactly the sessions made here.

SMS codes are "sent" by printing them on the console and can be read back
through /__dev/sms/latest; the app never calls /__dev/ or /__test/.
"""

from __future__ import annotations

import hashlib
import hmac
import math
import re
import secrets
from dataclasses import dataclass, field
from typing import Any

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

# Defaults of the options in State.options (set from the command line).
OPTION_SMS_INTERVAL = "sms_interval"
OPTION_SMS_CODE_TTL = "sms_code_ttl"
OPTION_TOKEN_TTL = "token_ttl"
DEFAULT_SMS_INTERVAL = 60.0
DEFAULT_SMS_CODE_TTL = 300.0
DEFAULT_TOKEN_TTL = 30 * 86400.0

CODE_TOO_MANY = 429
CODE_DISABLED = 403

DAY = 86400
PASSWORD_MIN = 6
# The sign-up form allows 20 characters, the reset form 72 (bcrypt-style limit on the server).
REGISTER_PASSWORD_MAX = 20
RESET_PASSWORD_MAX = 72
# A code dies after this many wrong guesses, so six digits cannot be walked through.
CODE_MAX_FAILURES = 5
DEVICE_ID_MAX = 128
# Few iterations on purpose: believable storage without slowing the tests down.
PBKDF2_ITERATIONS = 20_000

NEW_ACCOUNT_POINTS = 100
INVITE_BONUS_POINTS = 100
NEW_ACCOUNT_VIP_DAYS = 3
NEW_ACCOUNT_VIP_TYPE = "shared"

SEED_INVITE_CODE = "NIMBRA2026"
SEED_PHONE = "13800138000"
SEED_PASSWORD = "nimbra123"

# [0-9] rather than \d: \d also takes other scripts' digits.
_PHONE_RE = re.compile(r"1[3-9][0-9]{9}")
SEND_SCENES = ("login", "register")


def refuse(msg: str, reason: str | None = None, code: int = CODE_FAIL) -> ServiceError:
    return ServiceError(code, msg, reason=reason)


def invalid_token(reason: str) -> ServiceError:
    return ServiceError(CODE_INVALID_TOKEN, MSG_INVALID_TOKEN, reason=reason)


# ---------------------------------------------------------------------------
# Data


def _hash_password(password: str, salt: bytes) -> bytes:
    return hashlib.pbkdf2_hmac("sha256", password.encode("utf-8"), salt, PBKDF2_ITERATIONS)


@dataclass
class Account:
    user_id: int
    phone: str
    points: int
    vip_num: int = 0
    vip_type: str | None = None
    vip_expire_at: int | None = None
    disabled: bool = False
    invited_with: str | None = None
    password_salt: bytes = field(default=b"", repr=False)
    password_hash: bytes = field(default=b"", repr=False)

    def set_password(self, password: str) -> None:
        self.password_salt = secrets.token_bytes(16)
        self.password_hash = _hash_password(password, self.password_salt)

    def password_matches(self, password: str) -> bool:
        return hmac.compare_digest(_hash_password(password, self.password_salt), self.password_hash)

    def membership(self, now: float) -> dict[str, Any]:
        if self.vip_num > 0 and self.vip_expire_at is not None and self.vip_expire_at > now:
            return {
                "is_vip": True,
                "vip_num": self.vip_num,
                "vip_type": self.vip_type,
                "vip_expire_at": self.vip_expire_at,
                "remaining_days": math.ceil((self.vip_expire_at - now) / DAY),
            }
        # An expired membership reads like none: the client takes vip_num > 0 as "member".
        return {"is_vip": False, "vip_num": 0, "vip_type": None, "vip_expire_at": None, "remaining_days": 0}


@dataclass
class SmsCode:
    code: str
    scene: str
    issued_at: float
    expires_at: float
    failures: int = 0


@dataclass
class Token:
    user_id: int
    device_id: str
    expires_at: float


class Accounts:
    """The account area of the State; use under ``state.lock``."""

    def __init__(self) -> None:
        self.by_phone: dict[str, Account] = {}
        self.by_id: dict[int, Account] = {}
        # One live code per (phone, scene): a new one replaces the old, other scenes stay.
        self.codes: dict[tuple[str, str], SmsCode] = {}
        self.last_sent: dict[str, float] = {}
        self.tokens: dict[str, Token] = {}
        self.invite_codes = {SEED_INVITE_CODE}
        self.next_user_id = 100001
        self.next_vip_num = 1025

    def create(self, phone: str, password: str, *, points: int, user_id: int | None = None) -> Account:
        if user_id is None:
            user_id = self.next_user_id
            self.next_user_id += 1
        account = Account(user_id=user_id, phone=phone, points=points)
        account.set_password(password)
        self.by_phone[phone] = account
        self.by_id[user_id] = account
        return account

    def seed(self, now: float) -> None:
        ready = self.create(SEED_PHONE, SEED_PASSWORD, points=1200, user_id=10001)
        ready.vip_num, ready.vip_type, ready.vip_expire_at = 1024, "shared", int(now) + 30 * DAY
        self.create("13900139000", "nimbra456", points=300, user_id=10002)
        self.create("13700137000", "nimbra789", points=0, user_id=10003).disabled = True
        member = self.create("13600136000", "nimbra246", points=500, user_id=10004)
        member.vip_num, member.vip_type, member.vip_expire_at = 1023, "group", int(now) + 20 * DAY

    def take_code(self, phone: str, scene: str, code: str, now: float) -> None:
        """Use the code up, or raise "verify failed"."""
        entry = self.codes.get((phone, scene))
        if entry is None:
            raise refuse("verify failed", f"no {scene} code")
        if now >= entry.expires_at:
            del self.codes[(phone, scene)]
            raise refuse("verify failed", f"{scene} code expired")
        if not hmac.compare_digest(entry.code.encode(), code.encode("utf-8")):
            entry.failures += 1
            if entry.failures >= CODE_MAX_FAILURES:
                del self.codes[(phone, scene)]
            raise refuse("verify failed", f"wrong {scene} code")
        del self.codes[(phone, scene)]


def _accounts(state: State) -> Accounts:
    def make() -> Accounts:
        accounts = Accounts()
        accounts.seed(state.clock())
        return accounts

    return state.area("accounts", make)


def _option(state: State, key: str, default: float) -> float:
    return float(state.options.get(key, default))


@routes.on_start
def _seed(state: State) -> list[str]:
    _accounts(state)
    # The one password ever printed: developers need it to sign in.
    return [f"seed account: phone {SEED_PHONE} password {SEED_PASSWORD}"]


# ---------------------------------------------------------------------------
# Request fields


def _text(body: dict[str, Any], name: str) -> str:
    value = body.get(name)
    if not isinstance(value, str):
        raise bad_request(f"{name} missing or not a string")
    return value


def _phone(body: dict[str, Any]) -> str:
    # The client trims the phone, so surrounding blanks are a client fault worth showing.
    phone = _text(body, "phone")
    if not _PHONE_RE.fullmatch(phone):
        raise bad_request("phone is not a mainland mobile number")
    return phone


def _remember_me(body: dict[str, Any]) -> bool:
    value = body.get("remember_me")
    if not isinstance(value, bool):
        raise bad_request("remember_me missing or not a boolean")
    return value


def _device_id(ctx: Context) -> str:
    values = ctx.headers.get_all("X-Device-Id") or []
    if len(values) != 1:
        raise bad_request("X-Device-Id missing" if not values else "duplicate X-Device-Id")
    try:
        # http.server decodes header bytes as Latin-1; the client sends UTF-8.
        device_id = values[0].encode("latin-1").decode("utf-8")
    except UnicodeError:
        raise bad_request("X-Device-Id is not UTF-8") from None
    if not device_id or len(device_id) > DEVICE_ID_MAX:
        raise bad_request("X-Device-Id empty or too long")
    return device_id


def _new_password(body: dict[str, Any], maximum: int) -> str:
    password = _text(body, "password")
    confirm = _text(body, "password_confirm")
    if len(password) < PASSWORD_MIN:
        raise refuse("password too short")
    if len(password) > maximum:
        raise refuse("password too long")
    if password != confirm:
        raise refuse("password mismatch")
    return password


def _registered(accounts: Accounts, phone: str) -> Account:
    account = accounts.by_phone.get(phone)
    if account is None:
        raise refuse("not registered")
    return account


def _check_enabled(account: Account) -> None:
    if account.disabled:
        raise refuse("account disabled", f"user {account.user_id} disabled", CODE_DISABLED)


# ---------------------------------------------------------------------------
# Answers


def _signed_in(ctx: Context, account: Account, device_id: str, token: str) -> dict[str, Any]:
    """A fresh device secret for this device, registered for signed requests."""
    secret = secrets.token_urlsafe(32)
    ctx.state.sessions.put(account.user_id, secret, device_id)
    ctx.note(f"user {account.user_id} signed in")
    membership = account.membership(ctx.state.clock())
    return {
        "user_id": account.user_id,
        "token": token,
        "device_secret": secret,
        "points": account.points,
        "vip_num": membership["vip_num"],
        "phone": account.phone,
        "membership": membership,
    }


def _new_token(ctx: Context, accounts: Accounts, account: Account, device_id: str) -> str:
    token = secrets.token_urlsafe(32)
    ttl = _option(ctx.state, OPTION_TOKEN_TTL, DEFAULT_TOKEN_TTL)
    accounts.tokens[token] = Token(account.user_id, device_id, ctx.state.clock() + ttl)
    return token


# ---------------------------------------------------------------------------
# SMS codes


def _send_code(ctx: Context, phone: str, scene: str) -> dict[str, Any]:
    state = ctx.state
    with state.lock:
        accounts = _accounts(state)
        registered = phone in accounts.by_phone
        if scene == "register" and registered:
            raise refuse("phone already registered")
        if scene != "register" and not registered:
            raise refuse("not registered")
        now = state.clock()
        interval = _option(state, OPTION_SMS_INTERVAL, DEFAULT_SMS_INTERVAL)
        last = accounts.last_sent.get(phone)
        if last is not None and now - last < interval:
            raise refuse("too many requests", f"resend within {interval:g}s", CODE_TOO_MANY)
        ttl = _option(state, OPTION_SMS_CODE_TTL, DEFAULT_SMS_CODE_TTL)
        code = f"{secrets.randbelow(10**6):06d}"
        accounts.codes[(phone, scene)] = SmsCode(code, scene, now, now + ttl)
        accounts.last_sent[phone] = now
    ctx.console(f"SMS code for {phone} ({scene}): {code}")
    return {"phone": phone, "scene": scene, "expires_in": math.ceil(ttl), "resend_after": math.ceil(interval)}


@routes.post("/passport/sms/send")
def send_code(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    scene = _text(ctx.body, "scene")
    if scene not in SEND_SCENES:
        raise bad_request("scene must be login or register")
    return _send_code(ctx, phone, scene)


@routes.post("/passport/sms/appresetpassword/send")
def send_reset_code(ctx: Context) -> Any:
    return _send_code(ctx, _phone(ctx.body), "reset")


# ---------------------------------------------------------------------------
# Sign-in, registration, refresh, reset


@routes.post("/passport/sms/verify")
def login_sms(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    code = _text(ctx.body, "code")
    _remember_me(ctx.body)
    device_id = _device_id(ctx)
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        account = _registered(accounts, phone)
        accounts.take_code(phone, "login", code, ctx.state.clock())
        _check_enabled(account)
        return _signed_in(ctx, account, device_id, _new_token(ctx, accounts, account, device_id))


@routes.post("/passport/sms/login")
def login_password(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    password = _text(ctx.body, "password")
    _remember_me(ctx.body)
    device_id = _device_id(ctx)
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        account = _registered(accounts, phone)
        if not account.password_matches(password):
            raise refuse("invalid credentials", "wrong password")
        _check_enabled(account)
        return _signed_in(ctx, account, device_id, _new_token(ctx, accounts, account, device_id))


@routes.post("/passport/sms/register")
def register(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    code = _text(ctx.body, "code")
    invite = ctx.body.get("verify_code")
    if invite is not None and not isinstance(invite, str):
        raise bad_request("verify_code not a string")
    invite = (invite or "").strip()
    device_id = _device_id(ctx)
    # Checks without side effects first, so a refused form leaves the code usable.
    password = _new_password(ctx.body, REGISTER_PASSWORD_MAX)
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        if phone in accounts.by_phone:
            raise refuse("phone already registered")
        if invite and invite.upper() not in accounts.invite_codes:
            raise refuse("invite bind failed", "unknown invite code")
        now = ctx.state.clock()
        accounts.take_code(phone, "register", code, now)
        account = accounts.create(phone, password, points=NEW_ACCOUNT_POINTS)
        account.vip_num = accounts.next_vip_num
        accounts.next_vip_num += 1
        account.vip_type = NEW_ACCOUNT_VIP_TYPE
        account.vip_expire_at = int(now) + NEW_ACCOUNT_VIP_DAYS * DAY
        if invite:
            account.invited_with = invite.upper()
            account.points += INVITE_BONUS_POINTS
        ctx.note(f"user {account.user_id} registered")
        return _signed_in(ctx, account, device_id, _new_token(ctx, accounts, account, device_id))


@routes.post("/passport/sms/refresh")
def refresh(ctx: Context) -> Any:
    token = _text(ctx.body, "token")
    device_id = _device_id(ctx)
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        record = accounts.tokens.get(token)
        if record is None:
            raise invalid_token("unknown token")
        if ctx.state.clock() >= record.expires_at:
            del accounts.tokens[token]
            raise invalid_token("token expired")
        if record.device_id != device_id:
            raise invalid_token("token issued to another device")
        account = accounts.by_id[record.user_id]
        _check_enabled(account)
        # Same token (its lifetime runs from sign-in); only the device secret is new.
        return _signed_in(ctx, account, device_id, token)


@routes.post("/passport/sms/appresetpassword")
def reset_password(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    code = _text(ctx.body, "code")
    password = _new_password(ctx.body, RESET_PASSWORD_MAX)
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        account = _registered(accounts, phone)
        accounts.take_code(phone, "reset", code, ctx.state.clock())
        # Tokens and sessions stay valid: only the password changes.
        account.set_password(password)
        ctx.note(f"user {account.user_id} password reset")
    return None


# ---------------------------------------------------------------------------
# Hooks for other service areas

# A membership carries the best plan paid for while it lasts.
VIP_TYPE_RANK = {"shared": 1, "group": 2, "private": 3}


def member_info(state: State, user_id: int) -> dict[str, Any] | None:
    """What other areas may know of an account (no secrets); None when there is no such account."""
    with state.lock:
        account = _accounts(state).by_id.get(user_id)
        if account is None:
            return None
        return {"user_id": account.user_id, "phone": account.phone, "points": account.points,
                "disabled": account.disabled, "membership": account.membership(state.clock())}


def apply_membership(state: State, user_id: int, vip_type: str, days: int) -> dict[str, Any] | None:
    """Add ``days`` of a paid plan to the account; returns the new membership block.

    Days still left are kept, so renewing early loses nothing; the type only
    moves up (shared < group < private). None when there is no such account.
    """
    with state.lock:
        accounts = _accounts(state)
        account = accounts.by_id.get(user_id)
        if account is None:
            return None
        now = state.clock()
        active = account.membership(now)["is_vip"]
        if account.vip_num <= 0:
            account.vip_num = accounts.next_vip_num
            accounts.next_vip_num += 1
        if not active or VIP_TYPE_RANK.get(vip_type, 0) >= VIP_TYPE_RANK.get(account.vip_type or "", 0):
            account.vip_type = vip_type
        account.vip_expire_at = (account.vip_expire_at if active else int(now)) + days * DAY
        return account.membership(now)


# ---------------------------------------------------------------------------
# Developer and test helpers (never called by the app)


@routes.post("/__dev/sms/latest")
def latest_code(ctx: Context) -> Any:
    phone = _phone(ctx.body)
    scene = ctx.body.get("scene")
    if scene is not None and scene not in (*SEND_SCENES, "reset"):
        raise bad_request("scene must be login, register or reset")
    with ctx.state.lock:
        accounts = _accounts(ctx.state)
        now = ctx.state.clock()
        live = [c for (p, s), c in accounts.codes.items()
                if p == phone and (scene is None or s == scene) and c.expires_at > now]
        if not live:
            raise refuse("not found", "no live code", CODE_NOT_FOUND)
        latest = max(live, key=lambda c: c.issued_at)
        return {"code": latest.code, "scene": latest.scene, "expires_at": int(latest.expires_at)}


@routes.post("/__test/expire-token")
def expire_token(ctx: Context) -> Any:
    token = _text(ctx.body, "token")
    with ctx.state.lock:
        record = _accounts(ctx.state).tokens.get(token)
        if record is None:
            raise refuse("not found", "unknown token", CODE_NOT_FOUND)
        record.expires_at = ctx.state.clock()
        return {"user_id": record.user_id}
