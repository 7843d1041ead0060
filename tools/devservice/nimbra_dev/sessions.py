"""Session store (guid -> device secret and device id) and the nonce replay cache."""

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
    """Thread-safe map guid -> Session.

    The lock is normally the State's lock, so modules that change users and
    sessions together can hold one lock across both.
    """

    def __init__(self, lock: threading.RLock | None = None) -> None:
        self._lock = lock if lock is not None else threading.RLock()
        self._by_guid: dict[int, Session] = {}

    def put(self, guid: int, device_secret: str, device_id: str) -> Session:
        session = Session(guid, device_secret, device_id)
        with self._lock:
            self._by_guid[guid] = session
        return session

    def get(self, guid: int) -> Session | None:
        with self._lock:
            return self._by_guid.get(guid)

    def remove(self, guid: int) -> bool:
        with self._lock:
            return self._by_guid.pop(guid, None) is not None

    def __len__(self) -> int:
        with self._lock:
            return len(self._by_guid)


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
