"""Session store ((guid, device id) -> device secret) and the nonce replay cache."""

from __future__ import annotations

import threading
from dataclasses import dataclass, field


@dataclass(frozen=True)
class Session:
    guid: int
    # Kept out of repr so a stray debug print or traceback cannot show it.
    device_secret: str = field(repr=False)
    device_id: str


class SessionStore:
    """Thread-safe map (guid, device id) -> Session.

    One user may be signed in on several devices at once, each with its own
    secret; signing in again on a device replaces that device's secret only.
    The lock is normally the State's lock, so modules that change users and
    sessions together can hold one lock across both.
    """

    def __init__(self, lock: threading.RLock | None = None) -> None:
        self._lock = lock if lock is not None else threading.RLock()
        self._by_key: dict[tuple[int, str], Session] = {}

    def put(self, guid: int, device_secret: str, device_id: str) -> Session:
        session = Session(guid, device_secret, device_id)
        with self._lock:
            self._by_key[(guid, device_id)] = session
        return session

    def get(self, guid: int, device_id: str) -> Session | None:
        with self._lock:
            return self._by_key.get((guid, device_id))

    def has_guid(self, guid: int) -> bool:
        with self._lock:
            return any(key[0] == guid for key in self._by_key)

    def remove(self, guid: int, device_id: str | None = None) -> int:
        """Drop one device's session, or every session of the guid; returns how many went."""
        with self._lock:
            keys = [k for k in self._by_key if k[0] == guid and (device_id is None or k[1] == device_id)]
            for key in keys:
                del self._by_key[key]
            return len(keys)

    def __len__(self) -> int:
        with self._lock:
            return len(self._by_key)


class NonceCache:
    """Remembers nonces of accepted signed requests until their timestamp goes stale.

    A nonce only needs remembering while a request carrying it could still pass
    the timestamp check, i.e. until ``ts + window``; after that the timestamp
    check refuses a replay on its own, so the entry is pruned.
    """

    def __init__(self, lock: threading.RLock | None = None) -> None:
        self._lock = lock if lock is not None else threading.RLock()
        self._expiry: dict[str, float] = {}

    def add_if_new(self, nonce: str, ts: int, window: float, now: float) -> bool:
        """Record the nonce; False when it is already recorded (a replay)."""
        with self._lock:
            self._prune(now)
            if nonce in self._expiry:
                return False
            self._expiry[nonce] = ts + window
            return True

    def _prune(self, now: float) -> None:
        stale = [n for n, expiry in self._expiry.items() if expiry < now]
        for n in stale:
            del self._expiry[n]

    def __len__(self) -> int:
        with self._lock:
            return len(self._expiry)
