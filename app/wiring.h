#pragma once

class AuthApi;
class GameListApi;
class GlobalData;
class HttpManager;
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
    SingBoxManager *singBox = nullptr;
};

// Hands every client the one transport.
void attachTransport(const Backend &backend);

// Quitting stops the core and removes its routes while every object still exists; a sign-in reaches
// the state store; the account client's membership result too.
void connectSessionHandOver(const Backend &backend);

// Catalogue results land in the state store.
void connectCatalogue(const Backend &backend);

// Issued once, on the first turn of the event loop: the silent sign-in first, then the catalogue.
void issueStartupRequests(const Backend &backend);

} // namespace nimbra
