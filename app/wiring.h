#pragma once

#include <QString>

#include <memory>

class AccelerationSession;
class AcceleratorApi;
class AuthApi;
class GameListApi;
class GlobalData;
class HttpManager;
class Preferences;
class QrCodeGenerator;
class RechargeApi;
class SingBoxManager;

// The connections between the back-end objects and the start-up requests. The service clients never
// update one another or the state store themselves; these functions do it, in a fixed order.
namespace nimbra {

struct Backend
{
    GlobalData *data = nullptr;
    HttpManager *http = nullptr;
    AuthApi *auth = nullptr;
    GameListApi *gameList = nullptr;
    AcceleratorApi *accelerator = nullptr;
    RechargeApi *recharge = nullptr;
    QrCodeGenerator *qrCode = nullptr;
    SingBoxManager *singBox = nullptr;
    Preferences *preferences = nullptr;
    // Made last, once the others are connected: it reacts to their signals after the wiring does.
    AccelerationSession *session = nullptr;
};

// The back-end objects made and connected as the program does it, against one service address (empty:
// none). Start-up, the tests, the tools and the benchmarks all assemble the back end with it; the
// state store is the caller's (the program's is GlobalData::instance()). The members are destroyed in
// the reverse order of their making, the session first.
struct BackendObjects
{
    BackendObjects(const QString &serviceUrl, GlobalData *data);
    ~BackendObjects();
    BackendObjects(const BackendObjects &) = delete;
    BackendObjects &operator=(const BackendObjects &) = delete;

    std::unique_ptr<HttpManager> http;
    std::unique_ptr<AuthApi> auth;
    std::unique_ptr<GameListApi> gameList;
    std::unique_ptr<AcceleratorApi> accelerator;
    std::unique_ptr<RechargeApi> recharge;
    std::unique_ptr<QrCodeGenerator> qrCode;
    std::unique_ptr<SingBoxManager> singBox;
    std::unique_ptr<Preferences> preferences;
    Backend backend;
    std::unique_ptr<AccelerationSession> session;
};

// Hands the four service clients the one transport.
void attachTransport(const Backend &backend);

// Quitting stops the core and removes its routes while every object still exists; a sign-in equips
// the signing clients (and with them the transport) before the state store reports it; a sign-out
// clears the route client's session; the account client's membership result reaches the state store.
void connectSessionHandOver(const Backend &backend);

// Catalogue results land in the state store.
void connectCatalogue(const Backend &backend);

// Purchase results land in the state store; a leader entry asks for the leader's teams; a paid order
// updates the membership.
void connectPurchaseData(const Backend &backend);

// Issued once, on the first turn of the event loop: the silent sign-in, the catalogue, and the public
// purchase catalogue.
void issueStartupRequests(const Backend &backend);

} // namespace nimbra
