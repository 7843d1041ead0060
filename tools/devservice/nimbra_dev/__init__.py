"""In-memory simulator of the Nimbra service API for local development and tests.

Each service area lives in its own module of this package and exposes a
module-level ``routes`` table; list the module here to mount it.
"""

# Modules whose ``routes`` tables are mounted, in this order. Adding a service
# area means adding its module name here.
SERVICE_MODULES = (
    "testing",
    "accounts",
    "catalog",
    "routes",
    "purchase",
)
