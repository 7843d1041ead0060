"""Verification of the signed request envelope.

The client signs
    POST\\n<path>\\nguid=<guid>\\ndevice_id=<device id>\\nts=<ts>\\nnonce=<nonce>\\nbody_sha256=<hash>
with HMAC-SHA256 keyed by the UTF-8 device secret, and sends the parts in the
X-Guid, X-Device-Id, X-Timestamp, X-Nonce, X-Body-SHA256 and X-Signature
headers. Every refusal carries a short reason for the developer log; reasons
never contain the secret or the signature value.
"""

from __future__ import annotations

import hashlib
import hmac
import re
from dataclasses import dataclass
from typing import Callable

from .sessions import NonceCache, SessionStore

HEADER_GUID = "X-Guid"
HEADER_DEVICE_ID = "X-Device-Id"
HEADER_TIMESTAMP = "X-Timestamp"
HEADER_NONCE = "X-Nonce"
HEADER_BODY_SHA256 = "X-Body-SHA256"
HEADER_SIGNATURE = "X-Signature"

SIGNED_HEADERS = (
    HEADER_GUID,
    HEADER_DEVICE_ID,
    HEADER_TIMESTAMP,
    HEADER_NONCE,
    HEADER_BODY_SHA256,
    HEADER_SIGNATURE,
)

_GUID_RE = re.compile(r"-?[0-9]{1,19}")
_TS_RE = re.compile(r"[0-9]{1,19}")
_NONCE_RE = re.compile(r"[0-9a-f]{32}")
_HEX64_RE = re.compile(r"[0-9a-f]{64}")

_INT64_MIN = -(2**63)
_INT64_MAX = 2**63 - 1


class SignatureError(Exception):
    """A signed request was refused; ``reason`` is safe to log.

    ``data`` goes into the refusal's envelope: for a stale timestamp it is the
    service's time, so a client with a wrong clock can tell and correct it.
    """

    def __init__(self, reason: str, data: dict | None = None) -> None:
        super().__init__(reason)
        self.reason = reason
        self.data = data


@dataclass(frozen=True)
class Verified:
    guid: int
    device_id: str
    body_sha256: str


def canonical_string(path: str, guid: str, device_id: str, ts: str, nonce: str, body_sha256: str) -> str:
    return (
        f"POST\n{path}\nguid={guid}\ndevice_id={device_id}\nts={ts}\n"
        f"nonce={nonce}\nbody_sha256={body_sha256}"
    )


def signature(device_secret: str, canonical: str) -> str:
    return hmac.new(device_secret.encode("utf-8"), canonical.encode("utf-8"), hashlib.sha256).hexdigest()


def _header(get_all: Callable[[str], list[str] | None], name: str) -> str:
    values = get_all(name) or []
    if not values:
        raise SignatureError(f"missing header {name}")
    if len(values) > 1:
        raise SignatureError(f"duplicate header {name}")
    # http.server hands header values over decoded as Latin-1; the client sends UTF-8.
    try:
        return values[0].encode("latin-1").decode("utf-8")
    except UnicodeError:
        raise SignatureError(f"header {name} is not UTF-8") from None


def verify(
    *,
    path: str,
    get_header: Callable[[str], list[str] | None],
    body: bytes,
    sessions: SessionStore,
    nonces: NonceCache,
    now: float,
    window: float,
) -> Verified:
    """Check one signed request; raise SignatureError with the first reason found.

    ``get_header(name)`` returns every value of that header (None or [] if absent).
    The nonce is recorded only once everything else holds, so refused requests
    do not use up nonces.
    """
    guid_text = _header(get_header, HEADER_GUID)
    device_id = _header(get_header, HEADER_DEVICE_ID)
    ts_text = _header(get_header, HEADER_TIMESTAMP)
    nonce = _header(get_header, HEADER_NONCE)
    body_hash = _header(get_header, HEADER_BODY_SHA256)
    sent_signature = _header(get_header, HEADER_SIGNATURE)

    # The guid text is part of the signed string, so only its canonical decimal
    # form is accepted ("007" or "+7" would sign a different text).
    if not _GUID_RE.fullmatch(guid_text) or str(int(guid_text)) != guid_text:
        raise SignatureError("malformed X-Guid")
    guid = int(guid_text)
    if not _INT64_MIN <= guid <= _INT64_MAX:
        raise SignatureError("malformed X-Guid")
    if not _TS_RE.fullmatch(ts_text):
        raise SignatureError("malformed X-Timestamp")
    if not _NONCE_RE.fullmatch(nonce):
        raise SignatureError("malformed X-Nonce (want 32 lower-case hex digits)")
    if not _HEX64_RE.fullmatch(body_hash):
        raise SignatureError("malformed X-Body-SHA256 (want 64 lower-case hex digits)")
    if not _HEX64_RE.fullmatch(sent_signature):
        raise SignatureError("malformed X-Signature (want 64 lower-case hex digits)")

    if not hmac.compare_digest(hashlib.sha256(body).hexdigest(), body_hash):
        raise SignatureError("body hash mismatch")

    ts = int(ts_text)
    skew = ts - now
    if abs(skew) > window:
        raise SignatureError(f"stale timestamp (skew {skew:+.0f}s, window {window:g}s)",
                             {"server_time": int(now)})

    session = sessions.get(guid, device_id)
    if session is None:
        # Both refuse alike; the log tells a missing sign-in from a wrong device.
        raise SignatureError("device id mismatch" if sessions.has_guid(guid) else f"unknown guid {guid}")

    expected = signature(
        session.device_secret,
        canonical_string(path, guid_text, device_id, ts_text, nonce, body_hash),
    )
    if not hmac.compare_digest(expected, sent_signature):
        raise SignatureError("signature mismatch")

    if not nonces.add_if_new(nonce, ts, window, now):
        raise SignatureError("replayed nonce")

    return Verified(guid=guid, device_id=device_id, body_sha256=body_hash)
